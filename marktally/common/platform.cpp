#include "marktally/common/platform.h"

#include <langinfo.h>
#include <locale.h>

#include <cstdio>
#include <ctime>

namespace {

constexpr int64_t kMacToUnix = 2082844800;  // seconds from 1904 to 1970
constexpr int64_t kDaysFrom1970To1904 = -24107;

uint32_t gClockOverride = 0;
bool gRegionOverridden = false;
RegionDateFormat gRegionOverride;
TextWidthFunction gTextWidth;
AlertSink gAlertSink;
std::function<void(bool)> gChangedHook;

// Days since 1970-01-01 of a proleptic Gregorian date, and back.
int64_t DaysFromCivil(int64_t y, int64_t m, int64_t d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

void CivilFromDays(int64_t z, int64_t& y, int64_t& m, int64_t& d) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  d = doy - (153 * mp + 2) / 5 + 1;
  m = mp + (mp < 10 ? 3 : -9);
  y = yoe + era * 400 + (m <= 2);
}

// Mac Roman letters 0x80..0xFF: the unaccented base letter (0 where the byte is no
// accented letter) and the other-case partner (0 where there is none).
const unsigned char kBase[128] = {
    'A', 'A', 'C', 'E', 'N', 'O', 'U', 'a', 'a', 'a', 'a', 'a', 'a', 'c', 'e', 'e',  // 80
    'e', 'e', 'i', 'i', 'i', 'i', 'n', 'o', 'o', 'o', 'o', 'o', 'u', 'u', 'u', 'u',  // 90
    0,   0,   0,   0,   0,   0,   0,   0,   0,   0,   0,   0,   0,   0,   0,   0,    // A0
    0,   0,   0,   0,   0,   0,   0,   0,   0,   0,   0,   0,   0,   0,   0,   0,    // B0
    0,   0,   0,   0,   0,   0,   0,   0,   0,   0,   0,   'A', 'A', 'O', 0,   0,    // C0
    0,   0,   0,   0,   0,   0,   0,   0,   'y', 'Y', 0,   0,   0,   0,   0,   0,    // D0
    0,   0,   0,   0,   0,   'A', 'E', 'A', 'E', 'E', 'I', 'I', 'I', 'I', 'O', 'O',  // E0
    0,   'O', 'U', 'U', 'U', 'i', 0,   0,   0,   0,   0,   0,   0,   0,   0,   0,    // F0
};

unsigned char UpperByte(unsigned char c) {
  if (c >= 'a' && c <= 'z') return static_cast<unsigned char>(c - 32);
  switch (c) {
    case 0x8A: return 0x80;  // ä
    case 0x8C: return 0x81;  // å
    case 0x8D: return 0x82;  // ç
    case 0x8E: return 0x83;  // é
    case 0x96: return 0x84;  // ñ
    case 0x9A: return 0x85;  // ö
    case 0x9F: return 0x86;  // ü
    case 0x87: return 0xE7;  // á
    case 0x88: return 0xCB;  // à
    case 0x89: return 0xE5;  // â
    case 0x8B: return 0xCC;  // ã
    case 0x8F: return 0xE9;  // è
    case 0x90: return 0xE6;  // ê
    case 0x91: return 0xE8;  // ë
    case 0x92: return 0xEA;  // í
    case 0x93: return 0xED;  // ì
    case 0x94: return 0xEB;  // î
    case 0x95: return 0xEC;  // ï
    case 0x97: return 0xEE;  // ó
    case 0x98: return 0xF1;  // ò
    case 0x99: return 0xEF;  // ô
    case 0x9B: return 0xCD;  // õ
    case 0x9C: return 0xF2;  // ú
    case 0x9D: return 0xF4;  // ù
    case 0x9E: return 0xF3;  // û
    case 0xBE: return 0xAE;  // æ
    case 0xBF: return 0xAF;  // ø
    case 0xCF: return 0xCE;  // œ
    case 0xD8: return 0xD9;  // ÿ
    default: return c;
  }
}

unsigned char Fold(unsigned char c, bool caseSens, bool diacSens) {
  if (!diacSens && c >= 0x80 && kBase[c - 0x80]) c = kBase[c - 0x80];
  if (!caseSens) c = UpperByte(c);
  return c;
}

int ComparePass(ConstStringPtr a, ConstStringPtr b, bool caseSens, bool diacSens) {
  const int n = a[0] < b[0] ? a[0] : b[0];
  for (int i = 1; i <= n; i++) {
    const unsigned char x = Fold(a[i], caseSens, diacSens);
    const unsigned char y = Fold(b[i], caseSens, diacSens);
    if (x != y) return x < y ? -1 : 1;
  }
  if (a[0] != b[0]) return a[0] < b[0] ? -1 : 1;
  return 0;
}

bool ParseDateFormat(const char* fmt, RegionDateFormat& out) {
  // Expands the shorthands, then reads the order of day, month and year and the
  // first separator between them.
  std::string f = fmt ? fmt : "";
  std::string expanded;
  for (size_t i = 0; i < f.size(); i++) {
    if (f[i] == '%' && i + 1 < f.size()) {
      char c = f[i + 1];
      if (c == 'E' || c == 'O') {  // modifiers
        if (i + 2 < f.size()) c = f[i + 2], i++;
      }
      if (c == 'D') expanded += "%m/%d/%y";
      else if (c == 'F') expanded += "%Y-%m-%d";
      else expanded += std::string("%") + c;
      i++;
    } else {
      expanded += f[i];
    }
  }
  std::string order;
  unsigned char sep = 0;
  for (size_t i = 0; i < expanded.size(); i++) {
    if (expanded[i] == '%' && i + 1 < expanded.size()) {
      const char c = expanded[i + 1];
      if (c == 'd' || c == 'e') order += 'd';
      else if (c == 'm' || c == 'b' || c == 'B' || c == 'h') order += 'm';
      else if (c == 'y' || c == 'Y' || c == 'C' || c == 'G') order += 'y';
      i++;
    } else if (!order.empty() && sep == 0 && order.size() < 3 &&
               static_cast<unsigned char>(expanded[i]) > ' ') {
      sep = static_cast<unsigned char>(expanded[i]);
    }
  }
  if (order == "mdy") out.shortOrder = 0;
  else if (order == "dmy") out.shortOrder = 1;
  else if (order == "ymd") out.shortOrder = 2;
  else return false;
  out.longOrder = out.shortOrder;
  out.separator = sep && sep < 0x80 ? sep : '/';
  out.present = true;
  return true;
}

}  // namespace

uint32_t GetDateTime() {
  if (gClockOverride) return gClockOverride;
  return UnixToMacLocal(static_cast<int64_t>(std::time(nullptr)));
}

void SetClockForTesting(uint32_t seconds) { gClockOverride = seconds; }

void SecondsToDate(uint32_t seconds, DateTimeRec& date) {
  const int64_t days = seconds / 86400;
  const int64_t rest = seconds % 86400;
  int64_t y, m, d;
  CivilFromDays(days + kDaysFrom1970To1904, y, m, d);
  date.year = static_cast<int16_t>(y);
  date.month = static_cast<int16_t>(m);
  date.day = static_cast<int16_t>(d);
  date.hour = static_cast<int16_t>(rest / 3600);
  date.minute = static_cast<int16_t>(rest / 60 % 60);
  date.second = static_cast<int16_t>(rest % 60);
  // 1 January 1904 was a Friday (6 with Sunday 1).
  date.dayOfWeek = static_cast<int16_t>((days + 5) % 7 + 1);
}

void DateToSeconds(const DateTimeRec& date, uint32_t& seconds) {
  // Months outside 1..12 carry into the year; days, hours, minutes and seconds carry
  // through plain addition, as the calendar does.
  int64_t y = date.year;
  int64_t m = date.month - 1;
  y += m >= 0 ? m / 12 : (m - 11) / 12;
  m = ((m % 12) + 12) % 12 + 1;
  const int64_t days = DaysFromCivil(y, m, 1) - kDaysFrom1970To1904 + (date.day - 1);
  const int64_t s =
      days * 86400 + int64_t{date.hour} * 3600 + int64_t{date.minute} * 60 + date.second;
  seconds = s < 0 ? 0 : (s > 0xFFFFFFFFll ? 0xFFFFFFFFu : static_cast<uint32_t>(s));
}

uint32_t UnixToMacLocal(int64_t unixTime) {
  const time_t t = static_cast<time_t>(unixTime);
  struct tm local;
  localtime_r(&t, &local);
  const int64_t mac = unixTime + local.tm_gmtoff + kMacToUnix;
  return mac < 0 ? 0 : static_cast<uint32_t>(mac);
}

int64_t MacLocalToUnix(uint32_t seconds) {
  DateTimeRec d;
  SecondsToDate(seconds, d);
  struct tm local {};
  local.tm_year = d.year - 1900;
  local.tm_mon = d.month - 1;
  local.tm_mday = d.day;
  local.tm_hour = d.hour;
  local.tm_min = d.minute;
  local.tm_sec = d.second;
  local.tm_isdst = -1;
  return static_cast<int64_t>(mktime(&local));
}

RegionDateFormat GetRegionDateFormat() {
  if (gRegionOverridden) return gRegionOverride;
  RegionDateFormat r;
  r.present = false;
  locale_t loc = newlocale(LC_TIME_MASK, "", static_cast<locale_t>(0));
  if (!loc) loc = newlocale(LC_TIME_MASK, "C", static_cast<locale_t>(0));
  if (!loc) return r;
  ParseDateFormat(nl_langinfo_l(D_FMT, loc), r);
  freelocale(loc);
  return r;
}

void SetRegionDateFormatForTesting(const RegionDateFormat* format) {
  gRegionOverridden = format != nullptr;
  if (format) gRegionOverride = *format;
}

int16_t RelString(ConstStringPtr a, ConstStringPtr b, bool caseSens, bool diacSens) {
  // Base letters decide first, so that accented names sort beside plain ones; case and
  // accents only break ties, and only when asked for.
  int r = ComparePass(a, b, false, false);
  if (r == 0 && diacSens) r = ComparePass(a, b, false, true);
  if (r == 0 && caseSens) r = ComparePass(a, b, true, true);
  return static_cast<int16_t>(r);
}

bool EqualString(ConstStringPtr a, ConstStringPtr b, bool caseSens, bool diacSens) {
  // Folding keeps every byte a byte, so texts of two lengths never compare equal; the
  // import asks this of every score it reads.
  if (a[0] != b[0]) return false;
  return ComparePass(a, b, caseSens, diacSens) == 0;
}

int32_t gRandSeed = 1;

int16_t Random() {
  // Park and Miller's minimal standard generator; the low 16 bits are the result.
  if (gRandSeed == 0) gRandSeed = 1;
  const int64_t next = (static_cast<int64_t>(static_cast<uint32_t>(gRandSeed) & 0x7FFFFFFF) *
                        16807) % 0x7FFFFFFF;
  gRandSeed = static_cast<int32_t>(next);
  int16_t r = static_cast<int16_t>(next & 0xFFFF);
  return r == -32768 ? 0 : r;
}

void SetTextWidthFunction(TextWidthFunction f) { gTextWidth = std::move(f); }

int TextWidth(const unsigned char* text, int count) {
  if (gTextWidth) return gTextWidth(text, count);
  return 6 * count;
}

void SetAlertSink(AlertSink sink) { gAlertSink = std::move(sink); }

int16_t ShowModelAlert(AlertKind kind, AlertButtons buttons, ConstStringPtr title,
                       ConstStringPtr text) {
  AlertRequest request{kind, buttons, ToStdString(title), ToStdString(text)};
  if (gAlertSink) return gAlertSink(request);
  std::fprintf(stderr, "marktally: %s %s\n", request.title.c_str(), request.text.c_str());
  return 1;
}

void SetDocumentChangedHook(std::function<void(bool)> hook) { gChangedHook = std::move(hook); }

void NotifyDocumentChanged(bool changed) {
  if (gChangedHook) gChangedHook(changed);
}
