#include "base/data_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>

#include <filesystem>
#include <fstream>
#include <memory>
#include <random>

#include "base/format.h"
#include "base/messages.h"

namespace zelk {
namespace {

std::unique_ptr<TDataSet> MakeData(int indep, int dep, int events) {
  auto data = std::make_unique<TDataSet>();
  data->XData.IndepCount = indep;
  data->YData.DepCount = dep;
  data->YData.EventCount = events;
  return data;
}

TEST(DataFile, SmallestDataSetTakesThirtyNineBytesInTheDocumentedLayout) {
  auto data = MakeData(1, 1, 1);
  data->XData.X[1][1] = 1.0;
  data->XData.Defined[1][1] = true;
  data->YData.M[1][1] = -2.0;  // stored but missing
  const auto bytes = EncodeDataFile(*data);
  ASSERT_EQ(bytes.size(), 39u);
  const std::vector<std::uint8_t> expected{
      'Z', 'K', 'D', 1, 0, 1, 0, 0,    0,    1,    0, 0, 0, 1, 0, 0, 0,  // header
      0,   0,   0,   0, 0, 0, 0, 0x80, 0xFF, 0x3F, 1,                    // X[1][1] = 1, defined
      0,   0,   0,   0, 0, 0, 0, 0x80, 0x00, 0xC0, 0};                   // M[1][1] = -2, missing
  EXPECT_EQ(bytes, expected);
}

TEST(DataFile, SizeFollowsTheCountsWithVariablesOuterAndEventsInner) {
  auto data = MakeData(3, 5, 7);
  data->XData.X[2][1] = 42;  // event 2 of variable 1 is the second value
  const auto bytes = EncodeDataFile(*data);
  EXPECT_EQ(bytes.size(), 17u + 11u * 7 * (3 + 5));
  Extended80 second;
  std::copy(bytes.begin() + 17 + 11, bytes.begin() + 17 + 21, second.begin());
  EXPECT_EQ(ExtendedToDouble(second), 42.0);
}

TEST(DataFile, RoundTripsAThousandEventsWithMissingValuesAndTheirStoredValues) {
  auto data = MakeData(20, 50, 1000);
  std::mt19937_64 random(3);
  std::uniform_real_distribution<double> value(-1e6, 1e6);
  for (int j = 1; j <= 1000; ++j) {
    for (int i = 1; i <= 20; ++i) {
      data->XData.X[j][i] = value(random);
      data->XData.Defined[j][i] = random() % 7 != 0;
    }
    for (int i = 1; i <= 50; ++i) {
      data->YData.M[j][i] = value(random);
      data->YData.Defined[j][i] = random() % 5 != 0;
    }
  }
  const auto bytes = EncodeDataFile(*data);
  DataFileHeader header;
  ASSERT_EQ(CheckDataFile(bytes, header), DataFileCheck::Ok);
  EXPECT_EQ(header.IndepCount, 20);
  EXPECT_EQ(header.DepCount, 50);
  EXPECT_EQ(header.EventCount, 1000);
  auto back = MakeData(20, 50, 1000);
  DecodeDataValues(bytes, header, *back);
  EXPECT_EQ(back->XData.X, data->XData.X);
  EXPECT_EQ(back->XData.Defined, data->XData.Defined);
  EXPECT_EQ(back->YData.M, data->YData.M);
  EXPECT_EQ(back->YData.Defined, data->YData.Defined);
  EXPECT_EQ(EncodeDataFile(*back), bytes);
}

TEST(DataFile, ChecksHeaderVersionAndLengthBeforeAnythingIsRead) {
  const auto good = EncodeDataFile(*MakeData(2, 3, 4));
  auto with = [&](std::size_t at, std::uint8_t byte) {
    auto b = good;
    b[at] = byte;
    return b;
  };
  struct Case {
    const char* name;
    std::vector<std::uint8_t> bytes;
    DataFileCheck check;
  } cases[] = {
      {"empty file", {}, DataFileCheck::BadHeader},
      {"two bytes", {'Z', 'K'}, DataFileCheck::BadHeader},
      {"other magic", with(0, 'X'), DataFileCheck::BadHeader},
      {"lower-case magic", with(2, 'd'), DataFileCheck::BadHeader},
      {"version 2", with(3, 2), DataFileCheck::BadVersion},
      {"reserved byte 1", with(4, 1), DataFileCheck::BadVersion},
      {"magic only", {'Z', 'K', 'D'}, DataFileCheck::Truncated},
      {"header cut", std::vector<std::uint8_t>(good.begin(), good.begin() + 12),
       DataFileCheck::Truncated},
      {"last value cut", std::vector<std::uint8_t>(good.begin(), good.end() - 1),
       DataFileCheck::Truncated},
      {"huge event count", with(16, 0x7F), DataFileCheck::Truncated},
      {"intact", good, DataFileCheck::Ok},
  };
  for (const auto& c : cases) {
    DataFileHeader header;
    EXPECT_EQ(CheckDataFile(c.bytes, header), c.check) << c.name;
  }
}

TEST(DataFile, HugeCountsDoNotOverflowTheSizeComputation) {
  DataFileHeader header{0x7FFFFFFF, 0x7FFFFFFF, 0x7FFFFFFF};
  EXPECT_GT(DataFileValueBytes(header), std::uint64_t{1} << 40);
  DataFileHeader negative{-5, 3, -1};
  EXPECT_EQ(DataFileValueBytes(negative), 0u);
}

TEST(DataFile, HugeVariableCountsWithoutEventsDecodeAtOnce) {
  // 17 bytes claiming 2^31 - 1 variables of each kind and no events: no values to read, and
  // the decoder must not walk the counts (it spun four billion times).
  const std::vector<std::uint8_t> bytes{'Z',  'K',  'D',  1,    0,    0xFF, 0xFF, 0xFF, 0x7F,
                                        0xFF, 0xFF, 0xFF, 0x7F, 0,    0,    0,    0};
  DataFileHeader header;
  ASSERT_EQ(CheckDataFile(bytes, header), DataFileCheck::Ok);
  auto data = MakeData(1, 1, 1);
  data->XData.X[1][1] = 7;
  const auto start = std::chrono::steady_clock::now();
  DecodeDataValues(bytes, header, *data);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(100));
  EXPECT_EQ(data->XData.X[1][1], 7);
}

TEST(DataFile, ValuesBeyondTheCapacityAreSkippedWithoutShiftingTheRest) {
  // A damaged file claiming 22 independent variables: variables 21 and 22 are skipped and
  // the dependent values still come from their own place in the file.
  std::vector<std::uint8_t> bytes{'Z', 'K', 'D', 1, 0, 22, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0};
  for (int i = 1; i <= 23; ++i) {
    const Extended80 e = DoubleToExtended(i);
    bytes.insert(bytes.end(), e.begin(), e.end());
    bytes.push_back(1);
  }
  DataFileHeader header;
  ASSERT_EQ(CheckDataFile(bytes, header), DataFileCheck::Ok);
  auto data = MakeData(20, 1, 1);
  DecodeDataValues(bytes, header, *data);
  EXPECT_EQ(data->XData.X[1][20], 20.0);
  EXPECT_EQ(data->YData.M[1][1], 23.0);
}

class FileReplace : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = std::filesystem::temp_directory_path() /
              ("zelk-replace-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
               "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(folder_);
    std::filesystem::create_directories(folder_);
  }
  void TearDown() override {
    std::filesystem::permissions(folder_, std::filesystem::perms::owner_all);
    std::filesystem::remove_all(folder_);
  }
  std::filesystem::path folder_;
};

TEST_F(FileReplace, WritesAndReadsBackAndLeavesNoTemporaryFile) {
  const auto path = (folder_ / "data.zkd").string();
  std::string error;
  ASSERT_TRUE(WriteFileReplacing(path, {1, 2, 3}, error)) << error;
  ASSERT_TRUE(WriteFileReplacing(path, {4, 5}, error)) << error;
  std::vector<std::uint8_t> bytes;
  ASSERT_TRUE(ReadWholeFile(path, bytes, error));
  EXPECT_EQ(bytes, (std::vector<std::uint8_t>{4, 5}));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder_), {}), 1);
}

TEST_F(FileReplace, AFailedWriteKeepsTheFileOnDisk) {
  const auto path = (folder_ / "data.zkd").string();
  std::string error;
  ASSERT_TRUE(WriteFileReplacing(path, {9, 9, 9}, error));
  if (::geteuid() == 0) {
    // root writes into read-only folders; a missing folder fails for everyone.
    EXPECT_FALSE(WriteFileReplacing((folder_ / "missing" / "x.zkd").string(), {1}, error));
  } else {
    std::filesystem::permissions(
        folder_, std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    EXPECT_FALSE(WriteFileReplacing(path, {1}, error));
    std::filesystem::permissions(folder_, std::filesystem::perms::owner_all);
  }
  std::vector<std::uint8_t> bytes;
  ASSERT_TRUE(ReadWholeFile(path, bytes, error));
  EXPECT_EQ(bytes, (std::vector<std::uint8_t>{9, 9, 9}));
}

TEST_F(FileReplace, ReadingAFolderOrAMissingFileFails) {
  std::vector<std::uint8_t> bytes;
  std::string error;
  EXPECT_FALSE(ReadWholeFile(folder_.string(), bytes, error));
  EXPECT_FALSE(ReadWholeFile((folder_ / "none.zkd").string(), bytes, error));
  EXPECT_FALSE(error.empty());
}

TEST_F(FileReplace, ReadingRefusesWhatIsNoRegularFileOrTooLargeUnread) {
  const auto fifo = folder_ / "fifo";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const auto large = folder_ / "large";
  std::ofstream(large).close();
  std::filesystem::resize_file(large, kWholeFileLimit + 1);  // sparse: nothing is written
  const struct {
    std::string path;
    std::string reason;
  } cases[] = {
      {folder_.string(), msg::kReasonFolder},
      {fifo.string(), msg::kReasonNotRegular},
      {"/dev/zero", msg::kReasonNotRegular},
      {large.string(), "it holds 67108865 bytes, more than the 67108864 bytes allowed"},
  };
  for (const auto& c : cases) {
    std::vector<std::uint8_t> bytes;
    std::string error;
    EXPECT_FALSE(ReadWholeFile(c.path, bytes, error)) << c.path;
    EXPECT_EQ(error, c.reason) << c.path;
    EXPECT_TRUE(bytes.empty()) << c.path;
  }
}

TEST_F(FileReplace, AReadOnlyFileIsRefusedWithTheReasonAndKept) {
  const auto path = (folder_ / "kept.zkd").string();
  std::string error;
  ASSERT_TRUE(WriteFileReplacing(path, {7}, error));
  // No write bit for anyone: root too is refused, though the folder would let it replace.
  std::filesystem::permissions(path, std::filesystem::perms::owner_read);
  EXPECT_FALSE(WriteFileReplacing(path, {1, 2}, error));
  EXPECT_EQ(error, msg::kReasonReadOnly);
  std::vector<std::uint8_t> bytes;
  ASSERT_TRUE(ReadWholeFile(path, bytes, error));
  EXPECT_EQ(bytes, std::vector<std::uint8_t>{7});
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder_), {}), 1);
}

TEST_F(FileReplace, ALinkIsWrittenThroughToTheFileItNames) {
  std::filesystem::create_directory(folder_ / "real");
  const auto target = folder_ / "real" / "data.zkd";
  std::string error;
  ASSERT_TRUE(WriteFileReplacing(target.string(), {1}, error));
  const auto link = folder_ / "link.zkd";
  const auto chain = folder_ / "chain.zkd";
  std::filesystem::create_symlink("real/data.zkd", link);  // relative to the link's folder
  std::filesystem::create_symlink(link, chain);
  const auto dangling = folder_ / "dangling.zkd";
  std::filesystem::create_symlink("real/new.zkd", dangling);
  ASSERT_TRUE(WriteFileReplacing(chain.string(), {2, 3}, error)) << error;
  ASSERT_TRUE(WriteFileReplacing(dangling.string(), {4}, error)) << error;
  EXPECT_TRUE(std::filesystem::is_symlink(link));
  EXPECT_TRUE(std::filesystem::is_symlink(chain));
  EXPECT_TRUE(std::filesystem::is_symlink(dangling));
  std::vector<std::uint8_t> bytes;
  ASSERT_TRUE(ReadWholeFile(target.string(), bytes, error));
  EXPECT_EQ(bytes, (std::vector<std::uint8_t>{2, 3}));
  ASSERT_TRUE(ReadWholeFile((folder_ / "real" / "new.zkd").string(), bytes, error));
  EXPECT_EQ(bytes, std::vector<std::uint8_t>{4});
}

TEST_F(FileReplace, ANameOfTheLongestLengthStillSaves) {
  for (std::size_t length : {248u, 255u}) {
    const auto path = folder_ / (std::string(length - 4, 'n') + ".zkd");
    std::string error;
    ASSERT_TRUE(WriteFileReplacing(path.string(), {5}, error)) << length << ": " << error;
    ASSERT_TRUE(WriteFileReplacing(path.string(), {6}, error)) << length << ": " << error;
    std::vector<std::uint8_t> bytes;
    ASSERT_TRUE(ReadWholeFile(path.string(), bytes, error));
    EXPECT_EQ(bytes, std::vector<std::uint8_t>{6});
  }
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder_), {}), 2);
}

}  // namespace
}  // namespace zelk
