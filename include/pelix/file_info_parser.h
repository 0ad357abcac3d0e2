// The file-information file of a station software package: finding it in a
// package folder, cleaning its text, and answering for its load files,
// sub-files, name, revision and destinations.
#pragma once

#include <cstddef>
#include <map>
#include <string_view>

#include "pelix/carray.h"
#include "pelix/cstring.h"
#include "pelix/export.h"
#include "pelix/service_result.h"

// The kinds of central unit software is loaded for.
enum LoadableZCU_Type : int {
  ZCU_H40 = 0,
  ZCU_J40 = 1,
  ZCU_H50 = 2,
  ZCU_QMS = 3,
  ZCU_ALL = 4,
  ZCU_H30 = 5,
  ZCU_ALL_BUT_WB = 6
};

// One sub-file of a load file. destList and bootList are never null; whoever
// holds the final array of load files owns them.
struct SubFileStruct {
  CString name;
  int size = 0;
  CArray<CString, CString>* destList = nullptr;
  CArray<CString, CString>* bootList = nullptr;
};

// One load file; subFiles is owned like the lists of its sub-files.
struct LoadFileStruct {
  CString name;
  int size = 0;
  CArray<SubFileStruct, SubFileStruct>* subFiles = nullptr;
};

struct FilePackageInfoStruct {
  CString name;
  CString revision;
};

class PELIX_API CFileInfoParser {
 public:
  CFileInfoParser();
  virtual ~CFileInfoParser();
  CFileInfoParser(const CFileInfoParser&) = delete;
  CFileInfoParser& operator=(const CFileInfoParser&) = delete;

  ServiceResult Prepare(const CString& folder);
  ServiceResult GetLoadFiles(CArray<LoadFileStruct, LoadFileStruct>& loadFiles);
  FilePackageInfoStruct GetFilePackageInfo();
  bool IsDestValidForHW(const CArray<CString, CString>* destinations, const LoadableZCU_Type& kind);
  int IsFlashCardPresent(CString& path);

 private:
  void ExtractDest_List();
  CString GetNextObject(CString& text);
  CString GetHeaderType(const CString& object);
  CString GetObjectName(const CString& object);
  CString GetAttributeValue(const CString& attribute, const CString& object);
  CArray<CString, CString>* GetAttributeList(const CString& attribute, const CString& object);

  // The same look-ups on views into the text, so that a scan walks positions
  // and never copies what is left of the text. GetNextObject takes the next
  // object at or after position and moves position past it; it returns an
  // empty view (and leaves position alone) when no balanced object is left.
  std::string_view GetNextObject(std::string_view text, size_t& position);
  std::string_view GetHeaderType(std::string_view object);
  std::string_view GetObjectName(std::string_view object);
  CString GetAttributeValue(const CString& attribute, std::string_view object);
  CArray<CString, CString>* GetAttributeList(const CString& attribute, std::string_view object);
  // The first top-level object with the given header type (and name, unless
  // name is null); empty when there is none.
  std::string_view FindTopLevelObject(std::string_view text, const char* type, const char* name);

  CString m_fileInfoText;
  std::map<CString, CArray<CString, CString>*> m_destSymbols;
};
