// The one test of an address the framework opens, follows or hands to the browser.
#pragma once

#include <string>

namespace vexo {
namespace platform {

// An absolute http or https address with a host and no blanks or control characters: the
// only kind of page the framework opens or follows; the launcher would open local files and
// other schemes just as readily.
bool isWebAddress(const std::string& url);

}  // namespace platform
}  // namespace vexo
