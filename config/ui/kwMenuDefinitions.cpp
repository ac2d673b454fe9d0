#include "config/ui/kwMenuDefinitions.h"

namespace {

bool FillItems(TkwMenuItemsEx &into, const std::vector<TkwMenuItemDef> &defs)
{
    for (const TkwMenuItemDef &d : defs) {
        TkwMenuItemEx *item = into.Add(d.Caption);
        if (!item || !FillItems(item->SubItems(), d.SubItems))
            return false;
    }
    return true;
}

// The macro manager's three menus share their look: dark rows, red hover.
TMenuParams MacroManagerParams(QRgb normalTop, QRgb normalBottom, QRgb overTop)
{
    TMenuParams p;
    p.ItemNormalFill = TkwMenuBrush::Linear({{0, normalTop}, {1, normalBottom}});
    p.ItemOverFill = TkwMenuBrush::Linear({{0, overTop}, {1, 0xFF000000}});
    p.ItemDownFill = p.ItemOverFill;
    p.ItemCheckFill = TkwMenuBrush::None();
    p.ItemExtenderFill = TkwMenuBrush::Solid(0xFFB00202);
    p.ItemFontFill = TkwMenuBrush::Solid(0xFFFFFFFF);
    p.ItemHeight = 20;
    p.ItemWidth = 400;
    p.ItemShowCheck = false;
    p.ItemAutoSize = false;
    p.MenuShowCheckbox = false;
    p.MenuShowSelectedState = false;
    p.MenuShowSelectedCheckMark = true;
    return p;
}

} // namespace

TMenuParams FunctionMenuParams()
{
    TMenuParams p;
    p.BGFill = TkwMenuBrush::Solid(0xFA000000);
    p.MenuTextPadding = QMarginsF(15, 0, 0, 0);
    p.ItemNormalFill = TkwMenuBrush::None();
    p.ItemOverFill = TkwMenuBrush::Linear({{0, 0x1E0464D7}, {0.5090909, 0xFF0050AF}, {1, 0x1E0026AF}});
    p.ItemDownFill = TkwMenuBrush::Linear({{0, 0x31002BAA}, {0.5054545, 0xFF1303F7}, {1, 0x46002BAA}},
                                          QPointF(0.5, 0), QPointF(0.5, 1));
    p.ItemCheckFill = TkwMenuBrush::Solid(0xFF0093AA);
    p.ItemExtenderFill = TkwMenuBrush::Solid(0xFFFFFFFF);
    p.ItemFontFill = TkwMenuBrush::Solid(0xFFFFFFFF);
    p.ItemFont = TkwMenuFont{QStringLiteral("FUTURA STD MEDIUM"), 13, true, true, false};
    p.ItemHeight = 25;
    p.ItemWidth = 150;
    p.ItemShowCheck = false;
    p.ItemAutoSize = false;
    p.MenuShowCheckbox = true;
    p.MenuShowSelectedState = true;
    p.MenuShowSelectedCheckMark = true;
    return p;
}

TMenuParams MacroMenuParams() { return MacroManagerParams(0xFF1C1B1B, 0xFF020202, 0xFFB10404); }
TMenuParams MacroListMenuParams() { return MacroManagerParams(0xFF1B1B1B, 0xFF000000, 0xFFB10404); }
TMenuParams MouseEventMenuParams() { return MacroManagerParams(0xFF1B1B1B, 0xFF000000, 0xFE980000); }

bool kwFillMenu(TkwMenuEx &menu, const std::vector<TkwMenuItemDef> &items, const TMenuParams &params)
{
    menu.UseCustomMenuParams = true;
    menu.Parameters = params;
    menu.FunctionItemIndex = 0;
    menu.Items().Clear();
    if (!FillItems(menu.Items(), items)) {
        menu.Items().Clear();
        return false;
    }
    return true;
}

void FillFunctionMenu(TkwMenuEx &KWMENUEX1) { kwFillMenu(KWMENUEX1, FunctionMenuItems(), FunctionMenuParams()); }
void FillMacroMenu(TkwMenuEx &kwMenuMacro) { kwFillMenu(kwMenuMacro, MacroMenuItems(), MacroMenuParams()); }
void FillMacroListMenu(TkwMenuEx &kwMenuMacroList)
{
    kwFillMenu(kwMenuMacroList, MacroListMenuItems(), MacroListMenuParams());
}
void FillMouseEventMenu(TkwMenuEx &kwMenuExMouseEvent)
{
    kwFillMenu(kwMenuExMouseEvent, MouseEventMenuItems(), MouseEventMenuParams());
}
