// The event loop, the routing of each event, the mouse wheel and the Apple events of
// the desktop (open the program, reopen, quit, open documents).
#pragma once

#include "marktally/toolbox/events.h"

void EventLoop();
// One turn of the loop: cursor, caret, one event if one comes within sleep ticks.
// True when an event was handled.
bool EventLoopTurn(uint32_t sleep);
void HandleEvent(const EventRecord& event);
void HandleActivate(const EventRecord& event);
void HandleSuspendResume(const EventRecord& event);
OSStatus HandleMouseWheel(EventHandlerCallRef call, EventRef event, void* userData);
void SetupAEHandlers();
void InstallMouseWheelHandler();

OSErr DoOpenApp(const AppleEvent* event, AppleEvent* reply, long refcon);
OSErr DoReopenApp(const AppleEvent* event, AppleEvent* reply, long refcon);
OSErr DoQuitApp(const AppleEvent* event, AppleEvent* reply, long refcon);
OSErr DoOpenDoc(const AppleEvent* event, AppleEvent* reply, long refcon);
// Prints the gradebook of each file in turn, each opened and closed again.
OSErr DoPrintDoc(const AppleEvent* event, AppleEvent* reply, long refcon);
