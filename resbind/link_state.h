// The state one call sequence keeps between exports, the first-error slot, and the
// checked wrappers around the caller's callbacks.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "resbind.h"

namespace resbind {

// Message numbers the library issues.
enum Msg : int {
  kBanner = 7200,
  kInputFile = 7201,
  kLinked = 7202,
  kLinkedTo = 7203,
  kReading = 7204,
  kWriting = 7205,
  kListTitle = 7206,
  kListKey1 = 7207,
  kListKey2 = 7208,
  kHeadingFirst = 7209,
  kUserType = 7235,
  kVersionLine = 7239,
  kDupType = 7241,
  kDupString = 7242,
  kDupKept = 7243,
  kStringKept = 7244,
  kStringDiscarded = 7245,
  kUsageFirst = 7248,
  kUsageLast = 7256,
  kDuplicates = 7360,
  kNoResources = 7361,
  kTooManyInputs = 7440,
  kInternal = 7441,
  kNestedCommandFile = 7442,
  kBadArgument = 7443,
  kSyntax = 7444,
  kUnsupported16 = 7445,
  kPrefix = 7552,
  kPrefixFile = 7553,
  kOpen = 7554,
  kCreate = 7555,
  kCreateTemp = 7556,
  kDelete = 7557,
  kRename = 7558,
  kSeek = 7559,
  kRead = 7560,
  kWrite = 7561,
  kSize = 7562,
  kExeFormat = 7563,
  kResFormat = 7565,
  kMemory = 7566,
  kTooMany = 7568,
  kFontDir = 7569,
  kIconDir = 7570,
  kCursorDir = 7571,
  kFontDirSize = 7572,
};

const char* MessageText(int number);  // null outside the catalogue
int SeverityOf(int number);
std::string ShortenedFileName(const std::string& name);

// TYPE or NAME of a resource: an ordinal, or a UTF-16 string.
struct ResId {
  bool isString = false;
  uint16_t ordinal = 0;
  std::u16string text;
  bool operator==(const ResId& o) const {
    return isString == o.isString && (isString ? text == o.text : ordinal == o.ordinal);
  }
};
int CompareIds(const ResId& a, const ResId& b);
std::string IdText(const ResId& id);  // decimal ordinal or the string as UTF-8

struct InputFile {
  int number = 0;
  std::string name;
  int32_t handle = -1;
  uint32_t size = 0;
};

struct Entry {
  uint32_t dataSize = 0;
  uint32_t headerSize = 0;  // 0 marks a dropped entry
  ResId type, name;
  uint32_t dataVersion = 0;
  uint16_t memoryFlags = 0;
  uint16_t languageId = 0;
  uint32_t version = 0;
  uint32_t characteristics = 0;
  uint32_t dataOffset = 0;                       // in the input file; unused when held in memory
  std::shared_ptr<std::vector<uint8_t>> memory;  // data held in memory (merged, converted)
  InputFile* file = nullptr;
  bool merged = false;  // a merged string table or font directory
  bool kept() const { return headerSize != 0; }
};

// One laid-out section, waiting to be written.
struct Layout {
  std::vector<uint8_t> directory;        // directory area; data entries at its end
  std::vector<uint8_t> strings;          // name-string area, padded to 4
  std::vector<size_t> dataEntryOffsets;  // where each kept entry's data entry lies in directory
  std::vector<Entry*> order;             // kept entries, in table order
  uint32_t unpaddedSize = 0;             // directory + strings + data, before file alignment
};

constexpr size_t kEntryCapacity = 65280 / 18 - 1;

struct LinkState {
  const ResBindCallbacks* cb = nullptr;
  ResBindRequest* request = nullptr;
  int error = 0;
  std::string errorFile;
  bool hasErrorFile = false;
  bool duplicatesHeadingIssued = false;
  uint32_t timeStamp = 0;
  std::vector<std::unique_ptr<InputFile>> inputs;
  std::vector<Entry> entries;
  Layout layout;
  bool laidOut = false;
  bool exeOpened = false;  // a binding or removal got past opening the executable
  bool summing = false;    // WriteAll adds what it writes to the image checksum
  uint32_t checksum = 0;

  bool failed() const { return error != 0; }
  bool verbose() const { return request && (request->Flags & RESBIND_VERBOSE); }
  void Fail(int number);
  void Fail(int number, const std::string& file);
  void FailHandle(int number, int32_t handle, const std::string& fallbackName);
  void Issue(int number, ...);
  void IssueText(int number, const std::string& text);
  void ReportFirstError();  // issues the recorded error once and clears it
  void Reset();

  // Callback wrappers: each records its documented error on failure and returns false.
  bool SeekTo(int32_t handle, uint32_t position, const std::string& name);
  bool ReadExact(int32_t handle, void* buffer, uint32_t count, const std::string& name);
  bool WriteAll(int32_t handle, const void* buffer, uint32_t count, const std::string& name);
  bool WriteZeros(int32_t handle, uint32_t count, const std::string& name);
};

LinkState& State();

// Collection and duplicate resolution (GetResObjSize, first half).
bool CollectResources(LinkState& s);
bool ResolveDuplicates(LinkState& s);
void SortEntries(std::vector<Entry>& entries);
void ListResources(LinkState& s);
std::string TypeText(const ResId& type);
// Reads an entry's data, from memory or from its input file.
bool ReadEntryData(LinkState& s, const Entry& e, std::vector<uint8_t>& data);

// Layout and writing.
bool LayOutSection(LinkState& s);
bool WriteSection(LinkState& s, int32_t handle, const std::string& outputName);

// Executable rewrite.
bool RewriteExecutable(LinkState& s, bool binding);

inline uint32_t AlignUp(uint32_t v, uint32_t a) { return a ? (v + a - 1) / a * a : v; }
inline uint16_t Get16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }
inline uint32_t Get32(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
inline void Put16(uint8_t* p, uint16_t v) {
  p[0] = uint8_t(v);
  p[1] = uint8_t(v >> 8);
}
inline void Put32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = uint8_t(v >> (8 * i));
}

}  // namespace resbind
