// Text helpers shared by every layer of the framework.
#pragma once

#include <locale>
#include <map>
#include <string>
#include <vector>

namespace vexo {
namespace strutil {

bool startsWith(const std::string& s, const std::string& prefix);
bool endsWith(const std::string& s, const std::string& suffix);

// Drops spaces, tabs, CRs and LFs at both ends; a string of blanks only comes back unchanged.
std::string strip(const std::string& s);

char toLowercase(char c, const std::locale& loc);
// Lower-cases in the "C" locale: only 'A'-'Z' change.
std::string toLowercase(const std::string& s);

// The non-empty pieces between separators, untrimmed.
std::vector<std::string> split(const std::string& s, char separator);
std::vector<std::string> splitOnSemicolons(const std::string& s);

// RFC 3986 percent-encoding for a value placed in a query: everything but the unreserved
// letters, digits and "-._~" becomes %XX (upper-case hex), byte by byte.
std::string percentEncode(const std::string& s);

// Standard base64 (RFC 4648 alphabet, '=' padding). Never fails: malformed input decodes to
// something, and nothing is read or written outside the input and the result.
std::vector<unsigned char> decodeBase64String(const std::string& s);

// The whole text must be an optional sign and decimal digits within int; else defaultValue.
int toInt(const std::string& s, int defaultValue);
std::string fromInt(int value);

// "0"/"false"/"no" and "1"/"true"/"yes" (any case, blanks around ignored), or any integer;
// anything else, and the empty text, gives defaultValue. Never fails.
bool toBool(const std::string& s, bool defaultValue);
std::string fromBool(bool value);

// "vexo (2.5.72; 2; " + each non-empty part followed by "; " + "macmacho)".
std::string calcUserAgentString(const std::string& part1, const std::string& part2,
                                const std::string& part3, const std::string& part4);

// "name=value;name=value": names of letters, digits, '.' and '_'; other pieces are skipped;
// names and values are stripped; a later name wins.
std::map<std::string, std::string> parseNVPString(const std::string& s);

}  // namespace strutil
}  // namespace vexo
