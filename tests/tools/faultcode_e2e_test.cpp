// pelix faultcode lookup end to end, on a database written by the test.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "run_tool.h"

namespace pelix::tool::test {
namespace {

constexpr const char* kDatabase = R"(<?xml version="1.0"?>
<faultcodedescription>
  <fault>
    <code><category>BTS</category><function>CF</function><map>I1A</map><id>7</id></code>
    <description>
      <type>Macro</type>
      <p>Clock lost.</p>
      <list>
        <li><p>Reference A failed.</p><list><li><p>Deep item.</p></li></list></li>
      </list>
    </description>
    <description><type>Micro</type><p>Micro text.</p></description>
    <action><type>Macro</type><type>Strato</type><p>Check the cable.</p></action>
    <relatedfault>
      <type>Macro</type>
      <code><category>BTS</category><function>CF</function><map>I1A</map><id>8</id></code>
      <code><category>BTS</category><function>CF</function><map>I1A</map></code>
    </relatedfault>
  </fault>
</faultcodedescription>
)";

TEST(ToolFaultcode, LooksUpDescriptionActionAndRelatedFaults) {
  Sandbox box;
  const std::string db = box.Write("faults.xml", kDatabase);
  const RunResult text = box.Run({"faultcode", "lookup", "--db", db, "--cabinet", "1", "BTS CF I1A:7"});
  ASSERT_EQ(text.exitCode, 0) << text.err;
  EXPECT_EQ(text.out,
            "Fault code  BTS CF I1A:7\n"
            "Cabinet     1 (Macro)\n"
            "Description\n"
            "  Clock lost.\n"
            "    - Reference A failed.\n"
            "        - Deep item.\n"  // level 2: four more blanks
            "Action\n"
            "  Check the cable.\n"
            "Related faults\n"
            "  BTS CF I1A:8\n");

  // The written form with colons only finds the same fault; JSON keeps the
  // database's own line ends.
  const RunResult json = box.Run({"--json", "faultcode", "lookup", "--db", db, "--cabinet", "48", "BTS:CF:I1A:7"});
  ASSERT_EQ(json.exitCode, 0) << json.err;
  const auto doc = nlohmann::json::parse(json.out);
  EXPECT_EQ(doc["cabinetClass"], "Strato");
  EXPECT_EQ(doc["description"], "");
  EXPECT_EQ(doc["action"], "Check the cable.\r\n");
  EXPECT_TRUE(doc["related"].empty());
}

TEST(ToolFaultcode, NothingFoundAndBadDatabasesFail) {
  Sandbox box;
  const std::string db = box.Write("faults.xml", kDatabase);
  const RunResult unknown = box.Run({"faultcode", "lookup", "--db", db, "--cabinet", "1", "BTS CF I1A:99"});
  EXPECT_EQ(unknown.exitCode, 1);
  EXPECT_NE(unknown.err.find("no description of 'BTS CF I1A:99' for cabinet 1 (Macro)"), std::string::npos)
      << unknown.err;
  EXPECT_TRUE(unknown.out.empty());

  // An unidentified cabinet selects nothing.
  EXPECT_EQ(box.Run({"faultcode", "lookup", "--db", db, "--cabinet", "64", "BTS CF I1A:7"}).exitCode, 1);

  const std::string broken = box.Write("broken.xml", "<faultcodedescription><fault>");
  const RunResult notXml = box.Run({"faultcode", "lookup", "--db", broken, "--cabinet", "1", "BTS CF I1A:7"});
  EXPECT_EQ(notXml.exitCode, 1);
  EXPECT_NE(notXml.err.find("cannot load the fault database"), std::string::npos) << notXml.err;

  // A code the XML query engine rejects is reported, not a crash.
  const RunResult quote = box.Run({"faultcode", "lookup", "--db", db, "--cabinet", "1", "BTS CF I1A:7'"});
  EXPECT_EQ(quote.exitCode, 1);
  EXPECT_FALSE(quote.err.empty());

  EXPECT_EQ(box.Run({"faultcode", "lookup", "--db", db, "BTS CF I1A:7"}).exitCode, 2);  // no --cabinet
}

TEST(ToolFaultcode, BundledDatabaseIsTheDefault) {
  Sandbox box;
  const RunResult json = box.Run({"--json", "faultcode", "lookup", "--cabinet", "1", "BTS CF I1A:1"},
                                 {{"PELIX_DATA_DIR", PELIX_SOURCE_DIR "/data"}});
  ASSERT_EQ(json.exitCode, 0) << json.err;
  const auto doc = nlohmann::json::parse(json.out);
  EXPECT_EQ(doc["code"], "BTS CF I1A:1");
  EXPECT_FALSE(doc["description"].get<std::string>().empty());

  const RunResult wrongData =
      box.Run({"faultcode", "lookup", "--cabinet", "1", "BTS CF I1A:1"}, {{"PELIX_DATA_DIR", box.Root() + "nowhere"}});
  EXPECT_EQ(wrongData.exitCode, 1);
  EXPECT_NE(wrongData.err.find("PELIX_DATA_DIR"), std::string::npos) << wrongData.err;
}

}  // namespace
}  // namespace pelix::tool::test
