// The fault code parser: loading a database, the look-ups in the bundled
// sample and in a database written to try the parser's edges, and the
// cabinet classes.
#include <gtest/gtest.h>

#include <stdlib.h>
#include <unistd.h>

#include <climits>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "pelix/com_error.h"
#include "pelix/fault_code_parser.h"
#include "platform/temp_folder.h"

namespace {

// A file with the given text in the temporary folder, removed again at the end.
class TempTextFile {
 public:
  explicit TempTextFile(const std::string& text) : m_path(pelix::platform::TempFolder() + "pelix-test-XXXXXX.xml") {
    const int fd = ::mkstemps(m_path.data(), 4);
    const bool written = fd >= 0 && ::write(fd, text.data(), text.size()) == ssize_t(text.size());
    if (fd < 0 || ::close(fd) != 0 || !written) throw std::runtime_error("cannot write a temporary file");
  }
  ~TempTextFile() { ::unlink(m_path.c_str()); }
  const char* c_str() const { return m_path.c_str(); }

 private:
  std::string m_path;
};

const char* const kSample = PELIX_SOURCE_DIR "/data/faultcodes.xml";
constexpr CabinetType kMacro = static_cast<CabinetType>(1);
constexpr CabinetType kMicro = static_cast<CabinetType>(34);
constexpr CabinetType kPico = static_cast<CabinetType>(41);
constexpr CabinetType kStrato = static_cast<CabinetType>(48);

std::string Code(const std::string& c, const std::string& f, const std::string& m, const std::string& id) {
  return "<code><category>" + c + "</category><function>" + f + "</function><map>" + m + "</map><id>" + id +
         "</id></code>";
}

// A record as "description|action|related,codes", "null" for none.
std::string Look(CFaultCodeParser& parser, const char* code, CabinetType cabinet) {
  std::unique_ptr<CFaultCodeDescription> record(parser.GetDescription("BTS", nullptr, code, cabinet));
  if (record == nullptr) return "null";
  std::string text = record->m_description.str() + "|" + record->m_action.str() + "|";
  for (const CString& related : record->m_relatedFaults) text += related.str() + ",";
  return text;
}

// The cabinet classes, written out as ranges independently of the table.
std::string ExpectedClass(long long value) {
  if (value < 1 || value > 63 || value == 8) return "unidentified";
  if (value == 41) return "Pico";
  if (value >= 48) return "Strato";
  const std::string micro = " 5 6 7 12 15 16 34 35 47 ";
  return micro.find(" " + std::to_string(value) + " ") != std::string::npos ? "Micro" : "Macro";
}

// The edges: one fault with texts per cabinet class; related codes that are
// incomplete or short; paragraphs over several lines, empty elements and
// entities that a DOCTYPE declares; a fault whose code parts are all empty;
// lists nested far deeper than recursion per level would survive.
constexpr int kDepth = 20000;
std::string EdgeDatabase() {
  std::string classes;
  for (const char* kind : {"Macro", "Micro", "Pico", "Strato"}) {
    classes += std::string("<description><type>") + kind + "</type><p>" + kind + " text</p></description>";
  }
  std::string deep = "<description><type>Macro</type>";
  for (int level = 1; level <= kDepth; ++level) deep += "<list><li><p>L" + std::to_string(level) + "</p>";
  for (int level = 1; level <= kDepth; ++level) deep += "</li></list>";
  return "\xef\xbb\xbf<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
         "<!DOCTYPE faultcodedescription [<!ENTITY ext SYSTEM \"file:///etc/hostname\">]>\n"
         "<faultcodedescription><fault>" +
         Code("C", "F", "M", "1") + classes + "</fault><fault>" + Code("A", "B", "C", "1") +
         "<relatedfault><code><category>N</category><function>F</function><map>M</map></code><type>Macro</type>" +
         Code("", "", "", "") + Code("Q", "", "", "") + Code("", "", "", "9") +
         "<code><id>4</id><map>3</map><extra/><function>2</function><category>1</category></code>"
         "<code><category> S </category><function>T\n</function><map>U</map><id>V</id></code></relatedfault>"
         "<relatedfault><type>Micro</type>" +
         Code("W", "W", "W", "W") +
         "</relatedfault><description><type>Macro</type><p>\n   One paragraph\n   over three\n   lines.\n</p><p/>"
         "<list/><list><li/><li>loose<list><li><p>deep</p></li></list></li></list><p>&ext;</p><p>&lt;ok&gt;</p>"
         "</description></fault><fault>" +
         Code("", "", "", "") + "<action><type>Macro</type><p>Empty code.</p></action></fault><fault>" +
         Code("D", "D", "D", "1") + deep + "</description></fault></faultcodedescription>\n";
}

class FaultCodeTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { edges = new TempTextFile(EdgeDatabase()); }
  static void TearDownTestSuite() { delete edges; }
  void SetUp() override { ASSERT_EQ(sample.Init(kSample), 1); }
  static inline TempTextFile* edges = nullptr;
  CFaultCodeParser sample;
};

const std::string kReset =
    "Reset, automatic recovery.\r\n  - The central function restarted after a software watchdog expired.\r\n"
    "  - Traffic on all transceivers was interrupted during the restart.\r\n"
    "The fault ceases when the restart has completed.\r\n|"
    "No action is needed unless the fault is raised repeatedly.\r\n|BTS CF I1A:2,TRX TX I1A:4,";

const std::string kUnspecified = "Unspecified fault of the central function.\r\n||";
using LookupCase = std::tuple<const char*, CabinetType, std::string>;
// clang-format off
const LookupCase kSampleCases[] = {
    // Written forms of one code: colons, doubled or surrounding separators, parts beyond the fourth.
    {"BTS CF I1A:1", kMacro, kReset}, {"BTS:CF:I1A:1", kMacro, kReset}, {"BTS  CF  I1A::1", kMacro, kReset},
    {"BTS CF I1A : 1", kMacro, kReset}, {" :BTS CF I1A:1 ", kMacro, kReset}, {"BTS CF I1A:1 extra", kMacro, kReset},
    // Related codes without id or with only empty parts are left out.
    {"BTS CF I1A:1", kMicro, "Reset of the micro cabinet central function.\r\n||BTS CF I2A:7,"},
    // Three parts find only a fault with an empty id.
    {"BTS CF I2A", kMacro, kUnspecified}, {"BTS:CF:I2A:", kMacro, kUnspecified},
    {"BTS CF I1A", kMacro, "null"}, {"", kMacro, "null"}, {" : :", kMacro, "null"},
    {"BTS CF I1B:3", kPico, "Internal bus failure.\r\n  - Communication with one of these units failed:\r\n"
     "      - transceiver controller\r\n      - timing unit\r\n          - clock distribution\r\n"
     "  - The unit is taken out of service.\r\n  - First paragraph of the second item.\r\n"
     "  - Second paragraph of the second item.\r\n|Replace the distribution switch unit.\r\n|"},
    // Several matching elements join in document order; loose text in a description is ignored.
    {"BTS CF I1A:2", kMacro, "Processor load above the limit.\r\nMeasured over one minute of traffic.\r\n|"
     "Check the traffic load of the site.\r\n  - Reduce the number of active monitors.\r\n|BTS CF I1A:1,"},
    {"BTS CF I1A:2", kMicro, "Measured over one minute of traffic.\r\n||BTS CF I1A:1,"},
    {"TRX TX I1A:4", kStrato, "Transmitter output power too low.\r\n|Check the antenna feeder and the combiner.\r\n|"
     "TRX TX I1B:5,"},
    {"TRX TX I1A:4", kMacro, "Transmitter output power too low (macro cabinet).\r\n||"},
    {"TRX RX I1A:6", kPico, "||"}, {"ENV DP EC1:9", kPico, "||"},  // no texts for the kind
    // Any code of a fault; the first fault wins.
    {"TRX RX I1B:6", kMacro, "Receiver diversity lost.\r\n||"}, {"TRX RX I1A:6", kMacro, "Receiver diversity lost.\r\n||"},
    {"BTS CF I1A:99", kMacro, "null"}, {"bts cf i1a:1", kMacro, "null"}, {"BTS CF I1A:01", kMacro, "null"},
    {"BTS CF I1A:\"1\"", kMacro, "null"}, {"BTS CF I1A:1]", kMacro, "null"}, {"BTS CF I1A:%s%n", kMacro, "null"},
};
const LookupCase kEdgeCases[] = {
    {"A B C:1", kMacro, "One paragraph over three lines.\r\n\r\n      - deep\r\n&ext;\r\n<ok>\r\n||Q  :,  :9,1 2 3:4,S T U:V,"},
    {"A B C:1", kMicro, "||W W W:W,"}, {"", kMacro, "|Empty code.\r\n|"},
};
// clang-format on

TEST_F(FaultCodeTest, LookupsRefusedArgumentsAndMalformedQueries) {
  for (const auto& [code, cabinet, record] : kSampleCases) EXPECT_EQ(Look(sample, code, cabinet), record) << code;
  CFaultCodeParser parser;
  ASSERT_EQ(parser.Init(edges->c_str()), 1);
  for (const auto& [code, cabinet, record] : kEdgeCases) EXPECT_EQ(Look(parser, code, cabinet), record) << code;
  std::string deep;  // levels beyond 32 are indented as level 32
  for (int level = 1; level <= kDepth; ++level)
    deep += std::string(size_t(4 * (std::min(level, 32) - 1)), ' ') + "  - L" + std::to_string(level) + "\r\n";
  EXPECT_EQ(Look(parser, "D D D:1", kMacro), deep + "||");
  // Every cabinet value selects the texts of its class.
  for (long long value = -3; value <= 71; ++value) {
    const long long v = value == 71 ? INT_MIN : value == 70 ? INT_MAX : value;
    const std::string expected = ExpectedClass(v);
    EXPECT_EQ(v >= 0 && v <= 64 ? g_cabinetTypeTexts[v].str() : expected, expected) << v;
    EXPECT_EQ(Look(parser, "C F M:1", static_cast<CabinetType>(v)),
              expected == "unidentified" ? "null" : expected + " text\r\n||")
        << v;
  }
  // Refused arguments; an apostrophe makes the query malformed.
  EXPECT_EQ(sample.GetDescription(nullptr, "Y", "BTS CF I1A:1", kMacro), nullptr);
  EXPECT_EQ(sample.GetDescription("X", "Y", nullptr, kMacro), nullptr);
  for (const char* code : {"BTS CF I1A:it's", "O'BTS CF I1A:1", "BTS CF I1A:'"}) {
    try {
      Look(sample, code, kMacro);
      ADD_FAILURE() << "no exception for " << code;
    } catch (const CComError& error) {
      EXPECT_EQ(error.Error(), PELIX_E_FAIL) << code;
    }
  }
  EXPECT_EQ(Look(sample, "BTS CF I1A:1", kMacro), kReset);  // still usable
}

TEST_F(FaultCodeTest, InitLoadsReplacesOrUnloads) {
  const std::string fault = "<fault>" + Code("BTS", "CF", "I1A", "1") + "</fault>";
  const std::string db = "<?xml version=\"1.0\"?>\n<faultcodedescription>\n" + fault + "</faultcodedescription>\n";
  // Empty, not XML, truncated; then not well-formed around the root element,
  // which the XML parser itself accepts.
  std::vector<std::unique_ptr<TempTextFile>> files;
  for (const std::string& text : {std::string(), std::string("category function map id\r\nBTS CF I1A 1\r\n"),
                                  db.substr(0, 80), db + db, db + "<fault/>", db + "x", db + "]]>\n", "x" + db,
                                  db + "<![CDATA[x]]>", std::string("<?xml version=\"1.0\"?>\n<!-- no root -->\n")})
    files.push_back(std::make_unique<TempTextFile>(text));
  std::vector<const char*> bad = {nullptr, "", "/nonexistent/faultcodes.xml", PELIX_SOURCE_DIR "/data"};
  for (const auto& file : files) bad.push_back(file->c_str());
  for (const char* path : bad) {  // a failed load unloads what was loaded
    EXPECT_EQ(sample.Init(path), 0) << (path ? path : "null");
    EXPECT_EQ(Look(sample, "BTS CF I1A:1", kMacro), "null") << (path ? path : "null");
    ASSERT_EQ(sample.Init(kSample), 1);
  }
  // Another file replaces the database; a well-formed file of another kind loads but answers nothing.
  const TempTextFile other(db), foreign("<faults>" + fault + "</faults>");
  EXPECT_EQ(sample.Init(other.c_str()), 1);
  EXPECT_EQ(Look(sample, "BTS CF I1A:1", kMacro) + Look(sample, "TRX TX I1A:4", kMacro), "||null");
  EXPECT_EQ(sample.Init(foreign.c_str()), 1);
  EXPECT_EQ(Look(sample, "BTS CF I1A:1", kMacro), "null");
}

}  // namespace
