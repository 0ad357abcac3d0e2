// The fault code database: any bytes as the XML file, any fault code, any
// cabinet value.
//
// Input: the host byte, the cabinet value (1 octet, signed: -128 to 127, so
// 0 to 64, 64 itself, -2 and values beyond the table all occur), a choice
// octet, the fault code (a length octet and its bytes), then the file.
// The parser loads the file and looks up the given code and, so that the
// look-up reaches the text of a fault without the fuzzer having to guess a
// matching code, also the code written in the choice-th "code" element of the
// file. A CComError out of the XML component is an allowed outcome; anything
// else that escapes, or a record that breaks its own promises, is a finding.
#include <memory>
#include <string>

#include "harness.h"
#include "pelix/com_error.h"
#include "pelix/fault_code_parser.h"

namespace {

// "category function map:id" of the choice-th <code> element of the text,
// found by plain text search (the parser is not asked), or empty.
std::string CodeInFile(const std::string& xml, int choice) {
  size_t found = std::string::npos;
  for (size_t next = xml.find("<code>"); next != std::string::npos && choice-- >= 0;
       next = xml.find("<code>", next + 1)) {
    found = next;
  }
  if (found == std::string::npos) return std::string();
  const size_t end = std::min(xml.find("</code>", found), xml.size());
  const auto element = [&](const std::string& name) {  // the text between <name> and </name>, or empty
    const size_t start = xml.find("<" + name + ">", found);
    const size_t close = start < end ? xml.find("</" + name + ">", start) : std::string::npos;
    return close <= end ? xml.substr(start + name.size() + 2, close - start - name.size() - 2) : std::string();
  };
  return element("category") + " " + element("function") + " " + element("map") + ":" + element("id");
}

bool EndsWithLineEnd(const CString& text) {
  return text.GetLength() >= 2 && text.str().substr(text.str().size() - 2) == "\r\n";
}

void LookUp(CFaultCodeParser& parser, const std::string& code, CabinetType cabinet, bool loaded) {
  std::unique_ptr<CFaultCodeDescription> record;
  const long levelBefore = pelix::fuzz::Host().level;
  try {
    record.reset(parser.GetDescription("BTS", nullptr, code.c_str(), cabinet));
  } catch (const CComError& error) {
    // The XML component refused the query (an apostrophe in a part). The
    // scopes the exception passed through stay open by design.
    FUZZ_CHECK(error.Error() != 0);
    pelix::fuzz::Host().level = levelBefore;
    return;
  }
  const int value = static_cast<int>(cabinet);
  if (!loaded || value == 0 || value == 8 || value >= 64 || value < 0) FUZZ_CHECK(record == nullptr);
  if (record == nullptr) return;
  FUZZ_CHECK(record->m_reservedText.IsEmpty());
  FUZZ_CHECK(record->m_description.IsEmpty() || EndsWithLineEnd(record->m_description));
  FUZZ_CHECK(record->m_action.IsEmpty() || EndsWithLineEnd(record->m_action));
  // A related code is "category function map:id", at least 4 characters.
  for (const CString& related : record->m_relatedFaults) FUZZ_CHECK(related.GetLength() >= 4 && related.Find(':') >= 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static pelix::fuzz::ScratchFolder scratch("faultcode");
  static const std::string database = scratch.Path() + "faultcodes.xml";
  pelix::fuzz::Input input(data, size);
  pelix::fuzz::ConfigureHost(input.Byte());
  const auto cabinet = static_cast<CabinetType>(static_cast<int8_t>(input.Byte()));
  const int choice = input.Byte();
  const std::string code = input.Text();
  const std::string xml = input.Rest();
  pelix::fuzz::WriteFile(database, xml);
  bool balanced = true;
  {
    CFaultCodeParser parser;
    // Nothing loaded yet: no record.
    FUZZ_CHECK(parser.GetDescription("BTS", nullptr, "BTS CF I1A:1", static_cast<CabinetType>(1)) == nullptr);
    int loaded = 0;
    try {
      loaded = parser.Init(database.c_str());
    } catch (const CComError& error) {
      FUZZ_CHECK(error.Error() != 0);
      balanced = false;
    }
    FUZZ_CHECK(loaded == 0 || loaded == 1);
    LookUp(parser, code, cabinet, loaded == 1);
    const std::string fileCode = CodeInFile(xml, choice % 8);
    if (!fileCode.empty()) {
      LookUp(parser, fileCode, cabinet, loaded == 1);
      std::string colons = fileCode;  // the same code with colons only names the same parts
      std::replace(colons.begin(), colons.end(), ' ', ':');
      LookUp(parser, colons, cabinet, loaded == 1);
    }
    // A null path unloads the parser.
    FUZZ_CHECK(parser.Init(nullptr) == 0);
    FUZZ_CHECK(parser.GetDescription("BTS", nullptr, fileCode.c_str(), static_cast<CabinetType>(1)) == nullptr);
  }
  if (balanced) pelix::fuzz::CheckFrameBalanced();
  return 0;
}
