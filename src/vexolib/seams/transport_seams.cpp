// The test build's side of the transport seams: time limits a test may shorten.
#include "vexolib/seams/transport_detail.h"
#include "vexolib/transport/curl_shared.h"

namespace vexo {

namespace {

long connectTimeout = 30000;
long stallPeriod = 120;

}  // namespace

namespace curlshared {

long connectTimeoutMillis() { return connectTimeout; }

long stallSeconds() { return stallPeriod; }

}  // namespace curlshared

namespace transport_detail {

void setConnectTimeoutMillis(long millis) { connectTimeout = millis; }

void setStallSeconds(long seconds) { stallPeriod = seconds; }

int curlGlobalUsers() { return curlshared::curlGlobalScopeDepth(); }

}  // namespace transport_detail
}  // namespace vexo
