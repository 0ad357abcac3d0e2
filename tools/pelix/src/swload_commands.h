// The software-loading work shared by the card commands and the demo.
#pragma once

#include <string>

#include <pelix/common.h>

namespace pelix::tool {

struct CardLoadResult {
  ServiceResult result = SR_FAILED;
  std::string card;
  std::string packageName;
  std::string revision;
  unsigned long long bytes = 0;  // bytes written to the card and verified
  int lastPercent = -1;          // last progress reported, -1 for none
};

struct CardInfoResult {
  std::string card;
  bool present = false;
  ServiceResult verify = SR_FAILED;
  std::string name;
  std::string revision;
};

int PackageInfo(const std::string& path, LoadableZCU_Type kind);
// Loads the package (folder or archive) onto the card; the progress bar goes
// to standard error when `showProgress`. Unless `force`, a package that needs
// more bytes than the card has room for is refused before the card is
// touched (OperationFailed).
CardLoadResult LoadCard(const std::string& packagePath, const std::string& cardPath, LoadableZCU_Type kind,
                        bool showProgress, bool force);
CardInfoResult ReadCard(const std::string& cardPath);

}  // namespace pelix::tool
