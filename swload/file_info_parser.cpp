// The file-information file of a software package.
#include "pelix/file_info_parser.h"

#include "frame/frame.h"

CFileInfoParser::CFileInfoParser() { PELIX_SCOPE("CFileInfoParser::CFileInfoParser()"); }

CFileInfoParser::~CFileInfoParser() {
  PELIX_SCOPE("CFileInfoParser::~CFileInfoParser()");
  for (auto it = m_destSymbols.begin(); it != m_destSymbols.end();) {
    if (it->second != nullptr) {
      it->second->RemoveAll();
      delete it->second;
    }
    it = m_destSymbols.erase(it);
  }
}
