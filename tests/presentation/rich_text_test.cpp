#include "presentation/rich_text.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <utility>
#include <vector>

namespace zelk {
namespace {

struct Case {
  const char* name;
  std::string input;
  std::string expected;
};

std::string Body(const std::string& body) {
  return "{\\rtf1\\ansi\\ansicpg1252\\deff0 " + body + "}";
}

std::string ReadBack(const std::string& rtf) {
  std::string text = "untouched";
  EXPECT_TRUE(ReadRtfText(rtf, text));
  return text;
}

TEST(RichText, ModelTextSurvivesWritingAndReadingExactly) {
  const std::vector<std::pair<const char*, std::string>> cases = {
      {"empty", ""},
      {"one line", "dX[1] := -k*X[1];"},
      {"ends with a line break", "a\n"},
      {"only line breaks", "\n\n\n"},
      {"blank and indented lines", "  a\n\n   b  \n "},
      {"digits and letters right after breaks and tabs", "x\n1\t2\tabc\n-3\tb0"},
      {"tabs", "\t\tx\t"},
      {"rtf syntax as text", "{\\rtf1 \\par}\\\\{\\u233? \\'e9 a\\"},
      {"accents and symbols", "T\u00e9st \u2264 2 \u20ac \u00fc \u00a0\u2011"},
      {"beyond the basic plane", "\U0001D6FC = \U0001F600"},
      {"control characters", std::string("a\0b\x01\x1f\x7f", 6)},
  };
  for (const auto& [name, text] : cases) EXPECT_EQ(ReadBack(WriteRtfDocument(text)), text) << name;
}

TEST(RichText, WritesPlainAsciiRtfInAFixedPitchFont) {
  const std::string doc = WriteRtfDocument("x");
  EXPECT_EQ(doc.rfind("{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\fmodern", 0), 0u);
  EXPECT_NE(doc.find("Courier New;"), std::string::npos);
  const std::vector<Case> cases = {
      {"accent", "\u00e9", "\\u233?"},
      {"unit above 0x7FFF", "\ufffd", "\\u-3?"},
      {"surrogate pair", "\U0001F600", "\\u-10179?\\u-8704?"},
      {"tab", "a\tb", "a\\tab b"},
      {"escapes", "{\\}", "\\{\\\\\\}"},
      {"every kind of line break", "a\r\nb\rc\nd", "a\\par\nb\\par\nc\\par\nd\\par\n}"},
      {"legacy Windows-1252 bytes", "caf\xe9 \x80", "caf\\u233? \\u8364?"},
  };
  for (const Case& c : cases) {
    const std::string written = WriteRtfDocument(c.input);
    EXPECT_NE(written.find(c.expected), std::string::npos) << c.name << "\n" << written;
    for (char byte : written) ASSERT_GE(byte, 0) << c.name;
  }
}

// Documents as word processors and rich-edit controls write them.
const std::vector<Case>& ForeignDocuments() {
  static const std::vector<Case> cases = {
      {"rich-edit control",
       R"({\rtf1\ansi\ansicpg1252\deff0\nouicompat\deflang1033{\fonttbl{\f0\fnil\fcharset0 Courier New;}}
{\colortbl ;\red255\green0\blue0;}
{\*\generator Riched20 10.0.19041}\viewkind4\uc1 
\pard\f0\fs20 dX[1] := -k*X[1];\par
\cf1 caf\'e9\cf0\tab x\par
}
)",
       "dX[1] := -k*X[1];\ncaf\u00e9\tx"},
      {"word processor",
       R"({\rtf1\ansi\deff4\adeflang1025
{\fonttbl{\f0\froman\fprq2\fcharset0 Times New Roman;}{\f4\fmodern\fprq1\fcharset0 Courier New;}}
{\colortbl;\red0\green0\blue0;\red128\green128\blue128;}
{\stylesheet{\s0\snext0\loch\f4\fs20\lang1033 Default Paragraph Style;}
{\*\cs15\snext15 Placeholder;}}{\*\generator Office/7.4$Linux_X86_64}
{\info{\title Model}{\creatim\yr2024\mo3\dy1\hr10\min5}}{\*\userprops}\deftab709
{\*\ftnsep\chftnsep}\pgndecimal\pard\plain \s0\widctlpar\ltrpar\cf0\loch\f4\fs20\lang1033\ql{\loch
Model }{\b\loch T\u233\'e9st}
\par \pard\plain \s0\ql{\loch\tab a\line b}
\par }
)",
       "Model T\u00e9st\n\ta\nb"},
      {"leading whitespace and byte-order mark", "\xEF\xBB\xBF \r\n{\\rtf1 x}", "x"},
      {"code page other than 1252 reads as Latin-1", "{\\rtf1\\ansi\\ansicpg28591 \\'80\\'e9}",
       "\u0080\u00e9"},
      {"code page 1252 escapes and raw bytes", Body("\\'e9t\\'e9 \\'80 \x93"),
       "\u00e9t\u00e9 \u20ac \u201c"},
      {"unicode with its fallback", Body("\\u233\\'e9t\\u233?"), "\u00e9t\u00e9"},
      {"fallback counts per group", Body("{\\uc2\\u233\\'e9\\'e9}\\u233 y\\uc0\\u233 x"),
       "\u00e9\u00e9\u00e9x"},
      {"fallback ends at a brace", Body("\\u233{x}"), "\u00e9x"},
      {"negative units and surrogate pairs", Body("\\u-3?\\u-10179?\\u-8704?"), "\ufffd\U0001F600"},
      {"parameters and the space ending a word", Body("\\b\\fs24 bold\\b0\\i1x\\fs24  two"),
       "boldx two"},
      {"escaped characters", Body("\\\\ \\{ \\}"), "\\ { }"},
      {"non-breaking space, optional and non-breaking hyphen", Body("a\\~b\\-c\\_d"),
       "a\u00a0bc\u2011d"},
      {"typographic words", Body("\\ldblquote a\\rdblquote\\endash\\emdash"),
       "\u201ca\u201d\u2013\u2014"},
      {"text split across groups", Body("{\\b mo}{\\i{d}el}"), "model"},
      {"destinations",
       Body("{\\*\\unknown x}{\\header h}{\\field{\\*\\fldinst HYPERLINK "
            "\"u\"}{\\fldrslt link}}"),
       "link"},
      {"hidden text", Body("{\\v hidden}shown\\v x\\v0 y"), "showny"},
      {"binary data", Body("{\\pict\\bin3 }{\\}after"), "after"},
      {"line breaks and tabs", Body("a\\line b\\par c\\tab d\te\r\nf\\\ng"), "a\nb\nc\td\tef\ng"},
      {"last paragraph mark", Body("a\\par\\par "), "a\n"},
      {"last line break", Body("a\\line"), "a\n"},
  };
  return cases;
}

TEST(RichText, ReadsTextFromOtherPrograms) {
  for (const Case& c : ForeignDocuments()) EXPECT_EQ(ReadBack(c.input), c.expected) << c.name;
}

TEST(RichText, CutDocumentGivesTheTextUpToTheCut) {
  std::vector<Case> cases = ForeignDocuments();
  const std::string ours = "T\u00e9st\t{x}\\ \U0001F600\n\x01line 2\n";
  cases.push_back({"written here", WriteRtfDocument(ours), ours});
  for (const Case& c : cases) {
    for (std::size_t n = c.input.find("{\\rtf") + 5; n < c.input.size(); ++n) {
      const std::string text = ReadBack(c.input.substr(0, n));
      ASSERT_EQ(text, c.expected.substr(0, text.size())) << c.name << " cut at " << n;
    }
  }
}

TEST(RichText, PlainTextIsNotRichText) {
  for (const std::string data : {"", "dX := 1;", "  {not rtf}", "{\\rt", "x{\\rtf1 a}"}) {
    std::string text = "untouched";
    EXPECT_FALSE(ReadRtfText(data, text)) << data;
    EXPECT_EQ(text, "untouched");
  }
}

TEST(RichText, DamagedDocumentsAreReadAsFarAsTheyGo) {
  const std::vector<Case> cases = {
      {"closed too early", "{\\rtf1 a}b}", "a"},
      {"groups never closed", "{\\rtf1 {{{a{\\b b", "ab"},
      {"cut inside a destination", "{\\rtf1 {\\fonttbl{\\f0 Courier", ""},
      {"deep nesting", "{\\rtf1 x" + std::string(100000, '{'), "x"},
      {"huge parameters", "{\\rtf1\\uc99999999999 \\u99999999999 abc}", "\ufffd"},
      {"binary longer than the data", "{\\rtf1 a\\bin99999999 b}", "a"},
      {"negative counts", "{\\rtf1\\uc-5\\u233 x\\bin-4 y}", "\u00e9xy"},
      {"lone surrogates", "{\\rtf1 \\u-8704?a\\u-10179?b}", "\ufffda\ufffdb"},
      {"bad hex escapes", "{\\rtf1 \\'zz\\'4}", "zz\x04"},
  };
  for (const Case& c : cases) EXPECT_EQ(ReadBack(c.input), c.expected) << c.name;

  // Random token soup: the reader ends, and what it gives is text the writer keeps.
  const std::vector<std::string> tokens = {
      "{", "}",    "\\",    "\\u", "-", "1",    "9",   "\\'",       "e",     "\\bin",
      " ", "\\uc", "\\par", "\\*", "x", "\xC3", "\\v", "\\fonttbl", "\\tab", "\n"};
  std::mt19937 random(7);
  for (int round = 0; round < 3000; ++round) {
    std::string data = "{\\rtf";
    const int length = static_cast<int>(random() % 60);
    for (int i = 0; i < length; ++i) data += tokens[random() % tokens.size()];
    const std::string text = ReadBack(data);
    ASSERT_EQ(ReadBack(WriteRtfDocument(text)), text) << data;
  }
}

}  // namespace
}  // namespace zelk
