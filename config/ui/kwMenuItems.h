// The suite's four popup menus' item trees as data: captions exactly as the
// windows show them, before translation. The button-function menu's
// identifiers follow from the order of its items and are what FUNCTION_TABLE
// and stored profiles carry. Qt Core only: the button-function rules read
// the trees without a menu.
#pragma once

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
