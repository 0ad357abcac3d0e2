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
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "harness.h"
#include "pelix/com_error.h"
#include "pelix/fault_code_parser.h"

namespace {

struct Files {
  pelix::fuzz::ScratchFolder scratch{"faultcode"};
  std::string database = scratch.Path() + "faultcodes.xml";
};

// The text between <name> and </name> at or after from, or empty.
std::string ElementText(const std::string& xml, const std::string& name, size_t from, size_t end) {
  const std::string open = "<" + name + ">";
  const size_t start = xml.find(open, from);
  if (start == std::string::npos || start >= end) return std::string();
  const size_t close = xml.find("</" + name + ">", start);
  if (close == std::string::npos || close > end) return std::string();
  return xml.substr(start + open.size(), close - start - open.size());
}

// "category function map:id" of the choice-th <code> element of the text,
// found by plain text search (the parser is not asked), or empty.
std::string CodeInFile(const std::string& xml, int choice) {
  size_t position = 0;
  size_t found = std::string::npos;
  for (int i = 0; i <= choice; ++i) {
    const size_t next = xml.find("<code>", position);
    if (next == std::string::npos) break;
    found = next;
    position = next + 1;
  }
  if (found == std::string::npos) return std::string();
  size_t end = xml.find("</code>", found);
  if (end == std::string::npos) end = xml.size();
  return ElementText(xml, "category", found, end) + " " + ElementText(xml, "function", found, end) + " " +
         ElementText(xml, "map", found, end) + ":" + ElementText(xml, "id", found, end);
}

bool EndsWithLineEnd(const CString& text) {
  const std::string& s = text.str();
  return s.size() >= 2 && s.compare(s.size() - 2, 2, "\r\n") == 0;
}

void LookUp(CFaultCodeParser& parser, const std::string& code, CabinetType cabinet, bool loaded) {
  std::unique_ptr<CFaultCodeDescription> record;
  const long levelBefore = pelix::fuzz::Host().level;
  try {
    record.reset(parser.GetDescription("BTS", nullptr, code.c_str(), cabinet));
  } catch (const CComError& error) {
    // The XML component refused the query (an apostrophe in a part).
    FUZZ_CHECK(error.Error() != 0);
    // The scopes the exception passed through stay open by design.
    pelix::fuzz::Host().level = levelBefore;
    return;
  }
  const int value = static_cast<int>(cabinet);
  if (!loaded || value == 0 || value == 8 || value >= 64 || value < 0) FUZZ_CHECK(record == nullptr);
  if (record == nullptr) return;
  FUZZ_CHECK(record->m_reservedText.IsEmpty());
  if (!record->m_description.IsEmpty()) FUZZ_CHECK(EndsWithLineEnd(record->m_description));
  if (!record->m_action.IsEmpty()) FUZZ_CHECK(EndsWithLineEnd(record->m_action));
  for (int i = 0; i < record->m_relatedFaults.GetSize(); ++i) {
    // A related code is "category function map:id", at least 4 characters.
    const CString& related = record->m_relatedFaults[i];
    FUZZ_CHECK(related.GetLength() >= 4);
    FUZZ_CHECK(related.Find(':') >= 0);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static Files files;
  pelix::fuzz::Input input(data, size);
  pelix::fuzz::ConfigureHost(input.Byte());
  const auto cabinet = static_cast<CabinetType>(static_cast<int8_t>(input.Byte()));
  const int choice = input.Byte();
  const std::string code = input.Text();
  const std::string xml = input.Rest();
  pelix::fuzz::WriteFile(files.database, xml);

  bool balanced = true;
  {
    CFaultCodeParser parser;
    // Nothing loaded yet: no record.
    FUZZ_CHECK(parser.GetDescription("BTS", nullptr, "BTS CF I1A:1", static_cast<CabinetType>(1)) == nullptr);
    int loaded = 0;
    try {
      loaded = parser.Init(files.database.c_str());
    } catch (const CComError& error) {
      FUZZ_CHECK(error.Error() != 0);
      balanced = false;
    }
    FUZZ_CHECK(loaded == 0 || loaded == 1);
    LookUp(parser, code, cabinet, loaded == 1);
    const std::string fileCode = CodeInFile(xml, choice % 8);
    if (!fileCode.empty()) {
      LookUp(parser, fileCode, cabinet, loaded == 1);
      // The same code with colons only names the same parts.
      std::string colons = fileCode;
      for (char& c : colons) {
        if (c == ' ') c = ':';
      }
      LookUp(parser, colons, cabinet, loaded == 1);
    }
    // A null path unloads the parser.
    FUZZ_CHECK(parser.Init(nullptr) == 0);
    FUZZ_CHECK(parser.GetDescription("BTS", nullptr, fileCode.c_str(), static_cast<CabinetType>(1)) == nullptr);
  }
  if (balanced) pelix::fuzz::CheckFrameBalanced();
  return 0;
}
