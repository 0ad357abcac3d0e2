// The exception that stands in for the XML component's COM error object: an
// error code (HRESULT-style) and a message. Nothing else in the library
// throws on its own.
#pragma once

#include <stdexcept>
#include <string>

#include "pelix/export.h"

class PELIX_API CComError : public std::runtime_error {
 public:
  CComError(long code, const std::string& message) : std::runtime_error(message), m_code(code) {}
  long Error() const noexcept { return m_code; }

 private:
  long m_code;
};

// HRESULT-style codes used with CComError.
constexpr long PELIX_E_FAIL = static_cast<long>(0x80004005L);
constexpr long PELIX_E_POINTER = static_cast<long>(0x80004003L);
constexpr long PELIX_E_OUTOFMEMORY = static_cast<long>(0x8007000EL);
constexpr long PELIX_E_INVALIDARG = static_cast<long>(0x80070057L);
