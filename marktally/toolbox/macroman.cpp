// Qt strings from and to the program's Mac Roman, over the common table.
#include "marktally/common/macroman.h"

#include <QString>

#include "marktally/toolbox/internal.h"

QString MacToQString(const unsigned char* text, int count) {
  QString s;
  s.reserve(count);
  for (int i = 0; i < count; ++i) s.append(QChar(MacRomanToUnicode(text[i])));
  return s;
}

QString MacToQString(ConstStringPtr pstr) { return MacToQString(pstr + 1, pstr[0]); }

std::string QStringToMac(const QString& s) {
  std::string out;
  const std::u32string u = s.toStdU32String();
  out.reserve(u.size());
  for (char32_t c : u) {
    unsigned char b;
    UnicodeToMacRoman(c, &b);
    out.push_back(static_cast<char>(b));
  }
  return out;
}
