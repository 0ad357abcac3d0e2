// Runs the built pelix binary as a user would: arguments, environment,
// standard input, where standard output goes, or a pseudo-terminal of a given
// width. Each Sandbox is a fresh folder (the child's working folder) with its
// own temporary folder and registry hives.
#pragma once

#include <map>
#include <string>
#include <utility>
#include <vector>

namespace pelix::tool::test {

struct RunResult {
  int exitCode = -1;
  std::string out;  // with a pseudo-terminal: everything the terminal got
  std::string err;
};

struct Invocation {
  Invocation(std::vector<std::string> a, std::map<std::string, std::string> e = {}, std::string in = "",
             std::string to = "", bool sh = false, int columns = 0)
      : args(std::move(a)),
        env(std::move(e)),
        input(std::move(in)),
        stdoutTo(std::move(to)),
        shell(sh),
        terminalColumns(columns) {}
  std::vector<std::string> args;  // with `shell`: one command line for /bin/sh
  std::map<std::string, std::string> env;
  std::string input;     // standard input
  std::string stdoutTo;  // "" captured, "/dev/full", "closed", "broken-pipe"
  bool shell;            // pelix's folder first in PATH
  int terminalColumns;   // > 0: standard output and error on a terminal this wide
};

class Sandbox {
 public:
  Sandbox();
  ~Sandbox();
  Sandbox(const Sandbox&) = delete;
  Sandbox& operator=(const Sandbox&) = delete;

  const std::string& Root() const { return m_root; }  // with a trailing '/'
  RunResult Run(const Invocation& call) const;
  RunResult Run(const std::vector<std::string>& args) const { return Run(Invocation{args}); }
  std::string Write(const std::string& relative, const std::string& content) const;
  // Entries under the folder, recursively, as relative paths (sorted).
  std::vector<std::string> List(const std::string& relative) const;

 private:
  std::string m_root;
};

// A package folder: load file LOADF001 with APPL1 (1000 bytes, for H40 and
// J40) and the boot sub-file BOOT1 (2000 bytes, for H40): H40 needs 5000 bytes.
void WritePackage(const Sandbox& box, const std::string& folder);

}  // namespace pelix::tool::test
