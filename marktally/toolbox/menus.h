// Menus. The program keeps a model of its menus (numbers, items with texts, enabled
// and checked states, command keys, separators "-", hierarchical and pop-up menus);
// the toolbox mirrors the menus of the bar into the frame's menu bar.
//
// A choice is (menu << 16) | item, 0 for none. Before a menu of the bar opens, and
// before `MenuSelect` or `MenuKey` answers, the program's menu-enabling routine
// (`SetMenuEnablingProc`) runs, so that a disabled item is never chosen. A choice
// made in the frame's menu bar arrives as a mouse-down in the menu bar whose
// `MenuSelect` returns it. `MenuKey` finds an enabled item by its command key (case
// ignored) in the bar's menus and their submenus. `PopUpMenuSelect` shows a menu at a
// global point with a given item under the mouse.
//
// Item 0 stands for the whole menu in EnableMenuItem and DisableMenuItem.
#pragma once

#include "marktally/toolbox/qdtypes.h"

struct MenuRecord;
using MenuHandle = MenuRecord*;
using MenuRef = MenuRecord*;

enum : unsigned char { noMark = 0, checkMark = 18 };

MenuRef NewMenu(int16_t menuID, ConstStringPtr title);
void DisposeMenu(MenuRef menu);
// beforeID 0 appends to the menu bar; -1 installs a hierarchical or pop-up menu.
void InsertMenu(MenuRef menu, int16_t beforeID);
void DeleteMenu(int16_t menuID);
MenuRef GetMenuHandle(int16_t menuID);
int16_t GetMenuID(MenuRef menu);
void DrawMenuBar();
void HiliteMenu(int16_t menuID);

// The text is taken as it is ("-" makes a separator).
void AppendMenuItemText(MenuRef menu, ConstStringPtr text);
void InsertMenuItemText(MenuRef menu, ConstStringPtr text, int16_t afterItem);
void DeleteMenuItem(MenuRef menu, int16_t item);
int16_t CountMenuItems(MenuRef menu);
void SetMenuItemText(MenuRef menu, int16_t item, ConstStringPtr text);
void GetMenuItemText(MenuRef menu, int16_t item, Str255& text);
void EnableMenuItem(MenuRef menu, int16_t item);
void DisableMenuItem(MenuRef menu, int16_t item);
bool IsMenuItemEnabled(MenuRef menu, int16_t item);
void CheckMenuItem(MenuRef menu, int16_t item, bool checked);
void GetItemMark(MenuRef menu, int16_t item, int16_t* mark);
void SetItemCmd(MenuRef menu, int16_t item, unsigned char cmdChar);
void GetItemCmd(MenuRef menu, int16_t item, int16_t* cmdChar);
OSErr SetMenuItemHierarchicalID(MenuRef menu, int16_t item, int16_t hierID);

using MenuEnablingProc = void (*)();
void SetMenuEnablingProc(MenuEnablingProc proc);
int32_t MenuSelect(Point startPoint);
int32_t MenuKey(unsigned char ch);
// top and left in global coordinates.
int32_t PopUpMenuSelect(MenuRef menu, int16_t top, int16_t left, int16_t popUpItem);
