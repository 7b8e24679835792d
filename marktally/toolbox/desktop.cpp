// Cursors, the help tag, the beep, the scrap and the preferences file.
#include "marktally/toolbox/desktop.h"

#include <QApplication>
#include <QClipboard>
#include <QMimeData>
#include <QSettings>
#include <QStandardPaths>
#include <QToolTip>
#include <limits>

#include "marktally/toolbox/internal.h"

namespace {

Qt::CursorShape ShapeOf(ThemeCursor cursor) {
  switch (cursor) {
    case kThemeIBeamCursor:
      return Qt::IBeamCursor;
    case kThemeClosedHandCursor:
      return Qt::ClosedHandCursor;
    case kThemeOpenHandCursor:
      return Qt::OpenHandCursor;
    case kThemePointingHandCursor:
      return Qt::PointingHandCursor;
    case kThemeWatchCursor:
      return Qt::WaitCursor;
    default:
      return Qt::ArrowCursor;
  }
}

QSettings& Settings() {
  Toolbox& tb = TB();
  if (!tb.settings) {
    QString path = QString::fromStdString(tb.prefsPath);
    if (path.isEmpty()) {
      path = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
             QStringLiteral("/marktally/marktally.conf");
    }
    tb.settings = new QSettings(path, QSettings::IniFormat);
  }
  return *tb.settings;
}

QString Key(const char* key) { return QString::fromUtf8(key); }

}  // namespace

// ---- Cursors, help tag, beep ------------------------------------------------------

OSStatus SetThemeCursor(ThemeCursor cursor) {
  Toolbox& tb = TB();
  if (cursor == tb.cursor) return noErr;
  tb.cursor = cursor;
  if (QWidget* view = FrameView()) view->setCursor(ShapeOf(cursor));
  return noErr;
}

void InitCursor() { SetThemeCursor(kThemeArrowCursor); }

OSStatus HMDisplayTag(const HMHelpContentRec* tag) {
  Toolbox& tb = TB();
  tb.tag = *tag;
  tb.tagShown = true;
  if (tb.interactive) {
    if (QWidget* view = FrameView()) {
      const Rect& r = tag->absHotRect;
      const Rect c = FrameContentBounds();
      const QRect local(r.left - c.left, r.top - c.top, r.right - r.left, r.bottom - r.top);
      QToolTip::showText(view->mapToGlobal(local.bottomRight()), MacToQString(tag->content), view,
                         local);
    }
  }
  return noErr;
}

OSStatus HMHideTag() {
  Toolbox& tb = TB();
  if (!tb.tagShown) return noErr;
  tb.tagShown = false;
  if (tb.interactive) QToolTip::hideText();
  return noErr;
}

void SysBeep(int16_t) {
  ++TB().beeps;
  if (TB().interactive) QApplication::beep();
}

// ---- Scrap ------------------------------------------------------------------------

OSStatus ClearCurrentScrap() {
  if (TB().app) QGuiApplication::clipboard()->clear();
  return noErr;
}

OSStatus PutScrapText(const std::string& macRoman) {
  if (!TB().app) return paramErr;
  const auto* bytes = reinterpret_cast<const unsigned char*>(macRoman.data());
  QString text = MacToQString(bytes, static_cast<int>(macRoman.size()));
  text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  QGuiApplication::clipboard()->setText(text);
  return noErr;
}

bool GetScrapText(std::string* macRoman, char32_t* unstorable) {
  if (unstorable) *unstorable = 0;
  if (!TB().app) return false;
  const QMimeData* data = QGuiApplication::clipboard()->mimeData();
  if (!data || !data->hasText()) return false;
  QString text = data->text();
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\r"));
  text.replace(QLatin1Char('\n'), QLatin1Char('\r'));
  *macRoman = QStringToMac(text);
  if (unstorable) {
    unsigned char c = 0;
    for (char32_t u : text.toStdU32String())
      if (!UnicodeToMacRoman(u, &c)) {
        *unstorable = u;
        break;
      }
  }
  return true;
}

// ---- Preferences ------------------------------------------------------------------

bool CopyAppPreferenceShort(const char* key, int16_t* value) {
  const QVariant v = Settings().value(Key(key));
  if (!v.isValid()) return false;
  bool ok = false;
  const int n = v.toString().trimmed().toInt(&ok);
  if (!ok || n < std::numeric_limits<int16_t>::min() || n > std::numeric_limits<int16_t>::max())
    return false;
  *value = static_cast<int16_t>(n);
  return true;
}

void SetAppPreferenceShort(const char* key, int16_t value) {
  Settings().setValue(Key(key), static_cast<int>(value));
}

bool CopyAppPreferenceString(const char* key, std::string* macRoman, size_t maxLength) {
  const QVariant v = Settings().value(Key(key));
  if (!v.isValid()) return false;
  *macRoman = QStringToMac(v.toString());
  if (macRoman->size() > maxLength) macRoman->resize(maxLength);
  return true;
}

void SetAppPreferenceString(const char* key, const std::string& macRoman) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(macRoman.data());
  Settings().setValue(Key(key), MacToQString(bytes, static_cast<int>(macRoman.size())));
}

bool SynchronizeAppPreferences() {
  QSettings& s = Settings();
  s.sync();
  return s.status() == QSettings::NoError;
}

// ---- Seams ------------------------------------------------------------------------

void ResetDesktop() {
  Toolbox& tb = TB();
  tb.cursor = kThemeArrowCursor;
  if (QWidget* view = FrameView()) view->setCursor(Qt::ArrowCursor);
  tb.tagShown = false;
  tb.tag = HMHelpContentRec{};
  tb.beeps = 0;
  tb.hiliteMode = 0xFF;
  ClearCurrentScrap();
}

void SetPreferencesFileForTesting(const std::string& path) {
  Toolbox& tb = TB();
  delete tb.settings;
  tb.settings = nullptr;
  tb.prefsPath = path;
}

ThemeCursor CurrentThemeCursor() { return TB().cursor; }

bool CurrentHelpTag(HMHelpContentRec* tag) {
  if (!TB().tagShown) return false;
  *tag = TB().tag;
  return true;
}

int BeepCount() { return TB().beeps; }

void SetDesktopClipboardText(const std::string& utf8) {
  if (TB().app) QGuiApplication::clipboard()->setText(QString::fromUtf8(utf8.c_str()));
}
