#include <service/http_client.h>

#include <curl/curl.h>

#include <memory>

namespace {

struct ListDeleter {
  void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};

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

std::string CurlUserAgent() {
  return std::string("curl/") + curl_version_info(CURLVERSION_NOW)->version;
}

HttpResponse HttpGetRequest(const std::string& url, const HeaderSet& headers, long timeoutMs,
                            const RequestSent& onSent) {
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
  std::unique_ptr<curl_slist, ListDeleter> list;
  for (const auto& [name, value] : headers) {
    const std::string line = name + ": " + value;
    curl_slist* grown = curl_slist_append(list.get(), line.c_str());
    if (grown == nullptr) return response;
    (void)list.release();
    list.reset(grown);
  }
  const std::string userAgent = CurlUserAgent();
  CURL* h = easy.get();
  curl_easy_setopt(h, CURLOPT_URL, url.c_str());
  curl_easy_setopt(h, CURLOPT_HTTPGET, 1L);
  curl_easy_setopt(h, CURLOPT_TIMEOUT_MS, timeoutMs);
  curl_easy_setopt(h, CURLOPT_HTTPHEADER, list.get());
  curl_easy_setopt(h, CURLOPT_USERAGENT, userAgent.c_str());
  curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(h, CURLOPT_MAXREDIRS, 50L);
  curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(h, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
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
  if (curl_easy_perform(h) != CURLE_OK) {
    response.body.clear();
    return response;
  }
  curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &response.status);
  return response;
}
