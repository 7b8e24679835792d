// The dialog layer: layouts made into windows of controls, the modal loop and the
// standard handling of events in dialogs, with the scripts tests drive them by.
#include "marktally/toolbox/dialogs.h"

#include <QGuiApplication>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <map>

#include "marktally/toolbox/desktop.h"
#include "marktally/toolbox/internal.h"

struct DialogItem {
  DialogItemType kind;
  bool enabled;
  ControlRecord* control;
  UserItemUPP proc = nullptr;
};

struct DialogRecord {
  WindowRecord* window = nullptr;
  int16_t id = 0;
  std::vector<DialogItem> items;
  DialogItemIndex defaultItem = 0;
  DialogItemIndex cancelItem = 0;
};

namespace {

std::map<int16_t, DialogTemplate>& Templates() {
  static std::map<int16_t, DialogTemplate> templates;
  return templates;
}

std::map<int16_t, std::vector<DialogItemTemplate>>& ItemLists() {
  static std::map<int16_t, std::vector<DialogItemTemplate>> lists;
  return lists;
}

std::vector<DialogRecord*>& AllDialogs() {
  static std::vector<DialogRecord*> dialogs;
  return dialogs;
}

std::map<DialogRef, std::deque<DialogScriptStep>>& Scripts() {
  static std::map<DialogRef, std::deque<DialogScriptStep>> scripts;
  return scripts;
}

ModalStuckHandler& StuckHandler() {
  static ModalStuckHandler handler;
  return handler;
}

// Null events in a row after which a headless modal loop is stuck.
constexpr int kStuckLimit = 400;

DialogItem* ItemOf(DialogRef d, DialogItemIndex item) {
  if (!d || item < 1 || item > static_cast<int>(d->items.size())) return nullptr;
  return &d->items[static_cast<size_t>(item - 1)];
}

int16_t ProcFor(DialogItemType kind) {
  switch (kind) {
    case kButtonDialogItem:
      return pushButProc;
    case kCheckBoxDialogItem:
      return checkBoxProc;
    case kRadioButtonDialogItem:
      return radioButProc;
    case kPopupButtonDialogItem:
      return kControlPopupButtonProc;
    case kStaticTextDialogItem:
      return kControlStaticTextProc;
    case kEditTextDialogItem:
      return kControlEditTextProc;
    case kPasswordTextDialogItem:
      return kControlEditTextPasswordProc;
    case kClockDialogItem:
      return kControlClockDateProc;
    case kTabDialogItem:
      return kControlTabSmallProc;
    case kProgressBarDialogItem:
      return kControlProgressBarProc;
    default:
      return kControlUserPaneProc;
  }
}

void AddItem(DialogRef d, const DialogItemTemplate& t, int16_t dh, int16_t dv) {
  const auto index = static_cast<DialogItemIndex>(d->items.size() + 1);
  if (t.item != 0 && t.item != index) {
    std::fprintf(stderr, "marktally: dialog %d lists item %d in place %d\n", d->id, t.item, index);
    std::abort();
  }
  Rect bounds = t.bounds;
  OffsetRect(&bounds, dh, dv);
  Str255 title = PStr(t.text);
  int16_t value = t.value, minimum = t.minimum, maximum = t.maximum;
  switch (t.kind) {
    case kCheckBoxDialogItem:
      minimum = 0;
      maximum = 2;
      break;
    case kRadioButtonDialogItem:
      minimum = 0;
      maximum = 1;
      break;
    case kPopupButtonDialogItem:
      minimum = 1;
      maximum = 32767;
      value = std::max<int16_t>(value, 1);
      break;
    case kTabDialogItem:
      minimum = 1;
      maximum = static_cast<int16_t>(std::max<size_t>(t.tabs.size(), 1));
      value = std::max<int16_t>(value, 1);
      break;
    default:
      break;
  }
  ControlRecord* c =
      NewControl(d->window, &bounds, title, false, value, minimum, maximum, ProcFor(t.kind), 0);
  c->itemIndex = index;
  if (t.kind == kStaticTextDialogItem) {
    c->title = t.text;
    c->face = t.face;
    c->textSize = t.textSize;
  } else if (t.kind == kEditTextDialogItem || t.kind == kPasswordTextDialogItem) {
    TESetText(t.text.data(), static_cast<int32_t>(t.text.size()), c->te);
  } else if (t.kind == kPopupButtonDialogItem) {
    c->menuID = t.menuID;
    c->titleWidth = t.titleWidth;
  } else if (t.kind == kTabDialogItem) {
    c->tabs = t.tabs;
  }
  c->visible = true;
  d->items.push_back(DialogItem{t.kind, t.enabled, c, nullptr});
  DrawControlNow(c);
}

void DisposeRecord(DialogRef d) {
  auto& all = AllDialogs();
  all.erase(std::remove(all.begin(), all.end(), d), all.end());
  Scripts().erase(d);
  d->window->dialog = nullptr;
  DisposeWindow(d->window);
  delete d;
}

DialogItemIndex FocusItem(DialogRef d) {
  ControlRecord* f = d->window->focus;
  return f ? f->itemIndex : 0;
}

bool Focusable(const DialogItem& i) {
  const ControlRecord* c = i.control;
  return c->visible && c->active &&
         (i.kind == kEditTextDialogItem || i.kind == kPasswordTextDialogItem ||
          i.kind == kClockDialogItem);
}

// Tab and shift-Tab: the next or previous edit text or clock, round the dialog.
void MoveFocus(DialogRef d, bool back) {
  const int n = static_cast<int>(d->items.size());
  if (n == 0) return;
  const int from = FocusItem(d);
  for (int step = 1; step <= n; ++step) {
    int i = back ? from - step : from + step;
    i = ((i - 1) % n + n) % n + 1;
    if (Focusable(d->items[static_cast<size_t>(i - 1)])) {
      SetKeyboardFocus(d->window, d->items[static_cast<size_t>(i - 1)].control, 0);
      return;
    }
  }
}

// A key press looks like a click on the button it stands for.
void FlashButton(ControlRecord* c) {
  HiliteControl(c, kControlButtonPart);
  Delay(8, nullptr);
  HiliteControl(c, 0);
}

bool PressItem(DialogRef d, DialogItemIndex item, DialogItemIndex* itemHit) {
  DialogItem* i = ItemOf(d, item);
  if (!i || !i->control->active || !i->control->visible) return false;
  if (i->kind == kButtonDialogItem) FlashButton(i->control);
  *itemHit = item;
  return true;
}

Point LocalIn(WindowRecord* w, Point global) {
  return Point{static_cast<int16_t>(global.v - w->bounds.top + w->port.origin.v),
               static_cast<int16_t>(global.h - w->bounds.left + w->port.origin.h)};
}

Point GlobalOf(WindowRecord* w, Point local) {
  return Point{static_cast<int16_t>(local.v + w->bounds.top - w->port.origin.v),
               static_cast<int16_t>(local.h + w->bounds.left - w->port.origin.h)};
}

bool ClickInDialog(DialogRef d, const EventRecord* e, DialogItemIndex* itemHit) {
  WindowRecord* w = d->window;
  const Point local = LocalIn(w, e->where);
  for (size_t k = 0; k < d->items.size(); ++k) {
    DialogItem& i = d->items[k];
    ControlRecord* c = i.control;
    if (!c->visible || !PtInRect(local, &c->bounds)) continue;
    if (!c->active) return false;
    const auto item = static_cast<DialogItemIndex>(k + 1);
    switch (i.kind) {
      case kButtonDialogItem:
      case kCheckBoxDialogItem:
      case kRadioButtonDialogItem:
        if (!TrackDialogControl(c, local)) return false;
        break;
      case kPopupButtonDialogItem: {
        if (!HitDialogControl(c, local)) return false;
        MenuRef menu = GetMenuHandle(c->menuID);
        if (!menu) return false;
        HiliteControl(c, kControlMenuPart);
        const Point at = GlobalOf(
            w, Point{c->bounds.top, static_cast<int16_t>(c->bounds.left + c->titleWidth)});
        const int32_t choice = PopUpMenuSelect(menu, at.v, at.h, c->value);
        HiliteControl(c, 0);
        if (!choice) return false;
        SetControlValue(c, static_cast<int16_t>(choice & 0xFFFF));
        break;
      }
      case kEditTextDialogItem:
      case kPasswordTextDialogItem:
      case kClockDialogItem:
        if (w->focus != c) {
          SetKeyboardFocus(w, c, 0);
          if (c->te) TESetSelect(0, 0, c->te);
        }
        HandleControlClick(c, local, e->modifiers);
        break;
      case kTabDialogItem: {
        // Only the tabs belong to the control; its pane holds the items of a panel.
        const int16_t tab = HitDialogControl(c, local);
        if (!tab) continue;
        SetControlValue(c, tab);
        break;
      }
      default:
        break;
    }
    if (!i.enabled) return false;
    *itemHit = item;
    return true;
  }
  return false;
}

bool KeyInDialog(DialogRef d, const EventRecord* e, DialogItemIndex* itemHit) {
  const auto ch = static_cast<unsigned char>(e->message & charCodeMask);
  ControlRecord* focus = d->window->focus;
  if (e->modifiers & cmdKey) {
    switch (ch) {
      case 'x':
      case 'X':
        DialogCut(d);
        break;
      case 'c':
      case 'C':
        DialogCopy(d);
        break;
      case 'v':
      case 'V':
        DialogPaste(d);
        break;
      case 'a':
      case 'A':
        if (focus && focus->te) TESetSelect(0, TEGetLength(focus->te), focus->te);
        break;
      default:
        break;
    }
    return false;
  }
  if (ch == kTabCharCode) {
    MoveFocus(d, (e->modifiers & shiftKey) != 0);
    return false;
  }
  if (!focus || !HandleControlKey(focus, ch, e->modifiers)) return false;
  const DialogItem* i = ItemOf(d, focus->itemIndex);
  if (!i || !i->enabled) return false;
  *itemHit = focus->itemIndex;
  return true;
}

void RunStep(DialogRef d, const DialogScriptStep& step) {
  WindowRecord* w = d->window;
  DialogItem* i = ItemOf(d, step.item);
  auto click = [&](Point local) { ScriptMouseClick(GlobalOf(w, local), step.modifiers); };
  auto centre = [&]() {
    const Rect& b = i->control->bounds;
    return Point{static_cast<int16_t>((b.top + b.bottom) / 2),
                 static_cast<int16_t>((b.left + b.right) / 2)};
  };
  switch (step.kind) {
    case DialogScriptStep::kType:
      if (!i) break;
      click(centre());
      InjectKey('a', cmdKey);
      for (char c : step.text) InjectKey(static_cast<unsigned char>(c), 0);
      break;
    case DialogScriptStep::kClick:
      if (i) click(centre());
      break;
    case DialogScriptStep::kClickAt:
      if (i) {
        const Rect& b = i->control->bounds;
        click(Point{static_cast<int16_t>(b.top + step.at.v),
                    static_cast<int16_t>(b.left + step.at.h)});
      }
      break;
    case DialogScriptStep::kKey:
      InjectKey(step.key, step.modifiers);
      break;
    case DialogScriptStep::kChoose:
      if (!i) break;
      ScriptPopUpChoice(step.menuItem);
      click(Point{static_cast<int16_t>((i->control->bounds.top + i->control->bounds.bottom) / 2),
                  static_cast<int16_t>(i->control->bounds.right - 8)});
      break;
    case DialogScriptStep::kCheck:
      if (step.check) step.check(d);
      break;
  }
}

// Runs the next step of the dialog's script, if any.
bool FeedScript(DialogRef d) {
  auto it = Scripts().find(d);
  if (it == Scripts().end() || it->second.empty()) return false;
  const DialogScriptStep step = it->second.front();
  it->second.pop_front();
  RunStep(d, step);
  return true;
}

bool IsDialogWindow(WindowRecord* w) {
  const auto& list = TB().dialogs;
  return w && std::find(list.begin(), list.end(), w) != list.end() && w->dialog;
}

}  // namespace

// ---- Layouts ----------------------------------------------------------------------

namespace {
DialogItemTemplate Item(DialogItemIndex item, DialogItemType kind, const Rect& bounds,
                        const char* text) {
  DialogItemTemplate t;
  t.item = item;
  t.kind = kind;
  t.bounds = bounds;
  t.text = text ? text : "";
  return t;
}
}  // namespace

DialogItemTemplate ButtonItem(DialogItemIndex item, const Rect& bounds, const char* title) {
  return Item(item, kButtonDialogItem, bounds, title);
}
DialogItemTemplate CheckBoxItem(DialogItemIndex item, const Rect& bounds, const char* title) {
  return Item(item, kCheckBoxDialogItem, bounds, title);
}
DialogItemTemplate RadioButtonItem(DialogItemIndex item, const Rect& bounds, const char* title) {
  return Item(item, kRadioButtonDialogItem, bounds, title);
}
DialogItemTemplate PopUpItem(DialogItemIndex item, const Rect& bounds, const char* title,
                             int16_t titleWidth, int16_t menuID) {
  DialogItemTemplate t = Item(item, kPopupButtonDialogItem, bounds, title);
  t.titleWidth = titleWidth;
  t.menuID = menuID;
  t.value = 1;
  return t;
}
DialogItemTemplate EditTextItem(DialogItemIndex item, const Rect& bounds, const char* text) {
  return Item(item, kEditTextDialogItem, bounds, text);
}
DialogItemTemplate PasswordItem(DialogItemIndex item, const Rect& bounds) {
  return Item(item, kPasswordTextDialogItem, bounds, "");
}
DialogItemTemplate StaticTextItem(DialogItemIndex item, const Rect& bounds, const char* text,
                                  Style face, int16_t textSize) {
  DialogItemTemplate t = Item(item, kStaticTextDialogItem, bounds, text);
  t.enabled = false;
  t.face = face;
  t.textSize = textSize;
  return t;
}
DialogItemTemplate ClockItem(DialogItemIndex item, const Rect& bounds) {
  return Item(item, kClockDialogItem, bounds, "");
}
DialogItemTemplate TabsItem(DialogItemIndex item, const Rect& bounds,
                            const std::vector<std::string>& titles) {
  DialogItemTemplate t = Item(item, kTabDialogItem, bounds, "");
  t.tabs = titles;
  t.value = 1;
  return t;
}
DialogItemTemplate ProgressBarItem(DialogItemIndex item, const Rect& bounds) {
  DialogItemTemplate t = Item(item, kProgressBarDialogItem, bounds, "");
  t.enabled = false;
  t.maximum = 100;
  return t;
}
DialogItemTemplate UserItem(DialogItemIndex item, const Rect& bounds, bool enabled) {
  DialogItemTemplate t = Item(item, kUserDialogItem, bounds, "");
  t.enabled = enabled;
  return t;
}

void RegisterDialogTemplate(int16_t dialogID, DialogTemplate dialog) {
  Templates()[dialogID] = std::move(dialog);
}

void RegisterItemList(int16_t itemListID, std::vector<DialogItemTemplate> items) {
  ItemLists()[itemListID] = std::move(items);
}

namespace {
DialogRef MakeDialog(const DialogTemplate& t, int16_t id) {
  WindowRef w = nullptr;
  if (CreateNewWindow(t.windowClass, 0, &t.bounds, &w) != noErr) return nullptr;
  auto* d = new DialogRecord;
  d->id = id;
  d->window = w;
  w->dialog = d;
  w->title = t.title;
  {
    PortState state(&w->port);
    Rect all;
    GetPortBounds(&w->port, &all);
    EraseRect(&all);
  }
  for (const DialogItemTemplate& item : t.items) AddItem(d, item, 0, 0);
  AllDialogs().push_back(d);
  return d;
}
}  // namespace

DialogRef NewDialogFromTemplate(const DialogTemplate& t) { return MakeDialog(t, 0); }

DialogRef GetNewDialog(int16_t dialogID, void*, WindowRef) {
  auto it = Templates().find(dialogID);
  return it == Templates().end() ? nullptr : MakeDialog(it->second, dialogID);
}

void DisposeDialog(DialogRef dialog) {
  if (dialog) DisposeRecord(dialog);
}

WindowRef GetDialogWindow(DialogRef dialog) { return dialog->window; }
CGrafPtr GetDialogPort(DialogRef dialog) { return &dialog->window->port; }
DialogRef GetDialogFromWindow(WindowRef window) { return window ? window->dialog : nullptr; }
int16_t GetDialogID(DialogRef dialog) { return dialog->id; }

OSErr SetDialogDefaultItem(DialogRef d, DialogItemIndex item) {
  if (DialogItem* old = ItemOf(d, d->defaultItem)) {
    if (old->kind == kButtonDialogItem) SetControlDefaultRing(old->control, false);
  }
  d->defaultItem = item;
  if (DialogItem* now = ItemOf(d, item)) {
    if (now->kind == kButtonDialogItem) SetControlDefaultRing(now->control, true);
  }
  return noErr;
}

OSErr SetDialogCancelItem(DialogRef d, DialogItemIndex item) {
  d->cancelItem = item;
  return noErr;
}

bool DialogHasCancel(const WindowRecord* window) {
  return window && window->dialog && window->dialog->cancelItem > 0;
}

DialogItemIndex GetDialogDefaultItem(DialogRef d) { return d->defaultItem; }
DialogItemIndex GetDialogCancelItem(DialogRef d) { return d->cancelItem; }

// ---- Items ------------------------------------------------------------------------

DialogItemIndex CountDITL(DialogRef d) { return static_cast<DialogItemIndex>(d->items.size()); }

OSErr GetDialogItemAsControl(DialogRef d, DialogItemIndex item, ControlRef* control) {
  DialogItem* i = ItemOf(d, item);
  *control = i ? i->control : nullptr;
  return i ? noErr : paramErr;
}

void GetDialogItem(DialogRef d, DialogItemIndex item, DialogItemType* kind, Handle* handle,
                   Rect* box) {
  DialogItem* i = ItemOf(d, item);
  if (!i) {
    if (kind) *kind = kUserDialogItem;
    if (handle) *handle = nullptr;
    if (box) *box = Rect{0, 0, 0, 0};
    return;
  }
  if (kind) *kind = i->kind;
  if (handle) {
    *handle = i->kind == kUserDialogItem ? static_cast<Handle>(i->proc)
                                         : static_cast<Handle>(i->control);
  }
  if (box) *box = i->control->bounds;
}

void SetDialogItem(DialogRef d, DialogItemIndex item, DialogItemType kind, Handle handle,
                   const Rect* box) {
  DialogItem* i = ItemOf(d, item);
  if (!i) return;
  if (kind == kUserDialogItem && i->kind == kUserDialogItem)
    i->proc = static_cast<UserItemUPP>(handle);
  if (box && !EqualRect(box, &i->control->bounds)) {
    MoveControl(i->control, box->left, box->top);
    SizeControl(i->control, static_cast<int16_t>(box->right - box->left),
                static_cast<int16_t>(box->bottom - box->top));
  } else if (i->control->visible) {
    DrawControlNow(i->control);
  }
}

bool IsDialogItemEnabled(DialogRef d, DialogItemIndex item) {
  const DialogItem* i = ItemOf(d, item);
  return i && i->enabled;
}

void HideDialogItem(DialogRef d, DialogItemIndex item) {
  if (DialogItem* i = ItemOf(d, item)) {
    if (d->window->focus == i->control) ClearKeyboardFocus(d->window);
    HideControl(i->control);
  }
}

void ShowDialogItem(DialogRef d, DialogItemIndex item) {
  if (DialogItem* i = ItemOf(d, item)) ShowControl(i->control);
}

UserItemUPP NewUserItemUPP(UserItemProcPtr proc) { return new UserItemRoutine{proc}; }

void DrawUserPane(ControlRecord* c) {
  DialogRef d = c->window ? c->window->dialog : nullptr;
  DialogItem* i = ItemOf(d, c->itemIndex);
  if (i && i->proc && i->proc->proc) i->proc->proc(d, c->itemIndex);
}

void AppendDialogItemList(DialogRef d, int16_t itemListID, int16_t method) {
  auto it = ItemLists().find(itemListID);
  if (it == ItemLists().end()) return;
  WindowRecord* w = d->window;
  const int width = w->port.image.width(), height = w->port.image.height();
  int16_t dh = 0, dv = 0;
  int right = 0, bottom = 0;
  for (const DialogItemTemplate& t : it->second) {
    right = std::max<int>(right, t.bounds.right);
    bottom = std::max<int>(bottom, t.bounds.bottom);
  }
  if (method == appendDITLRight) dh = static_cast<int16_t>(width);
  if (method == appendDITLBottom) dv = static_cast<int16_t>(height);
  if (method == appendDITLRight || method == appendDITLBottom) {
    SizeWindow(w, static_cast<int16_t>(std::max(width, right + dh + 10)),
               static_cast<int16_t>(std::max(height, bottom + dv + 10)), true);
  }
  for (const DialogItemTemplate& t : it->second) {
    DialogItemTemplate numbered = t;
    numbered.item = 0;
    AddItem(d, numbered, dh, dv);
  }
}

void ShortenDITL(DialogRef d, DialogItemIndex numberItems) {
  for (int k = 0; k < numberItems && !d->items.empty(); ++k) {
    ControlRecord* c = d->items.back().control;
    d->items.pop_back();
    if (d->window->focus == c) ClearKeyboardFocus(d->window);
    HideControl(c);
    DisposeControl(c);
  }
  if (d->defaultItem > CountDITL(d)) d->defaultItem = 0;
  if (d->cancelItem > CountDITL(d)) d->cancelItem = 0;
}

DialogItemIndex GetDialogKeyboardFocusItem(DialogRef d) { return FocusItem(d); }

void SelectDialogItemText(DialogRef d, DialogItemIndex item, int16_t start, int16_t end) {
  DialogItem* i = ItemOf(d, item);
  if (!i || !i->control->te) return;
  if (d->window->focus != i->control) SetKeyboardFocus(d->window, i->control, 0);
  PortState state(&d->window->port);
  TESetSelect(start, end, i->control->te);
}

namespace {
TEHandle FocusText(DialogRef d) {
  ControlRecord* f = d->window->focus;
  return f && f->te && f->active ? f->te : nullptr;
}
}  // namespace

void DialogCut(DialogRef d) {
  if (TEHandle te = FocusText(d)) {
    PortState state(&d->window->port);
    TECut(te);
    TEToScrap();
  }
}

void DialogCopy(DialogRef d) {
  if (TEHandle te = FocusText(d)) {
    TECopy(te);
    TEToScrap();
  }
}

void DialogPaste(DialogRef d) {
  if (TEHandle te = FocusText(d)) {
    TEFromScrap();
    PortState state(&d->window->port);
    TEPaste(te);
  }
}

void DialogDelete(DialogRef d) {
  if (TEHandle te = FocusText(d)) {
    PortState state(&d->window->port);
    TEDelete(te);
  }
}

void DrawDialog(DialogRef d) {
  WindowRecord* w = d->window;
  {
    PortState state(&w->port);
    Rect all;
    GetPortBounds(&w->port, &all);
    EraseRect(&all);
  }
  for (DialogItem& i : d->items) {
    if (i.control->visible) DrawControlNow(i.control);
  }
}

void UpdateDialog(DialogRef d, RgnHandle rgn) {
  for (DialogItem& i : d->items) {
    if (i.control->visible && rgn->rgn.intersects(ToQRect(i.control->bounds)))
      DrawControlNow(i.control);
  }
}

// ---- The modal loop ---------------------------------------------------------------

bool IsDialogEvent(const EventRecord* e) {
  switch (e->what) {
    case updateEvt:
    case activateEvt:
      return IsDialogWindow(reinterpret_cast<WindowRecord*>(e->message));
    case mouseDown: {
      WindowRef w = nullptr;
      FindWindow(e->where, &w);
      return IsDialogWindow(w);
    }
    case keyDown:
    case autoKey:
      return FrontWindow() && FrontWindow()->dialog;
    default:
      return false;
  }
}

bool DialogSelect(const EventRecord* e, DialogRef* dialog, DialogItemIndex* itemHit) {
  *itemHit = 0;
  switch (e->what) {
    case updateEvt:
    case activateEvt: {
      auto* w = reinterpret_cast<WindowRecord*>(e->message);
      if (!IsDialogWindow(w)) return false;
      *dialog = w->dialog;
      if (e->what == updateEvt) {
        BeginUpdate(w);
        DrawDialog(w->dialog);
        EndUpdate(w);
      } else if (ControlRecord* f = w->focus) {
        if (f->te) f->te->active = (e->modifiers & activeFlag) != 0;
        if (f->visible) DrawControlNow(f);
      }
      return false;
    }
    case mouseDown: {
      WindowRef w = nullptr;
      const int16_t part = FindWindow(e->where, &w);
      if (!IsDialogWindow(w)) return false;
      *dialog = w->dialog;
      if (part == inDrag) {
        Rect limits;
        GetRegionBounds(GetGrayRgn(), &limits);
        DragWindow(w, e->where, &limits);
        return false;
      }
      return part == inContent && ClickInDialog(w->dialog, e, itemHit);
    }
    case keyDown:
    case autoKey: {
      WindowRef w = FrontWindow();
      if (!w || !w->dialog) return false;
      *dialog = w->dialog;
      return KeyInDialog(w->dialog, e, itemHit);
    }
    default:
      return false;
  }
}

bool StdFilterProc(DialogRef d, EventRecord* e, DialogItemIndex* itemHit) {
  if (e->what == nullEvent && TB().interactive) {
    Point m = MouseGlobal();
    m = LocalIn(d->window, m);
    bool overText = false;
    for (const DialogItem& i : d->items) {
      overText = overText || (i.control->te && i.control->visible && i.control->active &&
                              PtInRect(m, &i.control->bounds));
    }
    SetThemeCursor(overText ? kThemeIBeamCursor : kThemeArrowCursor);
    return false;
  }
  if (e->what != keyDown && e->what != autoKey) return false;
  const auto ch = static_cast<unsigned char>(e->message & charCodeMask);
  if (ch == kReturnCharCode || ch == kEnterCharCode) return PressItem(d, d->defaultItem, itemHit);
  if (ch == kEscapeCharCode || (ch == '.' && (e->modifiers & cmdKey)))
    return PressItem(d, d->cancelItem, itemHit);
  return false;
}

OSErr GetStdFilterProc(ModalFilterUPP* proc) {
  *proc = StdFilterProc;
  return noErr;
}

void ModalDialog(ModalFilterUPP filter, DialogItemIndex* itemHit) {
  *itemHit = 0;
  WindowRecord* w = FrontDialogWindow();
  if (!w || !w->dialog) return;
  DialogRef d = w->dialog;
  Toolbox& tb = TB();
  int idle = 0;
  for (;;) {
    IdleControls(w);
    EventRecord e;
    // A quit or an open from the desktop waits in the queue until the dialog ends.
    const bool got =
        WaitNextEvent(everyEvent & ~highLevelEventMask, &e, GetCaretTime(), nullptr);
    if (got) {
      idle = 0;
    } else if (FeedScript(d)) {
      idle = 0;
    } else if (!tb.interactive && ++idle > kStuckLimit) {
      if (!StuckHandler()) {
        std::fprintf(stderr, "marktally: dialog %d waits for input that no test script gives\n",
                     d->id);
        std::abort();
      }
      *itemHit = StuckHandler()(d);
      return;
    }
    DialogItemIndex item = 0;
    const bool consumed = filter ? filter(d, &e, &item) : StdFilterProc(d, &e, &item);
    if (consumed) {
      if (item > 0) {
        *itemHit = item;
        return;
      }
      continue;
    }
    DialogRef hit = nullptr;
    if (IsDialogEvent(&e)) {
      if (DialogSelect(&e, &hit, &item) && hit == d) {
        *itemHit = item;
        return;
      }
      continue;
    }
    if (e.what == mouseDown) {
      SysBeep(1);
    } else if (e.what == updateEvt) {
      auto* other = reinterpret_cast<WindowRecord*>(e.message);
      BeginUpdate(other);
      EndUpdate(other);
    }
  }
}

// ---- Seams ------------------------------------------------------------------------

void ResetDialogs() {
  while (!AllDialogs().empty()) DisposeRecord(AllDialogs().back());
  Scripts().clear();
  StuckHandler() = nullptr;
  SetAlertResponder(nullptr);
}

DialogScriptStep TypeStep(DialogItemIndex item, const std::string& macRoman) {
  DialogScriptStep s;
  s.kind = DialogScriptStep::kType;
  s.item = item;
  s.text = macRoman;
  return s;
}

DialogScriptStep ClickStep(DialogItemIndex item, uint16_t modifiers) {
  DialogScriptStep s;
  s.kind = DialogScriptStep::kClick;
  s.item = item;
  s.modifiers = modifiers;
  return s;
}

DialogScriptStep ClickAtStep(DialogItemIndex item, Point offset) {
  DialogScriptStep s;
  s.kind = DialogScriptStep::kClickAt;
  s.item = item;
  s.at = offset;
  return s;
}

DialogScriptStep KeyStep(unsigned char key, uint16_t modifiers) {
  DialogScriptStep s;
  s.kind = DialogScriptStep::kKey;
  s.key = key;
  s.modifiers = modifiers;
  return s;
}

DialogScriptStep ChooseStep(DialogItemIndex item, int16_t menuItem) {
  DialogScriptStep s;
  s.kind = DialogScriptStep::kChoose;
  s.item = item;
  s.menuItem = menuItem;
  return s;
}

DialogScriptStep CheckStep(std::function<void(DialogRef)> check) {
  DialogScriptStep s;
  s.kind = DialogScriptStep::kCheck;
  s.check = std::move(check);
  return s;
}

void ScriptDialog(DialogRef dialog, std::vector<DialogScriptStep> steps) {
  auto& queue = Scripts()[dialog];
  for (DialogScriptStep& s : steps) queue.push_back(std::move(s));
}

size_t PendingDialogSteps(DialogRef dialog) {
  auto it = Scripts().find(dialog);
  return it == Scripts().end() ? 0 : it->second.size();
}

void SetModalStuckHandler(ModalStuckHandler handler) { StuckHandler() = std::move(handler); }
