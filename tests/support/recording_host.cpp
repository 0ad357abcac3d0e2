#include "tests/support/recording_host.h"

#include <cstdio>

namespace pelix::test {

RecordingHost::RecordingHost() : m_previous(SetHostServices(this)) {}

RecordingHost::~RecordingHost() { SetHostServices(m_previous); }

std::vector<std::string> RecordingHost::Names() const {
  std::vector<std::string> names;
  names.reserve(calls.size());
  for (const HostCall& call : calls) names.push_back(call.name);
  return names;
}

std::vector<HostCall> RecordingHost::CallsNamed(const std::string& name) const {
  std::vector<HostCall> found;
  for (const HostCall& call : calls) {
    if (call.name == name) found.push_back(call);
  }
  return found;
}

std::vector<std::string> RecordingHost::Texts(const std::string& name, int kind) const {
  std::vector<std::string> texts;
  for (const HostCall& call : calls) {
    if (call.name == name && call.kind == kind) texts.push_back(call.text);
  }
  return texts;
}

void RecordingHost::Record(const char* name, int kind, const char* text, const char* file, int line) {
  HostCall call;
  call.name = name;
  call.kind = kind;
  call.text = text != nullptr ? text : "";
  call.file = file != nullptr ? file : "";
  call.line = line;
  calls.push_back(std::move(call));
}

bool RecordingHost::ErrorHandlerExists() {
  Record("ErrorHandlerExists");
  return handlerExists;
}

int RecordingHost::GetErrorHandlerType() {
  Record("GetErrorHandlerType");
  const int answer = handlerType;
  if (onHandlerType) onHandlerType(*this);
  return answer;
}

void RecordingHost::StoreEnter(const char* file, int line, const char* scope) {
  Record("StoreEnter", -1, scope, file, line);
}

void RecordingHost::StoreReturn(const char* file, int line) { Record("StoreReturn", -1, nullptr, file, line); }

void RecordingHost::IncreaseLevel() { Record("IncreaseLevel"); }

void RecordingHost::DecreaseLevel() { Record("DecreaseLevel"); }

void RecordingHost::StoreError(int kind, const char* file, int line, const char* text) {
  Record("StoreError", kind, text, file, line);
}

void RecordingHost::LogError(int kind, const char* file, int line, const char* text) {
  Record("LogError", kind, text, file, line);
}

void RecordingHost::RaiseError(const char* text) {
  Record("RaiseError", -1, text);
  errorStatus = 1;
}

void RecordingHost::LogStoredMessages() { Record("LogStoredMessages"); }

int RecordingHost::GetErrorStatus() {
  Record("GetErrorStatus");
  return errorStatus;
}

const char* RecordingHost::BuildString(const char* format, va_list args) {
  char buffer[1024];
  std::vsnprintf(buffer, sizeof buffer, format, args);
  m_built = buffer;
  Record("BuildString", -1, buffer);
  return m_built.c_str();
}

bool RecordingHost::IsPelixTracesEnabled() {
  Record("IsPelixTracesEnabled");
  return pelixTraces;
}

CString RecordingHost::ID_ToText(int id, CabinetType cabinet) {
  Record("ID_ToText", -1, std::to_string(id).c_str(), nullptr, static_cast<int>(cabinet));
  static const char* const names[] = {"SO CF", "SO TRXC", "AO TX", "AO RX", "AO TS", "AO TF",
                                      "AO IS", "AO DP", "AO CON", "AO MCTR", "Unknown"};
  return CString(id >= 0 && id <= 10 ? names[id] : "Unknown");
}

int RecordingHost::DisplayUserInfo(const char* text, int style, int second, bool flag) {
  Record("DisplayUserInfo", style, text, nullptr, second * 2 + (flag ? 1 : 0));
  userInfo.emplace_back(text != nullptr ? text : "");
  return userInfoResult;
}

unsigned long long RecordingHost::GetDiskSize(const char* path) {
  Record("GetDiskSize", -1, path);
  return diskSize;
}

}  // namespace pelix::test
