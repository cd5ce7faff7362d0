#include "file_host.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <map>

namespace resbind {
namespace {

struct Open {
  int fd;
  std::string name;
};
std::map<int32_t, Open> handles;
int32_t nextHandle = 1;
bool echo = false;

int32_t Track(int fd, const char* name) {
  if (fd < 0) return -1;
  handles[nextHandle] = {fd, name};
  return nextHandle++;
}

int Fd(int32_t h) {
  auto it = handles.find(h);
  return it == handles.end() ? -1 : it->second.fd;
}

const char* RESBIND_CALLBACK NameOf(int32_t h) {
  auto it = handles.find(h);
  return it == handles.end() ? nullptr : it->second.name.c_str();
}

int32_t RESBIND_CALLBACK OpenFile(const char* name, int32_t) {
  return Track(::open(name, O_RDONLY | O_CLOEXEC), name);
}

int32_t RESBIND_CALLBACK CloseFile(int32_t h) {
  auto it = handles.find(h);
  if (it == handles.end()) return -1;
  int rc = ::close(it->second.fd);
  handles.erase(it);
  return rc;
}

int32_t RESBIND_CALLBACK ReadFile(int32_t h, void* buffer, uint32_t count) {
  int fd = Fd(h);
  uint32_t done = 0;
  while (fd >= 0 && done < count) {
    ssize_t n = ::read(fd, static_cast<char*>(buffer) + done, count - done);
    if (n < 0) return -1;
    if (n == 0) break;
    done += uint32_t(n);
  }
  return fd < 0 ? -1 : int32_t(done);
}

int32_t RESBIND_CALLBACK WriteFile(int32_t h, const void* buffer, uint32_t count) {
  int fd = Fd(h);
  uint32_t done = 0;
  while (fd >= 0 && done < count) {
    ssize_t n = ::write(fd, static_cast<const char*>(buffer) + done, count - done);
    if (n <= 0) return -1;
    done += uint32_t(n);
  }
  return fd < 0 ? -1 : int32_t(done);
}

int32_t RESBIND_CALLBACK FileInfo(int32_t h, uint32_t* stamp, uint32_t* size) {
  struct stat st;
  int fd = Fd(h);
  if (fd < 0 || ::fstat(fd, &st) != 0 || st.st_size > 0x7fffffff) return -1;
  *stamp = uint32_t(st.st_mtime);
  *size = uint32_t(st.st_size);
  return 0;
}

int32_t RESBIND_CALLBACK SeekFile(int32_t h, int32_t offset, int32_t origin) {
  int fd = Fd(h);
  if (fd < 0) return -1;
  off_t at = ::lseek(fd, offset, origin == 0 ? SEEK_SET : SEEK_CUR);
  return at < 0 || at > 0x7fffffff ? -1 : int32_t(at);
}

int32_t RESBIND_CALLBACK CreateOutput(const char* name) {
  return Track(::open(name, O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0755), name);
}

int32_t RESBIND_CALLBACK CreateTemporary(const char* name) {
  return Track(::open(name, O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0755), name);
}

void RESBIND_CALLBACK Message(const ResBindMessage* m) {
  FileHost::Messages().push_back({m->Text, m->Severity, m->Number ? *m->Number : -1});
  if (echo) std::fprintf(stderr, "%s\n", m->Text);
}

}  // namespace

const ResBindCallbacks& FileHost::Callbacks() {
  static const ResBindCallbacks table = {NameOf,          OpenFile, CloseFile, ReadFile,
                                         WriteFile,       FileInfo, SeekFile,  CreateOutput,
                                         CreateTemporary, Message};
  return table;
}

std::vector<HostMessage>& FileHost::Messages() {
  static std::vector<HostMessage> messages;
  return messages;
}

void FileHost::SetEcho(bool on) { echo = on; }

int FileHost::OpenHandles() { return int(handles.size()); }

}  // namespace resbind
