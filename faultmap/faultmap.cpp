#include "pelix/fault_map.h"

#include <cstdint>
#include <cstring>
#include <ctime>

#include "faultmap/time_text.h"
#include "frame/frame.h"
#include "host/host.h"
#include "pelix/cabinet_type.h"
#include "pelix/host_services.h"
#include "pelix/monitor_txt.h"

namespace {

constexpr int kKinds = 6;

// Indexed by FaultMapType.
constexpr BYTE kIdentifier[kKinds] = {0x23, 0x24, 0x25, 0x14, 0x15, 0x34};
constexpr const char* kTitle[kKinds] = {"Internal Fault Map Class 1A",    "Internal Fault Map Class 1B",
                                        "Internal Fault Map Class 2A",    "External Condition Map Class 1",
                                        "External Condition Map Class 2", "Replacement Unit Map"};
constexpr const char* kPrefix[kKinds] = {"I1A:", "I1B:", "I2A:", "EC1:", "EC2:", "RU:"};

// Map sizes in octets (identifier included) per data type, by FaultMapType.
constexpr int kSizes7[kKinds] = {13, 13, 17, 3, 9, 13};
constexpr int kSizes5[kKinds] = {13, 13, 13, 3, 7, 13};
constexpr int kSizes4[kKinds] = {13, 13, 13, 3, 7, 13};
constexpr int kSizes2[kKinds] = {13, 13, 13, 3, 3, 13};
constexpr int kSizesOther[kKinds] = {7, 7, 7, 3, 3, 7};

const int* MapSizes(OMS_tolva_mon_datatype_type dataType) {
  switch (dataType) {
    case OMS_TOLVA_MON_DATATYPE_7: return kSizes7;
    case OMS_TOLVA_MON_DATATYPE_5: return kSizes5;
    case OMS_TOLVA_MON_DATATYPE_4: return kSizes4;
    case OMS_TOLVA_MON_DATATYPE_2: return kSizes2;
    default: return kSizesOther;
  }
}

int SumOfMapSizes(OMS_tolva_mon_datatype_type dataType) {
  const int* sizes = MapSizes(dataType);
  int sum = 0;
  for (int kind = 0; kind < kKinds; ++kind) sum += sizes[kind];
  return sum;
}

bool HasTimeStamps(OMS_tolva_mon_datatype_type dataType) {
  return dataType == OMS_TOLVA_MON_DATATYPE_5 || dataType == OMS_TOLVA_MON_DATATYPE_7;
}

// The kind whose map a block identifier opens, or -1 for any other octet.
int KindOfIdentifier(BYTE identifier) {
  for (int kind = 0; kind < kKinds; ++kind) {
    if (kIdentifier[kind] == identifier) return kind;
  }
  return -1;
}

// The octets of a report, read with a bound: a position outside the report
// reads as 0 and no octet beyond the given length is ever touched.
class ReportOctets {
 public:
  ReportOctets(const char* report, int length) : m_report(report), m_length(report != nullptr ? length : 0) {}

  int Length() const { return m_length; }
  bool Has(int position) const { return position >= 0 && position < m_length; }
  BYTE At(int position) const { return Has(position) ? static_cast<BYTE>(m_report[position]) : 0; }
  // Four octets, most significant first.
  DWORD Dword(int position) const {
    return (static_cast<DWORD>(At(position)) << 24) | (static_cast<DWORD>(At(position + 1)) << 16) |
           (static_cast<DWORD>(At(position + 2)) << 8) | static_cast<DWORD>(At(position + 3));
  }

 private:
  const char* m_report;
  int m_length;
};

}  // namespace

namespace pelix::faultmap {

bool ReportEpoch(std::time_t& epoch) {
  const std::time_t now = std::time(nullptr);
  std::tm nowLocal{};
  if (localtime_r(&now, &nowLocal) == nullptr) return false;
  std::tm start{};
  start.tm_year = 90;
  start.tm_mon = 0;
  start.tm_mday = 1;
  start.tm_isdst = nowLocal.tm_isdst;
  epoch = std::mktime(&start);
  return epoch != static_cast<std::time_t>(-1);
}

CString LocalTimeText(std::time_t time) {
  std::tm local{};
  if (localtime_r(&time, &local) == nullptr) return CString(kInvalidDateTime);
  const long long year = static_cast<long long>(local.tm_year) + 1900;
  if (year < 100 || year > 9999) return CString(kInvalidDateTime);
  char text[32];
  if (std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local) != static_cast<size_t>(kTimeTextLength)) {
    return CString(kInvalidDateTime);
  }
  return CString(text);
}

}  // namespace pelix::faultmap

// --- construction, decoding and copying -------------------------------------

CFaultMap::CFaultMap(OMS_tolva_mon_datatype_type dataType) : m_dataType(dataType) {
  PELIX_SCOPE("CFaultMap::CFaultMap()");
  InitFaultMap(dataType);
  if (PELIX_ERROR_AFTER_CALL()) {
    PELIX_ERROR_EXIT();
    return;
  }
}

CFaultMap::CFaultMap(const char* report, unsigned char length, OMS_tolva_mon_datatype_type dataType)
    : m_dataType(dataType) {
  PELIX_SCOPE("CFaultMap::CFaultMap()");
  InitFaultMap(dataType);
  if (PELIX_ERROR_AFTER_CALL()) {
    PELIX_ERROR_EXIT();
    return;
  }

  const ReportOctets octets(report, length);
  const int total = octets.Length();  // T
  m_moClass = static_cast<signed char>(octets.At(0));
  m_moInstance = static_cast<signed char>(octets.At(1));
  m_moAssociatedSO = static_cast<signed char>(octets.At(2));
  m_moState = static_cast<signed char>(octets.At(3));
  const int areaLength = octets.At(4);  // L
  const int areaEnd = 5 + areaLength;

  // The tail length E comes from the count octet, which is read only when the
  // report reaches it; a report without it cannot be decoded.
  int tailLength = 0;
  bool countPresent = true;
  if (HasTimeStamps(dataType)) {
    const int countPosition = areaEnd + 4;
    countPresent = octets.Has(countPosition);
    if (countPresent) tailLength = (6 * octets.At(countPosition) + 5) & 0xFF;
  }

  if (pelix::frame::TraceMayReachSomeone()) {
    PELIX_TRACE("MO FAULT MAP REPORT");
    PELIX_TRACE("  MO class = %d", static_cast<int>(m_moClass));
    PELIX_TRACE("  MO instance = %d", static_cast<int>(m_moInstance));
    PELIX_TRACE("  MO associated SO = %d", static_cast<int>(m_moAssociatedSO));
    PELIX_TRACE("  MO state = %d", static_cast<int>(m_moState));
    PELIX_TRACE("  Fault map length = %d", areaLength);
    for (int i = 0; i < areaLength && 5 + i < total - tailLength; ++i) {
      const int octet = static_cast<signed char>(octets.At(5 + i));
      PELIX_TRACE("  Octet %d = %d (%#x)", i + 1, octet, static_cast<unsigned>(octet));
    }
  }

  if (!countPresent || areaLength > SumOfMapSizes(dataType) || areaEnd + tailLength != total) return;

  // From here on the area ends at T - E. A block that would run past it is
  // copied as far as the area reaches and leaves the report undecoded.
  bool unknownBlock = false;
  bool overrun = false;
  int position = 5;
  while (position < areaEnd) {
    const int kind = KindOfIdentifier(octets.At(position));
    if (kind < 0) {
      unknownBlock = true;
      break;
    }
    CByteArray& map = Map(static_cast<FaultMapType>(kind));
    const int size = map.GetSize();
    // The report is at least areaEnd octets long here, so the copy stays in it.
    const int available = areaEnd - position;
    if (size > available) overrun = true;
    std::memcpy(map.GetData(), report + position, static_cast<size_t>(overrun ? available : size));
    if (overrun) break;
    position += size;
  }

  if (HasTimeStamps(dataType)) {
    // The tail length is counted in 8 bits, so a large count can make it
    // shorter than the entries it announces: only entries that lie wholly
    // within the report are read, and such a report stays undecoded.
    if (!octets.Has(areaEnd + 3)) overrun = true;
    m_reportTime = octets.Dword(areaEnd);
    const int count = static_cast<signed char>(octets.At(areaEnd + 4));
    const int room = total - areaEnd - 5 >= 0 ? (total - areaEnd - 5) / 6 : 0;  // entries within T
    int fitting = count > 0 ? count : 0;
    if (fitting > room) {
      fitting = room;
      overrun = true;
    }
    m_timeStamps.RemoveAll();
    m_timeStamps.SetSize(fitting);
    for (int n = 0; n < fitting; ++n) {
      const int entry = areaEnd + 5 + 6 * n;
      TimeStamps& stamp = m_timeStamps[n];
      stamp.mapType = octets.At(entry);
      stamp.faultNo = octets.At(entry + 1);
      stamp.seconds = octets.Dword(entry + 2);
    }
  }

  if (!unknownBlock && !overrun) m_dataValid = 1;
}

CFaultMap::CFaultMap(const CFaultMap& other) {
  PELIX_SCOPE("CFaultMap::CFaultMap()");
  CopyFrom(other);
}

CFaultMap::CFaultMap(const CFaultMap* other) {
  PELIX_SCOPE("CFaultMap::CFaultMap()");
  if (other == nullptr) {
    PELIX_FAIL(EK_PRECONDITION, "other != NULL");
    return;
  }
  CopyFrom(*other);
}

// Copies a kind's map and lists only when the source map carries the kind's
// identifier; reading that identifier throws when the source map is empty.
void CFaultMap::CopyFrom(const CFaultMap& other) {
  m_dataValid = other.m_dataValid;
  m_moClass = other.m_moClass;
  m_moInstance = other.m_moInstance;
  m_moAssociatedSO = other.m_moAssociatedSO;
  m_moState = other.m_moState;
  m_dataType = other.m_dataType;
  m_reportTime = other.m_reportTime;
  m_timeStamps = other.m_timeStamps;
  m_changed = false;
  for (int k = 0; k < kKinds; ++k) {
    const FaultMapType kind = static_cast<FaultMapType>(k);
    if (other.Map(kind).GetAt(0) != kIdentifier[k]) continue;
    Map(kind) = other.Map(kind);
    RaisedList(kind) = other.RaisedList(kind);
    CeasedList(kind) = other.CeasedList(kind);
  }
}

CFaultMap& CFaultMap::operator=(const CFaultMap& other) {
  PELIX_SCOPE("CFaultMap::operator=()");
  if (this == &other) return *this;
  m_moClass = other.m_moClass;
  m_moInstance = other.m_moInstance;
  m_moAssociatedSO = other.m_moAssociatedSO;
  m_moState = other.m_moState;
  m_dataValid = other.m_dataValid;
  m_dataType = other.m_dataType;
  m_mapI1A = other.m_mapI1A;
  m_mapI1B = other.m_mapI1B;
  m_mapI2A = other.m_mapI2A;
  m_mapEC1 = other.m_mapEC1;
  m_mapEC2 = other.m_mapEC2;
  m_mapRU = other.m_mapRU;
  m_raisedListEC1 = other.m_raisedListEC1;
  m_raisedListEC2 = other.m_raisedListEC2;
  m_raisedListI1A = other.m_raisedListI1A;
  m_raisedListI1B = other.m_raisedListI1B;
  m_raisedListI2A = other.m_raisedListI2A;
  m_raisedListRU = other.m_raisedListRU;
  m_ceasedListEC1 = other.m_ceasedListEC1;
  m_ceasedListEC2 = other.m_ceasedListEC2;
  m_ceasedListI1A = other.m_ceasedListI1A;
  m_ceasedListI1B = other.m_ceasedListI1B;
  m_ceasedListI2A = other.m_ceasedListI2A;
  m_ceasedListRU = other.m_ceasedListRU;
  // Time stamps belong to the data types that carry them; another data type
  // leaves the target's own.
  if (HasTimeStamps(m_dataType)) {
    m_timeStamps = other.m_timeStamps;
    m_reportTime = other.m_reportTime;
  }
  return *this;
}

CFaultMap::~CFaultMap() { PELIX_SCOPE("CFaultMap::~CFaultMap()"); }

void CFaultMap::InitFaultMap(OMS_tolva_mon_datatype_type dataType) {
  PELIX_SCOPE("CFaultMap::InitFaultMap()");
  m_dataValid = 0;
  m_moClass = 0;
  m_moInstance = 0;
  m_moAssociatedSO = 0;
  m_moState = 0;
  m_dataType = dataType;
  const int* sizes = MapSizes(dataType);
  for (int k = 0; k < kKinds; ++k) {
    CByteArray& map = Map(static_cast<FaultMapType>(k));
    map.RemoveAll();
    map.SetSize(sizes[k]);
    map.SetAt(0, kIdentifier[k]);
  }
  m_changed = false;
}

// The arrays of each kind, indexed by FaultMapType (a kind outside the six
// reads as RU, the last one).
namespace {

using ByteArrayMember = CByteArray CFaultMap::*;

int KindIndex(FaultMapType kind) { return kind >= FM_I1A && kind <= FM_RU ? static_cast<int>(kind) : FM_RU; }

}  // namespace

struct CFaultMap::KindArrays {
  static constexpr ByteArrayMember kMaps[kKinds] = {&CFaultMap::m_mapI1A, &CFaultMap::m_mapI1B, &CFaultMap::m_mapI2A,
                                                    &CFaultMap::m_mapEC1, &CFaultMap::m_mapEC2, &CFaultMap::m_mapRU};
  static constexpr ByteArrayMember kRaised[kKinds] = {&CFaultMap::m_raisedListI1A, &CFaultMap::m_raisedListI1B,
                                                      &CFaultMap::m_raisedListI2A, &CFaultMap::m_raisedListEC1,
                                                      &CFaultMap::m_raisedListEC2, &CFaultMap::m_raisedListRU};
  static constexpr ByteArrayMember kCeased[kKinds] = {&CFaultMap::m_ceasedListI1A, &CFaultMap::m_ceasedListI1B,
                                                      &CFaultMap::m_ceasedListI2A, &CFaultMap::m_ceasedListEC1,
                                                      &CFaultMap::m_ceasedListEC2, &CFaultMap::m_ceasedListRU};
};

CByteArray& CFaultMap::Map(FaultMapType kind) { return this->*KindArrays::kMaps[KindIndex(kind)]; }
const CByteArray& CFaultMap::Map(FaultMapType kind) const { return this->*KindArrays::kMaps[KindIndex(kind)]; }
CByteArray& CFaultMap::RaisedList(FaultMapType kind) { return this->*KindArrays::kRaised[KindIndex(kind)]; }
const CByteArray& CFaultMap::RaisedList(FaultMapType kind) const { return this->*KindArrays::kRaised[KindIndex(kind)]; }
CByteArray& CFaultMap::CeasedList(FaultMapType kind) { return this->*KindArrays::kCeased[KindIndex(kind)]; }
const CByteArray& CFaultMap::CeasedList(FaultMapType kind) const { return this->*KindArrays::kCeased[KindIndex(kind)]; }

// --- change tracking --------------------------------------------------------

void CFaultMap::UpdateFaultMap(const CFaultMap& newMap) {
  static constexpr FaultMapType kMergeOrder[kKinds] = {FM_EC1, FM_EC2, FM_I1A, FM_I1B, FM_I2A, FM_RU};
  m_changed = false;
  m_dataType = newMap.m_dataType;
  for (const FaultMapType kind : kMergeOrder) {
    const CByteArray& incoming = newMap.Map(kind);
    // A kind the new map does not carry keeps its kept map and lists.
    if (incoming.GetAt(0) != kIdentifier[kind]) continue;
    CByteArray& kept = Map(kind);
    CompareOldNewFaultMap(kept, incoming, RaisedList(kind));
    CopyChanges(kept, incoming, RaisedList(kind), CeasedList(kind));
    kept.SetAt(0, kIdentifier[kind]);
  }
  m_dataValid = newMap.m_dataValid;
  m_moClass = newMap.m_moClass;
  m_moInstance = newMap.m_moInstance;
  m_moAssociatedSO = newMap.m_moAssociatedSO;
  m_reportTime = newMap.m_reportTime;
  m_timeStamps = newMap.m_timeStamps;  // element by element, keeping the kept array's storage
  m_moState = newMap.m_moState;
}

void CFaultMap::CompareOldNewFaultMap(CByteArray& oldMap, const CByteArray& newMap, CByteArray& changes) {
  changes.RemoveAll();
  if (oldMap.GetSize() != newMap.GetSize()) oldMap.SetSize(newMap.GetSize());
  // Both maps now have the same size; octet 0, the identifier, is not compared.
  const int size = newMap.GetSize();
  if (size <= 1) return;
  const BYTE* oldOctets = oldMap.GetData();
  const BYTE* newOctets = newMap.GetData();
  if (std::memcmp(oldOctets + 1, newOctets + 1, static_cast<size_t>(size - 1)) == 0) return;  // the usual case
  for (int i = 1; i < size; ++i) {
    // The differing bits, least significant first.
    for (unsigned differing = static_cast<unsigned>(oldOctets[i] ^ newOctets[i]); differing != 0;
         differing &= differing - 1) {
      const int bit = __builtin_ctz(differing);
      m_changed = true;
      changes.Add(static_cast<BYTE>((i - 1) * 8 + bit));
    }
  }
}

void CFaultMap::CopyChanges(CByteArray& oldMap, const CByteArray& newMap, CByteArray& changes, CByteArray& ceased) {
  ceased.RemoveAll();
  int index = 0;
  while (index < changes.GetSize()) {
    const BYTE faultNo = changes.GetAt(index);
    const int octet = faultNo / 8 + 1;
    const BYTE mask = static_cast<BYTE>(1U << (faultNo % 8));
    const bool wasSet = (oldMap.GetAt(octet) & mask) != 0;
    const bool isSet = (newMap.GetAt(octet) & mask) != 0;
    if (wasSet && !isSet) {
      oldMap.SetAt(octet, static_cast<BYTE>(oldMap.GetAt(octet) & ~mask));
      changes.RemoveAt(index);
      ceased.Add(faultNo);
    } else if (wasSet == isSet) {
      changes.RemoveAt(index);
    } else {
      oldMap.SetAt(octet, static_cast<BYTE>(oldMap.GetAt(octet) | mask));
      ++index;
    }
  }
}

void CFaultMap::BuildMap(const CByteArray& faultNoList, CByteArray& bitMap, int size) const {
  bitMap.RemoveAll();
  bitMap.SetSize(size - 1);
  for (const BYTE faultNo : faultNoList) {
    const int octet = faultNo / 8;
    bitMap.SetAt(octet, static_cast<BYTE>(bitMap.GetAt(octet) | (1U << (faultNo % 8))));
  }
}

void CFaultMap::GetFaultNoList(const CByteArray& bitMap, CByteArray& faultNoList) const {
  PELIX_SCOPE("CFaultMap::GetFaultNoList()");
  faultNoList.RemoveAll();
  const CByteArray bits(bitMap);
  int faultNo = 0;
  for (int octet = 0; octet < bits.GetSize(); ++octet) {
    const BYTE value = bits.GetAt(octet);
    for (int bit = 0; bit < 8; ++bit, ++faultNo) {
      if ((value & (1U << bit)) != 0) faultNoList.Add(static_cast<BYTE>(faultNo));
    }
  }
}

bool CFaultMap::HasFault(const CByteArray& map) const {
  PELIX_SCOPE("CFaultMap::HasFault()");
  for (int i = 1; i < map.GetSize(); ++i) {
    if (map.GetAt(i) != 0) return true;
  }
  return false;
}

bool CFaultMap::IsChanged() const {
  PELIX_SCOPE("CFaultMap::IsChanged()");
  return m_changed;
}

ServiceResult CFaultMap::IsFault(bool& fault) const {
  PELIX_SCOPE("CFaultMap::IsFault()");
  if (m_dataValid != 1) return SR_INVALID_DATA;
  fault = HasFault(m_mapI1A) || HasFault(m_mapI1B) || HasFault(m_mapI2A) || HasFault(m_mapEC1) || HasFault(m_mapEC2) ||
          HasFault(m_mapRU);
  return SR_OK;
}

// --- fault text ---------------------------------------------------------------

// When the fault name table was never created, every item's faultName is the
// empty text, the same as a name that was never stored.
void CFaultMap::GetFaultMaps(CArray<CString, CString>& lines, CArray<FaultMapItem*, FaultMapItem*>& items) const {
  PELIX_SCOPE("CFaultMap::GetFaultMaps(CArray& )");
  if (m_dataValid != 1) {
    lines.Add(CString("Corrupt data from Tolva"));
    FaultMapItem* item = new FaultMapItem;
    item->moTypeText = "Unknown";
    item->mapTitle = "Unknown";
    item->faultId = "Unknown";
    items.Add(item);
    return;
  }
  const MO_Type moType = GetMO_Type();
  CString id;
  GetMO_Id(id);
  if (PELIX_ERROR_AFTER_CALL()) {
    PELIX_ERROR_EXIT();
    return;
  }
  if (moType == MO_UNKNOWN) return;
  for (int k = 0; k < kKinds; ++k) {
    const FaultMapType kind = static_cast<FaultMapType>(k);
    const int size = Map(kind).GetSize();
    CByteArray bitMap;
    if (!RaisedList(kind).IsEmpty()) {
      BuildMap(RaisedList(kind), bitMap, size);
      BuildFaultString(items, lines, bitMap, CString("RAISED"), kind);
    }
    if (!CeasedList(kind).IsEmpty()) {
      BuildMap(CeasedList(kind), bitMap, size);
      BuildFaultString(items, lines, bitMap, CString("CEASED"), kind);
    }
  }
}

void CFaultMap::BuildFaultString(CArray<FaultMapItem*, FaultMapItem*>& items, CArray<CString, CString>& lines,
                                 CByteArray& bitMap, CString status, FaultMapType kind) const {
  const MO_Type moType = GetMO_Type();
  PELIX_SCOPE("CFaultMap::BuildFaultString()");
  const CTableOfMonitorRptInTxt* names = CTableOfMonitorRptInTxt::Get();
  CString id;
  GetMO_Id(id);
  if (PELIX_ERROR_AFTER_CALL()) {
    PELIX_ERROR_EXIT();
    return;
  }
  id += " ";
  const char* title = kTitle[kind];
  const char* prefix = kPrefix[kind];
  CByteArray faultNos;
  GetFaultNoList(bitMap, faultNos);
  if (PELIX_ERROR_AFTER_CALL()) {
    PELIX_ERROR_EXIT();
    return;
  }
  for (const BYTE faultNo : faultNos) {
    CString line = TimeText(kind, faultNo);
    line += " ";
    line += id;
    line += prefix;
    line.AppendFormat("%d", static_cast<int>(faultNo));
    line += " ";
    line += status;

    FaultMapItem* item = new FaultMapItem;
    item->moTypeText = pelix::Host().ID_ToText(moType, static_cast<CabinetType>(-2));
    item->mapTitle = title;
    item->faultId = prefix;
    item->faultId.AppendFormat("%d", static_cast<int>(faultNo));
    if (names != nullptr) item->faultName = names->TranslateHexToTxt(moType, kind, faultNo);
    if (PELIX_ERROR_AFTER_CALL()) {
      delete item;
      PELIX_ERROR_EXIT();
      return;
    }
    lines.Add(line);
    items.Add(item);
  }
}

// Data types with time stamps take the fault's own entry, or the report time
// when the report has no entries at all; the others take the current time.
CString CFaultMap::TimeText(FaultMapType kind, BYTE faultNo) const {
  using pelix::faultmap::LocalTimeText;
  if (!HasTimeStamps(m_dataType)) return LocalTimeText(std::time(nullptr));
  std::time_t epoch = 0;
  if (!pelix::faultmap::ReportEpoch(epoch)) return CString(pelix::faultmap::kInvalidDateTime);
  DWORD seconds = m_reportTime;
  if (!m_timeStamps.IsEmpty()) {
    bool found = false;
    for (const TimeStamps& stamp : m_timeStamps) {
      if (stamp.mapType == static_cast<BYTE>(kind) && stamp.faultNo == faultNo) {
        seconds = stamp.seconds;
        found = true;
        break;
      }
    }
    if (!found) return CString(' ', pelix::faultmap::kTimeTextLength);
  }
  return LocalTimeText(epoch + static_cast<std::time_t>(seconds));
}

void CFaultMap::GetMO_Id(CString& id) const {
  PELIX_SCOPE("CFaultMap::GetMO_Id()");
  const int instance = m_moInstance;
  switch (m_moClass) {
    case 1: id.Format("SO TRXC-%d", instance); break;
    case 3: id.Format("AO TS%d-%d", instance, static_cast<int>(m_moAssociatedSO)); break;
    case 4: id = "AO TF"; break;
    case 5: id = "AO IS"; break;
    case 6: id = "AO CON"; break;
    case 7: id.Format("AO DP%d", instance); break;
    case 8: id.Format("AO MCTR-%d", instance); break;
    case 10: id = "SO CF"; break;
    case 11: id.Format("AO TX-%d", instance); break;
    case 12: id.Format("AO RX-%d", instance); break;
    default: id = "Unknown"; break;
  }
}

MO_Type CFaultMap::GetMO_Type() const {
  PELIX_SCOPE("CFaultMap::GetMO_Type()");
  switch (m_moClass) {
    case 10: return MO_SO_CF;
    case 1: return MO_SO_TRXC;
    case 11: return MO_AO_TX;
    case 12: return MO_AO_RX;
    case 3: return MO_AO_TS;
    case 4: return MO_AO_TF;
    case 5: return MO_AO_IS;
    case 7: return MO_AO_DP;
    case 6: return MO_AO_CON;
    case 8: return MO_AO_MCTR;
    default: return MO_UNKNOWN;
  }
}

ServiceResult CFaultMap::GetMO_State(CString& state) const {
  PELIX_SCOPE("CFaultMap::GetMO_State()");
  if (m_dataValid != 1) {
    state = "Corrupt data from Tolva (No MO state)";
    return SR_OK;
  }
  switch (m_moState) {
    case 0: state = "RESET"; break;
    case 1: state = "STARTED"; break;
    case 2: state = "ENABLED"; break;
    case 3: state = "DISABLED"; break;
    default: state = "Corrupt data from Tolva (Invalid MO state)"; break;
  }
  return SR_OK;
}
