#include "base/data_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "base/format.h"
#include "base/messages.h"

namespace zelk {

std::int32_t ReadInt32(const std::uint8_t* p) {
  const std::uint32_t v = std::uint32_t{p[0]} | (std::uint32_t{p[1]} << 8) |
                          (std::uint32_t{p[2]} << 16) | (std::uint32_t{p[3]} << 24);
  return static_cast<std::int32_t>(v);
}

void AppendInt32(std::vector<std::uint8_t>& out, std::int32_t value) {
  const auto v = static_cast<std::uint32_t>(value);
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

namespace {

std::uint64_t Layout(std::int32_t count) {
  return count > 0 ? static_cast<std::uint64_t>(count) : 0;
}

}  // namespace

std::uint64_t DataFileValueBytes(const DataFileHeader& header) {
  // Counts are below 2^31, so the product stays below 2^62 and times 11 below 2^66: use
  // 128 bits rather than trust the counts of a damaged file.
  const unsigned __int128 bytes = static_cast<unsigned __int128>(kDataFileValueSize) *
                                  Layout(header.EventCount) *
                                  (Layout(header.IndepCount) + Layout(header.DepCount));
  return bytes > UINT64_MAX ? UINT64_MAX : static_cast<std::uint64_t>(bytes);
}

DataFileCheck CheckDataFile(const std::vector<std::uint8_t>& bytes, DataFileHeader& header) {
  if (bytes.size() < 3 || bytes[0] != 'Z' || bytes[1] != 'K' || bytes[2] != 'D')
    return DataFileCheck::BadHeader;
  if (bytes.size() < 5) return DataFileCheck::Truncated;
  if (bytes[3] != 1 || bytes[4] != 0) return DataFileCheck::BadVersion;
  if (bytes.size() < kDataFileHeaderSize) return DataFileCheck::Truncated;
  header.IndepCount = ReadInt32(&bytes[5]);
  header.DepCount = ReadInt32(&bytes[9]);
  header.EventCount = ReadInt32(&bytes[13]);
  if (bytes.size() - kDataFileHeaderSize < DataFileValueBytes(header))
    return DataFileCheck::Truncated;
  return DataFileCheck::Ok;
}

void DecodeDataValues(const std::vector<std::uint8_t>& bytes, const DataFileHeader& header,
                      TDataSet& data) {
  std::size_t offset = kDataFileHeaderSize;
  const auto events = static_cast<std::int64_t>(Layout(header.EventCount));
  // Without events there are no values, however large the variable counts claim to be.
  if (events <= 0) return;
  auto readValue = [&](double& value, bool& defined) {
    Extended80 ext;
    std::memcpy(ext.data(), &bytes.at(offset), ext.size());
    value = ExtendedToDouble(ext);
    defined = bytes.at(offset + 10) != 0;
    offset += kDataFileValueSize;
  };
  const auto indep = static_cast<std::int64_t>(Layout(header.IndepCount));
  const auto dep = static_cast<std::int64_t>(Layout(header.DepCount));
  if (!FitsInMemory(events, indep, dep)) return;  // the reader refuses such a file first
  Hold(data, static_cast<int>(events), static_cast<int>(indep), static_cast<int>(dep));
  double value = 0;
  bool defined = false;
  for (std::int64_t i = 1; i <= indep; ++i)
    for (std::int64_t j = 1; j <= events; ++j) {
      readValue(value, defined);
      data.XData.X[j][i] = value;
      data.XData.Defined[j][i] = defined;
    }
  for (std::int64_t i = 1; i <= dep; ++i)
    for (std::int64_t j = 1; j <= events; ++j) {
      readValue(value, defined);
      data.YData.M[j][i] = value;
      data.YData.Defined[j][i] = defined;
    }
}

bool FitsDataFile(const TDataSet& data) {
  return data.YData.EventCount <= kMaxEvents && data.XData.IndepCount <= kMaxIndep &&
         data.YData.DepCount <= kMaxDep;
}

std::string DataFileLimitsMessage(const TDataSet& data) {
  return FillPlaceholders(msg::kDataFileLimits, {std::to_string(data.YData.EventCount),
                                                 std::to_string(data.XData.IndepCount),
                                                 std::to_string(data.YData.DepCount)});
}

std::vector<std::uint8_t> EncodeDataFile(const TDataSet& data) {
  const int indep = data.XData.IndepCount, dep = data.YData.DepCount,
            events = data.YData.EventCount;
  std::vector<std::uint8_t> out{'Z', 'K', 'D', 1, 0};
  out.reserve(kDataFileHeaderSize + kDataFileValueSize * events * (indep + dep));
  AppendInt32(out, indep);
  AppendInt32(out, dep);
  AppendInt32(out, events);
  auto appendValue = [&out](double value, bool defined) {
    const Extended80 ext = DoubleToExtended(value);
    out.insert(out.end(), ext.begin(), ext.end());
    out.push_back(defined ? 1 : 0);
  };
  for (int i = 1; i <= indep; ++i)
    for (int j = 1; j <= events; ++j)
      appendValue(data.XData.X.at(j).at(i), data.XData.Defined.at(j).at(i));
  for (int i = 1; i <= dep; ++i)
    for (int j = 1; j <= events; ++j)
      appendValue(data.YData.M.at(j).at(i), data.YData.Defined.at(j).at(i));
  return out;
}

namespace {

// Opens a regular file for reading; folders, devices and FIFOs are refused. O_NONBLOCK so
// that opening a FIFO returns at once; fstat then refuses it.
int OpenRegularFile(const std::string& path, std::uint64_t& size, std::string& error) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    error = std::strerror(errno);
    return -1;
  }
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    error = S_ISDIR(st.st_mode) ? msg::kReasonFolder : msg::kReasonNotRegular;
    ::close(fd);
    return -1;
  }
  size = static_cast<std::uint64_t>(st.st_size);
  return fd;
}

// Reads bytes.size() bytes; closes fd.
bool ReadAll(int fd, std::vector<std::uint8_t>& bytes, std::string& error) {
  std::size_t got = 0;
  int readErrno = 0;
  while (got < bytes.size()) {
    const ssize_t n = ::read(fd, bytes.data() + got, bytes.size() - got);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) readErrno = errno;
    if (n <= 0) break;
    got += static_cast<std::size_t>(n);
  }
  ::close(fd);
  if (got < bytes.size()) {
    // The disk failed, or the file shrank while it was read.
    error = readErrno != 0 ? std::strerror(readErrno) : msg::kReasonEndedEarly;
    return false;
  }
  return true;
}

}  // namespace

bool ReadWholeFile(const std::string& path, std::vector<std::uint8_t>& bytes, std::string& error) {
  std::uint64_t size = 0;
  const int fd = OpenRegularFile(path, size, error);
  if (fd < 0) return false;
  if (size > kWholeFileLimit) {
    ::close(fd);
    error = FillPlaceholders(msg::kReasonTooLarge,
                             {std::to_string(size), std::to_string(kWholeFileLimit)});
    return false;
  }
  bytes.resize(static_cast<std::size_t>(size));
  return ReadAll(fd, bytes, error);
}

bool ReadFileHead(const std::string& path, std::uint64_t maxBytes, std::vector<std::uint8_t>& bytes,
                  std::uint64_t& fileSize, std::string& error) {
  const int fd = OpenRegularFile(path, fileSize, error);
  if (fd < 0) return false;
  bytes.resize(static_cast<std::size_t>(std::min(fileSize, maxBytes)));
  return ReadAll(fd, bytes, error);
}

bool WriteFileReplacing(const std::string& path, const std::vector<std::uint8_t>& bytes,
                        std::string& error) {
  namespace fs = std::filesystem;
  // A symbolic link is written through: the file it names is replaced, the link stays.
  fs::path target(path);
  for (int hops = 0; hops < 40; ++hops) {
    struct stat link {};
    if (::lstat(target.c_str(), &link) != 0 || !S_ISLNK(link.st_mode)) break;
    std::error_code ec;
    const fs::path to = fs::read_symlink(target, ec);
    if (ec) break;
    target = to.is_absolute() ? to : target.parent_path() / to;
  }
  // Replacing needs only the folder's permission; the file's own must be asked for, and
  // root passes access(), so the owner's write bit decides for it.
  struct stat existing {};
  if (::stat(target.c_str(), &existing) == 0 &&
      (!(existing.st_mode & S_IWUSR) || ::access(target.c_str(), W_OK) != 0)) {
    error = msg::kReasonReadOnly;
    return false;
  }
  const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
  // A short name: the target's own may already be as long as a name can be.
  std::string temp = (folder / ".zkXXXXXX").string();
  const int fd = ::mkstemp(temp.data());
  if (fd < 0) {
    error = std::strerror(errno);
    return false;
  }
  // Keep the permissions of the file being replaced; a new file gets the usual ones.
  struct stat old {};
  if (::stat(target.c_str(), &old) == 0) {
    (void)::fchmod(fd, old.st_mode & 07777);
  } else {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    (void)::fchmod(fd, 0666 & ~mask);
  }
  std::size_t written = 0;
  bool ok = true;
  while (written < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + written, bytes.size() - written);
    if (n < 0) {
      if (errno == EINTR) continue;
      ok = false;
      break;
    }
    written += static_cast<std::size_t>(n);
  }
  if (ok && ::fsync(fd) != 0) ok = false;
  if (!ok) error = std::strerror(errno);
  if (::close(fd) != 0 && ok) {
    ok = false;
    error = std::strerror(errno);
  }
  if (ok && ::rename(temp.c_str(), target.c_str()) != 0) {
    ok = false;
    error = std::strerror(errno);
  }
  if (!ok) ::unlink(temp.c_str());
  return ok;
}

std::string NonFiniteValuePlace(const TDataSet& data, const DataFileHeader& header) {
  const int events = std::clamp(header.EventCount, 0, data.YData.M.Rows());
  const int indep = std::clamp(header.IndepCount, 0, data.XData.X.Columns());
  const int dep = std::clamp(header.DepCount, 0, data.YData.M.Columns());
  for (int j = 1; j <= events; ++j) {
    for (int i = 1; i <= indep; ++i)
      if (data.XData.Defined[j][i] && !std::isfinite(data.XData.X[j][i]))
        return "event " + std::to_string(j) + ", X[" + std::to_string(i) + "]";
    for (int i = 1; i <= dep; ++i)
      if (data.YData.Defined[j][i] && !std::isfinite(data.YData.M[j][i]))
        return "event " + std::to_string(j) + ", Y[" + std::to_string(i) + "]";
  }
  return {};
}

}  // namespace zelk
