#include "base/foreign_data_file.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>

#include "support/foreign_file.h"

namespace zelk {
namespace {

using test::ForeignImage;

Extended80 E(double v) { return DoubleToExtended(v); }

TEST(ForeignDataFile, ChecksMagicVersionAndLength) {
  ForeignImage good;
  good.Events = 2;
  good.Values = {E(1), E(2), E(3), E(4)};
  ForeignImage version1 = good;
  version1.Version = 1;
  ForeignImage reserved = good;
  reserved.Reserved = 7;
  std::vector<std::uint8_t> own{'Z', 'K', 'D', 1, 0};
  std::vector<std::uint8_t> shortByOne = good.Bytes();
  shortByOne.pop_back();
  std::vector<std::uint8_t> trailing = good.Bytes();
  trailing.push_back(0);
  ForeignImage negative;  // negative counts hold no values
  negative.Indep = -3;
  negative.Events = -1;
  struct Case {
    const char* name;
    std::vector<std::uint8_t> bytes;
    DataFileCheck expected;
  } cases[] = {
      {"complete", good.Bytes(), DataFileCheck::Ok},
      {"trailing bytes (the reader refuses them)", trailing, DataFileCheck::Ok},
      {"negative counts", negative.Bytes(), DataFileCheck::Ok},
      {"own format", own, DataFileCheck::BadHeader},
      {"empty", {}, DataFileCheck::BadHeader},
      {"version 1", version1.Bytes(), DataFileCheck::BadVersion},
      {"reserved byte", reserved.Bytes(), DataFileCheck::BadVersion},
      {"magic only", {'G', 'R', 'D'}, DataFileCheck::Truncated},
      {"header cut", {'G', 'R', 'D', 2, 0, 1, 0}, DataFileCheck::Truncated},
      {"last value cut", shortByOne, DataFileCheck::Truncated},
  };
  for (const auto& c : cases) {
    DataFileHeader header;
    Extended80 marker{};
    EXPECT_EQ(CheckForeignDataFile(c.bytes, header, marker), c.expected) << c.name;
  }
}

TEST(ForeignDataFile, TheMarkerMeansMissingAtExtendedPrecision) {
  const Extended80 marker = E(-999.0);
  Extended80 lastBit = marker;
  lastBit[0] ^= 1;  // differs only in the last bit of the 64-bit significand
  Extended80 nan{};
  nan[7] = 0xC0;  // quiet NaN: integer bit and top fraction bit
  nan[8] = 0xFF;
  nan[9] = 0x7F;
  EXPECT_TRUE(MatchesMissingMarker(marker, marker));
  EXPECT_FALSE(MatchesMissingMarker(lastBit, marker));
  EXPECT_FALSE(MatchesMissingMarker(E(0.0), marker));
  EXPECT_TRUE(MatchesMissingMarker(nan, marker));
  EXPECT_TRUE(MatchesMissingMarker(E(5.0), nan));
  EXPECT_TRUE(MatchesMissingMarker(E(0.0), E(-0.0)));
}

TEST(ForeignDataFile, DecodesVariableByVariableAndFollowsTheFileCounts) {
  // 22 independent variables: the two beyond the capacity are skipped, and the dependent
  // block that follows them still lands in Y[1].
  ForeignImage image;
  image.Indep = 22;
  image.Dep = 1;
  image.Events = 2;
  for (int i = 1; i <= 22; ++i)
    for (int j = 1; j <= 2; ++j) image.Values.push_back(E(i * 10 + j));
  image.Values.push_back(E(7.5));
  image.Values.push_back(image.Marker);
  const auto bytes = image.Bytes();
  DataFileHeader header;
  Extended80 marker{};
  ASSERT_EQ(CheckForeignDataFile(bytes, header, marker), DataFileCheck::Ok);
  auto data = std::make_unique<TDataSet>();
  DecodeForeignValues(bytes, header, marker, *data);
  EXPECT_EQ(data->XData.X[2][1], 12);
  EXPECT_EQ(data->XData.X[1][20], 201);
  EXPECT_TRUE(data->XData.Defined[1][20]);
  EXPECT_EQ(data->YData.M[1][1], 7.5);
  EXPECT_TRUE(data->YData.Defined[1][1]);
  EXPECT_EQ(data->YData.M[2][1], 0.0);
  EXPECT_FALSE(data->YData.Defined[2][1]);
}

}  // namespace
}  // namespace zelk
