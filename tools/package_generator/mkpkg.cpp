// pelix-mkpkg: writes a software package folder for trying the library out.
//   pelix-mkpkg --demo FOLDER                      the bundled demo package
//   pelix-mkpkg --large MIB SUBFILES LOADFILES BOOTEVERY FOLDER
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "tools/package_generator/package_generator.h"

namespace {

int Usage() {
  std::fprintf(stderr,
               "usage: pelix-mkpkg --demo FOLDER\n"
               "       pelix-mkpkg --large MIB SUBFILES LOADFILES BOOTEVERY FOLDER\n"
               "Writes a package folder: a file-information file and load files.\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  pelix::packagegen::PackageSpec package;
  std::string folder;
  if (argc == 3 && std::strcmp(argv[1], "--demo") == 0) {
    package = pelix::packagegen::DemoPackage();
    folder = argv[2];
  } else if (argc == 7 && std::strcmp(argv[1], "--large") == 0) {
    const long mib = std::atol(argv[2]);
    const int subFiles = std::atoi(argv[3]);
    const int loadFiles = std::atoi(argv[4]);
    const int bootEvery = std::atoi(argv[5]);
    if (mib <= 0 || subFiles <= 0 || loadFiles <= 0 || bootEvery < 0) return Usage();
    package = pelix::packagegen::LargePackage(static_cast<uint64_t>(mib) << 20, subFiles, loadFiles, bootEvery);
    folder = argv[6];
  } else {
    return Usage();
  }
  if (!pelix::packagegen::WritePackage(folder, package)) {
    std::fprintf(stderr, "pelix-mkpkg: cannot write %s\n", folder.c_str());
    return 1;
  }
  return 0;
}
