#pragma once
// A small RAII layer over libcurl's easy interface: one fresh handle per
// request, with the defaults the service client relies on (User-Agent
// "curl/<version>", redirects followed up to 50 under the download rule, cookie engine on for the
// request, TCP keep-alive).
#include <curl/curl.h>

#include <functional>
#include <map>
#include <memory>
#include <string>

// Header name → value; every entry is sent as one request header.
using HeaderSet = std::map<std::string, std::string>;

struct HttpResponse {
  long status = 0;  // 0: no answer (refused, name lookup, timeout, ...)
  std::string body;
};

// A libcurl easy handle, cleaned up with its owner.
struct CurlEasyDeleter {
  void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};
using CurlEasy = std::unique_ptr<CURL, CurlEasyDeleter>;

// A libcurl header list, freed with its owner.
struct CurlListDeleter {
  void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
using CurlList = std::unique_ptr<curl_slist, CurlListDeleter>;

// libcurl's global state, set up once for the process and never torn down
// (a request may be running on another thread at any time).
bool EnsureCurlGlobalInit();

// Answers are read into memory up to this size; a larger one is a failure.
inline constexpr std::size_t kMaxResponseBytes = 1024 * 1024;

// Told once when a request has left: its headers are on the wire, or it
// failed before they could be.
using RequestSent = std::function<void()>;

// Whether a redirect from one URL to another may be followed: to http or
// https only, and never from https back to http (the certificate checks
// would be gone for the rest of the way).
bool RedirectAllowed(const std::string& from, const std::string& to);

// One GET with a total time limit for connection, request, redirects and
// response. Redirects (up to kMaxServiceRedirects) obey RedirectAllowed; one that
// does not is no answer. caFile: certificates to trust instead of the
// system's (tests).
inline constexpr long kMaxServiceRedirects = 50;
HttpResponse HttpGetRequest(const std::string& url, const HeaderSet& headers, long timeoutMs,
                            const std::string& caFile = {}, const RequestSent& onSent = {});

// One request of another method under the same limits, redirect rule and
// certificates as the GET. method: "GET", "POST" or "DELETE" (anything else
// is no answer). body is sent as it is with contentType for POST and DELETE
// (an empty body is sent as an empty one); a GET takes no body (one given is
// no answer). A body over kMaxRequestBytes, or a header name or value with
// CR, LF or NUL in it, is no answer. A 303 redirect continues as a GET
// without the body; other redirects repeat the method and body.
inline constexpr std::size_t kMaxRequestBytes = 1024 * 1024;
HttpResponse HttpRequest(const std::string& method, const std::string& url, const std::string& body,
                         const std::string& contentType, long timeoutMs,
                         const HeaderSet& headers = {}, const std::string& caFile = {});

// "curl/" followed by libcurl's version.
std::string CurlUserAgent();
