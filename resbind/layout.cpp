// The three-level resource directory, the name strings and the data, laid out and written.
#include <algorithm>

#include "link_state.h"

namespace resbind {
namespace {

struct NameNode {
  const ResId* name;
  std::vector<Entry*> languages;
};
struct TypeNode {
  const ResId* type;
  std::vector<NameNode> names;
};

void PutDirectoryHeader(uint8_t* p, uint32_t stamp, size_t named, size_t numbered) {
  Put32(p + 4, stamp);
  Put16(p + 12, uint16_t(named));
  Put16(p + 14, uint16_t(numbered));
}

// Appends a length-prefixed string to the name-string area; returns its area offset.
uint32_t AddString(std::vector<uint8_t>& area, const std::u16string& text) {
  uint32_t at = uint32_t(area.size());
  size_t n = std::min<size_t>(text.size(), 255);
  if (area.capacity() < area.size() + 2 + 2 * n)
    area.reserve(AlignUp(uint32_t(area.size() + 2 + 2 * n), 4096));
  area.push_back(uint8_t(n));
  area.push_back(uint8_t(n >> 8));
  for (size_t i = 0; i < n; ++i) {
    area.push_back(uint8_t(text[i]));
    area.push_back(uint8_t(text[i] >> 8));
  }
  return at;
}

template <typename Node, typename IdOf>
size_t CountNamed(const std::vector<Node>& nodes, IdOf idOf) {
  return size_t(
      std::count_if(nodes.begin(), nodes.end(), [&](const Node& n) { return idOf(n)->isString; }));
}

}  // namespace

bool LayOutSection(LinkState& s) {
  Layout& l = s.layout;
  l = Layout();
  std::vector<TypeNode> types;
  for (Entry& e : s.entries) {
    if (!e.kept()) continue;
    l.order.push_back(&e);
    if (types.empty() || !(*types.back().type == e.type)) types.push_back({&e.type, {}});
    auto& names = types.back().names;
    if (names.empty() || !(*names.back().name == e.name)) names.push_back({&e.name, {}});
    names.back().languages.push_back(&e);
  }
  size_t nameCount = 0;
  for (auto& t : types) nameCount += t.names.size();
  const size_t kept = l.order.size();
  const size_t directorySize = 16 + 24 * (types.size() + nameCount + kept);
  l.directory.assign(directorySize, 0);
  uint8_t* d = l.directory.data();
  const uint32_t stringBase = uint32_t(directorySize);

  // Root, then the name directories, then the language directories, then the data entries.
  size_t nameDirAt = 16 + 8 * types.size();
  size_t languageDirAt = nameDirAt;
  for (auto& t : types) languageDirAt += 16 + 8 * t.names.size();
  size_t dataEntryAt = directorySize - 16 * kept;

  PutDirectoryHeader(d, s.timeStamp, CountNamed(types, [](const TypeNode& t) { return t.type; }),
                     types.size() - CountNamed(types, [](const TypeNode& t) { return t.type; }));
  size_t typeEntry = 16;
  for (auto& t : types) {
    Put32(d + typeEntry, t.type->isString
                             ? (stringBase + AddString(l.strings, t.type->text)) | 0x80000000u
                             : t.type->ordinal);
    Put32(d + typeEntry + 4, uint32_t(nameDirAt) | 0x80000000u);
    typeEntry += 8;
    size_t named = CountNamed(t.names, [](const NameNode& n) { return n.name; });
    PutDirectoryHeader(d + nameDirAt, s.timeStamp, named, t.names.size() - named);
    size_t nameEntry = nameDirAt + 16;
    nameDirAt += 16 + 8 * t.names.size();
    for (auto& n : t.names) {
      Put32(d + nameEntry, n.name->isString
                               ? (stringBase + AddString(l.strings, n.name->text)) | 0x80000000u
                               : n.name->ordinal);
      Put32(d + nameEntry + 4, uint32_t(languageDirAt) | 0x80000000u);
      nameEntry += 8;
      PutDirectoryHeader(d + languageDirAt, s.timeStamp, 0, n.languages.size());
      size_t languageEntry = languageDirAt + 16;
      languageDirAt += 16 + 8 * n.languages.size();
      for (Entry* e : n.languages) {
        Put32(d + languageEntry, e->languageId);
        Put32(d + languageEntry + 4, uint32_t(dataEntryAt));
        languageEntry += 8;
        l.dataEntryOffsets.push_back(dataEntryAt);
        dataEntryAt += 16;
      }
    }
  }
  l.strings.resize(AlignUp(uint32_t(l.strings.size()), 4), 0);

  uint64_t dataAt = directorySize + l.strings.size();
  for (size_t i = 0; i < kept; ++i) {
    Put32(d + l.dataEntryOffsets[i], uint32_t(dataAt));
    Put32(d + l.dataEntryOffsets[i] + 4, l.order[i]->dataSize);
    dataAt += AlignUp(l.order[i]->dataSize, 4);
    if (dataAt > 0x7fffffffu) {
      s.Fail(kMemory);
      return false;
    }
  }
  l.unpaddedSize = uint32_t(dataAt);
  s.request->SectionSize = AlignUp(l.unpaddedSize, s.request->FileAlignment);
  s.laidOut = true;
  return true;
}

bool WriteSection(LinkState& s, int32_t handle, const std::string& outputName) {
  const Layout& l = s.layout;
  if (s.verbose()) s.Issue(kWriting);
  std::vector<uint8_t> directory = l.directory;
  for (size_t at : l.dataEntryOffsets)
    Put32(&directory[at], Get32(&directory[at]) + s.request->SectionRva);
  if (!s.SeekTo(handle, s.request->FilePosition, outputName) ||
      !s.WriteAll(handle, directory.data(), uint32_t(directory.size()), outputName) ||
      !s.WriteAll(handle, l.strings.data(), uint32_t(l.strings.size()), outputName))
    return false;
  std::vector<uint8_t> data;
  for (const Entry* e : l.order) {
    if (!ReadEntryData(s, *e, data) ||
        !s.WriteAll(handle, data.data(), uint32_t(data.size()), outputName) ||
        !s.WriteZeros(handle, AlignUp(e->dataSize, 4) - e->dataSize, outputName))
      return false;
  }
  return s.WriteZeros(handle, AlignUp(l.unpaddedSize, s.request->FileAlignment) - l.unpaddedSize,
                      outputName);
}

}  // namespace resbind
