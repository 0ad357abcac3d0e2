// The frame of the pelix tool: global options, exit codes and the errors that
// carry them, input helpers, aligned tables, JSON output, the tool's host and
// the scratch folders it cleans up after itself.
#pragma once

#include <cstdint>
#include <stdexcept>
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
// The text itself, or the contents of FILE for "@FILE".
std::string TextOrFile(const std::string& argument);
// The whole file; throws UsageError when it cannot be read.
std::string ReadFile(const std::string& path);
// A decimal or 0x-hexadecimal integer; throws UsageError naming `what`.
long ParseInteger(const std::string& text, const char* what);
// "H40" .. "ALL_BUT_WB" (any letter case) to the kind; throws UsageError.
LoadableZCU_Type ParseZcuKind(const std::string& text);
const char* ZcuKindName(int kind);
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
// A text from the library as JSON-safe UTF-8: bytes above 0x7f are taken as
// Latin-1, so any byte string can be put in a document.
std::string JsonText(const std::string& text);
std::string JsonText(const CString& text);
std::string Str(const CString& text);
// The text for a terminal: bytes outside printable ASCII as \xNN.
std::string Printable(const std::string& text);

// --- the tool's host ---
// Installs the tool's host services: the library's default host, with its
// error handler and detailed traces on (log to standard error) when `trace`,
// user messages on standard error with a "pelix: message: " prefix, and the
// disk size taken from $PELIX_DISK_SIZE when set (a testing aid).
void InstallToolHost(bool trace);
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
