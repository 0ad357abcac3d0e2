#include "platform/xml_document.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>
#include <memory>
#include <string>

#include "pelix/com_error.h"
#include "platform/temp_folder.h"
#include "tests/support/cstring_printer.h"
#include "tests/support/temp_text_file.h"

using pelix::platform::XmlDocument;
using pelix::platform::XmlNode;
using pelix::platform::XmlNodeList;
using pelix::test::TempTextFile;

namespace {

// Loads text into doc through a temporary file; returns whether it loaded.
bool LoadText(XmlDocument& doc, const std::string& text) {
  TempTextFile file(text);
  return doc.Load(file.c_str());
}

std::string TextOf(const XmlDocument& doc, const char* query) {
  const XmlNode node = doc.DocumentNode().SelectSingleNode(query);
  if (node.IsNull()) return "<null>";
  return node.Text().str();
}

long ErrorCodeOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const CComError& error) {
    return error.Error();
  }
  return 0;
}

}  // namespace

TEST(XmlDocumentLoad, FailsOnMissingEmptyMalformedAndNonRegularFiles) {
  XmlDocument doc;
  EXPECT_FALSE(doc.Load(nullptr));
  EXPECT_FALSE(doc.Load(""));
  EXPECT_FALSE(doc.Load("/nonexistent/pelix/faultcodes.xml"));
  EXPECT_FALSE(doc.Load(pelix::platform::TempFolder().c_str())) << "a directory is not a database";
  EXPECT_FALSE(LoadText(doc, ""));
  EXPECT_FALSE(LoadText(doc, "   \n\t "));
  EXPECT_FALSE(LoadText(doc, "this is plain text, not XML\n"));
  EXPECT_FALSE(LoadText(doc, "<a><b>truncated</b>"));
  EXPECT_FALSE(LoadText(doc, "<a></b>"));
  EXPECT_FALSE(LoadText(doc, std::string("\x00\x01\x02\xff\xfe", 5)));
  EXPECT_FALSE(doc.ErrorText().empty());
}

TEST(XmlDocumentLoad, FifoIsRefusedWithoutBlocking) {
  const std::string path = pelix::platform::TempFolder() + "pelix-xml-fifo-" + std::to_string(::getpid());
  ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
  XmlDocument doc;
  EXPECT_FALSE(doc.Load(path.c_str()));
  ::unlink(path.c_str());
}

TEST(XmlDocumentLoad, FailedLoadLeavesAnEmptyDocument) {
  XmlDocument doc;
  ASSERT_TRUE(LoadText(doc, "<r><a>1</a></r>"));
  EXPECT_EQ(TextOf(doc, "/r/a"), "1");
  EXPECT_FALSE(LoadText(doc, "<r><a>2</a>"));
  EXPECT_EQ(TextOf(doc, "/r/a"), "<null>");
  ASSERT_TRUE(LoadText(doc, "<s><a>3</a></s>"));
  EXPECT_EQ(TextOf(doc, "/r/a"), "<null>") << "the old document is gone";
  EXPECT_EQ(TextOf(doc, "/s/a"), "3");
}

TEST(XmlDocumentLoad, NodesOutliveReloadAndDestruction) {
  XmlNode kept;
  XmlNodeList keptList;
  {
    XmlDocument doc;
    ASSERT_TRUE(LoadText(doc, "<r><a>first</a><a>second</a></r>"));
    kept = doc.DocumentNode().SelectSingleNode("/r/a");
    keptList = doc.DocumentNode().SelectNodes("/r/a");
    ASSERT_TRUE(LoadText(doc, "<r><a>other</a></r>"));
  }
  EXPECT_EQ(kept.Text(), "first");
  ASSERT_EQ(keptList.Length(), 2);
  EXPECT_EQ(keptList.Item(1).Text(), "second");
}

TEST(XmlDocumentLoad, DoctypeIsNeitherReadNorExpanded) {
  // An external entity, an internal one and a parameter-entity bomb: none may
  // be fetched or expanded.
  const std::string text =
      "<?xml version=\"1.0\"?>\n"
      "<!DOCTYPE r [\n"
      "  <!ENTITY ext SYSTEM \"file:///etc/passwd\">\n"
      "  <!ENTITY lol \"lol\">\n"
      "  <!ENTITY lol2 \"&lol;&lol;&lol;&lol;&lol;&lol;&lol;&lol;&lol;&lol;\">\n"
      "  <!ENTITY % remote SYSTEM \"http://127.0.0.1:9/evil.dtd\">\n"
      "]>\n"
      "<r><a>&ext;</a><b>&lol2;</b><c>&lt;&amp;&#65;&#x42;</c></r>";
  XmlDocument doc;
  ASSERT_TRUE(LoadText(doc, text));
  EXPECT_EQ(TextOf(doc, "/r/a"), "&ext;");
  EXPECT_EQ(TextOf(doc, "/r/b"), "&lol2;");
  EXPECT_EQ(TextOf(doc, "/r/c"), "<&AB") << "predefined entities and character references are replaced";
}

TEST(XmlDocumentLoad, EncodingsAreDeliveredAsUtf8) {
  XmlDocument doc;
  ASSERT_TRUE(LoadText(doc, "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><r>caf\xe9</r>"));
  EXPECT_EQ(TextOf(doc, "/r"), "caf\xc3\xa9");
  // UTF-16 little endian with a byte-order mark.
  const std::string utf16("\xff\xfe<\0r\0>\0x\0\xe9\0<\0/\0r\0>\0", 20);
  ASSERT_TRUE(LoadText(doc, utf16));
  EXPECT_EQ(TextOf(doc, "/r"), "x\xc3\xa9");
}

TEST(XmlNodeText, ConcatenatesDescendantsInDocumentOrder) {
  XmlDocument doc;
  ASSERT_TRUE(LoadText(doc,
                       "<r>"
                       "<p>Check <b>the</b> cable</p>"
                       "<q>x<b>y</b>z</q>"
                       "<m><n>1<o>2</o></n>3<n>4</n></m>"
                       "<c>a<![CDATA[ <b> ]]>c</c>"
                       "<e/>"
                       "</r>"));
  EXPECT_EQ(TextOf(doc, "/r/p"), "Check the cable");
  EXPECT_EQ(TextOf(doc, "/r/q"), "xyz");
  EXPECT_EQ(TextOf(doc, "/r/m"), "1234");
  EXPECT_EQ(TextOf(doc, "/r/c"), "a <b> c");
  EXPECT_EQ(TextOf(doc, "/r/e"), "");
  EXPECT_EQ(doc.DocumentNode().Text(), "Check the cablexyz1234a <b> c");
}

TEST(XmlNodeText, WhiteSpaceIsCollapsedAndTrimmed) {
  XmlDocument doc;
  ASSERT_TRUE(LoadText(doc,
                       "<r>\n"
                       "  <p>\n    First line\n    second\tline  \r\n  </p>\n"
                       "  <s><b>A</b> <i>B</i></s>\n"
                       "  <t>   </t>\n"
                       "  <u>a <b> b </b> c</u>\n"
                       "</r>\n"));
  EXPECT_EQ(TextOf(doc, "/r/p"), "First line second line");
  EXPECT_EQ(TextOf(doc, "/r/s"), "AB") << "white-space-only text between elements is dropped";
  EXPECT_EQ(TextOf(doc, "/r/t"), "");
  EXPECT_EQ(TextOf(doc, "/r/u"), "a b c");
}

TEST(XmlNodeQuery, ComparisonsSeeTheRawText) {
  XmlDocument doc;
  ASSERT_TRUE(LoadText(doc, "<r><f><id> 7 </id><n>spaced</n></f><f><id>7</id><n>exact</n></f></r>"));
  EXPECT_EQ(TextOf(doc, "/r/f[id='7']/n"), "exact");
  EXPECT_EQ(TextOf(doc, "/r/f[id=' 7 ']/n"), "spaced");
  EXPECT_EQ(TextOf(doc, "/r/f[id='']/n"), "<null>");
}

TEST(XmlNodeQuery, SingleNodeIsTheFirstInDocumentOrder) {
  XmlDocument doc;
  ASSERT_TRUE(LoadText(doc, "<r><x><a>1</a></x><a>2</a><x><a>3</a></x></r>"));
  EXPECT_EQ(TextOf(doc, "//a"), "1");
  EXPECT_EQ(TextOf(doc, "/r/a | /r/x/a"), "1");
  EXPECT_EQ(TextOf(doc, "/r/nothing"), "<null>");
}

TEST(XmlNodeQuery, UnionListIsInDocumentOrderAndRelativeToTheContext) {
  XmlDocument doc;
  ASSERT_TRUE(LoadText(doc, "<r><d><list>L1</list><p>P1</p><q>no</q><p>P2</p><list>L2</list></d><p>outside</p></r>"));
  const XmlNode d = doc.DocumentNode().SelectSingleNode("/r/d");
  ASSERT_FALSE(d.IsNull());
  const XmlNodeList list = d.SelectNodes("p|list");
  ASSERT_EQ(list.Length(), 4);
  const char* expected[][2] = {{"list", "L1"}, {"p", "P1"}, {"p", "P2"}, {"list", "L2"}};
  for (long i = 0; i < 4; ++i) {
    EXPECT_EQ(list.Item(i).Name(), expected[i][0]) << i;
    EXPECT_EQ(list.Item(i).Text(), expected[i][1]) << i;
  }
  EXPECT_TRUE(list.Item(4).IsNull());
  EXPECT_TRUE(list.Item(-1).IsNull());
  EXPECT_EQ(d.SelectNodes("missing").Length(), 0);
  EXPECT_TRUE(d.SelectNodes("missing").Item(0).IsNull());
}

TEST(XmlNodeQuery, NamesOfTheKindsOfNode) {
  XmlDocument doc;
  ASSERT_TRUE(LoadText(doc, "<r k=\"v  w\"><a>t</a><b>one<i/>two</b></r>"));
  const XmlNode root = doc.DocumentNode();
  EXPECT_EQ(root.Name(), "#document");
  EXPECT_EQ(root.SelectSingleNode("r").Name(), "r");
  const XmlNode attribute = root.SelectSingleNode("/r/@k");
  ASSERT_FALSE(attribute.IsNull());
  EXPECT_EQ(attribute.Name(), "k");
  EXPECT_EQ(attribute.Text(), "v w");
  // The leading "one" is held in the element; the text after <i/> is a node.
  const XmlNodeList texts = root.SelectNodes("/r/b/text()");
  ASSERT_EQ(texts.Length(), 1);
  EXPECT_EQ(texts.Item(0).Name(), "#text");
  EXPECT_EQ(texts.Item(0).Text(), "two");
  EXPECT_EQ(root.SelectSingleNode("/r/b").Text(), "onetwo");
  EXPECT_EQ(TextOf(doc, "/r/b[.='onetwo']/i/.."), "onetwo");
}

TEST(XmlNodeErrors, RejectedQueryThrowsFail) {
  XmlDocument doc;
  ASSERT_TRUE(LoadText(doc, "<r><a>x</a></r>"));
  const XmlNode root = doc.DocumentNode();
  EXPECT_EQ(ErrorCodeOf([&] { root.SelectSingleNode("/r/a[b='it's']"); }), PELIX_E_FAIL);
  EXPECT_EQ(ErrorCodeOf([&] { root.SelectNodes("/r/a[b='it's']"); }), PELIX_E_FAIL);
  EXPECT_EQ(ErrorCodeOf([&] { root.SelectNodes("/r/["); }), PELIX_E_FAIL);
  EXPECT_EQ(ErrorCodeOf([&] { root.SelectNodes("count(/r)"); }), PELIX_E_FAIL) << "a number is not a node set";
  EXPECT_EQ(ErrorCodeOf([&] { root.SelectNodes(nullptr); }), PELIX_E_POINTER);
  // The document is still usable afterwards.
  EXPECT_EQ(TextOf(doc, "/r/a"), "x");
}

TEST(XmlNodeErrors, NullNodeThrowsInvalidPointer) {
  const XmlNode null;
  EXPECT_TRUE(null.IsNull());
  EXPECT_EQ(ErrorCodeOf([&] { null.SelectSingleNode("a"); }), PELIX_E_POINTER);
  EXPECT_EQ(ErrorCodeOf([&] { null.SelectNodes("a"); }), PELIX_E_POINTER);
  EXPECT_EQ(ErrorCodeOf([&] { null.Text(); }), PELIX_E_POINTER);
  EXPECT_EQ(ErrorCodeOf([&] { null.Name(); }), PELIX_E_POINTER);
}

TEST(XmlNodeText, DeeplyNestedDocumentDoesNotExhaustTheStack) {
  constexpr int kDepth = 200000;
  std::string text;
  text.reserve(kDepth * 8 + 16);
  for (int i = 0; i < kDepth; ++i) text += "<a>";
  text += "x";
  for (int i = 0; i < kDepth; ++i) text += "</a>";
  XmlDocument doc;
  ASSERT_TRUE(LoadText(doc, text));
  EXPECT_EQ(doc.DocumentNode().Text(), "x");
  EXPECT_EQ(doc.DocumentNode().SelectNodes("//a").Length(), kDepth);
}
