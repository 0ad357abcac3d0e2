// A file with given contents in the temporary folder, removed again when the
// object goes out of scope.
#pragma once

#include <stdlib.h>
#include <unistd.h>

#include <stdexcept>
#include <string>

#include "platform/temp_folder.h"

namespace pelix::test {

class TempTextFile {
 public:
  explicit TempTextFile(const std::string& contents, const std::string& suffix = ".xml") {
    std::string pattern = pelix::platform::TempFolder() + "pelix-test-XXXXXX" + suffix;
    const int fd = ::mkstemps(pattern.data(), static_cast<int>(suffix.size()));
    if (fd < 0) throw std::runtime_error("cannot create a temporary file");
    size_t written = 0;
    while (written < contents.size()) {
      const ssize_t n = ::write(fd, contents.data() + written, contents.size() - written);
      if (n <= 0) {
        ::close(fd);
        ::unlink(pattern.c_str());
        throw std::runtime_error("cannot write a temporary file");
      }
      written += static_cast<size_t>(n);
    }
    ::close(fd);
    m_path = pattern;
  }
  ~TempTextFile() { ::unlink(m_path.c_str()); }
  TempTextFile(const TempTextFile&) = delete;
  TempTextFile& operator=(const TempTextFile&) = delete;

  const std::string& path() const { return m_path; }
  const char* c_str() const { return m_path.c_str(); }

 private:
  std::string m_path;
};

}  // namespace pelix::test
