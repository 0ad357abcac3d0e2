#include "tool.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>

#include <pelix/default_host.h>

namespace fs = std::filesystem;

namespace pelix::tool {

Options& GlobalOptions() {
  static Options options;
  return options;
}

// --- input ---------------------------------------------------------------

namespace {

int HexValue(char ch) {
  if (ch >= '0' && ch <= '9') return ch - '0';
  if (ch >= 'a' && ch <= 'f') return ch - 'a' + 10;
  if (ch >= 'A' && ch <= 'F') return ch - 'A' + 10;
  return -1;
}

bool IsSeparator(char ch) { return ch == ' ' || ch == '\t' || ch == ':' || ch == '-' || ch == '\r' || ch == '\n'; }

}  // namespace

std::vector<unsigned char> ParseHex(const std::string& text) {
  std::string digits;
  std::size_t start = 0;
  while (start < text.size() && IsSeparator(text[start])) ++start;
  if (text.size() >= start + 2 && text[start] == '0' && (text[start + 1] == 'x' || text[start + 1] == 'X')) {
    start += 2;
  }
  for (std::size_t i = start; i < text.size(); ++i) {
    const char ch = text[i];
    if (IsSeparator(ch)) {
      // A separator may only stand between whole octets.
      if (digits.size() % 2 != 0) throw UsageError("hex input splits an octet at position " + std::to_string(i + 1));
      continue;
    }
    if (HexValue(ch) < 0) {
      throw UsageError("hex input holds '" + std::string(1, ch) + "' at position " + std::to_string(i + 1));
    }
    digits.push_back(ch);
  }
  if (digits.size() % 2 != 0) throw UsageError("hex input has an odd number of digits");
  std::vector<unsigned char> octets;
  octets.reserve(digits.size() / 2);
  for (std::size_t i = 0; i < digits.size(); i += 2) {
    octets.push_back(static_cast<unsigned char>(HexValue(digits[i]) * 16 + HexValue(digits[i + 1])));
  }
  return octets;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw UsageError("cannot read " + path);
  std::ostringstream content;
  content << in.rdbuf();
  if (in.bad()) throw UsageError("cannot read " + path);
  return content.str();
}

std::string TextOrFile(const std::string& argument) {
  if (!argument.empty() && argument[0] == '@') return ReadFile(argument.substr(1));
  return argument;
}

long ParseInteger(const std::string& text, const char* what) {
  const std::string trimmed = Trim(text);
  if (trimmed.empty()) throw UsageError(std::string(what) + " is empty");
  errno = 0;
  char* end = nullptr;
  const long value = std::strtol(trimmed.c_str(), &end, 0);
  if (errno != 0 || end == nullptr || *end != '\0') {
    throw UsageError(std::string(what) + " is not a number: " + trimmed);
  }
  return value;
}

namespace {

struct KindName {
  const char* name;
  LoadableZCU_Type kind;
};

constexpr KindName kKinds[] = {
    {"H40", ZCU_H40},
    {"J40", ZCU_J40},
    {"H50", ZCU_H50},
    {"QMS", ZCU_QMS},
    {"ALL", ZCU_ALL},
    {"H30", ZCU_H30},
    {"ALL_BUT_WB", ZCU_ALL_BUT_WB},
};

}  // namespace

LoadableZCU_Type ParseZcuKind(const std::string& text) {
  std::string upper = text;
  std::transform(upper.begin(), upper.end(), upper.begin(), [](unsigned char c) { return std::toupper(c); });
  for (const KindName& entry : kKinds) {
    if (upper == entry.name) return entry.kind;
  }
  throw UsageError("unknown kind '" + text + "' (H40, J40, H50, QMS, ALL, H30 or ALL_BUT_WB)");
}

const char* ZcuKindName(int kind) {
  for (const KindName& entry : kKinds) {
    if (entry.kind == kind) return entry.name;
  }
  return "?";
}

std::string AsFolder(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  if (path != "/") path.push_back('/');
  return path;
}

std::string Trim(const std::string& text) {
  std::size_t begin = 0;
  std::size_t end = text.size();
  while (begin < end && std::isspace(static_cast<unsigned char>(text[begin]))) ++begin;
  while (end > begin && std::isspace(static_cast<unsigned char>(text[end - 1]))) --end;
  return text.substr(begin, end - begin);
}

std::vector<std::pair<int, std::string>> ContentLines(const std::string& text) {
  std::vector<std::pair<int, std::string>> content;
  std::istringstream lines(text);
  std::string line;
  int number = 0;
  while (std::getline(lines, line)) {
    ++number;
    std::string trimmed = Trim(line);
    if (trimmed.empty() || trimmed[0] == '#') continue;
    content.emplace_back(number, std::move(trimmed));
  }
  return content;
}

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
  return text;
}

// --- output --------------------------------------------------------------

Table::Table(std::vector<std::string> headers) : m_headers(std::move(headers)) {}

void Table::AddRow(std::vector<std::string> cells) {
  cells.resize(m_headers.size());
  m_rows.push_back(std::move(cells));
}

std::string Table::Render() const {
  std::vector<std::size_t> widths(m_headers.size(), 0);
  auto measure = [&widths](const std::vector<std::string>& cells) {
    for (std::size_t i = 0; i < cells.size(); ++i) widths[i] = std::max(widths[i], cells[i].size());
  };
  measure(m_headers);
  for (const auto& row : m_rows) measure(row);

  std::string out;
  auto emit = [&out, &widths](const std::vector<std::string>& cells) {
    std::string line;
    for (std::size_t i = 0; i < cells.size(); ++i) {
      line += cells[i];
      if (i + 1 < cells.size()) line += std::string(widths[i] - cells[i].size() + 2, ' ');
    }
    while (!line.empty() && line.back() == ' ') line.pop_back();
    out += line;
    out += '\n';
  };
  emit(m_headers);
  for (const auto& row : m_rows) emit(row);
  return out;
}

void PrintJson(const nlohmann::json& document) { std::cout << document.dump(2) << '\n'; }

std::string JsonText(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (unsigned char ch : text) {
    if (ch < 0x80) {
      out.push_back(static_cast<char>(ch));
    } else {
      out.push_back(static_cast<char>(0xC0 | (ch >> 6)));
      out.push_back(static_cast<char>(0x80 | (ch & 0x3F)));
    }
  }
  return out;
}

std::string JsonText(const CString& text) { return JsonText(text.str()); }

std::string Str(const CString& text) { return text.str(); }

std::string Printable(const std::string& text) {
  static const char digits[] = "0123456789abcdef";
  std::string out;
  for (unsigned char ch : text) {
    if (ch >= 0x20 && ch < 0x7f && ch != '\\') {
      out.push_back(static_cast<char>(ch));
    } else {
      out += "\\x";
      out.push_back(digits[ch >> 4]);
      out.push_back(digits[ch & 0x0F]);
    }
  }
  return out;
}

// --- the tool's host -----------------------------------------------------

bool DiskSizeOverride(unsigned long long& bytes) {
  const char* value = std::getenv("PELIX_DISK_SIZE");
  if (value == nullptr || *value == '\0') return false;
  errno = 0;
  char* end = nullptr;
  const unsigned long long parsed = std::strtoull(value, &end, 10);
  if (errno != 0 || end == nullptr || *end != '\0' || value[0] == '-') {
    throw UsageError(std::string("PELIX_DISK_SIZE is not a byte count: ") + value);
  }
  bytes = parsed;
  return true;
}

namespace {

// The default host with two changes of the tool's own: the disk size may be
// overridden from the environment, and user messages are marked.
class ToolHost final : public HostServices {
 public:
  explicit ToolHost(DefaultHost& inner) : m_inner(inner) {}

  bool ErrorHandlerExists() override { return m_inner.ErrorHandlerExists(); }
  int GetErrorHandlerType() override { return m_inner.GetErrorHandlerType(); }
  void StoreEnter(const char* file, int line, const char* scope) override { m_inner.StoreEnter(file, line, scope); }
  void StoreReturn(const char* file, int line) override { m_inner.StoreReturn(file, line); }
  void IncreaseLevel() override { m_inner.IncreaseLevel(); }
  void DecreaseLevel() override { m_inner.DecreaseLevel(); }
  void StoreError(int kind, const char* file, int line, const char* text) override {
    m_inner.StoreError(kind, file, line, text);
  }
  void LogError(int kind, const char* file, int line, const char* text) override {
    m_inner.LogError(kind, file, line, text);
  }
  void RaiseError(const char* text) override { m_inner.RaiseError(text); }
  void LogStoredMessages() override { m_inner.LogStoredMessages(); }
  int GetErrorStatus() override { return m_inner.GetErrorStatus(); }
  const char* BuildString(const char* format, va_list args) override { return m_inner.BuildString(format, args); }
  bool IsPelixTracesEnabled() override { return m_inner.IsPelixTracesEnabled(); }
  CString ID_ToText(int id, CabinetType cabinet) override { return m_inner.ID_ToText(id, cabinet); }
  int DisplayUserInfo(const char* text, int /*style*/, int /*second*/, bool /*flag*/) override {
    // The library's messages may span lines; each gets the prefix.
    std::istringstream lines(text != nullptr ? text : "");
    std::string line;
    while (std::getline(lines, line)) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      std::cerr << "pelix: message: " << line << '\n';
    }
    return 0;
  }
  unsigned long long GetDiskSize(const char* path) override {
    unsigned long long bytes = 0;
    if (DiskSizeOverride(bytes)) return bytes;
    return m_inner.GetDiskSize(path);
  }

 private:
  DefaultHost& m_inner;
};

}  // namespace

void InstallToolHost(bool trace) {
  DefaultHost& host = GetDefaultHost();
  host.SetLogStream(stderr);
  host.SetErrorHandler(trace, 2);
  host.SetPelixTracesEnabled(trace);
  // Never destroyed: the library's own globals (the monitor catalogue) trace
  // through the host while the process ends, after function-local statics of
  // the tool are gone.
  static ToolHost* const toolHost = new ToolHost(host);
  SetHostServices(toolHost);
}

// --- files ---------------------------------------------------------------

namespace {

bool IsFolder(const std::string& path) {
  std::error_code error;
  return !path.empty() && fs::is_directory(path, error);
}

std::string ExecutableFolder() {
  std::error_code error;
  const fs::path self = fs::read_symlink("/proc/self/exe", error);
  if (error) return std::string();
  return self.parent_path().string();
}

std::string TempRoot() {
  const char* dir = std::getenv("TMPDIR");
  if (dir != nullptr && *dir != '\0') return AsFolder(dir);
  return "/tmp/";
}

}  // namespace

std::string DataFolder() {
  std::vector<std::string> candidates;
  if (const char* env = std::getenv("PELIX_DATA_DIR"); env != nullptr && *env != '\0') {
    // An explicit choice is the only candidate: a wrong one must not fall
    // back silently to other data.
    if (!IsFolder(env)) throw OperationFailed(std::string("PELIX_DATA_DIR is not a folder: ") + env);
    return AsFolder(env);
  }
  const std::string exe = ExecutableFolder();
  if (!exe.empty()) candidates.push_back(exe + "/../share/pelix");
  candidates.emplace_back(PELIX_INSTALL_DATA_DIR);
  for (const std::string& candidate : candidates) {
    if (IsFolder(candidate)) return AsFolder(fs::weakly_canonical(candidate).string());
  }
  throw OperationFailed("the bundled data folder was not found (set PELIX_DATA_DIR)");
}

ScratchFolder::ScratchFolder(const char* tag) {
  std::string pattern = TempRoot() + "pelix-" + tag + "-XXXXXX";
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back('\0');
  if (mkdtemp(buffer.data()) == nullptr) {
    throw OperationFailed("cannot make a temporary folder under " + TempRoot());
  }
  m_path = AsFolder(buffer.data());
}

ScratchFolder::~ScratchFolder() {
  std::error_code error;
  // Package files may have lost their write permission on the way; the
  // owner can still remove them, since removal needs the folder's rights.
  fs::remove_all(m_path, error);
}

ScopedTempDir::ScopedTempDir(const std::string& folder) {
  if (const char* old = std::getenv("TMPDIR"); old != nullptr) {
    m_had = true;
    m_old = old;
  }
  setenv("TMPDIR", folder.c_str(), 1);
}

ScopedTempDir::~ScopedTempDir() {
  if (m_had) {
    setenv("TMPDIR", m_old.c_str(), 1);
  } else {
    unsetenv("TMPDIR");
  }
}

}  // namespace pelix::tool
