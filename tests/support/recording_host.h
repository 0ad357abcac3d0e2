// A HostServices that records every call with its arguments, so that tests can
// assert exact host-call sequences. Installed for the lifetime of the object.
#pragma once

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "pelix/default_host.h"
#include "pelix/host_services.h"

namespace pelix::test {

struct HostCall {
  std::string name;  // "StoreEnter", "LogError", ...
  int kind = -1;     // ErrorKind of StoreError/LogError, style of DisplayUserInfo, else -1
  std::string text;  // scope name, message text or built text
  std::string file;
  int line = 0;  // the cabinet of ID_ToText, 2 * second + flag of DisplayUserInfo
};

class RecordingHost : public HostServices {
 public:
  RecordingHost() : m_previous(SetHostServices(this)) {}      // installs itself ...
  ~RecordingHost() override { SetHostServices(m_previous); }  // ... and restores the previous host

  // --- behaviour, set by the test ---
  bool handlerExists = false;
  int handlerType = 2;
  int errorStatus = 0;  // RaiseError sets it to 1
  bool pelixTraces = false;
  unsigned long long diskSize = ~0ULL;
  std::function<void(RecordingHost&)> onHandlerType;  // called after GetErrorHandlerType has answered

  // --- what was recorded ---
  std::vector<HostCall> calls;
  std::vector<std::string> userInfo;  // texts passed to DisplayUserInfo

  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (const HostCall& call : calls) names.push_back(call.name);
    return names;
  }
  std::vector<HostCall> CallsNamed(const std::string& name) const {
    std::vector<HostCall> found;
    for (const HostCall& call : calls)
      if (call.name == name) found.push_back(call);
    return found;
  }
  // Texts of the calls of that name and kind (StoreError/LogError).
  std::vector<std::string> Texts(const std::string& name, int kind) const {
    std::vector<std::string> texts;
    for (const HostCall& call : CallsNamed(name))
      if (call.kind == kind) texts.push_back(call.text);
    return texts;
  }
  void Clear() { calls.clear(); }

  bool ErrorHandlerExists() override { return Record("ErrorHandlerExists"), handlerExists; }
  int GetErrorHandlerType() override {
    const int answer = (Record("GetErrorHandlerType"), handlerType);
    if (onHandlerType) onHandlerType(*this);
    return answer;
  }
  void StoreEnter(const char* file, int line, const char* s) override { Record("StoreEnter", -1, s, file, line); }
  void StoreReturn(const char* file, int line) override { Record("StoreReturn", -1, nullptr, file, line); }
  void IncreaseLevel() override { Record("IncreaseLevel"); }
  void DecreaseLevel() override { Record("DecreaseLevel"); }
  void StoreError(int k, const char* f, int line, const char* t) override { Record("StoreError", k, t, f, line); }
  void LogError(int k, const char* f, int line, const char* t) override { Record("LogError", k, t, f, line); }
  void RaiseError(const char* text) override { Record("RaiseError", -1, text), errorStatus = 1; }
  void LogStoredMessages() override { Record("LogStoredMessages"); }
  int GetErrorStatus() override { return Record("GetErrorStatus"), errorStatus; }
  const char* BuildString(const char* format, va_list args) override __attribute__((format(printf, 2, 0))) {
    char buffer[1024];
    std::vsnprintf(buffer, sizeof buffer, format, args);
    return Record("BuildString", -1, buffer), m_built = buffer, m_built.c_str();
  }
  bool IsPelixTracesEnabled() override { return Record("IsPelixTracesEnabled"), pelixTraces; }
  CString ID_ToText(int id, CabinetType cabinet) override {
    Record("ID_ToText", -1, std::to_string(id).c_str(), nullptr, static_cast<int>(cabinet));
    return GetDefaultHost().ID_ToText(id, cabinet);  // the built-in names
  }
  int DisplayUserInfo(const char* text, int style, int second, bool flag) override {
    Record("DisplayUserInfo", style, text, nullptr, second * 2 + (flag ? 1 : 0));
    return userInfo.emplace_back(text != nullptr ? text : ""), 0;
  }
  unsigned long long GetDiskSize(const char* path) override { return Record("GetDiskSize", -1, path), diskSize; }

 private:
  void Record(const char* name, int kind = -1, const char* text = nullptr, const char* file = nullptr, int line = 0) {
    calls.push_back({name, kind, text != nullptr ? text : "", file != nullptr ? file : "", line});
  }

  HostServices* m_previous;
  std::string m_built;
};

}  // namespace pelix::test
