// Collection, layout and writing of the section, over .res files built byte by byte.
#include <cstring>

#include "res_support.h"

namespace resbind::test {
namespace {

using Strings = std::vector<std::string>;

TEST(Exports, VersionQueryAnswers20001) { EXPECT_EQ(GetResBindVersion(), 0x00020001u); }

TEST_F(ResbindTest, SingleOrdinalResourceHasAnEightyEightByteDirectoryFollowedByItsData) {
  Write("one.res", ResFile({{10, 7, Text("abcd")}}));
  LinkRun run = Link({Path("one.res")});
  ASSERT_EQ(run.result, 1) << ::testing::PrintToString(Texts());
  Section s = ReadSection(run.output, 0x1000);
  EXPECT_EQ(s.directoryEnd, 88u);
  ASSERT_EQ(s.leaves.size(), 1u);
  EXPECT_EQ(s.leaves[0].rva, 0x1000u + 88);
  EXPECT_EQ(s.leaves[0].data, Text("abcd"));
  EXPECT_EQ(run.sectionSize, 512u);
  EXPECT_EQ(run.output.size(), 512u);
  EXPECT_TRUE(Messages().empty());
}

TEST_F(ResbindTest, TwoLanguagesShareTheirTypeAndNameDirectories) {
  Write("two.res", ResFile({{5, 100, Text("english"), 0x409}, {5, 100, Text("german"), 0x407}}));
  LinkRun run = Link({Path("two.res")});
  ASSERT_EQ(run.result, 1);
  Section s = ReadSection(run.output, 0x1000);
  EXPECT_EQ(s.directoryEnd, 112u);
  ASSERT_EQ(s.leaves.size(), 2u);
  EXPECT_EQ(s.leaves[0].language, 0x407);  // ascending language ids
  EXPECT_EQ(s.leaves[1].language, 0x409);
  EXPECT_EQ(s.leaves[1].data, Text("english"));
}

TEST_F(ResbindTest, DataArePaddedToFourAndTheSectionToTheFileAlignment) {
  Write("five.res", ResFile({{10, 1, Text("12345")}, {10, 2, Text("xy")}}));
  LinkRun run = Link({Path("five.res")}, 0, 0x200, 0x1000, 0x5000);
  ASSERT_EQ(run.result, 1);
  Section s = ReadSection(run.output, 0x5000);
  ASSERT_EQ(s.leaves.size(), 2u);
  EXPECT_EQ(s.leaves[1].rva - s.leaves[0].rva, 8u);  // five bytes take eight
  EXPECT_EQ(s.leaves[0].data, Text("12345"));
  EXPECT_EQ(run.sectionSize % 0x200, 0u);
  EXPECT_EQ(run.output.size(), run.sectionSize);
}

TEST_F(ResbindTest, LongNamesAreCutTo255CodeUnits) {
  std::u16string longName(300, u'N');
  Write("long.res", ResFile({{u"T", longName, Text("d")}}));
  LinkRun run = Link({Path("long.res")});
  ASSERT_EQ(run.result, 1);
  Section s = ReadSection(run.output, 0x1000);
  ASSERT_EQ(s.leaves.size(), 1u);
  EXPECT_EQ(s.leaves[0].name, std::string(255, 'N'));
  EXPECT_EQ(s.leaves[0].type, "T");
}

TEST_F(ResbindTest, UnpaddedLastEntryEndingTheFileIsRead) {
  Write("end.res", ResFile({{10, 1, Text("abcd")}, {10, 2, Text("xyz")}}, false));
  LinkRun run = Link({Path("end.res")});
  ASSERT_EQ(run.result, 1) << ::testing::PrintToString(Texts());
  Section s = ReadSection(run.output, 0x1000);
  ASSERT_EQ(s.leaves.size(), 2u);
  EXPECT_EQ(s.leaves[1].data, Text("xyz"));
}

TEST_F(ResbindTest, EntriesAreSortedStringsFirstThenOrdinalsAscending) {
  // String ordering is by unsigned code unit, a prefix first; ordinals numerically.
  Write("a.res", ResFile({{300, 2, Text("a")},
                          {u"\x8000X", 1, Text("b")},
                          {u"AB", 1, Text("c")},
                          {u"A", u"Z", Text("d")},
                          {u"A", 1, Text("e")},
                          {u"A", u"Y", Text("f")},
                          {2, 1, Text("g")},
                          {u"b", 1, Text("h")}}));
  LinkRun run = Link({Path("a.res")});
  ASSERT_EQ(run.result, 1);
  Section s = ReadSection(run.output, 0x1000);
  EXPECT_TRUE(s.sorted);
  Strings order;
  for (const Leaf& l : s.leaves) order.push_back(l.type + "/" + l.name);
  EXPECT_EQ(order, (Strings{"A/Y", "A/Z", "A/#1", "AB/#1", "b/#1", "?X/#1", "#2/#1", "#300/#2"}));
}

TEST_F(ResbindTest, DirectoriesCarryTheNewestInputTimeStamp) {
  Write("a.res", ResFile({{10, 1, Text("a")}}));
  Write("b.res", ResFile({{10, 2, Text("b")}}));
  std::filesystem::last_write_time(
      Path("a.res"), std::filesystem::file_time_type::clock::now() - std::chrono::hours(48));
  LinkRun run = Link({Path("a.res"), Path("b.res")});
  ASSERT_EQ(run.result, 1);
  auto newest = std::filesystem::last_write_time(Path("b.res"));
  auto seconds = std::chrono::duration_cast<std::chrono::seconds>(
      std::chrono::file_clock::to_sys(newest).time_since_epoch());
  EXPECT_EQ(ReadSection(run.output, 0x1000).timeStamp, uint32_t(seconds.count()));
}

TEST_F(ResbindTest, TypeLibraryBecomesOneTypelibResource) {
  Bytes lib = Text("MSFT");
  lib.resize(100, 0x5A);
  Write("x.tlb", lib);
  LinkRun run = Link({Path("x.tlb")});
  ASSERT_EQ(run.result, 1);
  Section s = ReadSection(run.output, 0x1000);
  ASSERT_EQ(s.leaves.size(), 1u);
  EXPECT_EQ(s.leaves[0].type, "TYPELIB");
  EXPECT_EQ(s.leaves[0].name, "#1");
  EXPECT_EQ(s.leaves[0].data, lib);
}

Bytes SixteenBit(uint8_t typeMarker, uint16_t type, const std::string& name, const Bytes& data) {
  Bytes f;
  f.reserve(12 + name.size() + data.size());  // g++ 12 misreads the inserts' bounds otherwise
  for (uint8_t b : {typeMarker, uint8_t(type), uint8_t(type >> 8)}) f.push_back(b);
  f.insert(f.end(), name.begin(), name.end());
  f.push_back(0);
  f.push_back(0x30);  // memory flags
  f.push_back(0);
  for (int i = 0; i < 4; ++i) f.push_back(uint8_t(data.size() >> (8 * i)));
  f.insert(f.end(), data.begin(), data.end());
  return f;
}

TEST_F(ResbindTest, SixteenBitFileGivesItsRcdataWhenAccepted) {
  Write("old.res", SixteenBit(0xFF, 10, "CONFIG", Text("payload")));
  LinkRun run = Link({Path("old.res")}, RESBIND_ACCEPT_16BIT);
  ASSERT_EQ(run.result, 1) << ::testing::PrintToString(Texts());
  Section s = ReadSection(run.output, 0x1000);
  ASSERT_EQ(s.leaves.size(), 1u);
  EXPECT_EQ(s.leaves[0].type, "#10");
  EXPECT_EQ(s.leaves[0].name, "CONFIG");
  EXPECT_EQ(s.leaves[0].language, 0);
  EXPECT_EQ(s.leaves[0].data, Text("payload"));
}

struct Refusal {
  const char* what;
  Bytes file;
  uint32_t flags;
  const char* message;  // without the file name
};

std::vector<Refusal> Refusals() {
  Bytes good = ResFile({{10, 1, Text("abcdefgh")}});
  Bytes truncatedData(good.begin(), good.end() - 5);
  Bytes lyingSize = good;
  Put32(lyingSize, 32, 0x7ffffff0);  // DataSize far beyond the file
  Bytes zeroHeader = good;
  Put32(zeroHeader, 36, 0);
  Bytes hugeHeader = good;
  Put32(hugeHeader, 36, 5000);
  Bytes headerBeyondFile(good.begin(), good.begin() + 40);
  Bytes unterminatedName = ResFile({{u"TYPE", 1, Text("a")}});
  unterminatedName.resize(32 + 8 + 4);  // the string runs to the end of the file
  Bytes tinyFixed = good;
  Put32(tinyFixed, 36, 20);  // too small for the fixed fields
  const char* kFormat = "Resource format not recognized in file";
  return {
      {"data cut short", truncatedData, 0, kFormat},
      {"DataSize beyond the file", lyingSize, 0, kFormat},
      {"HeaderSize zero", zeroHeader, 0, kFormat},
      {"HeaderSize beyond one read", hugeHeader, 0, kFormat},
      {"header cut short", headerBeyondFile, 0, kFormat},
      {"name without terminator", unterminatedName, 0, kFormat},
      {"HeaderSize too small", tinyFixed, 0, kFormat},
      {"not a resource file", Text("MZ plain text"), 0, kFormat},
      {"empty file", {}, 0, kFormat},
      {"16-bit file without the flag", SixteenBit(0xFF, 10, "A", Text("x")), 0, kFormat},
      {"16-bit icon", SixteenBit(0xFF, 3, "A", Text("x")), RESBIND_ACCEPT_16BIT,
       "Unsupported 16bit resource in file"},
      {"16-bit string type", SixteenBit('A', 10, "A", Text("x")), RESBIND_ACCEPT_16BIT,
       "Unsupported 16bit resource in file"},
      {"16-bit size beyond the file",
       [] {
         Bytes b = SixteenBit(0xFF, 10, "A", Text("x"));
         Put32(b, b.size() - 5, 0x40);
         return b;
       }(),
       RESBIND_ACCEPT_16BIT, kFormat},
  };
}

TEST_F(ResbindTest, MalformedInputsAreRefusedNamingTheFile) {
  Write("good.res", ResFile({{10, 1, Text("abcdefgh")}}));
  for (const Refusal& r : Refusals()) {
    SCOPED_TRACE(r.what);
    FileHost::Messages().clear();
    std::string name = Write("bad.res", r.file);
    LinkRun run = Link({Path("good.res"), name}, r.flags);
    EXPECT_EQ(run.result, 0);
    ASSERT_EQ(Messages().size(), 1u) << ::testing::PrintToString(Texts());
    EXPECT_EQ(Messages()[0].text, "RESBIND: " + std::string(r.message) + " \"" + name + "\"");
    EXPECT_EQ(Messages()[0].severity, 0);
    EXPECT_EQ(Messages()[0].number, 7553);
  }
}

TEST_F(ResbindTest, MissingInputIsAnOpenError) {
  LinkRun run = Link({Path("absent.res")});
  EXPECT_EQ(run.result, 0);
  EXPECT_EQ(Texts(), Strings{"RESBIND: Error opening file \"" + Path("absent.res") + "\""});
}

TEST_F(ResbindTest, LongFileNamesAreShortenedInMessages) {
  std::string folder = Path(std::string(150, 'd'));
  std::filesystem::create_directory(folder);
  LinkRun run = Link({folder + "/absent.res"});
  EXPECT_EQ(run.result, 0);
  EXPECT_EQ(Texts(), Strings{"RESBIND: Error opening file \".../absent.res\""});
}

TEST_F(ResbindTest, MoreEntriesThanTheTableHoldsAreRefused) {
  std::vector<Res> many(3625, Res{10, 1, {}});
  Write("full.res", ResFile(many));
  EXPECT_EQ(Link({Path("full.res")}).result, 1);
  many.push_back(Res{10, 2, {}});
  Write("over.res", ResFile(many));
  EXPECT_EQ(Link({Path("over.res")}).result, 0);
  EXPECT_EQ(Texts(), Strings{"RESBIND: Too many resources to handle."});
}

TEST_F(ResbindTest, EmptyInputListHasNoResources) {
  LinkRun run = Link({});
  EXPECT_EQ(run.result, 0);
  ASSERT_EQ(Messages().size(), 1u);
  EXPECT_EQ(Messages()[0].text, "No resources.");
  EXPECT_EQ(Messages()[0].severity, 2);
  EXPECT_EQ(Messages()[0].number, 7361);
}

TEST_F(ResbindTest, ZeroAlignmentIsAnInternalError) {
  Write("one.res", ResFile({{10, 1, Text("a")}}));
  for (auto [file, section] : {std::pair{0u, 4096u}, std::pair{512u, 0u}}) {
    FileHost::Messages().clear();
    LinkRun run = Link({Path("one.res")}, 0, file, section);
    EXPECT_EQ(run.result, 0);
    ASSERT_EQ(Messages().size(), 1u);
    EXPECT_EQ(Messages()[0].text, "RESBIND: Internal software error!");
    EXPECT_EQ(Messages()[0].severity, 0);
  }
  // A list-only run needs no alignment.
  FileHost::Messages().clear();
  EXPECT_EQ(Link({Path("one.res")}, RESBIND_LIST_ONLY, 0, 0).result, 1);
}

// The host's read fails for the file whose name it is told.
std::string failingName;
int32_t RESBIND_CALLBACK FailingRead(int32_t handle, void* buffer, uint32_t count) {
  const char* name = FileHost::Callbacks().FileName(handle);
  if (name && failingName == name) return -1;
  return FileHost::Callbacks().Read(handle, buffer, count);
}

TEST_F(ResbindTest, FailingReadOfTheSecondFileStopsTheLinkAndNamesIt) {
  Write("a.res", ResFile({{10, 1, Text("a")}}));
  Write("b.res", ResFile({{10, 2, Text("b")}}));
  failingName = Path("b.res");
  callbacks_.Read = FailingRead;
  LinkRun run = Link({Path("a.res"), Path("b.res")});
  EXPECT_EQ(run.result, 0);
  EXPECT_EQ(Texts(), Strings{"RESBIND: Error reading file \"" + Path("b.res") + "\""});
}

TEST_F(ResbindTest, WriteResObjWithNothingLaidOutWritesNothingAndSaysNothing) {
  ResBindRequest r{};
  r.FileAlignment = 512;
  r.SectionAlignment = 4096;
  r.SectionRva = 0x1000;
  int32_t handle = callbacks_.CreateOutput(Path("out.bin").c_str());
  r.OutputHandle = handle;
  EXPECT_EQ(WriteResObj(&callbacks_, &r), 0);
  callbacks_.Close(handle);
  EXPECT_TRUE(ReadBack("out.bin").empty());
  EXPECT_TRUE(Messages().empty());
  r.SectionRva = 0;  // a missing address is the caller's fault
  EXPECT_EQ(WriteResObj(&callbacks_, &r), 0);
  EXPECT_EQ(Texts(), Strings{"RESBIND: Internal software error!"});
}

TEST_F(ResbindTest, VerboseRunListsTheResources) {
  Res version{16, 1, Text("12345")};
  version.version = 0x10;
  version.dataVersion = 2;
  Res plain{u"MYTYPE", u"DATA", Text("xy"), 0};
  plain.memoryFlags = 0;
  Write("a.res", ResFile({version, plain, {300, 4, Bytes(1234567, 0)}}));
  LinkRun run = Link({Path("a.res")}, RESBIND_VERBOSE);
  ASSERT_EQ(run.result, 1);
  Strings expected = {
      "RESBIND Resource Linker  Version 0.03",
      "Input resource file #1: \"" + Path("a.res") + "\"",
      "Reading resource files.",
      "RESOURCE LIST",
      "Key: The attributes Language, Data Version, Version, and Characteristics are",
      "shown in hex.  They appear only if they are nonzero.  *Discardable resource.",
      "Type ID            Name ID               File  Size   Language Data Version",
      "MYTYPE             DATA                  1        2",
      "16 (VERSIONINFO)   1                     1        5 * 0x0409   0x00000002",
      "                Version = 0x00000010   Characteristics = 0000000000",
      "300 (user-defined) 4                     1   999999 * 0x0409",
      "Writing resources.",
      "Resources linked.",
  };
  EXPECT_EQ(Texts(), expected);
  for (const auto& m : Messages()) {
    EXPECT_EQ(m.severity, 5);
    EXPECT_EQ(m.number, -1);
  }
}

TEST_F(ResbindTest, ListOnlyWritesNothingAndReleasesItsInputs) {
  Write("a.res", ResFile({{10, 1, Text("a")}}));
  LinkRun run = Link({Path("a.res")}, RESBIND_LIST_ONLY);
  EXPECT_EQ(run.result, 1);
  EXPECT_EQ(run.sectionSize, 0u);
}

}  // namespace
}  // namespace resbind::test
