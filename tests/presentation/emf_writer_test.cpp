// The metafile writer: the header agrees with the records, objects are made once per state,
// text is UTF-16 with its advances, and an independent reader sees the chart.

#include "presentation/emf_writer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <regex>

#include "presentation/chart_data.h"
#include "presentation/fit_chart.h"
#include "support/files.h"
#include "support/scripted_ui.h"
#include "support/temp_folder.h"

namespace zelk {
namespace {

std::uint32_t U32At(const std::vector<std::uint8_t>& b, std::size_t at) {
  std::uint32_t v;
  std::memcpy(&v, b.data() + at, 4);
  return v;
}
std::int32_t I32At(const std::vector<std::uint8_t>& b, std::size_t at) {
  return static_cast<std::int32_t>(U32At(b, at));
}

struct Record {
  std::uint32_t Type;
  std::size_t Offset, Size;
};

// Walks the records as a reader does; fails the test on a size that does not fit.
std::vector<Record> Records(const std::vector<std::uint8_t>& b) {
  std::vector<Record> out;
  for (std::size_t at = 0; at + 8 <= b.size();) {
    const std::uint32_t size = U32At(b, at + 4);
    EXPECT_EQ(size % 4, 0u) << "record at " << at;
    EXPECT_GE(size, 8u);
    if (size < 8 || at + size > b.size()) {
      ADD_FAILURE() << "record at " << at << " runs past the end";
      break;
    }
    out.push_back({U32At(b, at), at, size});
    at += size;
  }
  return out;
}

std::vector<std::uint32_t> Types(const std::vector<Record>& records) {
  std::vector<std::uint32_t> types;
  for (const Record& r : records) types.push_back(r.Type);
  return types;
}

TEST(EmfWriter, TheHeaderAgreesWithTheRecordsItDescribes) {
  ApproximateTextMeasure measure;
  EmfCanvas emf(543, 426, measure);
  emf.Rectangle(10, 20, 110, 70);
  emf.SetFont({"Arial", 12, 0x0000FF, true, false, false});
  emf.TextOut(200, 5, "ab");
  const std::vector<std::uint8_t> b = emf.Finish();
  const auto records = Records(b);
  ASSERT_FALSE(records.empty());
  EXPECT_EQ(records.front().Type, EMR_HEADER);
  EXPECT_EQ(records.back().Type, EMR_EOF);
  EXPECT_EQ(records.back().Size, 20u);
  EXPECT_EQ(U32At(b, 40), 0x464D4520u);            // signature
  EXPECT_EQ(U32At(b, 48), b.size());               // nBytes
  EXPECT_EQ(U32At(b, 52), records.size());         // nRecords
  EXPECT_EQ(U32At(b, 56) & 0xFFFF, 7u);            // handles: two slots per kind + reserved
  const std::uint32_t description = U32At(b, 64);  // offset, inside the header record
  EXPECT_EQ(description, 108u);
  EXPECT_LE(description + 2 * U32At(b, 60), records.front().Size);
  // Bounds: the rectangle's pixels and the text's box, inclusive.
  const int textWidth = measure.Width(emf.Font(), "ab", 96);
  const int textHeight = measure.Height(emf.Font(), "ab", 96);
  EXPECT_EQ(I32At(b, 8), 10);
  EXPECT_EQ(I32At(b, 12), 5);
  EXPECT_EQ(I32At(b, 16), 200 + textWidth - 1);
  EXPECT_EQ(I32At(b, 20), std::max(69, 5 + textHeight - 1));
  // Frame: the whole picture in hundredths of a millimetre at 96 dpi.
  EXPECT_EQ(I32At(b, 24), 0);
  EXPECT_EQ(I32At(b, 32), (543 * 2540 + 48) / 96 - 1);
  EXPECT_EQ(I32At(b, 36), (426 * 2540 + 48) / 96 - 1);
  // Reference device: 96 dpi exactly.
  EXPECT_EQ(I32At(b, 72) * 254, I32At(b, 80) * 960);
}

TEST(EmfWriter, ObjectsAreMadeOnlyWhenTheStateChanges) {
  ApproximateTextMeasure measure;
  EmfCanvas emf(100, 100, measure);
  emf.Rectangle(0, 0, 10, 10);
  emf.Rectangle(20, 0, 30, 10);
  emf.SetPen({0x00FF00, PenStyle::Dash, 2});
  emf.MoveTo(0, 50);
  emf.LineTo(90, 50);
  const std::vector<std::uint8_t> b = emf.Finish();
  const auto records = Records(b);
  const std::vector<std::uint32_t> types = Types(records);
  const std::vector<std::uint32_t> drawing(types.begin() + 2, types.end());
  const std::vector<std::uint32_t> want = {
      EMR_CREATEPEN,  EMR_SELECTOBJECT, EMR_CREATEBRUSHINDIRECT, EMR_SELECTOBJECT,
      EMR_RECTANGLE,  EMR_RECTANGLE,    EMR_MOVETOEX,            EMR_CREATEPEN,
      EMR_SELECTOBJECT, EMR_DELETEOBJECT, EMR_LINETO,            EMR_DELETEOBJECT,
      EMR_DELETEOBJECT, EMR_EOF};
  EXPECT_EQ(drawing, want);
  // The second pen lives in the other slot, with its style, width and colour.
  const Record& pen = records[9];
  ASSERT_EQ(pen.Type, EMR_CREATEPEN);
  EXPECT_EQ(U32At(b, pen.Offset + 8), 2u);
  EXPECT_EQ(U32At(b, pen.Offset + 12), 1u);  // PS_DASH
  EXPECT_EQ(I32At(b, pen.Offset + 16), 2);
  EXPECT_EQ(U32At(b, pen.Offset + 24), 0x00FF00u);
  EXPECT_EQ(records[11].Type, EMR_DELETEOBJECT);
  EXPECT_EQ(U32At(b, records[11].Offset + 8), 1u);  // and the first is deleted
}

TEST(EmfWriter, TextIsUtf16WithAdvancesThatSumToItsWidth) {
  ApproximateTextMeasure measure;
  EmfCanvas emf(100, 100, measure);
  emf.SetBrush({0x123456, BrushStyle::Solid});
  const std::string text = "\xC2\xB5m=1";  // "µm=1"
  emf.TextOut(3, 4, text);
  const std::vector<std::uint8_t> b = emf.Finish();
  for (const Record& r : Records(b)) {
    if (r.Type == EMR_SETBKCOLOR) {
      EXPECT_EQ(U32At(b, r.Offset + 8), 0x123456u);
    }
    if (r.Type != EMR_EXTTEXTOUTW) continue;
    const std::size_t at = r.Offset;
    EXPECT_EQ(I32At(b, at + 36), 3);              // reference point
    EXPECT_EQ(I32At(b, at + 40), 4);
    ASSERT_EQ(U32At(b, at + 44), 4u);             // characters
    EXPECT_EQ(U32At(b, at + 52) & 0x2, 0x2u);     // opaque: a solid brush fills the box
    const std::uint32_t offString = U32At(b, at + 48), offDx = U32At(b, at + 72);
    std::uint16_t first;
    std::memcpy(&first, b.data() + at + offString, 2);
    EXPECT_EQ(first, 0x00B5);
    std::uint32_t sum = 0;
    for (int i = 0; i < 4; ++i) sum += U32At(b, at + offDx + 4 * i);
    EXPECT_EQ(sum, static_cast<std::uint32_t>(measure.Width(emf.Font(), text, 96)));
    EXPECT_LE(offDx + 16, r.Size);
    return;
  }
  FAIL() << "no text record";
}

// A caption of any length costs time in proportion to its length, and its record still adds
// up: string and advances where the offsets say, the advances summing to the box's width.
TEST(EmfWriter, AVeryLongCaptionIsWrittenQuicklyWithConsistentSizes) {
  ApproximateTextMeasure measure;
  EmfCanvas emf(100, 100, measure);
  std::string text;
  // Five characters in six UTF-16 units: one of them takes a surrogate pair.
  const std::string five = std::string("Wi\xC3\xA9\xF0\x9F\x98\x80") + "a";
  for (int i = 0; i < 20000; ++i) text += five;
  const auto start = std::chrono::steady_clock::now();
  emf.TextOut(0, 0, text);
  const std::vector<std::uint8_t> b = emf.Finish();
  // Quadratic work took minutes here; linear takes a tenth of a second, several under ASan.
#if defined(__SANITIZE_ADDRESS__)
  constexpr auto kBound = std::chrono::seconds(5);
#else
  constexpr auto kBound = std::chrono::milliseconds(500);
#endif
  EXPECT_LT(std::chrono::steady_clock::now() - start, kBound);
  const auto records = Records(b);
  EXPECT_EQ(U32At(b, 48), b.size());
  EXPECT_EQ(U32At(b, 52), records.size());
  for (const Record& r : records) {
    if (r.Type != EMR_EXTTEXTOUTW) continue;
    const std::size_t at = r.Offset;
    const std::uint32_t units = U32At(b, at + 44), offString = U32At(b, at + 48);
    const std::uint32_t offDx = U32At(b, at + 72);
    EXPECT_EQ(units, 120000u);
    EXPECT_EQ(offString, 76u);
    EXPECT_EQ(offDx, offString + 2 * units);
    EXPECT_EQ(r.Size, offDx + 4 * units);
    long long sum = 0;
    for (std::uint32_t i = 0; i < units; ++i) sum += U32At(b, at + offDx + 4 * i);
    EXPECT_EQ(sum, I32At(b, at + 16) - I32At(b, at + 8) + 1);  // the bounds' width
    EXPECT_EQ(sum, I32At(b, at + 64) - I32At(b, at + 56));     // the clip rectangle's
    // Within a run the advances are exact; restarting a run rounds at most once per run.
    const long long whole = measure.Width(emf.Font(), text, 96);
    EXPECT_LE(std::llabs(sum - whole), static_cast<long long>(units / 64 + 1));
    return;
  }
  FAIL() << "no text record";
}

TEST(EmfWriter, APictureOfNothingIsStillAValidFile) {
  ApproximateTextMeasure measure;
  EmfCanvas emf(50, 40, measure);
  const std::vector<std::uint8_t> b = emf.Finish();
  EXPECT_EQ(Types(Records(b)), (std::vector<std::uint32_t>{EMR_HEADER, EMR_SETTEXTALIGN, EMR_EOF}));
  EXPECT_EQ(U32At(b, 48), b.size());
}

// The chart of two experiments drawn into a metafile and read back by emf2svg.
TEST(EmfWriter, AnIndependentReaderSeesTheFrameMarkersCurvesAndTexts) {
  if (test::RunCommand("command -v emf2svg-conv").Status != 0)
    GTEST_SKIP() << "emf2svg-conv is not installed (Debian package emf2svg)";
  auto measured = std::make_unique<TDataSet>(), chart = std::make_unique<TDataSet>();
  const double times[] = {0, 2, 4, 0, 2, 4};
  measured->YData.EventCount = 6;
  for (int j = 1; j <= 6; ++j) {
    measured->XData.X[j][1] = times[j - 1];
    measured->YData.M[j][1] = 1 + times[j - 1] + (j > 3);
    measured->YData.Defined[j][1] = true;
  }
  RefreshChartData(*measured, *chart, 1);
  for (int j = 1; j <= chart->YData.EventCount; ++j)
    chart->YData.C[j][1] = 1 + chart->XData.X[j][1];
  VisibilityTree tree(nullptr);
  tree.Rebuild(*measured);
  TPreferences prefs;
  prefs.Descriptions[kTitleDesc].Active = true;
  prefs.Descriptions[kTitleDesc].Caption = "Decay of A";
  const FitChartScene scene{*measured, *chart, prefs.Series, prefs.Descriptions, tree};
  ApproximateTextMeasure measure;
  EmfCanvas emf(543, 426, measure);
  DrawChartFrame(emf, 543, 426, scene);
  DrawDataMarkers(emf, 543, 426, scene);
  DrawCurves(emf, 543, 426, scene);

  test::TempFolder folder;
  const std::string emfPath = folder.File("chart.emf"), svgPath = folder.File("chart.svg");
  const std::vector<std::uint8_t> bytes = emf.Finish();
  test::WriteText(emfPath, std::string(bytes.begin(), bytes.end()));
  const test::CommandRun run = test::RunCommand("emf2svg-conv -i '" + emfPath + "' -o '" + svgPath + "'");
  ASSERT_EQ(run.Status, 0) << run.Out;
  const std::string svg = test::ReadText(svgPath);

  EXPECT_NE(svg.find("<rect x=\"81.0000\" y=\"42.0000\" width=\"408.0000\" height=\"321.0000\""),
            std::string::npos)
      << "the plot frame";
  const std::regex ellipse("<ellipse[^>]*cx=\"([0-9.]+)\"");
  EXPECT_EQ(std::distance(std::sregex_iterator(svg.begin(), svg.end(), ellipse),
                          std::sregex_iterator()),
            6);
  for (const char* text : {"0.00", "4.00", "2.00", "1.00", "6.00", "Decay of A", "1", "2"})
    EXPECT_NE(svg.find(std::string("<![CDATA[") + text + "]]>"), std::string::npos) << text;
  // Each experiment is one open path through its points: 3 events, 2 x 165 inserted rows.
  const std::regex path("<path d=\"M ([^\"]*)\"[^>]*fill=\"none\"");
  int curves = 0;
  for (auto it = std::sregex_iterator(svg.begin(), svg.end(), path); it != std::sregex_iterator();
       ++it) {
    const std::string d = (*it)[1];
    const auto points = std::count(d.begin(), d.end(), 'L') + 1;
    if (points > 2) {
      EXPECT_EQ(points, 3 + 2 * 165);
      EXPECT_EQ(d.substr(0, d.find(' ')), "81.0000,363.0000");
      ++curves;
    }
  }
  EXPECT_EQ(curves, 2);
}

}  // namespace
}  // namespace zelk
