// Resources that occur in more than one input file, and the verbose resource list.
#include <algorithm>
#include <cstdio>
#include <map>
#include <set>

#include "link_state.h"

namespace resbind {
namespace {

constexpr uint16_t kCursor = 1, kIcon = 3, kStringTable = 6, kFontDirectory = 7, kCursorGroup = 12,
                   kIconGroup = 14;

bool IsOrdinal(const ResId& id, uint16_t n) { return !id.isString && id.ordinal == n; }

void Heading(LinkState& s) {
  if (!s.duplicatesHeadingIssued) {
    s.Issue(kDuplicates);
    s.duplicatesHeadingIssued = true;
  }
}

void Report(LinkState& s, const Entry& kept, const Entry& discarded) {
  Heading(s);
  s.Issue(kDupType, TypeText(kept.type).c_str(), IdText(kept.name).c_str());
  s.Issue(kDupKept, ShortenedFileName(kept.file->name).c_str(),
          ShortenedFileName(discarded.file->name).c_str());
}

void HoldInMemory(Entry& e, std::vector<uint8_t> data) {
  e.dataSize = uint32_t(data.size());
  e.memory = std::make_shared<std::vector<uint8_t>>(std::move(data));
}

// The 16 slots of a string-table block, as UTF-16 strings.
bool ParseStringBlock(const std::vector<uint8_t>& data, std::vector<std::u16string>& slots) {
  slots.assign(16, {});
  size_t at = 0;
  for (auto& slot : slots) {
    if (at + 2 > data.size()) return at == data.size();  // missing trailing slots are empty
    size_t n = Get16(&data[at]);
    at += 2;
    if (at + 2 * n > data.size()) return false;
    for (size_t i = 0; i < n; ++i) slot.push_back(char16_t(Get16(&data[at + 2 * i])));
    at += 2 * n;
  }
  return true;
}

bool MergeStringTables(LinkState& s, Entry& earlier, Entry& later) {
  if (earlier.name.isString || later.name.isString) {
    s.Fail(kInternal);
    return false;
  }
  if (earlier.name.ordinal != later.name.ordinal || earlier.languageId != later.languageId)
    return true;
  std::vector<uint8_t> a, b;
  if (!ReadEntryData(s, earlier, a) || !ReadEntryData(s, later, b)) return false;
  std::vector<std::u16string> keep, other;
  if (!ParseStringBlock(a, keep)) {
    s.Fail(kResFormat, earlier.file->name);
    return false;
  }
  if (!ParseStringBlock(b, other)) {
    s.Fail(kResFormat, later.file->name);
    return false;
  }
  for (int slot = 0; slot < 16; ++slot) {
    if (!keep[slot].empty() && !other[slot].empty()) {
      ResId k{true, 0, keep[slot]}, d{true, 0, other[slot]};
      Heading(s);
      s.Issue(kDupString, unsigned(earlier.name.ordinal * 16 + slot - 16));
      s.Issue(kStringKept, ShortenedFileName(earlier.file->name).c_str(), IdText(k).c_str());
      s.Issue(kStringDiscarded, ShortenedFileName(later.file->name).c_str(), IdText(d).c_str());
    } else if (keep[slot].empty()) {
      keep[slot] = other[slot];
    }
  }
  std::vector<uint8_t> merged;
  for (const auto& str : keep) {
    merged.push_back(uint8_t(str.size()));
    merged.push_back(uint8_t(str.size() >> 8));
    for (char16_t c : str) {
      merged.push_back(uint8_t(c));
      merged.push_back(uint8_t(c >> 8));
    }
  }
  HoldInMemory(earlier, std::move(merged));
  earlier.merged = true;
  later.headerSize = 0;
  return true;
}

struct FontEntry {
  uint16_t ordinal;
  size_t offset, length;
};

bool ParseFontDir(const std::vector<uint8_t>& d, std::vector<FontEntry>& out) {
  if (d.size() < 2) return false;
  size_t count = Get16(d.data()), at = 2;
  for (size_t i = 0; i < count; ++i) {
    if (at + 4 > d.size()) return false;
    size_t length = Get16(&d[at + 2]) == 0x0200 ? 162 : 152;
    if (at + length > d.size()) return false;
    out.push_back({Get16(&d[at]), at, length});
    at += length;
  }
  return true;
}

bool MergeFontDirs(LinkState& s, Entry& earlier, Entry& later) {
  std::vector<uint8_t> a, b;
  if (!ReadEntryData(s, earlier, a) || !ReadEntryData(s, later, b)) return false;
  std::vector<FontEntry> ea, eb;
  if (!ParseFontDir(a, ea)) {
    s.Fail(kResFormat, earlier.file->name);
    return false;
  }
  if (!ParseFontDir(b, eb)) {
    s.Fail(kResFormat, later.file->name);
    return false;
  }
  std::vector<uint8_t> merged(2);
  size_t i = 0, j = 0, count = 0;
  while (i < ea.size() || j < eb.size()) {
    const std::vector<uint8_t>* from;
    FontEntry f;
    if (j == eb.size() || (i < ea.size() && ea[i].ordinal <= eb[j].ordinal)) {
      if (j < eb.size() && ea[i].ordinal == eb[j].ordinal) ++j;  // the earlier file's font wins
      f = ea[i++];
      from = &a;
    } else {
      f = eb[j++];
      from = &b;
    }
    merged.insert(merged.end(), from->begin() + f.offset, from->begin() + f.offset + f.length);
    if (++count > 0xFFFF) {
      s.Fail(kFontDirSize);
      return false;
    }
  }
  Put16(merged.data(), uint16_t(count));
  HoldInMemory(earlier, std::move(merged));
  earlier.merged = true;
  later.headerSize = 0;
  return true;
}

// Offsets of the member-ordinal fields in a cursor or icon group's data.
bool GroupMembers(const std::vector<uint8_t>& d, std::vector<size_t>& fields) {
  if (d.size() < 6) return false;
  size_t count = Get16(&d[4]);
  if (6 + 14 * count > d.size()) return false;
  for (size_t i = 0; i < count; ++i) fields.push_back(6 + 14 * i + 12);
  return true;
}

bool ReadGroup(LinkState& s, const Entry& g, std::vector<uint8_t>& data,
               std::vector<size_t>& fields) {
  if (!ReadEntryData(s, g, data)) return false;
  if (!GroupMembers(data, fields)) {
    s.Fail(kResFormat, g.file->name);
    return false;
  }
  return true;
}

struct ImageKey {
  int file;
  uint16_t type, ordinal;
  auto operator<=>(const ImageKey&) const = default;
};

struct GroupWalk {
  std::set<ImageKey> dropCandidates;  // images of discarded groups
  bool renumber = false;
};

bool ApplyGroupRule(LinkState& s, Entry& earlier, Entry& later, GroupWalk& walk) {
  uint16_t imageType = later.type.ordinal == kCursorGroup ? kCursor : kIcon;
  bool anyImage = std::any_of(s.entries.begin(), s.entries.end(), [&](const Entry& e) {
    return e.kept() && IsOrdinal(e.type, imageType);
  });
  if (!anyImage) {
    s.Fail(imageType == kCursor ? kCursorDir : kIconDir);
    return false;
  }
  // Groups of one name in different languages are translations of each other, not duplicates.
  if (!(earlier.name == later.name) || earlier.languageId != later.languageId) {
    walk.renumber = true;
    return true;
  }
  std::vector<uint8_t> data;
  std::vector<size_t> fields;
  if (!ReadGroup(s, later, data, fields)) return false;
  for (size_t field : fields) {
    uint16_t ordinal = Get16(&data[field]);
    bool found = std::any_of(s.entries.begin(), s.entries.end(), [&](const Entry& e) {
      return e.kept() && e.file == later.file && IsOrdinal(e.type, imageType) &&
             IsOrdinal(e.name, ordinal);
    });
    if (!found) {
      s.Fail(kInternal);
      return false;
    }
    walk.dropCandidates.insert({later.file->number, imageType, ordinal});
  }
  Report(s, earlier, later);
  later.headerSize = 0;
  return true;
}

// Drops the images of discarded groups that no remaining group of their file uses.
bool DropDiscardedImages(LinkState& s, const GroupWalk& walk) {
  if (walk.dropCandidates.empty()) return true;
  std::set<ImageKey> used;
  for (const Entry& g : s.entries) {
    if (!g.kept() || g.type.isString ||
        (g.type.ordinal != kCursorGroup && g.type.ordinal != kIconGroup))
      continue;
    std::vector<uint8_t> data;
    std::vector<size_t> fields;
    if (!ReadGroup(s, g, data, fields)) return false;
    uint16_t imageType = g.type.ordinal == kCursorGroup ? kCursor : kIcon;
    for (size_t f : fields) used.insert({g.file->number, imageType, Get16(&data[f])});
  }
  for (Entry& e : s.entries) {
    if (!e.kept() || e.type.isString || e.name.isString) continue;
    ImageKey key{e.file->number, e.type.ordinal, e.name.ordinal};
    if (walk.dropCandidates.count(key) && !used.count(key)) e.headerSize = 0;
  }
  return true;
}

// Gives every image an ordinal no earlier file uses for the same type, and updates the
// member records of the groups of its file to match.
bool RenumberImages(LinkState& s, uint16_t imageType, uint16_t groupType, bool* changed) {
  uint32_t next = 1;
  for (const Entry& e : s.entries)
    if (e.kept() && IsOrdinal(e.type, imageType) && !e.name.isString)
      next = std::max<uint32_t>(next, e.name.ordinal + 1u);
  std::set<uint16_t> taken;
  for (auto& f : s.inputs) {
    std::map<uint16_t, uint16_t> renamed;
    std::set<uint16_t> mine;
    for (Entry& e : s.entries) {
      if (!e.kept() || e.file != f.get() || !IsOrdinal(e.type, imageType) || e.name.isString)
        continue;
      uint16_t old = e.name.ordinal;
      if (taken.count(old) && !renamed.count(old)) {
        if (next > 0xFFFF) {
          s.Fail(kTooMany);
          return false;
        }
        renamed[old] = uint16_t(next++);
      }
      if (renamed.count(old)) e.name.ordinal = renamed[old];
      mine.insert(e.name.ordinal);
    }
    taken.insert(mine.begin(), mine.end());
    if (renamed.empty()) continue;
    *changed = true;
    for (Entry& g : s.entries) {
      if (!g.kept() || g.file != f.get() || !IsOrdinal(g.type, groupType)) continue;
      std::vector<uint8_t> data;
      std::vector<size_t> fields;
      if (!ReadGroup(s, g, data, fields)) return false;
      for (size_t field : fields) {
        auto it = renamed.find(Get16(&data[field]));
        if (it != renamed.end()) Put16(&data[field], it->second);
      }
      HoldInMemory(g, std::move(data));
    }
  }
  return true;
}

std::string Pad(std::string text, size_t width) {
  if (text.size() < width) text.append(width - text.size(), ' ');
  return text;
}

}  // namespace

std::string TypeText(const ResId& type) {
  if (type.isString) return IdText(type);
  static const uint16_t kLabelled[] = {0,  1,  2,  3,  4,    5,    6,    7,    8,    9,
                                       10, 12, 14, 16, 8192, 8194, 8196, 8197, 32767};
  for (size_t i = 0; i < sizeof kLabelled / sizeof kLabelled[0]; ++i)
    if (kLabelled[i] == type.ordinal) return MessageText(7216 + int(i));
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, MessageText(kUserType), int(type.ordinal));
  return buffer;
}

bool ResolveDuplicates(LinkState& s) {
  if (s.inputs.size() < 2) return true;
  GroupWalk walk;
  Entry* last = nullptr;
  for (Entry& e : s.entries) {
    if (!e.kept()) continue;
    if (!last || !(last->type == e.type)) {
      last = &e;
      continue;
    }
    bool sameKey = last->name == e.name && last->languageId == e.languageId;
    if (e.type.isString) {
      if (sameKey) {
        Report(s, e, *last);
        last->headerSize = 0;
      }
      last = &e;
      continue;
    }
    switch (e.type.ordinal) {
      case kCursor:
      case kIcon:
        last = &e;
        break;
      case kStringTable:
        if (!MergeStringTables(s, *last, e)) return false;
        if (e.kept()) last = &e;
        break;
      case kFontDirectory:
        if (!MergeFontDirs(s, *last, e)) return false;
        break;
      case kCursorGroup:
      case kIconGroup:
        if (!ApplyGroupRule(s, *last, e, walk)) return false;
        if (e.kept()) last = &e;
        break;
      default:
        if (sameKey) {
          Report(s, *last, e);
          e.headerSize = 0;
        } else {
          last = &e;
        }
    }
  }
  if (!DropDiscardedImages(s, walk)) return false;
  bool changed = false;
  if (!RenumberImages(s, kCursor, kCursorGroup, &changed) ||
      !RenumberImages(s, kIcon, kIconGroup, &changed))
    return false;
  if (changed) SortEntries(s.entries);
  return true;
}

void ListResources(LinkState& s) {
  static const size_t kWidths[] = {19, 22, 4, 6, 3, 9, 16};
  s.Issue(kListTitle);
  s.Issue(kListKey1);
  s.Issue(kListKey2);
  std::string heading;
  for (int i = 0; i < 7; ++i) heading += Pad(MessageText(kHeadingFirst + i), kWidths[i]);
  while (!heading.empty() && heading.back() == ' ') heading.pop_back();
  s.IssueText(kListTitle, heading);
  for (const Entry& e : s.entries) {
    if (!e.kept()) continue;
    char size[16], language[16] = "", dataVersion[16] = "";
    std::snprintf(size, sizeof size, "%6ld", long(std::min<uint32_t>(e.dataSize, 999999)));
    if (e.languageId) std::snprintf(language, sizeof language, "%#06x ", unsigned(e.languageId));
    if (e.dataVersion) std::snprintf(dataVersion, sizeof dataVersion, "%#010x", e.dataVersion);
    std::string line = Pad(TypeText(e.type), kWidths[0]) + Pad(IdText(e.name), kWidths[1]) +
                       Pad(e.merged ? "" : std::to_string(e.file->number), kWidths[2]) +
                       Pad(size, kWidths[3]) + Pad(e.memoryFlags & 0x10 ? " *" : "", kWidths[4]) +
                       Pad(language, kWidths[5]) + Pad(dataVersion, kWidths[6]);
    while (!line.empty() && line.back() == ' ') line.pop_back();
    s.IssueText(kListTitle, line);
    if (e.version || e.characteristics) s.Issue(kVersionLine, e.version, e.characteristics);
  }
}

}  // namespace resbind
