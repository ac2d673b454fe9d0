// The suite's four popup menus: their item trees (kwMenuItems.h), their
// root parameters and how a menu is filled from them.
#pragma once

#include "config/ui/kwMenuEx.h"
#include "config/ui/kwMenuItems.h"

// Root parameters of each menu (every other parameter at its default).
TMenuParams FunctionMenuParams();
TMenuParams MacroMenuParams();
TMenuParams MacroListMenuParams();
TMenuParams MouseEventMenuParams();

// Fills a menu with fixed item trees: the items in order (so they
// get their identifiers), custom parameters on, every level following the
// root, no function item. False (and the menu emptied) when an item could
// not be inserted.
bool kwFillMenu(TkwMenuEx &menu, const std::vector<TkwMenuItemDef> &items, const TMenuParams &params);
void FillFunctionMenu(TkwMenuEx &KWMENUEX1);
void FillMacroMenu(TkwMenuEx &kwMenuMacro);
void FillMacroListMenu(TkwMenuEx &kwMenuMacroList);
void FillMouseEventMenu(TkwMenuEx &kwMenuExMouseEvent);
