// Construction and destruction of the software handler.
#include <gtest/gtest.h>

#include "pelix/tolva_sw_handler.h"
#include "tests/support/recording_host.h"

namespace {

using pelix::test::RecordingHost;

TEST(SwHandlerLifecycle, ConstructorAndDestructorOpenTheirScopesAroundTheParsers) {
  RecordingHost host;
  host.handlerExists = true;
  { CTolva_SW_Handler handler; }
  std::vector<std::string> scopes;
  for (const auto& call : host.CallsNamed("StoreEnter")) scopes.push_back(call.text);
  const std::vector<std::string> expected = {
      "CFileInfoParser::CFileInfoParser()", "CTolva_SW_Handler::CTolva_SW_Handler()",
      "CTolva_SW_Handler::~CTolva_SW_Handler()", "CFileInfoParser::~CFileInfoParser()"};
  EXPECT_EQ(scopes, expected);
  EXPECT_EQ(host.CallsNamed("StoreReturn").size(), 4U);
  EXPECT_TRUE(host.CallsNamed("RaiseError").empty());
}

}  // namespace
