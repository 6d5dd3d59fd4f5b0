#pragma once
// A request whose answer is read as it arrives: a local server's streamed
// answer (one JSON object a line) can run for hours, so there is no total
// time limit; the caller sees every piece and is asked about once a second
// whether to go on, so it can notice silence and stop.
#include <functional>
#include <string>
#include <string_view>

#include <net/http_client.h>

struct HttpStreamHandlers {
  // A piece of the body; false stops the transfer.
  std::function<bool(std::string_view)> onData;
  // Called about once a second, data or not; false stops the transfer.
  std::function<bool()> onTick;
};

struct HttpStreamResult {
  long status = 0;        // 0: no answer at all (refused, timeout, ...)
  bool complete = false;  // the whole body arrived
  bool stopped = false;   // a handler stopped it
  std::string error;      // libcurl's text when the transfer failed
};

// method: "GET", "POST" or "DELETE"; body sent as given (may be empty) with
// the content type when one is named. Connecting is limited to
// connectTimeoutMs; no redirects are followed.
HttpStreamResult HttpStreamRequest(const std::string& method, const std::string& url,
                                   const std::string& body, const std::string& contentType,
                                   long connectTimeoutMs, const HttpStreamHandlers& handlers);
