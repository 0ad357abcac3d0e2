// The diagnostics frame every traced operation runs in.
//
//   void CFoo::Bar() {
//     PELIX_SCOPE("CFoo::Bar()");                 // opens the scope; closes on return
//     if (m_list == nullptr) {
//       PELIX_FAIL(EK_PRECONDITION, "m_list != NULL");  // report, error exit ...
//       return;                                   // ... and the failure value
//     }
//     Baz();
//     if (PELIX_ERROR_AFTER_CALL()) {             // check after a call
//       PELIX_ERROR_EXIT();
//       return;
//     }
//     PELIX_TRACE("  Octet %d = %d", i, v);       // detailed trace line
//   }
//
// The host sees exactly this sequence of calls:
// - open: ErrorHandlerExists(); if true StoreEnter, IncreaseLevel,
//   GetErrorHandlerType (a 101-byte scope record is made when that is 1);
// - close: ErrorHandlerExists(); if true StoreReturn, DecreaseLevel,
//   GetErrorHandlerType (a type of 1 clears the record's open flag); a record
//   still flagged open shows the scope name in a message box; the record is
//   released. An exception leaving the operation skips the close's host calls.
// - failed check: if a handler exists, RaiseError, LogError(kind), LogStoredMessages;
// - check after a call: GetErrorStatus(), then only if non-zero ErrorHandlerExists();
// - error exit: if a handler exists and GetErrorStatus() is 0, RaiseError(""),
//   LogError(EK_UNSPECIFIED, ""), LogStoredMessages;
// - trace line: if a handler exists, StoreError(EK_TRACE, BuildString(...)), and
//   if IsPelixTracesEnabled() the text is built again and passed to LogError.
// File and line name the call site in this source tree.
#pragma once

#include <exception>
#include <memory>

#include "host/host.h"
#include "pelix/service_result.h"

namespace pelix::frame {

// Size of a scope record: the open flag and up to 99 name characters with the
// terminating zero.
constexpr int kScopeRecordSize = 101;

class TraceScope {
 public:
  TraceScope(const char* file, int line, const char* name)
      : m_file(file), m_line(line), m_uncaught(std::uncaught_exceptions()) {
    HostServices& host = Host();
    if (HandlerExists(host)) Open(host, name);
  }
  ~TraceScope() {
    // An exception on its way out of the operation passes through without
    // closing the scope; only the record is released.
    if (std::uncaught_exceptions() > m_uncaught) return;
    HostServices& host = Host();
    if (HandlerExists(host)) Close(host);  // without a handler a record is released unseen
  }
  TraceScope(const TraceScope&) = delete;
  TraceScope& operator=(const TraceScope&) = delete;

  // The scope record, or nullptr when none was made (for tests of the frame).
  const char* Record() const { return m_record.get(); }

 private:
  void Open(HostServices& host, const char* name);
  void Close(HostServices& host);

  const char* m_file;
  int m_line;
  int m_uncaught;  // exceptions in flight at the opening
  std::unique_ptr<char[]> m_record;
};

// False only when no trace line could reach anyone: the built-in host is in
// force and its handler is off. A host of the application is always asked
// line by line, so it sees exactly one ErrorHandlerExists() per trace line;
// for the built-in host, whose answer nothing else can change meanwhile, a
// run of trace lines (a report dump) is skipped as a whole.
inline bool TraceMayReachSomeone() {
  HostServices& host = Host();
  return &host != detail::g_defaultHost || HandlerExists(host);
}

// Step 3: reports a failed check of kind EK_PRECONDITION or EK_CHECK.
void FailedCheck(const char* file, int line, ErrorKind kind, const char* condition);
// Step 4: true when an error is pending and a handler exists.
bool ErrorAfterCall();
// Step 5, before the scope closes: raises the unspecified error if none is pending.
void ErrorExit(const char* file, int line);
// Step 6, a detailed trace line of kind EK_TRACE, after ErrorHandlerExists()
// has answered true: PELIX_TRACE asks it inline, so a trace line costs one
// call and formats nothing when nobody reads it.
void TraceToHandler(HostServices& host, const char* file, int line, const char* format, ...)
    __attribute__((format(printf, 4, 5)));

}  // namespace pelix::frame

#define PELIX_CONCAT_INNER_(a, b) a##b
#define PELIX_CONCAT_(a, b) PELIX_CONCAT_INNER_(a, b)
#define PELIX_SCOPE(name) \
  ::pelix::frame::TraceScope PELIX_CONCAT_(pelix_trace_scope_, __LINE__)(__FILE__, __LINE__, name)
#define PELIX_FAILED_CHECK(kind, condition) ::pelix::frame::FailedCheck(__FILE__, __LINE__, kind, condition)
#define PELIX_ERROR_AFTER_CALL() ::pelix::frame::ErrorAfterCall()
#define PELIX_ERROR_EXIT() ::pelix::frame::ErrorExit(__FILE__, __LINE__)
// A failed check followed by the error exit (steps 3 and 5), the usual pair;
// the caller then returns its failure value.
#define PELIX_FAIL(kind, condition)                                   \
  do {                                                                \
    ::pelix::frame::FailedCheck(__FILE__, __LINE__, kind, condition); \
    ::pelix::frame::ErrorExit(__FILE__, __LINE__);                    \
  } while (false)
#define PELIX_TRACE(...)                                                                  \
  do {                                                                                    \
    HostServices& pelix_trace_host_ = ::pelix::Host();                                    \
    if (::pelix::HandlerExists(pelix_trace_host_)) {                                      \
      ::pelix::frame::TraceToHandler(pelix_trace_host_, __FILE__, __LINE__, __VA_ARGS__); \
    }                                                                                     \
  } while (false)
