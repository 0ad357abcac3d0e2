// The fault code database: any bytes as the XML file, any fault code, any
// cabinet value.
//
// Input: the host byte, the cabinet value (1 octet, signed: -128 to 127, so
// 0 to 64, 64 itself, -2 and values beyond the table all occur), a choice
// octet, the fault code (a length octet and its bytes), then the file.
// The parser loads the file and looks up the given code and, so that the
// look-up reaches the text of a fault without the fuzzer having to guess a
// matching code, also the code written in the choice-th "code" element of the
// file. A CComError out of the XML component is an allowed outcome (that ends
// the input); anything else that escapes, or a record that breaks its own
// promises, is a finding.
#include "harness.h"
#include "pelix/com_error.h"
#include "pelix/fault_code_parser.h"

namespace {

// "category function map:id" of the choice-th <code> element of the text,
// found by plain text search (the parser is not asked), or empty.
std::string CodeInFile(const std::string& xml, int choice) {
  size_t found = std::string::npos, next = xml.find("<code>");
  for (; next != std::string::npos && choice-- >= 0; next = xml.find("<code>", next + 1)) found = next;
  const size_t end = std::min(xml.find("</code>", found), xml.size());
  const auto element = [&](const std::string& name) {  // the text between <name> and </name>, or empty
    const size_t start = xml.find("<" + name + ">", found);
    const size_t close = start < end ? xml.find("</" + name + ">", start) : std::string::npos;
    return close <= end ? xml.substr(start + name.size() + 2, close - start - name.size() - 2) : std::string();
  };
  return element("category") + " " + element("function") + " " + element("map") + ":" + element("id");
}

void LookUp(CFaultCodeParser& parser, const std::string& code, CabinetType cabinet, bool loaded) {
  const std::unique_ptr<CFaultCodeDescription> record(parser.GetDescription("BTS", nullptr, code.c_str(), cabinet));
  FUZZ_CHECK(record == nullptr || (loaded && cabinet > 0 && cabinet < 64 && cabinet != 8));
  if (record == nullptr) return;
  // A text is empty or ends with "\r\n" (so, "\r\n" put in front, it does).
  const auto line = [](const std::string& t) { return ("\r\n" + t).compare(t.size(), 2, "\r\n") == 0; };
  FUZZ_CHECK(record->m_reservedText.IsEmpty() && line(record->m_description.str()) && line(record->m_action.str()));
  // A related code is "category function map:id", at least 4 characters.
  for (const CString& related : record->m_relatedFaults) FUZZ_CHECK(related.GetLength() >= 4 && related.Find(':') >= 0);
}

}  // namespace

void FuzzOne(pelix::fuzz::Input& input, pelix::DefaultHost& host) {
  const std::string database = pelix::fuzz::Scratch() + "faultcodes.xml";
  const auto cabinet = static_cast<CabinetType>(static_cast<int8_t>(input.Byte()));
  const int choice = input.Byte();
  const std::string code = input.Bytes(input.Byte()), xml = input.Rest(), fileCode = CodeInFile(xml, choice % 8);
  pelix::fuzz::WriteFile(database, xml);
  CFaultCodeParser parser;
  try {
    const int loaded = parser.Init(database.c_str());
    FUZZ_CHECK(loaded == 0 || loaded == 1);
    LookUp(parser, code, cabinet, loaded == 1);
    LookUp(parser, fileCode, cabinet, loaded == 1);
  } catch (const CComError& error) {
    // The XML component refused the file or a query (an apostrophe in a
    // part). The scopes the error passed through stay open by design.
    FUZZ_CHECK(error.Error() != 0);
    while (host.Level() > 0) host.StoreReturn("", 0), host.DecreaseLevel();
  }
}
