#include <tools/vendor_service/vendor_service.h>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <memory>
#include <thread>

#include <catalogue/model_catalogue.h>
#include <json/json.h>
#include <platform/file_handle.h>
#include <platform/file_stamp.h>
#include <platform/os_encoding.h>
#include <tools/vendor_service/utc_time.h>

namespace {

constexpr std::size_t kChunk = 64 * 1024;

// Model bytes are a pattern seeded by the tag: the same tag always gives the
// same bytes, so a digest is stable across runs.
unsigned char ModelByte(std::uint32_t seed, std::uint64_t offset) {
  std::uint64_t x = (offset / 8) * 0x9E3779B97F4A7C15ull + seed;
  x ^= x >> 29;
  x *= 0xBF58476D1CE4E5B9ull;
  x ^= x >> 32;
  return static_cast<unsigned char>(x >> (8 * (offset % 8)));
}

std::uint32_t Seed(const std::string& tag) {
  std::uint32_t h = 2166136261u;  // FNV-1a
  for (const char c : tag) h = (h ^ static_cast<unsigned char>(c)) * 16777619u;
  return h;
}

void Say(const std::string& line) {
  std::printf("%s\n", line.c_str());
  std::fflush(stdout);
}

// An HTTP date (IMF-fixdate) for a time in seconds since the epoch; the
// names are fixed, whatever the locale.
std::string HttpDate(std::int64_t when) {
  static const char* const kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                        "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  const UtcTime utc = ToUtc(when);
  char text[48];
  std::snprintf(text, sizeof text, "%s, %02d %s %04d %02d:%02d:%02d GMT", kDays[utc.weekday],
                utc.day, kMonths[utc.month - 1], utc.year, utc.hour, utc.minute, utc.second);
  return text;
}

// A strong ETag that changes whenever the file is replaced or rewritten:
// its file number, size and modification time to the nanosecond.
std::string PackageEtag(const platform::FileStamp& stamp) {
  char text[80];
  std::snprintf(text, sizeof text, "\"%llx-%llx-%llx.%lx\"",
                static_cast<unsigned long long>(stamp.id),
                static_cast<unsigned long long>(stamp.size),
                static_cast<unsigned long long>(stamp.modifiedSeconds), stamp.modifiedNanoseconds);
  return text;
}

}  // namespace

VendorService::VendorService(const VendorOptions& options, EventLog* events)
    : options_(options), events_(events), modelPacer_(options.modelRate) {
  Routes();
}

bool VendorService::Bind() {
  const std::string& host = options_.listenAddress;
  if (options_.port == 0) {
    port_ = server_.bind_to_any_port(host);
  } else {
    port_ = server_.bind_to_port(host, options_.port) ? options_.port : -1;
  }
  return port_ > 0;
}

std::string VendorService::ListenUrl() const {
  const std::string& host = options_.listenAddress;
  const bool ipv6 = host.find(':') != std::string::npos;
  return "http://" + (ipv6 ? "[" + host + "]" : host) + ":" + std::to_string(port_);
}

std::string VendorService::Url(const std::string& path) const {
  return (options_.publicBaseUrl.empty() ? ListenUrl() : options_.publicBaseUrl) + path;
}

bool VendorService::Listen() {
  const bool listened = server_.listen_after_bind();
  listenEnded_ = true;
  return listened;
}

void VendorService::Stop() {
  stopping_ = true;
  // The server ignores a stop that comes before it runs: wait for it.
  while (!listenEnded_ && !server_.is_running()) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  server_.stop();
}

bool VendorService::ServesModel(const std::string& tag) const {
  if (options_.extraModels.count(tag) != 0) return true;
  for (const auto& entry : ModelCatalogue()) {
    if (platform::WideToOsNarrow(entry.tag) == tag) return true;
  }
  return false;
}

void VendorService::ServePackage(int location, const httplib::Request& req,
                                 httplib::Response& res) {
  const std::string name = std::to_string(location + 1);
  // An open package file shared by the response's provider calls.
  auto file = std::make_shared<platform::FileHandle>();
  std::optional<platform::FileFacts> facts;
  std::optional<platform::FileStamp> stamp;
  if (options_.locationRefuses[location]) {
    // Left closed: this location answers 404.
  } else if (verifiedPackage_.valid()) {
    file->reset(platform::DuplicateFile(verifiedPackage_.get()));
  } else if (!options_.packageFile.empty()) {
    file->reset(
        platform::OpenFileToRead(platform::OsPath(platform::OsNarrowToWide(options_.packageFile))));
  }
  if (file->valid()) facts = platform::FactsOf(file->get());
  if (facts && facts->regular) stamp = platform::StampOf(file->get());
  if (!stamp) {
    Say("package\t" + name + "\trefused");
    res.status = 404;
    return;
  }
  // Both locations serve the one file: the same validators, as two servers
  // of one vendor would.
  const std::string etag = PackageEtag(*stamp);
  const std::string lastModified = HttpDate(stamp->modifiedSeconds);
  res.set_header("ETag", etag);
  res.set_header("Last-Modified", lastModified);
  // A range is for the body the client already holds part of: when
  // If-Range names another one, the whole body is the answer (200). The
  // server library has parsed the range before this handler; the request
  // object is its own, not const, so dropping the range here is allowed.
  if (req.has_header("If-Range")) {
    const std::string asked = req.get_header_value("If-Range");
    if (asked != etag && asked != lastModified) {
      const_cast<httplib::Request&>(req).ranges.clear();
    }
  }
  const std::string from =
      req.ranges.empty() ? std::string("0") : std::to_string(req.ranges.front().first);
  Say("package\t" + name + "\tfrom " + from);
  std::uint64_t breaksAt = options_.locationBreaksAt[location];
  if (breaksAt == 0) breaksAt = options_.packageBreaksAt;
  // The bytes this answer sent, told when it ends (whole or broken off).
  auto sent = std::make_shared<std::uint64_t>(0);
  res.set_content_provider(
      static_cast<std::size_t>(stamp->size), "application/zip",
      [this, file, breaksAt, sent](std::size_t offset, std::size_t length,
                                   httplib::DataSink& sink) {
        if (stopping_) return false;
        if (breaksAt > 0 && offset >= breaksAt) return false;
        if (breaksAt > 0) length = std::min<std::size_t>(length, breaksAt - offset);
        char block[kChunk];
        const long long n = platform::ReadAt(file->get(), block, std::min(length, kChunk), offset);
        if (n <= 0 || !sink.write(block, static_cast<std::size_t>(n))) return false;
        *sent += static_cast<std::uint64_t>(n);
        return true;
      },
      [name, sent](bool) { Say("served\t" + name + "\t" + std::to_string(*sent)); });
}

void VendorService::Routes() {
  server_.Get("/api/dpsk/config", [this](const httplib::Request&, httplib::Response& res) {
    if (options_.configDelayMs > 0) {
      std::this_thread::sleep_for(std::chrono::milliseconds(options_.configDelayMs));
    }
    if (!document_.empty()) {
      res.set_content(document_, "application/json");
      Say("config");
      return;
    }
    Json::Value answer(Json::objectValue);
    answer["serviceurl"] = Url("/support");
    answer["DeepSeekUrl"] = options_.noPackageUrl ? "" : Url("/package/deepseek.zip");
    if (!options_.packageVersion.empty()) answer["DeepSeekVersion"] = options_.packageVersion;
    if (options_.mirror) {
      Json::Value locations(Json::arrayValue);
      locations.append(Url("/package/deepseek.zip"));
      locations.append(Url("/mirror/deepseek.zip"));
      answer["DeepSeekUrls"] = locations;
    }
    res.set_content(Json::writeString(Json::StreamWriterBuilder(), answer), "application/json");
    Say("config");
  });

  server_.Get(R"(/dpsk/log/log/([^/]+)/([^/]+)/WX_([^/]+)/([^/]+)/([^/]+))",
              [this](const httplib::Request& req, httplib::Response& res) {
                const ReportedEvent event{req.matches[1], req.matches[2], req.matches[3],
                                          req.matches[4], req.matches[5]};
                Say("event\t" + events_->Append(event));
                res.set_content("{}", "application/json");
              });

  server_.Get("/package/deepseek.zip", [this](const httplib::Request& req, httplib::Response& res) {
    ServePackage(0, req, res);
  });
  server_.Get("/mirror/deepseek.zip", [this](const httplib::Request& req, httplib::Response& res) {
    if (!options_.mirror) {
      res.status = 404;
      return;
    }
    ServePackage(1, req, res);
  });

  server_.Get(R"(/models/(.+))", [this](const httplib::Request& req, httplib::Response& res) {
    const std::string tag = req.matches[1];
    if (!ServesModel(tag)) {
      res.status = 404;
      res.set_content("file does not exist", "text/plain");
      return;
    }
    const bool broken = options_.brokenModels.count(tag) != 0;
    const std::uint64_t size = options_.modelSizeBytes;
    Say("model\t" + tag + (broken ? "\tbroken" : ""));
    res.set_content_provider(
        static_cast<std::size_t>(size), "application/octet-stream",
        [this, tag, broken, size](std::size_t offset, std::size_t length,
                                  httplib::DataSink& sink) {
          if (stopping_) return false;
          // Dropping the connection halfway: the client sees a short body.
          if (broken && offset >= size / 2) return false;
          const std::size_t n = std::min(length, kChunk);
          std::string block(n, '\0');
          const std::uint32_t seed = Seed(tag);
          for (std::size_t i = 0; i < n; ++i)
            block[i] = static_cast<char>(ModelByte(seed, offset + i));
          if (options_.modelRate > 0) {
            // Paced by what this answer sends, on the timeline all share.
            const auto due = modelPacer_.Reserve(n);
            while (!stopping_ && std::chrono::steady_clock::now() < due) {
              std::this_thread::sleep_until(
                  std::min(due, std::chrono::steady_clock::now() + std::chrono::milliseconds(50)));
            }
          }
          return sink.write(block.data(), block.size());
        });
  });

  server_.Get("/support", [](const httplib::Request&, httplib::Response& res) {
    res.set_content(
        "<!DOCTYPE html>\n<html lang=\"zh\"><head><meta charset=\"utf-8\">"
        "<title>Tidewell support</title></head>\n<body><h1>客服中心</h1>"
        "<p>Local vendor service: customer-service page.</p></body></html>\n",
        "text/html; charset=utf-8");
  });
}
