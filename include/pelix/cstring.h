// CString: a counted narrow-character string that may hold any byte,
// zero bytes included. A thin, value-semantic layer over std::string with the
// members the library and its callers use.
#pragma once

#include <cstddef>
#include <string>

#include "pelix/exceptions.h"
#include "pelix/export.h"

class PELIX_API CString {
 public:
  CString() = default;
  CString(const char* text) : m_text(text != nullptr ? text : "") {}  // NOLINT(google-explicit-constructor)
  CString(const std::string& text) : m_text(text) {}                   // NOLINT(google-explicit-constructor)
  CString(std::string&& text) noexcept : m_text(std::move(text)) {}    // NOLINT(google-explicit-constructor)
  CString(const char* text, int length)
      : m_text(text != nullptr && length > 0 ? std::string(text, static_cast<size_t>(length)) : std::string()) {}
  CString(char ch, int count) : m_text(count > 0 ? static_cast<size_t>(count) : 0U, ch) {}

  int GetLength() const { return static_cast<int>(m_text.size()); }
  bool IsEmpty() const { return m_text.empty(); }
  const char* GetString() const { return m_text.c_str(); }
  const std::string& str() const { return m_text; }
  void Empty() { m_text.clear(); }

  // Checked character access: an index outside 0..GetLength()-1 throws.
  char GetAt(int index) const {
    CheckIndex(index);
    return m_text[static_cast<size_t>(index)];
  }
  void SetAt(int index, char ch) {
    CheckIndex(index);
    m_text[static_cast<size_t>(index)] = ch;
  }
  char operator[](int index) const { return GetAt(index); }

  // Searches return the position, or -1 when nothing is found (or the start is
  // outside the text).
  int Find(char ch, int start = 0) const;
  int Find(const char* sub, int start = 0) const;
  int Find(const CString& sub, int start = 0) const { return Find(sub.m_text, start); }
  int Find(const std::string& sub, int start = 0) const;
  int ReverseFind(char ch) const;
  int FindOneOf(const char* set, int start = 0) const;

  // Parts of the text; counts and positions are clamped to the text.
  CString Mid(int first) const;
  CString Mid(int first, int count) const;
  CString Left(int count) const;
  CString Right(int count) const;

  // Deletes up to count characters from index; returns the new length.
  int Delete(int index, int count = 1);
  // Inserts text before index (clamped); returns the new length.
  int Insert(int index, const CString& text);
  // Replaces the first occurrence of oldText; returns whether one was found.
  bool ReplaceFirst(const CString& oldText, const CString& newText);
  // Replaces every occurrence of oldText; returns how many were replaced.
  int Replace(const CString& oldText, const CString& newText);
  // Removes every occurrence of ch; returns how many were removed.
  int Remove(char ch);

  void MakeUpper();
  void MakeLower();
  // Case-insensitive comparison in the "C" locale: <0, 0 or >0.
  int CompareNoCase(const CString& other) const;
  int Compare(const CString& other) const { return m_text.compare(other.m_text); }

  // printf-style formatting; replaces the text.
  void Format(const char* format, ...) __attribute__((format(printf, 2, 3)));
  // printf-style formatting; appends to the text.
  void AppendFormat(const char* format, ...) __attribute__((format(printf, 2, 3)));

  CString& operator+=(const CString& other) {
    m_text += other.m_text;
    return *this;
  }
  CString& operator+=(const char* other) {
    if (other != nullptr) m_text += other;
    return *this;
  }
  CString& operator+=(char ch) {
    m_text += ch;
    return *this;
  }

  friend CString operator+(const CString& a, const CString& b) { return CString(a.m_text + b.m_text); }
  friend CString operator+(const CString& a, const char* b) {
    CString r(a);
    r += b;
    return r;
  }
  friend CString operator+(const char* a, const CString& b) { return CString(a) + b; }
  friend CString operator+(const CString& a, char b) {
    CString r(a);
    r += b;
    return r;
  }

  friend bool operator==(const CString& a, const CString& b) { return a.m_text == b.m_text; }
  friend bool operator!=(const CString& a, const CString& b) { return !(a == b); }
  friend bool operator==(const CString& a, const char* b) { return a.m_text == (b != nullptr ? b : ""); }
  friend bool operator!=(const CString& a, const char* b) { return !(a == b); }
  friend bool operator==(const char* a, const CString& b) { return b == a; }
  friend bool operator!=(const char* a, const CString& b) { return !(b == a); }
  friend bool operator<(const CString& a, const CString& b) { return a.m_text < b.m_text; }

 private:
  void CheckIndex(int index) const {
    if (index < 0 || static_cast<size_t>(index) >= m_text.size()) {
      throw CInvalidArgException("CString index out of range");
    }
  }

  std::string m_text;
};
