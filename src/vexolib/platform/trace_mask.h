// Trace files and the log table leave the machine (the log table travels with the next
// request, users mail trace files to support), so secrets are masked before they get there.
#pragma once

#include <string>
#include <vector>

namespace vexo {
namespace tracemask {

// The value of every "atkn=" parameter, every cookie of a "Cookie:" header line, the
// cookie value of a "Set-Cookie:" line and the values of ".password=" and ".authToken="
// lines become "********".
std::string maskSecrets(const std::string& text);

// At most maxBytes of the start of a body, bytes outside printable ASCII as '.', with
// "... (<n> bytes)" appended when cut; secrets masked as above.
std::string bodyExcerpt(const std::vector<unsigned char>& body, std::size_t maxBytes = 256);

}  // namespace tracemask
}  // namespace vexo
