#include "scoretext.h"

#include <cstdint>
#include <cstdio>

#include "accessors.h"
#include "platform.h"
#include "tables.h"
#include "textutil.h"

namespace {

constexpr int32_t kNotValid = -3;
constexpr int32_t kLargestScore = 32767;  // above it a stored score reads back as a code

bool IsDigit(unsigned char c) { return c >= '0' && c <= '9'; }

// Points possible of a column of the current term, or -1 for a column that is not there.
int32_t ColumnPoints(int16_t column) {
  if (!ValidColumn(column)) return -1;
  return gAssignments[CurrentTermIndex()][column].points;
}

// Stores a computed score, refusing what the 16-bit field cannot hold as a score.
void StoreScore(int64_t value, uint16_t& score) {
  if (value < 0 || value > kLargestScore)
    score = static_cast<uint16_t>(kNotValid);
  else
    score = static_cast<uint16_t>(value);
}

void SetText(Str255& text, const char* s) { text.setC(s); }

// Looks a name up among n fixed-size names with the comparison the parsers use.
template <typename Get>
int16_t FindName(ConstStringPtr name, int n, Get get) {
  for (int i = 0; i < n; i++)
    if (EqualString(name, get(i), false, true)) return static_cast<int16_t>(i);
  return kNotValid;
}

}  // namespace

int32_t StringToValue(ConstStringPtr text) {
  constexpr int64_t kLargestValue = INT32_MAX;  // the value is 32-bit tenths
  const int n = text[0];
  int i = 1;
  int64_t whole = 0;
  while (i <= n && IsDigit(text[i])) {
    whole = whole * 10 + (text[i] - '0');
    if (whole > kLargestValue / 10) return kNotValid;  // refused long before overflow
    i++;
  }
  int64_t value = whole * 10;
  if (i <= n) {
    if (text[i] != '.' && text[i] != ',') return kNotValid;
    i++;
    if (i <= n) {
      if (!IsDigit(text[i])) return kNotValid;
      value += text[i] - '0';
      i++;
      if (i <= n) {
        if (!IsDigit(text[i])) return kNotValid;
        const bool roundUp = text[i] >= '5';
        for (i++; i <= n; i++)
          if (!IsDigit(text[i])) return kNotValid;
        if (roundUp) value++;
      }
    }
  }
  return value > kLargestValue ? kNotValid : static_cast<int32_t>(value);
}

void StringToScore(ConstStringPtr text, int16_t limit, uint16_t& score) {
  Str255 stripped;
  StripBlanks(text, stripped);
  if (stripped.empty()) {
    score = kNone;
    return;
  }
  int16_t special;
  WhichScore(text, special);
  if (special >= 0) {
    score = static_cast<uint16_t>(special + kFirstSpecial);
    return;
  }
  // The limit and the 16-bit score both bound what is stored.
  const int32_t value = StringToValue(stripped);
  if (value == kNotValid || value > static_cast<int32_t>(limit) * 10 || value > kLargestScore)
    score = static_cast<uint16_t>(kNotValid);
  else
    score = static_cast<uint16_t>(value);
}

void PercentToScore(ConstStringPtr text, int16_t column, uint16_t& score) {
  score = static_cast<uint16_t>(kNotValid);
  const int32_t points = ColumnPoints(column);
  const int n = text[0];
  if (points < 0 || n == 0 || text[n] != '%') return;
  Str255 number;
  number.setBytes(text + 1, n - 1);
  const bool missed = !number.empty() && number[1] == '-';
  if (missed) number[1] = '0';
  int32_t percent = StringToValue(number);
  if (percent == kNotValid) return;
  if (missed) percent = percent > 1000 ? 0 : 1000 - percent;
  StoreScore(static_cast<int64_t>(points) * percent / 100, score);
}

void NegativeToScore(ConstStringPtr text, int16_t column, uint16_t& score) {
  score = static_cast<uint16_t>(kNotValid);
  const int32_t points = ColumnPoints(column);
  if (points < 0 || text[0] == 0 || text[1] != '-') return;
  Str255 number;
  number.set(text);
  number[1] = '0';
  const int32_t value = StringToValue(number);
  if (value == kNotValid) return;
  const int64_t left = static_cast<int64_t>(points) * 10 - value;
  StoreScore(left < 0 ? 0 : left, score);
}

int32_t LetterGradePercent(int16_t letter) {
  // A letter whose cutoff is unused can never be given, so it is out of use like a
  // nameless one; averaging with the 0xFFFF mark would value a grade at thousands of
  // percent.
  const auto inUse = [](int i) {
    return !gLetterGrades[i].empty() && (i == 0 || gCutoffs[i - 1] != kNone);
  };
  if (letter < 0 || letter >= kMaxLetterGrades || !inUse(letter)) return -1;
  const int32_t lower = letter == 0 ? 0 : gCutoffs[letter - 1];
  for (int k = letter + 1; k < kMaxLetterGrades; k++)
    if (inUse(k)) return (gCutoffs[k - 1] + lower) / 2;
  return lower > 1000 ? lower : 1000;
}

void GradeToScore(ConstStringPtr text, int16_t column, uint16_t& score) {
  score = static_cast<uint16_t>(kNotValid);
  const int32_t points = ColumnPoints(column);
  if (points < 0 || text[0] == 0) return;
  const int16_t letter = FindName(text, kMaxLetterGrades,
                                  [](int i) -> ConstStringPtr { return gLetterGrades[i]; });
  if (letter < 0) return;
  StoreScore(static_cast<int64_t>(points) * LetterGradePercent(letter) / 100, score);
}

void RatioToScore(ConstStringPtr text, int16_t column, uint16_t& score) {
  score = static_cast<uint16_t>(kNotValid);
  const int32_t points = ColumnPoints(column);
  if (points < 0) return;
  // Either term may take 32 bits; the product below stays well inside 64.
  constexpr int64_t kBound = UINT32_MAX;
  const int n = text[0];
  int i = 1;
  int64_t earned = 0;
  for (; i <= n && IsDigit(text[i]); i++) {
    earned = earned * 10 + (text[i] - '0');
    if (earned > kBound) return;
  }
  if (i > n || text[i] != '/') return;
  i++;
  if (i > n) return;
  int64_t outOf = 0;
  for (; i <= n; i++) {
    if (!IsDigit(text[i])) return;
    outOf = outOf * 10 + (text[i] - '0');
    if (outOf > kBound) return;
  }
  if (outOf == 0) return;
  StoreScore((2 * earned * 10 * points / outOf + 1) / 2, score);
}

void StringToPoints(ConstStringPtr text, uint16_t limit, uint16_t& points) {
  Str255 stripped;
  StripBlanks(text, stripped);
  points = static_cast<uint16_t>(kNotValid);
  int32_t value = 0;
  for (int i = 1; i <= stripped.length(); i++) {
    if (!IsDigit(stripped[i])) return;
    value = value * 10 + (stripped[i] - '0');
    if (value > limit) return;
  }
  points = static_cast<uint16_t>(value);
}

void StringToPercent(ConstStringPtr text, int16_t limit, uint16_t& percent) {
  Str255 stripped;
  StripBlanks(text, stripped);
  if (stripped.empty()) {
    percent = kNone;
    return;
  }
  const int32_t value = StringToValue(stripped);
  if (value == kNotValid || value > static_cast<int32_t>(limit) * 10 || value > kLargestScore)
    percent = static_cast<uint16_t>(kNotValid);
  else
    percent = static_cast<uint16_t>(value);
}

void WhichScore(ConstStringPtr name, int16_t& index) {
  if (name[0] == 0) {
    index = -1;
    return;
  }
  index = FindName(name, kMaxSpecialScores,
                   [](int i) -> ConstStringPtr { return gSpecialScores[i].name; });
}

void WhichCategory(ConstStringPtr name, int16_t& index) {
  index = FindName(name, kMaxCategories, [](int i) -> ConstStringPtr {
    return gCategories[CurrentTermIndex()][i].name;
  });
}

void WhichCode(ConstStringPtr name, int16_t& index) {
  if (name[0] == 0) {
    index = -1;
    return;
  }
  index = FindName(name, kMaxCodes, [](int i) -> ConstStringPtr { return gCodes[i].name; });
}

void ScoreToString(int16_t score, Str255& text) {
  if (score >= 0) {
    ValueToString(score, text);
    return;
  }
  switch (score) {
    case kBlank: SetText(text, " "); return;
    case kExcused: SetText(text, "exc"); return;
    case kAbsent: SetText(text, "abs"); return;
    case kIncomplete: SetText(text, "inc"); return;
    // No parser makes full credit; only an older or foreign document holds it.
    case kFullCredit: SetText(text, "full"); return;
    default: break;
  }
  if (score >= kFirstSpecial && score <= kLastSpecial) {
    const Str5& name = gSpecialScores[score - kFirstSpecial].name;
    if (name.empty())
      SetText(text, "??");
    else
      text.set(name);
    return;
  }
  if (score >= kFirstLetter && score <= kLastLetter) {
    const Str4& name = gLetterGrades[score - kFirstLetter];
    if (name.empty()) {
      SetText(text, "??");
      return;
    }
    text.set(name);
    // Pads the letter so that grades line up in the grid's narrow columns.
    if (name.length() == 1)
      AppendC(text, "  ");
    else if (name[2] == '-')
      AppendC(text, " ");
    return;
  }
  // -3 and codes no version ever stored: shown, never silently as a number.
  SetText(text, "??");
}

void ValueToString(int32_t value, Str255& text) {
  const int64_t v = value;
  const int64_t magnitude = v < 0 ? -v : v;
  char buffer[32];
  if (magnitude % 10 == 0)
    std::snprintf(buffer, sizeof buffer, "%s%lld", v < 0 ? "-" : "",
                  static_cast<long long>(magnitude / 10));
  else
    std::snprintf(buffer, sizeof buffer, "%s%lld.%lld", v < 0 ? "-" : "",
                  static_cast<long long>(magnitude / 10), static_cast<long long>(magnitude % 10));
  text.setC(buffer);
}

void DecimalToString(int32_t value, Str255& text) {
  const int64_t v = value;
  const int64_t magnitude = v < 0 ? -v : v;
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%s%lld.%lld", v < 0 ? "-" : "",
                static_cast<long long>(magnitude / 10), static_cast<long long>(magnitude % 10));
  text.setC(buffer);
}

void PercentToString(int16_t percent, Str255& text) {
  if (gClass.flags & kHidePercents) {
    SetText(text, " ");
    return;
  }
  if (percent < 0) {
    SetText(text, "-- ");
    return;
  }
  int whole = percent / 10;
  const int tenths = percent % 10;
  char buffer[16];
  if (gClass.flags & kWholePercents) {
    if (tenths >= 5) whole++;
    std::snprintf(buffer, sizeof buffer, "%d%%", whole);
  } else {
    std::snprintf(buffer, sizeof buffer, "%d.%d%%", whole, tenths);
  }
  text.setC(buffer);
}
