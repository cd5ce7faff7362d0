/* c_host FILE.res SECTION.bin: a host written in C over stdio, so that the header is proven
 * to be C and the exports callable from C (here, and against the 32-bit DLL's import library). */
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>

#include "resbind.h"

static FILE* files[64];
static char names[64][260];

static int32_t RESBIND_CALLBACK Add(FILE* f, const char* name) {
  for (int32_t h = 0; h < 64; ++h)
    if (!files[h]) {
      files[h] = f;
      snprintf(names[h], sizeof names[h], "%s", name);
      return h;
    }
  fclose(f);
  return -1;
}
static const char* RESBIND_CALLBACK Name(int32_t h) { return h >= 0 && h < 64 ? names[h] : 0; }
static int32_t RESBIND_CALLBACK Open(const char* name, int32_t mode) {
  FILE* f = fopen(name, "rb");
  (void)mode;
  return f ? Add(f, name) : -1;
}
static int32_t RESBIND_CALLBACK Close(int32_t h) {
  int rc = fclose(files[h]);
  files[h] = 0;
  return rc;
}
static int32_t RESBIND_CALLBACK Read(int32_t h, void* b, uint32_t n) {
  return (int32_t)fread(b, 1, n, files[h]);
}
static int32_t RESBIND_CALLBACK Write(int32_t h, const void* b, uint32_t n) {
  return (int32_t)fwrite(b, 1, n, files[h]);
}
static int32_t RESBIND_CALLBACK Info(int32_t h, uint32_t* stamp, uint32_t* size) {
  struct stat st;
  if (stat(names[h], &st) != 0) return -1;
  *stamp = (uint32_t)st.st_mtime;
  *size = (uint32_t)st.st_size;
  return 0;
}
static int32_t RESBIND_CALLBACK Seek(int32_t h, int32_t offset, int32_t origin) {
  if (fseek(files[h], offset, origin == 0 ? SEEK_SET : SEEK_CUR) != 0) return -1;
  return (int32_t)ftell(files[h]);
}
static int32_t RESBIND_CALLBACK Create(const char* name) {
  FILE* f = fopen(name, "w+b");
  return f ? Add(f, name) : -1;
}
static void RESBIND_CALLBACK Message(const ResBindMessage* m) {
  fprintf(stderr, "%d %s\n", m->Severity, m->Text);
}

int main(int argc, char** argv) {
  ResBindCallbacks cb = {Name, Open, Close, Read, Write, Info, Seek, Create, Create, Message};
  ResBindInput input = {0, argc > 2 ? argv[1] : ""};
  ResBindRequest r;
  memset(&r, 0, sizeof r);
  r.Flags = RESBIND_VERBOSE;
  r.FileAlignment = 512;
  r.SectionAlignment = 4096;
  r.InputList = &input;
  if (argc != 3 || GetResBindVersion() != 0x00020001u || !GetResObjSize(&cb, &r)) return 1;
  r.OutputHandle = Create(argv[2]);
  r.SectionRva = 0x1000;
  int ok = WriteResObj(&cb, &r);
  Close(r.OutputHandle);
  return ok ? 0 : 1;
}
