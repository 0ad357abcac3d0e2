// A HostServices that records every call with its arguments, so that tests can
// assert exact host-call sequences. Installed for the lifetime of the object.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "pelix/host_services.h"

namespace pelix::test {

struct HostCall {
  std::string name;  // "StoreEnter", "LogError", ...
  int kind = -1;     // ErrorKind for StoreError/LogError, -1 otherwise
  std::string text;  // scope name, message text or built text
  std::string file;
  int line = 0;
};

class RecordingHost : public HostServices {
 public:
  RecordingHost();  // installs itself
  ~RecordingHost() override;  // restores the previous host
  RecordingHost(const RecordingHost&) = delete;
  RecordingHost& operator=(const RecordingHost&) = delete;

  // --- behaviour, set by the test ---
  bool handlerExists = false;
  int handlerType = 2;
  int errorStatus = 0;  // RaiseError sets it to 1
  bool pelixTraces = false;
  unsigned long long diskSize = ~0ULL;
  int userInfoResult = 0;
  // Called after GetErrorHandlerType has answered, to change behaviour mid-call.
  std::function<void(RecordingHost&)> onHandlerType;

  // --- what was recorded ---
  std::vector<HostCall> calls;
  std::vector<std::string> userInfo;  // texts passed to DisplayUserInfo

  // The names of the recorded calls, in order.
  std::vector<std::string> Names() const;
  // The calls with the given name.
  std::vector<HostCall> CallsNamed(const std::string& name) const;
  // Texts of StoreError/LogError calls of the given kind.
  std::vector<std::string> Texts(const std::string& name, int kind) const;
  void Clear() { calls.clear(); }

  bool ErrorHandlerExists() override;
  int GetErrorHandlerType() override;
  void StoreEnter(const char* file, int line, const char* scope) override;
  void StoreReturn(const char* file, int line) override;
  void IncreaseLevel() override;
  void DecreaseLevel() override;
  void StoreError(int kind, const char* file, int line, const char* text) override;
  void LogError(int kind, const char* file, int line, const char* text) override;
  void RaiseError(const char* text) override;
  void LogStoredMessages() override;
  int GetErrorStatus() override;
  const char* BuildString(const char* format, va_list args) override;
  bool IsPelixTracesEnabled() override;
  CString ID_ToText(int id, CabinetType cabinet) override;
  int DisplayUserInfo(const char* text, int style, int second, bool flag) override;
  unsigned long long GetDiskSize(const char* path) override;

 private:
  void Record(const char* name, int kind = -1, const char* text = nullptr, const char* file = nullptr,
              int line = 0);

  HostServices* m_previous;
  std::string m_built;
};

}  // namespace pelix::test
