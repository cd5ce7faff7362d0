// A host for the resource linker over the files of this machine: the callback table,
// and the messages it received, printed to stderr or kept for inspection.
#pragma once

#include <string>
#include <vector>

#include "resbind.h"

namespace resbind {

struct HostMessage {
  std::string text;
  int severity;
  int number;  // -1 when the record carries none
};

// One process-wide host: the library's callbacks carry no context pointer.
class FileHost {
 public:
  static const ResBindCallbacks& Callbacks();
  static std::vector<HostMessage>& Messages();
  static void SetEcho(bool echo);  // print each message to stderr as it arrives
  static int OpenHandles();        // handles not yet closed
};

}  // namespace resbind
