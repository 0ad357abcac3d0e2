// The frame of the pelix tool: global options, exit codes and the errors that
// carry them, input helpers, aligned tables, JSON output, the tool's host and
// the scratch folders it cleans up after itself.
#pragma once

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <streambuf>
#include <string>
#include <utility>
#include <vector>

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include <pelix/common.h>

namespace pelix::tool {

// Exit codes of the tool.
constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;  // the operation failed
constexpr int kExitUsage = 2;   // bad command line or bad input

// Options that every command sees.
struct Options {
  bool trace = false;  // nested library trace on standard error
  bool json = false;   // one JSON document on standard output
  bool quiet = false;  // no progress display
};
Options& GlobalOptions();

// Bad usage found after parsing (a malformed number, an unreadable input
// file): exit code 2.
class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The operation failed: exit code 1. `code` names the library's result
// ("SR_NO_SPACE") when there is one.
class OperationFailed : public std::runtime_error {
 public:
  explicit OperationFailed(const std::string& message, std::string code = std::string())
      : std::runtime_error(message), m_code(std::move(code)) {}
  const std::string& Code() const { return m_code; }

 private:
  std::string m_code;
};

// Builds the whole command line of the tool.
void BuildApp(CLI::App& app);
// Parses and runs argv; returns the exit code. Messages go to the streams.
int Run(int argc, const char* const* argv);

// --- command groups (each adds its subcommands to the app) ---
void AddFaultmapCommands(CLI::App& app);
void AddFaultcodeCommands(CLI::App& app);
void AddMonitorCommands(CLI::App& app);
void AddPackageCommands(CLI::App& app);
void AddCardCommands(CLI::App& app);
void AddSettingsCommands(CLI::App& app);
void AddDemoCommand(CLI::App& app);

// --- input ---
// Octets from hexadecimal text; blanks, tabs, ':' and '-' between octet pairs
// are ignored and an optional "0x" prefix is accepted. Throws UsageError on
// an odd digit count or a non-hex character.
std::vector<unsigned char> ParseHex(const std::string& text);
// The text itself, the contents of FILE for "@FILE", standard input for "-"
// or "@-".
std::string TextOrFile(const std::string& argument);
// The whole file, standard input for "-". A file that does not exist, a
// folder and an empty input are bad usage (UsageError); any other failure to
// read is OperationFailed. Each message names the file and the reason.
std::string ReadFile(const std::string& path);
// Checks a path the library opens itself the same way: it exists, is no
// folder and can be read.
void CheckInputFile(const std::string& path);
// A validator for an option that accepts only the listed values (compared
// without regard to letter case); the message lists them.
CLI::Validator OneOf(std::vector<std::string> accepted);
// A validator for a whole number from `low` to `high`.
CLI::Validator Between(long low, long high);
// A decimal or 0x-hexadecimal integer; throws UsageError naming `what`.
long ParseInteger(const std::string& text, const char* what);
// "H40" .. "ALL_BUT_WB" (any letter case) to the kind; throws UsageError.
LoadableZCU_Type ParseZcuKind(const std::string& text);
const char* ZcuKindName(int kind);
std::vector<std::string> ZcuKindNames();
// A folder path with exactly one trailing '/'.
std::string AsFolder(std::string path);
std::string Trim(const std::string& text);
// The lines of a text file that carry content, trimmed, with their line
// numbers (from 1): blank lines and '#' comment lines are left out.
std::vector<std::pair<int, std::string>> ContentLines(const std::string& text);
std::string Lower(std::string text);

// --- output ---
// A table with left-aligned columns two blanks apart and a header line.
class Table {
 public:
  explicit Table(std::vector<std::string> headers);
  void AddRow(std::vector<std::string> cells);
  std::size_t RowCount() const { return m_rows.size(); }
  std::string Render() const;

 private:
  std::vector<std::string> m_headers;
  std::vector<std::vector<std::string>> m_rows;
};
// Writes the document and a line end to standard output.
void PrintJson(const nlohmann::json& document);
// A text from the library or a file as JSON-safe UTF-8: valid UTF-8 is kept,
// any other byte string is taken as Latin-1.
std::string JsonText(const std::string& text);
std::string JsonText(const CString& text);
// A path for a JSON document: valid UTF-8 is kept; otherwise each byte that
// is not part of a valid UTF-8 sequence is written \xNN and a backslash \\,
// so that the exact bytes can be recovered.
std::string JsonPath(const std::string& path);
std::string Str(const CString& text);
// The text for a terminal: control characters and bytes that are not valid
// UTF-8 as \xNN.
std::string Printable(const std::string& text);
// "2026-12-05 09:29:40" (local time) as "2026-12-05T09:29:40+01:00"; a text
// of another form is returned as it is, blanks as "".
std::string IsoTime(const std::string& text);

// Standard output through a buffer whose writes are checked: Finish writes
// what is left and returns the system's reason when any write failed ("" if
// none did). Installed for the lifetime of the object.
class CheckedStandardOutput {
 public:
  CheckedStandardOutput();
  ~CheckedStandardOutput();
  CheckedStandardOutput(const CheckedStandardOutput&) = delete;
  CheckedStandardOutput& operator=(const CheckedStandardOutput&) = delete;
  std::string Finish();

 private:
  class Buffer;
  std::unique_ptr<Buffer> m_buffer;
  std::streambuf* m_old = nullptr;
};

// --- the tool's host ---
// Installs the tool's host services: the library's default host, with its
// error handler and detailed traces on (log to standard error) when `trace`,
// user messages on standard error with a "pelix: message: " prefix, and the
// disk size taken from $PELIX_DISK_SIZE when set (a testing aid).
void InstallToolHost(bool trace);
// The bytes free in the folder's file system ($PELIX_DISK_SIZE when set).
unsigned long long FreeBytes(const std::string& folder);
// While the object lives, the library's trace lines are kept (without being
// shown unless --trace): Last() gives the last one that starts with `prefix`.
class TraceCapture {
 public:
  TraceCapture();
  ~TraceCapture();
  TraceCapture(const TraceCapture&) = delete;
  TraceCapture& operator=(const TraceCapture&) = delete;
  std::string Last(const std::string& prefix) const;
};
// $PELIX_DISK_SIZE as bytes, or false when unset; throws UsageError when set
// to something that is not a number.
bool DiskSizeOverride(unsigned long long& bytes);

// --- files ---
// The bundled data folder with a trailing '/': $PELIX_DATA_DIR, else the
// share folder beside the tool (in a build folder, a link to the source
// tree's data), else the install-time folder. Throws OperationFailed when
// none exists.
std::string DataFolder();
// A fresh folder under the temporary folder, removed with everything in it
// when the object goes.
class ScratchFolder {
 public:
  explicit ScratchFolder(const char* tag);
  ~ScratchFolder();
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  // With a trailing '/'.
  const std::string& Path() const { return m_path; }

 private:
  std::string m_path;
};
// Points $TMPDIR (where the library puts its temporary copies) at `folder`
// for the lifetime of the object, then restores it.
class ScopedTempDir {
 public:
  explicit ScopedTempDir(const std::string& folder);
  ~ScopedTempDir();
  ScopedTempDir(const ScopedTempDir&) = delete;
  ScopedTempDir& operator=(const ScopedTempDir&) = delete;

 private:
  bool m_had = false;
  std::string m_old;
};

}  // namespace pelix::tool
