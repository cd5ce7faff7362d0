// Helpers of the resource-linker tests: .res files built byte by byte, a reader of the
// written section, and a fixture that runs the exports over files in a fresh folder.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "file_host.h"
#include "resbind.h"

namespace resbind::test {

using Bytes = std::vector<uint8_t>;

struct Id {
  Id(int n) : ordinal(uint16_t(n)) {}
  Id(const char16_t* s) : isString(true), text(s) {}
  Id(std::u16string s) : isString(true), text(std::move(s)) {}
  bool isString = false;
  uint16_t ordinal = 0;
  std::u16string text;
};

struct Res {
  Id type;
  Id name;
  Bytes data;
  uint16_t language = 0x409;
  uint16_t memoryFlags = 0x1030;
  uint32_t dataVersion = 0, version = 0, characteristics = 0;
};

Bytes Text(const std::string& s);  // the bytes of s
Bytes ResHeader(const Res& r);
// A 32-bit .res file; the last entry's data are left unpadded when padLast is false.
Bytes ResFile(const std::vector<Res>& entries, bool padLast = true);
// A string-table block from 16 slots (missing slots are empty).
Bytes StringBlock(const std::vector<std::u16string>& slots);
void Put16(Bytes& b, size_t at, uint16_t v);
void Put32(Bytes& b, size_t at, uint32_t v);
uint16_t Get16(const Bytes& b, size_t at);
uint32_t Get32(const Bytes& b, size_t at);

// One resource as read back from a written section, in directory order.
struct Leaf {
  std::string type, name;  // "#n" for ordinals
  uint16_t language;
  uint32_t rva;
  Bytes data;
};
struct Section {
  std::vector<Leaf> leaves;
  uint32_t directoryEnd = 0;  // offset of the first data entry's end: the directory area size
  uint32_t timeStamp = 0;
  bool sorted = true;  // named entries first, each group ascending, in every directory
};
Section ReadSection(const Bytes& section, uint32_t rva);

struct LinkRun {
  int32_t result = 0;
  uint32_t sectionSize = 0;
  Bytes output;
};

class ResbindTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  std::string Path(const std::string& name) const { return (dir_ / name).string(); }
  std::string Write(const std::string& name, const Bytes& bytes);
  Bytes ReadBack(const std::string& name) const;

  // GetResObjSize, then WriteResObj into a fresh output file when the first succeeds.
  LinkRun Link(const std::vector<std::string>& inputs, uint32_t flags = 0,
               uint32_t fileAlignment = 512, uint32_t sectionAlignment = 4096,
               uint32_t rva = 0x1000);
  std::vector<std::string> Texts() const;  // message texts received so far
  const std::vector<HostMessage>& Messages() const { return FileHost::Messages(); }

  ResBindCallbacks callbacks_ = FileHost::Callbacks();
  std::vector<ResBindInput> nodes_;
  std::filesystem::path dir_;
};

}  // namespace resbind::test
