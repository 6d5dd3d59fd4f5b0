// Makes a setup file: a copy of the setup program with a payload archive and
// its trailer appended (format in payload_trailer.h).
//
//   tidewell_attach_payload SETUP_PROGRAM PAYLOAD_ZIP OUTPUT
//
// OUTPUT is written beside itself under a private temporary name and
// renamed into place, then made executable (mode 0755).
#include <zlib.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include <platform/file_handle.h>
#include <platform/os_encoding.h>
#include <platform/private_temp_file.h>
#include <platform/program_arguments.h>
#include <setup/payload_trailer.h>

namespace fs = std::filesystem;

namespace {

bool WriteAll(platform::NativeFile file, const void* data, std::size_t size) {
  const char* p = static_cast<const char*>(data);
  while (size > 0) {
    const long long n = platform::WriteSome(file, p, size);
    if (n <= 0) return false;
    p += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

// Copies the whole file to out; counts the bytes and, when crc is given,
// their CRC-32.
bool Append(const fs::path& path, platform::NativeFile out, std::uint64_t* count, uLong* crc) {
  const platform::FileHandle in(platform::OpenFileToRead(path));
  if (!in.valid()) return false;
  std::vector<unsigned char> block(1 << 20);
  for (;;) {
    const long long n = platform::ReadSome(in.get(), block.data(), block.size());
    if (n < 0) return false;
    if (n == 0) return true;
    if (crc != nullptr) *crc = crc32(*crc, block.data(), static_cast<uInt>(n));
    *count += static_cast<std::uint64_t>(n);
    if (!WriteAll(out, block.data(), static_cast<std::size_t>(n))) return false;
  }
}

std::string Shown(const fs::path& path) {
  return platform::WideToOsNarrow(platform::WidePath(path));
}

int Fail(const std::string& what, int error) {
  std::fprintf(stderr, "tidewell_attach_payload: %s: %s\n", what.c_str(), std::strerror(error));
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::wstring> args = platform::ProgramArguments(argc, argv);
  if (args.size() != 3) {
    std::fprintf(stderr, "usage: tidewell_attach_payload SETUP_PROGRAM PAYLOAD_ZIP OUTPUT\n");
    return 2;
  }
  const fs::path program = platform::OsPath(args[0]);
  const fs::path payload = platform::OsPath(args[1]);
  const fs::path output = fs::absolute(platform::OsPath(args[2]));
  fs::path temp;
  platform::FileHandle out(
      platform::CreatePrivateTempFile(output.parent_path(), ".setup-partial-", "", &temp));
  if (!out.valid()) return Fail("cannot create a file beside " + Shown(output), errno);
  setup::PayloadSlice slice;
  uLong crc = crc32(0L, Z_NULL, 0);
  bool ok = Append(program, out.get(), &slice.offset, nullptr);
  ok = ok && Append(payload, out.get(), &slice.size, &crc);
  slice.crc = static_cast<std::uint32_t>(crc);
  const std::string trailer = setup::EncodeTrailer(slice);
  ok = ok && WriteAll(out.get(), trailer.data(), trailer.size());
  ok = ok && platform::FlushToDisk(out.get());
  int error = errno;
  ok = platform::CloseFile(out.release()) && ok;
  std::error_code ec;
  if (ok) {
    fs::permissions(temp, fs::perms(0755), ec);
    if (!ec) fs::rename(temp, output, ec);
    error = ec.value();
  }
  if (!ok || ec) {
    fs::remove(temp, ec);
    return Fail("cannot write " + Shown(output), error);
  }
  return 0;
}
