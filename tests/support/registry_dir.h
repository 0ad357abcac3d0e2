// A fresh registry folder for one test: PELIX_REGISTRY_DIR points at it for
// the object's lifetime; the folder and its hives are removed afterwards.
#pragma once

#include <string>

namespace pelix::test {

class RegistryDir {
 public:
  RegistryDir();
  ~RegistryDir();
  RegistryDir(const RegistryDir&) = delete;
  RegistryDir& operator=(const RegistryDir&) = delete;

  const std::string& Path() const { return m_path; }
  std::string UserHive() const { return m_path + "/user.sqlite3"; }
  std::string MachineHive() const { return m_path + "/machine.sqlite3"; }

 private:
  std::string m_path;
  std::string m_previous;
  bool m_hadPrevious = false;
};

// The whole content of a file ("" when it cannot be read).
std::string ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const std::string& bytes);
bool FileExists(const std::string& path);

}  // namespace pelix::test
