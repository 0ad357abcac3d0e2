#include "pelix/monitor_object_table.h"

#include <iterator>
#include <new>
#include <set>
#include <string>
#include <vector>

#include "frame/frame.h"
#include "monitor/monitor_catalogue.h"

// The one catalogue of the library. Its constructor runs when the library is
// loaded; it uses only the host (reached through a function-local static) and
// the constant data of monitor_catalogue.h, never globals of other units.
CMonitorObjectTable g_monitorObjectTable;

namespace {

// The first internal-name entry with the given internal id, or nullptr.
const InternalNameStruct* FirstWithId(const CArray<InternalNameStruct, InternalNameStruct>& list, int internalId) {
  for (const InternalNameStruct& entry : list) {
    if (entry.internalId == internalId) return &entry;
  }
  return nullptr;
}

// The first text entry of the kind, or nullptr.
const TextStruct* FirstTextOf(const CArray<TextStruct, TextStruct>& list, MonitorNameType kind) {
  for (const TextStruct& text : list) {
    if (text.nameType == kind) return &text;
  }
  return nullptr;
}

using pelix::monitor::CatalogueRow;
using pelix::monitor::InstanceForm;
using pelix::monitor::kCatalogue;

// Returns text with its first occurrence of placeholder ("#1" or "#2")
// replaced by value in decimal; text unchanged when it holds none.
CString ReplacePlaceholder(const CString& text, const char* placeholder, int value) {
  const int at = text.Find(placeholder);
  if (at < 0) return text;
  CString result = text.Left(at);
  result.AppendFormat("%d", value);
  result += text.Mid(at + 2);
  return result;
}

// Returns text without the digits 0 to 9.
CString RemoveDigits(const CString& text) {
  std::string kept;
  kept.reserve(static_cast<size_t>(text.GetLength()));
  for (char ch : text.str()) {
    if (ch < '0' || ch > '9') kept += ch;
  }
  return CString(std::move(kept));
}

// Whether name, read without its digits and "#" characters, equals stem.
// Compares in place, without building the stripped copy.
bool StemEquals(const std::string& stem, const std::string& name) {
  size_t at = 0;
  for (char ch : name) {
    if ((ch >= '0' && ch <= '9') || ch == '#') continue;
    if (at >= stem.size() || stem[at] != ch) return false;
    ++at;
  }
  return at == stem.size();
}

// The short-id families that a micro cabinet with the reduced monitor set
// does not offer.
constexpr const char* kReducedSetExclusions[] = {
    "R36", "R60", "R59", "R37", "R38", "R39", "R52", "R61", "R62", "R63", "R64", "R65", "R15",
    "R80", "R81", "R82", "R46", "R47", "R48", "R49", "R50", "R51", "R2",  "R1",  "R14",
};

// A set of internal ids: a bitmap for the small non-negative ids the catalogue
// hands out, an ordered set for any other value a caller may have put in.
class IdSet {
 public:
  // Adds id; returns whether it was new.
  bool Insert(int id) {
    if (id >= 0 && id < kBitmapLimit) {
      const size_t index = static_cast<size_t>(id);
      if (index >= m_small.size()) m_small.resize(index + 1, false);
      if (m_small[index]) return false;
      m_small[index] = true;
      return true;
    }
    return m_other.insert(id).second;
  }

 private:
  static constexpr int kBitmapLimit = 1 << 16;
  std::vector<bool> m_small;
  std::set<int> m_other;
};

// The short display name of a TMA kind of the groups CM0 and CM1, as the
// catalogue defines it.
const char* ShortTmaCmName(int kind) {
  for (const CatalogueRow& row : kCatalogue) {
    if (row.kind == kind) return row.displayName;
  }
  return nullptr;
}

}  // namespace

CMonitorObjectTable::CMonitorObjectTable()
    : m_monitorObjectList(nullptr), m_internalNameList(nullptr), m_textList(nullptr), m_tmaCmNames(false) {
  PELIX_SCOPE("CMonitorObjectTable::CMonitorObjectTable()");
  Reset();
  if (PELIX_ERROR_AFTER_CALL()) {
    PELIX_ERROR_EXIT();
    return;
  }
}

CMonitorObjectTable::~CMonitorObjectTable() {
  PELIX_SCOPE("CMonitorObjectTable::~CMonitorObjectTable()");
  delete m_monitorObjectList;
  m_monitorObjectList = nullptr;
  delete m_internalNameList;
  m_internalNameList = nullptr;
  delete m_textList;
  m_textList = nullptr;
}

// ---------------------------------------------------------------------------
// Attachments

void CMonitorObjectTable::AddElement(const CString& name, Pelix_ObjectType objectType, int objectInstance,
                                     FuncType ruType, int ruInstance) {
  PELIX_SCOPE("CMonitorObjectTable::AddElement()");
  if (m_internalNameList == nullptr || m_monitorObjectList == nullptr) {
    PELIX_FAIL(EK_PRECONDITION, "m_internalNameList != NULL && m_monitorObjectList != NULL");
    return;
  }
  for (const InternalNameStruct& entry : *m_internalNameList) {
    if (entry.internalName == name || entry.shortId == name) {
      m_monitorObjectList->Add(
          CMonitorObjectTableStruct{entry.internalId, objectType, objectInstance, ruType, ruInstance});
      return;
    }
  }
}

void CMonitorObjectTable::AddElement(MonitorNameType nameType, Pelix_ObjectType objectType, int objectInstance,
                                     FuncType ruType, int ruInstance) {
  PELIX_SCOPE("CMonitorObjectTable::AddElement()");
  if (m_internalNameList == nullptr || m_monitorObjectList == nullptr) {
    PELIX_FAIL(EK_PRECONDITION, "m_internalNameList != NULL && m_monitorObjectList != NULL");
    return;
  }
  for (const InternalNameStruct& entry : *m_internalNameList) {
    if (entry.nameType == nameType) {
      m_monitorObjectList->Add(
          CMonitorObjectTableStruct{entry.internalId, objectType, objectInstance, ruType, ruInstance});
    }
  }
}

void CMonitorObjectTable::AddElement(MonitorNameType nameType, Pelix_ObjectType objectType, int objectInstance,
                                     FuncType ruType, int ruInstance, int instance) {
  PELIX_SCOPE("CMonitorObjectTable::AddElement()");
  if (m_internalNameList == nullptr || m_monitorObjectList == nullptr) {
    PELIX_FAIL(EK_PRECONDITION, "m_internalNameList != NULL && m_monitorObjectList != NULL");
    return;
  }
  for (const InternalNameStruct& entry : *m_internalNameList) {
    if (entry.nameType == nameType && entry.instance1 == instance) {
      m_monitorObjectList->Add(
          CMonitorObjectTableStruct{entry.internalId, objectType, objectInstance, ruType, ruInstance});
    }
  }
}

// ---------------------------------------------------------------------------
// Building the catalogue

void CMonitorObjectTable::AddTextListElement(MonitorNameType nameType, const CString& name,
                                             const CString& description) {
  PELIX_SCOPE("CMonitorObjectTable::AddTextListElement()");
  if (m_textList == nullptr) {
    PELIX_FAIL(EK_PRECONDITION, "m_textList != NULL");
    return;
  }
  m_textList->Add(TextStruct{nameType, name, description});
}

void CMonitorObjectTable::AddInternalNameElement(int& nextId, MonitorNameType nameType, const CString& internalName,
                                                 const CString& shortId) {
  PELIX_SCOPE("CMonitorObjectTable::AddInternalNameElement()");
  if (m_internalNameList == nullptr) {
    PELIX_FAIL(EK_PRECONDITION, "m_internalNameList != NULL");
    return;
  }
  m_internalNameList->Add(InternalNameStruct{nextId, nameType, internalName, shortId, 0, 0});
  ++nextId;
}

void CMonitorObjectTable::AddInternalNameElement(int& nextId, MonitorNameType nameType, const CString& internalName,
                                                 const CString& shortId, int count, bool skipFirst) {
  PELIX_SCOPE("CMonitorObjectTable::AddInternalNameElement()");
  if (m_internalNameList == nullptr) {
    PELIX_FAIL(EK_PRECONDITION, "m_internalNameList != NULL");
    return;
  }
  const bool numbered = internalName.Find("#1") >= 0;
  for (int i = skipFirst ? 1 : 0; i < count; ++i) {
    if (numbered) {
      m_internalNameList->Add(InternalNameStruct{nextId, nameType, ReplacePlaceholder(internalName, "#1", i),
                                                 ReplacePlaceholder(shortId, "#1", i), i, 0});
    } else {
      m_internalNameList->Add(InternalNameStruct{nextId, nameType, internalName, shortId, i, 0});
    }
    ++nextId;
  }
}

void CMonitorObjectTable::AddInternalNameElement(int& nextId, MonitorNameType nameType, const CString& internalName,
                                                 const CString& shortId, int count1, int count2) {
  PELIX_SCOPE("CMonitorObjectTable::AddInternalNameElement()");
  if (m_internalNameList == nullptr) {
    PELIX_FAIL(EK_PRECONDITION, "m_internalNameList != NULL");
    return;
  }
  for (int i = 0; i < count1; ++i) {
    if (internalName.Find("#1") < 0) {
      m_internalNameList->Add(InternalNameStruct{nextId, nameType, internalName, shortId, 0, 0});
      ++nextId;
      continue;
    }
    const CString rowName = ReplacePlaceholder(internalName, "#1", i);
    const CString rowShortId = ReplacePlaceholder(shortId, "#1", i);
    const bool second = rowName.Find("#2") >= 0;
    for (int j = 0; j < count2; ++j) {
      CString name = rowName;
      CString code = rowShortId;
      if (second) {
        // The second placeholder always ends both names.
        name = rowName.Left(rowName.GetLength() - 2);
        name.AppendFormat("%d", j);
        code = rowShortId.Left(rowShortId.GetLength() - 2);
        code.AppendFormat("%d", j);
      }
      m_internalNameList->Add(InternalNameStruct{nextId, nameType, name, code, i, j});
      ++nextId;
    }
  }
}

void CMonitorObjectTable::AddInternalNameElement(int& nextId, MonitorNameType nameType, const CString& internalName,
                                                 const CString& shortId, int first, int count, bool enabled) {
  PELIX_SCOPE("CMonitorObjectTable::AddInternalNameElement()");
  if (m_internalNameList == nullptr) {
    PELIX_FAIL(EK_PRECONDITION, "m_internalNameList != NULL");
    return;
  }
  if (!enabled) return;
  if (internalName.Find("#1") < 0) return;
  for (int i = first; i < first + count; ++i) {
    m_internalNameList->Add(InternalNameStruct{nextId, nameType, ReplacePlaceholder(internalName, "#1", i),
                                               ReplacePlaceholder(shortId, "#1", i), i, 0});
    ++nextId;
  }
}

void CMonitorObjectTable::Reset() {
  PELIX_SCOPE("CMonitorObjectTable::Reset()");
  delete m_monitorObjectList;
  m_monitorObjectList = nullptr;
  delete m_internalNameList;
  m_internalNameList = nullptr;
  delete m_textList;
  m_textList = nullptr;

  m_monitorObjectList = new (std::nothrow) CArray<CMonitorObjectTableStruct, CMonitorObjectTableStruct>();
  m_internalNameList = new (std::nothrow) CArray<InternalNameStruct, InternalNameStruct>();
  m_textList = new (std::nothrow) CArray<TextStruct, TextStruct>();
  if (m_monitorObjectList == nullptr || m_internalNameList == nullptr || m_textList == nullptr) {
    PELIX_FAIL(EK_CHECK, "m_monitorObjectList != NULL && m_internalNameList != NULL && m_textList != NULL");
    return;
  }

  int nextId = 0;
  for (const CatalogueRow& row : kCatalogue) {
    const MonitorNameType kind = static_cast<MonitorNameType>(row.kind);
    AddTextListElement(kind, row.displayName, row.description);
    const pelix::monitor::Instances& instances = row.instances;
    switch (instances.form) {
      case InstanceForm::kOne: AddInternalNameElement(nextId, kind, row.internalName, row.shortId); break;
      case InstanceForm::kRow:
        AddInternalNameElement(nextId, kind, row.internalName, row.shortId, instances.last1 + 1, instances.first == 1);
        break;
      case InstanceForm::kGrid:
        AddInternalNameElement(nextId, kind, row.internalName, row.shortId, instances.last1 + 1, instances.last2 + 1);
        break;
    }
  }
}

void CMonitorObjectTable::UpdateTMA_CM_Names(bool withCmGroup) {
  if (withCmGroup == m_tmaCmNames) return;
  m_tmaCmNames = withCmGroup;
  if (m_textList == nullptr) return;
  for (TextStruct& text : *m_textList) {
    const int kind = text.nameType;
    if (kind < pelix::monitor::kFirstTmaCmKind || kind > pelix::monitor::kLastTmaCmKind) continue;
    const char* name =
        withCmGroup ? pelix::monitor::kTmaCmLongNames[kind - pelix::monitor::kFirstTmaCmKind] : ShortTmaCmName(kind);
    if (name != nullptr) text.name = name;
  }
}

// ---------------------------------------------------------------------------
// Queries

void CMonitorObjectTable::GetMonitorName(int internalId, CString& name) {
  PELIX_SCOPE("CMonitorObjectTable::GetMonitorName()");
  if (m_internalNameList == nullptr || m_textList == nullptr) {
    PELIX_FAIL(EK_PRECONDITION, "m_internalNameList != NULL && m_textList != NULL");
    return;
  }
  const InternalNameStruct* entry = FirstWithId(*m_internalNameList, internalId);
  const MonitorNameType kind = entry != nullptr ? entry->nameType : static_cast<MonitorNameType>(0);
  const int instance1 = entry != nullptr ? entry->instance1 : 0;
  const int instance2 = entry != nullptr ? entry->instance2 : 0;
  if (const TextStruct* text = FirstTextOf(*m_textList, kind)) name = text->name;
  name = ReplacePlaceholder(name, "#1", instance1);
  name = ReplacePlaceholder(name, "#2", instance2);
}

void CMonitorObjectTable::GetMonitorDescription(int internalId, CString& description) {
  PELIX_SCOPE("CMonitorObjectTable::GetMonitorDescription()");
  if (m_internalNameList == nullptr || m_textList == nullptr) {
    PELIX_FAIL(EK_PRECONDITION, "m_internalNameList != NULL && m_textList != NULL");
    return;
  }
  const InternalNameStruct* entry = FirstWithId(*m_internalNameList, internalId);
  const MonitorNameType kind = entry != nullptr ? entry->nameType : static_cast<MonitorNameType>(0);
  if (const TextStruct* text = FirstTextOf(*m_textList, kind)) description = text->description;
  if (description.Find("#1") >= 0) {
    // The instance's position within its kind.
    int position = 0;
    for (const InternalNameStruct& other : *m_internalNameList) {
      if (other.nameType == kind && other.internalId < internalId) ++position;
    }
    description = ReplacePlaceholder(description, "#1", position);
  }
}

void CMonitorObjectTable::GetMonitorInternalName(int internalId, CString& internalName, CString& shortId) {
  PELIX_SCOPE("CMonitorObjectTable::GetMonitorInternalName()");
  if (m_internalNameList == nullptr) {
    PELIX_FAIL(EK_PRECONDITION, "m_internalNameList != NULL");
    return;
  }
  if (const InternalNameStruct* entry = FirstWithId(*m_internalNameList, internalId)) {
    internalName = entry->internalName;
    shortId = entry->shortId;
  }
}

void CMonitorObjectTable::GetMonitorInternalName(int internalId, CString& internalName) {
  PELIX_SCOPE("CMonitorObjectTable::GetMonitorInternalName()");
  if (m_internalNameList == nullptr) {
    PELIX_FAIL(EK_PRECONDITION, "m_internalNameList != NULL");
    return;
  }
  if (const InternalNameStruct* entry = FirstWithId(*m_internalNameList, internalId)) {
    internalName = entry->internalName;
  }
}

void CMonitorObjectTable::GetMonitorInternalName(MonitorNameType nameType, CString& internalName) {
  PELIX_SCOPE("CMonitorObjectTable::GetMonitorInternalName()");
  if (m_internalNameList == nullptr) {
    PELIX_FAIL(EK_PRECONDITION, "m_internalNameList != NULL");
    return;
  }
  for (const InternalNameStruct& entry : *m_internalNameList) {
    if (entry.nameType == nameType) {
      internalName = entry.internalName;
      return;
    }
  }
}

int CMonitorObjectTable::GetMonitorId(const CString& displayName) {
  PELIX_SCOPE("CMonitorObjectTable::GetMonitorId()");
  if (m_textList == nullptr || m_internalNameList == nullptr) {
    PELIX_FAIL(EK_PRECONDITION, "m_textList != NULL && m_internalNameList != NULL");
    return 0;
  }
  const CString wanted = RemoveDigits(displayName);
  for (int textIndex = 0; textIndex < m_textList->GetSize(); ++textIndex) {
    const TextStruct& text = m_textList->GetAt(textIndex);
    if (!StemEquals(wanted.str(), text.name.str())) continue;
    // The kinds stand in the same order in both lists, and every kind has at
    // least one instance, so its first instance is at or behind textIndex.
    for (int i = textIndex; i < m_internalNameList->GetSize(); ++i) {
      const InternalNameStruct& entry = m_internalNameList->GetAt(i);
      if (entry.nameType == text.nameType) return entry.internalId;
    }
    return -1;
  }
  return -1;
}

int CMonitorObjectTable::GetInternalIdFromInternalName(const CString& name) {
  PELIX_SCOPE("CMonitorObjectTable::GetInternalIdFromInternalName()");
  if (m_internalNameList == nullptr) {
    PELIX_FAIL(EK_PRECONDITION, "m_internalNameList != NULL");
    return 0;
  }
  for (const InternalNameStruct& entry : *m_internalNameList) {
    if (entry.internalName == name || entry.shortId == name) return entry.internalId;
  }
  return 0;
}

bool CMonitorObjectTable::MonitorExists(const CString& name) {
  PELIX_SCOPE("CMonitorObjectTable::MonitorExists()");
  if (m_internalNameList == nullptr) {
    PELIX_FAIL(EK_PRECONDITION, "m_internalNameList != NULL");
    return false;
  }
  for (const InternalNameStruct& entry : *m_internalNameList) {
    if (entry.internalName == name || entry.shortId == name) return true;
  }
  return false;
}

void CMonitorObjectTable::GetAllInternalIDs(CArray<int, int>& ids, CabinetType cabinetType) {
  PELIX_SCOPE("CMonitorObjectTable::GetAllInternalIDs()");
  if (m_internalNameList == nullptr) {
    PELIX_FAIL(EK_PRECONDITION, "m_internalNameList != NULL");
    return;
  }
  // The exclusions, built afresh for this call.
  std::vector<std::string> excluded;
  if (cabinetType == CT_MICRO_REDUCED_SET)
    excluded.assign(std::begin(kReducedSetExclusions), std::end(kReducedSetExclusions));

  // The ids the array already holds, so that none is appended twice.
  IdSet held;
  for (int id : ids) held.Insert(id);
  for (const InternalNameStruct& entry : *m_internalNameList) {
    if (cabinetType == CT_MICRO_REDUCED_SET) {
      // The family is the part of the short id before its first "-".
      const std::string& code = entry.shortId.str();
      const size_t dash = code.find('-');
      const size_t length = dash == std::string::npos ? code.size() : dash;
      bool skip = false;
      for (const std::string& family : excluded) {
        if (family.size() == length && code.compare(0, length, family) == 0) {
          skip = true;
          break;
        }
      }
      if (skip) continue;
    }
    if (held.Insert(entry.internalId)) ids.Add(entry.internalId);
  }
}

int CMonitorObjectTable::GetMonitorsForRU(Pelix_ObjectType objectType, int objectInstance, CArray<int, int>& ids) {
  PELIX_SCOPE("CMonitorObjectTable::GetMonitorsForRU()");
  if (m_monitorObjectList == nullptr) {
    PELIX_FAIL(EK_PRECONDITION, "m_monitorObjectList != NULL");
    return 0;
  }
  int appended = 0;
  for (const CMonitorObjectTableStruct& element : *m_monitorObjectList) {
    if (element.objectInstance == objectInstance && element.objectType == objectType) {
      ids.Add(element.internalId);
      ++appended;
    }
  }
  return appended;
}

void CMonitorObjectTable::GetPelixObjectsForInternalID(int& internalId,
                                                       CArray<Pelix_ObjectId, Pelix_ObjectId>& objects) {
  PELIX_SCOPE("CMonitorObjectTable::GetPelixObjectsForInternalID()");
  if (m_monitorObjectList == nullptr) {
    PELIX_FAIL(EK_PRECONDITION, "m_monitorObjectList != NULL");
    return;
  }
  for (const CMonitorObjectTableStruct& element : *m_monitorObjectList) {
    if (element.internalId == internalId) objects.Add(Pelix_ObjectId{element.objectType, element.objectInstance});
  }
}

FuncType CMonitorObjectTable::GetRU_Type(int internalId, Pelix_ObjectType objectType, int objectInstance) {
  PELIX_SCOPE("CMonitorObjectTable::GetRU_Type()");
  if (m_monitorObjectList == nullptr) {
    PELIX_FAIL(EK_PRECONDITION, "m_monitorObjectList != NULL");
    return FT_NONE;
  }
  for (const CMonitorObjectTableStruct& element : *m_monitorObjectList) {
    if (element.internalId == internalId && element.objectType == objectType &&
        element.objectInstance == objectInstance) {
      return element.ruType;
    }
  }
  return FT_NONE;
}

int CMonitorObjectTable::GetRuInstance(int internalId, Pelix_ObjectType objectType, int objectInstance) {
  PELIX_SCOPE("CMonitorObjectTable::GetRuInstance()");
  if (m_monitorObjectList == nullptr) {
    PELIX_FAIL(EK_PRECONDITION, "m_monitorObjectList != NULL");
    return 0;
  }
  for (const CMonitorObjectTableStruct& element : *m_monitorObjectList) {
    if (element.internalId == internalId && element.objectType == objectType &&
        element.objectInstance == objectInstance) {
      return element.ruInstance;
    }
  }
  return 0;
}

void CMonitorObjectTable::GetRUs(const CString& name, Pelix_ObjectType objectType, int objectInstance, FuncType& ruType,
                                 int& ruInstance) {
  PELIX_SCOPE("CMonitorObjectTable::GetRUs()");
  if (m_monitorObjectList == nullptr || m_internalNameList == nullptr) {
    PELIX_FAIL(EK_PRECONDITION, "m_monitorObjectList != NULL && m_internalNameList != NULL");
    return;
  }
  for (const InternalNameStruct& entry : *m_internalNameList) {
    if (entry.internalName != name && entry.shortId != name) continue;
    for (const CMonitorObjectTableStruct& element : *m_monitorObjectList) {
      if (element.internalId == entry.internalId && element.objectInstance == objectInstance &&
          element.objectType == objectType) {
        ruType = element.ruType;
        ruInstance = element.ruInstance;
        return;
      }
    }
  }
}

void CMonitorObjectTable::KeepThese(const CArray<CString, CString>& keepNames) {
  PELIX_SCOPE("CMonitorObjectTable::KeepThese()");
  if (m_internalNameList == nullptr || m_monitorObjectList == nullptr) {
    PELIX_FAIL(EK_PRECONDITION, "m_internalNameList != NULL && m_monitorObjectList != NULL");
    return;
  }
  for (const InternalNameStruct& entry : *m_internalNameList) {
    bool kept = false;
    for (const CString& keep : keepNames) {
      if (entry.internalName == keep) {
        kept = true;
        break;
      }
    }
    if (kept) continue;
    for (int i = 0; i < m_monitorObjectList->GetSize(); ++i) {
      if (m_monitorObjectList->GetAt(i).internalId == entry.internalId) {
        m_monitorObjectList->RemoveAt(i);
        break;
      }
    }
  }
}

void CMonitorObjectTable::ClearMonitorObjectList() {
  PELIX_SCOPE("CMonitorObjectTable::ClearMonitorObjectList()");
  if (m_monitorObjectList == nullptr) {
    PELIX_FAIL(EK_PRECONDITION, "m_monitorObjectList != NULL");
    return;
  }
  m_monitorObjectList->SetSize(0);
}
