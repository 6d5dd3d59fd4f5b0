#include <net/http_client.h>

#include <curl/curl.h>

#include <cctype>
#include <chrono>
#include <memory>

namespace {

struct UrlDeleter {
  void operator()(CURLU* url) const { curl_url_cleanup(url); }
};

// The URL's scheme in lowercase; empty when it does not parse.
std::string SchemeOf(const std::string& url) {
  const std::unique_ptr<CURLU, UrlDeleter> parsed(curl_url());
  char* scheme = nullptr;
  if (!parsed || curl_url_set(parsed.get(), CURLUPART_URL, url.c_str(), 0) != CURLUE_OK ||
      curl_url_get(parsed.get(), CURLUPART_SCHEME, &scheme, 0) != CURLUE_OK) {
    return {};
  }
  std::string text(scheme);
  curl_free(scheme);
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

// Stops (libcurl's write error) an answer that outgrows the limit.
size_t AppendBody(char* data, size_t size, size_t count, void* user) {
  auto* body = static_cast<std::string*>(user);
  if (size * count > kMaxResponseBytes - body->size()) return 0;
  body->append(data, size * count);
  return size * count;
}

// libcurl shows what it writes through its debug hook: the request's own
// headers going out mean the request has left.
struct SentWatch {
  const RequestSent* onSent = nullptr;
  bool told = false;
  void Tell() {
    if (told || onSent == nullptr || !*onSent) return;
    told = true;
    (*onSent)();
  }
};

int WatchSent(CURL*, curl_infotype type, char*, size_t, void* user) {
  if (type == CURLINFO_HEADER_OUT) static_cast<SentWatch*>(user)->Tell();
  return 0;
}

}  // namespace

bool EnsureCurlGlobalInit() {
  static const bool initialised = curl_global_init(CURL_GLOBAL_ALL) == CURLE_OK;
  return initialised;
}

bool RedirectAllowed(const std::string& from, const std::string& to) {
  const std::string next = SchemeOf(to);
  if (next == "https") return true;
  return next == "http" && SchemeOf(from) == "http";
}

std::string CurlUserAgent() {
  return std::string("curl/") + curl_version_info(CURLVERSION_NOW)->version;
}

namespace {

// A header line must stay one line: CR, LF or NUL would start another.
bool HeaderTextSafe(const std::string& text) {
  return text.find_first_of(std::string("\r\n\0", 3)) == std::string::npos;
}

// A header list with one line per entry; null when a line cannot be made.
CurlList HeaderList(const HeaderSet& headers) {
  CurlList list;
  for (const auto& [name, value] : headers) {
    const std::string line = name + ": " + value;
    curl_slist* grown = curl_slist_append(list.get(), line.c_str());
    if (grown == nullptr) return {};
    (void)list.release();
    list.reset(grown);
  }
  return list;
}

// What one hop sends: the method, its body and headers. A 303 answer turns
// the next hop into a GET without the body or its headers, as browsers and
// libcurl do; other redirects repeat it all.
struct Outgoing {
  std::string method;
  const std::string* body = nullptr;
  curl_slist* headers = nullptr;
};

void SetMethod(CURL* h, const Outgoing& out) {
  curl_easy_setopt(h, CURLOPT_HTTPHEADER, out.headers);
  if (out.method == "GET") {
    curl_easy_setopt(h, CURLOPT_CUSTOMREQUEST, static_cast<const char*>(nullptr));
    curl_easy_setopt(h, CURLOPT_HTTPGET, 1L);
    return;
  }
  curl_easy_setopt(h, CURLOPT_POSTFIELDS, out.body->data());
  curl_easy_setopt(h, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(out.body->size()));
  curl_easy_setopt(h, CURLOPT_CUSTOMREQUEST, out.method == "POST" ? nullptr : out.method.c_str());
}

HttpResponse Perform(const std::string& method, const std::string& url, const HeaderSet& headers,
                     const std::string& body, const std::string& contentType, long timeoutMs,
                     const std::string& caFile, const RequestSent& onSent) {
  SentWatch watch{&onSent};
  // Whatever happens below, the caller learns that the request is done
  // leaving, at the latest when it is over.
  struct TellAtEnd {
    SentWatch& watch;
    ~TellAtEnd() { watch.Tell(); }
  } tellAtEnd{watch};
  HttpResponse response;
  if (!EnsureCurlGlobalInit()) return response;
  const CurlEasy easy(curl_easy_init());
  if (!easy) return response;
  HeaderSet withBody = headers;
  if (method != "GET") {
    withBody["Content-Type"] = contentType;
    // No waiting for "100 Continue": the runner never asks for it.
    withBody["Expect"] = "";
  }
  for (const auto& [name, value] : withBody) {
    if (!HeaderTextSafe(name) || !HeaderTextSafe(value)) return response;
  }
  const CurlList plainList = HeaderList(headers);
  const CurlList bodyList = HeaderList(withBody);
  if ((!headers.empty() && !plainList) || (!withBody.empty() && !bodyList)) return response;
  const std::string userAgent = CurlUserAgent();
  CURL* h = easy.get();
  SetMethod(h, Outgoing{method, &body, bodyList.get()});
  curl_easy_setopt(h, CURLOPT_USERAGENT, userAgent.c_str());
  // Redirects are followed here, one by one, so that each hop's scheme is
  // checked as the package download checks it; the handle keeps its cookies
  // from hop to hop.
  curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 0L);
  curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "http,https");
  if (!caFile.empty()) curl_easy_setopt(h, CURLOPT_CAINFO, caFile.c_str());
  // An announced length over the limit fails before any of it is read.
  curl_easy_setopt(h, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(kMaxResponseBytes));
  curl_easy_setopt(h, CURLOPT_COOKIEFILE, "");  // cookie engine, this request only
  curl_easy_setopt(h, CURLOPT_TCP_KEEPALIVE, 1L);
  curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);  // requests run on several threads
  curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, &AppendBody);
  curl_easy_setopt(h, CURLOPT_WRITEDATA, &response.body);
  if (onSent) {
    curl_easy_setopt(h, CURLOPT_DEBUGFUNCTION, &WatchSent);
    curl_easy_setopt(h, CURLOPT_DEBUGDATA, &watch);
    curl_easy_setopt(h, CURLOPT_VERBOSE, 1L);  // feeds the hook; nothing is printed
  }

  using Clock = std::chrono::steady_clock;
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  std::string current = url;
  for (long hops = 0;; ++hops) {
    const long long left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) return {};
    curl_easy_setopt(h, CURLOPT_URL, current.c_str());
    curl_easy_setopt(h, CURLOPT_TIMEOUT_MS, static_cast<long>(left));
    response.body.clear();  // a redirect's own body is not the answer
    if (curl_easy_perform(h) != CURLE_OK) return {};
    response.status = 0;
    curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &response.status);
    if (response.status < 300 || response.status > 399) return response;
    const char* next = nullptr;
    curl_easy_getinfo(h, CURLINFO_REDIRECT_URL, &next);
    if (next == nullptr) return response;  // a 3xx without a place to go is the answer
    if (hops == kMaxServiceRedirects || !RedirectAllowed(current, next)) return {};
    current = next;
    if (response.status == 303) SetMethod(h, Outgoing{"GET", &body, plainList.get()});
  }
}

}  // namespace

HttpResponse HttpGetRequest(const std::string& url, const HeaderSet& headers, long timeoutMs,
                            const std::string& caFile, const RequestSent& onSent) {
  return Perform("GET", url, headers, {}, {}, timeoutMs, caFile, onSent);
}

HttpResponse HttpRequest(const std::string& method, const std::string& url, const std::string& body,
                         const std::string& contentType, long timeoutMs, const HeaderSet& headers,
                         const std::string& caFile) {
  if (method != "GET" && method != "POST" && method != "DELETE") return {};
  if (method == "GET" && !body.empty()) return {};
  if (body.size() > kMaxRequestBytes) return {};
  return Perform(method, url, headers, body, contentType, timeoutMs, caFile, {});
}
