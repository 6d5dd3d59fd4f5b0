// Makes a setup file: a copy of the setup program with a payload archive and
// its trailer appended (format in payload_trailer.h).
//
//   tidewell_attach_payload SETUP_PROGRAM PAYLOAD_ZIP OUTPUT
//
// OUTPUT is written beside itself under a temporary name and renamed into
// place, mode 0755.
#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <setup/payload_trailer.h>

namespace {

bool WriteAll(int fd, const void* data, std::size_t size) {
  const char* p = static_cast<const char*>(data);
  while (size > 0) {
    const ssize_t n = ::write(fd, p, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    p += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

// Copies the whole file to out; counts the bytes and, when crc is given,
// their CRC-32.
bool Append(const char* path, int out, std::uint64_t* count, uLong* crc) {
  const int in = ::open(path, O_RDONLY | O_CLOEXEC);
  if (in < 0) return false;
  std::vector<unsigned char> block(1 << 20);
  bool ok = true;
  for (;;) {
    const ssize_t n = ::read(in, block.data(), block.size());
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) ok = false;
    if (n <= 0) break;
    if (crc != nullptr) *crc = crc32(*crc, block.data(), static_cast<uInt>(n));
    *count += static_cast<std::uint64_t>(n);
    if (!WriteAll(out, block.data(), static_cast<std::size_t>(n))) {
      ok = false;
      break;
    }
  }
  ::close(in);
  return ok;
}

int Fail(const std::string& what) {
  std::fprintf(stderr, "tidewell_attach_payload: %s: %s\n", what.c_str(), std::strerror(errno));
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: tidewell_attach_payload SETUP_PROGRAM PAYLOAD_ZIP OUTPUT\n");
    return 2;
  }
  const std::string output = argv[3];
  std::string temp = output + ".partial-XXXXXX";
  const int out = ::mkstemp(temp.data());
  if (out < 0) return Fail("cannot create " + temp);
  setup::PayloadSlice slice;
  uLong crc = crc32(0L, Z_NULL, 0);
  bool ok = Append(argv[1], out, &slice.offset, nullptr);
  ok = ok && Append(argv[2], out, &slice.size, &crc);
  slice.crc = static_cast<std::uint32_t>(crc);
  const std::string trailer = setup::EncodeTrailer(slice);
  ok = ok && WriteAll(out, trailer.data(), trailer.size());
  ok = ok && ::fchmod(out, 0755) == 0 && ::fsync(out) == 0;
  ok = ::close(out) == 0 && ok;
  if (!ok || ::rename(temp.c_str(), output.c_str()) != 0) {
    const int saved = errno;
    ::unlink(temp.c_str());
    errno = saved;
    return Fail("cannot write " + output);
  }
  return 0;
}
