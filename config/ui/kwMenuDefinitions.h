// The suite's four popup menus as data: their item trees (captions exactly
// as the windows show them, before translation) and their root parameters.
// The button-function menu's identifiers follow from the order of its items
// and are what FUNCTION_TABLE and stored profiles carry.
#pragma once

#include "config/ui/kwMenuEx.h"

#include <QString>

#include <vector>

// One item of a menu tree.
struct TkwMenuItemDef {
    QString Caption;
    std::vector<TkwMenuItemDef> SubItems;
};

// Top-level items of each menu, in order.
const std::vector<TkwMenuItemDef> &FunctionMenuItems();   // KWMENUEX1 (configuration window)
const std::vector<TkwMenuItemDef> &MacroMenuItems();      // kwMenuMacro (macro manager)
const std::vector<TkwMenuItemDef> &MacroListMenuItems();  // kwMenuMacroList
const std::vector<TkwMenuItemDef> &MouseEventMenuItems(); // kwMenuExMouseEvent

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
