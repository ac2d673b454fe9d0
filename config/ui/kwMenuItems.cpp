#include "config/ui/kwMenuItems.h"

#include <initializer_list>

namespace {

TkwMenuItemDef Leaf(const char *caption) { return {QString::fromUtf8(caption), {}}; }

TkwMenuItemDef Branch(const char *caption, std::initializer_list<const char *> subs)
{
    TkwMenuItemDef d{QString::fromUtf8(caption), {}};
    for (const char *s : subs)
        d.SubItems.push_back(Leaf(s));
    return d;
}

std::vector<TkwMenuItemDef> Flat(std::initializer_list<const char *> captions)
{
    std::vector<TkwMenuItemDef> v;
    for (const char *c : captions)
        v.push_back(Leaf(c));
    return v;
}

} // namespace

const std::vector<TkwMenuItemDef> &FunctionMenuItems()
{
    static const std::vector<TkwMenuItemDef> items = {
        Leaf("CLICK"),
        Leaf("RIGHT CLICK"),
        Leaf("MIDDLE BUTTON"),
        Leaf("FORWARD"),
        Leaf("BACKWARD"),
        Leaf("SINGLE KEY"),
        Leaf("COMBO KEY"),
        Branch("BASIC", {"CUT", "COPY", "PASTE", "SELECT ALL", "FIND", "NEW", "PRINT", "SAVE"}),
        Branch("ADVANCED", {"SWITCH WINDOW", "CLOSE WINDOW", "OPEN EXPLORER", "RUN", "SHOW DESKTOP", "LOCK PC",
                            "BROWSER HOME", "BROWSER BACKWARD", "BROWSER FORWARD", "BROWSER STOP",
                            "BROWSER REFRESH", "BROWSER SEARCH", "BROWSER FAVORITE", "MAIL"}),
        Branch("MEDIA", {"PLAY/PAUSE", "STOP", "PREVIOUS TRACK", "NEXT TRACK", "VOLUME UP", "VOLUME DOWN", "MUTE",
                         "MEDIA PLAYER"}),
        // Refilled by the window from the current macro set; MACRO MANAGER always leads.
        Branch("MACRO", {"MACRO MANAGER"}),
        Leaf("FIRE KEY..."),
        Branch("DPI SWITCH", {"DPI SWITCH CYCLE", "DPI +", "DPI -"}),
        Leaf("PROFILE SWITCH"),
        Branch("REPORT RATE", {"REPORT RATE +", "REPORT RATE -"}),
        Leaf("DISABLE"),
    };
    return items;
}

const std::vector<TkwMenuItemDef> &MacroMenuItems()
{
    static const std::vector<TkwMenuItemDef> items = Flat({"RENAME", "UP", "DOWN"});
    return items;
}

const std::vector<TkwMenuItemDef> &MacroListMenuItems()
{
    static const std::vector<TkwMenuItemDef> items = Flat({"INSERT", "DELETE", "UP", "DOWN", "COPY", "CUT", "PASTE"});
    return items;
}

const std::vector<TkwMenuItemDef> &MouseEventMenuItems()
{
    static const std::vector<TkwMenuItemDef> items = Flat({"LEFT BUTTON", "RIGHT BUTTON", "MIDDLE BUTTON"});
    return items;
}
