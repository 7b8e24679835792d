// The document window inside the program's frame, and the frame's Qt widgets, which
// turn desktop input into events.
#include "marktally/toolbox/windows.h"

#include <QApplication>
#include <QCloseEvent>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QWheelEvent>
#include <QWindow>
#include <algorithm>
#include <cstring>

#include "marktally/toolbox/desktop.h"
#include "marktally/toolbox/internal.h"

namespace {

uint16_t FromQtModifiers(Qt::KeyboardModifiers k) {
  uint16_t m = 0;
  if (k & Qt::ShiftModifier) m |= shiftKey;
  if (k & Qt::ControlModifier) m |= cmdKey;
  if (k & Qt::AltModifier) m |= optionKey;
  if (k & Qt::MetaModifier) m |= controlKey;
  return m;
}

// The character and key codes of a desktop key; false for keys the program never sees.
bool TranslateKey(const QKeyEvent* e, unsigned char* charCode, unsigned char* keyCode) {
  struct Special {
    int key;
    unsigned char charCode, keyCode;
  };
  static const Special kSpecial[] = {
      {Qt::Key_Home, kHomeCharCode, 0x73},      {Qt::Key_End, kEndCharCode, 0x77},
      {Qt::Key_Enter, kEnterCharCode, 0x4C},    {Qt::Key_Backspace, kBackspaceCharCode, 0x33},
      {Qt::Key_Tab, kTabCharCode, 0x30},        {Qt::Key_Backtab, kTabCharCode, 0x30},
      {Qt::Key_PageUp, kPageUpCharCode, 0x74},  {Qt::Key_PageDown, kPageDownCharCode, 0x79},
      {Qt::Key_Return, kReturnCharCode, 0x24},  {Qt::Key_Escape, kEscapeCharCode, 0x35},
      {Qt::Key_Left, kLeftArrowCharCode, 0x7B}, {Qt::Key_Right, kRightArrowCharCode, 0x7C},
      {Qt::Key_Up, kUpArrowCharCode, 0x7E},     {Qt::Key_Down, kDownArrowCharCode, 0x7D},
      {Qt::Key_Delete, kDeleteCharCode, 0x75},  {Qt::Key_F1, kFunctionKeyCharCode, kF1KeyCode},
  };
  for (const Special& s : kSpecial) {
    if (e->key() == s.key) {
      *charCode = s.charCode;
      *keyCode = s.keyCode;
      return true;
    }
  }
  *keyCode = 0;
  // With the command key the text is a control character; the key names the letter.
  if ((e->modifiers() & Qt::ControlModifier) && e->key() >= 0x20 && e->key() < 0x7F) {
    int c = e->key();
    if (c >= 'A' && c <= 'Z' && !(e->modifiers() & Qt::ShiftModifier)) c += 'a' - 'A';
    *charCode = static_cast<unsigned char>(c);
    return true;
  }
  const std::u32string text = e->text().toStdU32String();
  if (text.empty()) return false;
  unsigned char c;
  if (!UnicodeToMacRoman(text[0], &c) || c < 0x20) return false;
  *charCode = c;
  return true;
}

// Desktop input as event records, for the frame's view and the dialogs' windows alike.
void PostMousePress(const QMouseEvent* e, Point global) {
  if (e->button() != Qt::LeftButton && e->button() != Qt::RightButton) return;
  Toolbox& tb = TB();
  tb.buttonDown = true;
  tb.scriptActive = false;
  tb.mouseGlobal = global;
  QueuedEvent q;
  q.event = MakeEvent(mouseDown, 0);
  q.event.modifiers = FromQtModifiers(e->modifiers());
  if (e->button() == Qt::RightButton) q.event.modifiers |= controlKey;
  QueueEvent(std::move(q));
}

void PostMouseRelease(const QMouseEvent* e, Point global) {
  Toolbox& tb = TB();
  tb.mouseGlobal = global;
  if (e->buttons() & (Qt::LeftButton | Qt::RightButton)) return;
  tb.buttonDown = false;
  QueuedEvent q;
  q.event = MakeEvent(mouseUp, 0);
  q.event.modifiers = static_cast<uint16_t>(FromQtModifiers(e->modifiers()) | btnState);
  QueueEvent(std::move(q));
}

// No one reads a question in a quarter of a second: keys that come so soon after a
// dialog or alert appeared were typed for what was there before it.
constexpr uint32_t kTypeAheadTicks = 15;

// The dialog in front while its first keys still count as typed ahead of it.
WindowRecord* TypedAheadOf() {
  Toolbox& tb = TB();
  WindowRecord* dialog = FrontDialogWindow();
  const bool ahead = tb.interactive && dialog && dialog->visible &&
                     (TickCount() < tb.keyGuardUntil || tb.keyTypedBehind);
  return ahead ? dialog : nullptr;
}

void PostKey(const QKeyEvent* e) {
  unsigned char charCode, keyCode;
  if (!TranslateKey(e, &charCode, &keyCode)) {
    // A character a class cannot store is refused aloud, never dropped in silence.
    const std::u32string text = e->text().toStdU32String();
    unsigned char c = 0;
    if (!text.empty() && text[0] >= 0x20 && !UnicodeToMacRoman(text[0], &c)) SysBeep(1);
    return;
  }
  QueuedEvent q;
  q.event = MakeEvent(e->isAutoRepeat() ? autoKey : keyDown,
                      (static_cast<uintptr_t>(keyCode) << 8) | charCode);
  q.event.modifiers =
      static_cast<uint16_t>((q.event.modifiers & btnState) | FromQtModifiers(e->modifiers()));
  if (WindowRecord* dialog = TypedAheadOf()) {
    HoldQueuedKeys(dialog);  // older keys still queued go first
    dialog->heldKeys.push_back(q.event);
    return;
  }
  QueueEvent(std::move(q));
}

Point Offset(const Rect& origin, QPoint local) {
  return Point{static_cast<int16_t>(origin.top + local.y()),
               static_cast<int16_t>(origin.left + local.x())};
}

}  // namespace

// True while the toolbox itself sets the frame's geometry.
static bool ApplyingGeometry();

// The content area: shows the document window's image and reports input.
class PortView : public QWidget {
 public:
  PortView() {
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    const WindowRecord* w = TB().window;
    if (w && w->visible) {
      painter.drawImage(0, 0, w->port.image);
      const QRegion rest = QRegion(rect()) - QRegion(w->port.image.rect());
      for (const QRect& r : rest) painter.fillRect(r, palette().window());
    } else {
      painter.fillRect(rect(), palette().window());
    }
  }

  void mousePressEvent(QMouseEvent* e) override {
    PostMousePress(e, Offset(FrameContentBounds(), e->position().toPoint()));
  }

  void mouseReleaseEvent(QMouseEvent* e) override {
    PostMouseRelease(e, Offset(FrameContentBounds(), e->position().toPoint()));
  }

  void mouseMoveEvent(QMouseEvent* e) override {
    if (!TB().scriptActive)
      TB().mouseGlobal = Offset(FrameContentBounds(), e->position().toPoint());
  }

  void keyPressEvent(QKeyEvent* e) override { PostKey(e); }

  void wheelEvent(QWheelEvent* e) override {
    Toolbox& tb = TB();
    tb.wheelAccumX += e->angleDelta().x();
    tb.wheelAccumY += e->angleDelta().y();
    for (; tb.wheelAccumY >= 120; tb.wheelAccumY -= 120) QueueWheel(kEventMouseWheelAxisY, 1);
    for (; tb.wheelAccumY <= -120; tb.wheelAccumY += 120) QueueWheel(kEventMouseWheelAxisY, -1);
    for (; tb.wheelAccumX >= 120; tb.wheelAccumX -= 120) QueueWheel(kEventMouseWheelAxisX, 1);
    for (; tb.wheelAccumX <= -120; tb.wheelAccumX += 120) QueueWheel(kEventMouseWheelAxisX, -1);
  }

  // The desktop resized the frame (the layout passes it on to us).
  void resizeEvent(QResizeEvent*) override {
    if (TB().interactive && !ApplyingGeometry()) OnDesktopResize(width(), height());
  }

  bool focusNextPrevChild(bool) override { return false; }
};

// The desktop window of a dialog or alert: shows its port's image, reports input and
// keeps the rest of the program out of reach while it is up.
class DialogView : public QWidget {
 public:
  explicit DialogView(WindowRecord* w) : QWidget(FrameWindow(), Qt::Dialog), w_(w) {
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setWindowModality(Qt::ApplicationModal);
  }
  bool applying = false;

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    painter.drawImage(0, 0, w_->port.image);
  }
  void mousePressEvent(QMouseEvent* e) override {
    PostMousePress(e, Offset(w_->bounds, e->position().toPoint()));
  }
  void mouseReleaseEvent(QMouseEvent* e) override {
    PostMouseRelease(e, Offset(w_->bounds, e->position().toPoint()));
  }
  void mouseMoveEvent(QMouseEvent* e) override {
    if (!TB().scriptActive) TB().mouseGlobal = Offset(w_->bounds, e->position().toPoint());
  }
  void keyPressEvent(QKeyEvent* e) override { PostKey(e); }
  // The desktop's close button is the Escape key: Cancel, where the dialog has one. A
  // dialog without Cancel has its close button disabled; a window manager that closes
  // it all the same changes nothing.
  void closeEvent(QCloseEvent* e) override {
    e->ignore();
    if (!DialogHasCancel(w_)) return;
    QueuedEvent q;
    q.event = MakeEvent(keyDown, (0x35u << 8) | kEscapeCharCode);
    QueueEvent(std::move(q));
  }
  void moveEvent(QMoveEvent* e) override {
    QWidget::moveEvent(e);
    if (!TB().interactive || applying) return;
    const QRect g = geometry();
    OffsetRect(&w_->bounds, static_cast<int16_t>(g.left() - w_->bounds.left),
               static_cast<int16_t>(g.top() - w_->bounds.top));
  }
  bool focusNextPrevChild(bool) override { return false; }

 private:
  WindowRecord* w_;
};

namespace {

void SyncDialogView(WindowRecord* w) {
  DialogView* v = w->view;
  if (!v) return;
  const auto* bytes = reinterpret_cast<const unsigned char*>(w->title.data());
  // Alerts and untitled dialogs carry the program's name in the title bar.
  v->setWindowTitle(w->title.empty() ? QStringLiteral("Marktally")
                                     : MacToQString(bytes, static_cast<int>(w->title.size())));
  const Qt::WindowFlags flags = Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                                (DialogHasCancel(w) ? Qt::WindowCloseButtonHint : Qt::Widget);
  if (!v->isVisible() && v->windowFlags() != flags) v->setWindowFlags(flags);
  v->applying = true;
  // The content (not the desktop's frame around it) goes where the bounds say.
  v->setFixedSize(w->bounds.right - w->bounds.left, w->bounds.bottom - w->bounds.top);
  v->setGeometry(ToQRect(w->bounds));
  v->applying = false;
  v->update();
}

WindowRecord* FrontVisible() {
  for (WindowRecord* d : TB().dialogs) {
    if (d->visible) return d;
  }
  WindowRecord* w = TB().window;
  return w && w->visible ? w : nullptr;
}

}  // namespace

// The program's desktop window: the menu bar over the content area.
class Frame : public QMainWindow {
 public:
  Frame() {
    view = new PortView;
    setCentralWidget(view);
    view->setFocus();
  }
  PortView* view;
  bool applying = false;

 protected:
  void closeEvent(QCloseEvent* e) override {
    e->ignore();
    if (TB().window)
      QueuePartClick(inGoAway, 0, 0, 0);
    else
      QueueAppleEvent(kAEQuitApplication, {});
  }

  void moveEvent(QMoveEvent* e) override {
    QMainWindow::moveEvent(e);
    Toolbox& tb = TB();
    if (!tb.interactive || applying) return;
    const QPoint at = view->mapToGlobal(QPoint(0, 0));
    // Without a class the frame keeps its own place, which the next window takes.
    Rect& b = tb.window ? tb.window->bounds : tb.frameContent;
    OffsetRect(&b, static_cast<int16_t>(at.x() - b.left), static_cast<int16_t>(at.y() - b.top));
  }
};

static bool ApplyingGeometry() { return TB().frame && TB().frame->applying; }

void RestoreFrameFocus() {
  Toolbox& tb = TB();
  if (!tb.interactive || !tb.frame || !tb.frame->isVisible()) return;
  for (const WindowRecord* d : tb.dialogs) {
    if (d->visible) return;
  }
  if (QApplication::activePopupWidget() || QApplication::activeModalWidget()) return;
  tb.frame->activateWindow();
  tb.frame->view->setFocus(Qt::OtherFocusReason);
}

QWidget* FrameView() { return TB().frame ? TB().frame->view : nullptr; }
bool IsDialogWindow(const WindowRecord* dialog, const QWindow* window) {
  return dialog->view && window && dialog->view->windowHandle() == window;
}
QMainWindow* FrameWindow() { return TB().frame; }

void EnsureFrame() {
  Toolbox& tb = TB();
  if (tb.frame || !tb.app) return;
  tb.frame = new Frame;
  SyncFrameTitle();
  SyncFrameGeometry();
}

void ShowFrame() {
  EnsureFrame();
  if (!TB().frame || TB().frame->isVisible()) return;
  // The menu bar is filled by now: its height puts the content where it belongs.
  SyncFrameGeometry();
  TB().frame->show();
}

void GetEmptyFrameBounds(Rect* bounds) { *bounds = TB().frameContent; }

void SetEmptyFrameBounds(const Rect* bounds) {
  if (EmptyRect(bounds)) return;
  TB().frameContent = *bounds;
  if (!TB().window) SyncFrameGeometry();
}

Rect FrameContentBounds() { return TB().window ? TB().window->bounds : TB().frameContent; }

Point SyntheticWhere() {
  const Rect c = FrameContentBounds();
  return Point{static_cast<int16_t>(c.top - 1), c.left};
}

bool FrameMaximized() {
  Frame* f = TB().frame;
  return f && (f->windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen));
}

void SyncFrameGeometry() {
  Frame* f = TB().frame;
  // The maximise button is the window manager's: the window takes the size it gets.
  if (!f || FrameMaximized()) return;
  const Rect c = FrameContentBounds();
  const int bar = f->menuBar()->sizeHint().height();
  if (TB().window) {
    std::deque<QSize>& asked = TB().frameSizesAsked;
    asked.emplace_back(c.right - c.left, c.bottom - c.top);
    while (asked.size() > 8) asked.pop_front();
  }
  f->applying = true;
  f->setGeometry(c.left, c.top - bar, c.right - c.left, c.bottom - c.top + bar);
  f->applying = false;
}

void SyncFrameTitle() {
  Frame* f = TB().frame;
  if (!f) return;
  const WindowRecord* w = TB().window;
  if (w) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(w->title.data());
    f->setWindowTitle(MacToQString(bytes, static_cast<int>(w->title.size())) +
                      QStringLiteral("[*]"));
    f->setWindowModified(w->modified);
  } else {
    f->setWindowTitle(QStringLiteral("Marktally"));
    f->setWindowModified(false);
  }
}

void FlushDisplay() {
  if (QWidget* v = FrameView()) v->update();
}

void FlushWindowDisplay(WindowRecord* window) {
  if (window->view)
    window->view->update();
  else if (window == TB().window)
    FlushDisplay();
}

bool IsDialogWindowClass(WindowClass windowClass) {
  return windowClass == kAlertWindowClass || windowClass == kMovableAlertWindowClass ||
         windowClass == kModalWindowClass || windowClass == kMovableModalWindowClass;
}

WindowRecord* FrontDialogWindow() {
  const auto& list = TB().dialogs;
  for (WindowRecord* d : list) {
    if (d->visible) return d;
  }
  return list.empty() ? nullptr : list.front();
}

QPoint QtGlobal(Point global) {
  QWidget* view = FrameView();
  WindowRecord* front = FrontVisible();
  if (!view || (front && front->view)) return QPoint(global.h, global.v);
  const Rect c = FrameContentBounds();
  return view->mapToGlobal(QPoint(global.h - c.left, global.v - c.top));
}

void OnDesktopResize(int width, int height) {
  Toolbox& tb = TB();
  WindowRecord* w = tb.window;
  if (!w) {
    tb.frameContent.right = static_cast<int16_t>(tb.frameContent.left + width);
    tb.frameContent.bottom = static_cast<int16_t>(tb.frameContent.top + height);
    return;
  }
  const QSize size(width, height);
  // A size the program asked for comes back from the desktop; when the window manager
  // was slow to take the requests, an earlier one can come back after a later one was
  // made (the ideal size a restored window passes through on its way to its saved
  // place). The program's own sizes are no resize by the desktop.
  std::deque<QSize>& asked = tb.frameSizesAsked;
  const auto echo = std::find(asked.begin(), asked.end(), size);
  if (echo != asked.end()) {
    asked.erase(asked.begin(), echo + 1);
    return;
  }
  asked.clear();  // the desktop's own size: whatever was asked before it has been settled
  if (size == w->port.image.size() || size == tb.lastPostedGrow) return;
  tb.lastPostedGrow = size;
  QueuePartClick(inGrow, 0, static_cast<int16_t>(width), static_cast<int16_t>(height));
}

void ResetWindows() {
  Toolbox& tb = TB();
  while (!tb.dialogs.empty()) DisposeWindow(tb.dialogs.front());
  if (tb.window) DisposeWindow(tb.window);
  tb.frameContent = Rect{64, 18, 664, 818};
  tb.frameSizesAsked.clear();
  tb.current = nullptr;
  SyncFrameTitle();
}

// ---- Windows ----------------------------------------------------------------------

namespace {

// Invalidates what the window shows beyond its old size.
void InvalidateGrowth(WindowRecord* w, QSize old) {
  const QRegion now(w->port.image.rect());
  w->update = (w->update | (now - QRegion(QRect(QPoint(0, 0), old)))) & now;
}

void Resize(WindowRecord* w, int width, int height, bool invalidate) {
  const QSize old = w->port.image.size();
  if (old == QSize(width, height)) return;
  ResizePortImage(&w->port, width, height);
  w->update &= QRegion(w->port.image.rect());
  if (invalidate) InvalidateGrowth(w, old);
  FlushDisplay();
}

QRegion LocalToImage(const GrafPort* p, const QRegion& local) {
  return local.translated(-p->origin.h, -p->origin.v) & QRegion(p->image.rect());
}

void SyncGeometry(WindowRecord* w) {
  if (w->view)
    SyncDialogView(w);
  else if (w == TB().window)
    SyncFrameGeometry();
}

}  // namespace

OSStatus CreateNewWindow(WindowClass windowClass, WindowAttributes attributes,
                         const Rect* contentBounds, WindowRef* outWindow) {
  Toolbox& tb = TB();
  *outWindow = nullptr;
  if (EmptyRect(contentBounds)) return paramErr;
  if (IsDialogWindowClass(windowClass)) {
    auto* w = new WindowRecord;
    InitPort(&w->port, contentBounds->right - contentBounds->left,
             contentBounds->bottom - contentBounds->top);
    w->port.window = w;
    w->bounds = *contentBounds;
    w->windowClass = windowClass;
    w->attributes = attributes;
    w->update = QRegion(w->port.image.rect());
    tb.dialogs.insert(tb.dialogs.begin(), w);
    *outWindow = w;
    return noErr;
  }
  if (windowClass != kDocumentWindowClass || tb.window) return paramErr;
  auto* w = new WindowRecord;
  InitPort(&w->port, contentBounds->right - contentBounds->left,
           contentBounds->bottom - contentBounds->top);
  w->port.window = w;
  w->bounds = *contentBounds;
  w->attributes = attributes;
  w->update = QRegion(w->port.image.rect());
  tb.window = w;
  EnsureFrame();
  SyncFrameGeometry();
  SyncFrameTitle();
  *outWindow = w;
  return noErr;
}

OSErr CreateRootControl(WindowRef, ControlRef* outControl) {
  if (outControl) *outControl = nullptr;
  return noErr;
}

void DisposeWindow(WindowRef window) {
  Toolbox& tb = TB();
  if (!window) return;
  KillControls(window);
  if (tb.current == &window->port) tb.current = nullptr;
  tb.activates.erase(std::remove_if(tb.activates.begin(), tb.activates.end(),
                                    [window](const EventRecord& e) {
                                      return e.message == reinterpret_cast<uintptr_t>(window);
                                    }),
                     tb.activates.end());
  if (tb.window == window) {
    tb.frameContent = window->bounds;
    tb.window = nullptr;
  }
  auto at = std::find(tb.dialogs.begin(), tb.dialogs.end(), window);
  if (at != tb.dialogs.end()) {
    HideWindow(window);
    tb.dialogs.erase(at);
    delete window->view;
    window->view = nullptr;
    delete window;
    return;
  }
  delete window;
  SyncFrameTitle();
  FlushDisplay();
}

namespace {
// The window in front changed from before: it is activated, the one it hides deactivated.
void Reactivate(WindowRecord* before) {
  WindowRecord* now = FrontVisible();
  if (now == before) return;
  if (before && before->visible) QueueActivate(before, false);
  if (now) QueueActivate(now, true);
}

void ShowDialogView(WindowRecord* w) {
  Toolbox& tb = TB();
  if (!tb.app) return;
  EnsureFrame();
  if (!w->view) w->view = new DialogView(w);
  SyncDialogView(w);
  w->view->show();
  if (tb.interactive) {
    w->view->raise();
    w->view->activateWindow();
  }
}
}  // namespace

void ShowWindow(WindowRef window) {
  if (window->visible) return;
  WindowRecord* before = FrontVisible();
  if (IsDialogWindowClass(window->windowClass)) {
    window->visible = true;
    ShowDialogView(window);
    // Keys typed before the question was in sight must not answer it, nor be lost: what
    // the desktop delivers until the window is on the screen (half a second at most) is
    // taken in, and every key waiting then is held for what was in front before.
    Toolbox& tb = TB();
    if (tb.interactive && window->view && window->view->windowHandle()) {
      QElapsedTimer mapping;
      mapping.start();
      while (!window->view->windowHandle()->isExposed() && mapping.elapsed() < 500)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
      // Asked again once mapped: a window manager may refuse the keyboard to a window
      // that is not on the screen yet (the first dialog of a program just started).
      window->view->activateWindow();
      tb.keyGuardUntil = TickCount() + kTypeAheadTicks;
    }
    PumpEvents(0);
    HoldQueuedKeys(window);
    for (; !tb.keysOnceShown.empty(); tb.keysOnceShown.pop_front()) {
      QueuedEvent key;
      key.event = tb.keysOnceShown.front();
      QueueEvent(std::move(key));
    }
    Reactivate(before);
    return;
  }
  window->visible = true;
  ShowFrame();
  if (FrontVisible() == window) QueueActivate(window, true);
  FlushDisplay();
}

void HideWindow(WindowRef window) {
  if (IsDialogWindowClass(window->windowClass)) {
    if (!window->visible) return;
    WindowRecord* before = FrontVisible();
    window->visible = false;
    if (window->view) window->view->hide();
    if (before == window) Reactivate(nullptr);
    RestoreFrameFocus();
    ReleaseHeldKeys(window);
    return;
  }
  window->visible = false;
  FlushDisplay();
}

void SelectWindow(WindowRef window) {
  Toolbox& tb = TB();
  if (window && IsDialogWindowClass(window->windowClass)) {
    WindowRecord* before = FrontVisible();
    auto at = std::find(tb.dialogs.begin(), tb.dialogs.end(), window);
    if (at != tb.dialogs.end()) std::rotate(tb.dialogs.begin(), at, at + 1);
    if (window->visible) {
      Reactivate(before);
      if (window->view && tb.interactive) {
        window->view->raise();
        window->view->activateWindow();
      }
    }
    return;
  }
  if (tb.frame && tb.interactive) {
    tb.frame->raise();
    tb.frame->activateWindow();
  }
}

WindowRef FrontWindow() { return FrontVisible(); }

CGrafPtr GetWindowPort(WindowRef window) { return &window->port; }
void SetPortWindowPort(WindowRef window) { TB().current = &window->port; }
WindowRef GetWindowFromPort(CGrafPtr port) { return port->window; }

void SetWTitle(WindowRef window, ConstStringPtr title) {
  window->title.assign(reinterpret_cast<const char*>(title + 1), title[0]);
  if (window->view)
    SyncDialogView(window);
  else
    SyncFrameTitle();
}

void GetWTitle(WindowRef window, Str255& title) {
  title.setBytes(window->title.data(), window->title.size());
}

OSStatus SetWindowModified(WindowRef window, bool modified) {
  window->modified = modified;
  SyncFrameTitle();
  return noErr;
}

bool IsWindowModified(WindowRef window) { return window->modified; }

OSStatus GetWindowBounds(WindowRef window, WindowRegionCode, Rect* globalBounds) {
  *globalBounds = window->bounds;
  return noErr;
}

OSStatus SetWindowBounds(WindowRef window, WindowRegionCode, const Rect* globalBounds) {
  if (EmptyRect(globalBounds)) return paramErr;
  window->bounds = *globalBounds;
  Resize(window, globalBounds->right - globalBounds->left,
         globalBounds->bottom - globalBounds->top, true);
  SyncGeometry(window);
  return noErr;
}

OSStatus GetWindowRegion(WindowRef window, WindowRegionCode region, RgnHandle rgn) {
  if (region == kWindowUpdateRgn) {
    rgn->rgn = window->update.translated(window->port.origin.h, window->port.origin.v);
  } else {
    rgn->rgn = QRegion(ToQRect(window->bounds));
  }
  return noErr;
}

void MoveWindow(WindowRef window, int16_t h, int16_t v, bool) {
  OffsetRect(&window->bounds, static_cast<int16_t>(h - window->bounds.left),
             static_cast<int16_t>(v - window->bounds.top));
  SyncGeometry(window);
}

void SizeWindow(WindowRef window, int16_t width, int16_t height, bool update) {
  if (width <= 0 || height <= 0) return;
  window->bounds.right = static_cast<int16_t>(window->bounds.left + width);
  window->bounds.bottom = static_cast<int16_t>(window->bounds.top + height);
  Resize(window, width, height, update);
  SyncGeometry(window);
}

int16_t FindWindow(Point where, WindowRef* window) {
  Toolbox& tb = TB();
  *window = nullptr;
  if (tb.pendingPart && EqualPt(where, tb.pendingWhere)) {
    if (tb.pendingPart != inMenuBar) *window = tb.window;
    return tb.pendingPart;
  }
  for (WindowRecord* d : tb.dialogs) {
    if (!d->visible) continue;
    const Rect& b = d->bounds;
    const Rect title{static_cast<int16_t>(b.top - kTitleBarHeight), b.left, b.top, b.right};
    if (PtInRect(where, &b) || PtInRect(where, &title)) {
      *window = d;
      return PtInRect(where, &b) ? inContent : inDrag;
    }
  }
  const Rect c = FrameContentBounds();
  int16_t barHeight = 0;
  GetThemeMenuBarHeight(&barHeight);
  const Rect bar{static_cast<int16_t>(c.top - barHeight), c.left, c.top, c.right};
  if (PtInRect(where, &bar)) return inMenuBar;
  WindowRecord* w = tb.window;
  if (w && w->visible && PtInRect(where, &c)) {
    *window = w;
    const Rect grow{static_cast<int16_t>(c.bottom + 1 - kScrollBarWidth),
                    static_cast<int16_t>(c.right + 1 - kScrollBarWidth), c.bottom, c.right};
    if ((w->attributes & kWindowResizableAttribute) && PtInRect(where, &grow)) return inGrow;
    return inContent;
  }
  return inDesk;
}

void DragWindow(WindowRef window, Point start, const Rect* boundsRect) {
  const Rect from = window->bounds;
  while (StillDown()) {
    const Point m = MouseGlobal();
    if (boundsRect && !PtInRect(m, boundsRect)) continue;
    MoveWindow(window, static_cast<int16_t>(from.left + m.h - start.h),
               static_cast<int16_t>(from.top + m.v - start.v), false);
  }
}

int32_t GrowWindow(WindowRef window, Point start, const Rect* limits) {
  Toolbox& tb = TB();
  const int oldWidth = window->bounds.right - window->bounds.left;
  const int oldHeight = window->bounds.bottom - window->bounds.top;
  int width, height;
  if (tb.pendingPart == inGrow && tb.pendingGrowWidth > 0) {
    width = tb.pendingGrowWidth;
    height = tb.pendingGrowHeight;
    tb.pendingGrowWidth = tb.pendingGrowHeight = 0;
    tb.pendingPart = 0;
  } else {
    while (StillDown()) {
    }
    const Point m = MouseGlobal();
    width = oldWidth + m.h - start.h;
    height = oldHeight + m.v - start.v;
  }
  if (limits && FrameMaximized()) {
    width = std::max<int>(width, limits->left);
    height = std::max<int>(height, limits->top);
  } else if (limits) {
    width = std::clamp(width, static_cast<int>(limits->left),
                       std::max<int>(limits->left, limits->right));
    height = std::clamp(height, static_cast<int>(limits->top),
                        std::max<int>(limits->top, limits->bottom));
  }
  if (width == oldWidth && height == oldHeight) {
    SyncFrameGeometry();  // a desktop resize that the limits undo
    return 0;
  }
  return (height << 16) | width;
}

namespace {
bool TrackFrameButton(int16_t part) {
  Toolbox& tb = TB();
  if (tb.pendingPart == part || (part == inZoomIn && tb.pendingPart == inZoomOut) ||
      (part == inZoomOut && tb.pendingPart == inZoomIn)) {
    tb.pendingPart = 0;
    return true;
  }
  while (StillDown()) {
  }
  return false;
}
}  // namespace

bool TrackGoAway(WindowRef, Point) { return TrackFrameButton(inGoAway); }
bool TrackBox(WindowRef, Point, int16_t part) { return TrackFrameButton(part); }

namespace {
Rect StandardState(WindowRef window, const Point* ideal) {
  Rect avail;
  GetAvailableWindowPositioningBounds(GetMainDevice(), &avail);
  Rect r{window->bounds.top, window->bounds.left,
         static_cast<int16_t>(window->bounds.top + ideal->v),
         static_cast<int16_t>(window->bounds.left + ideal->h)};
  if (r.right > avail.right)
    OffsetRect(&r, static_cast<int16_t>(std::max(avail.right - r.right, avail.left - r.left)), 0);
  if (r.bottom > avail.bottom)
    OffsetRect(&r, 0, static_cast<int16_t>(std::max(avail.bottom - r.bottom, avail.top - r.top)));
  return r;
}
}  // namespace

OSStatus ZoomWindowIdeal(WindowRef window, int16_t part, Point* idealSize) {
  if (part == inZoomOut) {
    if (!IsWindowInStandardState(window, idealSize, nullptr)) {
      window->userState = window->bounds;
      window->hasUserState = true;
    }
    const Rect r = StandardState(window, idealSize);
    return SetWindowBounds(window, kWindowContentRgn, &r);
  }
  if (window->hasUserState) return SetWindowBounds(window, kWindowContentRgn, &window->userState);
  return noErr;
}

bool IsWindowInStandardState(WindowRef window, Point* idealSize, Rect* idealStandardState) {
  if (idealStandardState) *idealStandardState = StandardState(window, idealSize);
  return window->bounds.right - window->bounds.left == idealSize->h &&
         window->bounds.bottom - window->bounds.top == idealSize->v;
}

OSStatus SetWindowIdealUserState(WindowRef window, const Rect* userState) {
  window->userState = *userState;
  window->hasUserState = true;
  return noErr;
}

OSStatus GetWindowIdealUserState(WindowRef window, Rect* userState) {
  *userState = window->hasUserState ? window->userState : window->bounds;
  return noErr;
}

// ---- Updates ----------------------------------------------------------------------

void InvalRect(const Rect* r) {
  GrafPort* p = CurrentPort();
  if (p && p->window) p->window->update |= LocalToImage(p, QRegion(ToQRect(*r)));
}
void InvalRgn(RgnHandle rgn) {
  GrafPort* p = CurrentPort();
  if (p && p->window) p->window->update |= LocalToImage(p, rgn->rgn);
}
void ValidRect(const Rect* r) {
  GrafPort* p = CurrentPort();
  if (p && p->window) p->window->update -= LocalToImage(p, QRegion(ToQRect(*r)));
}
void ValidRgn(RgnHandle rgn) {
  GrafPort* p = CurrentPort();
  if (p && p->window) p->window->update -= LocalToImage(p, rgn->rgn);
}
OSStatus InvalWindowRect(WindowRef window, const Rect* r) {
  window->update |= LocalToImage(&window->port, QRegion(ToQRect(*r)));
  return noErr;
}
OSStatus InvalWindowRgn(WindowRef window, RgnHandle rgn) {
  window->update |= LocalToImage(&window->port, rgn->rgn);
  return noErr;
}
OSStatus ValidWindowRect(WindowRef window, const Rect* r) {
  window->update -= LocalToImage(&window->port, QRegion(ToQRect(*r)));
  return noErr;
}

void BeginUpdate(WindowRef window) {
  window->port.vis = QRegion(window->port.image.rect()) & window->update;
  window->update = QRegion();
}

void EndUpdate(WindowRef window) {
  window->port.vis = QRegion(window->port.image.rect());
  FlushDisplay();
}

void DrawGrowIcon(WindowRef window) {
  PortState state(&window->port);
  Rect b;
  GetPortBounds(&window->port, &b);
  const Rect box{static_cast<int16_t>(b.bottom + 1 - kScrollBarWidth),
                 static_cast<int16_t>(b.right + 1 - kScrollBarWidth),
                 static_cast<int16_t>(b.bottom + 1), static_cast<int16_t>(b.right + 1)};
  Rect inner = box;
  InsetRect(&inner, 1, 1);
  EraseRect(&inner);
  FrameRect(&box);
  for (int k : {4, 7, 10}) {
    MoveTo(static_cast<int16_t>(box.right - 3), static_cast<int16_t>(box.bottom - k - 1));
    LineTo(static_cast<int16_t>(box.right - k - 1), static_cast<int16_t>(box.bottom - 3));
  }
}

// ---- Screen -----------------------------------------------------------------------

GDHandle GetMainDevice() {
  static GDevice device{0};
  return &device;
}

RgnHandle GetGrayRgn() {
  static Region desk;
  Rect screen;
  GetMainScreenBounds(&screen);
  int16_t bar = 0;
  GetThemeMenuBarHeight(&bar);
  screen.top = static_cast<int16_t>(screen.top + bar);
  desk.rgn = QRegion(ToQRect(screen));
  return &desk;
}

OSStatus GetAvailableWindowPositioningBounds(GDHandle, Rect* bounds) {
  Toolbox& tb = TB();
  if (!tb.screenOverride && tb.app && QGuiApplication::primaryScreen()) {
    *bounds = FromQRect(QGuiApplication::primaryScreen()->availableGeometry());
  } else {
    *bounds = tb.available;
  }
  return noErr;
}

void GetMainScreenBounds(Rect* bounds) {
  Toolbox& tb = TB();
  if (!tb.screenOverride && tb.app && QGuiApplication::primaryScreen()) {
    *bounds = FromQRect(QGuiApplication::primaryScreen()->geometry());
  } else {
    *bounds = tb.screen;
  }
}

OSStatus GetThemeMenuBarHeight(int16_t* height) {
  Toolbox& tb = TB();
  if (!tb.screenOverride && tb.frame)
    *height = static_cast<int16_t>(tb.frame->menuBar()->sizeHint().height());
  else
    *height = tb.menuBarHeight;
  return noErr;
}

OSStatus GetThemeMetric(ThemeMetric metric, int32_t* value) {
  if (metric != kThemeMetricScrollBarWidth) return paramErr;
  *value = kScrollBarWidth;
  return noErr;
}

// ---- Test input through the frame -------------------------------------------------

void SendDesktopKey(DesktopKey key, const char* text, uint32_t mods, bool autoRepeat) {
  static const int kKeys[] = {0,
                              Qt::Key_Home,
                              Qt::Key_End,
                              Qt::Key_PageUp,
                              Qt::Key_PageDown,
                              Qt::Key_Return,
                              Qt::Key_Enter,
                              Qt::Key_Tab,
                              Qt::Key_Backtab,
                              Qt::Key_Escape,
                              Qt::Key_Backspace,
                              Qt::Key_Delete,
                              Qt::Key_Left,
                              Qt::Key_Right,
                              Qt::Key_Up,
                              Qt::Key_Down};
  QWidget* view = FrameView();
  if (!view) return;
  Qt::KeyboardModifiers m;
  if (mods & kDesktopShift) m |= Qt::ShiftModifier;
  if (mods & kDesktopCtrl) m |= Qt::ControlModifier;
  if (mods & kDesktopAlt) m |= Qt::AltModifier;
  if (mods & kDesktopMeta) m |= Qt::MetaModifier;
  QString t = text ? QString::fromUtf8(text) : QString();
  int code = kKeys[static_cast<int>(key)];
  if (key == DesktopKey::Text) {
    code = t.isEmpty() ? 0 : t.at(0).toUpper().unicode();
    if (m & Qt::ControlModifier) t = QString(QChar(code & 0x1F));
  }
  QKeyEvent e(QEvent::KeyPress, code, m, t, autoRepeat);
  QCoreApplication::sendEvent(view, &e);
}

void SendDesktopMouse(bool press, Point local, bool right, uint32_t mods) {
  QWidget* view = FrameView();
  if (!view) return;
  Qt::KeyboardModifiers m;
  if (mods & kDesktopShift) m |= Qt::ShiftModifier;
  if (mods & kDesktopCtrl) m |= Qt::ControlModifier;
  if (mods & kDesktopAlt) m |= Qt::AltModifier;
  if (mods & kDesktopMeta) m |= Qt::MetaModifier;
  const Qt::MouseButton b = right ? Qt::RightButton : Qt::LeftButton;
  const QPointF at(local.h, local.v);
  QMouseEvent e(press ? QEvent::MouseButtonPress : QEvent::MouseButtonRelease, at,
                view->mapToGlobal(at), b, press ? b : Qt::NoButton, m);
  QCoreApplication::sendEvent(view, &e);
}

void SendDesktopWheel(int angleX, int angleY) {
  QWidget* view = FrameView();
  if (!view) return;
  QWheelEvent e(QPointF(1, 1), view->mapToGlobal(QPointF(1, 1)), QPoint(), QPoint(angleX, angleY),
                Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
  QCoreApplication::sendEvent(view, &e);
}

void SendDesktopClose() {
  EnsureFrame();
  if (TB().frame) TB().frame->close();
}

void SendDesktopResize(int width, int height) { OnDesktopResize(width, height); }

std::string FrameTitle() {
  EnsureFrame();
  if (!TB().frame) return std::string();
  QString t = TB().frame->windowTitle();
  t.replace(QStringLiteral("[*]"),
            TB().frame->isWindowModified() ? QStringLiteral("*") : QString());
  return t.toStdString();
}

std::string DialogWindowTitle(WindowRef window) {
  return window && window->view ? window->view->windowTitle().toStdString() : std::string();
}

bool DialogCloseButton(WindowRef window) {
  return window && window->view &&
         (window->view->windowFlags() & Qt::WindowCloseButtonHint) != 0;
}

void SendDialogClose(WindowRef window) {
  if (window && window->view) window->view->close();
}
