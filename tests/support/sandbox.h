// A fresh folder per test, removed with everything in it afterwards, and a
// snapshot of a folder tree to prove that an operation left it untouched.
#pragma once

#include <map>
#include <string>

namespace pelix::test {

class Sandbox {
 public:
  Sandbox();   // makes a new folder below the system's temporary folder
  ~Sandbox();  // removes it (never following symlinks)
  Sandbox(const Sandbox&) = delete;
  Sandbox& operator=(const Sandbox&) = delete;

  // The folder, without a trailing '/'.
  const std::string& Path() const { return m_path; }
  // Path() + "/" + relative.
  std::string operator/(const std::string& relative) const { return m_path + "/" + relative; }

 private:
  std::string m_path;
};

// Every object below `root` (symlinks not followed), keyed by its path relative
// to `root`, with its kind, permissions, size, modification time and a hash of
// its content or its link target. Paths equal to or below `skip` (relative to
// root) are left out.
std::map<std::string, std::string> SnapshotTree(const std::string& root, const std::string& skip = "");

// True when `path` names something (a dangling symlink counts).
bool Exists(const std::string& path);

}  // namespace pelix::test
