// The executable rewrite: a small resource file bound into, and removed from, the input.
#include "memory_host.h"

using namespace resbind::fuzz;

namespace {

// A .res file with a dialog, a named resource and an icon group with its image.
Bytes SmallRes() {
  Bytes f(32, 0);
  f[4] = 0x20;
  f[8] = f[9] = f[12] = f[13] = 0xFF;
  auto add = [&](uint16_t type, uint16_t name, uint32_t dataSize) {
    uint8_t h[32] = {};
    h[0] = uint8_t(dataSize);
    h[4] = 32;
    h[8] = h[9] = 0xFF;
    h[10] = uint8_t(type);
    h[12] = h[13] = 0xFF;
    h[14] = uint8_t(name);
    h[22] = 0x09;  // language 0x409
    h[23] = 0x04;
    f.insert(f.end(), h, h + 32);
    for (uint32_t i = 0; i < dataSize; ++i) f.push_back(uint8_t(i));
    while (f.size() % 4) f.push_back(0);
  };
  add(5, 100, 40);
  add(10, 7, 5);
  add(3, 1, 64);
  return f;
}

// The name is one no file has, so that a cleanup removal can never touch a real file.
constexpr const char* kOutput = "/nonexistent-resbind-fuzz/out.exe";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const Bytes res = SmallRes();
  const ResBindCallbacks& cb = MemoryHost::Callbacks();
  for (int removal = 0; removal < 2; ++removal) {
    MemoryHost::Clear();
    MemoryHost::files["app.exe"] = Bytes(data, data + size);
    MemoryHost::files["app.res"] = res;
    ResBindInput input{nullptr, "app.res"};
    ResBindRequest r{};
    r.Flags = RESBIND_SEPARATE_OUTPUT;
    r.FileAlignment = 512;
    r.SectionAlignment = 4096;
    r.InputList = &input;
    r.ExeName = "app.exe";
    r.OutputName = kOutput;
    bool ok = removal ? RemoveFromExe(&cb, &r) : GetResObjSize(&cb, &r) && BindToExe(&cb, &r);
    if (!MemoryHost::handles.empty()) __builtin_trap();  // both handles were closed
    if (MemoryHost::files["app.exe"] != Bytes(data, data + size)) __builtin_trap();
    if (ok && MemoryHost::files[kOutput].size() < 64) __builtin_trap();
  }
  return 0;
}
