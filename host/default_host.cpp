#include "pelix/default_host.h"

#include <sys/statvfs.h>

#include <cstdio>
#include <string>

#include "pelix/fault_map_types.h"
#include "platform/format.h"

namespace pelix {
namespace {

// Display names of the object types, indexed by MO_Type.
const char* const kMoTypeNames[] = {
    "SO CF",    // MO_SO_CF
    "SO TRXC",  // MO_SO_TRXC
    "AO TX",    // MO_AO_TX
    "AO RX",    // MO_AO_RX
    "AO TS",    // MO_AO_TS
    "AO TF",    // MO_AO_TF
    "AO IS",    // MO_AO_IS
    "AO DP",    // MO_AO_DP
    "AO CON",   // MO_AO_CON
    "AO MCTR",  // MO_AO_MCTR
    "Unknown",  // MO_UNKNOWN
};

const char* KindName(int kind) {
  switch (kind) {
    case 0: return "PRECONDITION";
    case 1: return "CHECK";
    case 4: return "ERROR";
    case 7: return "TRACE";
    default: return "MESSAGE";
  }
}

std::string Safe(const char* text) { return text != nullptr ? text : ""; }

}  // namespace

DefaultHost::DefaultHost() = default;

DefaultHost::~DefaultHost() {
  if (m_ownedLog != nullptr) std::fclose(m_ownedLog);
}

void DefaultHost::SetErrorHandler(bool on, int type) {
  m_handler = on;
  m_handlerType = type;
}

void DefaultHost::SetLogStream(std::FILE* stream) {
  if (m_ownedLog != nullptr && m_ownedLog != stream) {
    std::fclose(m_ownedLog);
    m_ownedLog = nullptr;
  }
  m_log = stream;
}

bool DefaultHost::OpenLogFile(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "a");
  if (file == nullptr) return false;
  SetLogStream(nullptr);
  m_ownedLog = file;
  m_log = file;
  return true;
}

void DefaultHost::SetPelixTracesEnabled(bool on) { m_pelixTraces = on; }

void DefaultHost::ClearErrorStatus() { m_errorStatus = 0; }

void DefaultHost::SetUserInfoHandler(UserInfoHandler handler) { m_userInfo = std::move(handler); }

std::string DefaultHost::Indent() const { return std::string(static_cast<size_t>(m_level > 0 ? m_level : 0) * 2, ' '); }

void DefaultHost::WriteLine(const std::string& line) {
  std::FILE* out = m_log != nullptr ? m_log : stderr;
  std::fputs(line.c_str(), out);
  std::fputc('\n', out);
  std::fflush(out);
}

int DefaultHost::GetErrorHandlerType() { return m_handlerType; }

void DefaultHost::StoreEnter(const char* file, int line, const char* scope) {
  m_scopes.push_back(Safe(scope));
  WriteLine(Indent() + "> " + Safe(scope) + "  [" + Safe(file) + ":" + std::to_string(line) + "]");
}

void DefaultHost::StoreReturn(const char* file, int line) {
  std::string scope;
  if (!m_scopes.empty()) {
    scope = m_scopes.back();
    m_scopes.pop_back();
  }
  // The level still counts the scope being left; show the return at the
  // indentation of its entry.
  const std::string indent(static_cast<size_t>(m_level > 1 ? m_level - 1 : 0) * 2, ' ');
  WriteLine(indent + "< " + scope + "  [" + Safe(file) + ":" + std::to_string(line) + "]");
}

void DefaultHost::IncreaseLevel() { ++m_level; }

void DefaultHost::DecreaseLevel() {
  if (m_level > 0) --m_level;
}

void DefaultHost::StoreError(int kind, const char* file, int line, const char* text) {
  m_stored.push_back(Indent() + KindName(kind) + ": " + Safe(text) + "  [" + Safe(file) + ":" + std::to_string(line) +
                     "]");
}

void DefaultHost::LogError(int kind, const char* file, int line, const char* text) {
  WriteLine(Indent() + KindName(kind) + ": " + Safe(text) + "  [" + Safe(file) + ":" + std::to_string(line) + "]");
}

void DefaultHost::RaiseError(const char* text) {
  m_errorStatus = 1;
  m_stored.push_back(Indent() + "RAISED: " + Safe(text));
}

void DefaultHost::LogStoredMessages() {
  for (const std::string& message : m_stored) WriteLine(message);
  m_stored.clear();
}

const char* DefaultHost::BuildString(const char* format, va_list args) {
  m_built.clear();
  pelix::platform::AppendFormatV(m_built, format, args);
  return m_built.c_str();
}

bool DefaultHost::IsPelixTracesEnabled() { return m_pelixTraces; }

CString DefaultHost::ID_ToText(int id, CabinetType /*cabinet*/) {
  if (id < 0 || id > MO_UNKNOWN) return CString("Unknown");
  return CString(kMoTypeNames[id]);
}

int DefaultHost::DisplayUserInfo(const char* text, int style, int second, bool flag) {
  if (m_userInfo) return m_userInfo(text, style, second, flag);
  std::fprintf(stderr, "%s\n", text != nullptr ? text : "");
  return 0;
}

unsigned long long DefaultHost::GetDiskSize(const char* path) {
  struct statvfs info {};
  if (path == nullptr || statvfs(path, &info) != 0) return 0;
  return static_cast<unsigned long long>(info.f_blocks) * static_cast<unsigned long long>(info.f_frsize);
}

DefaultHost& GetDefaultHost() {
  static DefaultHost* host = new DefaultHost();  // never destroyed: used until the process ends
  return *host;
}

}  // namespace pelix
