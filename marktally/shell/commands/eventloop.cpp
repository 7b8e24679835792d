#include "marktally/shell/commands/eventloop.h"

#include "marktally/model/platform.h"
#include "marktally/model/tables.h"
#include "marktally/model/textutil.h"
#include "marktally/model/undo.h"
#include "marktally/shell/commands/print_commands.h"
#include "marktally/shell/window/celledit.h"
#include "marktally/shell/commands/document_commands.h"
#include "marktally/shell/commands/export_commands.h"
#include "marktally/shell/window/grid.h"
#include "marktally/shell/window/input.h"
#include "marktally/shell/commands/menus.h"
#include "marktally/shell/dialogs/nav_dialogs.h"
#include "marktally/shell/window/pagesize.h"
#include "marktally/shell/window/report_view.h"
#include "marktally/shell/window/selection.h"
#include "marktally/shell/window/seating_input.h"
#include "marktally/shell/window/window.h"
#include "marktally/toolbox/desktop.h"
#include "marktally/toolbox/textedit.h"

namespace {
EventHandlerRef gWheelHandler = nullptr;
}  // namespace

void InstallMouseWheelHandler() {
  if (gWheelHandler) RemoveEventHandler(gWheelHandler);
  gWheelHandler = nullptr;
  const EventTypeSpec wheel{kEventClassMouse, kEventMouseWheelMoved};
  InstallApplicationEventHandler(NewEventHandlerUPP(HandleMouseWheel), 1, &wheel, nullptr,
                                 &gWheelHandler);
}

void EventLoop() {
  gDone = 0;
  InstallMouseWheelHandler();
  while (!gDone) EventLoopTurn(GetCaretTime());
}

bool EventLoopTurn(uint32_t sleep) {
  AdjustCursor();
  DoSystemTask();
  if (gEditHandle) TEIdle(gEditHandle);
  EventRecord event;
  if (!WaitNextEvent(everyEvent, &event, sleep, nullptr)) return false;
  HandleEvent(event);
  return true;
}

void HandleEvent(const EventRecord& event) {
  switch (event.what) {
    case mouseDown:
      HandleMouseDown(event);
      break;
    case keyDown:
    case autoKey:
      HandleKeyDown(event);
      break;
    case updateEvt:
      if (reinterpret_cast<WindowRef>(event.message) == gWindow && gWindow) UpdateWindow();
      break;
    case activateEvt:
      HandleActivate(event);
      break;
    case osEvt:
      if (((event.message & osEvtMessageMask) >> 24) == suspendResumeMessage)
        HandleSuspendResume(event);
      break;
    case kHighLevelEvent:
      AEProcessAppleEvent(&event);
      break;
    default:
      break;
  }
}

void HandleActivate(const EventRecord& event) {
  if (!gWindow || reinterpret_cast<WindowRef>(event.message) != gWindow) return;
  if (event.modifiers & activeFlag)
    ActivateMainWindow();
  else
    DeactivateMainWindow();
}

void HandleSuspendResume(const EventRecord& event) {
  if (event.message & resumeFlag)
    ActivateMainWindow();
  else
    DeactivateMainWindow();
}

OSStatus HandleMouseWheel(EventHandlerCallRef, EventRef event, void*) {
  uint16_t axis = 0;
  int32_t delta = 0;
  GetEventParameter(event, kEventParamMouseWheelAxis, typeMouseWheelAxis, nullptr, sizeof axis,
                    nullptr, &axis);
  GetEventParameter(event, kEventParamMouseWheelDelta, typeSInt32, nullptr, sizeof delta,
                    nullptr, &delta);
  // The seating chart and the report pages scroll their own way, with their views.
  if (gWindow && IsGridView()) {
    if (axis == kEventMouseWheelAxisX)
      HandleGridHWheel(delta);
    else if (axis == kEventMouseWheelAxisY)
      HandleGridVWheel(delta);
  } else if (gWindow && IsReportView()) {
    if (axis == kEventMouseWheelAxisX)
      HandleReportHWheel(delta);
    else if (axis == kEventMouseWheelAxisY)
      HandleReportVWheel(delta);
  } else if (gWindow && gCurrView == kSeatingChartView) {
    if (axis == kEventMouseWheelAxisX)
      HandleSeatingHWheel(delta);
    else if (axis == kEventMouseWheelAxisY)
      HandleSeatingVWheel(delta);
  }
  return noErr;
}

// ---- Apple events -------------------------------------------------------------------

void SetupAEHandlers() {
  AEInstallEventHandler(kCoreEventClass, kAEOpenApplication, NewAEEventHandlerUPP(DoOpenApp), 0,
                        false);
  AEInstallEventHandler(kCoreEventClass, kAEReopenApplication,
                        NewAEEventHandlerUPP(DoReopenApp), 0, false);
  AEInstallEventHandler(kCoreEventClass, kAEQuitApplication, NewAEEventHandlerUPP(DoQuitApp), 0,
                        false);
  AEInstallEventHandler(kCoreEventClass, kAEOpenDocuments, NewAEEventHandlerUPP(DoOpenDoc), 0,
                        false);
  AEInstallEventHandler(kCoreEventClass, kAEPrintDocuments, NewAEEventHandlerUPP(DoPrintDoc), 0,
                        false);
}

OSErr DoOpenApp(const AppleEvent*, AppleEvent*, long) {
  DoNewCmd();
  AdjustMenus();
  return noErr;
}

OSErr DoReopenApp(const AppleEvent*, AppleEvent*, long) {
  if (!gWindow) {
    DoNewCmd();
    AdjustMenus();
  }
  return noErr;
}

OSErr DoQuitApp(const AppleEvent*, AppleEvent*, long) {
  DoQuitCmd();
  return noErr;
}

OSErr DoOpenDoc(const AppleEvent* event, AppleEvent*, long) {
  AEDescList list;
  if (AEGetParamDesc(event, keyDirectObject, typeAEList, &list) != noErr) return noErr;
  long count = 0;
  std::string path;
  if (AECountItems(&list, &count) != noErr || count < 1 ||
      AEGetNthPath(&list, 1, &path) != noErr) {
    AEDisposeDesc(&list);
    return noErr;
  }
  if (gWindow) {
    DoCloseCmd();
    if (gWindow) {
      AEDisposeDesc(&list);
      return noErr;
    }
  }
  if (count >= 2) {
    InitCursor();
    ShowModelAlert(kNoteAlert, kAlertOK, PStr("Attempt to open more than one document"),
                   PStr("You may only open one document at a time. The first document will be "
                        "opened."));
  }
  gFileSpec.path = path;
  if (HasExtension(path, "mtr")) {
    gFileSpec.path.clear();
    OpenRosterFile(FileSpec{path});
  } else {
    OpenClassFile();
  }
  ScrollGrid(true);
  AdjustMenus();
  AEDisposeDesc(&list);
  return noErr;
}

OSErr DoPrintDoc(const AppleEvent* event, AppleEvent*, long) {
  AEDescList list;
  if (AEGetParamDesc(event, keyDirectObject, typeAEList, &list) != noErr) return noErr;
  long count = 0;
  if (AECountItems(&list, &count) != noErr || count < 1) {
    AEDisposeDesc(&list);
    return noErr;
  }
  if (gWindow) {
    DoCloseCmd();
    if (gWindow) {
      AEDisposeDesc(&list);
      return noErr;
    }
  }
  for (long i = 1; i <= count; i++) {
    std::string path;
    if (AEGetNthPath(&list, i, &path) != noErr) continue;
    gFileSpec.path = path;
    if (!OpenClassFile()) continue;
    AdjustMenus();
    ForceUpdate();
    UpdateWindow();
    gPrinting = 1;
    PrintGradebook();
    gPrinting = 0;
    CloseDocument();
  }
  gFileSpec.path.clear();
  AdjustMenus();
  AEDisposeDesc(&list);
  return noErr;
}
