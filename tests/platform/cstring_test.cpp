// Text edits that the library's name handling relies on: each reports exactly what it did.
#include <gtest/gtest.h>

#include "pelix/cstring.h"

TEST(CStringTest, EditsReplaceRemoveAndFindReportWhatTheyDid) {
  CString text("E20-#1 and #1"), dashed("a-b-c");
  EXPECT_TRUE(text.ReplaceFirst("#1", "13") && !text.ReplaceFirst("#2", "0") && text.Replace("", "x") == 0);
  EXPECT_EQ(text.Replace("1", "x") * 100 + text.Replace("zz", "y") * 10 + dashed.Remove('-'), 202);
  EXPECT_EQ(dashed.Find('b', 9), -1);  // a start past the end
  EXPECT_EQ(text + "|" + dashed, "E20-x3 and #x|abc");
}
