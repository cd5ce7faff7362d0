// The .res reader, duplicate resolution, layout and writing, over one or two input files.
// The first byte chooses the flags and where the input splits into two files.
#include "memory_host.h"

using namespace resbind::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  MemoryHost::Clear();
  uint8_t control = data[0];
  ++data, --size;
  size_t split = (control & 0x80) ? size * (control & 0x0F) / 16 : size;
  MemoryHost::files["a.res"] = Bytes(data, data + split);
  MemoryHost::files["b.res"] = Bytes(data + split, data + size);
  ResBindInput second{nullptr, "b.res"}, first{split < size ? &second : nullptr, "a.res"};
  ResBindRequest r{};
  r.Flags = (control & 0x10 ? RESBIND_VERBOSE : 0) | (control & 0x20 ? RESBIND_ACCEPT_16BIT : 0) |
            (control & 0x40 ? RESBIND_LIST_ONLY : 0);
  r.FileAlignment = 512;
  r.SectionAlignment = 4096;
  r.InputList = &first;
  const ResBindCallbacks& cb = MemoryHost::Callbacks();
  if (GetResObjSize(&cb, &r)) {
    r.OutputHandle = MemoryHost::Create("section.bin");
    r.SectionRva = 0x1000;
    if (WriteResObj(&cb, &r) && MemoryHost::files["section.bin"].size() != r.SectionSize)
      __builtin_trap();  // the written section must have the announced size
    MemoryHost::Close(r.OutputHandle);
  }
  if (!MemoryHost::handles.empty()) __builtin_trap();  // every input handle was closed
  return 0;
}
