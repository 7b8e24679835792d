#include "marktally/reports/email.h"

namespace {

// The default locale's classes: bytes above 127 belong to neither.
bool IsSpace(unsigned char c) { return c == ' ' || (c >= 9 && c <= 13); }
bool IsPunct(unsigned char c) {
  return (c >= 33 && c <= 47) || (c >= 58 && c <= 64) || (c >= 91 && c <= 96) ||
         (c >= 123 && c <= 126);
}

}  // namespace

bool ValidEmail(ConstStringPtr text, int start) {
  const int n = text[0];
  if (start < 1 || start > n) return false;
  if (text[start] == '.' || text[start] == '@') return false;
  int at = 0;
  int dot = 0;
  for (int i = start; i <= n; i++) {
    const unsigned char c = text[i];
    if (IsSpace(c)) return false;
    if (i <= n - 2 && IsPunct(text[i + 1]) && IsSpace(text[i + 2])) return false;
    if (i == n) return false;
    if (i == n - 1 && IsPunct(text[n])) return false;
    if (IsSpace(text[i + 1])) return false;
    if (c == '.' && text[i + 1] == '.') return false;
    if (c == '@' && at == 0)
      at = i;
    else if (at != 0 && dot == 0 && c == '.')
      dot = i;
    if (dot != 0 && dot < i && c != '.') return true;
  }
  return false;
}
