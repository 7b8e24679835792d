// Which certificate authorities a transfer trusts. The shipped library always trusts the
// system's; only the test build can name an authority of its own, so that the framework's
// tests reach a TLS page whose certificate a throw-away authority signed.
#pragma once

#include <string>

namespace vexo {
namespace transport_detail {

// The authorities' file (PEM) transfers trust instead of the system's; empty for the
// system's. Always empty in the shipped library.
std::string trustedCaFile();

// Test build only (the shipped library has no definition): names that file; empty goes
// back to the system's authorities for new handles.
void setTrustedCaFile(const std::string& path);

}  // namespace transport_detail
}  // namespace vexo
