// An in-memory host for the fuzz targets: files are byte vectors, handles index them.
#pragma once

#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "resbind.h"

namespace resbind::fuzz {

using Bytes = std::vector<uint8_t>;

struct MemoryHost {
  struct Open {
    std::string name;
    size_t position;
  };
  static inline std::map<std::string, Bytes> files;
  static inline std::map<int32_t, Open> handles;
  static inline int32_t next = 1;

  static void Clear() {
    files.clear();
    handles.clear();
  }
  static Open* Find(int32_t h) {
    auto it = handles.find(h);
    return it == handles.end() ? nullptr : &it->second;
  }
  static int32_t Track(const char* name) {
    handles[next] = {name, 0};
    return next++;
  }

  static const char* RESBIND_CALLBACK Name(int32_t h) {
    Open* o = Find(h);
    return o ? o->name.c_str() : nullptr;
  }
  static int32_t RESBIND_CALLBACK OpenFile(const char* name, int32_t) {
    return files.count(name) ? Track(name) : -1;
  }
  static int32_t RESBIND_CALLBACK Close(int32_t h) { return handles.erase(h) ? 0 : -1; }
  static int32_t RESBIND_CALLBACK Read(int32_t h, void* buffer, uint32_t count) {
    Open* o = Find(h);
    if (!o) return -1;
    const Bytes& f = files[o->name];
    size_t n = o->position >= f.size() ? 0 : std::min<size_t>(count, f.size() - o->position);
    if (n) std::memcpy(buffer, f.data() + o->position, n);
    o->position += n;
    return int32_t(n);
  }
  static int32_t RESBIND_CALLBACK Write(int32_t h, const void* buffer, uint32_t count) {
    Open* o = Find(h);
    if (!o || o->position + count > (64u << 20)) return -1;
    Bytes& f = files[o->name];
    if (f.size() < o->position + count) f.resize(o->position + count);
    if (count) std::memcpy(f.data() + o->position, buffer, count);
    o->position += count;
    return int32_t(count);
  }
  static int32_t RESBIND_CALLBACK Info(int32_t h, uint32_t* stamp, uint32_t* size) {
    Open* o = Find(h);
    if (!o) return -1;
    *stamp = 1;
    *size = uint32_t(files[o->name].size());
    return 0;
  }
  static int32_t RESBIND_CALLBACK Seek(int32_t h, int32_t offset, int32_t origin) {
    Open* o = Find(h);
    if (!o) return -1;
    int64_t at = (origin == 0 ? 0 : int64_t(o->position)) + offset;
    if (at < 0) return -1;
    o->position = size_t(at);
    return int32_t(at);
  }
  static int32_t RESBIND_CALLBACK Create(const char* name) {
    files[name].clear();
    return Track(name);
  }
  static void RESBIND_CALLBACK Message(const ResBindMessage* m) {
    // Every record carries a text of at most 255 characters.
    if (!m->Text || std::strlen(m->Text) > 255) __builtin_trap();
  }
  static const ResBindCallbacks& Callbacks() {
    static const ResBindCallbacks table = {Name, OpenFile, Close,  Read,   Write,
                                           Info, Seek,     Create, Create, Message};
    return table;
  }
};

}  // namespace resbind::fuzz
