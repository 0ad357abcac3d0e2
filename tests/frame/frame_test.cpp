// The exact host-call sequences of the trace frame.
#include "frame/frame.h"

#include <gtest/gtest.h>

#include <cstring>
#include <stdexcept>
#include <string>

#include "pelix/platform.h"
#include "tests/support/recording_host.h"

using pelix::test::RecordingHost;

namespace {

std::string g_boxes;
void RecordBox(const char* text) { g_boxes += text; }

std::string Names(const RecordingHost& host) {
  std::string names;
  for (const std::string& name : host.Names()) names += (names.empty() ? "" : " ") + name;
  return names;
}

void PlainOperation() { PELIX_SCOPE("CTest::PlainOperation()"); }
int FailingOperation() {
  PELIX_SCOPE("CTest::FailingOperation()");
  PELIX_FAIL(EK_PRECONDITION, "m_list != NULL");
  return -1;
}
int CheckingOperation() { return PELIX_ERROR_AFTER_CALL() ? -1 : 1; }
void BareErrorExit() { PELIX_ERROR_EXIT(); }
void Trace() { PELIX_TRACE("  Octet %d = %d (%#x)", 1, -128, -128); }

TEST(Frame, HostCallSequences) {
  const std::string open = "ErrorHandlerExists StoreEnter IncreaseLevel GetErrorHandlerType";
  const std::string close = "ErrorHandlerExists StoreReturn DecreaseLevel GetErrorHandlerType";
  const std::string pending = "GetErrorStatus ErrorHandlerExists";
  struct Row {
    const char* name;
    bool handler;
    int type, typeAfterwards;  // -1: the handler is removed after the first answer
    int status;
    void (*operation)();
    std::string calls, boxes = "";
  };
  // clang-format off
  const Row rows[] = {
      {"no handler: two calls", false, 2, 2, 0, PlainOperation, "ErrorHandlerExists ErrorHandlerExists"},
      {"handler type 2", true, 2, 2, 0, PlainOperation, open + " " + close},
      {"type 1 throughout shows nothing", true, 1, 1, 0, PlainOperation, open + " " + close},
      {"type changing from 1 shows the scope", true, 1, 3, 0, PlainOperation, open + " " + close, "CTest::PlainOperation()"},
      {"type changing to 1 shows nothing", true, 2, 1, 0, PlainOperation, open + " " + close},
      {"handler removed before the close", true, 1, -1, 0, PlainOperation, open + " ErrorHandlerExists"},
      {"failed check", true, 2, 2, 0, [] { FailingOperation(); },
       open + " ErrorHandlerExists RaiseError LogError LogStoredMessages ErrorHandlerExists GetErrorStatus " + close},
      {"failed check without handler", false, 2, 2, 0, [] { FailingOperation(); },
       "ErrorHandlerExists ErrorHandlerExists ErrorHandlerExists ErrorHandlerExists"},
      {"check after a call, nothing pending", true, 2, 2, 0, [] { EXPECT_EQ(CheckingOperation(), 1); }, "GetErrorStatus"},
      {"pending, but no handler", false, 2, 2, 1, [] { EXPECT_EQ(CheckingOperation(), 1); }, pending},
      {"pending with a handler", true, 2, 2, 1, [] { EXPECT_EQ(CheckingOperation(), -1); }, pending},
      {"error exit, nothing pending", true, 2, 2, 0, BareErrorExit,
       "ErrorHandlerExists GetErrorStatus RaiseError LogError LogStoredMessages"},
      {"error exit, already pending", true, 2, 2, 1, BareErrorExit, "ErrorHandlerExists GetErrorStatus"},
      {"trace line", true, 2, 2, 0, Trace, "ErrorHandlerExists BuildString StoreError IsPelixTracesEnabled"},
      {"trace line without handler", false, 2, 2, 0, Trace, "ErrorHandlerExists"},
      {"an exception passes through without closing the scope", true, 1, 1, 0, [] {
         EXPECT_THROW({ PELIX_SCOPE("CTest::Throwing()"); throw std::invalid_argument("index"); }, std::invalid_argument);
       }, open},
  };
  // clang-format on
  for (const Row& row : rows) {
    g_boxes.clear();
    const MessageBoxHandler previous = SetMessageBoxHandler(RecordBox);
    RecordingHost host;
    host.handlerExists = row.handler, host.handlerType = row.type, host.errorStatus = row.status;
    const int afterwards = row.typeAfterwards;
    host.onHandlerType = [afterwards](RecordingHost& h) {
      afterwards < 0 ? void(h.handlerExists = false) : void(h.handlerType = afterwards);
    };
    row.operation();
    EXPECT_EQ(Names(host), row.calls) << row.name;
    EXPECT_EQ(g_boxes, row.boxes) << row.name;
    SetMessageBoxHandler(previous);
  }
}

TEST(Frame, TextsFilesAndRecords) {
  RecordingHost host;
  host.handlerExists = true;
  EXPECT_EQ(FailingOperation(), -1);  // a failed precondition is reported once, without the unspecified error
  EXPECT_EQ(host.CallsNamed("StoreEnter")[0].text + "@" + host.CallsNamed("StoreEnter")[0].file,
            "CTest::FailingOperation()@tests/frame/frame_test.cpp");
  EXPECT_EQ(host.Texts("RaiseError", -1), std::vector<std::string>{"m_list != NULL"});
  EXPECT_EQ(host.Texts("LogError", EK_PRECONDITION), std::vector<std::string>{"m_list != NULL"});
  EXPECT_TRUE(host.Texts("LogError", EK_UNSPECIFIED).empty());
  host.Clear(), host.errorStatus = 0;
  BareErrorExit();
  EXPECT_EQ(host.Texts("LogError", EK_UNSPECIFIED), std::vector<std::string>{""});
  EXPECT_EQ(host.errorStatus, 1);
  host.Clear(), host.pelixTraces = true;
  Trace();  // logged, built again, with detailed traces only
  EXPECT_EQ(Names(host), "ErrorHandlerExists BuildString StoreError IsPelixTracesEnabled BuildString LogError");
  EXPECT_EQ(host.Texts("StoreError", EK_TRACE), std::vector<std::string>{"  Octet 1 = -128 (0xffffff80)"});
  EXPECT_EQ(host.Texts("LogError", EK_TRACE), host.Texts("StoreError", EK_TRACE));
  host.handlerType = 1;
  const pelix::frame::TraceScope scope("f.cpp", 7, std::string(150, 'x').c_str());
  ASSERT_TRUE(scope.Record() != nullptr && scope.Record()[0] == 1);
  EXPECT_EQ(std::strlen(scope.Record() + 1), 99U);  // the name is cut to the record
}

TEST(Frame, ResultNamesAndTraceRunSkippedOnlyWhenTheBuiltInHostHasNoHandler) {
  EXPECT_STREQ(ServiceResultName(SR_NO_SPACE), "SR_NO_SPACE");
  EXPECT_STREQ(ServiceResultName(static_cast<ServiceResult>(12)), "SR_UNKNOWN");
  pelix::DefaultHost& builtIn = pelix::GetDefaultHost();  // without a handler at first
  EXPECT_FALSE(pelix::frame::TraceMayReachSomeone());
  builtIn.SetErrorHandler(true);
  EXPECT_TRUE(pelix::frame::TraceMayReachSomeone());
  builtIn.SetErrorHandler(false);
  RecordingHost host;  // another host is always asked line by line
  EXPECT_TRUE(pelix::frame::TraceMayReachSomeone());
  EXPECT_TRUE(host.calls.empty());
}

}  // namespace
