// The five exports: each runs its step, issues the first recorded error once, and resets
// the state at the documented points.
#include <new>

#include "link_state.h"

using namespace resbind;

namespace {

LinkState& Begin(const ResBindCallbacks* callbacks, ResBindRequest* request) {
  LinkState& s = State();
  s.cb = callbacks;
  s.request = request;
  return s;
}

bool Usable(const ResBindCallbacks* cb, const ResBindRequest* request) {
  return cb && request && cb->FileName && cb->Open && cb->Close && cb->Read && cb->Write &&
         cb->FileInfo && cb->Seek && cb->CreateOutput && cb->CreateTemporary && cb->Message;
}

size_t KeptCount(const LinkState& s) {
  size_t n = 0;
  for (const Entry& e : s.entries) n += e.kept();
  return n;
}

// Nothing may unwind into the caller: exhausted memory becomes the documented message.
template <typename Step>
bool Guarded(LinkState& s, Step step) {
  try {
    return step();
  } catch (const std::bad_alloc&) {
    s.Fail(kMemory);
  } catch (...) {
    s.Fail(kInternal);
  }
  return false;
}

bool CollectAndLayOut(LinkState& s) {
  ResBindRequest& r = *s.request;
  const bool listOnly = r.Flags & RESBIND_LIST_ONLY;
  r.SectionSize = 0;
  if (!listOnly && (r.FileAlignment == 0 || r.SectionAlignment == 0)) {
    s.Fail(kInternal);
    return false;
  }
  if (!CollectResources(s)) return false;
  SortEntries(s.entries);
  if (!ResolveDuplicates(s)) return false;
  if (KeptCount(s) == 0) {
    s.Issue(kNoResources);
    return false;
  }
  if (s.verbose()) ListResources(s);
  if (listOnly) return true;
  return LayOutSection(s);
}

}  // namespace

extern "C" {

uint32_t RESBIND_API GetResBindVersion(void) { return 0x00020001; }

int32_t RESBIND_API GetResObjSize(const ResBindCallbacks* callbacks, ResBindRequest* request) {
  LinkState& s = Begin(callbacks, request);
  s.Reset();
  if (!Usable(callbacks, request)) return 0;
  bool ok = Guarded(s, [&] { return CollectAndLayOut(s); }) && !s.failed();
  s.ReportFirstError();
  if (!ok || (request->Flags & RESBIND_LIST_ONLY)) s.Reset();
  return ok;
}

int32_t RESBIND_API WriteResObj(const ResBindCallbacks* callbacks, ResBindRequest* request) {
  LinkState& s = Begin(callbacks, request);
  if (!Usable(callbacks, request)) return 0;
  bool ok = Guarded(s, [&] {
    if (!request->FileAlignment || !request->SectionAlignment || !request->SectionRva) {
      s.Fail(kInternal);
      return false;
    }
    bool written = false;
    if (request->SectionSize && !(request->Flags & RESBIND_LIST_ONLY) && s.laidOut)
      written = WriteSection(s, request->OutputHandle, "");
    if (s.verbose()) s.Issue(kLinked);
    return written;
  });
  s.ReportFirstError();
  s.Reset();
  return ok;
}

int32_t RESBIND_API BindToExe(const ResBindCallbacks* callbacks, ResBindRequest* request) {
  LinkState& s = Begin(callbacks, request);
  if (!Usable(callbacks, request)) return 0;
  bool ok = Guarded(s, [&] { return RewriteExecutable(s, true); });
  s.ReportFirstError();
  if (s.exeOpened) s.Reset();
  return ok;
}

int32_t RESBIND_API RemoveFromExe(const ResBindCallbacks* callbacks, ResBindRequest* request) {
  LinkState& s = Begin(callbacks, request);
  if (!Usable(callbacks, request)) return 0;
  bool ok = Guarded(s, [&] { return RewriteExecutable(s, false); });
  s.ReportFirstError();
  if (s.exeOpened) s.Reset();
  return ok;
}

}  // extern "C"
