// Resources that occur in more than one input file.
#include "res_support.h"

namespace resbind::test {
namespace {

using Strings = std::vector<std::string>;

Bytes Group(const std::vector<uint16_t>& members) {
  Bytes g(6 + 14 * members.size(), 0);
  Put16(g, 2, 1);
  Put16(g, 4, uint16_t(members.size()));
  for (size_t i = 0; i < members.size(); ++i) {
    g[6 + 14 * i] = 16;  // width, for the eye
    Put16(g, 6 + 14 * i + 12, members[i]);
  }
  return g;
}

Bytes FontDir(const std::vector<std::pair<uint16_t, bool>>& fonts) {  // ordinal, long entry
  Bytes d(2, 0);
  Put16(d, 0, uint16_t(fonts.size()));
  for (auto [ordinal, isLong] : fonts) {
    Bytes e(isLong ? 162 : 152, uint8_t(ordinal));
    Put16(e, 0, ordinal);
    Put16(e, 2, isLong ? 0x0200 : 0x0300);
    d.insert(d.end(), e.begin(), e.end());
  }
  return d;
}

std::vector<std::string> Keys(const Section& s) {
  Strings keys;
  for (const Leaf& l : s.leaves)
    keys.push_back(l.type + "/" + l.name + "/" + std::to_string(l.language));
  return keys;
}

const Leaf* Find(const Section& s, const std::string& type, const std::string& name) {
  for (const Leaf& l : s.leaves)
    if (l.type == type && l.name == name) return &l;
  return nullptr;
}

class Duplicates : public ResbindTest {
 protected:
  Section LinkTwo(const std::vector<Res>& a, const std::vector<Res>& b) {
    Write("a.res", ResFile(a));
    Write("b.res", ResFile(b));
    LinkRun run = Link({Path("a.res"), Path("b.res")});
    EXPECT_EQ(run.result, 1) << ::testing::PrintToString(Texts());
    return run.result ? ReadSection(run.output, 0x1000) : Section{};
  }
  std::string Kept(const std::string& kept, const std::string& discarded) {
    return "    File " + Path(kept) + " resource kept; file " + Path(discarded) +
           " resource discarded.";
  }
};

TEST_F(ResbindTest, SingleInputKeepsIdenticalEntries) {
  Write("a.res", ResFile({{5, 100, Text("one")}, {5, 100, Text("two")}}));
  LinkRun run = Link({Path("a.res")});
  ASSERT_EQ(run.result, 1);
  EXPECT_EQ(ReadSection(run.output, 0x1000).leaves.size(), 2u);
  EXPECT_TRUE(Messages().empty());
}

TEST_F(Duplicates, NamedTypeKeepsTheLaterFile) {
  Section s = LinkTwo({{u"MYTYPE", u"X", Text("first")}}, {{u"MYTYPE", u"X", Text("second")}});
  ASSERT_EQ(s.leaves.size(), 1u);
  EXPECT_EQ(s.leaves[0].data, Text("second"));
  EXPECT_EQ(
      Texts(),
      (Strings{"WARNING. Duplicate resource(s):", "  Type MYTYPE, ID X:", Kept("b.res", "a.res")}));
  EXPECT_EQ(Messages()[0].severity, 2);
  EXPECT_EQ(Messages()[1].severity, 5);
  EXPECT_EQ(Messages()[2].severity, 5);
}

TEST_F(Duplicates, NumberedTypeKeepsTheEarlierFileAndOtherLanguagesStay) {
  Section s = LinkTwo(
      {{5, 100, Text("first")}, {300, u"N", Text("own")}},
      {{5, 100, Text("second")}, {5, 100, Text("german"), 0x407}, {300, u"N", Text("dup")}});
  EXPECT_EQ(Keys(s), (Strings{"#5/#100/1031", "#5/#100/1033", "#300/N/1033"}));
  EXPECT_EQ(s.leaves[1].data, Text("first"));
  EXPECT_EQ(s.leaves[2].data, Text("own"));
  EXPECT_EQ(Texts(), (Strings{"WARNING. Duplicate resource(s):", "  Type  5 (DIALOG), ID 100:",
                              Kept("a.res", "b.res"),
                              "  Type 300 (user-defined), ID N:", Kept("a.res", "b.res")}));
}

TEST_F(Duplicates, StringTablesSharingABlockAreMergedSlotBySlot) {
  Section s =
      LinkTwo({{6, 1, StringBlock({u"", u"one", u"", u"three"})}, {6, 2, StringBlock({u"x"})}},
              {{6, 1, StringBlock({u"zero", u"", u"", u"THREE", u"four"})},
               {6, 1, StringBlock({u"null"}), 0x407}});
  EXPECT_EQ(Keys(s), (Strings{"#6/#1/1031", "#6/#1/1033", "#6/#2/1033"}));
  EXPECT_EQ(s.leaves[1].data, StringBlock({u"zero", u"one", u"", u"three", u"four"}));
  EXPECT_EQ(Texts(), (Strings{"WARNING. Duplicate resource(s):", "  Type  6 (STRING), ID 3:",
                              "    File " + Path("a.res") + " string kept: \"three\"",
                              "    File " + Path("b.res") + " string discarded: \"THREE\""}));
}

TEST_F(Duplicates, ThreeFilesKeepMergingIntoTheFirstBlock) {
  Write("a.res", ResFile({{6, 4, StringBlock({u"a"})}}));
  Write("b.res", ResFile({{6, 4, StringBlock({u"", u"b"})}}));
  Write("c.res", ResFile({{6, 4, StringBlock({u"", u"", u"c"})}}));
  LinkRun run = Link({Path("a.res"), Path("b.res"), Path("c.res")}, RESBIND_VERBOSE);
  ASSERT_EQ(run.result, 1);
  Section s = ReadSection(run.output, 0x1000);
  ASSERT_EQ(s.leaves.size(), 1u);
  EXPECT_EQ(s.leaves[0].data, StringBlock({u"a", u"b", u"c"}));
  // A merged block is held in memory: the listing shows no file number for it.
  Strings texts = Texts();
  std::string line = " 6 (STRINGTABLE)   4" + std::string(29, ' ') + "38 * 0x0409";
  EXPECT_NE(std::find(texts.begin(), texts.end(), line), texts.end())
      << ::testing::PrintToString(texts);
}

TEST_F(Duplicates, StringTableWithAStringNameIsAnInternalError) {
  Write("a.res", ResFile({{6, u"ODD", StringBlock({u"a"})}}));
  Write("b.res", ResFile({{6, 1, StringBlock({u"b"})}}));
  EXPECT_EQ(Link({Path("a.res"), Path("b.res")}).result, 0);
  EXPECT_EQ(Texts(), Strings{"RESBIND: Internal software error!"});
}

TEST_F(Duplicates, FontDirectoriesMergeInOrdinalOrderKeepingTheEarlierFont) {
  Section s = LinkTwo({{7, u"FONTDIR", FontDir({{1, false}, {3, false}})}},
                      {{7, u"FONTDIR", FontDir({{2, true}, {3, true}})}});
  ASSERT_EQ(s.leaves.size(), 1u);
  EXPECT_EQ(s.leaves[0].data, [] {
    Bytes merged = FontDir({{1, false}, {2, true}, {3, false}});
    return merged;
  }());
  EXPECT_TRUE(Messages().empty());
}

TEST_F(Duplicates, IconGroupOfTheSameNameDropsTheLaterGroupAndItsImages) {
  Section s = LinkTwo({{3, 1, Text("a-16")}, {3, 2, Text("a-32")}, {14, u"APP", Group({1, 2})}},
                      {{3, 1, Text("b-16")}, {14, u"APP", Group({1})}});
  EXPECT_EQ(Keys(s), (Strings{"#3/#1/1033", "#3/#2/1033", "#14/APP/1033"}));
  EXPECT_EQ(Find(s, "#3", "#1")->data, Text("a-16"));
  EXPECT_EQ(Texts(), (Strings{"WARNING. Duplicate resource(s):", "  Type 14 (ICON GROUP), ID APP:",
                              Kept("a.res", "b.res")}));
}

TEST_F(Duplicates, GroupsOfOtherNamesGetTheirImagesRenumbered) {
  Section s = LinkTwo({{1, 1, Text("a-cursor")},
                       {3, 1, Text("a-16")},
                       {3, 2, Text("a-32")},
                       {12, 300, Group({1})},
                       {14, u"APP", Group({1, 2})}},
                      {{1, 1, Text("b-cursor")},
                       {3, 1, Text("b-16")},
                       {3, 2, Text("b-32")},
                       {12, 301, Group({1})},
                       {14, u"TOOL", Group({2, 1})},
                       {14, u"ZED", Group({1})}});
  EXPECT_TRUE(s.sorted);
  EXPECT_EQ(Keys(s), (Strings{"#1/#1/1033", "#1/#2/1033", "#3/#1/1033", "#3/#2/1033", "#3/#3/1033",
                              "#3/#4/1033", "#12/#300/1033", "#12/#301/1033", "#14/APP/1033",
                              "#14/TOOL/1033", "#14/ZED/1033"}));
  EXPECT_EQ(Find(s, "#1", "#2")->data, Text("b-cursor"));
  EXPECT_EQ(Find(s, "#3", "#3")->data, Text("b-16"));
  EXPECT_EQ(Find(s, "#3", "#4")->data, Text("b-32"));
  EXPECT_EQ(Find(s, "#12", "#301")->data, Group({2}));
  EXPECT_EQ(Find(s, "#14", "TOOL")->data, Group({4, 3}));
  EXPECT_EQ(Find(s, "#14", "ZED")->data, Group({3}));
  EXPECT_EQ(Find(s, "#14", "APP")->data, Group({1, 2}));
  EXPECT_TRUE(Messages().empty());
}

TEST_F(Duplicates, GroupsWithoutImagesAreRefused) {
  for (auto [group, message] : {std::pair{14, "RESBIND: Error in ICONDIR. Cannot find ICON."},
                                std::pair{12, "RESBIND: Error in CURSDIR. Cannot find CURSOR."}}) {
    FileHost::Messages().clear();
    Write("a.res", ResFile({{group, 1, Group({1})}}));
    Write("b.res", ResFile({{group, 2, Group({1})}}));
    EXPECT_EQ(Link({Path("a.res"), Path("b.res")}).result, 0);
    EXPECT_EQ(Texts(), Strings{message});
  }
}

TEST_F(Duplicates, DiscardedGroupWhoseImageIsMissingIsAnInternalError) {
  Write("a.res", ResFile({{3, 1, Text("a")}, {14, u"APP", Group({1})}}));
  Write("b.res", ResFile({{14, u"APP", Group({7})}}));
  EXPECT_EQ(Link({Path("a.res"), Path("b.res")}).result, 0);
  EXPECT_EQ(Texts(), Strings{"RESBIND: Internal software error!"});
}

TEST_F(Duplicates, MalformedGroupDataIsRefusedNamingTheFile) {
  Write("a.res", ResFile({{3, 1, Text("a")}, {14, u"APP", Group({1})}}));
  Bytes lying = Group({1});
  Put16(lying, 4, 500);  // more members than the data hold
  Write("b.res", ResFile({{3, 1, Text("b")}, {14, u"APP", lying}}));
  EXPECT_EQ(Link({Path("a.res"), Path("b.res")}).result, 0);
  EXPECT_EQ(Texts(),
            Strings{"RESBIND: Resource format not recognized in file \"" + Path("b.res") + "\""});
}

}  // namespace
}  // namespace resbind::test
