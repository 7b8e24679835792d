// The network-facing half of the platform layer: transfer libraries and connection
// variants, the system's proxy, the browser, and reading pages by URL.
#pragma once

#include <string>
#include <vector>

#include "vexolib/transport/ConnectionDef.h"

namespace vexo {
namespace platform {

// Options "curlenabled" (default true) and "wininetenabled" (default false).
bool isCurlEnabled();
bool isWininetEnabled();
// The second library exists only on another platform, so this is curl alone or nothing.
std::vector<TransferLib> identifyTransferLibraries();
// Every connection definition times every library, definitions outer.
std::vector<ConnectionVariantInfo> identifyConnectionVariants();

// The system's proxy for the URL prefix's scheme first, when one is set, then always a
// direct connection. Read from the environment: http_proxy for an "http:" prefix, else
// https_proxy, then HTTPS_PROXY. Credentials in the variable are never carried over, and a
// proxy without a port is not used. Never raises.
std::vector<ConnectionDef> getConnectionDefs();

// Fixed answers on this platform: the transport finds out soon enough.
bool networkAppearsToBeAvailable();
bool promptContinueWhenNetworkAppearsDown();

// Hands an http or https address to xdg-open, started without a shell. Raises
// VexoException 114 "Failed to init Internet Config" when there is no launcher, and 114
// "Failed to open browser to url: '<url>'" when the address is refused or the launch fails.
void openBrowser(const std::string& url);

// Page reading with the process-wide URL reader. readUrl always goes direct and answers
// true only for a complete page with status 200; after a failed transfer the error text
// holds libcurl's description.
bool startUrlReader();
bool readUrl(const std::string& url, std::vector<unsigned char>& body, std::string& errorText,
             int& httpStatus, const std::string& clientAppName,
             const std::string& secondClientString);
void stopUrlReader();

}  // namespace platform
}  // namespace vexo
