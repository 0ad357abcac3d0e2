// Uses the installed library through its public header only.
#include <pelix/common.h>

#include <cstdio>

int main() {
  CString text("consumer");
  CByteArray bytes;
  bytes.Add(0x23);
  if (bytes.GetSize() != 1 || ServiceResultName(SR_NO_SPACE) != CString("SR_NO_SPACE")) return 1;
  std::printf("%s ok\n", text.GetString());
  return 0;
}
