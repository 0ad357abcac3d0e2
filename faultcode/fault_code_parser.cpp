#include "pelix/fault_code_parser.h"

#include <memory>
#include <utility>
#include <vector>

#include "frame/frame.h"
#include "pelix/com_error.h"
#include "platform/xml_document.h"

using pelix::platform::XmlDocument;
using pelix::platform::XmlNode;
using pelix::platform::XmlNodeList;

namespace {

const char* const kUnidentified = "unidentified";
const char* const kMacro = "Macro";
const char* const kMicro = "Micro";
const char* const kPico = "Pico";
const char* const kStrato = "Strato";

}  // namespace

// Built once when the library is loaded.
const CString g_cabinetTypeTexts[65] = {
    kUnidentified,                                             // 0
    kMacro,        kMacro,  kMacro,  kMacro,                   // 1-4
    kMicro,        kMicro,  kMicro,                            // 5-7
    kUnidentified,                                             // 8
    kMacro,        kMacro,  kMacro,                            // 9-11
    kMicro,                                                    // 12
    kMacro,        kMacro,                                     // 13-14
    kMicro,        kMicro,                                     // 15-16
    kMacro,        kMacro,  kMacro,  kMacro,  kMacro, kMacro,  // 17-22
    kMacro,        kMacro,  kMacro,  kMacro,  kMacro, kMacro,  // 23-28
    kMacro,        kMacro,  kMacro,  kMacro,  kMacro,          // 29-33
    kMicro,        kMicro,                                     // 34-35
    kMacro,        kMacro,  kMacro,  kMacro,  kMacro,          // 36-40
    kPico,                                                     // 41
    kMacro,        kMacro,  kMacro,  kMacro,  kMacro,          // 42-46
    kMicro,                                                    // 47
    kStrato,       kStrato, kStrato, kStrato,                  // 48-51
    kStrato,       kStrato, kStrato, kStrato,                  // 52-55
    kStrato,       kStrato, kStrato, kStrato,                  // 56-59
    kStrato,       kStrato, kStrato, kStrato,                  // 60-63
    kUnidentified,                                             // 64
};

namespace {

// Element names of the database.
const char* const kFaultCodeDescription = "faultcodedescription";
const char* const kFault = "fault";
const char* const kCode = "code";
const char* const kCategory = "category";
const char* const kFunction = "function";
const char* const kMap = "map";
const char* const kId = "id";
const char* const kDescription = "description";
const char* const kAction = "action";
const char* const kRelatedFault = "relatedfault";
const char* const kType = "type";
const char* const kList = "list";
const char* const kListItem = "li";

// Text layout.
const char* const kIndent = "    ";
const char* const kBullet = "  - ";
const char* const kLineEnd = "\r\n";

// Lists nested deeper than this are indented as this level: deeper
// indentation would only make a hostile file's text grow with the square of
// its nesting depth.
constexpr int kDeepestIndentLevel = 32;

const char* const kCodeDelimiters = " :";

bool IsCodeDelimiter(char ch) { return ch == ' ' || ch == ':'; }

}  // namespace

CFaultCodeParser::CFaultCodeParser() : m_pDocument(nullptr), m_reservedText(), m_isLoaded(0) {
  PELIX_SCOPE("CFaultCodeParser::CFaultCodeParser()");
}

CFaultCodeParser::~CFaultCodeParser() {
  // The scope closes first; the members (and so the document) go afterwards.
  PELIX_SCOPE("CFaultCodeParser::~CFaultCodeParser()");
}

int CFaultCodeParser::Init(const char* path) {
  PELIX_SCOPE("CFaultCodeParser::Init()");
  m_pDocument.reset();
  m_isLoaded = 0;
  if (path == nullptr) return 0;
  m_pDocument = std::make_unique<XmlDocument>();
  // A file that does not load leaves the created document in place, empty.
  if (!m_pDocument->Load(path)) return 0;
  m_isLoaded = 1;
  return 1;
}

CFaultCodeDescription* CFaultCodeParser::GetDescription(const char* first, const char* second, const char* faultCode,
                                                        CabinetType cabinet) {
  PELIX_SCOPE("CFaultCodeParser::GetDescription()");
  static_cast<void>(second);
  if (first == nullptr || faultCode == nullptr || cabinet == CT_LAST) return nullptr;
  if (m_isLoaded == 0 || m_pDocument == nullptr) return nullptr;
  const XmlNode documentNode = m_pDocument->DocumentNode();
  if (documentNode.IsNull()) return nullptr;

  CString category;
  CString function;
  CString map;
  CString id;
  // Parts that are missing stay empty and are looked up as empty texts.
  GetCodeParts(faultCode, category, function, map, id);

  const CString cabinetText = GetCabinetType(cabinet);
  if (cabinetText == kUnidentified) return nullptr;

  // The parts go in as they are: an apostrophe in one makes the query
  // malformed, and the XML layer throws.
  CString query;
  query.Format("/%s/%s[%s[%s='%s' and %s='%s' and %s='%s' and %s='%s']]", kFaultCodeDescription, kFault, kCode,
               kCategory, category.GetString(), kFunction, function.GetString(), kMap, map.GetString(), kId,
               id.GetString());
  const XmlNode fault = documentNode.SelectSingleNode(query.GetString());
  if (fault.IsNull()) return nullptr;

  // Held until complete, so that an exception from the XML layer leaks nothing.
  std::unique_ptr<CFaultCodeDescription> record(new CFaultCodeDescription());
  GetRelatedFaults(cabinetText.GetString(), &fault, record.get());
  record->m_description += GetTextField(cabinetText.GetString(), kDescription, &fault);
  record->m_action += GetTextField(cabinetText.GetString(), kAction, &fault);
  return record.release();
}

CString CFaultCodeParser::GetCabinetType(CabinetType cabinet) {
  PELIX_SCOPE("CFaultCodeParser::GetCabinetType");
  const unsigned value = static_cast<unsigned>(cabinet);  // negative values become huge
  if (value > static_cast<unsigned>(CT_LAST)) return CString(kUnidentified);
  return g_cabinetTypeTexts[value];
}

int CFaultCodeParser::GetCodeParts(CString faultCode, CString& category, CString& function, CString& map, CString& id) {
  CString* const parts[] = {&category, &function, &map, &id};
  const std::string& text = faultCode.str();
  size_t position = 0;
  for (CString* part : parts) {
    position = text.find_first_not_of(kCodeDelimiters, position);
    if (position == std::string::npos) {
      *part = CString();  // this part is missing; the ones after it are left as they are
      return 0;
    }
    size_t end = position;
    while (end < text.size() && !IsCodeDelimiter(text[end])) ++end;
    *part = CString(text.substr(position, end - position));
    position = end;
  }
  return 1;
}

CString CFaultCodeParser::GetCodeString(XmlNode code) {
  const XmlNode category = code.SelectSingleNode(kCategory);
  const XmlNode function = code.SelectSingleNode(kFunction);
  const XmlNode map = code.SelectSingleNode(kMap);
  const XmlNode id = code.SelectSingleNode(kId);
  CString result;
  if (!category.IsNull() && !function.IsNull() && !map.IsNull() && !id.IsNull()) {
    result = category.Text() + " " + function.Text() + " " + map.Text() + ":" + id.Text();
  }
  if (result.GetLength() < 4) result.Empty();
  return result;
}

int CFaultCodeParser::GetRelatedFaults(const char* cabinet, const XmlNode* fault, CFaultCodeDescription* record) {
  PELIX_SCOPE("CFaultCodeParser::GetRelatedFaults()");
  if (fault == nullptr || cabinet == nullptr) throw CComError(PELIX_E_POINTER, "GetRelatedFaults: null argument");
  CString query;
  query.Format("%s[%s='%s']/%s", kRelatedFault, kType, cabinet, kCode);
  const XmlNodeList codes = fault->SelectNodes(query.GetString());
  if (codes.Length() < 1) return 0;
  for (long i = 0; i < codes.Length(); ++i) {
    const CString code = GetCodeString(codes.Item(i));
    if (!code.IsEmpty() && record != nullptr) {
      record->m_relatedFaults.SetAtGrow(record->m_relatedFaults.GetSize(), code);
    }
  }
  return 1;
}

CString CFaultCodeParser::GetTextField(const char* cabinet, const char* field, const XmlNode* fault) {
  PELIX_SCOPE("CFaultCodeParser::GetDescriptionText()");
  if (fault == nullptr || cabinet == nullptr || field == nullptr) {
    throw CComError(PELIX_E_POINTER, "GetTextField: null argument");
  }
  CString query;
  query.Format("%s[%s='%s']", field, kType, cabinet);
  const XmlNodeList elements = fault->SelectNodes(query.GetString());
  CString text;
  if (elements.Length() < 1) return text;
  for (long i = 0; i < elements.Length(); ++i) text += GetTextItem(elements.Item(i), 0);
  return text;
}

CString CFaultCodeParser::GetTextItem(XmlNode element, int level) {
  return RenderText(std::move(element), false, level);
}

CString CFaultCodeParser::GetListText(XmlNode list, int level) { return RenderText(std::move(list), true, level); }

CString CFaultCodeParser::GetTabs(int level) {
  CString tabs;
  if (level <= 0) return tabs;
  if (level > kDeepestIndentLevel) level = kDeepestIndentLevel;
  for (int i = 1; i < level; ++i) tabs += kIndent;
  tabs += kBullet;
  return tabs;
}

// GetTextItem and GetListText call each other once per nesting level; a
// hostile file can nest lists far deeper than the stack allows, so both run
// here on an explicit stack, producing the same text in the same order:
// - the items of an element (its "p" and "list" children at a level): a
//   paragraph gives the level's prefix, its text and a line end; a list
//   gives the items of its "li" children at the next level;
// - the items of a list (its "li" children at a level): each gives the items
//   of the li element at that level.
CString CFaultCodeParser::RenderText(XmlNode start, bool startIsList, int level) {
  struct Pending {
    XmlNodeList nodes;
    long next;
    int level;
    bool listItems;  // the nodes are li elements
  };
  std::vector<Pending> stack;
  stack.push_back({start.SelectNodes(startIsList ? kListItem : "p|list"), 0, level, startIsList});
  CString text;
  while (!stack.empty()) {
    Pending& top = stack.back();
    if (top.next >= top.nodes.Length()) {
      stack.pop_back();
      continue;
    }
    const XmlNode node = top.nodes.Item(top.next++);
    const int nodeLevel = top.level;  // top may move when the stack grows
    if (top.listItems) {
      stack.push_back({node.SelectNodes("p|list"), 0, nodeLevel, false});
    } else if (node.Name() == kList) {
      stack.push_back({node.SelectNodes(kListItem), 0, nodeLevel + 1, true});
    } else {
      text += GetTabs(nodeLevel);
      text += node.Text();
      text += kLineEnd;
    }
  }
  return text;
}
