// Rewriting real executables made by the MinGW-w64 tools: the failures that must leave the
// executable as it was, and the section moves that must keep it consistent.
#include <cstring>

#include "res_support.h"

#ifdef RESBIND_FIXTURES

namespace resbind::test {
namespace {

using Strings = std::vector<std::string>;

struct PeSection {
  std::string name;
  uint32_t virtualSize, va, rawSize, rawPtr;
};

struct Pe {
  explicit Pe(const Bytes& b) {
    pe = Get32(b, 60);
    size_t opt = pe + 24;
    sizeOfImage = Get32(b, opt + 56);
    sectionAlignment = Get32(b, opt + 32);
    for (int i = 0; i < 16; ++i)
      dirs.push_back({Get32(b, opt + 96 + 8 * i), Get32(b, opt + 100 + 8 * i)});
    size_t table = opt + Get16(b, pe + 20);
    for (size_t i = 0, n = Get16(b, pe + 6); i < n; ++i) {
      size_t at = table + 40 * i;
      std::string name(reinterpret_cast<const char*>(&b[at]), 8);
      name.resize(strnlen(name.c_str(), 8));
      sections.push_back(
          {name, Get32(b, at + 8), Get32(b, at + 12), Get32(b, at + 16), Get32(b, at + 20)});
    }
  }
  const PeSection* Find(const std::string& name) const {
    for (const auto& s : sections)
      if (s.name == name) return &s;
    return nullptr;
  }
  size_t pe;
  uint32_t sizeOfImage, sectionAlignment;
  std::vector<std::pair<uint32_t, uint32_t>> dirs;
  std::vector<PeSection> sections;
};

uint32_t AlignUp(uint32_t v, uint32_t a) { return (v + a - 1) / a * a; }

class Binding : public ResbindTest {
 protected:
  std::string Fixture(const std::string& name) {
    Bytes b = ReadBack(std::string(RESBIND_FIXTURES) + "/" + name);
    EXPECT_FALSE(b.empty()) << name;
    return Write(name, b);
  }
  // GetResObjSize over the inputs, then BindToExe; the result of the second.
  int32_t Bind(const std::vector<std::string>& inputs, const std::string& exe, uint32_t flags = 0,
               const std::string& output = "") {
    nodes_.assign(inputs.size(), {});
    for (size_t i = 0; i < inputs.size(); ++i)
      nodes_[i] = {i + 1 < inputs.size() ? &nodes_[i + 1] : nullptr, inputs[i].c_str()};
    ResBindRequest r{};
    r.Flags = flags;
    r.FileAlignment = 512;
    r.SectionAlignment = 4096;
    r.InputList = nodes_.data();
    r.ExeName = exe.c_str();
    r.OutputName = output.c_str();
    if (!inputs.empty() && !GetResObjSize(&callbacks_, &r)) return -1;
    return BindToExe(&callbacks_, &r);
  }
  int32_t Remove(const std::string& exe) {
    ResBindRequest r{};
    r.ExeName = exe.c_str();
    return RemoveFromExe(&callbacks_, &r);
  }
  Strings Folder() {
    Strings names;
    for (const auto& e : std::filesystem::directory_iterator(dir_))
      names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }
  std::string Unrecognized(const std::string& path) {
    return "RESBIND: Executable format not recognized in file \"" + path + "\"";
  }
};

struct Corruption {
  const char* what;
  std::function<void(Bytes&)> apply;
};

TEST_F(Binding, MalformedExecutablesAreRefusedAndLeftUnchanged) {
  std::string res = Write("one.res", ResFile({{10, 1, Text("abcd")}}));
  Bytes original = ReadBack(Fixture("withres.exe"));
  const Pe pe(original);
  const size_t table = pe.pe + 24 + 224;
  std::vector<Corruption> corruptions = {
      {"plain text", [](Bytes& b) { b = Text("this is not an executable"); }},
      {"no PE signature", [&](Bytes& b) { b[pe.pe + 1] = 'X'; }},
      {"PE header offset beyond the file", [](Bytes& b) { Put32(b, 60, 0x7ffffff0); }},
      {"PE header offset near the end", [](Bytes& b) { Put32(b, 60, uint32_t(b.size() - 60)); }},
      {"cut after the PE header", [&](Bytes& b) { b.resize(pe.pe + 100); }},
      {"64-bit optional header", [&](Bytes& b) { Put16(b, pe.pe + 24, 0x20B); }},
      {"section table beyond the headers", [&](Bytes& b) { Put16(b, pe.pe + 6, 400); }},
      {"raw data beyond the file", [&](Bytes& b) { Put32(b, table + 16, 0x7fff0000); }},
      {"zero file alignment", [&](Bytes& b) { Put32(b, pe.pe + 24 + 36, 0); }},
      {"too many data directories", [&](Bytes& b) { Put32(b, pe.pe + 24 + 92, 1000); }},
      {".debug not the last section",
       [&](Bytes& b) { std::memcpy(&b[table + 40], ".debug\0", 8); }},
      {"relocation block of size zero",
       [&](Bytes& b) {
         const Pe parsed(b);
         Put32(b, parsed.Find(".reloc")->rawPtr + 4, 0);
       }},
  };
  for (const Corruption& c : corruptions) {
    SCOPED_TRACE(c.what);
    Bytes bad = original;
    c.apply(bad);
    std::string exe = Write("bad.exe", bad);
    FileHost::Messages().clear();
    EXPECT_EQ(Bind({res}, exe), 0);
    EXPECT_EQ(Texts(), Strings{Unrecognized(exe)});
    EXPECT_EQ(ReadBack(exe), bad);
    EXPECT_EQ(Folder(), (Strings{"bad.exe", "one.res", "withres.exe"}));
  }
}

TEST_F(Binding, BindingInPlaceReplacesTheResourceSectionAndReadsBack) {
  std::string exe = Fixture("withres.exe");
  const Pe before(ReadBack(exe));
  std::string res = Write("one.res", ResFile({{10, 7, Text("payload")}, {u"NAMED", 1, Text("x")}}));
  // An output name equal to the executable's means in place.
  ASSERT_EQ(Bind({res}, exe, RESBIND_SEPARATE_OUTPUT, exe), 1) << ::testing::PrintToString(Texts());
  EXPECT_TRUE(Messages().empty());
  EXPECT_EQ(Folder(), (Strings{"one.res", "withres.exe"}));
  Bytes after = ReadBack(exe);
  const Pe pe(after);
  ASSERT_EQ(pe.sections.size(), before.sections.size());
  const PeSection& rsrc = pe.sections.back();
  EXPECT_EQ(rsrc.name, ".rsrc");
  EXPECT_EQ(pe.dirs[2].first, rsrc.va);
  EXPECT_EQ(pe.dirs[2].second, rsrc.rawSize);
  EXPECT_EQ(pe.sizeOfImage, rsrc.va + AlignUp(rsrc.virtualSize, pe.sectionAlignment));
  // The sections after the old resource section moved down by its span.
  const PeSection* oldRsrc = before.Find(".rsrc");
  EXPECT_EQ(pe.Find(".reloc")->va, before.Find(".reloc")->va - AlignUp(oldRsrc->virtualSize, 4096));
  Section s = ReadSection(
      Bytes(after.begin() + rsrc.rawPtr, after.begin() + rsrc.rawPtr + rsrc.rawSize), rsrc.va);
  ASSERT_EQ(s.leaves.size(), 2u);
  EXPECT_EQ(s.leaves[0].type, "NAMED");
  EXPECT_EQ(s.leaves[1].data, Text("payload"));
}

TEST_F(Binding, SeparateOutputLeavesTheExecutableAlone) {
  std::string exe = Fixture("withres.exe");
  Bytes original = ReadBack(exe);
  std::string res = Write("one.res", ResFile({{10, 7, Text("payload")}}));
  ASSERT_EQ(Bind({res}, exe, RESBIND_SEPARATE_OUTPUT, Path("out.exe")), 1);
  EXPECT_EQ(ReadBack(exe), original);
  EXPECT_EQ(Pe(ReadBack("out.exe")).sections.back().name, ".rsrc");
}

TEST_F(Binding, BindThenRemoveGivesBackTheExecutableWithoutResources) {
  std::string exe = Fixture("plain.exe");
  Bytes original = ReadBack(exe);
  std::string res = Write("one.res", ResFile({{10, 7, Text("payload")}}));
  ASSERT_EQ(Bind({res}, exe), 1);
  const Pe bound(ReadBack(exe));
  EXPECT_EQ(bound.sections.size(), Pe(original).sections.size() + 1);
  EXPECT_EQ(bound.sections.back().name, ".rsrc");
  // Removal from an executable whose resource section is the last one.
  ASSERT_EQ(Remove(exe), 1) << ::testing::PrintToString(Texts());
  Bytes after = ReadBack(exe);
  const Pe pe(after);
  ASSERT_EQ(pe.sections.size(), bound.sections.size() - 1);
  const PeSection& last = pe.sections.back();
  EXPECT_EQ(pe.sizeOfImage,
            last.va + AlignUp(std::max(last.virtualSize, last.rawSize), pe.sectionAlignment));
  EXPECT_EQ(pe.dirs[2], (std::pair<uint32_t, uint32_t>{0, 0}));
  EXPECT_EQ(after, original);
}

TEST_F(Binding, RemovingFromAnExecutableWithResourcesMovesTheLaterSections) {
  std::string exe = Fixture("withres.exe");
  const Pe before(ReadBack(exe));
  ASSERT_EQ(Remove(exe), 1);
  const Pe pe(ReadBack(exe));
  EXPECT_EQ(pe.sections.size(), before.sections.size() - 1);
  EXPECT_EQ(pe.Find(".rsrc"), nullptr);
  EXPECT_EQ(pe.Find(".reloc")->va, before.Find(".rsrc")->va);
  EXPECT_EQ(pe.dirs[5].first, pe.Find(".reloc")->va);
}

// The host's write fails once the output has received this many bytes.
int64_t writeBudget = 0;
int32_t RESBIND_CALLBACK FailingWrite(int32_t handle, const void* buffer, uint32_t count) {
  if ((writeBudget -= count) < 0) return -1;
  return FileHost::Callbacks().Write(handle, buffer, count);
}

TEST_F(Binding, FailedRewriteLeavesTheExecutableAndNoTemporaryFile) {
  std::string exe = Fixture("withres.exe");
  Bytes original = ReadBack(exe);
  std::string res = Write("one.res", ResFile({{10, 7, Text("payload")}}));
  for (int64_t budget : {int64_t(0), int64_t(100000)}) {
    SCOPED_TRACE(budget);
    FileHost::Messages().clear();
    writeBudget = budget;
    callbacks_.Write = FailingWrite;
    EXPECT_EQ(Bind({res}, exe), 0);
    EXPECT_EQ(Texts(), Strings{"RESBIND: Error writing file \"" + Path("~rb0000.tmp") + "\""});
    EXPECT_EQ(ReadBack(exe), original);
    EXPECT_EQ(Folder(), (Strings{"one.res", "withres.exe"}));
  }
}

TEST_F(Binding, BindingWithoutALaidOutSectionIsRefused) {
  std::string exe = Fixture("withres.exe");
  Bytes original = ReadBack(exe);
  EXPECT_EQ(Bind({}, exe), 0);
  EXPECT_EQ(Texts(), Strings{"RESBIND: Internal software error!"});
  EXPECT_EQ(ReadBack(exe), original);
}

TEST_F(Binding, MissingExecutableIsAnOpenError) {
  EXPECT_EQ(Remove(Path("absent.exe")), 0);
  EXPECT_EQ(Texts(), Strings{"RESBIND: Error opening file \"" + Path("absent.exe") + "\""});
}

// A minimal 32-bit executable: file alignment 0x200, section alignment 0x1000.
struct Part {
  std::string name;
  uint32_t va;
  Bytes data;
};
Bytes BuildPe(uint32_t peOffset, const std::vector<Part>& parts,
              const std::vector<std::pair<int, std::pair<uint32_t, uint32_t>>>& dirs) {
  const uint32_t tableEnd = peOffset + 24 + 224 + 40 * uint32_t(parts.size());
  uint32_t raw = AlignUp(tableEnd, 0x200);
  Bytes b(raw, 0);
  b[0] = 'M';
  b[1] = 'Z';
  Put32(b, 60, peOffset);
  std::memcpy(&b[peOffset], "PE\0\0", 4);
  Put16(b, peOffset + 4, 0x14c);
  Put16(b, peOffset + 6, uint16_t(parts.size()));
  Put16(b, peOffset + 20, 224);
  Put16(b, peOffset + 22, 0x102);
  const size_t opt = peOffset + 24;
  Put16(b, opt, 0x10B);
  Put32(b, opt + 16, parts[0].va);  // entry point
  Put32(b, opt + 28, 0x400000);
  Put32(b, opt + 32, 0x1000);
  Put32(b, opt + 36, 0x200);
  Put32(b, opt + 56, parts.back().va + AlignUp(uint32_t(parts.back().data.size()), 0x1000));
  Put32(b, opt + 60, raw);
  Put32(b, opt + 92, 16);
  for (auto& [i, d] : dirs) {
    Put32(b, opt + 96 + 8 * i, d.first);
    Put32(b, opt + 100 + 8 * i, d.second);
  }
  for (size_t i = 0; i < parts.size(); ++i) {
    size_t at = opt + 224 + 40 * i;
    std::memcpy(&b[at], parts[i].name.c_str(), parts[i].name.size());
    uint32_t size = AlignUp(uint32_t(parts[i].data.size()), 0x200);
    Put32(b, at + 8, uint32_t(parts[i].data.size()));
    Put32(b, at + 12, parts[i].va);
    Put32(b, at + 16, size);
    Put32(b, at + 20, uint32_t(b.size()));
    Put32(b, at + 36, 0x40000040);
    Bytes data = parts[i].data;
    data.resize(size, 0);
    b.insert(b.end(), data.begin(), data.end());
  }
  return b;
}

Bytes Pattern(size_t n, uint8_t seed) {
  Bytes b(n);
  for (size_t i = 0; i < n; ++i) b[i] = uint8_t(seed + i * 7);
  return b;
}

TEST_F(Binding, NoRoomForAnotherSectionHeaderMovesAllRawDataOneUnit) {
  // The section table ends 8 bytes before the first section's data.
  Bytes text = Pattern(0x180, 1);
  std::string exe = Write("tight.exe", BuildPe(0xD8, {{".text", 0x1000, text}}, {}));
  ASSERT_EQ(Pe(ReadBack(exe)).sections[0].rawPtr, 0x200u);
  std::string res = Write("one.res", ResFile({{10, 7, Text("payload")}}));
  ASSERT_EQ(Bind({res}, exe), 1) << ::testing::PrintToString(Texts());
  Bytes after = ReadBack(exe);
  const Pe pe(after);
  ASSERT_EQ(pe.sections.size(), 2u);
  EXPECT_EQ(pe.sections[0].rawPtr, 0x400u);
  EXPECT_EQ(Get32(after, pe.pe + 24 + 60), 0x400u);  // SizeOfHeaders
  EXPECT_EQ(Bytes(after.begin() + 0x400, after.begin() + 0x400 + text.size()), text);
  EXPECT_EQ(pe.sections[1].name, ".rsrc");
  EXPECT_EQ(pe.sections[1].va, 0x2000u);
}

TEST_F(Binding, DebugSectionStaysLastAndItsDirectoryFollowsIt) {
  Bytes rdata(0x40, 0);
  const uint32_t debugRaw = 0x400 + 0x200 * 3;  // after the headers, .text, .rdata and .rsrc
  Put32(rdata, 0x10 + 12, 2);                   // a CodeView entry
  Put32(rdata, 0x10 + 16, 16);
  Put32(rdata, 0x10 + 20, 0x4000);
  Put32(rdata, 0x10 + 24, debugRaw);
  Bytes debug = Text("debug-info-bytes");
  Bytes built = BuildPe(0x80,
                        {{".text", 0x1000, Pattern(0x100, 3)},
                         {".rdata", 0x2000, rdata},
                         {".rsrc", 0x3000, Pattern(0x200, 9)},
                         {".debug", 0x4000, debug}},
                        {{2, {0x3000, 0x200}}, {6, {0x2010, 28}}});
  ASSERT_EQ(Pe(built).sections[3].rawPtr, debugRaw);
  std::string exe = Write("debug.exe", built);
  std::string res = Write("big.res", ResFile({{10, 7, Pattern(5000, 5)}}));
  ASSERT_EQ(Bind({res}, exe), 1) << ::testing::PrintToString(Texts());
  Bytes after = ReadBack(exe);
  const Pe pe(after);
  ASSERT_EQ(pe.sections.size(), 4u);
  EXPECT_EQ(pe.sections[2].name, ".rsrc");
  EXPECT_EQ(pe.sections[2].va, 0x3000u);
  const PeSection& dbg = pe.sections[3];
  EXPECT_EQ(dbg.name, ".debug");
  EXPECT_EQ(dbg.va, 0x3000u + AlignUp(pe.sections[2].virtualSize, 0x1000));
  EXPECT_EQ(pe.sizeOfImage, dbg.va + 0x1000);
  EXPECT_EQ(pe.dirs[6], (std::pair<uint32_t, uint32_t>{0x2010, 28}));
  const size_t entry = pe.sections[1].rawPtr + 0x10;
  EXPECT_EQ(Get32(after, entry + 20), dbg.va);
  EXPECT_EQ(Get32(after, entry + 24), dbg.rawPtr);
  EXPECT_EQ(Bytes(after.begin() + dbg.rawPtr, after.begin() + dbg.rawPtr + 16), debug);
}

}  // namespace
}  // namespace resbind::test

#endif
