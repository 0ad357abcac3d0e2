// CFaultCodeParser: the reader of the XML fault code database. Init loads
// the file once; GetDescription looks up one fault code for one cabinet kind
// with XPath queries and returns a new CFaultCodeDescription that the caller
// owns, or null.
//
// A query the XPath engine rejects (a fault code part holding an apostrophe)
// throws CComError out of GetDescription.
#pragma once

#include <memory>

#include "pelix/cabinet_type.h"
#include "pelix/cstring.h"
#include "pelix/export.h"
#include "pelix/fault_code_description.h"

namespace pelix::platform {
class XmlDocument;
class XmlNode;
}  // namespace pelix::platform

// The cabinet class of each CabinetType value 0 to 64: "Macro", "Micro",
// "Pico", "Strato" or "unidentified".
extern PELIX_API const CString g_cabinetTypeTexts[65];

class PELIX_API CFaultCodeParser {
 public:
  CFaultCodeParser();
  virtual ~CFaultCodeParser();
  CFaultCodeParser(const CFaultCodeParser&) = delete;
  CFaultCodeParser& operator=(const CFaultCodeParser&) = delete;

  // Loads the database at path: 1 when it loaded, else 0 (null path, missing,
  // unreadable or malformed file). Discards the document loaded before.
  int Init(const char* path);

  // The description, action and related faults of faultCode for the cabinet
  // kind, or null: first or faultCode null, cabinet 64 or of no known class,
  // nothing loaded, or no such fault. second is not used.
  CFaultCodeDescription* GetDescription(const char* first, const char* second, const char* faultCode,
                                        CabinetType cabinet);

 private:
  // The helpers that take XML nodes stay inside the library (PELIX_LOCAL):
  // the XML engine's types are no part of its interface.
  //
  // The class text of a cabinet value ("unidentified" outside 0 to 64).
  CString GetCabinetType(CabinetType cabinet);
  // Splits a fault code at runs of spaces and colons; 1 when four parts
  // were found.
  int GetCodeParts(CString faultCode, CString& category, CString& function, CString& map, CString& id);
  // "category function map:id" of a code element, or empty when a part is
  // missing or the result is shorter than 4 characters.
  PELIX_LOCAL CString GetCodeString(pelix::platform::XmlNode code);
  // Adds the related codes of the fault for the cabinet kind to the record;
  // 1 when at least one code element matched.
  PELIX_LOCAL int GetRelatedFaults(const char* cabinet, const pelix::platform::XmlNode* fault,
                                   CFaultCodeDescription* record);
  // The assembled text of the fault's "description" or "action" elements for
  // the cabinet kind.
  PELIX_LOCAL CString GetTextField(const char* cabinet, const char* field, const pelix::platform::XmlNode* fault);
  // The lines of the paragraphs and lists of one element.
  PELIX_LOCAL CString GetTextItem(pelix::platform::XmlNode element, int level);
  // The lines of the items of one list element.
  PELIX_LOCAL CString GetListText(pelix::platform::XmlNode list, int level);
  // The line prefix of a nesting level: empty for 0, then the bullet
  // indented four spaces per level beyond the first.
  CString GetTabs(int level);

  // Walks paragraphs and lists without recursion (see the source).
  PELIX_LOCAL CString RenderText(pelix::platform::XmlNode start, bool startIsList, int level);

  std::unique_ptr<pelix::platform::XmlDocument> m_pDocument;
  CString m_reservedText;
  int m_isLoaded;
};
