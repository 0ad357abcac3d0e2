// The host services the library reports to: trace and error services, a
// printf-style text builder, the object-type conversion table, a user message
// and a disk-size query. The application may install its own host; with none
// installed the built-in default host (pelix/default_host.h) serves.
#pragma once

#include <cstdarg>

#include "pelix/cabinet_type.h"
#include "pelix/cstring.h"
#include "pelix/export.h"

class PELIX_API HostServices {
 public:
  virtual ~HostServices() = default;
  virtual bool ErrorHandlerExists() = 0;
  virtual int GetErrorHandlerType() = 0;
  virtual void StoreEnter(const char* file, int line, const char* scope) = 0;
  virtual void StoreReturn(const char* file, int line) = 0;
  virtual void IncreaseLevel() = 0;
  virtual void DecreaseLevel() = 0;
  virtual void StoreError(int kind, const char* file, int line, const char* text) = 0;
  virtual void LogError(int kind, const char* file, int line, const char* text) = 0;
  virtual void RaiseError(const char* text) = 0;
  virtual void LogStoredMessages() = 0;
  virtual int GetErrorStatus() = 0;
  virtual const char* BuildString(const char* format, va_list args) = 0;  // host owns the text
  virtual bool IsPelixTracesEnabled() = 0;
  virtual CString ID_ToText(int id, CabinetType cabinet) = 0;  // the object-type conversion table
  virtual int DisplayUserInfo(const char* text, int style, int second, bool flag) = 0;
  virtual unsigned long long GetDiskSize(const char* path) = 0;
};

// Installs host as the library's host services and returns the one in force
// before (nullptr when that was the built-in default). Passing nullptr
// restores the built-in default.
PELIX_API HostServices* SetHostServices(HostServices* host);
