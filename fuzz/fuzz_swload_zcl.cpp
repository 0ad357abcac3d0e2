// The boot file "ZCL" of a flash card: any bytes.
//
// Input: the host byte, then the file's bytes. The file is the only entry of
// a card folder; a handler initialised on the card root (without a
// file-information file) verifies the card and reads the software's name and
// revision. The revision is the five characters after the third; a name is
// either "Not Defined" or one found after "P=" in the file (after an "F" or a
// long run without one): 16 characters, or 17 for a HRW class, with its class
// letters and '_' at position 10.
#include "harness.h"
#include "pelix/tolva_sw_handler.h"

void FuzzOne(pelix::fuzz::Input& input, pelix::DefaultHost&) {
  const std::string root = pelix::fuzz::Scratch() + "card/", file = input.Rest();
  pelix::fuzz::ClearFolder(root);
  pelix::fuzz::WriteFile(root + "ZCL", file);
  CTolva_SW_Handler handler;
  CString card(root);
  FUZZ_CHECK(handler.IsFlashCardPresent(card) != 0 && handler.Init(card, true, false) == SR_OK &&
             handler.VerifyTolva_SW_OnFlashCard() == SR_OK);
  FUZZ_CHECK(handler.GetTolva_SW_Rev_OnFlashCard().str() == (file.size() < 12 ? "Not Defined" : file.substr(3, 5)));
  const std::string name = handler.GetTolva_SW_Name_OnFlashCard().str();
  const auto has = [&name](const char* letters) { return name.find(letters) != std::string::npos; };
  FUZZ_CHECK(name == "Not Defined" ||
             (file.find("P=") != std::string::npos && name[10] == '_' &&
              (name.size() == 16 ? has("QTV") || has("HRW") : name.size() == 17 && has("HRW"))));
}
