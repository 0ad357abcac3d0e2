// Writes software package folders: a file-information file and load files
// whose sub-files hold deterministic bytes, ordinary and boot sub-files,
// destination symbols and BSC-format file names. Used by the tests, the
// benchmarks and the demo package.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace pelix::packagegen {

struct SubFileSpec {
  std::string name;
  uint32_t size = 0;
  std::vector<std::string> dest;
  std::vector<std::string> boot;  // empty: the sub-file has no "BOOT" attribute
  uint32_t seed = 0;              // picks the content; 0 derives it from the name
  std::string lead = std::string();  // bytes the content starts with (a boot header, say)
};

struct LoadFileSpec {
  std::string name;      // as the file-information file lists it
  std::string fileName;  // the package file that holds it; empty: name
  std::vector<SubFileSpec> subFiles;
  uint32_t shortBy = 0;  // bytes cut off the end of the written load file
};

struct PackageSpec {
  std::string infoFileName = "KMA0001";
  std::string name = "PKG01";
  std::string revision = "R1A";
  std::vector<LoadFileSpec> loadFiles;
  std::vector<std::pair<std::string, std::vector<std::string>>> symbols;  // the "SYMB=DEST" object
};

// The whole file-information file: a 12-character header, the body with a
// comment, line breaks and indentation, and a 4-character trailer.
std::string FileInfoText(const PackageSpec& package);

// count bytes of the sub-file's content from offset on.
void SubFileBytes(const SubFileSpec& subFile, uint64_t offset, unsigned char* out, size_t count);
// The sub-file's whole content.
std::string SubFileContent(const SubFileSpec& subFile);
// The 12-byte header of a load file: its name (8 bytes, zero-padded) and "HDR1".
std::string LoadFileHeader(const LoadFileSpec& loadFile);

// Writes the package into folder (made if missing, parent must exist).
// Returns false when a file cannot be written.
bool WritePackage(const std::string& folder, const PackageSpec& package);

// The small package bundled for the demo. Its two boot sub-files start the
// way station boot software does: a 12-byte header whose bytes 3 to 7 carry
// the revision, then the embedded package description with the software
// name ("QTV0001DEM_R1A01" in BOOT1, "HRW0002DEM_R1A012" in BOOT2).
PackageSpec DemoPackage();

// A package of subFileCount sub-files of totalBytes together, spread over
// loadFileCount load files, every bootEvery-th sub-file a boot sub-file; all
// meant for "H40".
PackageSpec LargePackage(uint64_t totalBytes, int subFileCount, int loadFileCount, int bootEvery);

}  // namespace pelix::packagegen
