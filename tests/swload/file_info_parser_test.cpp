// The file-information parser: finding the file, cleaning, the grammar, the
// attribute and symbol look-ups.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "pelix/file_info_parser.h"
#include "tests/swload/swload_support.h"

namespace {

using namespace pelix::test;

const char* const kWorkedExample =
    "#package description\n"
    "{FP=PKG01;REV=R2A;\n"
    "  {LF=LOADF001;SIZE=3000;\n"
    "    {F=APPL1;SIZE=1000;DEST=H40,$ALLZ;}\n"
    "    {F=BOOT1;SIZE=2000;DEST=$ALLZ;BOOT=H40,H50;}\n"
    "  }\n"
    "}\n"
    "{SYMB=DEST;ALLZ=H40,J40,H50;}\n";

// The file's bytes: a 12-character header, the body, a 4-character trailer.
std::string InfoFile(const std::string& body) { return "HEADER123456" + body + "TRLR"; }

std::string Items(const CArray<CString, CString>* list) {
  std::string items;
  for (const CString& item : *list) items += (items.empty() ? "" : ",") + item.str();
  return items;
}

// Everything the parser answers about its package, as one line:
// "name/revision OK|FAILED" and per load file " NAME:size[SUB:size d=dest b=boot;...]".
std::string Dump(CFileInfoParser& parser) {
  const FilePackageInfoStruct info = parser.GetFilePackageInfo();
  CArray<LoadFileStruct, LoadFileStruct> files;
  std::string text = info.name.str() + "/" + info.revision.str();
  text += parser.GetLoadFiles(files) == SR_OK ? " OK" : " FAILED";
  for (const LoadFileStruct& loadFile : files) {  // the lists handed over are freed here
    text += " " + loadFile.name.str() + ":" + std::to_string(loadFile.size) + "[";
    for (const SubFileStruct& subFile : *loadFile.subFiles) {
      text += subFile.name.str() + ":" + std::to_string(subFile.size) + " d=" + Items(subFile.destList) +
              " b=" + Items(subFile.bootList) + ";";
      delete subFile.destList, delete subFile.bootList;
    }
    text += "]";
    delete loadFile.subFiles;
  }
  return text;
}

// Whether a destination list (elements joined by ",") is valid for a kind.
bool Valid(CFileInfoParser& parser, const std::string& joined, int kind) {
  CArray<CString, CString> list;
  std::istringstream in(joined);
  for (std::string item; std::getline(in, item, ',');) list.Add(item.c_str());
  return parser.IsDestValidForHW(&list, static_cast<LoadableZCU_Type>(kind));
}

// Which kinds a destination list is valid for: one digit each for H40, J40,
// H50, QMS, ALL, H30 and ALL_BUT_WB.
std::string Mask(CFileInfoParser& parser, const std::string& joined) {
  std::string mask;
  for (int kind = ZCU_H40; kind <= ZCU_ALL_BUT_WB; ++kind) mask += Valid(parser, joined, kind) ? '1' : '0';
  return mask;
}

struct ParseCase {
  std::string file;  // empty: Prepare is never called
  std::string dump;
  std::string masks = "";  // "list=Mask(list)" for destination lists, separated by spaces
};

TEST(FileInfoParserTest, ParsesEveryShapeOfText) {
  const ParseCase cases[] = {
      // The worked example; the symbol stands for H40, J40 and H50.
      {InfoFile(kWorkedExample), "PKG01/R2A OK LOADF001:3000[APPL1:1000 d=H40,$ALLZ b=;BOOT1:2000 d=$ALLZ b=H40,H50;]",
       "$ALLZ=1110101"},
      // Cleaning drops punctuation, spaces, tabs and a last comment.
      {InfoFile("{FP=P.K-G;REV=R\t1;{LF=L F;{F=A.B;SIZE=1 0;DEST=H40;}}}\n# last comment {FP=X;"),
       "PKG/R1 OK LF:10[AB:10 d=H40 b=;]"},
      // A comment ends at its line feed; high and zero bytes vanish.
      {InfoFile("{FP=P1;# REV=BAD;\nREV=GOOD;}#tail"), "P1/GOOD OK"},
      {InfoFile(std::string("{FP=\xC4Q\0R\x7F;REV=1;}", 17)), "QR/1 OK"},
      // Sixteen characters leave no text.
      {"0123456789AB{FP}", "/ FAILED"},
      // Load files named KMA or KMB are skipped, case-sensitively.
      {InfoFile("{FP=P;{LF=KMA1;SIZE=1;}{LF=KMB2;}{LF=kma3;SIZE=4;}{LF=KMC4;}}"), "P/ OK kma3:4[] KMC4:0[]"},
      // Lists skip empty elements; a missing SIZE is 0.
      {InfoFile("{FP=P;{LF=L;{F=A;DEST=H40,,H50;BOOT=,J40,;}{F=B;DEST=;BOOT=,,;}}}"),
       "P/ OK L:0[A:0 d=H40,H50 b=J40;B:0 d= b=;]"},
      // Attribute names match only as whole names.
      {InfoFile("{FP=REVA;REV=R7;{LF=SIZEX;SIZE=55;{F=SIZE;DEST=H40;SIZE=7;}{F=DEST1;SIZE=5;DEST=J40;}"
                "{F=XBOOT;XDEST=H50;DEST=QMS;SIZE=3;}}}"),
       "REVA/R7 OK SIZEX:55[SIZE:7 d=H40 b=;DEST1:5 d=J40 b=;XBOOT:3 d=QMS b=;]"},
      // A size written after nested objects is not used.
      {InfoFile("{FP=P;{LF=L;{F=A;SIZE=11;DEST=H40;}SIZE=99;}}"), "P/ OK L:11[A:11 d=H40 b=;]"},
      // Sizes read decimal digits from the start and stop at the largest int.
      {InfoFile("{FP=P;{LF=L;{F=A;SIZE=abc;}{F=B;SIZE=12ab;}{F=C;SIZE=007;}{F=D;SIZE=99999999999;}}}"),
       "P/ OK L:0[A:0 d= b=;B:12 d= b=;C:7 d= b=;D:2147483647 d= b=;]"},
      // Objects without a header type or of other types are skipped.
      {InfoFile("{X=1;}{}{FP=P;{}{Q=1;{LF=HIDDEN;}}{LF=L1;{}{G=2;}{F=A;SIZE=1;}{{}}{F=B;SIZE=2;}}"
                "junk{LF=L2;}}{FP=SECOND;}"),
       "P/ OK L1:1[A:1 d= b=;B:2 d= b=;] L2:0[]"},
      // Unbalanced braces hide everything from their opening.
      {InfoFile("{FP=P;{LF=L;{F=A;SIZE=1;}"), "/ FAILED"},
      {InfoFile("{FP=P;{LF=L;}}{SYMB=DEST;S=H40;"), "P/ OK L:0[]", "$S=0000000"},
      // Symbols: only the first SYMB=DEST object; a symbol defined twice
      // takes its second list; a pair needs "=" and a ";" after it; a list
      // beginning with a comma holds an empty element, which matches every kind.
      {InfoFile("{SYMB=OTHER;O=H40;}{SYMB=DEST;A=J40;A=H50;EMPTY=,QMS;NOEQ;B=H30,;LAST=H40}{SYMB=DEST;C=H40;}"),
       "/ FAILED", "$O=0000000 $A=0010101 $B=0000111 $LAST=0000000 $C=0000000 $NOEQ=0000000 $EMPTY=1111111"},
      // Before Prepare only plain hardware strings count; they match by
      // substring, and the first element that matches wins.
      {"", "/ FAILED",
       "$ALLZ=0000000 H40=1000101 40J=0000101 WB1=0000100 WBC=0000100 H30=0000111 QMS=0001101 "
       "H40J40H50QMSH30WBCWB1=0000100 =0000000 XXX,$NONE,J40=0100101"}};
  for (const ParseCase& c : cases) {
    SCOPED_TRACE(c.dump);
    Scratch scratch;
    CFileInfoParser parser;
    if (!c.file.empty()) {
      PutFile(scratch.pkg + "KMA0001", c.file);
      ASSERT_EQ(parser.Prepare(scratch.pkg.c_str()), SR_OK);
    }
    EXPECT_EQ(Dump(parser), c.dump);
    std::istringstream masks(c.masks);
    for (std::string pair; masks >> pair;)
      EXPECT_EQ(pair.substr(0, pair.find('=') + 1) + Mask(parser, pair.substr(0, pair.find('='))), pair);
    EXPECT_FALSE(parser.IsDestValidForHW(nullptr, ZCU_ALL));
    // Any other kind stands for H40.
    EXPECT_TRUE(Valid(parser, "H40", 99) && !Valid(parser, "J40", -1));
  }
}

TEST(FileInfoParserTest, FindsTheFileByItsNamePrefixOrFails) {
  Scratch scratch;
  CFileInfoParser parser;
  EXPECT_EQ(parser.Prepare((scratch.root + "missing/").c_str()), SR_FILE_OPEN_FAILED);
  EXPECT_EQ(parser.Prepare(scratch.pkg.c_str()), SR_FILE_OPEN_FAILED);  // empty folder
  PutFile(scratch.pkg + "LOADF001", "data");
  PutFile(scratch.pkg + "FLF2", "data");  // FLF needs a 1 after it
  PutFile(scratch.pkg + "KM", "data");
  EXPECT_EQ(parser.Prepare(scratch.pkg.c_str()), SR_FILE_OPEN_FAILED);
  // A folder with a qualifying name cannot be opened as the file.
  ::mkdir((scratch.pkg + "KMA_DIR").c_str(), 0755);
  EXPECT_EQ(parser.Prepare(scratch.pkg.c_str()), SR_FILE_OPEN_FAILED);
  EXPECT_TRUE(pelix::platform::Files().IsFolder(scratch.pkg + "KMA_DIR") &&
              !pelix::platform::Files().IsFolder(scratch.pkg + "KM"));

  for (const char* name : {"kma7", "Kmb7", "flf1abc", "FLF1"}) {
    Scratch folder;
    PutFile(folder.pkg + name, InfoFile("{FP=N;REV=1;}"));
    CFileInfoParser fresh;
    EXPECT_EQ(fresh.Prepare(folder.pkg.c_str()), SR_OK) << name;
    EXPECT_EQ(fresh.GetFilePackageInfo().name, "N") << name;
  }
}

TEST(FileInfoParserTest, OnlyAFailedCloseIsReportedAndPrepareStillSucceeds) {
  Scratch scratch;
  CFileInfoParser parser;
  RecordingHost host;
  host.handlerExists = true;
  FaultyFileSystem files;
  PutFile(scratch.pkg + "KMA0001", InfoFile(kWorkedExample));
  files.failOpenContaining = "KMA0001";
  EXPECT_EQ(parser.Prepare(scratch.pkg.c_str()), SR_FILE_OPEN_FAILED);
  EXPECT_TRUE(host.CallsNamed("RaiseError").empty() && host.CallsNamed("LogError").empty());
  files.failOpenContaining = "";
  files.failCloseAt = 1;
  EXPECT_EQ(parser.Prepare(scratch.pkg.c_str()), SR_OK);
  ASSERT_EQ(host.CallsNamed("RaiseError").size(), 1U);
  EXPECT_EQ(host.CallsNamed("RaiseError")[0].text, "fclose(fileInfoFile) == 0");
  EXPECT_EQ(host.Texts("LogError", EK_CHECK), Names{"fclose(fileInfoFile) == 0"});
  PutFile(scratch.pkg + "KMA0001", "");  // an empty file keeps the text read before, all the same
  EXPECT_EQ(parser.Prepare(scratch.pkg.c_str()), SR_OK);
  EXPECT_EQ(parser.GetFilePackageInfo().name, "PKG01");
}

TEST(FileInfoParserTest, MegabytesOfCommasAndBracesComplete) {
  Scratch scratch;
  CFileInfoParser parser;
  // A large destination list, deep nesting around a large symbol list.
  PutFile(scratch.pkg + "KMA0001",
          InfoFile("{FP=P;{LF=L;{F=A;SIZE=1;DEST=" + std::string(2000000, ',') + "H40;}}" + std::string(500000, '{') +
                   "}{SYMB=DEST;S=" + std::string(2000000, ',') + "H30;}" + std::string(500000, '}')));
  ASSERT_EQ(parser.Prepare(scratch.pkg.c_str()), SR_OK);
  EXPECT_EQ(Dump(parser), "P/ OK L:1[A:1 d=H40 b=;]");
  EXPECT_EQ(Mask(parser, "$S"), "0000000");  // inside the deep braces: not a top-level object
}

}  // namespace
