// The boot file "ZCL" of a flash card: any bytes.
//
// Input: the host byte, then the file's bytes. The file is the only entry of
// a card folder; a handler initialised on the card root (without a
// file-information file) verifies the card and reads the software's name and
// revision. The answers are compared with the card format read plainly.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

#include "harness.h"
#include "pelix/tolva_sw_handler.h"

namespace {

struct Card {
  pelix::fuzz::ScratchFolder scratch{"zcl"};
  std::string root = scratch.Path() + "card/";
  Card() { pelix::fuzz::MakeFolder(root); }
};

// The name scan written out plainly over the file's bytes: skip past the
// next "F" (at most 65535 characters a step), then "P" and "=", then take 18
// characters over the buffer and test the shapes of a name. The class letters
// count only before the buffer's first zero byte.
CString ExpectedName(const std::string& file) {
  char buffer[18] = {'N', 'N', 'N', 'x', 'x', 'x', 'x', 'x', 'x', 'x', '-', 'N', 'N', 'N', 'N', 'N', '.', '\0'};
  size_t position = 0;
  auto get = [&]() -> int { return position < file.size() ? static_cast<unsigned char>(file[position++]) : -1; };
  // The buffer is a zero-terminated text: its letters end at the first zero.
  auto contains = [&](const char* letters) {
    const char* begin = buffer;
    const char* end = std::find(begin, begin + sizeof buffer, '\0');
    return std::search(begin, end, letters, letters + 3) != end;
  };
  for (;;) {
    bool found = false;
    for (int skipped = 0; skipped < 65535 && position < file.size(); ++skipped) {
      if (file[position++] == 'F') {
        found = true;
        break;
      }
    }
    if (!found && position >= file.size()) break;
    if (get() != 'P') continue;
    if (get() != '=') continue;
    for (size_t i = 0; i < sizeof buffer && position < file.size(); ++i) buffer[i] = file[position++];
    if (buffer[10] != '_') continue;
    if (contains("QTV") && buffer[16] == ';') return CString(buffer, 16);
    if (contains("HRW") && buffer[17] == ';') return CString(buffer, 17);
    if (contains("HRW") && buffer[16] == ';') return CString(buffer, 16);
  }
  return CString("Not Defined");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static Card card;
  pelix::fuzz::Input input(data, size);
  pelix::fuzz::ConfigureHost(input.Byte());
  const std::string file = input.Rest();
  pelix::fuzz::ClearFolder(card.root);
  pelix::fuzz::WriteFile(card.root + "ZCL", file);
  {
    CTolva_SW_Handler handler;
    CString root(card.root);
    FUZZ_CHECK(handler.IsFlashCardPresent(root) != 0);

    // Before Init the handler knows no card.
    FUZZ_CHECK(handler.VerifyTolva_SW_OnFlashCard() == SR_FAILED);
    FUZZ_CHECK(handler.GetTolva_SW_Name_OnFlashCard() == "Not Defined");
    FUZZ_CHECK(handler.GetTolva_SW_Rev_OnFlashCard() == "Not Defined");

    FUZZ_CHECK(handler.Init(root, true, false) == SR_OK);
    FUZZ_CHECK(handler.VerifyTolva_SW_OnFlashCard() == SR_OK);

    const CString revision = handler.GetTolva_SW_Rev_OnFlashCard();
    if (file.size() < 12) {
      FUZZ_CHECK(revision == "Not Defined");
    } else {
      FUZZ_CHECK(revision == CString(file.substr(3, 5)));
    }

    const CString name = handler.GetTolva_SW_Name_OnFlashCard();
    FUZZ_CHECK(name == ExpectedName(file));
    // Reading again gives the same answers.
    FUZZ_CHECK(handler.GetTolva_SW_Name_OnFlashCard() == name);
    FUZZ_CHECK(handler.GetTolva_SW_Rev_OnFlashCard() == revision);
  }
  pelix::fuzz::CheckFrameBalanced();
  return 0;
}
