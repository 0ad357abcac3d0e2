// The built-in host: log layout, stored messages, error status, the
// conversion table, the disk size, the log file it owns and the
// install/restore contract.
#include "pelix/default_host.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "host/host.h"
#include "tests/support/recording_host.h"

namespace {

__attribute__((format(printf, 2, 3))) const char* Build(pelix::DefaultHost& host, const char* format, ...) {
  va_list args;
  va_start(args, format);
  const char* text = host.BuildString(format, args);
  va_end(args);
  return text;
}

TEST(DefaultHost, EveryServiceOfTheBuiltInHost) {
  pelix::DefaultHost host;
  std::FILE* log = std::tmpfile();
  ASSERT_NE(log, nullptr);
  host.SetLogStream(log);
  EXPECT_FALSE(host.ErrorHandlerExists());
  host.SetErrorHandler(true, 1);
  host.SetPelixTracesEnabled(true);
  EXPECT_TRUE(host.ErrorHandlerExists() && host.GetErrorHandlerType() == 1 && host.IsPelixTracesEnabled());
  host.StoreEnter("faultmap/faultmap.cpp", 10, "CFaultMap::CFaultMap()");
  host.IncreaseLevel();
  host.StoreEnter("b.cpp", 20, "Inner()");  // nested scopes indent by two
  host.IncreaseLevel();
  host.LogError(7, "faultmap/faultmap.cpp", 11, "MO FAULT MAP REPORT");
  host.StoreReturn("b.cpp", 21);
  host.DecreaseLevel();
  host.StoreError(0, "a.cpp", 1, "kept");  // stored messages wait until logged
  EXPECT_EQ(host.StoredMessages(), std::vector<std::string>{"  PRECONDITION: kept  [a.cpp:1]"});
  host.StoreReturn("faultmap/faultmap.cpp", 12);
  host.DecreaseLevel();
  host.DecreaseLevel();  // never below 0
  EXPECT_EQ(host.Level() + host.GetErrorStatus(), 0);
  host.RaiseError("m_textList != NULL");
  EXPECT_NE(host.GetErrorStatus(), 0);
  host.ClearErrorStatus();
  EXPECT_EQ(host.GetErrorStatus(), 0);
  host.LogStoredMessages();
  EXPECT_TRUE(host.StoredMessages().empty());
  host.SetLogStream(nullptr);
  std::rewind(log);
  char text[1024] = {};
  EXPECT_GT(std::fread(text, 1, sizeof text - 1, log), 0U);
  std::fclose(log);
  EXPECT_EQ(std::string(text),
            "> CFaultMap::CFaultMap()  [faultmap/faultmap.cpp:10]\n  > Inner()  [b.cpp:20]\n"
            "    TRACE: MO FAULT MAP REPORT  [faultmap/faultmap.cpp:11]\n  < Inner()  [b.cpp:21]\n"
            "< CFaultMap::CFaultMap()  [faultmap/faultmap.cpp:12]\n  PRECONDITION: kept  [a.cpp:1]\n"
            "RAISED: m_textList != NULL\n");

  EXPECT_STREQ(Build(host, "  Octet %d = %d (%#x)", 3, -128, -128), "  Octet 3 = -128 (0xffffff80)");
  const std::string big(5000, 'z');
  EXPECT_EQ(std::string(Build(host, "%s", big.c_str())), big);
  std::string names;
  for (int id = -1; id <= 11; ++id) names += host.ID_ToText(id, CT_NO_CABINET).str() + "|";
  EXPECT_EQ(names, "Unknown|SO CF|SO TRXC|AO TX|AO RX|AO TS|AO TF|AO IS|AO DP|AO CON|AO MCTR|Unknown|Unknown|");
  std::string seen;
  host.SetUserInfoHandler([&seen](const char* info, int style, int, bool) { return seen = info, style; });
  EXPECT_EQ(host.DisplayUserInfo("card error", 16, 0, false), 16);
  EXPECT_EQ(seen, "card error");
  EXPECT_GT(host.GetDiskSize("/tmp"), 0ULL);
  EXPECT_EQ(host.GetDiskSize("/no/such/folder/anywhere") + host.GetDiskSize(nullptr), 0ULL);

  // A log file the host opened is its own: closed when another stream takes over.
  const auto openFiles = [] { return std::distance(std::filesystem::directory_iterator("/proc/self/fd"), {}); };
  const std::string path = ::testing::TempDir() + "pelix-host-test.log";
  const auto before = openFiles();
  EXPECT_FALSE(host.OpenLogFile("/no/such/folder/pelix.log"));
  ASSERT_TRUE(host.OpenLogFile(path));
  EXPECT_EQ(openFiles(), before + 1);
  host.SetLogStream(stderr);
  EXPECT_EQ(openFiles(), before);
  std::remove(path.c_str());
}

TEST(HostInstall, SetHostServicesReturnsWhatRestoresTheEarlierState) {
  EXPECT_EQ(&pelix::Host(), &pelix::GetDefaultHost());
  {
    pelix::test::RecordingHost recorder;
    {
      pelix::test::RecordingHost inner;
      EXPECT_EQ(&pelix::Host(), &inner);
    }
    EXPECT_EQ(&pelix::Host(), &recorder);
  }
  EXPECT_EQ(&pelix::Host(), &pelix::GetDefaultHost());
  EXPECT_EQ(SetHostServices(nullptr), nullptr);
}

}  // namespace
