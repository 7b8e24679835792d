// The event queue over Qt: the frame's widgets translate desktop input into event
// records; WaitNextEvent lets Qt run until one is there.
#include "marktally/toolbox/events.h"

#include <xcb/xcb.h>
#include <xkbcommon/xkbcommon-x11.h>
#include <xkbcommon/xkbcommon.h>

#include <QAbstractNativeEventFilter>
#include <QApplication>
#include <QCursor>
#include <QEventLoop>
#include <QFileInfo>
#include <QKeyEvent>
#include <QPointer>
#include <QStyleHints>
#include <QThread>
#include <QTimer>
#include <QWindow>
#include <algorithm>
#include <cstring>

#include "marktally/toolbox/internal.h"

namespace {

uint16_t MaskBit(uint16_t what) {
  if (what == kHighLevelEvent) return highLevelEventMask;
  return what < 16 ? static_cast<uint16_t>(1u << what) : 0;
}

void DeliverWheels() {
  Toolbox& tb = TB();
  while (!tb.wheels.empty()) {
    OpaqueEventRef e{tb.wheels.front().first, tb.wheels.front().second};
    tb.wheels.pop_front();
    if (tb.wheelHandler) tb.wheelHandler(nullptr, &e, tb.wheelUserData);
  }
}

// The event that would come next; taken from the queue when remove is set.
bool NextEvent(uint16_t mask, EventRecord* event, bool remove) {
  Toolbox& tb = TB();
  if ((mask & activMask) && !tb.activates.empty()) {
    *event = tb.activates.front();
    if (remove) tb.activates.pop_front();
    return true;
  }
  for (auto it = tb.queue.begin(); it != tb.queue.end(); ++it) {
    if (!(mask & MaskBit(it->event.what))) continue;
    *event = it->event;
    if (!remove) return true;
    QueuedEvent e = std::move(*it);
    tb.queue.erase(it);
    tb.pendingPart = e.part;
    tb.pendingWhere = e.event.where;
    tb.pendingMenuChoice = e.menuChoice;
    tb.pendingGrowWidth = e.growWidth;
    tb.pendingGrowHeight = e.growHeight;
    if (e.event.what == mouseDown) {
      tb.scriptActive = !e.mouse.empty();
      if (tb.scriptActive) {
        tb.script = std::move(e.mouse);
        tb.scriptIndex = 0;
        tb.mouseGlobal = tb.script.front();
        tb.buttonDown = true;
      }
    }
    if (e.event.what == kHighLevelEvent) tb.currentAppleEvent = std::move(e.appleEvent);
    return true;
  }
  if (!(mask & updateMask)) return false;
  for (WindowRecord* d : tb.dialogs) {
    if (d->visible && !d->update.isEmpty()) {
      *event = MakeEvent(updateEvt, reinterpret_cast<uintptr_t>(d));
      return true;
    }
  }
  WindowRecord* w = tb.window;
  if (w && w->visible && !w->update.isEmpty()) {
    *event = MakeEvent(updateEvt, reinterpret_cast<uintptr_t>(w));
    return true;
  }
  return false;
}

bool MouseEventQueued() {
  for (const QueuedEvent& e : TB().queue) {
    if (e.event.what == mouseDown || e.event.what == mouseUp) return true;
  }
  return false;
}

// One step of a scripted mouse; false once its button is up.
bool StepScript() {
  Toolbox& tb = TB();
  if (tb.scriptIndex + 1 < tb.script.size()) {
    ++tb.scriptIndex;
    tb.mouseGlobal = tb.script[tb.scriptIndex];
    return true;
  }
  tb.scriptActive = false;
  tb.buttonDown = false;
  return false;
}

}  // namespace

EventRecord MakeEvent(uint16_t what, uintptr_t message) {
  EventRecord e{};
  e.what = what;
  e.message = message;
  e.when = TickCount();
  e.where = MouseGlobal();
  e.modifiers = CurrentModifiers();
  return e;
}

uint16_t CurrentModifiers() {
  uint16_t m = TB().buttonDown ? 0 : btnState;
  if (TB().interactive) {
    const Qt::KeyboardModifiers k = QGuiApplication::queryKeyboardModifiers();
    if (k & Qt::ShiftModifier) m |= shiftKey;
    if (k & Qt::ControlModifier) m |= cmdKey;
    if (k & Qt::AltModifier) m |= optionKey;
    if (k & Qt::MetaModifier) m |= controlKey;
  }
  return m;
}

Point MouseGlobal() {
  Toolbox& tb = TB();
  WindowRecord* dialog = FrontDialogWindow();
  if (tb.interactive && !tb.scriptActive && dialog && dialog->visible && dialog->view) {
    // Dialog windows stand where their bounds say on the desktop's own screen.
    const QPoint at = QCursor::pos();
    tb.mouseGlobal = Point{static_cast<int16_t>(at.y()), static_cast<int16_t>(at.x())};
  } else if (tb.interactive && !tb.scriptActive) {
    if (QWidget* view = FrameView()) {
      const QPoint local = view->mapFromGlobal(QCursor::pos());
      const Rect c = FrameContentBounds();
      tb.mouseGlobal =
          Point{static_cast<int16_t>(c.top + local.y()), static_cast<int16_t>(c.left + local.x())};
    }
  }
  return tb.mouseGlobal;
}

void QueueEvent(QueuedEvent e) {
  Toolbox& tb = TB();
  if (e.event.what == activateEvt)
    tb.activates.push_back(e.event);
  else
    tb.queue.push_back(std::move(e));
  if (tb.waitLoop) tb.waitLoop->quit();
}

void QueueActivate(WindowRecord* window, bool active) {
  QueuedEvent e;
  e.event = MakeEvent(activateEvt, reinterpret_cast<uintptr_t>(window));
  e.event.modifiers =
      static_cast<uint16_t>((e.event.modifiers & ~activeFlag) | (active ? activeFlag : 0));
  QueueEvent(std::move(e));
}

void QueueWheel(uint16_t axis, int32_t delta) {
  TB().wheels.emplace_back(axis, delta);
  if (TB().waitLoop) TB().waitLoop->quit();
}

void QueueAppleEvent(uint32_t eventID, const std::vector<std::string>& paths) {
  QueuedEvent e;
  e.event = MakeEvent(kHighLevelEvent, kCoreEventClass);
  e.event.where = Point{static_cast<int16_t>(eventID >> 16), static_cast<int16_t>(eventID)};
  e.appleEvent.descriptorType = FourCC("aevt");
  e.appleEvent.eventClass = kCoreEventClass;
  e.appleEvent.eventID = eventID;
  e.appleEvent.paths = paths;
  QueueEvent(std::move(e));
}

void QueuePartClick(int16_t part, int32_t menuChoice, int16_t growWidth, int16_t growHeight) {
  QueuedEvent e;
  e.event = MakeEvent(mouseDown, 0);
  e.event.where = SyntheticWhere();
  e.event.modifiers = static_cast<uint16_t>(e.event.modifiers & ~btnState);
  e.part = part;
  e.menuChoice = menuChoice;
  e.growWidth = growWidth;
  e.growHeight = growHeight;
  QueueEvent(std::move(e));
}

void PumpEvents(int waitMs, uint16_t mask) {
  Toolbox& tb = TB();
  if (!tb.app) return;
  SyncMenus();
  QCoreApplication::processEvents();
  EventRecord pending;
  if (waitMs > 0 && tb.interactive && !NextEvent(mask, &pending, false) && tb.wheels.empty()) {
    QEventLoop loop;
    tb.waitLoop = &loop;
    QTimer::singleShot(waitMs, &loop, &QEventLoop::quit);
    loop.exec();
    tb.waitLoop = nullptr;
  }
  SyncMenus();
}

void ResetEvents() {
  Toolbox& tb = TB();
  tb.queue.clear();
  tb.activates.clear();
  tb.keysOnceShown.clear();
  tb.keyGuardUntil = 0;
  tb.wheels.clear();
  tb.wheelHandler = nullptr;
  tb.wheelUserData = nullptr;
  tb.aeHandlers.clear();
  tb.currentAppleEvent = AEDesc{};
  tb.pendingPart = 0;
  tb.pendingMenuChoice = 0;
  tb.pendingGrowWidth = tb.pendingGrowHeight = 0;
  tb.lastPostedGrow = QSize();
  tb.frameSizesAsked.clear();
  tb.buttonDown = false;
  tb.mouseGlobal = Point{0, 0};
  tb.scriptActive = false;
  tb.script.clear();
  tb.scriptIndex = 0;
  tb.wheelAccumX = tb.wheelAccumY = 0;
  tb.ticksFrozen = true;
  tb.frozenTicks = 0;
}

// ---- The queue --------------------------------------------------------------------

bool WaitNextEvent(uint16_t mask, EventRecord* event, uint32_t sleep, void*) {
  Toolbox& tb = TB();
  PumpEvents(0);
  DeliverWheels();
  if (NextEvent(mask, event, true)) return true;
  if (sleep > 0) {
    if (tb.interactive) {
      const uint32_t until = TickCount() + sleep;
      while (TickCount() < until) {
        PumpEvents(static_cast<int>((until - TickCount()) * 1000 / 60) + 1, mask);
        DeliverWheels();
        if (NextEvent(mask, event, true)) return true;
      }
    } else if (tb.ticksFrozen) {
      tb.frozenTicks += sleep;
    }
  }
  if (NextEvent(mask, event, true)) return true;
  *event = MakeEvent(nullEvent, 0);
  return false;
}

bool GetNextEvent(uint16_t mask, EventRecord* event) {
  return WaitNextEvent(mask, event, 0, nullptr);
}

bool EventAvail(uint16_t mask, EventRecord* event) {
  PumpEvents(0);
  if (NextEvent(mask, event, false)) return true;
  *event = MakeEvent(nullEvent, 0);
  return false;
}

void FlushEvents(uint16_t mask, uint16_t stopMask) {
  Toolbox& tb = TB();
  for (auto it = tb.queue.begin(); it != tb.queue.end();) {
    const uint16_t bit = MaskBit(it->event.what);
    if (stopMask & bit) break;
    it = (mask & bit) ? tb.queue.erase(it) : it + 1;
  }
  if (mask & activMask) tb.activates.clear();
}

// ---- Keys the desktop sends to a window a dialog blocks ------------------------------
//
// Between a dialog's appearing and the window manager's giving it the keyboard, X still
// sends keys to the window behind it, and Qt drops them there because that window is
// blocked. Until the dialog has had the keyboard once, such keys are taken from the X
// connection before Qt sees them and held for the window they were typed in.

namespace {

// The keyboard as the X server maps it, read when a key first needs it.
class XKeyboard {
 public:
  XKeyboard() = default;
  XKeyboard(const XKeyboard&) = delete;
  XKeyboard& operator=(const XKeyboard&) = delete;
  ~XKeyboard() { Forget(); }

  void Forget() {
    if (state_) xkb_state_unref(state_);
    if (keymap_) xkb_keymap_unref(keymap_);
    if (context_) xkb_context_unref(context_);
    state_ = nullptr;
    keymap_ = nullptr;
    context_ = nullptr;
  }

  // The key event Qt would have made of an X key press; false for keys the program
  // never sees (modifiers alone, keys without a character or a meaning here).
  bool Translate(xcb_connection_t* c, const xcb_key_press_event_t* e, int* key,
                 Qt::KeyboardModifiers* modifiers, QString* text) {
    if (!Load(c)) return false;
    // The modifiers the key was typed with, as the event says, not as they are now.
    static const char* const kCoreModifiers[] = {XKB_MOD_NAME_SHIFT, XKB_MOD_NAME_CAPS,
                                                 XKB_MOD_NAME_CTRL,  "Mod1",
                                                 "Mod2",             "Mod3",
                                                 "Mod4",             "Mod5"};
    xkb_mod_mask_t mask = 0;
    for (unsigned i = 0; i < 8; ++i) {
      if (!(e->state & (1u << i))) continue;
      const xkb_mod_index_t index = xkb_keymap_mod_get_index(keymap_, kCoreModifiers[i]);
      if (index != XKB_MOD_INVALID && index < 32) mask |= 1u << index;
    }
    xkb_state_update_mask(state_, mask, 0, 0, 0, 0, (e->state >> 13) & 3u);
    const xkb_keysym_t sym = xkb_state_key_get_one_sym(state_, e->detail);
    char utf8[16] = {};
    xkb_state_key_get_utf8(state_, e->detail, utf8, sizeof utf8);
    *text = QString::fromUtf8(utf8);
    *modifiers = Qt::NoModifier;
    if (e->state & XCB_MOD_MASK_SHIFT) *modifiers |= Qt::ShiftModifier;
    if (e->state & XCB_MOD_MASK_CONTROL) *modifiers |= Qt::ControlModifier;
    if (e->state & XCB_MOD_MASK_1) *modifiers |= Qt::AltModifier;
    if (e->state & XCB_MOD_MASK_4) *modifiers |= Qt::MetaModifier;
    struct Special {
      xkb_keysym_t sym;
      int key;
    };
    static const Special kSpecial[] = {
        {XKB_KEY_Return, Qt::Key_Return},  {XKB_KEY_KP_Enter, Qt::Key_Enter},
        {XKB_KEY_Tab, Qt::Key_Tab},        {XKB_KEY_ISO_Left_Tab, Qt::Key_Backtab},
        {XKB_KEY_Escape, Qt::Key_Escape},  {XKB_KEY_BackSpace, Qt::Key_Backspace},
        {XKB_KEY_Delete, Qt::Key_Delete},  {XKB_KEY_Home, Qt::Key_Home},
        {XKB_KEY_End, Qt::Key_End},        {XKB_KEY_Prior, Qt::Key_PageUp},
        {XKB_KEY_Next, Qt::Key_PageDown},  {XKB_KEY_Left, Qt::Key_Left},
        {XKB_KEY_Right, Qt::Key_Right},    {XKB_KEY_Up, Qt::Key_Up},
        {XKB_KEY_Down, Qt::Key_Down},      {XKB_KEY_F1, Qt::Key_F1},
    };
    for (const Special& s : kSpecial) {
      if (s.sym == sym) {
        *key = s.key;
        return true;
      }
    }
    const uint32_t ucs = xkb_keysym_to_utf32(sym);
    if (ucs < 0x20 || ucs > 0xFFFF) return false;
    *key = static_cast<int>(QChar::toUpper(static_cast<char16_t>(ucs)));
    return true;
  }

 private:
  bool Load(xcb_connection_t* c) {
    if (state_) return true;
    if (!xkb_x11_setup_xkb_extension(c, XKB_X11_MIN_MAJOR_XKB_VERSION,
                                     XKB_X11_MIN_MINOR_XKB_VERSION,
                                     XKB_X11_SETUP_XKB_EXTENSION_NO_FLAGS, nullptr, nullptr,
                                     nullptr, nullptr)) {
      return false;
    }
    const int32_t device = xkb_x11_get_core_keyboard_device_id(c);
    if (device < 0) return false;
    context_ = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
    if (context_)
      keymap_ = xkb_x11_keymap_new_from_device(context_, c, device, XKB_KEYMAP_COMPILE_NO_FLAGS);
    if (keymap_) state_ = xkb_state_new(keymap_);
    if (!state_) Forget();
    return state_ != nullptr;
  }

  xkb_context* context_ = nullptr;
  xkb_keymap* keymap_ = nullptr;
  xkb_state* state_ = nullptr;
};

class BlockedKeyFilter : public QAbstractNativeEventFilter {
 public:
  bool nativeEventFilter(const QByteArray& type, void* message, qintptr*) override {
    if (type != "xcb_generic_event_t") return false;
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    if ((event->response_type & 0x7F) != XCB_KEY_PRESS) return false;
    WindowRecord* dialog = FrontDialogWindow();
    QWindow* modal = QGuiApplication::modalWindow();
    QWidget* typedAt = FrameView();
    if (!dialog || !dialog->visible || !modal || !typedAt || !IsDialogWindow(dialog, modal) ||
        keyboardGiven_ == modal) {
      return false;
    }
    if (QGuiApplication::focusWindow() == modal) {
      keyboardGiven_ = modal;  // from now on Qt delivers the keys to the dialog itself
      return false;
    }
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    int key = 0;
    Qt::KeyboardModifiers modifiers;
    QString text;
    if (!x11 || !keyboard_.Translate(x11->connection(),
                                     static_cast<const xcb_key_press_event_t*>(message), &key,
                                     &modifiers, &text)) {
      return false;
    }
    QKeyEvent typed(QEvent::KeyPress, key, modifiers, text);
    Toolbox& tb = TB();
    tb.keyTypedBehind = true;
    QCoreApplication::sendEvent(typedAt, &typed);
    tb.keyTypedBehind = false;
    return true;
  }

  void DialogGone() {
    keyboardGiven_ = nullptr;
    keyboard_.Forget();  // the next dialog reads the keyboard as it is then
  }

 private:
  QPointer<QWindow> keyboardGiven_;
  XKeyboard keyboard_;
};

BlockedKeyFilter& BlockedKeys() {
  static BlockedKeyFilter* filter = new BlockedKeyFilter;  // lives as long as Qt does
  return *filter;
}

}  // namespace

void HoldKeysTypedBehindDialogs() {
  if (TB().app && QGuiApplication::platformName() == QLatin1String("xcb"))
    TB().app->installNativeEventFilter(&BlockedKeys());
}

void HoldQueuedKeys(WindowRecord* dialog) {
  Toolbox& tb = TB();
  for (auto it = tb.queue.begin(); it != tb.queue.end();) {
    if (it->event.what == keyDown || it->event.what == autoKey) {
      dialog->heldKeys.push_back(it->event);
      it = tb.queue.erase(it);
    } else {
      ++it;
    }
  }
}

void ReleaseHeldKeys(WindowRecord* dialog) {
  Toolbox& tb = TB();
  for (; !dialog->heldKeys.empty(); dialog->heldKeys.pop_back()) {
    QueuedEvent key;
    key.event = dialog->heldKeys.back();
    tb.queue.push_front(std::move(key));
  }
  if (tb.app && QGuiApplication::platformName() == QLatin1String("xcb"))
    BlockedKeys().DialogGone();
  if (tb.waitLoop) tb.waitLoop->quit();
}

OSErr PostEvent(uint16_t what, uintptr_t message) {
  QueuedEvent e;
  e.event = MakeEvent(what, message);
  QueueEvent(std::move(e));
  return noErr;
}

uint32_t GetCaretTime() {
  const int ms = TB().app ? QGuiApplication::styleHints()->cursorFlashTime() : 0;
  return ms > 0 ? static_cast<uint32_t>(ms * 60 / 2000) : 30;
}

uint32_t GetDblTime() {
  const int ms = TB().app ? QGuiApplication::styleHints()->mouseDoubleClickInterval() : 0;
  return ms > 0 ? static_cast<uint32_t>(ms * 60 / 1000) : 30;
}

// ---- The mouse --------------------------------------------------------------------

bool StillDown() {
  Toolbox& tb = TB();
  if (tb.scriptActive) return StepScript();
  PumpEvents(tb.interactive ? 5 : 0);
  return tb.buttonDown && !MouseEventQueued();
}

bool Button() {
  Toolbox& tb = TB();
  if (tb.scriptActive) return StepScript();
  PumpEvents(0);
  return tb.buttonDown;
}

bool WaitMouseUp() {
  if (StillDown()) return true;
  Toolbox& tb = TB();
  for (auto it = tb.queue.begin(); it != tb.queue.end(); ++it) {
    if (it->event.what == mouseUp) {
      tb.queue.erase(it);
      break;
    }
  }
  return false;
}

void GetMouse(Point* p) {
  *p = MouseGlobal();
  GlobalToLocal(p);
}

// ---- Time -------------------------------------------------------------------------

uint32_t TickCount() {
  Toolbox& tb = TB();
  if (tb.ticksFrozen) return tb.frozenTicks;
  return static_cast<uint32_t>(tb.clock.elapsed() * 60 / 1000);
}

void Delay(uint32_t ticks, uint32_t* finalTicks) {
  Toolbox& tb = TB();
  if (tb.ticksFrozen)
    tb.frozenTicks += ticks;
  else
    QThread::msleep(ticks * 1000 / 60);
  if (finalTicks) *finalTicks = TickCount();
}

// ---- Mouse wheel ------------------------------------------------------------------

OSStatus InstallApplicationEventHandler(EventHandlerUPP handler, uint32_t numTypes,
                                        const EventTypeSpec* list, void* userData,
                                        EventHandlerRef* outRef) {
  for (uint32_t i = 0; i < numTypes; ++i) {
    if (list[i].eventClass == kEventClassMouse && list[i].eventKind == kEventMouseWheelMoved) {
      TB().wheelHandler = handler;
      TB().wheelUserData = userData;
    }
  }
  if (outRef) *outRef = reinterpret_cast<EventHandlerRef>(handler);
  return noErr;
}

OSStatus RemoveEventHandler(EventHandlerRef ref) {
  if (reinterpret_cast<EventHandlerRef>(TB().wheelHandler) == ref) TB().wheelHandler = nullptr;
  return noErr;
}

OSStatus GetEventParameter(EventRef event, uint32_t name, uint32_t, uint32_t* actualType,
                           uint32_t bufferSize, uint32_t* actualSize, void* data) {
  if (name == kEventParamMouseWheelAxis) {
    if (bufferSize < sizeof(uint16_t)) return paramErr;
    std::memcpy(data, &event->axis, sizeof(uint16_t));
    if (actualType) *actualType = typeMouseWheelAxis;
    if (actualSize) *actualSize = sizeof(uint16_t);
    return noErr;
  }
  if (name == kEventParamMouseWheelDelta) {
    if (bufferSize < sizeof(int32_t)) return paramErr;
    std::memcpy(data, &event->delta, sizeof(int32_t));
    if (actualType) *actualType = typeSInt32;
    if (actualSize) *actualSize = sizeof(int32_t);
    return noErr;
  }
  return eventParameterNotFoundErr;
}

// ---- Apple events -----------------------------------------------------------------

OSErr AEInstallEventHandler(uint32_t eventClass, uint32_t eventID, AEEventHandlerUPP handler,
                            long refcon, bool) {
  if (handler)
    TB().aeHandlers[{eventClass, eventID}] = {handler, refcon};
  else
    TB().aeHandlers.erase({eventClass, eventID});
  return noErr;
}

OSErr AEProcessAppleEvent(const EventRecord* event) {
  Toolbox& tb = TB();
  if (event->what != kHighLevelEvent) return errAEEventNotHandled;
  const AEDesc ae = tb.currentAppleEvent;
  auto it = tb.aeHandlers.find({ae.eventClass, ae.eventID});
  if (it == tb.aeHandlers.end()) return errAEEventNotHandled;
  AppleEvent reply;
  return it->second.first(&ae, &reply, it->second.second);
}

OSErr AEGetParamDesc(const AppleEvent* event, uint32_t keyword, DescType desiredType,
                     AEDescList* result) {
  if (keyword != keyDirectObject || desiredType != typeAEList ||
      (event->eventID != kAEOpenDocuments && event->eventID != kAEPrintDocuments)) {
    return errAEDescNotFound;
  }
  *result = AEDesc{};
  result->descriptorType = typeAEList;
  result->paths = event->paths;
  return noErr;
}

OSErr AECountItems(const AEDescList* list, long* count) {
  *count = static_cast<long>(list->paths.size());
  return noErr;
}

OSErr AEGetNthPath(const AEDescList* list, long index, std::string* path) {
  if (index < 1 || index > static_cast<long>(list->paths.size())) return errAEIllegalIndex;
  *path = list->paths[static_cast<size_t>(index - 1)];
  return noErr;
}

OSErr AEDisposeDesc(AEDesc* desc) {
  *desc = AEDesc{};
  return noErr;
}

void PostCommandLineEvents(const std::vector<std::string>& arguments) {
  bool print = false;
  std::vector<std::string> paths;
  for (const std::string& a : arguments) {
    if (a == "--print") {
      print = true;
    } else if (!a.empty() && a[0] != '-') {
      paths.push_back(QFileInfo(QString::fromStdString(a)).absoluteFilePath().toStdString());
    }
  }
  if (paths.empty())
    QueueAppleEvent(kAEOpenApplication, {});
  else
    QueueAppleEvent(print ? kAEPrintDocuments : kAEOpenDocuments, paths);
}
