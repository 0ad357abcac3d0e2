// The value types: checked indexes, byte-exact strings, the text helpers.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "pelix/carray.h"
#include "pelix/cstring.h"
#include "pelix/platform.h"

namespace {

TEST(CStringTest, HoldsZeroBytesAndComparesByteForByte) {
  const char raw[] = {'a', '\0', 'b'};
  CString text(raw, 3);
  EXPECT_EQ(text.GetLength(), 3);
  EXPECT_NE(text, CString("a"));
  EXPECT_EQ(text.GetAt(1), '\0');
  EXPECT_EQ(CString(nullptr), "");
  EXPECT_EQ(CString("abc", -1), "");
  EXPECT_TRUE(CString().IsEmpty());
}

TEST(CStringTest, CheckedCharacterAccess) {
  CString text("ab");
  EXPECT_THROW(text.GetAt(2), CInvalidArgException);
  EXPECT_THROW(text.GetAt(-1), CInvalidArgException);
  EXPECT_THROW(text.SetAt(5, 'x'), std::invalid_argument);
}

TEST(CStringTest, FindMidLeftRightClampInsteadOfOverrunning) {
  CString text("RTS/TU/PCM_REFA");
  EXPECT_EQ(text.Find('/'), 3);
  EXPECT_EQ(text.Find('/', 4), 6);
  EXPECT_EQ(text.Find("REF"), 11);
  EXPECT_EQ(text.Find("REF", 100), -1);
  EXPECT_EQ(text.Find('/', -3), -1);
  EXPECT_EQ(text.ReverseFind('/'), 6);
  EXPECT_EQ(text.FindOneOf("_="), 10);
  EXPECT_EQ(text.Mid(4, 2), "TU");
  EXPECT_EQ(text.Mid(100), "");
  EXPECT_EQ(text.Mid(-5, 3), "RTS");
  EXPECT_EQ(text.Left(3), "RTS");
  EXPECT_EQ(text.Left(99), text);
  EXPECT_EQ(text.Right(4), "REFA");
  EXPECT_EQ(text.Right(-1), "");
}

TEST(CStringTest, EditingOperations) {
  CString text("E20-#1 and #1");
  EXPECT_TRUE(text.ReplaceFirst("#1", "13"));
  EXPECT_EQ(text, "E20-13 and #1");
  EXPECT_FALSE(text.ReplaceFirst("#2", "0"));
  EXPECT_EQ(text.Replace("1", "x"), 2);
  EXPECT_EQ(text, "E20-x3 and #x");
  EXPECT_EQ(text.Delete(0, 4), 9);
  EXPECT_EQ(text, "x3 and #x");
  EXPECT_EQ(text.Delete(7, 50), 7);
  EXPECT_EQ(text.Remove(' '), 2);
  EXPECT_EQ(text, "x3and");
  text.Insert(2, "-");
  EXPECT_EQ(text, "x3-and");
  text.MakeUpper();
  EXPECT_EQ(text, "X3-AND");
  EXPECT_EQ(CString("flf1x").CompareNoCase("FLF1X"), 0);
  EXPECT_LT(CString("KMA").CompareNoCase("kmb"), 0);
}

TEST(CStringTest, FormatBuildsLongTexts) {
  CString text;
  text.Format("%4d: %s", 7, "x");
  EXPECT_EQ(text, "   7: x");
  const std::string longer(1000, 'y');
  text.AppendFormat("%s", longer.c_str());
  EXPECT_EQ(text.GetLength(), 1007);
  EXPECT_EQ(CString("a") + "b" + CString("c") + 'd', "abcd");
}

TEST(CArrayTest, EveryIndexIsChecked) {
  CArray<int, int> values;
  EXPECT_EQ(values.Add(5), 0);
  EXPECT_EQ(values.Add(6), 1);
  EXPECT_EQ(values[1], 6);
  EXPECT_THROW(values[2], CInvalidArgException);
  EXPECT_THROW(values.GetAt(-1), CInvalidArgException);
  EXPECT_THROW(values.SetAt(2, 1), CInvalidArgException);
  EXPECT_THROW(values.RemoveAt(1, 2), CInvalidArgException);
  EXPECT_THROW(values.SetSize(-1), CInvalidArgException);
  const CArray<int, int>& constant = values;
  EXPECT_THROW(constant[7], CInvalidArgException);
}

TEST(CArrayTest, SizeRemoveInsertAndCopy) {
  CByteArray bytes;
  bytes.SetSize(3);
  EXPECT_EQ(bytes.GetSize(), 3);
  EXPECT_EQ(bytes[2], 0);
  bytes.SetAt(0, 0x23);
  bytes.InsertAt(1, 0x7f);
  bytes.RemoveAt(2);
  EXPECT_EQ(bytes.GetCount(), 3);
  EXPECT_EQ(bytes[0], 0x23);
  EXPECT_EQ(bytes[1], 0x7f);
  CByteArray copy;
  copy.Copy(bytes);
  bytes.RemoveAll();
  EXPECT_EQ(copy.GetSize(), 3);
  EXPECT_TRUE(bytes.IsEmpty());
  copy.SetAtGrow(5, 9);
  EXPECT_EQ(copy.GetSize(), 6);
  EXPECT_EQ(copy[4], 0);
  EXPECT_THROW(copy.SetAtGrow(-1, 1), CInvalidArgException);
}

TEST(TempPathTest, EndsWithSeparatorAndHonoursTmpdir) {
  const char* old = std::getenv("TMPDIR");
  const std::string saved = old != nullptr ? old : "";
  setenv("TMPDIR", "/var/tmp", 1);
  char buffer[260];
  EXPECT_EQ(GetTempPathA(sizeof buffer, buffer), 9U);
  EXPECT_STREQ(buffer, "/var/tmp/");
  char tiny[4];
  EXPECT_EQ(GetTempPathA(sizeof tiny, tiny), 10U);
  unsetenv("TMPDIR");
  EXPECT_EQ(GetTempPathA(sizeof buffer, buffer), 5U);
  EXPECT_STREQ(buffer, "/tmp/");
  if (old != nullptr) setenv("TMPDIR", saved.c_str(), 1);
}

class NullQueue : public MessageQueue {
 public:
  bool PeekMessage(MSG&) override { return false; }
  void PostQuitMessage(int) override {}
  bool PreTranslateMessage(MSG&) override { return false; }
  void TranslateMessage(const MSG&) override {}
  void DispatchMessage(const MSG&) override {}
};

TEST(MessageQueueTest, SetReturnsThePreviousQueue) {
  NullQueue queue;
  EXPECT_EQ(SetMessageQueue(&queue), nullptr);
  EXPECT_EQ(SetMessageQueue(nullptr), &queue);
}

}  // namespace

namespace {

// Arrays of small plain elements keep their first 32 bytes inline and move
// to the heap beyond; both sides of that edge, copies and moves across it,
// and elements that alias the array itself must behave like any vector.
TEST(CArrayStorageTest, GrowsPastInlineStorageKeepingEveryElement) {
  CByteArray bytes;
  for (int i = 0; i < 100; ++i) EXPECT_EQ(bytes.Add(static_cast<BYTE>(i)), i);
  for (int i = 0; i < 100; ++i) ASSERT_EQ(bytes[i], i);
  bytes.RemoveAt(10, 80);
  ASSERT_EQ(bytes.GetSize(), 20);
  EXPECT_EQ(bytes[9], 9);
  EXPECT_EQ(bytes[10], 90);
  bytes.SetSize(40);
  EXPECT_EQ(bytes[39], 0);
}

TEST(CArrayStorageTest, CopiesAndMovesAreIndependent) {
  for (int size : {3, 32, 33, 200}) {
    CArray<int, int> original;
    for (int i = 0; i < size; ++i) original.Add(i * 7);
    CArray<int, int> copy(original);
    CArray<int, int> assigned;
    assigned.Add(-1);
    assigned = original;
    original.SetAt(0, 99);
    EXPECT_EQ(copy[0], 0) << size;
    EXPECT_EQ(assigned[0], 0) << size;
    CArray<int, int> moved(std::move(copy));
    ASSERT_EQ(moved.GetSize(), size);
    EXPECT_EQ(moved[size - 1], (size - 1) * 7);
    assigned = std::move(moved);
    EXPECT_EQ(assigned.GetSize(), size);
    assigned = assigned;  // self-assignment keeps the elements
    EXPECT_EQ(assigned.GetSize(), size);
  }
}

TEST(CArrayStorageTest, AddingAnElementOfTheArrayItselfWhileItGrows) {
  CArray<long long, long long> values;
  for (int i = 0; i < 4; ++i) values.Add(1000 + i);  // inline storage is now full
  values.Add(values[0]);                             // grows to the heap while reading [0]
  values.SetAtGrow(9, values[1]);
  values.InsertAt(0, values[2], 3);
  values.Append(values);
  ASSERT_EQ(values.GetSize(), 26);
  EXPECT_EQ(values[0], 1002);
  EXPECT_EQ(values[7], 1000);
  EXPECT_EQ(values[12], 1001);
  EXPECT_EQ(values[13], 1002);
  EXPECT_EQ(values[25], 1001);
}

struct Stamp {
  BYTE kind;
  BYTE fault;
  DWORD seconds;
};

TEST(CArrayStorageTest, PlainRecordsAndStringsBothWork) {
  CArray<Stamp, Stamp> stamps;
  for (DWORD i = 0; i < 10; ++i) stamps.Add(Stamp{static_cast<BYTE>(i), 1, i * 60});
  CArray<Stamp, Stamp> copy;
  copy.Copy(stamps);
  EXPECT_EQ(copy[9].seconds, 540U);
  CArray<CString, CString> names;
  for (int i = 0; i < 50; ++i) names.Add(CString("name"));
  names.Add(names[0]);
  names.RemoveAt(0, 10);
  EXPECT_EQ(names.GetSize(), 41);
  EXPECT_EQ(names[40], "name");
  int count = 0;
  for (const CString& name : names) count += name.GetLength();
  EXPECT_EQ(count, 41 * 4);
}

}  // namespace
