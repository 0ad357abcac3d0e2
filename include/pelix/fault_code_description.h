// CFaultCodeDescription: the answer of the fault code database to one
// look-up: the description, the action and the related fault codes of one
// fault for one cabinet kind. Made by CFaultCodeParser::GetDescription and
// owned (deleted) by the caller; its members are read directly.
#pragma once

#include "pelix/carray.h"
#include "pelix/cstring.h"
#include "pelix/export.h"

class PELIX_API CFaultCodeDescription {
 public:
  CFaultCodeDescription();
  virtual ~CFaultCodeDescription();
  CFaultCodeDescription(const CFaultCodeDescription&) = delete;
  CFaultCodeDescription& operator=(const CFaultCodeDescription&) = delete;

  // Never filled by the library; stays empty.
  CString m_reservedText;
  // Lines of text, each ending in "\r\n"; list items start with a bullet.
  CString m_description;
  CString m_action;
  // Written fault codes ("category function map:id") in database order;
  // never holds an empty text.
  CArray<CString, CString> m_relatedFaults;
};
