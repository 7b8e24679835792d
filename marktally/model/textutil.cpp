#include "textutil.h"

#include "platform.h"

uint8_t gChanged = 0;

uint32_t Divide(uint32_t a, uint32_t b) {
  return static_cast<uint32_t>((2ull * a / b + 1) / 2);
}

uint32_t Percent(uint32_t a, uint32_t b) {
  return static_cast<uint32_t>((2000ull * a / b + 1) / 2);
}

int16_t Min(int16_t a, int16_t b) { return a < b ? a : b; }
int16_t Max(int16_t a, int16_t b) { return a > b ? a : b; }

void StripBlanks(ConstStringPtr source, Str255& destination) {
  int first = 1;
  int last = source[0];
  while (first <= last && source[first] < 33) first++;
  while (last >= first && source[last] < 33) last--;
  unsigned char out[256];
  int n = 0;
  for (int i = first; i <= last; i++) out[++n] = source[i] < 32 ? ' ' : source[i];
  destination.setBytes(out + 1, n);
}

void TrimString(ConstStringPtr source, Str255& destination, uint16_t width) {
  static const unsigned char kEllipsis[2] = {1, 0xC9};
  int limit = static_cast<int>(width) - 4;
  destination.set(source);
  if (StringWidth(destination) <= limit) return;
  limit -= StringWidth(kEllipsis);
  bool shortened = false;
  while (destination.length() > 0 && StringWidth(destination) > limit) {
    destination[0]--;
    shortened = true;
  }
  if (shortened && destination.length() > 0) destination[destination.length()] = 0xC9;
}

void StripExtension(ConstStringPtr source, Str255& destination) {
  destination.set(source);
  const int n = source[0];
  auto lower = [&](int i) {
    unsigned char c = source[i];
    return static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
  };
  if (n > 3 && source[n - 3] == '.') {
    const std::string ext{lower(n - 2), lower(n - 1), lower(n)};
    if (ext == "mtb" || ext == "htm") {
      destination[0] = static_cast<unsigned char>(n - 4);
      return;
    }
  }
  if (n >= 5 && source[n - 4] == '.' && lower(n - 3) == 'h' && lower(n - 2) == 't' &&
      lower(n - 1) == 'm' && lower(n) == 'l') {
    destination[0] = static_cast<unsigned char>(n - 5);
  }
}

void SetChanged(uint8_t flag) {
  gChanged = flag;
  NotifyDocumentChanged(flag != 0);
}
