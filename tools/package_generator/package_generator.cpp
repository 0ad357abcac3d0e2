#include "tools/package_generator/package_generator.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>

namespace pelix::packagegen {

namespace {

uint64_t Mix(uint64_t x) {
  x += 0x9E3779B97F4A7C15ULL;
  x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ULL;
  x = (x ^ (x >> 27)) * 0x94D049BB133111EBULL;
  return x ^ (x >> 31);
}

uint64_t SeedOf(const SubFileSpec& subFile) {
  if (subFile.seed != 0) return subFile.seed;
  uint64_t hash = 1469598103934665603ULL;
  for (unsigned char ch : subFile.name) hash = (hash ^ ch) * 1099511628211ULL;
  return hash;
}

std::string Joined(const std::vector<std::string>& items) {
  std::string text;
  for (size_t i = 0; i < items.size(); ++i) {
    if (i > 0) text += ',';
    text += items[i];
  }
  return text;
}

struct FileCloser {
  void operator()(FILE* file) const {
    if (file != nullptr) std::fclose(file);
  }
};

}  // namespace

std::string FileInfoText(const PackageSpec& package) {
  std::string text = "FILEINFO0001";  // 12-character header
  text += "# package description\n";
  text += "{FP=" + package.name + ";REV=" + package.revision + ";\n";
  for (const LoadFileSpec& loadFile : package.loadFiles) {
    uint64_t size = 0;
    for (const SubFileSpec& subFile : loadFile.subFiles) size += subFile.size;
    text += "  {LF=" + loadFile.name + ";SIZE=" + std::to_string(size + 12) + ";\n";
    for (const SubFileSpec& subFile : loadFile.subFiles) {
      text +=
          "    {F=" + subFile.name + ";SIZE=" + std::to_string(subFile.size) + ";DEST=" + Joined(subFile.dest) + ";";
      if (!subFile.boot.empty()) text += "BOOT=" + Joined(subFile.boot) + ";";
      text += "}\n";
    }
    text += "  }\n";
  }
  text += "}\n";
  if (!package.symbols.empty()) {
    text += "{SYMB=DEST;";
    for (const auto& symbol : package.symbols) text += symbol.first + "=" + Joined(symbol.second) + ";";
    text += "}\n";
  }
  text += "#END";  // 4-character trailer
  return text;
}

void SubFileBytes(const SubFileSpec& subFile, uint64_t offset, unsigned char* out, size_t count) {
  const uint64_t seed = SeedOf(subFile);
  size_t done = 0;
  while (done < count && offset + done < subFile.lead.size()) {
    out[done] = static_cast<unsigned char>(subFile.lead[static_cast<size_t>(offset + done)]);
    ++done;
  }
  while (done < count) {
    const uint64_t position = offset + done;
    const uint64_t word = Mix(seed ^ Mix(position / 8));
    unsigned char bytes[8];
    std::memcpy(bytes, &word, sizeof bytes);
    for (size_t i = position % 8; i < 8 && done < count; ++i) out[done++] = bytes[i];
  }
}

std::string SubFileContent(const SubFileSpec& subFile) {
  std::string content(subFile.size, '\0');
  SubFileBytes(subFile, 0, reinterpret_cast<unsigned char*>(content.data()), content.size());
  return content;
}

std::string LoadFileHeader(const LoadFileSpec& loadFile) {
  std::string header = loadFile.name.substr(0, 8);
  header.resize(8, '\0');
  return header + "HDR1";
}

bool WritePackage(const std::string& folder, const PackageSpec& package) {
  std::string base = folder;
  if (!base.empty() && base.back() != '/') base += '/';
  ::mkdir(base.c_str(), 0755);

  {
    std::unique_ptr<FILE, FileCloser> info(std::fopen((base + package.infoFileName).c_str(), "wb"));
    if (!info) return false;
    const std::string text = FileInfoText(package);
    if (std::fwrite(text.data(), 1, text.size(), info.get()) != text.size()) return false;
    if (std::fclose(info.release()) != 0) return false;
  }

  std::vector<unsigned char> block(1 << 20);
  for (const LoadFileSpec& loadFile : package.loadFiles) {
    const std::string name = loadFile.fileName.empty() ? loadFile.name : loadFile.fileName;
    std::unique_ptr<FILE, FileCloser> out(std::fopen((base + name).c_str(), "wb"));
    if (!out) return false;
    uint64_t total = 12;
    for (const SubFileSpec& subFile : loadFile.subFiles) total += subFile.size;
    const uint64_t limit = total > loadFile.shortBy ? total - loadFile.shortBy : 0;
    uint64_t written = 0;

    const std::string header = LoadFileHeader(loadFile);
    const size_t headerBytes = static_cast<size_t>(limit < 12 ? limit : 12);
    if (std::fwrite(header.data(), 1, headerBytes, out.get()) != headerBytes) return false;
    written += headerBytes;

    for (const SubFileSpec& subFile : loadFile.subFiles) {
      for (uint64_t offset = 0; offset < subFile.size && written < limit;) {
        size_t step = static_cast<size_t>(std::min<uint64_t>(block.size(), subFile.size - offset));
        step = static_cast<size_t>(std::min<uint64_t>(step, limit - written));
        SubFileBytes(subFile, offset, block.data(), step);
        if (std::fwrite(block.data(), 1, step, out.get()) != step) return false;
        offset += step;
        written += step;
      }
    }
    if (std::fclose(out.release()) != 0) return false;
  }
  return true;
}

PackageSpec DemoPackage() {
  PackageSpec package;
  package.infoFileName = "KMA0001";
  package.name = "QTV0001DEMO";
  package.revision = "R1A";
  package.symbols = {{"ALLZ", {"H40", "J40", "H50"}}, {"WBS", {"WBC", "WB1"}}};

  LoadFileSpec first;
  first.name = "LOADF001";
  first.subFiles = {
      {"APPL1", 6000, {"H40", "$ALLZ"}, {}, 0},
      {"APPL2", 4000, {"$ALLZ", "QMS", "H30"}, {}, 0},
      {"BOOT1", 3000, {"$ALLZ"}, {"H40", "H50"}, 0, "BT1R1A010000{FP=QTV0001DEM_R1A01;REV=R1A01;}"},
  };
  LoadFileSpec second;
  second.name = "LOADF002";
  second.subFiles = {
      {"WBAPP", 2500, {"$WBS"}, {}, 0},
      {"BOOT2", 1500, {"H40", "J40", "QMS"}, {"H40", "J40", "QMS"}, 0, "BT2R1A020000{FP=HRW0002DEM_R1A012;REV=R1A02;}"},
      {"DATA1", 5000, {"H40", "J40", "H50", "QMS", "H30"}, {}, 0},
  };
  package.loadFiles = {first, second};
  return package;
}

PackageSpec LargePackage(uint64_t totalBytes, int subFileCount, int loadFileCount, int bootEvery) {
  PackageSpec package;
  package.name = "QTV0128BENCH";
  package.revision = "R9Z";
  const uint32_t size = static_cast<uint32_t>(totalBytes / static_cast<uint64_t>(subFileCount));
  const int perLoadFile = (subFileCount + loadFileCount - 1) / loadFileCount;
  int made = 0;
  for (int l = 0; l < loadFileCount && made < subFileCount; ++l) {
    LoadFileSpec loadFile;
    char name[16];
    std::snprintf(name, sizeof name, "LOADF%03d", l + 1);
    loadFile.name = name;
    for (int s = 0; s < perLoadFile && made < subFileCount; ++s, ++made) {
      SubFileSpec subFile;
      char subName[16];
      std::snprintf(subName, sizeof subName, "SUB%04d", made);
      subFile.name = subName;
      subFile.size = size;
      subFile.dest = {"H40"};
      if (bootEvery > 0 && made % bootEvery == bootEvery - 1) subFile.boot = {"H40"};
      loadFile.subFiles.push_back(subFile);
    }
    package.loadFiles.push_back(loadFile);
  }
  return package;
}

}  // namespace pelix::packagegen
