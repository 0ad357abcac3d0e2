// The boot file "ZCL" of a flash card: any bytes.
//
// Input: the host byte, then the file's bytes. The file is the only entry of
// a card folder; a handler initialised on the card root (without a
// file-information file) verifies the card and reads the software's name and
// revision. The answers are compared with the card format read plainly.
#include "harness.h"
#include "pelix/tolva_sw_handler.h"

namespace {

// The name scan written out plainly over the file's bytes: skip past the
// next "F" (at most 65535 characters a step), then "P" and "=", then take 18
// characters over the buffer and test the shapes of a name. The class letters
// count only before the buffer's first zero byte.
CString ExpectedName(const std::string& file) {
  char buffer[18] = {'N', 'N', 'N', 'x', 'x', 'x', 'x', 'x', 'x', 'x', '-', 'N', 'N', 'N', 'N', 'N', '.', '\0'};
  size_t position = 0;
  const auto next = [&](char wanted) { return position < file.size() && file[position++] == wanted; };
  const auto contains = [&](const char* letters) {
    const char *begin = buffer, *end = std::find(begin, begin + sizeof buffer, '\0');
    return std::search(begin, end, letters, letters + 3) != end;
  };
  while (position < file.size()) {
    for (int skipped = 0; skipped < 65535 && position < file.size() && file[position++] != 'F';) ++skipped;
    if (!next('P') || !next('=')) continue;
    for (size_t i = 0; i < sizeof buffer && position < file.size(); ++i) buffer[i] = file[position++];
    if (buffer[10] != '_') continue;
    if (contains("QTV") && buffer[16] == ';') return CString(buffer, 16);
    if (contains("HRW") && buffer[17] == ';') return CString(buffer, 17);
    if (contains("HRW") && buffer[16] == ';') return CString(buffer, 16);
  }
  return CString("Not Defined");
}

}  // namespace

void FuzzOne(pelix::fuzz::Input& input, pelix::DefaultHost&) {
  const std::string root = pelix::fuzz::Scratch() + "card/", file = input.Rest();
  pelix::fuzz::ClearFolder(root);
  pelix::fuzz::WriteFile(root + "ZCL", file);
  CTolva_SW_Handler handler;
  CString card(root);
  FUZZ_CHECK(handler.IsFlashCardPresent(card) != 0 && handler.Init(card, true, false) == SR_OK &&
             handler.VerifyTolva_SW_OnFlashCard() == SR_OK);
  const CString revision = handler.GetTolva_SW_Rev_OnFlashCard(), name = handler.GetTolva_SW_Name_OnFlashCard();
  FUZZ_CHECK(name == ExpectedName(file) &&
             revision == (file.size() < 12 ? CString("Not Defined") : CString(file.substr(3, 5))));
}
