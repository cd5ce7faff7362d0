#include "presentation/rich_text.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <string_view>
#include <vector>

#include "presentation/unicode.h"

namespace zelk {
namespace {

constexpr int kDefaultCodePage = 1252;

void AppendUnicodeEscape(std::string& out, char32_t unit) {
  // RTF parameters are signed 16-bit: units above 0x7FFF are written negative.
  const long value = unit > 0x7FFF ? static_cast<long>(unit) - 0x10000 : static_cast<long>(unit);
  out += "\\u";
  out += std::to_string(value);
  out += '?';
}

constexpr bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
constexpr bool IsDigit(char c) { return c >= '0' && c <= '9'; }

int HexValue(char c) {
  if (IsDigit(c)) return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

enum class WordKind { Destination, Character, Paragraph, Line };

struct KnownWord {
  std::string_view name;
  WordKind kind;
  char32_t character = 0;
};

// Control words that stand for text, and destinations whose text is not part of the
// document's body. Anything else only formats and is passed over.
constexpr KnownWord kKnownWords[] = {
    {"par", WordKind::Paragraph},
    {"sect", WordKind::Paragraph},
    {"line", WordKind::Line},
    {"tab", WordKind::Character, U'\t'},
    {"emdash", WordKind::Character, 0x2014},
    {"endash", WordKind::Character, 0x2013},
    {"emspace", WordKind::Character, 0x2003},
    {"enspace", WordKind::Character, 0x2002},
    {"qmspace", WordKind::Character, 0x2005},
    {"bullet", WordKind::Character, 0x2022},
    {"lquote", WordKind::Character, 0x2018},
    {"rquote", WordKind::Character, 0x2019},
    {"ldblquote", WordKind::Character, 0x201C},
    {"rdblquote", WordKind::Character, 0x201D},
    {"zwj", WordKind::Character, 0x200D},
    {"zwnj", WordKind::Character, 0x200C},
    {"ltrmark", WordKind::Character, 0x200E},
    {"rtlmark", WordKind::Character, 0x200F},
    {"fonttbl", WordKind::Destination},
    {"colortbl", WordKind::Destination},
    {"stylesheet", WordKind::Destination},
    {"listtable", WordKind::Destination},
    {"listoverridetable", WordKind::Destination},
    {"revtbl", WordKind::Destination},
    {"rsidtbl", WordKind::Destination},
    {"filetbl", WordKind::Destination},
    {"info", WordKind::Destination},
    {"generator", WordKind::Destination},
    {"pgdsctbl", WordKind::Destination},
    {"header", WordKind::Destination},
    {"headerl", WordKind::Destination},
    {"headerr", WordKind::Destination},
    {"headerf", WordKind::Destination},
    {"footer", WordKind::Destination},
    {"footerl", WordKind::Destination},
    {"footerr", WordKind::Destination},
    {"footerf", WordKind::Destination},
    {"footnote", WordKind::Destination},
    {"annotation", WordKind::Destination},
    {"atnid", WordKind::Destination},
    {"atnauthor", WordKind::Destination},
    {"fldinst", WordKind::Destination},
    {"xe", WordKind::Destination},
    {"tc", WordKind::Destination},
    {"txe", WordKind::Destination},
    {"pict", WordKind::Destination},
    {"object", WordKind::Destination},
    {"shp", WordKind::Destination},
    {"nonshppict", WordKind::Destination},
    {"pntxta", WordKind::Destination},
    {"pntxtb", WordKind::Destination},
    {"themedata", WordKind::Destination},
    {"colorschememapping", WordKind::Destination},
    {"latentstyles", WordKind::Destination},
    {"datastore", WordKind::Destination},
    {"xmlnstbl", WordKind::Destination},
};

const KnownWord* FindWord(std::string_view name) {
  for (const KnownWord& word : kKnownWords) {
    if (word.name == name) return &word;
  }
  return nullptr;
}

// Reads one document from its opening brace in a single pass. Every step consumes input and
// the group stack lives on the heap, so no input can loop the reader or exhaust its stack.
class RtfReader {
 public:
  RtfReader(std::string_view data, std::size_t start) : data_(data), pos_(start) {}

  std::string Read() {
    while (pos_ < data_.size()) {
      const char c = data_[pos_++];
      if (c == '{') {
        pendingSkip_ = 0;
        groups_.push_back(groups_.empty() ? Group{} : groups_.back());
      } else if (c == '}') {
        pendingSkip_ = 0;
        if (!groups_.empty()) groups_.pop_back();
        if (groups_.empty()) break;  // the document ends with its outermost group
      } else if (c == '\\') {
        ControlSequence();
      } else if (c != '\r' && c != '\n') {
        PlainByte(static_cast<unsigned char>(c));
      }
    }
    // The \par that closes the last paragraph ends the text rather than adding a line.
    if (paragraphEnd_ == text_.size() && !text_.empty()) text_.pop_back();
    return std::move(text_);
  }

 private:
  struct Group {
    bool skip = false;    // inside a destination that is not body text
    bool hidden = false;  // \v
    int unicodeSkip = 1;  // \uc: fallback characters that follow each \u
  };

  bool Suppressed() const { return groups_.back().skip || groups_.back().hidden; }

  // Takes one character unless it is the fallback of the last \u.
  bool TakeFallback() {
    if (pendingSkip_ == 0) return false;
    --pendingSkip_;
    return true;
  }

  void Emit(char32_t cp) {
    if (Suppressed() || cp == U'\r') return;                   // lines are separated by "\n" alone
    if (highSurrogate_ != 0) AppendUtf8(text_, kReplacement);  // a high unit left unpaired
    highSurrogate_ = 0;
    AppendUtf8(text_, cp);
  }

  void EmitUnit(int value) {
    if (Suppressed()) return;
    char32_t unit = kReplacement;
    if (value < 0 && value >= -0x8000) {
      unit = static_cast<char32_t>(value + 0x10000);
    } else if (value >= 0 && value <= 0x10FFFF) {
      unit = static_cast<char32_t>(value);  // some writers put a whole code point
    }
    if (unit >= 0xDC00 && unit < 0xE000 && highSurrogate_ != 0) {
      const char32_t cp = 0x10000 + ((highSurrogate_ - 0xD800) << 10) + (unit - 0xDC00);
      highSurrogate_ = 0;
      AppendUtf8(text_, cp);
    } else if (unit >= 0xD800 && unit < 0xDC00) {
      if (highSurrogate_ != 0) AppendUtf8(text_, kReplacement);
      highSurrogate_ = unit;  // held for the low unit; dropped if the data ends first
    } else {
      Emit(unit);
    }
  }

  void Break(bool paragraph) {
    if (Suppressed()) return;
    Emit(U'\n');
    if (paragraph) paragraphEnd_ = text_.size();
  }

  void PlainByte(unsigned char c) {
    if (TakeFallback()) return;
    if (c == '\t') {
      Emit(U'\t');
    } else if (c >= 0x20) {
      Emit(DecodeAnsiByte(c, codePage_));  // bytes above 0x7F that a writer left unescaped
    }
  }

  void ControlSequence() {
    if (pos_ >= data_.size()) return;  // cut right after the backslash
    const char c = data_[pos_];
    if (IsLetter(c)) {
      ControlWord();
      return;
    }
    ++pos_;
    if (c == '\'') {
      HexByte();
      return;
    }
    if (TakeFallback()) return;
    switch (c) {
      case '\\':
      case '{':
      case '}':
        Emit(static_cast<unsigned char>(c));
        break;
      case '~':
        Emit(0x00A0);  // non-breaking space
        break;
      case '_':
        Emit(0x2011);  // non-breaking hyphen
        break;
      case '*':
        groups_.back().skip = true;  // a destination this reader may ignore
        break;
      case '\r':
      case '\n':
        Break(true);  // a backslash before a line end is a \par
        break;
      default:
        break;  // \- (optional hyphen), \: and \| show nothing
    }
  }

  void HexByte() {
    int value = 0;
    int digits = 0;
    while (digits < 2 && pos_ < data_.size() && HexValue(data_[pos_]) >= 0) {
      value = value * 16 + HexValue(data_[pos_++]);
      ++digits;
    }
    if (digits < 2 && pos_ >= data_.size()) return;  // cut inside the escape
    if (TakeFallback() || digits == 0) return;
    Emit(DecodeAnsiByte(static_cast<unsigned char>(value), codePage_));
  }

  void ControlWord() {
    const std::size_t nameStart = pos_;
    while (pos_ < data_.size() && IsLetter(data_[pos_])) ++pos_;
    const std::string_view name = data_.substr(nameStart, pos_ - nameStart);
    const bool negative = pos_ < data_.size() && data_[pos_] == '-' &&
                          (pos_ + 1 == data_.size() || IsDigit(data_[pos_ + 1]));
    if (negative) ++pos_;
    bool hasParameter = false;
    int parameter = 0;
    while (pos_ < data_.size() && IsDigit(data_[pos_])) {
      hasParameter = true;
      if (parameter < 100'000'000) parameter = parameter * 10 + (data_[pos_] - '0');
      ++pos_;
    }
    // A word that runs into the end of the data may have been cut short: a cut "\u23" must
    // not become a character.
    if (pos_ >= data_.size()) return;
    if (data_[pos_] == ' ') ++pos_;  // the space that ends a word belongs to it
    Word(name, hasParameter, negative ? -parameter : parameter);
  }

  void Word(std::string_view name, bool hasParameter, int parameter) {
    if (name == "bin") {
      // Binary data would otherwise be read as text and braces.
      const auto length = static_cast<std::size_t>(std::max(parameter, 0));
      pos_ += std::min(length, data_.size() - pos_);
    }
    if (TakeFallback() || name == "bin") return;
    Group& group = groups_.back();
    if (name == "u" && hasParameter) {
      EmitUnit(parameter);
      pendingSkip_ = group.unicodeSkip;
    } else if (name == "uc") {
      group.unicodeSkip = std::max(parameter, 0);
    } else if (name == "ansicpg") {
      codePage_ = parameter;
    } else if (name == "v") {
      group.hidden = !hasParameter || parameter != 0;
    } else if (name == "plain") {
      group.hidden = false;
    } else if (const KnownWord* word = FindWord(name)) {
      switch (word->kind) {
        case WordKind::Destination:
          group.skip = true;
          break;
        case WordKind::Character:
          Emit(word->character);
          break;
        case WordKind::Paragraph:
          Break(true);
          break;
        case WordKind::Line:
          Break(false);
          break;
      }
    }
  }

  std::string_view data_;
  std::size_t pos_;
  std::vector<Group> groups_;
  std::string text_;
  int codePage_ = kDefaultCodePage;
  int pendingSkip_ = 0;
  char32_t highSurrogate_ = 0;
  std::size_t paragraphEnd_ = std::string::npos;
};

}  // namespace

namespace {

// `text` (UTF-8) as RTF body text; line breaks become \par.
void AppendRtfText(std::string& out, std::string_view text) {
  std::size_t pos = 0;
  while (pos < text.size()) {
    const char32_t cp = NextCodePoint(text, pos);
    switch (cp) {
      case U'\r':
        if (pos < text.size() && text[pos] == '\n') ++pos;
        [[fallthrough]];
      case U'\n':
        out += "\\par\n";
        break;
      case U'\t':
        out += "\\tab ";  // the space ends the word, so text may follow directly
        break;
      case U'\\':
      case U'{':
      case U'}':
        out += '\\';
        out += static_cast<char>(cp);
        break;
      default:
        if (cp < 0x20 || cp == 0x7F) {
          constexpr char kHex[] = "0123456789abcdef";
          out += "\\'";
          out += kHex[cp >> 4];
          out += kHex[cp & 0xF];
        } else if (cp < 0x80) {
          out += static_cast<char>(cp);
        } else if (cp < 0x10000) {
          AppendUnicodeEscape(out, cp);
        } else {
          AppendUnicodeEscape(out, 0xD800 + ((cp - 0x10000) >> 10));
          AppendUnicodeEscape(out, 0xDC00 + ((cp - 0x10000) & 0x3FF));
        }
    }
  }
}

}  // namespace

std::string WriteRtfDocument(const std::string& text) {
  std::string out =
      "{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\fmodern\\fprq1\\fcharset0 Courier "
      "New;}}\n\\uc1\\pard\\f0\\fs20 ";
  AppendRtfText(out, text);
  out += "\\par\n}\n";
  return out;
}

std::string WriteRtfLines(const std::vector<RichLine>& lines, const std::string& family) {
  std::string out = "{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\fswiss\\fcharset0 ";
  AppendRtfText(out, family);
  out += ";}}\n\\uc1\\pard\\f0\n";
  // Paragraph properties carry over from one \par to the next: the stops are written where
  // they change, after a \pard that drops the previous ones.
  std::vector<int> stops;
  for (const RichLine& line : lines) {
    if (line.TabStops != stops) {
      stops = line.TabStops;
      out += "\\pard";
      for (int stop : stops) out += "\\tx" + std::to_string(stop);
      out += '\n';
    }
    for (const RichRun& run : line.Runs) {
      out += "{\\fs" + std::to_string(2 * run.Size);
      if (run.Bold) out += "\\b";
      if (run.Italic) out += "\\i";
      if (run.Underline) out += "\\ul";
      out += ' ';
      AppendRtfText(out, run.Text);
      out += '}';
    }
    out += "\\par\n";
  }
  out += "}\n";
  return out;
}

bool ReadRtfText(const std::string& data, std::string& text) {
  std::size_t start = data.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
  while (start < data.size() &&
         (data[start] == ' ' || data[start] == '\t' || data[start] == '\r' || data[start] == '\n'))
    ++start;
  if (data.compare(start, 5, "{\\rtf") != 0) return false;
  text = RtfReader(data, start).Read();
  return true;
}

std::string ModelTextFromFile(const std::string& data) {
  std::string text;
  if (ReadRtfText(data, text)) return text;
  for (std::size_t i = 0; i < data.size(); ++i) {
    if (data[i] == '\r') {
      text += '\n';
      if (i + 1 < data.size() && data[i + 1] == '\n') ++i;
    } else {
      text += data[i];
    }
  }
  return text;
}

}  // namespace zelk
