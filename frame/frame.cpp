#include "frame/frame.h"

#include <cstdarg>
#include <cstring>
#include <exception>
#include <new>

#include "host/host.h"
#include "platform/message_box.h"

namespace pelix::frame {

void TraceScope::Open(HostServices& host, const char* name) {
  host.StoreEnter(m_file, m_line, name);
  host.IncreaseLevel();
  if (host.GetErrorHandlerType() != 1) return;
  // The record is made closed (all zero), then flagged open and named.
  m_record.reset(new (std::nothrow) char[kScopeRecordSize]());
  if (m_record == nullptr) return;
  m_record[0] = 1;
  std::strncpy(&m_record[1], name != nullptr ? name : "", kScopeRecordSize - 2);
  m_record[kScopeRecordSize - 1] = '\0';
}

void TraceScope::Close(HostServices& host) {
  host.StoreReturn(m_file, m_line);
  host.DecreaseLevel();
  if (host.GetErrorHandlerType() == 1 && m_record != nullptr) m_record[0] = 0;
  if (m_record != nullptr && m_record[0] == 1) {
    // The handler type changed while the scope was open: say which scope.
    platform::ShowMessageBox(&m_record[1]);
  }
}

void FailedCheck(const char* file, int line, ErrorKind kind, const char* condition) {
  HostServices& host = Host();
  if (!HandlerExists(host)) return;
  host.RaiseError(condition);
  host.LogError(kind, file, line, condition);
  host.LogStoredMessages();
}

bool ErrorAfterCall() {
  HostServices& host = Host();
  if (host.GetErrorStatus() == 0) return false;
  return HandlerExists(host);
}

void ErrorExit(const char* file, int line) {
  HostServices& host = Host();
  if (!HandlerExists(host)) return;
  if (host.GetErrorStatus() != 0) return;
  host.RaiseError("");
  host.LogError(EK_UNSPECIFIED, file, line, "");
  host.LogStoredMessages();
}

void TraceToHandler(HostServices& host, const char* file, int line, const char* format, ...) {
  va_list args;
  va_start(args, format);
  host.StoreError(EK_TRACE, file, line, host.BuildString(format, args));
  va_end(args);
  if (!host.IsPelixTracesEnabled()) return;
  va_start(args, format);  // the same text is built again for the log
  host.LogError(EK_TRACE, file, line, host.BuildString(format, args));
  va_end(args);
}

}  // namespace pelix::frame
