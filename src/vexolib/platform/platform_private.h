// Shared between the portable and the system-facing halves of the platform layer.
#pragma once

#include <string>
#include <vector>

namespace vexo {
namespace platform {
namespace priv {

// The folders searched for "vexo/vexo.ini", user first, then local, then network; an
// entry is empty when that domain has no folder here.
std::vector<std::string> configDomainFolders();

}  // namespace priv
}  // namespace platform
}  // namespace vexo
