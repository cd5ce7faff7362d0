#pragma once
// Rich Text Format for model documents: the model editor's plain text written as an RTF
// document in a fixed-pitch font, and the plain text read back from RTF written by this
// program or by others (word processors, rich-edit controls).

#include <string>
#include <vector>

#include "base/rich_line.h"

namespace zelk {

// An RTF document (7-bit ASCII) whose plain text is `text` (UTF-8), set in Courier New.
// "\r\n", "\r" and "\n" each count as one line break; every line, the last one too, ends with
// \par, as word processors write it. Tabs become \tab, \ { } are escaped, characters beyond
// ASCII become \uN? with N a signed 16-bit UTF-16 unit. A byte that is not part of valid
// UTF-8 (legacy text) is taken as a Windows-1252 character.
std::string WriteRtfDocument(const std::string& text);

// An RTF document with one paragraph per line, its tab stops (\tx) and each run in its size
// and style, in the font `family`; the text is escaped as for WriteRtfDocument.
std::string WriteRtfLines(const std::vector<RichLine>& lines, const std::string& family);

// When `data` begins, after optional whitespace or a UTF-8 byte-order mark, with "{\rtf",
// sets `text` to the document's plain text (UTF-8, lines separated by "\n") and returns true;
// otherwise returns false and leaves `text` alone, and the caller takes the data as plain
// text. The \par that ends the last paragraph adds no line break, so
// ReadRtfText(WriteRtfDocument(t)) == t for any UTF-8 `t` with "\n" line breaks. Font, colour
// and style tables, document information, headers, fields' instructions, pictures and hidden
// text contribute nothing; \'hh follows \ansicpg for code page 1252 and reads as Latin-1
// otherwise. Damaged data (unbalanced braces, a cut file)
// is read as far as it goes and still returns true.
bool ReadRtfText(const std::string& data, std::string& text);

// A model file's text: rich text read as such, anything else as plain text with its CR LF or
// CR line breaks made LF.
std::string ModelTextFromFile(const std::string& data);

}  // namespace zelk
