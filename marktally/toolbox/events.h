// Events: one queue of event records polled by `WaitNextEvent`, the mouse polled in
// drag and tracking loops, ticks, the mouse-wheel handler and Apple events.
//
// Order of delivery: activate events first, then queued events (mouse, keys,
// suspend/resume, high-level) in the order they happened, and only when none of those
// is pending an update event for a window whose invalid region is not empty (one per
// window; it comes again until the window's update is begun). Mouse-wheel events do
// not come as records: `WaitNextEvent` hands them to the installed wheel handler.
//
// Keys: the character code (Mac Roman) in the low byte of the message, a key code in
// the next byte. Suspend/resume (osEvt): suspendResumeMessage in bits 24 to 31 of the
// message, resumeFlag in bit 0. Ctrl is the command key, Alt the option key, the Super key the
// control key; a right click is a control-click.
//
// High-level events come from the command line: no argument is "oapp", FILE is
// "odoc", "--print FILE..." is "pdoc". The frame's close button is a click in the
// close box while a window is open and "quit" when none is; the desktop's quit is
// "quit". File specifications in Apple events are paths.
#pragma once

#include <string>
#include <vector>

#include "marktally/toolbox/qdtypes.h"

struct EventRecord {
  uint16_t what;
  uintptr_t message;  // key codes, a window (update, activate), an event class
  uint32_t when;      // ticks
  Point where;        // global; for high-level events the event id (v high, h low)
  uint16_t modifiers;
};

enum : uint16_t {
  nullEvent = 0,
  mouseDown = 1,
  mouseUp = 2,
  keyDown = 3,
  keyUp = 4,
  autoKey = 5,
  updateEvt = 6,
  activateEvt = 8,
  osEvt = 15,
  kHighLevelEvent = 23,
};

enum : uint16_t {
  mDownMask = 1u << mouseDown,
  mUpMask = 1u << mouseUp,
  keyDownMask = 1u << keyDown,
  keyUpMask = 1u << keyUp,
  autoKeyMask = 1u << autoKey,
  updateMask = 1u << updateEvt,
  activMask = 1u << activateEvt,
  highLevelEventMask = 1u << 10,
  osMask = 1u << osEvt,
  everyEvent = 0xFFFF,
};

enum : uint16_t {
  activeFlag = 0x0001,  // activate event: activating
  btnState = 0x0080,    // set while the button is up
  cmdKey = 0x0100,
  shiftKey = 0x0200,
  alphaLock = 0x0400,
  optionKey = 0x0800,
  controlKey = 0x1000,
};

enum : uint32_t {
  charCodeMask = 0x000000FF,
  keyCodeMask = 0x0000FF00,
  osEvtMessageMask = 0xFF000000,
};
enum : uint8_t { suspendResumeMessage = 1, resumeFlag = 1 };

// Character codes of the special keys.
enum : unsigned char {
  kHomeCharCode = 1,
  kEnterCharCode = 3,
  kEndCharCode = 4,
  kBackspaceCharCode = 8,
  kTabCharCode = 9,
  kPageUpCharCode = 11,
  kPageDownCharCode = 12,
  kReturnCharCode = 13,
  kEscapeCharCode = 27,
  kLeftArrowCharCode = 28,
  kRightArrowCharCode = 29,
  kUpArrowCharCode = 30,
  kDownArrowCharCode = 31,
  kDeleteCharCode = 127,
  kFunctionKeyCharCode = 16,  // F1 to F12: which one is in the key code
};
// Key codes of the function keys.
enum : uint16_t { kF1KeyCode = 0x7A };

// ---- The queue --------------------------------------------------------------------
// Waits at most sleep ticks for an event of the mask; false with a null event when
// none came. mouseRgn is ignored.
bool WaitNextEvent(uint16_t mask, EventRecord* event, uint32_t sleep, void* mouseRgn);
bool GetNextEvent(uint16_t mask, EventRecord* event);
// Looks at the next event without taking it.
bool EventAvail(uint16_t mask, EventRecord* event);
void FlushEvents(uint16_t mask, uint16_t stopMask);
OSErr PostEvent(uint16_t what, uintptr_t message);
// The caret's blink half-period in ticks: the event loop's sleep.
uint32_t GetCaretTime();
// The longest time between the two clicks of a double-click, in ticks.
uint32_t GetDblTime();

// ---- The mouse --------------------------------------------------------------------
// True while the button is held and no mouse event waits in the queue.
bool StillDown();
bool Button();
// As StillDown; once the button is up, the mouse-up event is taken from the queue.
bool WaitMouseUp();
// The mouse in the current port's local coordinates.
void GetMouse(Point* p);

// ---- Time -------------------------------------------------------------------------
uint32_t TickCount();  // sixtieths of a second since start-up
void Delay(uint32_t ticks, uint32_t* finalTicks);

// ---- Mouse wheel ------------------------------------------------------------------
struct OpaqueEventRef;
using EventRef = OpaqueEventRef*;
using EventHandlerCallRef = void*;
using EventHandlerRef = void*;
using EventHandlerProcPtr = OSStatus (*)(EventHandlerCallRef call, EventRef event, void* userData);
using EventHandlerUPP = EventHandlerProcPtr;
inline EventHandlerUPP NewEventHandlerUPP(EventHandlerProcPtr p) { return p; }
struct EventTypeSpec {
  uint32_t eventClass;
  uint32_t eventKind;
};
constexpr uint32_t kEventClassMouse = FourCC("mous");
enum : uint32_t { kEventMouseWheelMoved = 10 };
constexpr uint32_t kEventParamMouseWheelAxis = FourCC("mwax");   // uint16_t: 0 h, 1 v
constexpr uint32_t kEventParamMouseWheelDelta = FourCC("mwdl");  // int32_t, + is up/left
constexpr uint32_t typeMouseWheelAxis = FourCC("mwax");
constexpr uint32_t typeSInt32 = FourCC("long");
enum : uint16_t { kEventMouseWheelAxisX = 0, kEventMouseWheelAxisY = 1 };
enum : OSStatus { eventParameterNotFoundErr = -9870, eventNotHandledErr = -9874 };

// Only the mouse-wheel kind is delivered.
OSStatus InstallApplicationEventHandler(EventHandlerUPP handler, uint32_t numTypes,
                                        const EventTypeSpec* list, void* userData,
                                        EventHandlerRef* outRef);
OSStatus RemoveEventHandler(EventHandlerRef ref);
OSStatus GetEventParameter(EventRef event, uint32_t name, uint32_t desiredType,
                           uint32_t* actualType, uint32_t bufferSize, uint32_t* actualSize,
                           void* data);

// ---- Apple events -----------------------------------------------------------------
constexpr uint32_t kCoreEventClass = FourCC("aevt");
constexpr uint32_t kAEOpenApplication = FourCC("oapp");
constexpr uint32_t kAEReopenApplication = FourCC("rapp");
constexpr uint32_t kAEQuitApplication = FourCC("quit");
constexpr uint32_t kAEOpenDocuments = FourCC("odoc");
constexpr uint32_t kAEPrintDocuments = FourCC("pdoc");
constexpr uint32_t keyDirectObject = FourCC("----");
constexpr uint32_t typeAEList = FourCC("list");
constexpr uint32_t typeNull = FourCC("null");

// An Apple event, or a list of documents (paths).
struct AEDesc {
  DescType descriptorType = typeNull;
  uint32_t eventClass = 0;
  uint32_t eventID = 0;
  std::vector<std::string> paths;
};
using AppleEvent = AEDesc;
using AEDescList = AEDesc;
using AEEventHandlerProcPtr = OSErr (*)(const AppleEvent* event, AppleEvent* reply, long refcon);
using AEEventHandlerUPP = AEEventHandlerProcPtr;
inline AEEventHandlerUPP NewAEEventHandlerUPP(AEEventHandlerProcPtr p) { return p; }

OSErr AEInstallEventHandler(uint32_t eventClass, uint32_t eventID, AEEventHandlerUPP handler,
                            long refcon, bool isSysHandler);
// Runs the handler of the high-level event that WaitNextEvent just returned.
OSErr AEProcessAppleEvent(const EventRecord* event);
// keyDirectObject as typeAEList: the event's documents.
OSErr AEGetParamDesc(const AppleEvent* event, uint32_t keyword, DescType desiredType,
                     AEDescList* result);
OSErr AECountItems(const AEDescList* list, long* count);
// Item index (from 1) of a document list: its path (UTF-8, as the file system has it).
OSErr AEGetNthPath(const AEDescList* list, long index, std::string* path);
OSErr AEDisposeDesc(AEDesc* desc);
// Queues the events for a command line (the arguments after the program's name).
void PostCommandLineEvents(const std::vector<std::string>& arguments);
