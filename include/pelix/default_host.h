// The built-in host services: a real host an application can use as it is.
// It keeps a trace log with indentation by nesting level (standard error or a
// file of the application's choice), stored messages, the pending-error
// status, a conversion table with a name for every MO_Type, the user message
// on standard error (replaceable) and the disk size from statvfs.
//
// With no error handler switched on (the default) every trace scope of the
// library costs two calls, and no trace text is ever formatted.
#pragma once

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "pelix/export.h"
#include "pelix/host_services.h"

namespace pelix {

class PELIX_API DefaultHost final : public HostServices {
 public:
  using UserInfoHandler = std::function<int(const char* text, int style, int second, bool flag)>;

  DefaultHost();
  ~DefaultHost() override;
  DefaultHost(const DefaultHost&) = delete;
  DefaultHost& operator=(const DefaultHost&) = delete;

  // --- configuration by the application ---
  // Switches the error handler on (with its type) or off.
  void SetErrorHandler(bool on, int type = 2);
  // Sends the log to stream (not owned; nullptr = standard error).
  void SetLogStream(std::FILE* stream);
  // Appends the log to the file at path; returns false if it cannot be opened
  // (the log then stays where it was).
  bool OpenLogFile(const std::string& path);
  void SetPelixTracesEnabled(bool on);
  // Clears the pending error, as the terminal does after showing it.
  void ClearErrorStatus();
  // Replaces how user information is shown; an empty handler restores the
  // default (the text on standard error, result 0).
  void SetUserInfoHandler(UserInfoHandler handler);
  // Messages stored and not yet logged, oldest first.
  const std::vector<std::string>& StoredMessages() const { return m_stored; }
  int Level() const { return m_level; }

  // --- HostServices ---
  bool ErrorHandlerExists() override { return m_handler; }
  int GetErrorHandlerType() override;
  void StoreEnter(const char* file, int line, const char* scope) override;
  void StoreReturn(const char* file, int line) override;
  void IncreaseLevel() override;
  void DecreaseLevel() override;
  void StoreError(int kind, const char* file, int line, const char* text) override;
  void LogError(int kind, const char* file, int line, const char* text) override;
  void RaiseError(const char* text) override;
  void LogStoredMessages() override;
  int GetErrorStatus() override { return m_errorStatus; }
  const char* BuildString(const char* format, va_list args) override __attribute__((format(printf, 2, 0)));
  bool IsPelixTracesEnabled() override;
  CString ID_ToText(int id, CabinetType cabinet) override;
  int DisplayUserInfo(const char* text, int style, int second, bool flag) override;
  unsigned long long GetDiskSize(const char* path) override;

 private:
  void WriteLine(const std::string& line);
  std::string Indent() const;

  bool m_handler = false;
  int m_handlerType = 2;
  bool m_pelixTraces = false;
  int m_level = 0;
  int m_errorStatus = 0;
  std::FILE* m_log = nullptr;      // nullptr = standard error
  std::FILE* m_ownedLog = nullptr;  // a file opened by OpenLogFile
  std::vector<std::string> m_stored;
  std::vector<std::string> m_scopes;  // names of the scopes entered, innermost last
  std::string m_built;                // the last text of BuildString
  UserInfoHandler m_userInfo;
};

// The process's built-in host (made on first use).
PELIX_API DefaultHost& GetDefaultHost();

}  // namespace pelix
