// The built-in host: log layout, stored messages, error status, the
// conversion table, the disk size and the install/restore contract.
#include "pelix/default_host.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "frame/frame.h"
#include "host/host.h"
#include "pelix/fault_map_types.h"
#include "tests/support/recording_host.h"

namespace {

std::string ReadAll(std::FILE* file) {
  std::rewind(file);
  std::string text;
  char buffer[256];
  size_t n = 0;
  while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) text.append(buffer, n);
  return text;
}

class DefaultHostTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_log = std::tmpfile();
    ASSERT_NE(m_log, nullptr);
    host.SetLogStream(m_log);
  }
  void TearDown() override {
    host.SetLogStream(nullptr);
    std::fclose(m_log);
  }
  std::string Log() { return ReadAll(m_log); }

  pelix::DefaultHost host;
  std::FILE* m_log = nullptr;
};

TEST_F(DefaultHostTest, HandlerIsOffUntilSwitchedOn) {
  EXPECT_FALSE(host.ErrorHandlerExists());
  host.SetErrorHandler(true, 1);
  EXPECT_TRUE(host.ErrorHandlerExists());
  EXPECT_EQ(host.GetErrorHandlerType(), 1);
}

TEST_F(DefaultHostTest, LogIsIndentedByLevel) {
  host.StoreEnter("faultmap/faultmap.cpp", 10, "CFaultMap::CFaultMap()");
  host.IncreaseLevel();
  host.LogError(7, "faultmap/faultmap.cpp", 11, "MO FAULT MAP REPORT");
  host.StoreReturn("faultmap/faultmap.cpp", 12);
  host.DecreaseLevel();
  const std::string log = Log();
  EXPECT_NE(log.find("> CFaultMap::CFaultMap()  [faultmap/faultmap.cpp:10]\n"), std::string::npos) << log;
  EXPECT_NE(log.find("  TRACE: MO FAULT MAP REPORT"), std::string::npos) << log;
  EXPECT_NE(log.find("\n< CFaultMap::CFaultMap()  [faultmap/faultmap.cpp:12]"), std::string::npos) << log;
  EXPECT_EQ(host.Level(), 0);
  host.DecreaseLevel();
  EXPECT_EQ(host.Level(), 0);
}

TEST_F(DefaultHostTest, StoredMessagesWaitUntilLogged) {
  host.StoreError(7, "a.cpp", 1, "kept");
  EXPECT_EQ(host.StoredMessages().size(), 1U);
  EXPECT_EQ(Log(), "");
  host.LogStoredMessages();
  EXPECT_TRUE(host.StoredMessages().empty());
  EXPECT_NE(Log().find("kept"), std::string::npos);
}

TEST_F(DefaultHostTest, RaiseSetsStatusUntilCleared) {
  EXPECT_EQ(host.GetErrorStatus(), 0);
  host.RaiseError("m_textList != NULL");
  EXPECT_NE(host.GetErrorStatus(), 0);
  host.ClearErrorStatus();
  EXPECT_EQ(host.GetErrorStatus(), 0);
}

const char* Build(pelix::DefaultHost& host, const char* format, ...) {
  va_list args;
  va_start(args, format);
  const char* text = host.BuildString(format, args);
  va_end(args);
  return text;
}

TEST_F(DefaultHostTest, BuildStringFollowsPrintfRules) {
  EXPECT_STREQ(Build(host, "  Octet %d = %d (%#x)", 3, -128, -128), "  Octet 3 = -128 (0xffffff80)");
  const std::string big(5000, 'z');
  EXPECT_EQ(std::string(Build(host, "%s", big.c_str())), big);
}

TEST_F(DefaultHostTest, ConversionTableNamesEveryObjectType) {
  EXPECT_EQ(host.ID_ToText(MO_SO_CF, CT_NO_CABINET), "SO CF");
  EXPECT_EQ(host.ID_ToText(MO_AO_TS, CT_NO_CABINET), "AO TS");
  EXPECT_EQ(host.ID_ToText(MO_AO_MCTR, CT_NO_CABINET), "AO MCTR");
  EXPECT_EQ(host.ID_ToText(MO_UNKNOWN, CT_NO_CABINET), "Unknown");
  EXPECT_EQ(host.ID_ToText(-1, CT_NO_CABINET), "Unknown");
  EXPECT_EQ(host.ID_ToText(11, CT_NO_CABINET), "Unknown");
  for (int id = MO_SO_CF; id < MO_UNKNOWN; ++id) EXPECT_NE(host.ID_ToText(id, CT_NO_CABINET), "Unknown") << id;
}

TEST_F(DefaultHostTest, UserInfoGoesToTheApplicationsHandler) {
  std::string seen;
  host.SetUserInfoHandler([&seen](const char* text, int style, int, bool) {
    seen = text;
    return style;
  });
  EXPECT_EQ(host.DisplayUserInfo("card error", 16, 0, false), 16);
  EXPECT_EQ(seen, "card error");
}

TEST_F(DefaultHostTest, DiskSizeOfAnExistingFolderAndOfNone) {
  EXPECT_GT(host.GetDiskSize("/tmp"), 0ULL);
  EXPECT_EQ(host.GetDiskSize("/no/such/folder/anywhere"), 0ULL);
  EXPECT_EQ(host.GetDiskSize(nullptr), 0ULL);
}

TEST(HostInstallTest, SetHostServicesReturnsWhatRestoresTheEarlierState) {
  EXPECT_EQ(&pelix::Host(), &pelix::GetDefaultHost());
  {
    pelix::test::RecordingHost recorder;
    EXPECT_EQ(&pelix::Host(), &recorder);
    pelix::test::RecordingHost inner;
    EXPECT_EQ(&pelix::Host(), &inner);
  }
  EXPECT_EQ(&pelix::Host(), &pelix::GetDefaultHost());
  EXPECT_EQ(SetHostServices(nullptr), nullptr);
}

TEST(HostInstallTest, FrameWritesNestedTraceThroughTheDefaultHost) {
  pelix::DefaultHost& host = pelix::GetDefaultHost();
  std::FILE* log = std::tmpfile();
  ASSERT_NE(log, nullptr);
  host.SetLogStream(log);
  host.SetErrorHandler(true, 2);
  host.SetPelixTracesEnabled(true);
  {
    PELIX_SCOPE("Outer()");
    {
      PELIX_SCOPE("Inner()");
      PELIX_TRACE("line %d", 1);
    }
  }
  host.SetErrorHandler(false);
  host.SetPelixTracesEnabled(false);
  host.LogStoredMessages();
  host.SetLogStream(nullptr);
  const std::string text = ReadAll(log);
  std::fclose(log);
  EXPECT_NE(text.find("> Outer()"), std::string::npos) << text;
  EXPECT_NE(text.find("  > Inner()"), std::string::npos) << text;
  EXPECT_NE(text.find("    TRACE: line 1"), std::string::npos) << text;
  EXPECT_EQ(host.Level(), 0);
}

}  // namespace
