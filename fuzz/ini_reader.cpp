// The preferences file: read from a file, as the workbench reads zelk20.ini.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "base/preferences.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::string path = "/tmp/zelk-fuzz-" + std::to_string(getpid()) + ".ini";
  if (FILE* f = std::fopen(path.c_str(), "wb")) {
    std::fwrite(data, 1, size, f);
    std::fclose(f);
  }
  zelk::TPreferences prefs;
  zelk::LoadPreferences(path, prefs);
  return 0;
}
