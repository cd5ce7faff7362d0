#include "res_support.h"

#include <fcntl.h>
#include <unistd.h>

#include <fstream>
#include <iterator>

namespace resbind::test {

Bytes Text(const std::string& s) { return Bytes(s.begin(), s.end()); }

void Put16(Bytes& b, size_t at, uint16_t v) {
  b[at] = uint8_t(v);
  b[at + 1] = uint8_t(v >> 8);
}
void Put32(Bytes& b, size_t at, uint32_t v) {
  Put16(b, at, uint16_t(v));
  Put16(b, at + 2, uint16_t(v >> 16));
}
uint16_t Get16(const Bytes& b, size_t at) { return uint16_t(b.at(at) | b.at(at + 1) << 8); }
uint32_t Get32(const Bytes& b, size_t at) {
  return Get16(b, at) | uint32_t(Get16(b, at + 2)) << 16;
}

namespace {

void Append16(Bytes& b, uint16_t v) {
  b.push_back(uint8_t(v));
  b.push_back(uint8_t(v >> 8));
}
void Append32(Bytes& b, uint32_t v) {
  Append16(b, uint16_t(v));
  Append16(b, uint16_t(v >> 16));
}
void AppendId(Bytes& b, const Id& id) {
  if (!id.isString) {
    Append16(b, 0xFFFF);
    Append16(b, id.ordinal);
    return;
  }
  for (char16_t c : id.text) Append16(b, c);
  Append16(b, 0);
}

std::string NameAt(const Bytes& s, uint32_t name) {
  if (!(name & 0x80000000u)) return "#" + std::to_string(name);
  uint32_t at = name & 0x7fffffff;
  std::string out;
  for (uint16_t i = 0, n = Get16(s, at); i < n; ++i) {
    uint16_t c = Get16(s, at + 2 + 2 * i);
    out.push_back(c < 0x80 ? char(c) : '?');
  }
  return out;
}

// Compares two directory entries' names in the linker's order (strings first).
int CompareNames(const Bytes& s, uint32_t a, uint32_t b) {
  bool sa = a & 0x80000000u, sb = b & 0x80000000u;
  if (sa != sb) return sa ? -1 : 1;
  if (!sa) return a < b ? -1 : a > b;
  uint32_t pa = a & 0x7fffffff, pb = b & 0x7fffffff;
  uint16_t na = Get16(s, pa), nb = Get16(s, pb);
  for (uint16_t i = 0; i < na && i < nb; ++i) {
    uint16_t ca = Get16(s, pa + 2 + 2 * i), cb = Get16(s, pb + 2 + 2 * i);
    if (ca != cb) return ca < cb ? -1 : 1;
  }
  return na < nb ? -1 : na > nb;
}

void Walk(const Bytes& s, uint32_t rva, uint32_t at, int level, std::vector<std::string>& path,
          Section& out) {
  uint16_t named = Get16(s, at + 12), numbered = Get16(s, at + 14);
  out.timeStamp = Get32(s, at + 4);
  uint32_t previous = 0;
  for (uint32_t i = 0; i < uint32_t(named) + numbered; ++i) {
    uint32_t name = Get32(s, at + 16 + 8 * i), target = Get32(s, at + 20 + 8 * i);
    if (i > 0 && CompareNames(s, previous, name) >= 0) out.sorted = false;
    if ((i < named) != bool(name & 0x80000000u)) out.sorted = false;
    previous = name;
    if (level < 2) {
      path.push_back(NameAt(s, name));
      Walk(s, rva, target & 0x7fffffff, level + 1, path, out);
      path.pop_back();
      continue;
    }
    uint32_t dataRva = Get32(s, target), size = Get32(s, target + 4);
    out.directoryEnd = std::max(out.directoryEnd, target + 16);
    Bytes data(s.begin() + (dataRva - rva), s.begin() + (dataRva - rva + size));
    out.leaves.push_back({path[0], path[1], uint16_t(name), dataRva, data});
  }
}

}  // namespace

Bytes ResHeader(const Res& r) {
  Bytes h;
  Append32(h, uint32_t(r.data.size()));
  Append32(h, 0);
  AppendId(h, r.type);
  AppendId(h, r.name);
  while (h.size() % 4) h.push_back(0);
  Append32(h, r.dataVersion);
  Append16(h, r.memoryFlags);
  Append16(h, r.language);
  Append32(h, r.version);
  Append32(h, r.characteristics);
  Put32(h, 4, uint32_t(h.size()));
  return h;
}

Bytes ResFile(const std::vector<Res>& entries, bool padLast) {
  Bytes f = {0, 0, 0, 0, 0x20, 0, 0, 0, 0xFF, 0xFF, 0, 0, 0xFF, 0xFF, 0, 0};
  f.resize(32, 0);
  for (size_t i = 0; i < entries.size(); ++i) {
    Bytes h = ResHeader(entries[i]);
    f.insert(f.end(), h.begin(), h.end());
    f.insert(f.end(), entries[i].data.begin(), entries[i].data.end());
    if (padLast || i + 1 < entries.size())
      while (f.size() % 4) f.push_back(0);
  }
  return f;
}

Bytes StringBlock(const std::vector<std::u16string>& slots) {
  Bytes b;
  for (size_t i = 0; i < 16; ++i) {
    std::u16string s = i < slots.size() ? slots[i] : u"";
    Append16(b, uint16_t(s.size()));
    for (char16_t c : s) Append16(b, c);
  }
  return b;
}

Section ReadSection(const Bytes& section, uint32_t rva) {
  Section out;
  std::vector<std::string> path;
  Walk(section, rva, 0, 0, path, out);
  return out;
}

void ResbindTest::SetUp() {
  char pattern[] = "/tmp/resbind-test-XXXXXX";
  dir_ = mkdtemp(pattern);
  FileHost::Messages().clear();
}

void ResbindTest::TearDown() {
  EXPECT_EQ(FileHost::OpenHandles(), 0) << "the library left a handle open";
  std::filesystem::remove_all(dir_);
}

std::string ResbindTest::Write(const std::string& name, const Bytes& bytes) {
  std::ofstream(Path(name), std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  return Path(name);
}

Bytes ResbindTest::ReadBack(const std::string& name) const {
  std::ifstream in(name.find('/') == std::string::npos ? Path(name) : name, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

LinkRun ResbindTest::Link(const std::vector<std::string>& inputs, uint32_t flags,
                          uint32_t fileAlignment, uint32_t sectionAlignment, uint32_t rva) {
  nodes_.assign(inputs.size(), {});
  for (size_t i = 0; i < inputs.size(); ++i)
    nodes_[i] = {i + 1 < inputs.size() ? &nodes_[i + 1] : nullptr, inputs[i].c_str()};
  ResBindRequest r{};
  r.Flags = flags;
  r.FileAlignment = fileAlignment;
  r.SectionAlignment = sectionAlignment;
  r.InputList = nodes_.empty() ? nullptr : nodes_.data();
  LinkRun run;
  run.result = GetResObjSize(&callbacks_, &r);
  run.sectionSize = r.SectionSize;
  if (!run.result || (flags & RESBIND_LIST_ONLY)) return run;
  std::string out = Path("section.bin");
  int32_t handle = callbacks_.CreateOutput(out.c_str());
  r.OutputHandle = handle;
  r.SectionRva = rva;
  r.FilePosition = 0;
  run.result = WriteResObj(&callbacks_, &r);
  callbacks_.Close(handle);
  run.output = ReadBack(out);
  return run;
}

std::vector<std::string> ResbindTest::Texts() const {
  std::vector<std::string> texts;
  for (const auto& m : Messages()) texts.push_back(m.text);
  return texts;
}

}  // namespace resbind::test
