// The exact host-call sequences of the trace frame.
#include "frame/frame.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

#include "pelix/platform.h"
#include "tests/support/recording_host.h"

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using pelix::test::RecordingHost;

namespace {

std::vector<std::string> g_boxes;
void RecordBox(const char* text) { g_boxes.emplace_back(text); }

class FrameTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_boxes.clear();
    m_previousBox = SetMessageBoxHandler(RecordBox);
  }
  void TearDown() override { SetMessageBoxHandler(m_previousBox); }

  RecordingHost host;

 private:
  MessageBoxHandler m_previousBox = nullptr;
};

// An operation with a scope and nothing else.
void PlainOperation() { PELIX_SCOPE("CTest::PlainOperation()"); }

// An operation that fails a precondition.
int FailingOperation() {
  PELIX_SCOPE("CTest::FailingOperation()");
  PELIX_FAILED_CHECK(EK_PRECONDITION, "m_list != NULL");
  PELIX_ERROR_EXIT();
  return -1;
}

// An operation that checks after a call and exits when an error is pending.
int CheckingOperation() {
  PELIX_SCOPE("CTest::CheckingOperation()");
  if (PELIX_ERROR_AFTER_CALL()) {
    PELIX_ERROR_EXIT();
    return -1;
  }
  return 1;
}

// An operation whose error exit is reached without a report.
void BareErrorExit() {
  PELIX_SCOPE("CTest::BareErrorExit()");
  PELIX_ERROR_EXIT();
}

TEST_F(FrameTest, NoHandlerCostsTwoCalls) {
  PlainOperation();
  EXPECT_THAT(host.Names(), ElementsAre("ErrorHandlerExists", "ErrorHandlerExists"));
  EXPECT_THAT(g_boxes, IsEmpty());
}

TEST_F(FrameTest, HandlerTypeTwoMakesNoRecord) {
  host.handlerExists = true;
  host.handlerType = 2;
  PlainOperation();
  EXPECT_THAT(host.Names(),
              ElementsAre("ErrorHandlerExists", "StoreEnter", "IncreaseLevel", "GetErrorHandlerType",
                          "ErrorHandlerExists", "StoreReturn", "DecreaseLevel", "GetErrorHandlerType"));
  EXPECT_EQ(host.calls[1].text, "CTest::PlainOperation()");
  EXPECT_EQ(host.calls[1].file, "tests/frame/frame_test.cpp");
  EXPECT_THAT(g_boxes, IsEmpty());
}

TEST_F(FrameTest, HandlerTypeOneThroughoutShowsNothing) {
  host.handlerExists = true;
  host.handlerType = 1;
  {
    pelix::frame::TraceScope scope("f.cpp", 7, "CTest::Record()");
    ASSERT_NE(scope.Record(), nullptr);
    EXPECT_EQ(scope.Record()[0], 1);
    EXPECT_STREQ(scope.Record() + 1, "CTest::Record()");
  }
  EXPECT_THAT(g_boxes, IsEmpty());
  EXPECT_EQ(host.CallsNamed("GetErrorHandlerType").size(), 2U);
}

TEST_F(FrameTest, HandlerTypeChangingFromOneShowsTheScopeName) {
  host.handlerExists = true;
  host.handlerType = 1;
  host.onHandlerType = [](RecordingHost& h) { h.handlerType = 3; };
  PlainOperation();
  EXPECT_THAT(g_boxes, ElementsAre("CTest::PlainOperation()"));
}

TEST_F(FrameTest, HandlerTypeChangingToOneShowsNothing) {
  host.handlerExists = true;
  host.handlerType = 2;
  host.onHandlerType = [](RecordingHost& h) { h.handlerType = 1; };
  PlainOperation();
  EXPECT_THAT(g_boxes, IsEmpty());
}

TEST_F(FrameTest, HandlerRemovedBeforeCloseReleasesTheRecordSilently) {
  host.handlerExists = true;
  host.handlerType = 1;
  host.onHandlerType = [](RecordingHost& h) { h.handlerExists = false; };
  PlainOperation();
  EXPECT_THAT(host.Names(),
              ElementsAre("ErrorHandlerExists", "StoreEnter", "IncreaseLevel", "GetErrorHandlerType",
                          "ErrorHandlerExists"));
  EXPECT_THAT(g_boxes, IsEmpty());
}

TEST_F(FrameTest, LongScopeNameIsCutToTheRecord) {
  host.handlerExists = true;
  host.handlerType = 1;
  const std::string name(150, 'x');
  pelix::frame::TraceScope scope("f.cpp", 1, name.c_str());
  ASSERT_NE(scope.Record(), nullptr);
  EXPECT_EQ(std::strlen(scope.Record() + 1), 99U);
}

TEST_F(FrameTest, FailedPreconditionReportsOnceWithoutUnspecifiedError) {
  host.handlerExists = true;
  EXPECT_EQ(FailingOperation(), -1);
  EXPECT_EQ(host.CallsNamed("RaiseError").size(), 1U);
  EXPECT_EQ(host.CallsNamed("RaiseError")[0].text, "m_list != NULL");
  EXPECT_THAT(host.Texts("LogError", EK_PRECONDITION), ElementsAre("m_list != NULL"));
  EXPECT_THAT(host.Texts("LogError", EK_UNSPECIFIED), IsEmpty());
  EXPECT_EQ(host.CallsNamed("LogStoredMessages").size(), 1U);
  EXPECT_THAT(host.Names(), ElementsAre("ErrorHandlerExists", "StoreEnter", "IncreaseLevel", "GetErrorHandlerType",
                                        "ErrorHandlerExists", "RaiseError", "LogError", "LogStoredMessages",
                                        "ErrorHandlerExists", "GetErrorStatus", "ErrorHandlerExists",
                                        "StoreReturn", "DecreaseLevel", "GetErrorHandlerType"));
}

TEST_F(FrameTest, FailedCheckWithoutHandlerReportsNothing) {
  EXPECT_EQ(FailingOperation(), -1);
  EXPECT_TRUE(host.CallsNamed("RaiseError").empty());
  EXPECT_TRUE(host.CallsNamed("GetErrorStatus").empty());
}

TEST_F(FrameTest, ErrorExitWithNothingPendingRaisesTheUnspecifiedError) {
  host.handlerExists = true;
  BareErrorExit();
  EXPECT_THAT(host.Texts("LogError", EK_UNSPECIFIED), ElementsAre(""));
  ASSERT_EQ(host.CallsNamed("RaiseError").size(), 1U);
  EXPECT_EQ(host.CallsNamed("RaiseError")[0].text, "");
  EXPECT_EQ(host.errorStatus, 1);
}

TEST_F(FrameTest, CheckAfterCallAsksStatusFirstAndHandlerOnlyWhenPending) {
  EXPECT_EQ(CheckingOperation(), 1);
  EXPECT_THAT(host.Names(), ElementsAre("ErrorHandlerExists", "GetErrorStatus", "ErrorHandlerExists"));

  host.Clear();
  host.errorStatus = 1;  // pending, but no handler: the answer is ignored
  EXPECT_EQ(CheckingOperation(), 1);
  EXPECT_THAT(host.Names(),
              ElementsAre("ErrorHandlerExists", "GetErrorStatus", "ErrorHandlerExists", "ErrorHandlerExists"));

  host.Clear();
  host.handlerExists = true;  // pending with a handler: error exit, nothing more raised
  EXPECT_EQ(CheckingOperation(), -1);
  EXPECT_TRUE(host.CallsNamed("RaiseError").empty());
}

TEST_F(FrameTest, TraceLineIsStoredAndLoggedOnlyWithDetailedTraces) {
  host.handlerExists = true;
  PELIX_TRACE("  Octet %d = %d (%#x)", 1, -128, -128);
  EXPECT_THAT(host.Texts("StoreError", EK_TRACE), ElementsAre("  Octet 1 = -128 (0xffffff80)"));
  EXPECT_TRUE(host.CallsNamed("LogError").empty());

  host.Clear();
  host.pelixTraces = true;
  PELIX_TRACE("MO FAULT MAP REPORT");
  EXPECT_THAT(host.Names(), ElementsAre("ErrorHandlerExists", "BuildString", "StoreError", "IsPelixTracesEnabled",
                                        "BuildString", "LogError"));
  EXPECT_THAT(host.Texts("LogError", EK_TRACE), ElementsAre("MO FAULT MAP REPORT"));
}

TEST_F(FrameTest, TraceLineWithoutHandlerFormatsNothing) {
  PELIX_TRACE("%s", "never built");
  EXPECT_THAT(host.Names(), ElementsAre("ErrorHandlerExists"));
}

TEST_F(FrameTest, ScopesNestAndLevelsBalance) {
  host.handlerExists = true;
  {
    PELIX_SCOPE("Outer()");
    PlainOperation();
  }
  EXPECT_EQ(host.CallsNamed("IncreaseLevel").size(), 2U);
  EXPECT_EQ(host.CallsNamed("DecreaseLevel").size(), 2U);
  const auto enters = host.CallsNamed("StoreEnter");
  ASSERT_EQ(enters.size(), 2U);
  EXPECT_EQ(enters[0].text, "Outer()");
  EXPECT_EQ(enters[1].text, "CTest::PlainOperation()");
}

TEST_F(FrameTest, ExceptionPassesThroughWithoutClosingTheScope) {
  host.handlerExists = true;
  host.handlerType = 1;
  EXPECT_THROW(
      {
        PELIX_SCOPE("CTest::Throwing()");
        throw std::invalid_argument("index");
      },
      std::invalid_argument);
  EXPECT_TRUE(host.CallsNamed("StoreReturn").empty());
  EXPECT_TRUE(host.CallsNamed("DecreaseLevel").empty());
  EXPECT_THAT(g_boxes, IsEmpty());
}

TEST(ServiceResultTest, NamesAndValues) {
  EXPECT_EQ(SR_OK, 0);
  EXPECT_EQ(SR_INVALID_DATA, 11);
  EXPECT_EQ(SR_FAILED, 25);
  EXPECT_EQ(SR_FILE_OPEN_FAILED, 26);
  EXPECT_EQ(SR_NOTHING_TO_COPY, 28);
  EXPECT_EQ(SR_NO_SPACE, 40);
  EXPECT_STREQ(ServiceResultName(SR_NO_SPACE), "SR_NO_SPACE");
  EXPECT_STREQ(ServiceResultName(static_cast<ServiceResult>(12)), "SR_UNKNOWN");
}

}  // namespace

namespace {

TEST(TraceRunTest, SkippedOnlyWhenTheBuiltInHostHasNoHandler) {
  pelix::DefaultHost& builtIn = pelix::GetDefaultHost();
  builtIn.SetErrorHandler(false);
  EXPECT_FALSE(pelix::frame::TraceMayReachSomeone());
  builtIn.SetErrorHandler(true);
  EXPECT_TRUE(pelix::frame::TraceMayReachSomeone());
  builtIn.SetErrorHandler(false);
  RecordingHost host;  // another host is always asked line by line
  EXPECT_TRUE(pelix::frame::TraceMayReachSomeone());
  EXPECT_TRUE(host.calls.empty());
}

}  // namespace
