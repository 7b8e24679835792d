// Seams of the HTTP transport for the framework's own tests and benchmarks (the setters are
// built into the test library only, seams/*.cpp), and the cookie rules the tests reach.
#pragma once

#include <map>
#include <string>

namespace vexo {
namespace transport_detail {

// How long connecting may take before a transfer gives up (30 s unless set).
void setConnectTimeoutMillis(long millis);
// How long a transfer may move fewer than 1 byte/s before it ends (120 s unless set).
void setStallSeconds(long seconds);
// How many holders libcurl's global set-up has now.
int curlGlobalUsers();

// The cookie rule: "Set-Cookie: <name>=<value>; path..." within one header line.
void rememberCookiesInHeaders(const std::string& headers,
                              std::map<std::string, std::string>& cookies);
// "a=1; b=2; " in name order, each piece only while the text stays under 5120 bytes.
std::string buildCookieText(const std::map<std::string, std::string>& cookies);

}  // namespace transport_detail
}  // namespace vexo
