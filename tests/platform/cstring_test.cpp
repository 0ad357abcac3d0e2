// Text edits that the library's name handling relies on.
#include <gtest/gtest.h>

#include "pelix/cstring.h"

TEST(CStringTest, ReplaceEditsEveryMatchAndNothingWithoutOne) {
  CString text("E20-#1 and #1");
  EXPECT_TRUE(text.ReplaceFirst("#1", "13") && !text.ReplaceFirst("#2", "0") && text.Replace("", "x") == 0);
  EXPECT_EQ(text.Replace("1", "x") * 100 + text.Replace("zz", "y"), 200);
  EXPECT_EQ(text, "E20-x3 and #x");
}

TEST(CStringTest, FindPastTheEndAndRemoveCountWhatTheyDid) {
  CString text("a-b-c");
  EXPECT_EQ(text.Find('b', 9), -1);
  EXPECT_EQ(text.Remove('-'), 2);
  EXPECT_EQ(text, "abc");
}
