// Rewriting a 32-bit Portable Executable with a new resource section, or without one.
//
// The whole executable is read into memory and checked before anything is created; the
// fix-ups are applied to that copy at the old file offsets, and the copy is then written
// section by section to the new places. The destination is a separate output file or a
// temporary file that replaces the executable only when everything was written.
#include <algorithm>
#include <cstdio>
#include <cstring>

#ifdef _WIN32
#include <windows.h>
#endif

#include "link_state.h"

namespace resbind {
namespace {

constexpr size_t kNone = size_t(-1);
constexpr uint32_t kResourceCharacteristics = 0x40000040;  // initialized data, read-only

struct Section {
  uint8_t record[40];
  std::string Name() const {
    return std::string(reinterpret_cast<const char*>(record),
                       strnlen(reinterpret_cast<const char*>(record), 8));
  }
  uint32_t VirtualSize() const { return Get32(record + 8); }
  uint32_t Va() const { return Get32(record + 12); }
  uint32_t RawSize() const { return Get32(record + 16); }
  uint32_t RawPtr() const { return Get32(record + 20); }
};

struct Image {
  std::vector<uint8_t> bytes;
  size_t pe = 0, fileHeader = 0, opt = 0, dirs = 0, sectionTable = 0;
  uint32_t numberOfSections = 0, numberOfDirs = 0, fileAlignment = 0, sectionAlignment = 0;
  uint32_t imageBase = 0, sizeOfHeaders = 0;
  std::vector<Section> sections;

  uint32_t Span(const Section& s) const {
    return AlignUp(std::max(s.VirtualSize(), s.RawSize()), sectionAlignment);
  }
  uint32_t Dir(uint32_t i, uint32_t part) const {
    return i < numberOfDirs ? Get32(&bytes[dirs + 8 * i + 4 * part]) : 0;
  }
  // File offset of len bytes at rva in the image as read, or kNone.
  size_t Offset(uint32_t rva, uint32_t len) const {
    if (uint64_t(rva) + len <= sizeOfHeaders && uint64_t(rva) + len <= bytes.size()) return rva;
    for (const Section& s : sections)
      if (rva >= s.Va() && uint64_t(rva) + len <= uint64_t(s.Va()) + std::min(s.RawSize(), Span(s)))
        return s.RawPtr() + (rva - s.Va());
    return kNone;
  }
};

bool IsPowerOfTwo(uint32_t v) { return v && !(v & (v - 1)); }

// Checks every offset and size the rewrite relies on.
bool ParseImage(Image& im) {
  const auto& b = im.bytes;
  if (b.size() < 64) return false;
  im.pe = Get32(&b[60]);
  if (im.pe > b.size() || b.size() - im.pe < 120 || std::memcmp(&b[im.pe], "PE\0\0", 4) != 0)
    return false;
  im.fileHeader = im.pe + 4;
  im.opt = im.pe + 24;
  if (Get16(&b[im.opt]) != 0x10B) return false;  // only 32-bit images
  im.numberOfSections = Get16(&b[im.fileHeader + 2]);
  uint32_t optSize = Get16(&b[im.fileHeader + 16]);
  im.imageBase = Get32(&b[im.opt + 28]);
  im.sectionAlignment = Get32(&b[im.opt + 32]);
  im.fileAlignment = Get32(&b[im.opt + 36]);
  im.sizeOfHeaders = Get32(&b[im.opt + 60]);
  im.numberOfDirs = Get32(&b[im.opt + 92]);
  im.dirs = im.opt + 96;
  if (!IsPowerOfTwo(im.fileAlignment) || !IsPowerOfTwo(im.sectionAlignment) ||
      im.sectionAlignment < im.fileAlignment || im.numberOfDirs > 16 ||
      optSize < 96 + 8 * im.numberOfDirs)
    return false;
  im.sectionTable = im.opt + optSize;
  size_t tableEnd = im.sectionTable + 40 * size_t(im.numberOfSections);
  if (tableEnd > b.size() || tableEnd > im.sizeOfHeaders) return false;
  uint32_t nextVa = 0;
  for (uint32_t i = 0; i < im.numberOfSections; ++i) {
    Section s;
    std::memcpy(s.record, &b[im.sectionTable + 40 * i], 40);
    if (s.RawSize() &&
        (s.RawPtr() < tableEnd || s.RawPtr() > b.size() || s.RawSize() > b.size() - s.RawPtr()))
      return false;
    if (s.Va() < nextVa || uint64_t(s.Va()) + im.Span(s) > 0xffffffffu) return false;
    nextVa = s.Va() + im.Span(s);
    im.sections.push_back(s);
  }
  return true;
}

struct Placed {
  Section section;
  size_t oldIndex;  // kNone for the new resource section
  uint32_t newVa = 0, newPtr = 0;
};

struct Rewrite {
  Image& im;
  std::vector<Placed> placed;
  uint32_t trailerOld = 0, trailerNew = 0;

  uint32_t MapRva(uint32_t rva) const {
    for (const Placed& p : placed) {
      if (p.oldIndex == kNone) continue;
      const Section& s = im.sections[p.oldIndex];
      if (rva >= s.Va() && rva - s.Va() < im.Span(s)) return rva - s.Va() + p.newVa;
    }
    return rva;
  }
  uint32_t MapOffset(uint32_t off) const {
    for (const Placed& p : placed) {
      if (p.oldIndex == kNone) continue;
      const Section& s = im.sections[p.oldIndex];
      if (s.RawSize() && off >= s.RawPtr() && off - s.RawPtr() < s.RawSize())
        return off - s.RawPtr() + p.newPtr;
    }
    if (off >= trailerOld) return off - trailerOld + trailerNew;
    return off;
  }
  bool Moved() const {
    for (const Placed& p : placed)
      if (p.oldIndex != kNone && p.newVa != im.sections[p.oldIndex].Va()) return true;
    return false;
  }
  void MapField(size_t off) { Put32(&im.bytes[off], MapRva(Get32(&im.bytes[off]))); }

  bool FixImports() {
    uint32_t rva = im.Dir(1, 0);
    if (!rva) return true;
    std::vector<uint32_t> walked;
    for (uint32_t at = rva;; at += 20) {
      size_t d = im.Offset(at, 20);
      if (d == kNone) return false;
      const uint8_t* p = &im.bytes[d];
      uint32_t lookup = Get32(p), stamp = Get32(p + 4), name = Get32(p + 12), iat = Get32(p + 16);
      if (!lookup && !name && !iat) return true;
      for (uint32_t thunks : {lookup, stamp ? 0u : iat}) {
        if (!thunks || std::find(walked.begin(), walked.end(), thunks) != walked.end()) continue;
        walked.push_back(thunks);
        for (uint32_t t = thunks;; t += 4) {
          size_t o = im.Offset(t, 4);
          if (o == kNone) return false;
          uint32_t v = Get32(&im.bytes[o]);
          if (!v) break;
          if (!(v & 0x80000000u)) MapField(o);
        }
      }
      for (int field : {0, 12, 16}) MapField(d + field);
    }
  }

  bool FixExports() {
    uint32_t rva = im.Dir(0, 0);
    if (!rva) return true;
    size_t d = im.Offset(rva, 40);
    if (d == kNone) return false;
    uint32_t functions = Get32(&im.bytes[d + 20]), names = Get32(&im.bytes[d + 24]);
    struct Table {
      uint32_t rva, count;
    } tables[] = {{Get32(&im.bytes[d + 28]), functions}, {Get32(&im.bytes[d + 32]), names}};
    for (const Table& t : tables) {
      if (!t.count) continue;
      if (t.count > im.bytes.size() / 4) return false;
      size_t o = im.Offset(t.rva, 4 * t.count);
      if (o == kNone) return false;
      for (uint32_t i = 0; i < t.count; ++i)
        if (Get32(&im.bytes[o + 4 * i])) MapField(o + 4 * i);
    }
    for (int field : {12, 28, 32, 36}) MapField(d + field);
    return true;
  }

  bool FixRelocations() {
    uint32_t rva = im.Dir(5, 0), size = im.Dir(5, 1);
    if (!rva || !size) return true;
    for (uint32_t at = rva; at - rva + 8 <= size;) {
      size_t b = im.Offset(at, 8);
      if (b == kNone) return false;
      uint32_t page = Get32(&im.bytes[b]), blockSize = Get32(&im.bytes[b + 4]);
      if (blockSize < 8 || blockSize > size - (at - rva) || im.Offset(at, blockSize) == kNone)
        return false;
      uint32_t newPage = MapRva(page);
      if ((newPage - page) % 4096) return false;
      for (uint32_t e = 8; e + 2 <= blockSize; e += 2) {
        uint16_t entry = Get16(&im.bytes[b + e]);
        int type = entry >> 12;
        if (type == 0) continue;
        if (type != 3) return false;  // only 32-bit fix-ups can be moved exactly
        size_t o = im.Offset(page + (entry & 0xFFF), 4);
        if (o == kNone) continue;  // uninitialized data: nothing stored yet
        uint32_t target = Get32(&im.bytes[o]) - im.imageBase;
        Put32(&im.bytes[o], Get32(&im.bytes[o]) + (MapRva(target) - target));
      }
      Put32(&im.bytes[b], newPage);
      at += blockSize;
    }
    return true;
  }

  bool FixDebugDirectory(bool moved) {
    uint32_t rva = im.Dir(6, 0), size = im.Dir(6, 1);
    if (!rva || !size) return true;
    size_t d = im.Offset(rva, size);
    if (d == kNone) return false;
    for (uint32_t e = 0; e + 28 <= size; e += 28) {
      if (moved && Get32(&im.bytes[d + e + 20])) MapField(d + e + 20);
      uint32_t ptr = Get32(&im.bytes[d + e + 24]);
      if (ptr) Put32(&im.bytes[d + e + 24], MapOffset(ptr));
    }
    return true;
  }
};

std::string TemporaryName(LinkState& s, const std::string& exe) {
  size_t slash = exe.find_last_of("/\\");
  std::string dir = slash == std::string::npos ? "" : exe.substr(0, slash + 1);
  for (int i = 0; i < 4096; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "~rb%04x.tmp", i);
    int32_t h = s.cb->Open((dir + name).c_str(), RESBIND_OPEN_READ);
    if (h == -1) return dir + name;
    s.cb->Close(h);
  }
  return dir + "~rb.tmp";
}

bool ReplaceFile(const std::string& from, const std::string& to) {
#ifdef _WIN32
  return MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
#else
  return std::rename(from.c_str(), to.c_str()) == 0;
#endif
}

// Writes the new image to out; the section itself through the writer of the layout. Every
// piece with non-zero bytes starts at an even offset, and odd-sized pieces are followed by
// zeros, so the image checksum can be summed piece by piece as the pieces are written.
bool WriteImage(LinkState& s, Rewrite& rw, int32_t out, const std::string& dest,
                const std::vector<uint8_t>& headers, bool binding, size_t resourceSlot,
                uint32_t& cursor) {
  Image& im = rw.im;
  cursor = 0;
  auto writeAt = [&](uint32_t at, const uint8_t* data, uint32_t n) {
    if (at < cursor) return s.Fail(kInternal), false;
    if (!s.WriteZeros(out, at - cursor, dest) || !s.WriteAll(out, data, n, dest)) return false;
    cursor = at + n;
    return true;
  };
  if (!s.SeekTo(out, 0, dest) || !writeAt(0, headers.data(), uint32_t(headers.size())))
    return false;
  for (size_t i = 0; i < rw.placed.size(); ++i) {
    const Placed& p = rw.placed[i];
    if (i == resourceSlot) {
      if (!binding || !s.request->SectionSize) continue;
      if (!s.WriteZeros(out, p.newPtr - cursor, dest) || !WriteSection(s, out, dest)) return false;
      cursor = p.newPtr + s.request->SectionSize;
      continue;
    }
    const Section& old = im.sections[p.oldIndex];
    if (old.RawSize() && !writeAt(p.newPtr, &im.bytes[old.RawPtr()], old.RawSize())) return false;
  }
  if (rw.trailerOld < im.bytes.size())
    return writeAt(rw.trailerNew, &im.bytes[rw.trailerOld],
                   uint32_t(im.bytes.size() - rw.trailerOld));
  return true;
}

}  // namespace

bool RewriteExecutable(LinkState& s, bool binding) {
  ResBindRequest& r = *s.request;
  s.exeOpened = false;
  if (!r.ExeName || (binding && !s.laidOut)) {
    s.Fail(kInternal);
    return false;
  }
  const std::string exe = r.ExeName;
  std::string dest = exe;
  if (r.Flags & RESBIND_SEPARATE_OUTPUT) {
    if (r.OutputName && exe != r.OutputName)
      dest = r.OutputName;
    else
      r.Flags &= ~RESBIND_SEPARATE_OUTPUT;
  }
  const bool separate = r.Flags & RESBIND_SEPARATE_OUTPUT;

  int32_t in = s.cb->Open(exe.c_str(), RESBIND_OPEN_READ);
  if (in == -1) {
    s.Fail(kOpen, exe);
    return false;
  }
  s.exeOpened = true;
  Image im;
  uint32_t stamp = 0, size = 0;
  bool read = false;
  if (s.cb->FileInfo(in, &stamp, &size) == -1 || size > 0x7fffffffu) {
    s.FailHandle(kSize, in, exe);
  } else {
    im.bytes.resize(size);
    read = s.SeekTo(in, 0, exe) && s.ReadExact(in, im.bytes.data(), size, exe);
  }
  s.cb->Close(in);
  if (!read) return false;
  if (!ParseImage(im)) {
    s.Fail(kExeFormat, exe);
    return false;
  }
  r.FileAlignment = im.fileAlignment;
  r.SectionAlignment = im.sectionAlignment;
  if (binding) r.SectionSize = AlignUp(s.layout.unpaddedSize, im.fileAlignment);

  // New section order and addresses.
  size_t resourceIndex = kNone, debugIndex = kNone;
  for (size_t i = 0; i < im.sections.size(); ++i) {
    std::string name = im.sections[i].Name();
    if (name == ".rsrc" && resourceIndex == kNone) resourceIndex = i;
    if (name == ".debug") debugIndex = i;
  }
  if ((debugIndex != kNone && debugIndex + 1 != im.sections.size()) ||
      (binding && im.numberOfDirs < 3)) {
    s.Fail(kExeFormat, exe);
    return false;
  }
  const uint32_t oldResourceSpan = resourceIndex == kNone ? 0 : im.Span(im.sections[resourceIndex]);
  Rewrite rw{im, {}};
  uint32_t end = AlignUp(im.sizeOfHeaders, im.sectionAlignment);
  for (size_t i = 0; i < im.sections.size(); ++i) {
    if (i == resourceIndex || i == debugIndex) continue;
    const Section& sec = im.sections[i];
    uint32_t va = sec.Va() - (resourceIndex != kNone && i > resourceIndex ? oldResourceSpan : 0);
    rw.placed.push_back({sec, i, va, 0});
    end = va + im.Span(sec);
  }
  size_t resourceSlot = kNone;
  if (binding) {
    Section rsrc{};
    if (resourceIndex != kNone) {
      rsrc = im.sections[resourceIndex];
    } else {
      std::memcpy(rsrc.record, ".rsrc", 5);
      Put32(rsrc.record + 36, kResourceCharacteristics);
    }
    Put32(rsrc.record + 8, AlignUp(r.SectionSize, 4096));
    Put32(rsrc.record + 16, r.SectionSize);
    resourceSlot = rw.placed.size();
    rw.placed.push_back({rsrc, kNone, end, 0});
    end += AlignUp(AlignUp(r.SectionSize, 4096), im.sectionAlignment);
  }
  if (debugIndex != kNone) rw.placed.push_back({im.sections[debugIndex], debugIndex, end, 0});

  // New file positions.
  const size_t tableEnd = im.sectionTable + 40 * rw.placed.size();
  uint32_t firstRaw = uint32_t(im.bytes.size());
  uint32_t oldEnd = AlignUp(uint32_t(im.sectionTable + 40 * im.sections.size()), im.fileAlignment);
  for (const Section& sec : im.sections) {
    if (!sec.RawSize()) continue;
    firstRaw = std::min(firstRaw, sec.RawPtr());
    oldEnd = std::max(oldEnd, sec.RawPtr() + sec.RawSize());
  }
  firstRaw =
      std::min(firstRaw, AlignUp(std::max(im.sizeOfHeaders, uint32_t(tableEnd)), im.fileAlignment));
  uint32_t pos = firstRaw;
  while (pos < tableEnd) pos += im.fileAlignment;  // room for one more section header
  const uint32_t headersSize = pos;
  if (!rw.placed.empty() && AlignUp(headersSize, im.sectionAlignment) > rw.placed.front().newVa) {
    s.Fail(kExeFormat, exe);
    return false;
  }
  for (size_t i = 0; i < rw.placed.size(); ++i) {
    Placed& p = rw.placed[i];
    uint32_t raw = i == resourceSlot ? r.SectionSize : im.sections[p.oldIndex].RawSize();
    if (!raw) continue;
    pos = AlignUp(pos, im.fileAlignment);
    p.newPtr = pos;
    pos += raw;
  }
  rw.trailerOld = oldEnd;
  rw.trailerNew = AlignUp(pos, 8);

  // Fix-ups, in the copy at the old offsets.
  const bool moved = rw.Moved();
  if (moved && (!rw.FixImports() || !rw.FixExports() || !rw.FixRelocations())) {
    s.Fail(kExeFormat, exe);
    return false;
  }
  if (!rw.FixDebugDirectory(moved)) {
    s.Fail(kExeFormat, exe);
    return false;
  }

  // Headers: everything up to the section table, then the new table, then zeros.
  std::vector<uint8_t> headers(headersSize, 0);
  std::memcpy(headers.data(), im.bytes.data(), im.sectionTable);
  uint8_t* h = headers.data();
  for (size_t i = 0; i < rw.placed.size(); ++i) {
    Placed& p = rw.placed[i];
    Put32(p.section.record + 12, p.newVa);
    Put32(p.section.record + 20, p.newPtr);
    if (i != resourceSlot)
      for (int field : {24, 28})
        if (uint32_t v = Get32(p.section.record + field))
          Put32(p.section.record + field, rw.MapOffset(v));
    std::memcpy(h + im.sectionTable + 40 * i, p.section.record, 40);
  }
  Put16(h + im.fileHeader + 2, uint16_t(rw.placed.size()));
  if (uint32_t symbols = Get32(h + im.fileHeader + 8))
    Put32(h + im.fileHeader + 8, rw.MapOffset(symbols));
  if (moved)
    for (int field : {16, 20, 24}) Put32(h + im.opt + field, rw.MapRva(Get32(h + im.opt + field)));
  const Placed* last = rw.placed.empty() ? nullptr : &rw.placed.back();
  uint32_t lastSpan = !last ? 0
                      : last->oldIndex == kNone
                          ? AlignUp(AlignUp(r.SectionSize, 4096), im.sectionAlignment)
                          : im.Span(last->section);
  Put32(h + im.opt + 56, last ? last->newVa + lastSpan : AlignUp(headersSize, im.sectionAlignment));
  Put32(h + im.opt + 60, headersSize);
  for (uint32_t i = 0; i < im.numberOfDirs; ++i) {
    uint8_t* dir = h + im.dirs + 8 * i;
    if (i == 2) {
      Put32(dir, binding ? rw.placed[resourceSlot].newVa : 0);
      Put32(dir + 4, binding ? r.SectionSize : 0);
    } else if (i == 4) {  // the certificate table is addressed by file offset
      if (Get32(dir)) Put32(dir, rw.MapOffset(Get32(dir)));
    } else if (i == 11) {  // bound imports live in the header gap, which is cleared
      Put32(dir, 0);
      Put32(dir + 4, 0);
    } else if (moved && Get32(dir)) {
      Put32(dir, rw.MapRva(Get32(dir)));
    }
  }
  if (binding) {
    r.SectionRva = rw.placed[resourceSlot].newVa;
    r.FilePosition = rw.placed[resourceSlot].newPtr;
  }

  // Destination, then the write; a failure removes what was created.
  std::string written = separate ? dest : TemporaryName(s, exe);
  int32_t out =
      separate ? s.cb->CreateOutput(written.c_str()) : s.cb->CreateTemporary(written.c_str());
  if (out == -1) {
    s.Fail(separate ? kCreate : kCreateTemp, written);
    return false;
  }
  // A checksum the image had is computed anew; one it did not have stays 0.
  const size_t checksumAt = im.opt + 64;
  const bool checksummed = Get32(&headers[checksumAt]) != 0;
  if (checksummed) Put32(&headers[checksumAt], 0);
  s.checksum = 0;
  s.summing = checksummed;
  uint32_t fileSize = 0;
  bool ok = WriteImage(s, rw, out, written, headers, binding, resourceSlot, fileSize);
  s.summing = false;
  if (ok && checksummed) {
    uint8_t sum[4];
    Put32(sum, ((s.checksum & 0xFFFF) + (s.checksum >> 16) + fileSize) & 0xFFFFFFFFu);
    ok = s.SeekTo(out, uint32_t(checksumAt), written) && s.WriteAll(out, sum, 4, written);
  }
  s.cb->Close(out);
  if (ok && !separate && !ReplaceFile(written, exe)) {
    s.Fail(kRename, exe);
    ok = false;
  }
  if (!ok && std::remove(written.c_str()) != 0) s.Fail(kDelete, written);
  return ok;
}

}  // namespace resbind
