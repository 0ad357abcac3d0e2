#include "pelix/fault_code_description.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "tests/support/recording_host.h"

using pelix::test::RecordingHost;

TEST(FaultCodeDescription, StartsEmpty) {
  const CFaultCodeDescription record;
  EXPECT_TRUE(record.m_reservedText.IsEmpty());
  EXPECT_TRUE(record.m_description.IsEmpty());
  EXPECT_TRUE(record.m_action.IsEmpty());
  EXPECT_EQ(record.m_relatedFaults.GetSize(), 0);
}

TEST(FaultCodeDescription, ConstructionAndDeletionEachRunOneScope) {
  RecordingHost host;
  host.handlerExists = true;
  CFaultCodeDescription* record = new CFaultCodeDescription();
  record->m_relatedFaults.Add("BTS CF I1A:2");
  record->m_description += "line\r\n";
  delete record;
  std::vector<std::string> scopes;
  for (const auto& call : host.CallsNamed("StoreEnter")) {
    scopes.push_back(call.text);
    EXPECT_EQ(call.file, "faultcode/fault_code_description.cpp");
  }
  EXPECT_THAT(scopes, ::testing::ElementsAre("CFaultCodeDescription::CFaultCodeDescription()",
                                             "CFaultCodeDescription::~CFaultCodeDescription()"));
  EXPECT_EQ(host.CallsNamed("StoreReturn").size(), 2U);
}
