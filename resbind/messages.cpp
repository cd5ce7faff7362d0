// The message catalogue, the first-error slot and the callback wrappers.
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "link_state.h"

namespace resbind {
namespace {

struct CatalogueEntry {
  uint16_t number;
  const char* text;
};

// Every text the library (and its command-line front end) shows.
const CatalogueEntry kCatalogue[] = {
    {7200, "RESBIND Resource Linker  Version 0.03"},
    {7201, "Input resource file #%d: \"%s\""},
    {7202, "Resources linked."},
    {7203, "Resources linked to file: \"%s\""},
    {7204, "Reading resource files."},
    {7205, "Writing resources."},
    {7206, "RESOURCE LIST"},
    {7207, "Key: The attributes Language, Data Version, Version, and Characteristics are"},
    {7208, "shown in hex.  They appear only if they are nonzero.  *Discardable resource."},
    {7209, "Type ID"},
    {7210, "Name ID"},
    {7211, "File"},
    {7212, "  Size"},
    {7213, " "},
    {7214, "Language"},
    {7215, "Data Version"},
    {7216, " 0 (ERROR)"},
    {7217, " 1 (CURSOR)"},
    {7218, " 2 (BITMAP)"},
    {7219, " 3 (ICON)"},
    {7220, " 4 (MENU)"},
    {7221, " 5 (DIALOG)"},
    {7222, " 6 (STRINGTABLE)"},
    {7223, " 7 (FONTDIR)"},
    {7224, " 8 (FONT)"},
    {7225, " 9 (ACCELERATOR)"},
    {7226, "10 (RCDATA)"},
    {7227, "12 (CURSOR GROUP)"},
    {7228, "14 (ICON GROUP)"},
    {7229, "16 (VERSIONINFO)"},
    {7230, "8192 (NEWRESOURCE)"},
    {7231, "8194 (NEW BITMAP)"},
    {7232, "8196 (NEW MENU)"},
    {7233, "8197 (NEW DIALOG)"},
    {7234, "32767 (ERROR)"},
    {7235, "%d (user-defined)"},
    {7237, ".EXE"},
    {7238, ".RES"},
    {7239, "                Version = %+#010x   Characteristics = %+#010x"},
    {7241, "  Type %s, ID %s:"},
    {7242, "  Type  6 (STRING), ID %u:"},
    {7243, "    File %s resource kept; file %s resource discarded."},
    {7244, "    File %s string kept: \"%s\""},
    {7245, "    File %s string discarded: \"%s\""},
    {7248, "Syntax is:     RESBIND [options] .RES input file(s) [.EXE input/output file]"},
    {7249, "[options] are:"},
    {7250, "    @<filename>    Take instructions from command file"},
    {7251, "    -?             Display this help"},
    {7252, "    -h             Display this help"},
    {7253, "    -fe<filename>  Rename output .EXE file"},
    {7254, "    -fi<filename>  Specify additional input files"},
    {7255, "    -v             Verbose mode--lists resources and attributes"},
    {7256, "    -vx            Verbose mode and EXE file not created"},
    {7360, "WARNING. Duplicate resource(s):"},
    {7361, "No resources."},
    {7440, "Too many input .RES filenames in command line."},
    {7441, "Internal software error!"},
    {7442, "Nested command files not supported."},
    {7443, "Command line argument #%d is bad."},
    {7444, "Syntax error."},
    {7445, "Unsupported 16bit resource in file"},
    {7552, "RESBIND: %s"},
    {7553, "RESBIND: %s \"%s\""},
    {7554, "Error opening file"},
    {7555, "Error creating file"},
    {7556, "Error creating temporary file"},
    {7557, "Error deleting file"},
    {7558, "Error renaming file"},
    {7559, "Error seeking point in file"},
    {7560, "Error reading file"},
    {7561, "Error writing file"},
    {7562, "Error getting size of file"},
    {7563, "Executable format not recognized in file"},
    {7565, "Resource format not recognized in file"},
    {7566, "Out of memory!"},
    {7567, "Too many files to open."},
    {7568, "Too many resources to handle."},
    {7569, "Error in FONTDIR. Cannot find FONT."},
    {7570, "Error in ICONDIR. Cannot find ICON."},
    {7571, "Error in CURSDIR. Cannot find CURSOR."},
    {7572, "FONTDIR too large to handle."},
};

constexpr size_t kMaxText = 255;

}  // namespace

const char* MessageText(int number) {
  if (number < 7200 || number > 7572) return nullptr;
  for (const auto& e : kCatalogue)
    if (e.number == number) return e.text;
  return nullptr;
}

int SeverityOf(int number) {
  if (number >= 7552) return 0;
  if (number >= 7440) return 1;
  if (number >= 7360) return 2;
  return 5;
}

std::string ShortenedFileName(const std::string& name) {
  if (name.size() <= 126) return name;
  std::string drive = name.size() >= 2 && name[1] == ':' ? name.substr(0, 2) : std::string();
  size_t slash = name.find_last_of("/\\");
  std::string base = slash == std::string::npos ? name : name.substr(slash);
  std::string shortened = drive + "..." + base;
  if (shortened.size() > 127) shortened.resize(127);
  return shortened;
}

LinkState& State() {
  static LinkState state;
  return state;
}

void LinkState::Fail(int number) {
  if (error == 0) {
    error = number;
    hasErrorFile = false;
  }
}

void LinkState::Fail(int number, const std::string& file) {
  if (error == 0) {
    error = number;
    errorFile = ShortenedFileName(file);
    hasErrorFile = true;
  }
}

void LinkState::FailHandle(int number, int32_t handle, const std::string& fallbackName) {
  const char* name = cb && cb->FileName ? cb->FileName(handle) : nullptr;
  Fail(number, name ? std::string(name) : fallbackName);
}

void LinkState::IssueText(int number, const std::string& text) {
  if (!cb || !cb->Message) return;
  std::string cut = text.substr(0, kMaxText);
  int32_t n = number;
  ResBindMessage m{};
  m.Text = cut.c_str();
  m.Severity = SeverityOf(number);
  m.Number = m.Severity == 5 ? nullptr : &n;
  cb->Message(&m);
}

void LinkState::Issue(int number, ...) {
  const char* format = MessageText(number);
  if (!format) return;
  char buffer[kMaxText + 1];
  va_list args;
  va_start(args, number);
  std::vsnprintf(buffer, sizeof buffer, format, args);
  va_end(args);
  IssueText(number, buffer);
}

void LinkState::ReportFirstError() {
  if (error == 0) return;
  const char* text = MessageText(error);
  if (hasErrorFile)
    Issue(kPrefixFile, text ? text : "", errorFile.c_str());
  else
    Issue(kPrefix, text ? text : "");
  error = 0;
  hasErrorFile = false;
}

void LinkState::Reset() {
  for (auto& f : inputs)
    if (f->handle != -1 && cb && cb->Close) cb->Close(f->handle);
  inputs.clear();
  entries.clear();
  entries.shrink_to_fit();
  layout = Layout();
  laidOut = false;
  exeOpened = false;
  duplicatesHeadingIssued = false;
  error = 0;
  hasErrorFile = false;
  errorFile.clear();
  timeStamp = 0;
}

bool LinkState::SeekTo(int32_t handle, uint32_t position, const std::string& name) {
  if (position > 0x7fffffffu || cb->Seek(handle, int32_t(position), 0) != int32_t(position)) {
    FailHandle(kSeek, handle, name);
    return false;
  }
  return true;
}

bool LinkState::ReadExact(int32_t handle, void* buffer, uint32_t count, const std::string& name) {
  if (count == 0) return true;
  if (cb->Read(handle, buffer, count) != int32_t(count)) {
    FailHandle(kRead, handle, name);
    return false;
  }
  return true;
}

bool LinkState::WriteAll(int32_t handle, const void* buffer, uint32_t count,
                         const std::string& name) {
  if (count == 0) return true;
  if (cb->Write(handle, buffer, count) != int32_t(count)) {
    FailHandle(kWrite, handle, name);
    return false;
  }
  if (summing) {  // 16-bit words with the carry folded back in
    const uint8_t* p = static_cast<const uint8_t*>(buffer);
    for (uint32_t i = 0; i < count; i += 2) {
      checksum += p[i] | (i + 1 < count ? p[i + 1] << 8 : 0);
      checksum = (checksum & 0xFFFF) + (checksum >> 16);
    }
  }
  return true;
}

bool LinkState::WriteZeros(int32_t handle, uint32_t count, const std::string& name) {
  static const uint8_t zeros[4096] = {};
  while (count > 0) {
    uint32_t n = count < sizeof zeros ? count : uint32_t(sizeof zeros);
    if (!WriteAll(handle, zeros, n, name)) return false;
    count -= n;
  }
  return true;
}

}  // namespace resbind
