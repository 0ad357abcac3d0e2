// The file-information parser: finding the file, cleaning, the grammar, the
// attribute and symbol look-ups, hostile text.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "pelix/file_info_parser.h"
#include "tests/support/recording_host.h"
#include "tests/swload/swload_support.h"

namespace {

using pelix::test::FaultyFileSystem;
using pelix::test::RecordingHost;
using pelix::test::Scratch;
using pelix::test::WriteFile;

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

std::vector<std::string> Items(const CArray<CString, CString>* list) {
  std::vector<std::string> items;
  if (list == nullptr) return {"<null>"};
  for (const CString& item : *list) items.push_back(item.str());
  return items;
}

// Frees what GetLoadFiles handed over.
void Release(CArray<LoadFileStruct, LoadFileStruct>& loadFiles) {
  for (LoadFileStruct& loadFile : loadFiles) {
    if (loadFile.subFiles == nullptr) continue;
    for (SubFileStruct& subFile : *loadFile.subFiles) {
      delete subFile.destList;
      delete subFile.bootList;
    }
    delete loadFile.subFiles;
  }
  loadFiles.RemoveAll();
}

// Loaded load files, freed at the end of the test.
struct LoadFiles {
  CArray<LoadFileStruct, LoadFileStruct> files;
  ~LoadFiles() { Release(files); }
  const SubFileStruct& Sub(int l, int s) const { return (*files[l].subFiles)[s]; }
};

class FileInfoParserTest : public ::testing::Test {
 protected:
  // Writes body as the package's file-information file and prepares.
  ServiceResult PrepareBody(const std::string& body, const std::string& name = "KMA0001") {
    WriteFile(scratch.pkg + name, InfoFile(body));
    return parser.Prepare(scratch.pkg.c_str());
  }
  bool Valid(std::vector<std::string> dest, LoadableZCU_Type kind) {
    CArray<CString, CString> list;
    for (const auto& item : dest) list.Add(item.c_str());
    return parser.IsDestValidForHW(&list, kind);
  }

  Scratch scratch;
  CFileInfoParser parser;
};

TEST_F(FileInfoParserTest, WorkedExampleGivesPackageLoadFilesAndSubFiles) {
  ASSERT_EQ(PrepareBody(kWorkedExample), SR_OK);
  const FilePackageInfoStruct info = parser.GetFilePackageInfo();
  EXPECT_EQ(info.name, "PKG01");
  EXPECT_EQ(info.revision, "R2A");

  LoadFiles out;
  ASSERT_EQ(parser.GetLoadFiles(out.files), SR_OK);
  ASSERT_EQ(out.files.GetSize(), 1);
  EXPECT_EQ(out.files[0].name, "LOADF001");
  EXPECT_EQ(out.files[0].size, 3000);
  ASSERT_EQ(out.files[0].subFiles->GetSize(), 2);
  EXPECT_EQ(out.Sub(0, 0).name, "APPL1");
  EXPECT_EQ(out.Sub(0, 0).size, 1000);
  EXPECT_EQ(Items(out.Sub(0, 0).destList), (std::vector<std::string>{"H40", "$ALLZ"}));
  EXPECT_EQ(Items(out.Sub(0, 0).bootList), std::vector<std::string>{});
  EXPECT_EQ(out.Sub(0, 1).name, "BOOT1");
  EXPECT_EQ(out.Sub(0, 1).size, 2000);
  EXPECT_EQ(Items(out.Sub(0, 1).destList), std::vector<std::string>{"$ALLZ"});
  EXPECT_EQ(Items(out.Sub(0, 1).bootList), (std::vector<std::string>{"H40", "H50"}));

  // The symbol stands for H40, J40 and H50.
  EXPECT_TRUE(Valid({"$ALLZ"}, ZCU_H40));
  EXPECT_TRUE(Valid({"$ALLZ"}, ZCU_J40));
  EXPECT_TRUE(Valid({"$ALLZ"}, ZCU_H50));
  EXPECT_FALSE(Valid({"$ALLZ"}, ZCU_QMS));
  EXPECT_FALSE(Valid({"$ALLZ"}, ZCU_H30));
}

TEST_F(FileInfoParserTest, CleaningDropsPunctuationSpacesAndComments) {
  ASSERT_EQ(PrepareBody("{FP=P.K-G;REV=R\t1;{LF=L F;{F=A.B;SIZE=1 0;DEST=H40;}}}\n# last comment {FP=X;"), SR_OK);
  EXPECT_EQ(parser.GetFilePackageInfo().name, "PKG");
  EXPECT_EQ(parser.GetFilePackageInfo().revision, "R1");
  LoadFiles out;
  ASSERT_EQ(parser.GetLoadFiles(out.files), SR_OK);
  ASSERT_EQ(out.files.GetSize(), 1);
  EXPECT_EQ(out.files[0].name, "LF");
  EXPECT_EQ(out.Sub(0, 0).name, "AB");
  EXPECT_EQ(out.Sub(0, 0).size, 10);
}

TEST_F(FileInfoParserTest, CommentEndsAtLineFeedAndKeepsWhatFollows) {
  ASSERT_EQ(PrepareBody("{FP=P1;# REV=BAD;\nREV=GOOD;}#tail"), SR_OK);
  EXPECT_EQ(parser.GetFilePackageInfo().revision, "GOOD");
  // Bytes outside the allowed set (high bytes, zero bytes) vanish too.
  ASSERT_EQ(PrepareBody(std::string("{FP=\xC4Q\0R\x7F;REV=1;}", 18)), SR_OK);
  EXPECT_EQ(parser.GetFilePackageInfo().name, "QR");
}

TEST_F(FileInfoParserTest, SixteenCharacterFileLeavesNoText) {
  WriteFile(scratch.pkg + "KMA1", "0123456789AB{FP}");
  ASSERT_EQ(parser.Prepare(scratch.pkg.c_str()), SR_OK);
  LoadFiles out;
  EXPECT_EQ(parser.GetLoadFiles(out.files), SR_FAILED);
  EXPECT_EQ(out.files.GetSize(), 0);
  EXPECT_EQ(parser.GetFilePackageInfo().name, "");
}

TEST_F(FileInfoParserTest, EmptyFileKeepsTheEarlierText) {
  ASSERT_EQ(PrepareBody("{FP=FIRST;REV=A;}"), SR_OK);
  Scratch other;
  WriteFile(other.pkg + "KMB0", "");
  EXPECT_EQ(parser.Prepare(other.pkg.c_str()), SR_OK);
  EXPECT_EQ(parser.GetFilePackageInfo().name, "FIRST");
}

TEST_F(FileInfoParserTest, PrepareFailsWithoutAReadableFileInformationFile) {
  EXPECT_EQ(parser.Prepare((scratch.root + "missing/").c_str()), SR_FILE_OPEN_FAILED);
  EXPECT_EQ(parser.Prepare(scratch.pkg.c_str()), SR_FILE_OPEN_FAILED);  // empty folder
  WriteFile(scratch.pkg + "LOADF001", "data");
  WriteFile(scratch.pkg + "FLF2", "data");  // FLF needs a 1 after it
  WriteFile(scratch.pkg + "KM", "data");
  EXPECT_EQ(parser.Prepare(scratch.pkg.c_str()), SR_FILE_OPEN_FAILED);
  // A folder with a qualifying name cannot be opened as the file.
  ::mkdir((scratch.pkg + "KMA_DIR").c_str(), 0755);
  EXPECT_EQ(parser.Prepare(scratch.pkg.c_str()), SR_FILE_OPEN_FAILED);
}

TEST_F(FileInfoParserTest, FileNamePrefixIgnoresLetterCase) {
  for (const char* name : {"kma7", "Kmb7", "flf1abc", "FLF1"}) {
    Scratch folder;
    WriteFile(folder.pkg + name, InfoFile("{FP=N;REV=1;}"));
    CFileInfoParser fresh;
    EXPECT_EQ(fresh.Prepare(folder.pkg.c_str()), SR_OK) << name;
    EXPECT_EQ(fresh.GetFilePackageInfo().name, "N") << name;
  }
}

TEST_F(FileInfoParserTest, FirstQualifyingEntryInListingOrderIsUsed) {
  WriteFile(scratch.pkg + "flf1x", InfoFile("{FP=FROMFLF;}"));
  WriteFile(scratch.pkg + "KMA9", InfoFile("{FP=FROMKMA;}"));
  std::vector<std::string> names;
  ASSERT_TRUE(pelix::platform::Files().List(scratch.pkg, names));
  const auto first = std::find_if(names.begin(), names.end(), [](const std::string& n) { return n != "."; });
  ASSERT_NE(first, names.end());
  ASSERT_EQ(parser.Prepare(scratch.pkg.c_str()), SR_OK);
  EXPECT_EQ(parser.GetFilePackageInfo().name, *first == "flf1x" ? "FROMFLF" : "FROMKMA");
}

TEST_F(FileInfoParserTest, LoadFilesNamedKmaOrKmbAreSkippedCaseSensitively) {
  ASSERT_EQ(PrepareBody("{FP=P;{LF=KMA1;SIZE=1;}{LF=KMB2;}{LF=kma3;SIZE=4;}{LF=KMC4;}}"), SR_OK);
  LoadFiles out;
  ASSERT_EQ(parser.GetLoadFiles(out.files), SR_OK);
  ASSERT_EQ(out.files.GetSize(), 2);
  EXPECT_EQ(out.files[0].name, "kma3");
  EXPECT_EQ(out.files[0].size, 4);
  EXPECT_EQ(out.files[0].subFiles->GetSize(), 0);
  EXPECT_EQ(out.files[1].name, "KMC4");
}

TEST_F(FileInfoParserTest, ListsSkipEmptyElements) {
  ASSERT_EQ(PrepareBody("{FP=P;{LF=L;{F=A;DEST=H40,,H50;BOOT=,J40,;}{F=B;DEST=;BOOT=,,;}}}"), SR_OK);
  LoadFiles out;
  ASSERT_EQ(parser.GetLoadFiles(out.files), SR_OK);
  EXPECT_EQ(Items(out.Sub(0, 0).destList), (std::vector<std::string>{"H40", "H50"}));
  EXPECT_EQ(Items(out.Sub(0, 0).bootList), std::vector<std::string>{"J40"});
  EXPECT_EQ(Items(out.Sub(0, 1).destList), std::vector<std::string>{});
  EXPECT_EQ(Items(out.Sub(0, 1).bootList), std::vector<std::string>{});
  EXPECT_EQ(out.Sub(0, 1).size, 0);  // no SIZE
}

TEST_F(FileInfoParserTest, AttributeNamesMatchOnlyAsWholeNames) {
  // Names that hold attribute keywords do not hide the real attributes.
  ASSERT_EQ(PrepareBody("{FP=REVA;REV=R7;{LF=SIZEX;SIZE=55;{F=SIZE;DEST=H40;SIZE=7;}{F=DEST1;SIZE=5;DEST=J40;}"
                        "{F=XBOOT;XDEST=H50;DEST=QMS;SIZE=3;}}}"),
            SR_OK);
  EXPECT_EQ(parser.GetFilePackageInfo().name, "REVA");
  EXPECT_EQ(parser.GetFilePackageInfo().revision, "R7");
  LoadFiles out;
  ASSERT_EQ(parser.GetLoadFiles(out.files), SR_OK);
  EXPECT_EQ(out.files[0].name, "SIZEX");
  EXPECT_EQ(out.files[0].size, 55);
  EXPECT_EQ(out.Sub(0, 0).name, "SIZE");
  EXPECT_EQ(out.Sub(0, 0).size, 7);
  EXPECT_EQ(Items(out.Sub(0, 1).destList), std::vector<std::string>{"J40"});
  EXPECT_EQ(Items(out.Sub(0, 2).destList), std::vector<std::string>{"QMS"});
  EXPECT_EQ(out.Sub(0, 2).size, 3);
}

TEST_F(FileInfoParserTest, SizeWrittenAfterNestedObjectsIsNotUsed) {
  ASSERT_EQ(PrepareBody("{FP=P;{LF=L;{F=A;SIZE=11;DEST=H40;}SIZE=99;}}"), SR_OK);
  LoadFiles out;
  ASSERT_EQ(parser.GetLoadFiles(out.files), SR_OK);
  EXPECT_EQ(out.files[0].size, 11);
}

TEST_F(FileInfoParserTest, SizesReadDecimalDigitsFromTheStart) {
  ASSERT_EQ(PrepareBody("{FP=P;{LF=L;{F=A;SIZE=abc;}{F=B;SIZE=12ab;}{F=C;SIZE=007;}{F=D;SIZE=99999999999;}}}"), SR_OK);
  LoadFiles out;
  ASSERT_EQ(parser.GetLoadFiles(out.files), SR_OK);
  EXPECT_EQ(out.Sub(0, 0).size, 0);
  EXPECT_EQ(out.Sub(0, 1).size, 12);
  EXPECT_EQ(out.Sub(0, 2).size, 7);
  EXPECT_EQ(out.Sub(0, 3).size, 2147483647);
}

TEST_F(FileInfoParserTest, ObjectsWithoutHeaderTypeOrOfOtherTypesAreSkipped) {
  ASSERT_EQ(PrepareBody("{X=1;}{}{FP=P;{}{Q=1;{LF=HIDDEN;}}{LF=L1;{}{G=2;}{F=A;SIZE=1;}{{}}{F=B;SIZE=2;}}"
                        "junk{LF=L2;}}{FP=SECOND;}"),
            SR_OK);
  EXPECT_EQ(parser.GetFilePackageInfo().name, "P");
  LoadFiles out;
  ASSERT_EQ(parser.GetLoadFiles(out.files), SR_OK);
  ASSERT_EQ(out.files.GetSize(), 2);
  EXPECT_EQ(out.files[0].name, "L1");
  ASSERT_EQ(out.files[0].subFiles->GetSize(), 2);
  EXPECT_EQ(out.Sub(0, 1).name, "B");
  EXPECT_EQ(out.files[1].name, "L2");
}

TEST_F(FileInfoParserTest, UnbalancedBracesHideEverythingFromTheirOpening) {
  ASSERT_EQ(PrepareBody("{FP=P;{LF=L;{F=A;SIZE=1;}"), SR_OK);
  LoadFiles out;
  EXPECT_EQ(parser.GetLoadFiles(out.files), SR_FAILED);
  EXPECT_EQ(parser.GetFilePackageInfo().name, "");

  ASSERT_EQ(PrepareBody("{FP=P;{LF=L;}}{SYMB=DEST;S=H40;"), SR_OK);
  EXPECT_FALSE(Valid({"$S"}, ZCU_H40));
  ASSERT_EQ(parser.GetLoadFiles(out.files), SR_OK);
  EXPECT_EQ(out.files.GetSize(), 1);
}

TEST_F(FileInfoParserTest, GetLoadFilesAppendsEachTime) {
  ASSERT_EQ(PrepareBody(kWorkedExample), SR_OK);
  LoadFiles out;
  ASSERT_EQ(parser.GetLoadFiles(out.files), SR_OK);
  ASSERT_EQ(parser.GetLoadFiles(out.files), SR_OK);
  ASSERT_EQ(out.files.GetSize(), 2);
  EXPECT_NE(out.files[0].subFiles, out.files[1].subFiles);  // separate lists, each freed once
}

TEST_F(FileInfoParserTest, BeforePrepareNothingIsKnown) {
  LoadFiles out;
  EXPECT_EQ(parser.GetLoadFiles(out.files), SR_FAILED);
  EXPECT_EQ(parser.GetFilePackageInfo().name, "");
  EXPECT_EQ(parser.GetFilePackageInfo().revision, "");
  EXPECT_FALSE(Valid({"$ALLZ"}, ZCU_H40));
  EXPECT_TRUE(Valid({"H40"}, ZCU_H40));
}

TEST_F(FileInfoParserTest, HardwareStringsMatchBySubstring) {
  EXPECT_TRUE(Valid({"40J"}, ZCU_ALL_BUT_WB));
  EXPECT_FALSE(Valid({"40J"}, ZCU_H40));
  EXPECT_TRUE(Valid({"WB1"}, ZCU_ALL));
  for (LoadableZCU_Type kind : {ZCU_H40, ZCU_J40, ZCU_H50, ZCU_QMS, ZCU_H30, ZCU_ALL_BUT_WB}) {
    EXPECT_FALSE(Valid({"WB1"}, kind)) << kind;
    EXPECT_FALSE(Valid({"WBC"}, kind)) << kind;
  }
  EXPECT_TRUE(Valid({"H30"}, ZCU_H30));
  EXPECT_TRUE(Valid({"QMS"}, ZCU_QMS));
  EXPECT_TRUE(Valid({"H40J40H50QMSH30WBCWB1"}, ZCU_ALL));
  EXPECT_FALSE(Valid({"H40J40H50QMSH30WBCWB1"}, ZCU_ALL_BUT_WB));
  // Any other value stands for H40.
  EXPECT_TRUE(Valid({"H40"}, static_cast<LoadableZCU_Type>(99)));
  EXPECT_FALSE(Valid({"J40"}, static_cast<LoadableZCU_Type>(-1)));
  EXPECT_FALSE(Valid({}, ZCU_ALL));
  EXPECT_FALSE(parser.IsDestValidForHW(nullptr, ZCU_ALL));
  // The first match wins; later elements are not needed.
  EXPECT_TRUE(Valid({"XXX", "$NONE", "J40"}, ZCU_J40));
}

TEST_F(FileInfoParserTest, SymbolsFollowTheirPairRules) {
  ASSERT_EQ(PrepareBody("{SYMB=OTHER;O=H40;}{SYMB=DEST;A=J40;A=H50;EMPTY=,QMS;NOEQ;B=H30,;LAST=H40}"
                        "{SYMB=DEST;C=H40;}"),
            SR_OK);
  EXPECT_FALSE(Valid({"$O"}, ZCU_H40));  // not the DEST symbols
  EXPECT_TRUE(Valid({"$A"}, ZCU_H50));   // defined twice: the second list
  EXPECT_FALSE(Valid({"$A"}, ZCU_J40));
  EXPECT_TRUE(Valid({"$B"}, ZCU_H30));
  EXPECT_FALSE(Valid({"$LAST"}, ZCU_H40));  // no ";" after it
  EXPECT_FALSE(Valid({"$C"}, ZCU_H40));     // only the first SYMB=DEST object counts
  EXPECT_FALSE(Valid({"$NOEQ"}, ZCU_H40));
  // A list text that begins with a comma holds an empty element, which
  // matches every kind.
  for (LoadableZCU_Type kind : {ZCU_H40, ZCU_J40, ZCU_H30, ZCU_ALL}) EXPECT_TRUE(Valid({"$EMPTY"}, kind));
}

TEST_F(FileInfoParserTest, SecondPrepareAddsAndReplacesSymbols) {
  ASSERT_EQ(PrepareBody("{SYMB=DEST;A=J40;B=H30;}"), SR_OK);
  Scratch other;
  WriteFile(other.pkg + "KMA2", InfoFile("{FP=NEW;}{SYMB=DEST;A=QMS;C=H50;}"));
  ASSERT_EQ(parser.Prepare(other.pkg.c_str()), SR_OK);
  EXPECT_TRUE(Valid({"$A"}, ZCU_QMS));
  EXPECT_FALSE(Valid({"$A"}, ZCU_J40));
  EXPECT_TRUE(Valid({"$B"}, ZCU_H30));
  EXPECT_TRUE(Valid({"$C"}, ZCU_H50));
  EXPECT_EQ(parser.GetFilePackageInfo().name, "NEW");
}

TEST_F(FileInfoParserTest, FailedCloseIsReportedButPrepareSucceeds) {
  WriteFile(scratch.pkg + "KMA0001", InfoFile(kWorkedExample));
  RecordingHost host;
  host.handlerExists = true;
  FaultyFileSystem files;
  files.failCloseAt = 1;
  EXPECT_EQ(parser.Prepare(scratch.pkg.c_str()), SR_OK);
  const auto raised = host.CallsNamed("RaiseError");
  ASSERT_EQ(raised.size(), 1U);
  EXPECT_EQ(raised[0].text, "fclose(fileInfoFile) == 0");
  EXPECT_EQ(host.Texts("LogError", EK_CHECK), std::vector<std::string>{"fclose(fileInfoFile) == 0"});
  EXPECT_EQ(host.CallsNamed("LogError").at(0).file, "swload/file_info_parser.cpp");
  EXPECT_EQ(parser.GetFilePackageInfo().name, "PKG01");  // the text was read all the same
}

TEST_F(FileInfoParserTest, FailuresToFindTheFileAreNotReportedToTheHost) {
  RecordingHost host;
  host.handlerExists = true;
  EXPECT_EQ(parser.Prepare(scratch.pkg.c_str()), SR_FILE_OPEN_FAILED);
  WriteFile(scratch.pkg + "KMA0001", InfoFile(kWorkedExample));
  {
    FaultyFileSystem files;
    files.failOpenContaining = "KMA0001";
    EXPECT_EQ(parser.Prepare(scratch.pkg.c_str()), SR_FILE_OPEN_FAILED);
  }
  EXPECT_TRUE(host.CallsNamed("RaiseError").empty());
  EXPECT_TRUE(host.CallsNamed("LogError").empty());
  const auto enters = host.CallsNamed("StoreEnter");
  ASSERT_FALSE(enters.empty());
  EXPECT_EQ(enters[0].text, "CFileInfoParser::Prepare()");
  EXPECT_EQ(host.CallsNamed("StoreEnter").size(), host.CallsNamed("StoreReturn").size());
}

TEST_F(FileInfoParserTest, HostileTextNeverBreaksTheParser) {
  std::mt19937 random(12345);
  for (int round = 0; round < 40; ++round) {
    std::string body(static_cast<size_t>(random() % 3000), '\0');
    const char alphabet[] = "{}=;,$#FPLFSIZEDESTBOOTSYMB\n \x01\xff";
    for (char& ch : body)
      ch = round % 2 == 0 ? static_cast<char>(random()) : alphabet[random() % (sizeof alphabet - 1)];
    ASSERT_EQ(PrepareBody(body), SR_OK);
    LoadFiles out;
    const ServiceResult result = parser.GetLoadFiles(out.files);
    EXPECT_TRUE(result == SR_OK || result == SR_FAILED);
    for (const LoadFileStruct& loadFile : out.files) {
      ASSERT_NE(loadFile.subFiles, nullptr);
      for (const SubFileStruct& subFile : *loadFile.subFiles) {
        ASSERT_NE(subFile.destList, nullptr);
        ASSERT_NE(subFile.bootList, nullptr);
        EXPECT_GE(subFile.size, 0);
        parser.IsDestValidForHW(subFile.destList, ZCU_ALL);
      }
    }
    parser.GetFilePackageInfo();
  }
}

TEST_F(FileInfoParserTest, MegabytesOfCommasAndBracesComplete) {
  // A large symbol list of commas, a large destination list, deep nesting.
  std::string body = "{FP=P;{LF=L;{F=A;SIZE=1;DEST=" + std::string(2000000, ',') + "H40;}}" + std::string(500000, '{') +
                     "}{SYMB=DEST;S=" + std::string(2000000, ',') + "H30;}" + std::string(500000, '}');
  ASSERT_EQ(PrepareBody(body), SR_OK);
  LoadFiles out;
  ASSERT_EQ(parser.GetLoadFiles(out.files), SR_OK);
  EXPECT_EQ(Items(out.Sub(0, 0).destList), std::vector<std::string>{"H40"});
  // The SYMB object sits inside the deep braces: not a top-level object.
  EXPECT_FALSE(Valid({"$S"}, ZCU_H30));

  const std::string symbols = "{FP=P;}{SYMB=DEST;S=" + std::string(5000000, ',') + "H30;}";
  ASSERT_EQ(PrepareBody(symbols), SR_OK);
  EXPECT_TRUE(Valid({"$S"}, ZCU_H30));
  EXPECT_TRUE(Valid({"$S"}, ZCU_QMS));  // the empty elements match every kind
}

TEST_F(FileInfoParserTest, FlashCardPresenceNeedsAnEntry) {
  CString missing((scratch.root + "nocard/").c_str());
  EXPECT_EQ(parser.IsFlashCardPresent(missing), 0);
  CString card(scratch.card.c_str());
  EXPECT_EQ(parser.IsFlashCardPresent(card), 0);
  ::mkdir((scratch.card + "GLOBAL").c_str(), 0755);
  EXPECT_NE(parser.IsFlashCardPresent(card), 0);
  EXPECT_EQ(card, scratch.card.c_str());
}

}  // namespace
