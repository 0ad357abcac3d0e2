// What a flash card carries: presence, software, name and revision.
#include <gtest/gtest.h>

#include <string>

#include "pelix/tolva_sw_handler.h"
#include "tests/swload/swload_support.h"
#include "tools/package_generator/package_generator.h"

namespace {

using pelix::test::Scratch;
using pelix::test::WriteFile;

class CardIdentificationTest : public ::testing::Test {
 protected:
  void Card(const std::string& zcl) {
    WriteFile(scratch.card + "ZCL", zcl);
    ASSERT_EQ(handler.Init(scratch.card.c_str(), true, false), SR_OK);
  }
  Scratch scratch;
  CTolva_SW_Handler handler;
};

TEST_F(CardIdentificationTest, UninitialisedHandlerKnowsNothing) {
  WriteFile(scratch.card + "ZCL", "0123456789ABFP=QTV1234567_12345;");
  EXPECT_EQ(handler.VerifyTolva_SW_OnFlashCard(), SR_FAILED);
  EXPECT_EQ(handler.GetTolva_SW_Name_OnFlashCard(), "Not Defined");
  EXPECT_EQ(handler.GetTolva_SW_Rev_OnFlashCard(), "Not Defined");
}

TEST_F(CardIdentificationTest, CardWithoutZclHoldsNoSoftware) {
  ASSERT_EQ(handler.Init(scratch.card.c_str(), true, false), SR_OK);
  EXPECT_EQ(handler.VerifyTolva_SW_OnFlashCard(), SR_FAILED);
  EXPECT_EQ(handler.GetTolva_SW_Name_OnFlashCard(), "Not Defined");
  EXPECT_EQ(handler.GetTolva_SW_Rev_OnFlashCard(), "Not Defined");
}

TEST_F(CardIdentificationTest, RevisionIsFiveCharactersOfTheHeader) {
  Card("ABCR12B4XYZW and more");
  EXPECT_EQ(handler.VerifyTolva_SW_OnFlashCard(), SR_OK);
  EXPECT_EQ(handler.GetTolva_SW_Rev_OnFlashCard(), "R12B4");
  Card("ABCR12B4XYZ");  // 11 bytes
  EXPECT_EQ(handler.GetTolva_SW_Rev_OnFlashCard(), "Not Defined");
  Card("ABCR12B4XYZW");  // exactly 12
  EXPECT_EQ(handler.GetTolva_SW_Rev_OnFlashCard(), "R12B4");
}

TEST_F(CardIdentificationTest, NamesOfBothClassesAndLengths) {
  Card("header......{FP=QTV1234567_12345;REV=R1;}");
  EXPECT_EQ(handler.GetTolva_SW_Name_OnFlashCard(), "QTV1234567_12345");
  Card("xxFP=HRW1234567_123456;");
  EXPECT_EQ(handler.GetTolva_SW_Name_OnFlashCard(), "HRW1234567_123456");
  Card("xxFP=HRW1234567_12345;");
  EXPECT_EQ(handler.GetTolva_SW_Name_OnFlashCard(), "HRW1234567_12345");
  // The class letters may stand anywhere in the 18 characters.
  Card("FP=AB1234QTVx_ABCDE;");
  EXPECT_EQ(handler.GetTolva_SW_Name_OnFlashCard(), "AB1234QTVx_ABCDE");
  // A QTV name of 17 characters is not one.
  Card("FP=QTV1234567_123456;");
  EXPECT_EQ(handler.GetTolva_SW_Name_OnFlashCard(), "Not Defined");
}

TEST_F(CardIdentificationTest, WrongUnderscoreThenRightNameLater) {
  Card("FP=QTV123456_712345;....FP=QTV7654321_54321;tail");
  EXPECT_EQ(handler.GetTolva_SW_Name_OnFlashCard(), "QTV7654321_54321");
  Card("FP=QTV123456_712345;....no other");
  EXPECT_EQ(handler.GetTolva_SW_Name_OnFlashCard(), "Not Defined");
}

TEST_F(CardIdentificationTest, ScanNeedsFThenPThenEquals) {
  Card("F P=QTV1234567_12345;");
  EXPECT_EQ(handler.GetTolva_SW_Name_OnFlashCard(), "Not Defined");
  Card("FP:QTV1234567_12345;");
  EXPECT_EQ(handler.GetTolva_SW_Name_OnFlashCard(), "Not Defined");
  Card("no package text at all");
  EXPECT_EQ(handler.GetTolva_SW_Name_OnFlashCard(), "Not Defined");
  Card("");
  EXPECT_EQ(handler.GetTolva_SW_Name_OnFlashCard(), "Not Defined");
  // A name cut short by the end of the file keeps the buffer's earlier
  // content: 17 characters read, the 18th still the terminating zero.
  Card("FP=QTV1234567_12345;");
  EXPECT_EQ(handler.GetTolva_SW_Name_OnFlashCard(), "QTV1234567_12345");
  Card("FP=QTV1234567_1234");  // no ";" anywhere
  EXPECT_EQ(handler.GetTolva_SW_Name_OnFlashCard(), "Not Defined");
}

TEST_F(CardIdentificationTest, NameFarIntoALargeFileIsFound) {
  std::string zcl(300000, 'x');
  for (size_t i = 0; i < zcl.size(); i += 97) zcl[i] = 'F';
  zcl += "FP=HRW0000001_777777;";
  Card(zcl);
  EXPECT_EQ(handler.GetTolva_SW_Name_OnFlashCard(), "HRW0000001_777777");
}

TEST_F(CardIdentificationTest, QueriesRepeatInAnyOrder) {
  Card("ABCREV01xxxxFP=QTV1234567_12345;");
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(handler.GetTolva_SW_Rev_OnFlashCard(), "REV01");
    EXPECT_EQ(handler.GetTolva_SW_Name_OnFlashCard(), "QTV1234567_12345");
    EXPECT_EQ(handler.VerifyTolva_SW_OnFlashCard(), SR_OK);
  }
}

TEST_F(CardIdentificationTest, PresenceNeedsNoInit) {
  CString missing((scratch.root + "none/").c_str());
  EXPECT_EQ(handler.IsFlashCardPresent(missing), 0);
  CString card(scratch.card.c_str());
  EXPECT_EQ(handler.IsFlashCardPresent(card), 0);
  WriteFile(scratch.card + "anything", "x");
  EXPECT_NE(handler.IsFlashCardPresent(card), 0);
}

TEST_F(CardIdentificationTest, CopiedCardReadsBack) {
  // The demo package's boot sub-files carry a boot header and an embedded
  // package description, as station boot software does: a copy for H40 puts
  // BOOT1 first in ZCL, so its name and revision are what the card shows.
  ASSERT_TRUE(pelix::packagegen::WritePackage(scratch.pkg, pelix::packagegen::DemoPackage()));
  CTolva_SW_Handler writer;
  ASSERT_EQ(writer.Init(scratch.pkg.c_str(), false, false), SR_OK);
  ASSERT_EQ(writer.CopyFilesToFlashCard(scratch.card.c_str(), ZCU_H40, nullptr), SR_OK);
  ASSERT_EQ(handler.Init(scratch.card.c_str(), true, false), SR_OK);
  EXPECT_EQ(handler.VerifyTolva_SW_OnFlashCard(), SR_OK);
  EXPECT_EQ(handler.GetTolva_SW_Rev_OnFlashCard(), "R1A01");
  EXPECT_EQ(handler.GetTolva_SW_Name_OnFlashCard(), "QTV0001DEM_R1A01");

  // For J40 only BOOT2 is boot software: its 17-character name shows.
  CTolva_SW_Handler second;
  ASSERT_EQ(second.Init(scratch.pkg.c_str(), false, false), SR_OK);
  ASSERT_EQ(second.CopyFilesToFlashCard(scratch.card.c_str(), ZCU_J40, nullptr), SR_OK);
  CTolva_SW_Handler reader;
  ASSERT_EQ(reader.Init(scratch.card.c_str(), true, false), SR_OK);
  EXPECT_EQ(reader.GetTolva_SW_Rev_OnFlashCard(), "R1A02");
  EXPECT_EQ(reader.GetTolva_SW_Name_OnFlashCard(), "HRW0002DEM_R1A012");
}

}  // namespace
