// The event queue over Qt: the frame's widgets translate desktop input into event
// records; WaitNextEvent lets Qt run until one is there.
#include "marktally/toolbox/events.h"

#include <QApplication>
#include <QCursor>
#include <QEventLoop>
#include <QFileInfo>
#include <QStyleHints>
#include <QThread>
#include <QTimer>
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
