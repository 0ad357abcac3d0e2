// The file-information file of a software package: finding it in the package
// folder, cleaning its text once, and answering for its load files, sub-files,
// name, revision and destination symbols.
//
// The scans walk positions in the cleaned text and look at views into it, so
// that a hostile file (megabytes of commas, deep or unbalanced braces) costs
// time in proportion to its size and is never copied piece by piece.
#include "pelix/file_info_parser.h"

#include <climits>
#include <string>
#include <vector>

#include "frame/frame.h"
#include "platform/file_system.h"

namespace {

// Length of the header before the body and of the trailer after it.
constexpr size_t kHeaderLength = 12;
constexpr size_t kTrailerLength = 4;

// Characters a single value ends at.
constexpr std::string_view kValueEnd = "=,;{}";

// The hardware codes joined for ZCU_ALL_BUT_WB.
const char* const kAllButWb = "H40J40H50QMSH30";

bool IsAllowed(unsigned char ch) {
  if ((ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z') || (ch >= '0' && ch <= '9')) return true;
  switch (ch) {
    case '#':
    case '$':
    case '_':
    case ',':
    case ';':
    case '=':
    case '{':
    case '}': return true;
    default: return false;
  }
}

char LowerAscii(char ch) { return (ch >= 'A' && ch <= 'Z') ? static_cast<char>(ch - 'A' + 'a') : ch; }

bool StartsWithNoCase(const std::string& name, std::string_view prefix) {
  if (name.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    if (LowerAscii(name[i]) != LowerAscii(prefix[i])) return false;
  }
  return true;
}

// Cleans the body of a file-information file: drops the header and the
// trailer, then the spaces, then the comments ("#" up to the line feed, or
// to the end when no line feed follows), then every character outside the
// allowed set.
std::string CleanText(std::string text) {
  if (text.size() < kHeaderLength + kTrailerLength) return std::string();
  text = text.substr(kHeaderLength, text.size() - kHeaderLength - kTrailerLength);

  size_t out = 0;
  for (char ch : text) {
    if (ch != ' ') text[out++] = ch;
  }
  text.resize(out);

  out = 0;
  for (size_t in = 0; in < text.size();) {
    if (text[in] == '#') {
      const size_t lineFeed = text.find('\n', in);
      if (lineFeed == std::string::npos) break;  // the comment runs to the end
      in = lineFeed;                             // the line feed itself stays
      continue;
    }
    text[out++] = text[in++];
  }
  text.resize(out);

  out = 0;
  for (char ch : text) {
    if (IsAllowed(static_cast<unsigned char>(ch))) text[out++] = ch;
  }
  text.resize(out);
  return text;
}

// A decimal number from the start of value; 0 when it does not start with a
// digit. Values too large for 32 bits are held at the largest one.
int ParseSize(const CString& value) {
  long long number = 0;
  for (char ch : value.str()) {
    if (ch < '0' || ch > '9') break;
    number = number * 10 + (ch - '0');
    if (number > INT_MAX) return INT_MAX;
  }
  return static_cast<int>(number);
}

// The position of attribute as a whole attribute name in object: right after
// "{", ";" or "}" and followed by "="; npos when there is none.
size_t FindAttributeName(std::string_view attribute, std::string_view object) {
  if (attribute.empty()) return std::string_view::npos;
  size_t at = object.find(attribute);
  while (at != std::string_view::npos) {
    const size_t after = at + attribute.size();
    if (at > 0 && after < object.size() && object[after] == '=') {
      const char before = object[at - 1];
      if (before == '{' || before == ';' || before == '}') return at;
    }
    at = object.find(attribute, at + 1);
  }
  return std::string_view::npos;
}

void DeleteList(CArray<CString, CString>* list) {
  if (list == nullptr) return;
  list->RemoveAll();
  delete list;
}

}  // namespace

CFileInfoParser::CFileInfoParser() { PELIX_SCOPE("CFileInfoParser::CFileInfoParser()"); }

CFileInfoParser::~CFileInfoParser() {
  PELIX_SCOPE("CFileInfoParser::~CFileInfoParser()");
  for (auto it = m_destSymbols.begin(); it != m_destSymbols.end();) {
    DeleteList(it->second);
    it = m_destSymbols.erase(it);
  }
}

ServiceResult CFileInfoParser::Prepare(const CString& folder) {
  PELIX_SCOPE("CFileInfoParser::Prepare()");
  pelix::platform::FileSystem& files = pelix::platform::Files();

  std::vector<std::string> names;
  if (!files.List(folder.str(), names) || names.empty()) return SR_FILE_OPEN_FAILED;

  const std::string* fileName = nullptr;
  for (const std::string& name : names) {
    if (!name.empty() &&
        (StartsWithNoCase(name, "KMA") || StartsWithNoCase(name, "KMB") || StartsWithNoCase(name, "FLF1"))) {
      fileName = &name;
      break;
    }
  }
  if (fileName == nullptr) return SR_FILE_OPEN_FAILED;

  const int fileInfoFile = files.Open(folder.str() + *fileName, pelix::platform::FileSystem::kOpenRead);
  if (fileInfoFile < 0) return SR_FILE_OPEN_FAILED;

  const off_t length = files.Seek(fileInfoFile, 0, SEEK_END);
  if (length > 0 && files.Seek(fileInfoFile, 0, SEEK_SET) == 0) {
    std::string bytes(static_cast<size_t>(length), '\0');
    const ssize_t got = files.Read(fileInfoFile, bytes.data(), bytes.size());
    bytes.resize(got > 0 ? static_cast<size_t>(got) : 0U);
    m_fileInfoText = CString(CleanText(std::move(bytes)));
    ExtractDest_List();
  }

  if (!files.Close(fileInfoFile)) {
    PELIX_FAIL(EK_CHECK, "fclose(fileInfoFile) == 0");
    return SR_OK;
  }
  return SR_OK;
}

ServiceResult CFileInfoParser::GetLoadFiles(CArray<LoadFileStruct, LoadFileStruct>& loadFiles) {
  PELIX_SCOPE("CFileInfoParser::GetLoadFiles()");
  const std::string_view package = FindTopLevelObject(m_fileInfoText.str(), "FP", nullptr);
  if (package.empty()) return SR_FAILED;

  const std::string_view packageBody = package.substr(1);
  size_t position = 0;
  for (;;) {
    const std::string_view object = GetNextObject(packageBody, position);
    if (object.empty()) return SR_OK;
    if (GetHeaderType(object) != "LF") continue;

    const std::string_view name = GetObjectName(object);
    if (name.substr(0, 3) == "KMA" || name.substr(0, 3) == "KMB") continue;

    LoadFileStruct loadFile;
    loadFile.name = CString(std::string(name));
    loadFile.size = ParseSize(GetAttributeValue("SIZE", object));
    loadFile.subFiles = new CArray<SubFileStruct, SubFileStruct>();

    const std::string_view loadFileBody = object.substr(1);
    size_t inner = 0;
    for (;;) {
      const std::string_view subObject = GetNextObject(loadFileBody, inner);
      if (subObject.empty()) break;
      if (GetHeaderType(subObject) != "F") continue;
      SubFileStruct subFile;
      subFile.name = CString(std::string(GetObjectName(subObject)));
      subFile.size = ParseSize(GetAttributeValue("SIZE", subObject));
      subFile.destList = GetAttributeList("DEST", subObject);
      subFile.bootList = GetAttributeList("BOOT", subObject);
      loadFile.subFiles->Add(subFile);
    }
    loadFiles.Add(loadFile);
  }
}

FilePackageInfoStruct CFileInfoParser::GetFilePackageInfo() {
  PELIX_SCOPE("CFileInfoParser::GetFilePackageInfo()");
  FilePackageInfoStruct info;
  const std::string_view package = FindTopLevelObject(m_fileInfoText.str(), "FP", nullptr);
  if (package.empty()) return info;
  info.name = CString(std::string(GetObjectName(package)));
  info.revision = GetAttributeValue("REV", package);
  return info;
}

bool CFileInfoParser::IsDestValidForHW(const CArray<CString, CString>* destinations, const LoadableZCU_Type& kind) {
  PELIX_SCOPE("CFileInfoParser::IsDestValidForHW()");
  std::string hardware;
  switch (kind) {
    case ZCU_H40: hardware = "H40"; break;
    case ZCU_J40: hardware = "J40"; break;
    case ZCU_H50: hardware = "H50"; break;
    case ZCU_QMS: hardware = "QMS"; break;
    case ZCU_ALL:
      hardware = "H40";
      hardware += "J40";
      hardware += "H50";
      hardware += "QMS";
      hardware += "H30";
      hardware += "WBC";
      hardware += "WB1";
      break;
    case ZCU_H30: hardware = "H30"; break;
    case ZCU_ALL_BUT_WB: hardware = kAllButWb; break;
    default: hardware = "H40"; break;
  }
  if (destinations == nullptr) return false;

  for (const CString& destination : *destinations) {
    const std::string& element = destination.str();
    if (!element.empty() && element[0] == '$') {
      const auto symbol = m_destSymbols.find(CString(element.substr(1)));
      if (symbol == m_destSymbols.end() || symbol->second == nullptr) continue;
      for (const CString& entry : *symbol->second) {
        if (hardware.find(entry.str()) != std::string::npos) return true;
      }
    } else if (hardware.find(element) != std::string::npos) {
      return true;
    }
  }
  return false;
}

int CFileInfoParser::IsFlashCardPresent(CString& path) {
  PELIX_SCOPE("CFileInfoParser::IsFlashCardPresent()");
  std::vector<std::string> names;
  return pelix::platform::Files().List(path.str(), names) && !names.empty() ? 1 : 0;
}

void CFileInfoParser::ExtractDest_List() {
  PELIX_SCOPE("CFileInfoParser::ExtractDest_List()");
  const std::string_view symbols = FindTopLevelObject(m_fileInfoText.str(), "SYMB", "DEST");
  if (symbols.empty()) return;

  const std::string_view rest = symbols.substr(1);
  bool headerPair = true;  // the first part is the object's own header pair
  size_t start = 0;
  for (size_t end = rest.find(';'); end != std::string_view::npos; start = end + 1, end = rest.find(';', start)) {
    const std::string_view part = rest.substr(start, end - start);
    if (headerPair) {
      headerPair = false;
      continue;
    }
    const size_t equals = part.find('=');
    if (equals == std::string_view::npos) continue;
    const std::string_view listText = part.substr(equals + 1);

    auto* list = new CArray<CString, CString>();
    // Every element before a "," counts, even an empty one; an empty element
    // already matches every kind, so one of them is kept and the rest would
    // change no answer.
    bool holdsEmpty = false;
    size_t elementStart = 0;
    for (size_t comma = listText.find(','); comma != std::string_view::npos;
         elementStart = comma + 1, comma = listText.find(',', elementStart)) {
      if (comma == elementStart) {
        if (holdsEmpty) continue;
        holdsEmpty = true;
      }
      list->Add(CString(std::string(listText.substr(elementStart, comma - elementStart))));
    }
    if (elementStart < listText.size()) list->Add(CString(std::string(listText.substr(elementStart))));

    const CString symbol{std::string(part.substr(0, equals))};
    auto found = m_destSymbols.find(symbol);
    if (found != m_destSymbols.end()) {
      DeleteList(found->second);
      found->second = list;
    } else {
      m_destSymbols[symbol] = list;
    }
  }
}

// The text-taking forms hand over to the view forms, which open the scopes.
CString CFileInfoParser::GetNextObject(CString& text) {
  size_t position = 0;
  const std::string_view object = GetNextObject(std::string_view(text.str()), position);
  if (object.empty()) return CString();
  CString result{std::string(object)};
  text = text.Mid(static_cast<int>(position));
  return result;
}

CString CFileInfoParser::GetHeaderType(const CString& object) {
  return CString(std::string(GetHeaderType(std::string_view(object.str()))));
}

CString CFileInfoParser::GetObjectName(const CString& object) {
  return CString(std::string(GetObjectName(std::string_view(object.str()))));
}

CString CFileInfoParser::GetAttributeValue(const CString& attribute, const CString& object) {
  return GetAttributeValue(attribute, std::string_view(object.str()));
}

CArray<CString, CString>* CFileInfoParser::GetAttributeList(const CString& attribute, const CString& object) {
  return GetAttributeList(attribute, std::string_view(object.str()));
}

std::string_view CFileInfoParser::GetNextObject(std::string_view text, size_t& position) {
  PELIX_SCOPE("CFileInfoParser::GetNextObject()");
  const size_t open = text.find('{', position);
  if (open == std::string_view::npos) return std::string_view();
  int depth = 1;
  for (size_t at = open + 1; at < text.size(); ++at) {
    const char ch = text[at];
    if (ch == '{') {
      ++depth;
    } else if (ch == '}' && --depth == 0) {
      position = at + 1;
      return text.substr(open, at + 1 - open);
    }
  }
  return std::string_view();  // unbalanced: nothing from this "{" on counts
}

std::string_view CFileInfoParser::GetHeaderType(std::string_view object) {
  PELIX_SCOPE("CFileInfoParser::GetHeaderType()");
  const size_t equals = object.find('=');
  if (equals == std::string_view::npos || equals < 1) return std::string_view();
  return object.substr(1, equals - 1);
}

std::string_view CFileInfoParser::GetObjectName(std::string_view object) {
  PELIX_SCOPE("CFileInfoParser::GetObjectName()");
  const size_t equals = object.find('=');
  if (equals == std::string_view::npos) return std::string_view();
  const std::string_view rest = object.substr(equals + 1);
  return rest.substr(0, rest.find_first_of(kValueEnd));
}

CString CFileInfoParser::GetAttributeValue(const CString& attribute, std::string_view object) {
  PELIX_SCOPE("CFileInfoParser::GetAttributeValue()");
  const size_t at = FindAttributeName(attribute.str(), object);
  if (at == std::string_view::npos) return CString();
  const std::string_view rest = object.substr(at + attribute.str().size() + 1);
  return CString(std::string(rest.substr(0, rest.find_first_of(kValueEnd))));
}

CArray<CString, CString>* CFileInfoParser::GetAttributeList(const CString& attribute, std::string_view object) {
  PELIX_SCOPE("CFileInfoParser::GetAttributeList()");
  auto* list = new CArray<CString, CString>();
  const size_t at = FindAttributeName(attribute.str(), object);
  if (at == std::string_view::npos) return list;
  std::string_view rest = object.substr(at + attribute.str().size() + 1);
  rest = rest.substr(0, rest.find_first_of(";}"));
  size_t start = 0;
  while (start <= rest.size()) {
    size_t comma = rest.find(',', start);
    if (comma == std::string_view::npos) comma = rest.size();
    if (comma > start) list->Add(CString(std::string(rest.substr(start, comma - start))));
    start = comma + 1;
  }
  return list;
}

std::string_view CFileInfoParser::FindTopLevelObject(std::string_view text, const char* type, const char* name) {
  size_t position = 0;
  for (;;) {
    const std::string_view object = GetNextObject(text, position);
    if (object.empty()) return object;
    if (GetHeaderType(object) != type) continue;
    if (name == nullptr || GetObjectName(object) == name) return object;
  }
}
