#include "tests/support/registry_dir.h"

#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <vector>

#include "pelix/platform.h"

namespace pelix::test {

RegistryDir::RegistryDir() {
  char buffer[512];
  DWORD length = GetTempPathA(sizeof buffer, buffer);
  std::string pattern = std::string(buffer, length) + "pelix-registry-XXXXXX";
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  if (mkdtemp(name.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  m_path = name.data();
  const char* previous = std::getenv("PELIX_REGISTRY_DIR");
  m_hadPrevious = previous != nullptr;
  if (m_hadPrevious) m_previous = previous;
  setenv("PELIX_REGISTRY_DIR", m_path.c_str(), 1);
}

RegistryDir::~RegistryDir() {
  if (m_hadPrevious) {
    setenv("PELIX_REGISTRY_DIR", m_previous.c_str(), 1);
  } else {
    unsetenv("PELIX_REGISTRY_DIR");
  }
  std::error_code ignored;
  std::filesystem::remove_all(m_path, ignored);
}

std::string ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFileBytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

bool FileExists(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0;
}

}  // namespace pelix::test
