// Station software onto a flash card: the verified copy and what a card carries.
#include "pelix/tolva_sw_handler.h"

#include "frame/frame.h"

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
