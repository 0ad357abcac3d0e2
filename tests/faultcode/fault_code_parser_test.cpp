// The parser's life cycle, its cabinet table, its host traffic and the
// databases that try to break it.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <climits>
#include <memory>
#include <string>
#include <vector>

#include "pelix/com_error.h"
#include "pelix/fault_code_parser.h"
#include "tests/support/cstring_printer.h"
#include "tests/support/recording_host.h"
#include "tests/support/temp_text_file.h"

using pelix::test::RecordingHost;
using pelix::test::TempTextFile;
using ::testing::ElementsAre;

namespace {

const char* const kSample = PELIX_SOURCE_DIR "/data/faultcodes.xml";
constexpr CabinetType kMacro = static_cast<CabinetType>(1);

std::string Database(const std::string& faults) {
  return "<?xml version=\"1.0\"?>\n<faultcodedescription>\n" + faults + "</faultcodedescription>\n";
}

std::string Code(const std::string& category, const std::string& function, const std::string& map,
                 const std::string& id) {
  return "<code><category>" + category + "</category><function>" + function + "</function><map>" + map + "</map><id>" +
         id + "</id></code>";
}

std::unique_ptr<CFaultCodeDescription> Look(CFaultCodeParser& parser, const char* code, CabinetType cabinet) {
  return std::unique_ptr<CFaultCodeDescription>(parser.GetDescription("X", "Y", code, cabinet));
}

// The cabinet classes, written out as ranges independently of the table.
std::string ExpectedClass(long long value) {
  if (value < 1 || value > 63 || value == 8) return "unidentified";
  if (value == 41) return "Pico";
  if (value >= 48) return "Strato";
  if ((value >= 5 && value <= 7) || value == 12 || value == 15 || value == 16 || value == 34 || value == 35 ||
      value == 47) {
    return "Micro";
  }
  return "Macro";
}

std::vector<std::string> Names(const RecordingHost& host, const char* call) {
  std::vector<std::string> texts;
  for (const auto& c : host.CallsNamed(call)) texts.push_back(c.text);
  return texts;
}

}  // namespace

TEST(CabinetTypeTexts, TableHoldsTheClassOfEveryValue) {
  for (int value = 0; value <= 64; ++value) {
    EXPECT_EQ(g_cabinetTypeTexts[value].str(), ExpectedClass(value)) << value;
  }
}

TEST(CabinetTypeTexts, EveryValueSelectsTheTextsOfItsClass) {
  std::string fault = "<fault>" + Code("C", "F", "M", "1");
  for (const char* kind : {"Macro", "Micro", "Pico", "Strato"}) {
    fault += std::string("<description><type>") + kind + "</type><p>" + kind + " text</p></description>";
  }
  fault += "</fault>\n";
  const TempTextFile file(Database(fault));
  CFaultCodeParser parser;
  ASSERT_EQ(parser.Init(file.c_str()), 1);
  std::vector<long long> values;
  for (int value = -3; value <= 70; ++value) values.push_back(value);
  values.push_back(INT_MIN);
  values.push_back(INT_MAX);
  for (long long value : values) {
    const auto record = Look(parser, "C F M:1", static_cast<CabinetType>(value));
    const std::string expected = ExpectedClass(value);
    if (expected == "unidentified") {
      EXPECT_EQ(record, nullptr) << value;
    } else {
      ASSERT_NE(record, nullptr) << value;
      EXPECT_EQ(record->m_description.str(), expected + " text\r\n") << value;
    }
  }
}

TEST(FaultCodeParserInit, FailsOnBadFilesAndLeavesTheParserUnloaded) {
  const TempTextFile empty("");
  const TempTextFile notXml("category function map id\r\nBTS CF I1A 1\r\n", ".txt");
  const TempTextFile truncated(Database("<fault>" + Code("BTS", "CF", "I1A", "1")).substr(0, 80));
  // Not well-formed around the root element, though the XML parser accepts it as it is.
  const std::string fault = "<fault>" + Code("BTS", "CF", "I1A", "1") + "</fault>";
  std::vector<std::unique_ptr<TempTextFile>> loose;
  for (const std::string& text :
       {Database(fault) + Database(fault), Database(fault) + "<fault/>", Database(fault) + "x",
        Database(fault) + "]]>\n", "x" + Database(fault), Database(fault) + "<![CDATA[x]]>",
        std::string("<?xml version=\"1.0\"?>\n<!-- no root -->\n")}) {
    loose.push_back(std::make_unique<TempTextFile>(text));
  }
  std::vector<const char*> bad = {
      "", "/nonexistent/faultcodes.xml", empty.c_str(), notXml.c_str(), truncated.c_str(), PELIX_SOURCE_DIR "/data"};
  for (const auto& file : loose) bad.push_back(file->c_str());
  for (const char* path : bad) {
    CFaultCodeParser parser;
    EXPECT_EQ(parser.Init(path), 0) << path;
    EXPECT_EQ(Look(parser, "BTS CF I1A:1", kMacro), nullptr) << path;
    // A loaded parser that then fails to load another file is unloaded too.
    ASSERT_EQ(parser.Init(kSample), 1);
    EXPECT_EQ(parser.Init(path), 0) << path;
    EXPECT_EQ(Look(parser, "BTS CF I1A:1", kMacro), nullptr) << path;
  }
}

TEST(FaultCodeParserInit, NullPathUnloadsAndAnotherInitLoadsAgain) {
  CFaultCodeParser parser;
  EXPECT_EQ(parser.Init(nullptr), 0);
  ASSERT_EQ(parser.Init(kSample), 1);
  ASSERT_NE(Look(parser, "BTS CF I1A:1", kMacro), nullptr);
  EXPECT_EQ(parser.Init(nullptr), 0);
  EXPECT_EQ(Look(parser, "BTS CF I1A:1", kMacro), nullptr);
  ASSERT_EQ(parser.Init(kSample), 1);
  EXPECT_NE(Look(parser, "BTS CF I1A:1", kMacro), nullptr);
}

TEST(FaultCodeParserInit, ReInitReplacesTheDatabase) {
  const TempTextFile other(Database("<fault>" + Code("BTS", "CF", "I1A", "1") +
                                    "<description><type>Macro</type><p>Replaced.</p></description></fault>\n"));
  CFaultCodeParser parser;
  ASSERT_EQ(parser.Init(kSample), 1);
  ASSERT_NE(Look(parser, "TRX TX I1A:4", kMacro), nullptr);
  ASSERT_EQ(parser.Init(other.c_str()), 1);
  const auto replaced = Look(parser, "BTS CF I1A:1", kMacro);
  ASSERT_NE(replaced, nullptr);
  EXPECT_EQ(replaced->m_description, "Replaced.\r\n");
  EXPECT_EQ(replaced->m_action, "");
  EXPECT_EQ(Look(parser, "TRX TX I1A:4", kMacro), nullptr) << "only in the first file";
}

TEST(FaultCodeParserInit, WellFormedFileOfAnotherKindLoadsButAnswersNothing) {
  const TempTextFile other("<faults><fault>" + Code("BTS", "CF", "I1A", "1") + "</fault></faults>");
  CFaultCodeParser parser;
  EXPECT_EQ(parser.Init(other.c_str()), 1);
  EXPECT_EQ(Look(parser, "BTS CF I1A:1", kMacro), nullptr);
}

TEST(FaultCodeParserLookup, RefusesNullArgumentsAndUnloadedState) {
  CFaultCodeParser parser;
  EXPECT_EQ(Look(parser, "BTS CF I1A:1", kMacro), nullptr) << "not loaded";
  ASSERT_EQ(parser.Init(kSample), 1);
  EXPECT_EQ(parser.GetDescription(nullptr, "Y", "BTS CF I1A:1", kMacro), nullptr);
  EXPECT_EQ(parser.GetDescription("X", "Y", nullptr, kMacro), nullptr);
  std::unique_ptr<CFaultCodeDescription> noSecond(parser.GetDescription("", nullptr, "BTS CF I1A:1", kMacro));
  EXPECT_NE(noSecond, nullptr) << "the second argument plays no part";
}

TEST(FaultCodeParserLookup, QuotesAndBracketsInsideAPartOnlyFailToMatch) {
  CFaultCodeParser parser;
  ASSERT_EQ(parser.Init(kSample), 1);
  EXPECT_EQ(Look(parser, "BTS CF I1A:\"1\"", kMacro), nullptr);
  EXPECT_EQ(Look(parser, "BTS CF I1A:1]", kMacro), nullptr);
  EXPECT_EQ(Look(parser, "BTS CF I1A:%s%n", kMacro), nullptr);
}

TEST(FaultCodeParserLookup, RelatedCodesShorterThanFourCharactersAreDropped) {
  const std::string fault =
      "<fault>" + Code("A", "B", "C", "1") +
      "<relatedfault><code><category>N</category><function>F</function><map>M</map></code>"  // no id
      "<type>Macro</type>" +
      Code("", "", "", "") +   // "  :" 3 characters
      Code("Q", "", "", "") +  // "Q  :" 4 characters
      Code("", "", "", "9") +  // "  :9" 4 characters
      "<code><id>4</id><map>3</map><extra/><function>2</function><category>1</category></code>"
      "<code><category> S </category><function>T\n</function><map>U</map><id>V</id></code>"
      "</relatedfault>"
      "<relatedfault><type>Micro</type>" +
      Code("W", "W", "W", "W") + "</relatedfault></fault>\n";
  const TempTextFile file(Database(fault));
  CFaultCodeParser parser;
  ASSERT_EQ(parser.Init(file.c_str()), 1);
  const auto record = Look(parser, "A B C:1", kMacro);
  ASSERT_NE(record, nullptr);
  std::vector<std::string> codes;
  for (const CString& code : record->m_relatedFaults) codes.push_back(code.str());
  EXPECT_THAT(codes, ElementsAre("Q  :", "  :9", "1 2 3:4", "S T U:V"));
}

TEST(FaultCodeParserLookup, AllEmptyCodePartsFindAFaultWithEmptyParts) {
  const TempTextFile file(
      Database("<fault>" + Code("", "", "", "") + "<action><type>Macro</type><p>Empty code.</p></action></fault>\n"));
  CFaultCodeParser parser;
  ASSERT_EQ(parser.Init(file.c_str()), 1);
  const auto record = Look(parser, "", kMacro);
  ASSERT_NE(record, nullptr);
  EXPECT_EQ(record->m_action, "Empty code.\r\n");
}

TEST(FaultCodeParserLookup, ParagraphsSpanningLinesAndEmptyElementsKeepTheLayout) {
  const std::string fault = "<fault>" + Code("A", "B", "C", "1") +
                            "<description><type>Macro</type>"
                            "<p>\n   One paragraph\n   over three\n   lines.\n</p>"
                            "<p/>"
                            "<list/>"
                            "<list><li/><li>loose<list><li><p>deep</p></li></list></li></list>"
                            "</description></fault>\n";
  const TempTextFile file(Database(fault));
  CFaultCodeParser parser;
  ASSERT_EQ(parser.Init(file.c_str()), 1);
  const auto record = Look(parser, "A B C:1", kMacro);
  ASSERT_NE(record, nullptr);
  EXPECT_EQ(record->m_description, "One paragraph over three lines.\r\n\r\n      - deep\r\n");
}

TEST(FaultCodeParserLookup, EntitiesOfADoctypeAreNeitherFetchedNorExpanded) {
  const std::string text =
      "\xef\xbb\xbf<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<!DOCTYPE faultcodedescription [<!ENTITY ext SYSTEM \"file:///etc/hostname\">]>\n"
      "<faultcodedescription><fault>" +
      Code("A", "B", "C", "1") +
      "<description><type>Macro</type><p>&ext;</p><p>&lt;ok&gt;</p></description>"
      "</fault></faultcodedescription>\n";
  const TempTextFile file(text);
  CFaultCodeParser parser;
  ASSERT_EQ(parser.Init(file.c_str()), 1);
  const auto record = Look(parser, "A B C:1", kMacro);
  ASSERT_NE(record, nullptr);
  EXPECT_EQ(record->m_description, "&ext;\r\n<ok>\r\n");
}

TEST(FaultCodeParserLookup, DeepListsStopIndentingAndNeverExhaustTheStack) {
  constexpr int kDepth = 20000;  // far beyond what recursion per level would survive
  std::string body = "<description><type>Macro</type>";
  for (int level = 1; level <= kDepth; ++level) body += "<list><li><p>L" + std::to_string(level) + "</p>";
  for (int level = 1; level <= kDepth; ++level) body += "</li></list>";
  body += "</description>";
  const TempTextFile file(Database("<fault>" + Code("A", "B", "C", "1") + body + "</fault>\n"));
  CFaultCodeParser parser;
  ASSERT_EQ(parser.Init(file.c_str()), 1);
  const auto record = Look(parser, "A B C:1", kMacro);
  ASSERT_NE(record, nullptr);
  std::string expected;
  for (int level = 1; level <= kDepth; ++level) {
    const int indent = level < 32 ? level : 32;  // deeper levels are indented as level 32
    expected += std::string(static_cast<size_t>(4 * (indent - 1)), ' ') + "  - L" + std::to_string(level) + "\r\n";
  }
  EXPECT_EQ(record->m_description.str(), expected);
}

TEST(FaultCodeParserFrame, LookupOpensItsScopesInOrderAndReportsNothing) {
  CFaultCodeParser parser;
  ASSERT_EQ(parser.Init(kSample), 1);
  RecordingHost host;
  host.handlerExists = true;
  const auto record = Look(parser, "BTS CF I1A:1", kMacro);
  ASSERT_NE(record, nullptr);
  EXPECT_THAT(Names(host, "StoreEnter"),
              ElementsAre("CFaultCodeParser::GetDescription()", "CFaultCodeParser::GetCabinetType",
                          "CFaultCodeDescription::CFaultCodeDescription()", "CFaultCodeParser::GetRelatedFaults()",
                          "CFaultCodeParser::GetDescriptionText()", "CFaultCodeParser::GetDescriptionText()"));
  EXPECT_EQ(host.CallsNamed("StoreReturn").size(), 6U);
  EXPECT_EQ(host.CallsNamed("IncreaseLevel").size(), host.CallsNamed("DecreaseLevel").size());
  EXPECT_TRUE(host.CallsNamed("RaiseError").empty());
  EXPECT_TRUE(host.CallsNamed("LogError").empty());
  for (const auto& call : host.CallsNamed("StoreEnter")) {
    const bool record_scope = call.text.rfind("CFaultCodeDescription::", 0) == 0;
    EXPECT_EQ(call.file, record_scope ? "faultcode/fault_code_description.cpp" : "faultcode/fault_code_parser.cpp")
        << call.text;
  }
}

TEST(FaultCodeParserFrame, RefusalsReturnBeforeAnyQuery) {
  CFaultCodeParser parser;
  ASSERT_EQ(parser.Init(kSample), 1);
  RecordingHost host;
  host.handlerExists = true;
  EXPECT_EQ(Look(parser, "BTS CF I1A:1", CT_LAST), nullptr);
  EXPECT_THAT(Names(host, "StoreEnter"), ElementsAre("CFaultCodeParser::GetDescription()"));
  host.Clear();
  EXPECT_EQ(Look(parser, "BTS CF I1A:1", static_cast<CabinetType>(8)), nullptr);
  EXPECT_THAT(Names(host, "StoreEnter"),
              ElementsAre("CFaultCodeParser::GetDescription()", "CFaultCodeParser::GetCabinetType"));
  host.Clear();
  EXPECT_EQ(Look(parser, "NO SUCH FAULT:1", kMacro), nullptr);
  EXPECT_THAT(Names(host, "StoreEnter"),
              ElementsAre("CFaultCodeParser::GetDescription()", "CFaultCodeParser::GetCabinetType"));
  EXPECT_EQ(host.CallsNamed("StoreReturn").size(), 2U);
  EXPECT_TRUE(host.CallsNamed("RaiseError").empty());
}

TEST(FaultCodeParserFrame, InitFailuresAreNotReported) {
  RecordingHost host;
  host.handlerExists = true;
  CFaultCodeParser parser;
  EXPECT_EQ(parser.Init("/nonexistent/faultcodes.xml"), 0);
  EXPECT_EQ(parser.Init(nullptr), 0);
  EXPECT_THAT(Names(host, "StoreEnter"), ElementsAre("CFaultCodeParser::CFaultCodeParser()", "CFaultCodeParser::Init()",
                                                     "CFaultCodeParser::Init()"));
  EXPECT_TRUE(host.CallsNamed("RaiseError").empty());
  EXPECT_TRUE(host.CallsNamed("LogError").empty());
}

TEST(FaultCodeParserFrame, ConstructorAndDestructorScopes) {
  RecordingHost host;
  host.handlerExists = true;
  { CFaultCodeParser parser; }
  EXPECT_THAT(Names(host, "StoreEnter"),
              ElementsAre("CFaultCodeParser::CFaultCodeParser()", "CFaultCodeParser::~CFaultCodeParser()"));
  EXPECT_EQ(host.CallsNamed("StoreReturn").size(), 2U);
}

TEST(FaultCodeParserFrame, QueryErrorLeavesTheLookupScopeOpen) {
  CFaultCodeParser parser;
  ASSERT_EQ(parser.Init(kSample), 1);
  RecordingHost host;
  host.handlerExists = true;
  EXPECT_THROW(Look(parser, "BTS CF I1A:it's", kMacro), CComError);
  // GetCabinetType closed normally; GetDescription was left by the exception.
  EXPECT_THAT(Names(host, "StoreEnter"),
              ElementsAre("CFaultCodeParser::GetDescription()", "CFaultCodeParser::GetCabinetType"));
  EXPECT_EQ(host.CallsNamed("StoreReturn").size(), 1U);
  EXPECT_EQ(host.CallsNamed("DecreaseLevel").size(), 1U);
}
