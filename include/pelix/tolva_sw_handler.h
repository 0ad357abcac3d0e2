// Station software onto a flash card: package folders and archives, the
// verified copy with progress, and what a card already carries.
#pragma once

#include "pelix/carray.h"
#include "pelix/cstring.h"
#include "pelix/export.h"
#include "pelix/file_info_parser.h"
#include "pelix/service_result.h"

class PELIX_API CTolva_SW_Handler {
 public:
  CTolva_SW_Handler();
  virtual ~CTolva_SW_Handler();
  CTolva_SW_Handler(const CTolva_SW_Handler&) = delete;
  CTolva_SW_Handler& operator=(const CTolva_SW_Handler&) = delete;

  // Copying a package to a card.
  ServiceResult Init(const CString& path, bool skipFileInfo, bool keepPath);
  ServiceResult CopyFilesToFlashCard(const CString& cardRoot, const LoadableZCU_Type& kind, void (*progress)(int));
  unsigned long GetSizeToCopy(const LoadableZCU_Type& kind);
  int isBscFormat() const;
  void mapBSC_to_Pelix();

  // Package files and archives.
  int Copy_KVO_Package(const CString& source, CString& copied);
  int Decompress_KVO_Package(CString& archive, const LoadableZCU_Type& kind);
  void clear_KVO_Package(const CString& folder);
  CString GetKVO_Path();

  // What a card carries.
  int IsFlashCardPresent(CString& path);
  ServiceResult VerifyTolva_SW_OnFlashCard();
  CString GetTolva_SW_Name_OnFlashCard();
  CString GetTolva_SW_Rev_OnFlashCard();

 private:
  ServiceResult CopySubfiles(const LoadFileStruct& loadFile, const CString& globalFolder,
                             const LoadableZCU_Type& kind, void (*progress)(int));
  ServiceResult CopyZCL_ZCB_Files(const CString& cardRoot, const LoadableZCU_Type& kind, void (*progress)(int));
  bool FilesIdentical(CString cardFile, CString tempFile);

  CFileInfoParser m_fileInfoParser;
  CString m_packagePath;
  CArray<LoadFileStruct, LoadFileStruct> m_loadFiles;
  bool m_initialized = false;
  DWORD m_copiedSize = 0;
  DWORD m_sizeToCopy = 0;
};
