#include <net/http_stream.h>

#include <curl/curl.h>

#include <memory>

namespace {

struct Transfer {
  const HttpStreamHandlers* handlers = nullptr;
  bool stopped = false;
};

size_t TakeData(char* data, size_t size, size_t count, void* user) {
  auto* transfer = static_cast<Transfer*>(user);
  const size_t length = size * count;
  if (transfer->handlers->onData && !transfer->handlers->onData(std::string_view(data, length))) {
    transfer->stopped = true;
    return 0;  // libcurl ends the transfer with a write error
  }
  return length;
}

int Tick(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
  auto* transfer = static_cast<Transfer*>(user);
  if (transfer->handlers->onTick && !transfer->handlers->onTick()) {
    transfer->stopped = true;
    return 1;  // aborts with CURLE_ABORTED_BY_CALLBACK
  }
  return 0;
}

}  // namespace

HttpStreamResult HttpStreamRequest(const std::string& method, const std::string& url,
                                   const std::string& body, const std::string& contentType,
                                   long connectTimeoutMs, const HttpStreamHandlers& handlers) {
  HttpStreamResult result;
  if (!EnsureCurlGlobalInit()) return result;
  const CurlEasy easy(curl_easy_init());
  if (!easy) return result;
  CurlList list;
  if (!contentType.empty()) {
    list.reset(curl_slist_append(nullptr, ("Content-Type: " + contentType).c_str()));
    if (!list) return result;
  }
  Transfer transfer{&handlers};
  const std::string userAgent = CurlUserAgent();
  CURL* h = easy.get();
  curl_easy_setopt(h, CURLOPT_URL, url.c_str());
  curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "http,https");
  if (method == "POST" || !body.empty()) {
    curl_easy_setopt(h, CURLOPT_POSTFIELDS, body.c_str());
    curl_easy_setopt(h, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
  }
  if (method != "POST" && method != "GET")
    curl_easy_setopt(h, CURLOPT_CUSTOMREQUEST, method.c_str());
  curl_easy_setopt(h, CURLOPT_HTTPHEADER, list.get());
  curl_easy_setopt(h, CURLOPT_USERAGENT, userAgent.c_str());
  curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT_MS, connectTimeoutMs);
  curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(h, CURLOPT_TCP_KEEPALIVE, 1L);
  curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, &TakeData);
  curl_easy_setopt(h, CURLOPT_WRITEDATA, &transfer);
  curl_easy_setopt(h, CURLOPT_XFERINFOFUNCTION, &Tick);
  curl_easy_setopt(h, CURLOPT_XFERINFODATA, &transfer);
  curl_easy_setopt(h, CURLOPT_NOPROGRESS, 0L);
  const CURLcode code = curl_easy_perform(h);
  curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &result.status);
  result.stopped = transfer.stopped;
  result.complete = code == CURLE_OK;
  if (code != CURLE_OK && !transfer.stopped) result.error = curl_easy_strerror(code);
  return result;
}
