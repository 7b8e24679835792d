// Start-up of the toolbox, its shared state and its test seams.
#include "marktally/toolbox/toolbox.h"

#include <QApplication>
#include <QStringList>
#include <cstdio>
#include <cstdlib>
#include <utility>
#include <vector>

#include "marktally/toolbox/internal.h"

// Lives to the end of the process: its windows, menus and fonts hold Qt objects that must
// not be destroyed after the application object is gone.
Toolbox& TB() {
  static Toolbox* toolbox = new Toolbox;
  return *toolbox;
}

namespace {

// The desktop asks the program to quit (a session ending, a quit from the desktop):
// that is the "quit" Apple event, which the program answers in its own time.
class QuitFilter : public QObject {
 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched == qApp && event->type() == QEvent::Quit) {
      QueueAppleEvent(kAEQuitApplication, {});
      return true;
    }
    return QObject::eventFilter(watched, event);
  }
};

// What Qt says while it connects to the display; a display that cannot be reached
// ends the start with our own message instead of Qt's abort (and its core dump).
struct StartMessages {
  QtMessageHandler previous = nullptr;
  std::vector<std::pair<QtMsgType, QString>> held;
};

StartMessages& Held() {
  static StartMessages messages;
  return messages;
}

void HoldStartMessage(QtMsgType type, const QMessageLogContext&, const QString& text) {
  if (type == QtFatalMsg) {
    const QByteArray display = qgetenv("DISPLAY");
    std::fprintf(stderr,
                 "marktally: no display found. Marktally needs a graphical desktop "
                 "(the display \"%s\" cannot be reached).\n",
                 display.isEmpty() ? qgetenv("WAYLAND_DISPLAY").constData() : display.constData());
    std::fflush(stderr);
    std::_Exit(1);
  }
  Held().held.emplace_back(type, text);
}

bool StartQt(int& argc, char** argv) {
  Toolbox& tb = TB();
  if (tb.app) return true;
  // Qt would abort with a message of its own; say plainly what is missing.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY") &&
      qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
    std::fprintf(stderr,
                 "marktally: no display found. Marktally needs a graphical desktop "
                 "(DISPLAY or WAYLAND_DISPLAY is not set).\n");
    return false;
  }
  // The toolbox lives until the process ends: the program's windows and menus hold
  // Qt objects to the last moment.
  Held().previous = qInstallMessageHandler(HoldStartMessage);
  tb.app = new QApplication(argc, argv);
  qInstallMessageHandler(Held().previous);
  for (const auto& m : Held().held) {
    const QByteArray text = m.second.toLocal8Bit();
    if (m.first == QtWarningMsg || m.first == QtCriticalMsg)
      qWarning("%s", text.constData());
  }
  Held().held.clear();
  QApplication::setApplicationName(QStringLiteral("marktally"));
  QApplication::setQuitOnLastWindowClosed(false);
  tb.app->installEventFilter(new QuitFilter);
  HoldKeysTypedBehindDialogs();
  const QString platform = QGuiApplication::platformName();
  tb.interactive = platform != QLatin1String("offscreen") && platform != QLatin1String("minimal");
  tb.clock.start();
  LoadFonts();
  // The empty frame takes the place that the document window will have.
  Rect desk;
  GetAvailableWindowPositioningBounds(GetMainDevice(), &desk);
  tb.frameContent =
      Rect{static_cast<int16_t>(desk.top + 42), static_cast<int16_t>(desk.left + 18),
           static_cast<int16_t>(desk.bottom - 120), static_cast<int16_t>(desk.right - 120)};
  EnsureFrame();
  QObject::connect(tb.app, &QGuiApplication::applicationStateChanged,
                   [](Qt::ApplicationState state) {
                     Toolbox& t = TB();
                     if (state != Qt::ApplicationActive && state != Qt::ApplicationInactive)
                       return;
                     if (state == t.appState) return;
                     t.appState = state;
                     const bool resume = state == Qt::ApplicationActive;
                     PostEvent(osEvt, (static_cast<uintptr_t>(suspendResumeMessage) << 24) |
                                          (resume ? resumeFlag : 0));
                   });
  return true;
}

}  // namespace

bool InitToolbox(int& argc, char** argv) {
  if (!StartQt(argc, argv)) return false;
  std::vector<std::string> arguments;
  const QStringList args = QCoreApplication::arguments();
  for (int i = 1; i < args.size(); ++i) arguments.push_back(args[i].toStdString());
  PostCommandLineEvents(arguments);
  return true;
}

// ---- Test seams -------------------------------------------------------------------

void InitToolboxForTesting() {
  static int argc = 1;
  static char name[] = "marktally-test";
  static char* argv[] = {name, nullptr};
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  if (!StartQt(argc, argv)) std::abort();
  ResetToolboxForTesting();
}

void ResetToolboxForTesting() {
  Toolbox& tb = TB();
  ResetDialogs();
  ResetNavigation();
  ResetWindows();
  ResetMenus();
  ResetEvents();
  ResetDesktop();
  SetKeyringUnavailableForTesting(false);
  tb.screenOverride = true;
  tb.screen = Rect{0, 0, 768, 1024};
  tb.available = Rect{22, 0, 768, 1024};
  tb.menuBarHeight = 22;
  tb.current = nullptr;
  InstallFontMeasure();
}

void SendDesktopQuit() {
  if (!TB().app) return;
  QEvent quit(QEvent::Quit);
  QCoreApplication::sendEvent(TB().app, &quit);
}

void InjectEvent(const EventRecord& event) {
  QueuedEvent e;
  e.event = event;
  QueueEvent(std::move(e));
}

void InjectKey(unsigned char charCode, uint16_t modifiers, bool autoRepeat) {
  QueuedEvent e;
  e.event = MakeEvent(autoRepeat ? autoKey : keyDown, charCode);
  e.event.modifiers = static_cast<uint16_t>((e.event.modifiers & btnState) | modifiers);
  QueueEvent(std::move(e));
}

void InjectKeyOnceShown(unsigned char charCode, uint16_t modifiers) {
  EventRecord e = MakeEvent(keyDown, charCode);
  e.modifiers = static_cast<uint16_t>((e.modifiers & btnState) | modifiers);
  TB().keysOnceShown.push_back(e);
}

void InjectMouseWheel(uint16_t axis, int32_t delta) { QueueWheel(axis, delta); }

void PostWindowPartClick(int16_t part, int16_t growWidth, int16_t growHeight) {
  QueuePartClick(part, 0, growWidth, growHeight);
}

void ScriptMousePath(const std::vector<Point>& globalPath, uint16_t modifiers) {
  if (globalPath.empty()) return;
  QueuedEvent e;
  e.event = MakeEvent(mouseDown, 0);
  e.event.where = globalPath.front();
  e.event.modifiers = static_cast<uint16_t>(modifiers & ~btnState);
  e.mouse = globalPath;
  QueueEvent(std::move(e));
}

void SetTickCountForTesting(uint32_t ticks) {
  TB().ticksFrozen = true;
  TB().frozenTicks = ticks;
}

void SetScreenForTesting(const Rect& screen, const Rect& available, int16_t menuBarHeight) {
  Toolbox& tb = TB();
  tb.screenOverride = true;
  tb.screen = screen;
  tb.available = available;
  tb.menuBarHeight = menuBarHeight;
}

uint32_t GetPortPixel(CGrafPtr port, int x, int y) {
  if (!port->image.rect().contains(x, y)) return 0xFFFFFFFFu;
  return port->image.pixel(x, y) & 0xFFFFFFu;
}

bool SavePortImage(CGrafPtr port, const std::string& pngPath) {
  return port->image.save(QString::fromStdString(pngPath), "PNG");
}

bool PortImagesEqual(CGrafPtr a, CGrafPtr b) { return a->image == b->image; }

void StartTextDrawLog(CGrafPtr port) {
  port->logging = true;
  port->log.clear();
}

std::vector<TextDrawRecord> TakeTextDrawLog(CGrafPtr port) {
  std::vector<TextDrawRecord> log;
  log.swap(port->log);
  return log;
}
