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
  explicit TempTextFile(const std::string& contents, const std::string& suffix = ".xml")
      : m_path(pelix::platform::TempFolder() + "pelix-test-XXXXXX" + suffix) {
    const int fd = ::mkstemps(m_path.data(), static_cast<int>(suffix.size()));
    const bool written = fd >= 0 && ::write(fd, contents.data(), contents.size()) == ssize_t(contents.size());
    if (fd < 0 || ::close(fd) != 0 || !written) throw std::runtime_error("cannot write a temporary file");
  }
  ~TempTextFile() { ::unlink(m_path.c_str()); }
  TempTextFile(const TempTextFile&) = delete;
  TempTextFile& operator=(const TempTextFile&) = delete;
  const char* c_str() const { return m_path.c_str(); }

 private:
  std::string m_path;
};

}  // namespace pelix::test
