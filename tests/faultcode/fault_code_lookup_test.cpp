// Look-ups in the bundled sample database data/faultcodes.xml.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "pelix/com_error.h"
#include "pelix/fault_code_parser.h"
#include "tests/support/cstring_printer.h"

namespace {

const char* const kSample = PELIX_SOURCE_DIR "/data/faultcodes.xml";

constexpr CabinetType kMacro = static_cast<CabinetType>(1);
constexpr CabinetType kMicro = static_cast<CabinetType>(34);
constexpr CabinetType kPico = static_cast<CabinetType>(41);
constexpr CabinetType kStrato = static_cast<CabinetType>(48);

std::vector<std::string> Related(const CFaultCodeDescription& record) {
  std::vector<std::string> codes;
  for (int i = 0; i < record.m_relatedFaults.GetSize(); ++i) codes.push_back(record.m_relatedFaults[i].str());
  return codes;
}

class SampleDatabase : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(m_parser.Init(kSample), 1); }

  std::unique_ptr<CFaultCodeDescription> Look(const char* code, CabinetType cabinet) {
    return std::unique_ptr<CFaultCodeDescription>(m_parser.GetDescription("BTS", nullptr, code, cabinet));
  }

  CFaultCodeParser m_parser;
};

}  // namespace

TEST_F(SampleDatabase, ParagraphsAndListGiveExactLines) {
  const auto record = Look("BTS CF I1A:1", kMacro);
  ASSERT_NE(record, nullptr);
  EXPECT_EQ(record->m_description,
            "Reset, automatic recovery.\r\n"
            "  - The central function restarted after a software watchdog expired.\r\n"
            "  - Traffic on all transceivers was interrupted during the restart.\r\n"
            "The fault ceases when the restart has completed.\r\n");
  EXPECT_EQ(record->m_action, "No action is needed unless the fault is raised repeatedly.\r\n");
  EXPECT_TRUE(record->m_reservedText.IsEmpty());
}

TEST_F(SampleDatabase, RelatedFaultsSkipIncompleteAndEmptyCodes) {
  // The Macro list also holds a code without id and one whose parts are all
  // empty ("  :", 3 characters); neither may appear.
  const auto macro = Look("BTS CF I1A:1", kMacro);
  ASSERT_NE(macro, nullptr);
  EXPECT_THAT(Related(*macro), ::testing::ElementsAre("BTS CF I1A:2", "TRX TX I1A:4"));
  const auto micro = Look("BTS CF I1A:1", kMicro);
  ASSERT_NE(micro, nullptr);
  EXPECT_THAT(Related(*micro), ::testing::ElementsAre("BTS CF I2A:7"));
  EXPECT_EQ(micro->m_description, "Reset of the micro cabinet central function.\r\n");
  EXPECT_EQ(micro->m_action, "");
}

TEST_F(SampleDatabase, WrittenFormsOfOneCodeFindTheSameFault) {
  const char* forms[] = {
      "BTS CF I1A:1",       // the written form
      "BTS:CF:I1A:1",       // colons only
      "BTS  CF  I1A::1",    // doubled separators
      "BTS CF I1A : 1",     // spaces around the colon
      " :BTS CF I1A:1 ",    // leading and trailing separators
      "BTS CF I1A:1 extra"  // parts beyond the fourth are ignored
  };
  for (const char* form : forms) {
    const auto record = Look(form, kMacro);
    ASSERT_NE(record, nullptr) << form;
    EXPECT_EQ(record->m_action, "No action is needed unless the fault is raised repeatedly.\r\n") << form;
  }
}

TEST_F(SampleDatabase, ThreePartCodeFindsOnlyAFaultWithAnEmptyId) {
  const auto emptyId = Look("BTS CF I2A", kMacro);
  ASSERT_NE(emptyId, nullptr);
  EXPECT_EQ(emptyId->m_description, "Unspecified fault of the central function.\r\n");
  const auto colonsOnly = Look("BTS:CF:I2A:", kMacro);
  ASSERT_NE(colonsOnly, nullptr);
  EXPECT_EQ(colonsOnly->m_description, emptyId->m_description);
  EXPECT_EQ(Look("BTS CF I1A", kMacro), nullptr) << "no I1A fault has an empty id";
  EXPECT_EQ(Look("", kMacro), nullptr);
  EXPECT_EQ(Look(" : :", kMacro), nullptr);
}

TEST_F(SampleDatabase, NestedListsIndentFourMoreSpacesPerLevel) {
  const auto record = Look("BTS CF I1B:3", kPico);
  ASSERT_NE(record, nullptr);
  EXPECT_EQ(record->m_description,
            "Internal bus failure.\r\n"
            "  - Communication with one of these units failed:\r\n"
            "      - transceiver controller\r\n"
            "      - timing unit\r\n"
            "          - clock distribution\r\n"
            "  - The unit is taken out of service.\r\n"
            "  - First paragraph of the second item.\r\n"
            "  - Second paragraph of the second item.\r\n");
  EXPECT_EQ(record->m_action, "Replace the distribution switch unit.\r\n") << "inline markup is part of the text";
  EXPECT_TRUE(record->m_relatedFaults.IsEmpty());
}

TEST_F(SampleDatabase, SeveralMatchingElementsAreJoinedInDocumentOrder) {
  const auto macro = Look("BTS CF I1A:2", kMacro);
  ASSERT_NE(macro, nullptr);
  EXPECT_EQ(macro->m_description, "Processor load above the limit.\r\nMeasured over one minute of traffic.\r\n");
  EXPECT_EQ(macro->m_action, "Check the traffic load of the site.\r\n  - Reduce the number of active monitors.\r\n");
  EXPECT_THAT(Related(*macro), ::testing::ElementsAre("BTS CF I1A:1"));
  // The second description serves Micro too; loose text inside it is ignored.
  const auto micro = Look("BTS CF I1A:2", kMicro);
  ASSERT_NE(micro, nullptr);
  EXPECT_EQ(micro->m_description, "Measured over one minute of traffic.\r\n");
  EXPECT_EQ(micro->m_action, "");
  EXPECT_THAT(Related(*micro), ::testing::ElementsAre("BTS CF I1A:1"));
}

TEST_F(SampleDatabase, CabinetKindSelectsItsOwnTexts) {
  const auto strato = Look("TRX TX I1A:4", kStrato);
  ASSERT_NE(strato, nullptr);
  EXPECT_EQ(strato->m_description, "Transmitter output power too low.\r\n") << "unknown elements are skipped";
  EXPECT_EQ(strato->m_action, "Check the antenna feeder and the combiner.\r\n");
  EXPECT_THAT(Related(*strato), ::testing::ElementsAre("TRX TX I1B:5"));
  const auto macro = Look("TRX TX I1A:4", kMacro);
  ASSERT_NE(macro, nullptr);
  EXPECT_EQ(macro->m_description, "Transmitter output power too low (macro cabinet).\r\n");
  EXPECT_EQ(macro->m_action, "");
  EXPECT_TRUE(macro->m_relatedFaults.IsEmpty());
}

TEST_F(SampleDatabase, FaultWithoutTextsForTheKindGivesAnEmptyRecord) {
  for (const char* code : {"TRX RX I1A:6", "ENV DP EC1:9"}) {
    const auto record = Look(code, kPico);
    ASSERT_NE(record, nullptr) << code;
    EXPECT_TRUE(record->m_description.IsEmpty()) << code;
    EXPECT_TRUE(record->m_action.IsEmpty()) << code;
    EXPECT_TRUE(record->m_relatedFaults.IsEmpty()) << code;
  }
}

TEST_F(SampleDatabase, AnyCodeOfAFaultFindsItAndTheFirstFaultWins) {
  const auto second = Look("TRX RX I1B:6", kMacro);
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(second->m_description, "Receiver diversity lost.\r\n");
  const auto duplicate = Look("TRX RX I1A:6", kMacro);
  ASSERT_NE(duplicate, nullptr);
  EXPECT_EQ(duplicate->m_description, "Receiver diversity lost.\r\n");
}

TEST_F(SampleDatabase, UnknownCodesAndPartsThatDifferInCaseFindNothing) {
  EXPECT_EQ(Look("BTS CF I1A:99", kMacro), nullptr);
  EXPECT_EQ(Look("bts cf i1a:1", kMacro), nullptr);
  EXPECT_EQ(Look("BTS CF I1A:01", kMacro), nullptr);
}

TEST_F(SampleDatabase, ApostropheInACodePartThrowsAndTheParserStaysUsable) {
  EXPECT_THROW(Look("BTS CF I1A:it's", kMacro), CComError);
  EXPECT_THROW(Look("O'BTS CF I1A:1", kMacro), CComError);
  try {
    Look("BTS CF I1A:'", kMacro);
    ADD_FAILURE() << "no exception";
  } catch (const CComError& error) {
    EXPECT_EQ(error.Error(), PELIX_E_FAIL);
  }
  EXPECT_NE(Look("BTS CF I1A:1", kMacro), nullptr);
}
