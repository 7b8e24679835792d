// What the POST transport and the URL reader share: libcurl's global set-up by use count,
// the header buffer and the body and header callbacks, the status line and the failure traces. One
// transfer at a time per process.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include <boost/optional.hpp>

#include "vexolib/transport/ConnectionDef.h"
#include "vexolib/transport/ResponseBody.h"

typedef void CURL;

namespace vexo {
namespace curlshared {

const std::size_t maxUrlLength = 255;
const std::size_t errorBufferSize = 512;

bool pushCurlGlobalScope();
void popCurlGlobalScope();
int curlGlobalScopeDepth();

// The headers of the transfer under way, at most headerLimit bytes (redirects included).
const std::size_t headerLimit = std::size_t(1) << 20;
std::string& responseHeaders();
std::size_t writeResponseHeaders(char* data, std::size_t size, std::size_t count, void*);

// The number at the end of the first line holding "HTTP "; none when there is no such
// line; `failed` when the line is there but its number does not read.
boost::optional<int> readStatusLine(const std::string& headers, bool& failed);

// The service's home as built in; URLs elsewhere are traced once so that a test or a
// redirected configuration shows in the log.
std::string builtInUrlPrefix();

// Options every handle gets before a transfer: only http and https, no .netrc, a connect
// time-out, no signals; the proxy of the connection or explicitly none.
void setCommonOptions(CURL* curl, char* errorBuffer);
// The connection's proxy, or explicitly none. The user name and password go to libcurl
// apart, so either may hold a colon.
void setProxyOptions(CURL* curl, const boost::optional<ProxyDef>& proxy);

// Runs the transfer set up on `curl`, its body going to `body` (CURLOPT_WRITEDATA is this
// call's). A page announced or arriving longer than the limit fails the transfer. So does a
// transfer that moves fewer than 1 byte/s over the stall period, counted from the last
// bytes that moved (libcurl's own rule averages over its last seconds, so that a burst, say
// the end of an upload, would put the end off): that is CURLE_OPERATION_TIMEDOUT, with
// libcurl's wording in the error buffer. What a callback throws (a failing file, memory)
// ends the transfer and is raised again once libcurl has returned.
int perform(CURL* curl, ResponseBody& body, char* errorBuffer);

// Why a transfer ended without an answer, for the message a program shows: a fixed phrase
// ("host name not found", "connection refused", "connection timed out", "certificate
// refused", "secure connection failed", "proxy host name not found", "proxy refused the
// connection", "proxy did not answer", "proxy refused the request", "service did not
// answer", "transfer stalled", "time limit reached", "connection closed without an answer",
// "connection broken", "answer cut short", "not an HTTP answer", "file to send unreadable",
// "transfer failed"), then "; " and libcurl's own words when it has any.
std::string describeFailure(CURL* curl, int result, const char* errorBuffer, bool viaProxy);

// The two failure lines of a transfer whose libcurl result is not 0, secrets masked.
void traceFailedTransfer(int code, const char* errorBuffer, int result,
                         const std::vector<unsigned char>& body, const std::string& headers);

// How long connecting may take (30 s), and how long a transfer may move fewer than 1 byte/s
// before it has stalled (120 s): a silent or trickling server must not freeze the caller.
// Fixed in the shipped library; the test build's seams shorten them (seams/).
long connectTimeoutMillis();
long stallSeconds();

}  // namespace curlshared
}  // namespace vexo
