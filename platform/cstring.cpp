#include "pelix/cstring.h"

#include "platform/format.h"

#include <cctype>
#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace {

size_t Clamp(int value, size_t limit) {
  if (value <= 0) return 0;
  return static_cast<size_t>(value) > limit ? limit : static_cast<size_t>(value);
}

int ToPos(size_t pos) { return pos == std::string::npos ? -1 : static_cast<int>(pos); }

}  // namespace

int CString::Find(char ch, int start) const {
  if (start < 0 || static_cast<size_t>(start) > m_text.size()) return -1;
  return ToPos(m_text.find(ch, static_cast<size_t>(start)));
}

int CString::Find(const char* sub, int start) const { return Find(std::string(sub != nullptr ? sub : ""), start); }

int CString::Find(const std::string& sub, int start) const {
  if (start < 0 || static_cast<size_t>(start) > m_text.size()) return -1;
  return ToPos(m_text.find(sub, static_cast<size_t>(start)));
}

int CString::ReverseFind(char ch) const { return ToPos(m_text.rfind(ch)); }

int CString::FindOneOf(const char* set, int start) const {
  if (set == nullptr || start < 0 || static_cast<size_t>(start) > m_text.size()) return -1;
  return ToPos(m_text.find_first_of(set, static_cast<size_t>(start)));
}

CString CString::Mid(int first) const {
  const size_t from = Clamp(first, m_text.size());
  return CString(m_text.substr(from));
}

CString CString::Mid(int first, int count) const {
  const size_t from = Clamp(first, m_text.size());
  return CString(m_text.substr(from, Clamp(count, m_text.size() - from)));
}

CString CString::Left(int count) const { return CString(m_text.substr(0, Clamp(count, m_text.size()))); }

CString CString::Right(int count) const {
  const size_t n = Clamp(count, m_text.size());
  return CString(m_text.substr(m_text.size() - n));
}

int CString::Delete(int index, int count) {
  const size_t from = Clamp(index, m_text.size());
  if (index >= 0) m_text.erase(from, Clamp(count, m_text.size() - from));
  return GetLength();
}

int CString::Insert(int index, const CString& text) {
  m_text.insert(Clamp(index, m_text.size()), text.m_text);
  return GetLength();
}

bool CString::ReplaceFirst(const CString& oldText, const CString& newText) {
  if (oldText.IsEmpty()) return false;
  const size_t pos = m_text.find(oldText.m_text);
  if (pos == std::string::npos) return false;
  m_text.replace(pos, oldText.m_text.size(), newText.m_text);
  return true;
}

int CString::Replace(const CString& oldText, const CString& newText) {
  if (oldText.IsEmpty()) return 0;
  int count = 0;
  size_t pos = 0;
  while ((pos = m_text.find(oldText.m_text, pos)) != std::string::npos) {
    m_text.replace(pos, oldText.m_text.size(), newText.m_text);
    pos += newText.m_text.size();
    ++count;
  }
  return count;
}

int CString::Remove(char ch) {
  const size_t before = m_text.size();
  std::string kept;
  kept.reserve(before);
  for (char c : m_text) {
    if (c != ch) kept += c;
  }
  m_text.swap(kept);
  return static_cast<int>(before - m_text.size());
}

void CString::MakeUpper() {
  for (char& c : m_text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
}

void CString::MakeLower() {
  for (char& c : m_text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}

int CString::CompareNoCase(const CString& other) const {
  const size_t n = m_text.size() < other.m_text.size() ? m_text.size() : other.m_text.size();
  for (size_t i = 0; i < n; ++i) {
    const int a = std::tolower(static_cast<unsigned char>(m_text[i]));
    const int b = std::tolower(static_cast<unsigned char>(other.m_text[i]));
    if (a != b) return a < b ? -1 : 1;
  }
  if (m_text.size() == other.m_text.size()) return 0;
  return m_text.size() < other.m_text.size() ? -1 : 1;
}

void CString::Format(const char* format, ...) {
  std::string out;
  va_list args;
  va_start(args, format);
  pelix::platform::AppendFormatV(out, format, args);
  va_end(args);
  m_text.swap(out);
}

void CString::AppendFormat(const char* format, ...) {
  va_list args;
  va_start(args, format);
  pelix::platform::AppendFormatV(m_text, format, args);
  va_end(args);
}
