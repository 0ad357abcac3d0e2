// A file with given contents in the temporary folder, removed again when the
// object goes out of scope.
#pragma once

#include <stdlib.h>
#include <unistd.h>

#include <fstream>
#include <stdexcept>
#include <string>

#include "platform/temp_folder.h"

namespace pelix::test {

class TempTextFile {
 public:
  explicit TempTextFile(const std::string& contents, const std::string& suffix = ".xml")
      : m_path(pelix::platform::TempFolder() + "pelix-test-XXXXXX" + suffix) {
    const int fd = ::mkstemps(m_path.data(), static_cast<int>(suffix.size()));
    if (fd < 0) throw std::runtime_error("cannot create a temporary file");
    ::close(fd);
    if (!(std::ofstream(m_path, std::ios::binary) << contents)) throw std::runtime_error("cannot write " + m_path);
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
