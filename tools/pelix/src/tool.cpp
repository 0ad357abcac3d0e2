#include "tool.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
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

namespace {

[[noreturn]] void ReadFailure(const std::string& path, int error) {
  const std::string message = "cannot read " + path + ": " + std::strerror(error);
  if (error == ENOENT || error == ENOTDIR) throw UsageError(message);
  throw OperationFailed(message);
}

}  // namespace

void CheckInputFile(const std::string& path) {
  if (path.empty()) throw UsageError("an empty file name was given");
  struct stat info {};
  if (stat(path.c_str(), &info) != 0) ReadFailure(path, errno);
  if (S_ISDIR(info.st_mode)) throw UsageError(path + " is a folder, not a file");
  if (access(path.c_str(), R_OK) != 0) ReadFailure(path, errno);
}

std::string ReadFile(const std::string& path) {
  static bool stdinTaken = false;
  const bool fromStdin = path == "-";
  const std::string name = fromStdin ? "standard input" : path;
  if (fromStdin && stdinTaken) throw UsageError("standard input ('-') can be read only once");
  stdinTaken = stdinTaken || fromStdin;
  if (!fromStdin) CheckInputFile(path);
  const int fd = fromStdin ? STDIN_FILENO : open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) ReadFailure(name, errno);
  std::string content;
  char buffer[65536];
  for (;;) {
    const ssize_t got = read(fd, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      const int error = errno;
      if (!fromStdin) close(fd);
      ReadFailure(name, error);
    }
    if (got == 0) break;
    content.append(buffer, static_cast<std::size_t>(got));
  }
  if (!fromStdin) close(fd);
  if (Trim(content).empty()) throw UsageError(name + " is empty");
  return content;
}

std::string TextOrFile(const std::string& argument) {
  if (argument == "-" || argument == "@-") return ReadFile("-");
  if (!argument.empty() && argument[0] == '@') return ReadFile(argument.substr(1));
  return argument;
}

CLI::Validator OneOf(std::vector<std::string> accepted) {
  std::string list;
  for (const std::string& value : accepted) list += (list.empty() ? "" : ", ") + value;
  return CLI::Validator(
      [accepted, list](std::string& value) -> std::string {
        for (const std::string& candidate : accepted) {
          if (Lower(candidate) == Lower(value)) return std::string();
        }
        return "'" + value + "' is not accepted; accepted: " + list;
      },
      "");
}

CLI::Validator Between(long low, long high) {
  return CLI::Validator(
      [low, high](std::string& value) -> std::string {
        try {
          const long number = ParseInteger(value, "the value");
          if (number >= low && number <= high) return std::string();
        } catch (const UsageError&) {
        }
        return "'" + value + "' is not accepted; accepted: " + std::to_string(low) + " to " + std::to_string(high);
      },
      "");
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

std::vector<std::string> ZcuKindNames() {
  std::vector<std::string> names;
  for (const KindName& entry : kKinds) names.emplace_back(entry.name);
  return names;
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

namespace {

// The length of the valid UTF-8 sequence at text[at], 0 when there is none.
std::size_t Utf8Length(const std::string& text, std::size_t at) {
  const auto lead = static_cast<unsigned char>(text[at]);
  if (lead < 0x80) return 1;
  std::size_t length = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
  } else {
    return 0;
  }
  if (at + length > text.size()) return 0;
  unsigned long code = lead & (0x7Fu >> length);
  for (std::size_t i = 1; i < length; ++i) {
    const auto next = static_cast<unsigned char>(text[at + i]);
    if ((next & 0xC0) != 0x80) return 0;
    code = code << 6 | (next & 0x3Fu);
  }
  if ((length == 3 && code < 0x800) || (length == 4 && (code < 0x10000 || code > 0x10FFFF)) ||
      (code >= 0xD800 && code <= 0xDFFF)) {
    return 0;
  }
  return length;
}

bool IsUtf8(const std::string& text) {
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t length = Utf8Length(text, i);
    if (length == 0) return false;
    i += length;
  }
  return true;
}

void AppendEscaped(std::string& out, unsigned char byte) {
  static const char digits[] = "0123456789abcdef";
  out += "\\x";
  out.push_back(digits[byte >> 4]);
  out.push_back(digits[byte & 0x0F]);
}

}  // namespace

std::string JsonText(const std::string& text) {
  if (IsUtf8(text)) return text;
  std::string out;
  out.reserve(text.size() * 2);
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

std::string JsonPath(const std::string& path) {
  if (IsUtf8(path)) return path;
  std::string out;
  for (std::size_t i = 0; i < path.size();) {
    const std::size_t length = Utf8Length(path, i);
    if (length == 0) {
      AppendEscaped(out, static_cast<unsigned char>(path[i++]));
    } else if (path[i] == '\\') {
      out += "\\\\";
      ++i;
    } else {
      out.append(path, i, length);
      i += length;
    }
  }
  return out;
}

std::string Str(const CString& text) { return text.str(); }

std::string Printable(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size();) {
    const auto ch = static_cast<unsigned char>(text[i]);
    const std::size_t length = Utf8Length(text, i);
    const bool c1Control = length == 2 && ch == 0xC2 && static_cast<unsigned char>(text[i + 1]) < 0xA0;
    if (length == 1 && ((ch >= 0x20 && ch < 0x7f) || ch == '\n' || ch == '\t')) {
      out.push_back(static_cast<char>(ch));
      ++i;
    } else if (length > 1 && !c1Control) {
      out.append(text, i, length);
      i += length;
    } else {
      AppendEscaped(out, ch);
      ++i;
    }
  }
  return out;
}

std::string IsoTime(const std::string& text) {
  if (Trim(text).empty()) return std::string();
  std::tm fields{};
  char rest = 0;
  if (std::sscanf(text.c_str(), "%4d-%2d-%2d %2d:%2d:%2d%c", &fields.tm_year, &fields.tm_mon, &fields.tm_mday,
                  &fields.tm_hour, &fields.tm_min, &fields.tm_sec, &rest) != 6) {
    return text;
  }
  fields.tm_year -= 1900;
  fields.tm_mon -= 1;
  fields.tm_isdst = -1;
  const std::time_t when = std::mktime(&fields);
  std::tm local{};
  if (when == static_cast<std::time_t>(-1) || localtime_r(&when, &local) == nullptr) return text;
  const int offset = static_cast<int>(local.tm_gmtoff / 60) % (24 * 60);
  char out[64];
  std::snprintf(out, sizeof out, "%04d-%02d-%02dT%02d:%02d:%02d%c%02d:%02d", local.tm_year + 1900, local.tm_mon + 1,
                local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec, offset < 0 ? '-' : '+', std::abs(offset) / 60,
                std::abs(offset) % 60);
  return out;
}

// Writes to file descriptor 1 and keeps the first failure's errno; once a
// write failed, the rest is dropped.
class CheckedStandardOutput::Buffer : public std::streambuf {
 public:
  Buffer() { setp(m_data, m_data + sizeof m_data); }
  int Error() const { return m_error; }
  bool Drain() {
    const char* from = pbase();
    while (m_error == 0 && from < pptr()) {
      const ssize_t written = write(STDOUT_FILENO, from, static_cast<std::size_t>(pptr() - from));
      if (written < 0 && errno == EINTR) continue;
      if (written < 0) m_error = errno;
      if (written > 0) from += written;
    }
    setp(m_data, m_data + sizeof m_data);
    return m_error == 0;
  }

 protected:
  int_type overflow(int_type ch) override {
    if (!Drain()) return traits_type::eof();
    if (!traits_type::eq_int_type(ch, traits_type::eof())) {
      *pptr() = traits_type::to_char_type(ch);
      pbump(1);
    }
    return traits_type::not_eof(ch);
  }
  int sync() override { return Drain() ? 0 : -1; }

 private:
  char m_data[8192];
  int m_error = 0;
};

CheckedStandardOutput::CheckedStandardOutput() : m_buffer(std::make_unique<Buffer>()) {
  std::fflush(stdout);
  m_old = std::cout.rdbuf(m_buffer.get());
}

CheckedStandardOutput::~CheckedStandardOutput() { std::cout.rdbuf(m_old); }

std::string CheckedStandardOutput::Finish() {
  m_buffer->Drain();
  std::cout.clear();
  return m_buffer->Error() != 0 ? std::strerror(m_buffer->Error()) : std::string();
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

unsigned long long FreeBytes(const std::string& folder) {
  unsigned long long bytes = 0;
  if (DiskSizeOverride(bytes)) return bytes;
  struct statvfs info {};
  if (statvfs(folder.c_str(), &info) != 0) return 0;
  return static_cast<unsigned long long>(info.f_bavail) * static_cast<unsigned long long>(info.f_frsize);
}

namespace {

// The trace lines kept while a TraceCapture lives.
struct Captured {
  bool on = false;
  std::vector<std::string> lines;
};

Captured& Capture() {
  static Captured captured;
  return captured;
}

// The default host with changes of the tool's own: the disk size may be
// overridden from the environment, user messages are marked, and while a
// TraceCapture lives the library's trace lines are kept (the handler counts
// as present, but what it would show stays hidden unless --trace).
class ToolHost final : public HostServices {
 public:
  explicit ToolHost(DefaultHost& inner) : m_inner(inner) {}

  bool ErrorHandlerExists() override { return m_inner.ErrorHandlerExists() || Capture().on; }
  int GetErrorHandlerType() override { return m_inner.GetErrorHandlerType(); }
  void StoreEnter(const char* file, int line, const char* scope) override {
    if (Shown()) m_inner.StoreEnter(file, line, scope);
  }
  void StoreReturn(const char* file, int line) override {
    if (Shown()) m_inner.StoreReturn(file, line);
  }
  void IncreaseLevel() override {
    if (Shown()) m_inner.IncreaseLevel();
  }
  void DecreaseLevel() override {
    if (Shown()) m_inner.DecreaseLevel();
  }
  void StoreError(int kind, const char* file, int line, const char* text) override {
    if (Capture().on && kind == EK_TRACE && text != nullptr) Capture().lines.emplace_back(text);
    if (Shown()) m_inner.StoreError(kind, file, line, text);
  }
  void LogError(int kind, const char* file, int line, const char* text) override {
    if (Shown()) m_inner.LogError(kind, file, line, text);
  }
  void RaiseError(const char* text) override {
    if (Shown()) m_inner.RaiseError(text);
  }
  void LogStoredMessages() override {
    if (Shown()) m_inner.LogStoredMessages();
  }
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
      std::cerr << "pelix: message: " << Printable(line) << '\n';
    }
    return 0;
  }
  unsigned long long GetDiskSize(const char* path) override {
    unsigned long long bytes = 0;
    if (DiskSizeOverride(bytes)) return bytes;
    return m_inner.GetDiskSize(path);
  }

 private:
  bool Shown() { return m_inner.ErrorHandlerExists(); }
  DefaultHost& m_inner;
};

}  // namespace

TraceCapture::TraceCapture() {
  Capture().on = true;
  Capture().lines.clear();
}

TraceCapture::~TraceCapture() { Capture().on = false; }

std::string TraceCapture::Last(const std::string& prefix) const {
  const std::vector<std::string>& lines = Capture().lines;
  for (auto it = lines.rbegin(); it != lines.rend(); ++it) {
    if (it->compare(0, prefix.size(), prefix) == 0) return *it;
  }
  return std::string();
}

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
    throw OperationFailed("cannot make a temporary folder under " + TempRoot() + ": " + std::strerror(errno));
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
