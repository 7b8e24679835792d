// The menu model and its mirror in the frame's menu bar. Qt's menus are rebuilt from
// the model whenever an item changed; the model alone decides what can be chosen.
#include "marktally/toolbox/menus.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <algorithm>
#include <cctype>
#include <cstring>

#include "marktally/toolbox/internal.h"

namespace {

MenuItemRecord* ItemOf(MenuRef menu, int16_t item) {
  if (!menu || item < 1 || item > static_cast<int>(menu->items.size())) return nullptr;
  return &menu->items[static_cast<size_t>(item - 1)];
}

void Changed(MenuRef menu) { menu->dirty = true; }

bool InBar(int16_t id) {
  const auto& bar = TB().bar;
  return std::find(bar.begin(), bar.end(), id) != bar.end();
}

// A menu the teacher can reach: one of the bar, or a submenu of an enabled item of a
// reachable menu.
bool Reachable(int16_t id, int depth = 0) {
  if (InBar(id)) return true;
  if (depth > 8) return false;
  for (const auto& entry : TB().menus) {
    const MenuRecord* m = entry.second;
    if (!m->enabled) continue;
    for (const MenuItemRecord& item : m->items) {
      if (item.submenu == id && item.enabled && Reachable(m->id, depth + 1)) return true;
    }
  }
  return false;
}

bool Choosable(MenuRef menu, int16_t item) {
  const MenuItemRecord* i = ItemOf(menu, item);
  return i && menu->enabled && i->enabled && i->text != "-" && i->submenu == 0;
}

void OnTriggered(int16_t id, int16_t item) {
  Toolbox& tb = TB();
  const int32_t choice = (static_cast<int32_t>(id) << 16) | item;
  if (tb.inPopUp) {
    tb.popUpResult = choice;
    return;
  }
  // Qt toggles checkable actions by itself; the next sync puts the model's state back.
  if (MenuRecord* m = GetMenuHandle(id)) Changed(m);
  QueuePartClick(inMenuBar, choice, 0, 0);
}

QString Label(const MenuItemRecord& item) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(item.text.data());
  QString label = MacToQString(bytes, static_cast<int>(item.text.size()));
  label.replace(QLatin1Char('&'), QStringLiteral("&&"));
  if (item.cmd) {
    label += QStringLiteral("\tCtrl+") + QChar(std::toupper(static_cast<unsigned char>(item.cmd)));
  }
  return label;
}

QMenu* QtMenu(MenuRecord* m) {
  Toolbox& tb = TB();
  if (!m->qmenu && tb.frame) {
    m->qmenu = new QMenu(FrameWindow());
    const int16_t id = m->id;
    QObject::connect(m->qmenu, &QMenu::aboutToShow, [id] {
      Toolbox& t = TB();
      if (InBar(id) && t.enablingProc && !t.inPopUp) t.enablingProc();
      SyncMenus();
    });
  }
  return m->qmenu;
}

void Rebuild(MenuRecord* m) {
  QMenu* q = QtMenu(m);
  if (!q) return;
  q->clear();
  // A submenu's title and state are its parent item's, set when the parent is built.
  if (InBar(m->id)) {
    const auto* title = reinterpret_cast<const unsigned char*>(m->title.data());
    q->setTitle(MacToQString(title, static_cast<int>(m->title.size()))
                    .replace(QLatin1Char('&'), QStringLiteral("&&")));
    q->menuAction()->setEnabled(m->enabled);
  }
  for (size_t i = 0; i < m->items.size(); ++i) {
    const MenuItemRecord& item = m->items[i];
    if (item.text == "-") {
      q->addSeparator();
      continue;
    }
    const int16_t index = static_cast<int16_t>(i + 1);
    MenuRecord* sub = item.submenu ? GetMenuHandle(item.submenu) : nullptr;
    QAction* a;
    if (sub && QtMenu(sub)) {
      a = q->addMenu(sub->qmenu);
      a->setText(Label(item));
    } else {
      a = q->addAction(Label(item));
      const int16_t id = m->id;
      QObject::connect(a, &QAction::triggered, [id, index] { OnTriggered(id, index); });
    }
    a->setData(index);
    a->setEnabled(m->enabled && item.enabled && (!sub || sub->enabled));
    a->setCheckable(item.checked);
    a->setChecked(item.checked);
  }
  m->dirty = false;
}

QAction* ActionOf(MenuRecord* m, int16_t item) {
  if (!m || !m->qmenu) return nullptr;
  for (QAction* a : m->qmenu->actions()) {
    if (!a->isSeparator() && a->data().toInt() == item) return a;
  }
  return nullptr;
}

int32_t FindKey(MenuRecord* m, unsigned char key, int depth) {
  if (!m || !m->enabled || depth > 8) return 0;
  for (size_t i = 0; i < m->items.size(); ++i) {
    const MenuItemRecord& item = m->items[i];
    const auto index = static_cast<int16_t>(i + 1);
    if (item.cmd && std::toupper(item.cmd) == key && Choosable(m, index))
      return (static_cast<int32_t>(m->id) << 16) | index;
    if (item.submenu && item.enabled) {
      if (int32_t found = FindKey(GetMenuHandle(item.submenu), key, depth + 1)) return found;
    }
  }
  return 0;
}

}  // namespace

void SyncMenus() {
  Toolbox& tb = TB();
  if (!tb.frame) return;
  bool dirty = tb.barDirty;
  for (const auto& entry : tb.menus) dirty = dirty || entry.second->dirty;
  // Parents set their submenus' items, so one change rebuilds them all (a few dozen).
  if (dirty) {
    for (auto& entry : tb.menus) Rebuild(entry.second);
  }
  if (tb.barDirty) {
    FrameWindow()->menuBar()->clear();
    for (int16_t id : tb.bar) {
      if (MenuRecord* m = GetMenuHandle(id)) {
        if (QMenu* q = QtMenu(m)) FrameWindow()->menuBar()->addMenu(q);
      }
    }
    tb.barDirty = false;
  }
}

void ResetMenus() {
  Toolbox& tb = TB();
  if (tb.frame) FrameWindow()->menuBar()->clear();
  for (auto& entry : tb.menus) {
    delete entry.second->qmenu;
    delete entry.second;
  }
  tb.menus.clear();
  tb.bar.clear();
  tb.barDirty = true;
  tb.enablingProc = nullptr;
  tb.inPopUp = false;
  tb.popUpScript.clear();
  tb.hasPopUpRequest = false;
}

MenuRef NewMenu(int16_t menuID, ConstStringPtr title) {
  Toolbox& tb = TB();
  if (MenuRecord* old = GetMenuHandle(menuID)) DisposeMenu(old);
  auto* m = new MenuRecord;
  m->id = menuID;
  m->title.assign(reinterpret_cast<const char*>(title + 1), title[0]);
  tb.menus[menuID] = m;
  return m;
}

void DisposeMenu(MenuRef menu) {
  if (!menu) return;
  Toolbox& tb = TB();
  DeleteMenu(menu->id);
  tb.menus.erase(menu->id);
  SyncMenus();
  delete menu->qmenu;
  delete menu;
}

void InsertMenu(MenuRef menu, int16_t beforeID) {
  Toolbox& tb = TB();
  if (!menu || beforeID == -1 || InBar(menu->id)) return;
  auto at = std::find(tb.bar.begin(), tb.bar.end(), beforeID);
  tb.bar.insert(at, menu->id);
  tb.barDirty = true;
}

void DeleteMenu(int16_t menuID) {
  Toolbox& tb = TB();
  auto at = std::find(tb.bar.begin(), tb.bar.end(), menuID);
  if (at == tb.bar.end()) return;
  tb.bar.erase(at);
  tb.barDirty = true;
}

MenuRef GetMenuHandle(int16_t menuID) {
  auto it = TB().menus.find(menuID);
  return it == TB().menus.end() ? nullptr : it->second;
}

int16_t GetMenuID(MenuRef menu) { return menu->id; }

void DrawMenuBar() {
  ShowFrame();
  SyncMenus();
}

void HiliteMenu(int16_t) {}

void AppendMenuItemText(MenuRef menu, ConstStringPtr text) {
  InsertMenuItemText(menu, text, static_cast<int16_t>(menu->items.size()));
}

void InsertMenuItemText(MenuRef menu, ConstStringPtr text, int16_t afterItem) {
  MenuItemRecord item;
  item.text.assign(reinterpret_cast<const char*>(text + 1), text[0]);
  const auto at =
      static_cast<size_t>(std::clamp<int>(afterItem, 0, static_cast<int>(menu->items.size())));
  menu->items.insert(menu->items.begin() + static_cast<std::ptrdiff_t>(at), item);
  Changed(menu);
}

void DeleteMenuItem(MenuRef menu, int16_t item) {
  if (!ItemOf(menu, item)) return;
  menu->items.erase(menu->items.begin() + (item - 1));
  Changed(menu);
}

int16_t CountMenuItems(MenuRef menu) { return static_cast<int16_t>(menu->items.size()); }

void SetMenuItemText(MenuRef menu, int16_t item, ConstStringPtr text) {
  if (MenuItemRecord* i = ItemOf(menu, item)) {
    i->text.assign(reinterpret_cast<const char*>(text + 1), text[0]);
    Changed(menu);
  }
}

void GetMenuItemText(MenuRef menu, int16_t item, Str255& text) {
  const MenuItemRecord* i = ItemOf(menu, item);
  text.clear();
  if (i) text.setBytes(i->text.data(), i->text.size());
}

void EnableMenuItem(MenuRef menu, int16_t item) {
  if (item == 0) {
    menu->enabled = true;
  } else if (MenuItemRecord* i = ItemOf(menu, item)) {
    i->enabled = true;
  }
  Changed(menu);
}

void DisableMenuItem(MenuRef menu, int16_t item) {
  if (item == 0) {
    menu->enabled = false;
  } else if (MenuItemRecord* i = ItemOf(menu, item)) {
    i->enabled = false;
  }
  Changed(menu);
}

bool IsMenuItemEnabled(MenuRef menu, int16_t item) {
  if (item == 0) return menu->enabled;
  const MenuItemRecord* i = ItemOf(menu, item);
  return i && i->enabled;
}

void CheckMenuItem(MenuRef menu, int16_t item, bool checked) {
  if (MenuItemRecord* i = ItemOf(menu, item)) {
    i->checked = checked;
    Changed(menu);
  }
}

void GetItemMark(MenuRef menu, int16_t item, int16_t* mark) {
  const MenuItemRecord* i = ItemOf(menu, item);
  *mark = i && i->checked ? checkMark : noMark;
}

void SetItemCmd(MenuRef menu, int16_t item, unsigned char cmdChar) {
  if (MenuItemRecord* i = ItemOf(menu, item)) {
    i->cmd = cmdChar;
    Changed(menu);
  }
}

void GetItemCmd(MenuRef menu, int16_t item, int16_t* cmdChar) {
  const MenuItemRecord* i = ItemOf(menu, item);
  *cmdChar = i ? i->cmd : 0;
}

OSErr SetMenuItemHierarchicalID(MenuRef menu, int16_t item, int16_t hierID) {
  MenuItemRecord* i = ItemOf(menu, item);
  if (!i) return paramErr;
  i->submenu = hierID;
  Changed(menu);
  return noErr;
}

void SetMenuEnablingProc(MenuEnablingProc proc) { TB().enablingProc = proc; }

int32_t MenuSelect(Point startPoint) {
  Toolbox& tb = TB();
  int32_t choice = 0;
  if (tb.pendingPart == inMenuBar && EqualPt(startPoint, tb.pendingWhere)) {
    choice = tb.pendingMenuChoice;
    tb.pendingMenuChoice = 0;
    tb.pendingPart = 0;
  }
  if (tb.enablingProc) tb.enablingProc();
  if (choice) {
    const auto id = static_cast<int16_t>(choice >> 16);
    if (!Reachable(id) || !Choosable(GetMenuHandle(id), static_cast<int16_t>(choice & 0xFFFF)))
      choice = 0;
  }
  return choice;
}

int32_t MenuKey(unsigned char ch) {
  Toolbox& tb = TB();
  if (tb.enablingProc) tb.enablingProc();
  const auto key = static_cast<unsigned char>(std::toupper(ch));
  for (int16_t id : tb.bar) {
    if (int32_t found = FindKey(GetMenuHandle(id), key, 0)) return found;
  }
  return 0;
}

int32_t PopUpMenuSelect(MenuRef menu, int16_t top, int16_t left, int16_t popUpItem) {
  Toolbox& tb = TB();
  tb.hasPopUpRequest = true;
  tb.popUpRequest = PopUpRequest{menu->id, top, left, popUpItem};
  if (!tb.popUpScript.empty()) {
    const int16_t item = tb.popUpScript.front();
    tb.popUpScript.pop_front();
    return Choosable(menu, item) ? (static_cast<int32_t>(menu->id) << 16) | item : 0;
  }
  if (!tb.interactive) return 0;
  SyncMenus();
  QMenu* q = QtMenu(menu);
  if (!q) return 0;
  if (menu->dirty) Rebuild(menu);
  tb.inPopUp = true;
  tb.popUpResult = 0;
  // Our global coordinates are the frame's idea of the screen; Qt's are the desktop's.
  q->exec(QtGlobal(Point{top, left}), ActionOf(menu, popUpItem));
  tb.inPopUp = false;
  Changed(menu);
  const int32_t choice = tb.popUpResult;
  return choice && Choosable(menu, static_cast<int16_t>(choice & 0xFFFF)) ? choice : 0;
}

// ---- Test seams -------------------------------------------------------------------

void ScriptPopUpChoice(int16_t item) { TB().popUpScript.push_back(item); }

bool LastPopUpRequest(PopUpRequest* request) {
  if (!TB().hasPopUpRequest) return false;
  *request = TB().popUpRequest;
  return true;
}

void OpenFrameMenu(int16_t menuID) {
  SyncMenus();
  MenuRecord* m = GetMenuHandle(menuID);
  if (m && m->qmenu) emit m->qmenu->aboutToShow();
}

bool TriggerFrameMenuItem(int16_t menuID, int16_t item) {
  SyncMenus();
  QAction* a = ActionOf(GetMenuHandle(menuID), item);
  if (!a || !a->isEnabled()) return false;
  a->trigger();
  return true;
}

bool FrameMenuItem(int16_t menuID, int16_t item, std::string* text, bool* enabled, bool* checked) {
  SyncMenus();
  const QAction* a = ActionOf(GetMenuHandle(menuID), item);
  if (!a) return false;
  if (text) *text = a->text().toStdString();
  if (enabled) *enabled = a->isEnabled();
  if (checked) *checked = a->isChecked();
  return true;
}

std::vector<std::string> FrameMenuTitles() {
  SyncMenus();
  std::vector<std::string> titles;
  if (!TB().frame) return titles;
  for (const QAction* a : FrameWindow()->menuBar()->actions())
    titles.push_back(a->text().toStdString());
  return titles;
}
