// Reading the input resource files into one table of entries, and sorting it.
#include <algorithm>
#include <cstring>

#include "link_state.h"

namespace resbind {
namespace {

constexpr uint32_t kMaxHeaderRead = 1048;
constexpr uint32_t kMinHeader = 32;  // sizes, two ordinals and the fixed fields

// Reads an ordinal or a zero-terminated UTF-16 string at data[*at], never past limit.
bool ParseId(const uint8_t* data, uint32_t limit, uint32_t* at, ResId& id) {
  uint32_t p = *at;
  if (p + 2 > limit) return false;
  if (Get16(data + p) == 0xFFFF) {
    if (p + 4 > limit) return false;
    id.isString = false;
    id.ordinal = Get16(data + p + 2);
    *at = p + 4;
    return true;
  }
  id.isString = true;
  id.text.clear();
  for (;;) {
    if (p + 2 > limit) return false;
    uint16_t unit = Get16(data + p);
    p += 2;
    if (unit == 0) break;
    id.text.push_back(char16_t(unit));
  }
  *at = p;
  return true;
}

// Parses a 32-bit resource header of headerSize bytes held in data.
bool ParseHeader(const uint8_t* data, uint32_t available, Entry& e) {
  if (available < 8) return false;
  e.dataSize = Get32(data);
  e.headerSize = Get32(data + 4);
  if (e.headerSize < kMinHeader || e.headerSize > available) return false;
  uint32_t at = 8;
  if (!ParseId(data, e.headerSize, &at, e.type) || !ParseId(data, e.headerSize, &at, e.name))
    return false;
  at = AlignUp(at, 4);
  if (at + 16 > e.headerSize) return false;
  e.dataVersion = Get32(data + at);
  e.memoryFlags = Get16(data + at + 4);
  e.languageId = Get16(data + at + 6);
  e.version = Get32(data + at + 8);
  e.characteristics = Get32(data + at + 12);
  return true;
}

bool IsSignature(const uint8_t* b) {
  static const uint8_t kSignature[32] = {0, 0, 0, 0, 0x20, 0, 0, 0, 0xFF, 0xFF, 0, 0, 0xFF, 0xFF};
  return std::memcmp(b, kSignature, 32) == 0;
}

bool AddEntry(LinkState& s, Entry e) {
  if (s.entries.size() >= kEntryCapacity) {
    s.Fail(kTooMany);
    return false;
  }
  s.entries.push_back(std::move(e));
  return true;
}

bool Read32BitFile(LinkState& s, InputFile& f) {
  std::vector<uint8_t> buffer(kMaxHeaderRead);
  uint32_t pos = 32;
  while (pos < f.size) {
    uint32_t n = std::min(kMaxHeaderRead, f.size - pos);
    if (!s.SeekTo(f.handle, pos, f.name) || !s.ReadExact(f.handle, buffer.data(), n, f.name))
      return false;
    Entry e;
    if (!ParseHeader(buffer.data(), n, e) || e.dataSize > f.size - pos - e.headerSize) {
      s.Fail(kResFormat, f.name);
      return false;
    }
    e.dataOffset = pos + e.headerSize;
    e.file = &f;
    uint32_t end = e.dataOffset + e.dataSize;
    if (!AddEntry(s, std::move(e))) return false;
    if (end == f.size) break;  // an unpadded last entry is complete
    pos = AlignUp(end, 4);
  }
  return true;
}

bool ReadTypeLibrary(LinkState& s, InputFile& f) {
  auto data = std::make_shared<std::vector<uint8_t>>(f.size);
  if (!s.SeekTo(f.handle, 0, f.name) || !s.ReadExact(f.handle, data->data(), f.size, f.name))
    return false;
  Entry e;
  e.headerSize = 46;
  e.dataSize = f.size;
  e.type.isString = true;
  e.type.text = u"TYPELIB";
  e.name.ordinal = 1;
  e.memory = std::move(data);
  e.file = &f;
  return AddEntry(s, std::move(e));
}

// A 16-bit file contributes its first resource, which must be RCDATA with a string name.
bool Read16BitFile(LinkState& s, InputFile& f) {
  std::vector<uint8_t> b(std::min(kMaxHeaderRead, f.size));
  if (!s.SeekTo(f.handle, 0, f.name) ||
      !s.ReadExact(f.handle, b.data(), uint32_t(b.size()), f.name))
    return false;
  if (b.size() < 4 || b[0] != 0xFF || Get16(&b[1]) != 10 || b[3] == 0xFF) {
    s.Fail(kUnsupported16, f.name);
    return false;
  }
  Entry e;
  e.type.ordinal = 10;
  e.name.isString = true;
  size_t at = 3;
  while (at < b.size() && b[at] != 0) e.name.text.push_back(char16_t(b[at++]));
  at += 1 + 2;  // terminator and memory flags
  if (at + 4 > b.size()) {
    s.Fail(kResFormat, f.name);
    return false;
  }
  e.dataSize = Get32(&b[at]);
  e.dataOffset = uint32_t(at + 4);
  if (e.dataSize > f.size - e.dataOffset) {
    s.Fail(kResFormat, f.name);
    return false;
  }
  e.headerSize = kMinHeader;
  e.file = &f;
  return AddEntry(s, std::move(e));
}

bool ReadInput(LinkState& s, InputFile& f) {
  f.handle = s.cb->Open(f.name.c_str(), RESBIND_OPEN_READ);
  if (f.handle == -1) {
    s.Fail(kOpen, f.name);
    return false;
  }
  uint32_t stamp = 0, size = 0;
  if (s.cb->FileInfo(f.handle, &stamp, &size) == -1 || size > 0x7fffffffu) {
    s.FailHandle(kSize, f.handle, f.name);
    return false;
  }
  f.size = size;
  s.timeStamp = std::max(s.timeStamp, stamp);
  uint8_t first[32] = {};
  uint32_t n = std::min<uint32_t>(32, f.size);
  if (!s.SeekTo(f.handle, 0, f.name) || !s.ReadExact(f.handle, first, n, f.name)) return false;
  if (n == 32 && IsSignature(first)) return Read32BitFile(s, f);
  if (n >= 4 && (std::memcmp(first, "SLTG", 4) == 0 || std::memcmp(first, "MSFT", 4) == 0))
    return ReadTypeLibrary(s, f);
  if (s.request->Flags & RESBIND_ACCEPT_16BIT) return Read16BitFile(s, f);
  s.Fail(kResFormat, f.name);
  return false;
}

}  // namespace

int CompareIds(const ResId& a, const ResId& b) {
  if (a.isString != b.isString) return a.isString ? -1 : 1;
  if (!a.isString) return a.ordinal < b.ordinal ? -1 : a.ordinal > b.ordinal ? 1 : 0;
  return a.text.compare(b.text) < 0 ? -1 : a.text == b.text ? 0 : 1;
}

std::string IdText(const ResId& id) {
  if (!id.isString) return std::to_string(id.ordinal);
  std::string out;
  for (char16_t c : id.text) {
    if (c < 0x80) {
      out.push_back(char(c));
    } else if (c < 0x800) {
      out.push_back(char(0xC0 | (c >> 6)));
      out.push_back(char(0x80 | (c & 0x3F)));
    } else {
      out.push_back(char(0xE0 | (c >> 12)));
      out.push_back(char(0x80 | ((c >> 6) & 0x3F)));
      out.push_back(char(0x80 | (c & 0x3F)));
    }
  }
  return out;
}

void SortEntries(std::vector<Entry>& entries) {
  std::stable_sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
    if (int c = CompareIds(a.type, b.type)) return c < 0;
    if (int c = CompareIds(a.name, b.name)) return c < 0;
    if (a.languageId != b.languageId) return a.languageId < b.languageId;
    return a.file->number < b.file->number;
  });
}

bool CollectResources(LinkState& s) {
  int number = 0;
  for (ResBindInput* node = s.request->InputList; node; node = node->Next) {
    auto f = std::make_unique<InputFile>();
    f->number = ++number;
    f->name = node->FileName ? node->FileName : "";
    s.inputs.push_back(std::move(f));
  }
  if (s.verbose()) {
    s.Issue(kBanner);
    for (auto& f : s.inputs) s.Issue(kInputFile, f->number, ShortenedFileName(f->name).c_str());
    s.Issue(kReading);
  }
  for (auto& f : s.inputs)
    if (!ReadInput(s, *f)) return false;
  return true;
}

bool ReadEntryData(LinkState& s, const Entry& e, std::vector<uint8_t>& data) {
  if (e.memory) {
    data.assign(e.memory->begin(),
                e.memory->begin() + std::min<size_t>(e.dataSize, e.memory->size()));
    data.resize(e.dataSize);
    return true;
  }
  data.resize(e.dataSize);
  return s.SeekTo(e.file->handle, e.dataOffset, e.file->name) &&
         s.ReadExact(e.file->handle, data.data(), e.dataSize, e.file->name);
}

}  // namespace resbind
