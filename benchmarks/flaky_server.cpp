// Serves one file over HTTP/1.1 (Range, If-Range, ETag) and resets the
// connection once at each of the given body offsets, for timing resumed
// downloads: flaky_server <port> <file> <offset,offset,...> <stats-file>
// After every connection the stats file holds the body bytes sent so far.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/sendfile.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <set>
#include <sstream>
#include <string>

namespace {

std::string HeaderValue(const std::string& request, const std::string& name) {
  std::string lower = request;
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  const std::size_t at = lower.find("\r\n" + name + ":");
  if (at == std::string::npos) return {};
  std::size_t start = at + name.size() + 3;
  while (start < request.size() && request[start] == ' ') ++start;
  return request.substr(start, request.find("\r\n", start) - start);
}

bool SendAll(int fd, const std::string& text) {
  for (std::size_t done = 0; done < text.size();) {
    const ssize_t n = ::send(fd, text.data() + done, text.size() - done, MSG_NOSIGNAL);
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 5) {
    std::fprintf(stderr, "usage: %s <port> <file> <offset,...> <stats-file>\n", argv[0]);
    return 2;
  }
  const int file = ::open(argv[2], O_RDONLY);
  struct stat info {};
  if (file < 0 || ::fstat(file, &info) != 0) return 1;
  const long long size = info.st_size;
  const std::string etag = "\"" + std::to_string(size) + "-" + std::to_string(info.st_mtime) + "\"";
  std::set<long long> resets;
  std::stringstream list(argv[3]);
  for (std::string item; std::getline(list, item, ',');) {
    if (!item.empty()) resets.insert(std::atoll(item.c_str()));
  }
  const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
  const int yes = 1;
  ::setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(static_cast<std::uint16_t>(std::atoi(argv[1])));
  if (::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(listener, 8) != 0) {
    std::perror("listen");
    return 1;
  }
  long long sent = 0;
  for (;;) {
    const int client = ::accept(listener, nullptr, nullptr);
    if (client < 0) continue;
    std::string request;
    char buffer[8192];
    while (request.find("\r\n\r\n") == std::string::npos) {
      const ssize_t n = ::recv(client, buffer, sizeof buffer, 0);
      if (n <= 0) break;
      request.append(buffer, static_cast<std::size_t>(n));
    }
    long long start = 0;
    const std::string range = HeaderValue(request, "range");
    const std::string ifRange = HeaderValue(request, "if-range");
    const bool partial = !range.empty() && (ifRange.empty() || ifRange == etag) &&
                         std::sscanf(range.c_str(), "bytes=%lld-", &start) == 1 && start < size;
    if (!partial) start = 0;
    std::string head = partial ? "HTTP/1.1 206 Partial Content\r\n" : "HTTP/1.1 200 OK\r\n";
    head += "Content-Length: " + std::to_string(size - start) + "\r\nETag: " + etag +
            "\r\nAccept-Ranges: bytes\r\nConnection: close\r\n";
    if (partial) {
      head += "Content-Range: bytes " + std::to_string(start) + "-" + std::to_string(size - 1) +
              "/" + std::to_string(size) + "\r\n";
    }
    head += "\r\n";
    // The first reset offset inside this answer, used once.
    long long end = size;
    const auto next = resets.upper_bound(start);
    if (next != resets.end() && *next < size) {
      end = *next;
      resets.erase(next);
    }
    if (SendAll(client, head)) {
      off_t offset = start;
      while (offset < end) {
        const ssize_t n = ::sendfile(client, file, &offset, static_cast<std::size_t>(end - offset));
        if (n <= 0) break;
        sent += n;
      }
    }
    if (end < size) {
      const linger reset{1, 0};
      ::setsockopt(client, SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
    }
    ::close(client);
    if (FILE* stats = std::fopen(argv[4], "w")) {
      std::fprintf(stats, "%lld\n", sent);
      std::fclose(stats);
    }
  }
}
