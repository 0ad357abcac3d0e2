// Station software onto a flash card: the verified copy with progress, and
// what a card already carries.
//
// Every file is reached through the platform's file-system seam. Each card
// file is written a second time into the temporary folder; the card file is
// flushed to the device and its pages dropped from the cache before the two
// copies are compared by checksum, so the comparison reads what the card
// really holds.
//
// A flash card cannot hold a symbolic link: a link where the copy would
// clean, create or write means the folder is not a card, or that someone
// prepared it to lead the copy elsewhere. The copy then fails before it
// changes anything, and no file is ever created, made writable or deleted
// through a link.
#include "pelix/tolva_sw_handler.h"

#include <zlib.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "frame/frame.h"
#include "host/host.h"
#include "platform/file_system.h"
#include "platform/message_queue.h"
#include "platform/temp_folder.h"

namespace {

using pelix::platform::FileSystem;

// Bytes moved per read and write while copying.
constexpr size_t kChunkSize = 2048;
// Bytes read per step while a checksum is computed.
constexpr size_t kChecksumBlock = 64 * 1024;
// The header in front of the sub-files of a load file.
constexpr size_t kLoadFileHeader = 12;

const char* const kNotDefined = "Not Defined";
const char* const kWriteErrorText =
    "An error occurred while writing files to the Flash Card!   \r\n"
    "Please try again.\r\n\r\n"
    "If the problem reoccurs, replace the Flash Card.";

bool StartsWithFlf(const std::string& name) {
  return name.size() >= 3 && CString(name.substr(0, 3)).CompareNoCase("FLF") == 0;
}

// Reads and drops the header of a load file. A short header is not a fault
// of its own: only the reads and seeks after it decide the result.
void SkipHeader(FileSystem& files, int fd) {
  char header[kLoadFileHeader];
  (void)files.Read(fd, header, sizeof header);
}

// Makes the card's "GLOBAL" folder ready: made when missing, else emptied of
// its files (sub-folders stay). The folder is walked through descriptors.
// False, with nothing changed, when "GLOBAL", an entry in it, "ZCL" or "ZCB"
// is a symbolic link.
bool PrepareGlobalFolder(FileSystem& files, const std::string& cardRoot) {
  const std::string global = cardRoot + "GLOBAL";
  const size_t slash = global.rfind('/');
  const std::string base = global.substr(slash == std::string::npos ? 0 : slash + 1);
  const std::string prefix = base.substr(0, base.size() - 6);  // what the card root adds to the names
  const int card = files.OpenFolder(AT_FDCWD, slash == std::string::npos ? "./" : global.substr(0, slash + 1));
  if (card < 0) {
    files.MakeFolder(global);  // fails as the copy will
    return true;
  }
  const FileSystem::EntryKind kind = files.KindAt(card, base);
  bool link = kind == FileSystem::kLink || files.KindAt(card, prefix + "ZCL") == FileSystem::kLink ||
              files.KindAt(card, prefix + "ZCB") == FileSystem::kLink;
  std::vector<std::string> names;
  const int folder = !link && kind == FileSystem::kFolder ? files.OpenFolder(card, base) : -1;
  if (folder >= 0) files.ListAt(folder, names);
  std::vector<FileSystem::EntryKind> kinds;
  for (const std::string& name : names) {
    kinds.push_back(files.KindAt(folder, name));
    link = link || kinds.back() == FileSystem::kLink;
  }
  if (!link && kind == FileSystem::kMissing) files.MakeFolder(global);
  for (size_t i = 0; !link && i < names.size(); ++i) {
    if (kinds[i] == FileSystem::kFolder) continue;  // sub-folders stay
    files.MakeWritableAt(folder, names[i]);
    files.RemoveAt(folder, names[i], false);
  }
  if (folder >= 0) files.Close(folder);
  files.Close(card);
  return !link;
}

// Moves the read position forward by size bytes: take it, add, set it.
bool SkipBytes(FileSystem& files, int fd, int size) {
  const off_t position = files.Tell(fd);
  if (position < 0) return false;
  return files.Seek(fd, position + size, SEEK_SET) == position + size;
}

// The zlib crc32 of a whole file, streamed through the seam; false when the
// file cannot be opened, read or closed.
bool FileChecksum(const std::string& path, uLong& checksum) {
  FileSystem& files = pelix::platform::Files();
  const int fd = files.Open(path, FileSystem::kOpenReadOwn);
  if (fd < 0) return false;
  std::vector<unsigned char> block(kChecksumBlock);
  uLong crc = crc32(0L, Z_NULL, 0);
  bool ok = true;
  for (;;) {
    const ssize_t got = files.Read(fd, block.data(), block.size());
    if (got < 0) {
      ok = false;
      break;
    }
    if (got == 0) break;
    crc = crc32(crc, block.data(), static_cast<uInt>(got));
    if (static_cast<size_t>(got) < block.size()) break;
  }
  if (!files.Close(fd)) ok = false;
  if (ok) checksum = crc;
  return ok;
}

// Flushes a card file to the device and drops its cached pages, so that the
// comparison that follows reads from the card.
bool FlushToCard(FileSystem& files, int fd) {
  const bool flushed = files.Flush(fd);
  files.DropCache(fd);  // advice only
  return flushed;
}

// Passes on one message of the calling thread's queue, if there is one.
void PassOnOneMessage() {
  MessageQueue* queue = pelix::platform::CurrentMessageQueue();
  if (queue == nullptr) return;
  MSG msg{};
  if (!queue->PeekMessage(msg)) return;
  if (msg.message == WM_QUIT) queue->PostQuitMessage(-1);
  if (!queue->PreTranslateMessage(msg)) {
    queue->TranslateMessage(msg);
    queue->DispatchMessage(msg);
  }
}

}  // namespace

CTolva_SW_Handler::CTolva_SW_Handler() { PELIX_SCOPE("CTolva_SW_Handler::CTolva_SW_Handler()"); }

CTolva_SW_Handler::~CTolva_SW_Handler() {
  PELIX_SCOPE("CTolva_SW_Handler::~CTolva_SW_Handler()");
  // The handler owns every sub-file array and list of its load files.
  for (int i = m_loadFiles.GetSize() - 1; i >= 0; --i) {
    LoadFileStruct& loadFile = m_loadFiles[i];
    if (loadFile.subFiles != nullptr) {
      for (int j = loadFile.subFiles->GetSize() - 1; j >= 0; --j) {
        SubFileStruct& subFile = (*loadFile.subFiles)[j];
        delete subFile.bootList;
        subFile.bootList = nullptr;
        delete subFile.destList;
        subFile.destList = nullptr;
        loadFile.subFiles->RemoveAt(j);
      }
      delete loadFile.subFiles;
      loadFile.subFiles = nullptr;
    }
    m_loadFiles.RemoveAt(i);
  }
  m_loadFiles.RemoveAll();
}

ServiceResult CTolva_SW_Handler::Init(const CString& path, bool skipFileInfo, bool keepPath) {
  PELIX_SCOPE("CTolva_SW_Handler::Init()");
  if (!keepPath) m_packagePath = path;
  if (skipFileInfo) {
    m_initialized = true;
    return SR_OK;
  }
  const ServiceResult result = m_fileInfoParser.Prepare(m_packagePath);
  if (result == SR_OK) m_initialized = true;
  return result;
}

ServiceResult CTolva_SW_Handler::CopyFilesToFlashCard(const CString& cardRoot, const LoadableZCU_Type& kind,
                                                      void (*progress)(int)) {
  PELIX_SCOPE("CTolva_SW_Handler::CopyFilesToFlashCard()");
  if (!m_initialized) return SR_FAILED;

  ServiceResult result = m_fileInfoParser.GetLoadFiles(m_loadFiles);
  if (result != SR_OK) return result;

  if (isBscFormat() == 1) mapBSC_to_Pelix();

  if (!PrepareGlobalFolder(pelix::platform::Files(), cardRoot.str())) return SR_FAILED;

  m_sizeToCopy = static_cast<DWORD>(GetSizeToCopy(kind));
  if (m_sizeToCopy == 0) return SR_NOTHING_TO_COPY;

  if (static_cast<unsigned long long>(m_sizeToCopy) > pelix::Host().GetDiskSize(cardRoot.GetString())) {
    result = SR_NO_SPACE;
  }

  m_copiedSize = 0;
  const CString globalFolder = cardRoot + "GLOBAL/";
  for (int i = 0; i < m_loadFiles.GetSize() && result == SR_OK; ++i) {
    result = CopySubfiles(m_loadFiles[i], globalFolder, kind, progress);
  }
  if (result == SR_OK) result = CopyZCL_ZCB_Files(cardRoot, kind, progress);
  return result;
}

unsigned long CTolva_SW_Handler::GetSizeToCopy(const LoadableZCU_Type& kind) {
  PELIX_SCOPE("CTolva_SW_Handler::GetSizeToCopy()");
  uint32_t total = 0;
  for (const LoadFileStruct& loadFile : m_loadFiles) {
    if (loadFile.subFiles == nullptr) continue;
    for (const SubFileStruct& subFile : *loadFile.subFiles) {
      const uint32_t size = static_cast<uint32_t>(subFile.size);
      if (m_fileInfoParser.IsDestValidForHW(subFile.bootList, kind)) {
        total += 2U * size;  // a boot sub-file goes into two card files
      } else if (m_fileInfoParser.IsDestValidForHW(subFile.destList, kind)) {
        total += size;
      }
    }
  }
  return total;
}

int CTolva_SW_Handler::isBscFormat() const {
  PELIX_SCOPE("CTolva_SW_Handler::isBscFormat()");
  std::vector<std::string> names;
  pelix::platform::Files().List(m_packagePath.str(), names);
  for (const std::string& name : names) {
    if (StartsWithFlf(name)) return 1;
  }
  return 0;
}

void CTolva_SW_Handler::mapBSC_to_Pelix() {
  PELIX_SCOPE("CTolva_SW_Handler::mapBSC_to_Pelix()");
  FileSystem& files = pelix::platform::Files();
  std::vector<std::string> names;
  files.List(m_packagePath.str(), names);
  for (const std::string& name : names) {
    if (name.empty() || !StartsWithFlf(name)) continue;
    const int fd = files.Open(m_packagePath.str() + name, FileSystem::kOpenRead);
    if (fd < 0) continue;
    char head[9] = {};
    const ssize_t got = files.Read(fd, head, 8);
    files.Close(fd);  // read only: nothing is lost if the close fails
    if (got < 0) head[0] = '\0';
    const CString loadFileName(head);  // up to the first zero byte
    for (LoadFileStruct& loadFile : m_loadFiles) {
      if (loadFile.name == loadFileName) {
        loadFile.name = CString(name);
        break;
      }
    }
  }
}

ServiceResult CTolva_SW_Handler::CopySubfiles(const LoadFileStruct& loadFile, const CString& globalFolder,
                                              const LoadableZCU_Type& kind, void (*progress)(int)) {
  PELIX_SCOPE("CTolva_SW_Handler::CopySubfiles()");
  FileSystem& files = pelix::platform::Files();
  const std::string tempFolder = pelix::platform::TempFolder();

  const int source = files.Open(m_packagePath.str() + loadFile.name.str(), FileSystem::kOpenRead);
  if (source < 0) return SR_FILE_OPEN_FAILED;

  SkipHeader(files, source);
  ServiceResult result = SR_OK;
  const int count = loadFile.subFiles != nullptr ? loadFile.subFiles->GetSize() : 0;
  for (int i = 0; i < count && result == SR_OK; ++i) {
    const SubFileStruct& subFile = (*loadFile.subFiles)[i];
    const bool wanted = m_fileInfoParser.IsDestValidForHW(subFile.destList, kind) &&
                        !m_fileInfoParser.IsDestValidForHW(subFile.bootList, kind);
    if (!wanted) {
      if (!SkipBytes(files, source, subFile.size)) result = SR_FAILED;
      continue;
    }

    const std::string cardPath = globalFolder.str() + subFile.name.str();
    const std::string tempPath = tempFolder + subFile.name.str();
    const int card = files.Open(cardPath, FileSystem::kCreateWrite);
    if (card < 0) {
      result = SR_FILE_OPEN_FAILED;
      break;
    }
    // Without the user's own temporary folder there is nowhere to make the copy.
    const int temp = tempFolder.empty() ? -1 : files.Open(tempPath, FileSystem::kCreateWrite);
    if (temp < 0) {
      files.Close(card);
      result = SR_FILE_OPEN_FAILED;
      break;
    }

    char chunk[kChunkSize];
    for (size_t left = static_cast<size_t>(subFile.size); left > 0 && result == SR_OK;) {
      const size_t step = left < kChunkSize ? left : kChunkSize;
      if (files.Read(source, chunk, step) != static_cast<ssize_t>(step)) {
        result = SR_FAILED;
        break;
      }
      if (files.Write(card, chunk, step) != static_cast<ssize_t>(step)) result = SR_FAILED;
      if (files.Write(temp, chunk, step) != static_cast<ssize_t>(step)) result = SR_FAILED;
      left -= step;
    }

    if (!FlushToCard(files, card)) result = SR_FAILED;
    if (!files.Close(card)) result = SR_FAILED;
    if (!files.Flush(temp)) result = SR_FAILED;
    if (!files.Close(temp)) result = SR_FAILED;
    // The card file's name must reach the device as well as its data.
    if (!files.FlushFolder(globalFolder.str())) result = SR_FAILED;

    if (result == SR_OK && !FilesIdentical(CString(cardPath), CString(tempPath))) result = SR_FAILED;

    files.MakeWritable(tempPath);
    files.Remove(tempPath);

    if (progress != nullptr && m_sizeToCopy != 0) {
      m_copiedSize += static_cast<DWORD>(subFile.size);
      progress(static_cast<int>(static_cast<uint64_t>(m_copiedSize) * 100U / m_sizeToCopy));
      PassOnOneMessage();
    }
  }

  if (!files.Close(source) && result == SR_OK) result = SR_FAILED;
  return result;
}

ServiceResult CTolva_SW_Handler::CopyZCL_ZCB_Files(const CString& cardRoot, const LoadableZCU_Type& kind,
                                                   void (*progress)(int)) {
  PELIX_SCOPE("CTolva_SW_Handler::CopyZCL_ZCB_Files()");
  FileSystem& files = pelix::platform::Files();
  const std::string tempFolder = pelix::platform::TempFolder();
  // Card ZCL, temporary ZCL, card ZCB, temporary ZCB.
  const std::string paths[4] = {cardRoot.str() + "ZCL", tempFolder + "ZCL", cardRoot.str() + "ZCB", tempFolder + "ZCB"};
  int fds[4] = {-1, -1, -1, -1};
  bool created = true;
  for (int i = 0; i < 4 && created; ++i) {
    if (i == 0 || i == 2) {
      files.MakeWritable(paths[i]);
      if (!tempFolder.empty()) files.MakeWritable(paths[i + 1]);
    }
    // Without the user's own temporary folder there is nowhere to make the copies.
    fds[i] = (i % 2 == 1 && tempFolder.empty()) ? -1 : files.Open(paths[i], FileSystem::kCreateWrite);
    created = fds[i] >= 0;
  }
  if (!created) {
    for (int i = 0; i < 4; ++i) {
      if (fds[i] >= 0) files.Close(fds[i]);
    }
    for (int i : {3, 1}) {
      if (fds[i] >= 0) files.Remove(paths[i]);
    }
    return SR_FAILED;
  }

  ServiceResult result = SR_OK;
  for (int l = 0; l < m_loadFiles.GetSize() && result == SR_OK; ++l) {
    const LoadFileStruct& loadFile = m_loadFiles[l];
    const int source = files.Open(m_packagePath.str() + loadFile.name.str(), FileSystem::kOpenRead);
    if (source < 0) continue;
    SkipHeader(files, source);

    const int count = loadFile.subFiles != nullptr ? loadFile.subFiles->GetSize() : 0;
    for (int i = 0; i < count && result == SR_OK; ++i) {
      const SubFileStruct& subFile = (*loadFile.subFiles)[i];
      const bool boot = m_fileInfoParser.IsDestValidForHW(subFile.destList, kind) &&
                        m_fileInfoParser.IsDestValidForHW(subFile.bootList, kind);
      if (!boot) {
        if (!SkipBytes(files, source, subFile.size)) result = SR_FAILED;
        continue;
      }
      char chunk[kChunkSize];
      for (size_t left = static_cast<size_t>(subFile.size); left > 0 && result == SR_OK;) {
        const size_t step = left < kChunkSize ? left : kChunkSize;
        const ssize_t full = static_cast<ssize_t>(step);
        if (files.Read(source, chunk, step) != full) {
          result = SR_FAILED;
          break;
        }
        for (int card : {0, 2}) {
          if (files.Write(fds[card], chunk, step) != full) {
            result = SR_FAILED;
          } else if (files.Write(fds[card + 1], chunk, step) != full) {
            result = SR_FAILED;
          }
        }
        left -= step;
      }
      if (progress != nullptr && m_sizeToCopy != 0) {
        m_copiedSize += 2U * static_cast<DWORD>(subFile.size);
        progress(static_cast<int>(static_cast<uint64_t>(m_copiedSize) * 100U / m_sizeToCopy));
        PassOnOneMessage();
      }
    }
    if (!files.Flush(fds[0]) || !files.Flush(fds[2])) result = SR_FAILED;
    if (!files.Close(source) && result == SR_OK) result = SR_FAILED;
  }

  for (int card : {0, 2}) {
    if (!FlushToCard(files, fds[card])) result = SR_FAILED;
  }
  for (int i = 0; i < 4; ++i) {
    if (!files.Close(fds[i])) result = SR_FAILED;
  }
  if (!files.FlushFolder(cardRoot.str())) result = SR_FAILED;

  if (result == SR_OK) {
    if (!FilesIdentical(CString(paths[2]), CString(paths[3]))) {
      result = SR_FAILED;
    } else if (!FilesIdentical(CString(paths[0]), CString(paths[1]))) {
      result = SR_FAILED;
    }
  }

  files.MakeWritable(paths[3]);
  files.Remove(paths[3]);
  files.MakeWritable(paths[1]);
  files.Remove(paths[1]);
  return result;
}

bool CTolva_SW_Handler::FilesIdentical(CString cardFile, CString tempFile) {
  PELIX_SCOPE("CTolva_SW_Handler::FilesIdentical()");
  uLong cardChecksum = 0;
  uLong tempChecksum = 0;
  if (FileChecksum(cardFile.str(), cardChecksum) && FileChecksum(tempFile.str(), tempChecksum) &&
      cardChecksum == tempChecksum) {
    return true;
  }
  pelix::Host().DisplayUserInfo(kWriteErrorText, 16, 0, false);
  return false;
}

int CTolva_SW_Handler::IsFlashCardPresent(CString& path) {
  PELIX_SCOPE("CTolva_SW_Handler::IsFlashCardPresent()");
  return m_fileInfoParser.IsFlashCardPresent(path);
}

ServiceResult CTolva_SW_Handler::VerifyTolva_SW_OnFlashCard() {
  PELIX_SCOPE("CTolva_SW_Handler::VerifyTolva_SW_OnFlashCard()");
  // A link is no card file: a card cannot hold one.
  const FileSystem::EntryKind kind = pelix::platform::Files().KindAt(AT_FDCWD, m_packagePath.str() + "ZCL");
  return m_initialized && kind != FileSystem::kMissing && kind != FileSystem::kLink ? SR_OK : SR_FAILED;
}

CString CTolva_SW_Handler::GetTolva_SW_Rev_OnFlashCard() {
  PELIX_SCOPE("CTolva_SW_Handler::GetTolva_SW_Rev_OnFlashCard()");
  CString revision(kNotDefined);
  FileSystem& files = pelix::platform::Files();
  const std::string path = m_packagePath.str() + "ZCL";
  if (!m_initialized || !files.Exists(path)) return revision;
  const int fd = files.Open(path, FileSystem::kOpenReadOwn);
  if (fd < 0) return revision;
  char head[12];
  if (files.Read(fd, head, sizeof head) == static_cast<ssize_t>(sizeof head)) revision = CString(head + 3, 5);
  files.Close(fd);  // read only: the revision is already taken
  return revision;
}

namespace {

// A buffered reader over the seam with the few stream operations the name
// scan needs.
class CardStream {
 public:
  CardStream(FileSystem& files, int fd) : m_files(files), m_fd(fd), m_buffer(64 * 1024) {}

  // The next byte, or -1 at the end of the file (or on a read error).
  int Get() {
    if (m_next == m_end && !Fill()) return -1;
    return static_cast<unsigned char>(m_buffer[m_next++]);
  }
  // Skips up to and including delimiter, at most limit bytes; false when the
  // end of the file was reached first.
  bool Ignore(size_t limit, char delimiter) {
    for (size_t skipped = 0; skipped < limit; ++skipped) {
      const int ch = Get();
      if (ch < 0) return false;
      if (ch == static_cast<unsigned char>(delimiter)) return true;
    }
    return true;
  }
  // Reads up to count bytes into out; returns how many came.
  size_t Read(char* out, size_t count) {
    size_t done = 0;
    while (done < count) {
      const int ch = Get();
      if (ch < 0) break;
      out[done++] = static_cast<char>(ch);
    }
    return done;
  }

 private:
  bool Fill() {
    const ssize_t got = m_files.Read(m_fd, m_buffer.data(), m_buffer.size());
    if (got <= 0) return false;
    m_next = 0;
    m_end = static_cast<size_t>(got);
    return true;
  }

  FileSystem& m_files;
  int m_fd;
  std::vector<char> m_buffer;
  size_t m_next = 0;
  size_t m_end = 0;
};

// Whether the 18-byte name buffer holds text, looking no further than its
// first zero byte.
bool BufferContains(const char (&buffer)[18], const char* text) {
  const void* zero = std::memchr(buffer, '\0', sizeof buffer);
  const size_t length = zero != nullptr ? static_cast<size_t>(static_cast<const char*>(zero) - buffer) : sizeof buffer;
  return std::string_view(buffer, length).find(text) != std::string_view::npos;
}

}  // namespace

CString CTolva_SW_Handler::GetTolva_SW_Name_OnFlashCard() {
  PELIX_SCOPE("CTolva_SW_Handler::GetTolva_SW_Name_OnFlashCard()");
  CString name(kNotDefined);
  FileSystem& files = pelix::platform::Files();
  const std::string path = m_packagePath.str() + "ZCL";
  if (!m_initialized || !files.Exists(path)) return name;
  const int fd = files.Open(path, FileSystem::kOpenReadOwn);
  if (fd < 0) return name;

  CardStream stream(files, fd);
  char buffer[18] = {'N', 'N', 'N', 'x', 'x', 'x', 'x', 'x', 'x', 'x', '-', 'N', 'N', 'N', 'N', 'N', '.', '\0'};
  for (;;) {
    if (!stream.Ignore(65535, 'F')) break;
    if (stream.Get() != 'P') continue;
    if (stream.Get() != '=') continue;
    stream.Read(buffer, sizeof buffer);
    if (buffer[10] != '_') continue;
    if (BufferContains(buffer, "QTV") && buffer[16] == ';') {
      name = CString(buffer, 16);
      break;
    }
    if (BufferContains(buffer, "HRW") && buffer[17] == ';') {
      name = CString(buffer, 17);
      break;
    }
    if (BufferContains(buffer, "HRW") && buffer[16] == ';') {
      name = CString(buffer, 16);
      break;
    }
  }
  files.Close(fd);  // read only: the name is already taken
  return name;
}
