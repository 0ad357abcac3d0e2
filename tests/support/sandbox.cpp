#include "tests/support/sandbox.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <system_error>
#include <vector>

#include "tests/support/archive_builder.h"

namespace pelix::test {

namespace fs = std::filesystem;

Sandbox::Sandbox() {
  const char* tmp = std::getenv("TMPDIR");
  std::string pattern = (tmp != nullptr && *tmp != '\0') ? tmp : "/tmp";
  pattern += "/pelix-test-XXXXXX";
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back('\0');
  if (mkdtemp(buffer.data()) != nullptr) m_path = buffer.data();
}

Sandbox::~Sandbox() {
  if (m_path.empty()) return;
  std::error_code ec;
  // Folders made read-only by a test must become writable again to be emptied.
  for (auto it = fs::recursive_directory_iterator(m_path, ec); !ec && it != fs::recursive_directory_iterator();
       it.increment(ec)) {
    if (it->is_directory(ec) && !it->is_symlink(ec)) chmod(it->path().c_str(), 0700);
  }
  fs::remove_all(m_path, ec);
}

namespace {

void Walk(const std::string& root, const std::string& relative, const std::string& skip,
          std::map<std::string, std::string>& out) {
  std::error_code ec;
  for (fs::directory_iterator it(root + (relative.empty() ? "" : "/" + relative), ec), end; !ec && it != end;
       it.increment(ec)) {
    const std::string name = it->path().filename().string();
    const std::string rel = relative.empty() ? name : relative + "/" + name;
    if (!skip.empty() && (rel == skip || rel.rfind(skip + "/", 0) == 0)) continue;
    struct stat st {};
    if (lstat(it->path().c_str(), &st) != 0) continue;
    std::string info = std::to_string(st.st_mode) + " " + std::to_string(st.st_size) + " " +
                       std::to_string(st.st_mtim.tv_sec) + "." + std::to_string(st.st_mtim.tv_nsec) + " " +
                       std::to_string(st.st_nlink);
    if (S_ISREG(st.st_mode)) {
      info += " " + std::to_string(std::hash<std::string>{}(FileText(it->path().string())));
    } else if (S_ISLNK(st.st_mode)) {
      info += " -> " + fs::read_symlink(it->path(), ec).string();
    }
    out[rel] = info;
    if (S_ISDIR(st.st_mode)) Walk(root, rel, skip, out);
  }
}

}  // namespace

std::map<std::string, std::string> SnapshotTree(const std::string& root, const std::string& skip) {
  std::map<std::string, std::string> out;
  Walk(root, "", skip, out);
  return out;
}

bool Exists(const std::string& path) {
  struct stat st {};
  return lstat(path.c_str(), &st) == 0;
}

}  // namespace pelix::test
