// Runs the built pelix binary as a user would: arguments, extra environment,
// captured standard output and error, exit code. Each Sandbox is a fresh
// folder with its own temporary folder and registry hives for the child.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace pelix::tool::test {

struct RunResult {
  int exitCode = -1;
  std::string out;
  std::string err;
};

class Sandbox {
 public:
  Sandbox();
  ~Sandbox();
  Sandbox(const Sandbox&) = delete;
  Sandbox& operator=(const Sandbox&) = delete;

  // With a trailing '/'.
  const std::string& Root() const { return m_root; }
  // $TMPDIR of the child: checked to be empty after a run that cleans up.
  std::string Tmp() const { return m_root + "tmp/"; }
  std::string Registry() const { return m_root + "registry/"; }

  // Runs pelix with the arguments; TMPDIR and PELIX_REGISTRY_DIR point into
  // the sandbox, TZ is UTC, plus `env` (an empty value unsets the variable).
  RunResult Run(const std::vector<std::string>& args, const std::map<std::string, std::string>& env = {}) const;

  std::string Write(const std::string& relative, const std::string& content) const;
  std::string Read(const std::string& relative) const;
  bool Exists(const std::string& relative) const;
  // Entries under the folder, recursively, as relative paths (sorted).
  std::vector<std::string> List(const std::string& relative) const;

 private:
  std::string m_root;
};

// A small package folder: file-information file KMA0001 and load file
// LOADF001 with an ordinary sub-file APPL1 (1000 bytes, for H40 and J40)
// and a boot sub-file BOOT1 (2000 bytes, for H40, whose software name is
// QTV1234567_R1A01 and revision R1A01). `infoName` names the
// file-information file (an archive needs one starting with "FLF").
void WritePackage(const Sandbox& box, const std::string& folder, const std::string& infoName = "KMA0001");
std::string AppContent();   // the 1000 bytes of APPL1
std::string BootContent();  // the 2000 bytes of BOOT1

}  // namespace pelix::tool::test
