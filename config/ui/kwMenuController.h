// The popup menu's decisions, kept out of the widgets: how a level is built
// and sized, which row is preselected, where a popup goes, what pointer
// movement, presses, releases, keys and the wheel do, and how a click reaches
// the window. It works over an injected text measurer, screen and pointer
// position, and an optional window maker, so every rule can be driven and
// checked without a display and without particular fonts.
#pragma once

#include "config/ui/kwMenuEx.h"

#include <QMarginsF>
#include <QPoint>
#include <QRect>
#include <QRectF>
#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

// What shows one level on the screen (the popup window). The level owns it;
// the window is told when it must show, hide or repaint, and reports a close
// of its own through the controller.
class IkwMenuLevelView {
public:
    virtual ~IkwMenuLevelView() = default;
    virtual void ShowAt(const QRect &geometry) = 0;
    virtual void HideView() = 0;
    virtual void Changed() = 0; // repaint
    virtual void FocusView() = 0;
};

struct TkwMenuEnvironment {
    // Width of a text on one line in a font.
    std::function<qreal(const TkwMenuFont &, const QString &)> TextWidth;
    // The primary display, in screen pixels.
    std::function<QRect()> Screen;
    // The display that shows a screen point (unset: the primary one). A
    // popup is kept inside the display of its target, not moved onto another.
    std::function<QRect(QPoint)> ScreenAt;
    // The pointer's screen position.
    std::function<QPoint()> Pointer;
    // Runs a call after the event being handled (and what is queued before it).
    std::function<void(std::function<void()>)> Post;
    // Makes the window of a level; unset: the menu runs without windows.
    std::function<std::unique_ptr<IkwMenuLevelView>(TkwMenuItemsEx &)> CreateView;

    // The real one: font metrics, the primary screen, the cursor, the event
    // loop and the menu box windows.
    static TkwMenuEnvironment Qt();
};

// One row of a level as the box shows it.
struct TkwMenuRow {
    QString Text;
    qreal Height = 19;
    qreal Top = 0; // in the content, set by the layout
    bool IsChecked = false;
    bool IsSelected = false;
    bool IsExtender = false;
    bool Visible = false;
    uint32_t ItemID = 0;
    TCursor Cursor = 0;
};

// The runtime part of one collection: popup size and place, rows, and the
// box's pointer and selection state.
class TkwMenuLevel {
public:
    ~TkwMenuLevel();
    std::vector<TkwMenuRow> Rows;
    int ItemIndex = -1;    // the box's current row
    int MoveOverRow = -1;  // the row under the pointer
    int MouseDownRow = -1; // the row the left button went down on
    bool MouseSelecting = false;
    qreal Width = 100, Height = 0; // the popup's size
    QRect Geometry;                // where the popup stands (valid while open)
    bool Open = false;
    qreal ScrollY = 0;             // how far the content is scrolled up
    std::unique_ptr<IkwMenuLevelView> View;

    int Count() const { return int(Rows.size()); }
    bool Valid(int row) const { return row >= 0 && row < Count(); }
    qreal ContentHeight() const;
};

// Which highlight each visible row gets.
struct TkwMenuHighlights {
    int HoverRow = -1;
    int PressedRow = -1;
    std::vector<int> PlainRows;
};

// The parameters that apply to a level's box and rows, resolved.
struct TkwMenuLook {
    bool Custom = false;          // the root uses its parameters
    TkwMenuBrush Background;      // the box's background fill
    bool BackgroundFromParams = false;
    TkwMenuBrush NormalFill, OverFill, DownFill; // None: the style's own look
    QImage BackgroundImage;       // null: none
    QMarginsF Margins;
    TkwMenuFont Font;
    TkwMenuBrush FontFill;
    bool TextShadow = false;
    QMarginsF TextPadding;
    TkwMenuBrush ExtenderFill;
    TkwMenuBrush CheckFill;
    QImage CheckImage;
    bool ShowCheck = true;
    bool ShowSelectedCheckMark = true;
    bool HasIcons = false;
};

enum class TkwMouseButton { Left, Right, Middle };

// What a release decided (the tests' view of a click).
enum class TkwClickResult {
    Nothing,        // released over an extender row or no row
    ClosedOnly,     // the tree closed, no event
    Executed,       // the tree closed and the item's event is on its way
};

class TkwMenuController {
public:
    TkwMenuController(TkwMenuEx &menu, TkwMenuEnvironment env);
    const TkwMenuEnvironment &Environment() const { return FEnv; }
    void SetEnvironment(TkwMenuEnvironment env) { FEnv = std::move(env); }

    // ---- opening and building ----
    // Builds and opens a level at a target. PlacementRectangle, when given,
    // is a rectangle in the target's own coordinates to place against.
    void PopupAt(TkwMenuItemsEx &C, const TkwMenuTarget &target, TvgPlacement placement,
                 const std::optional<QRectF> &PlacementRectangle = std::nullopt);
    void BuildPopup(TkwMenuItemsEx &C);
    // Where a popup of the given size goes (flip rule, then kept on the screen).
    QRect Place(const TkwMenuTarget &target, TvgPlacement placement, QSize size,
                const std::optional<QRectF> &PlacementRectangle = std::nullopt) const;

    // ---- closing ----
    void CloseMenus(TkwMenuItemsEx &C);
    void ResetItemIndexes(TkwMenuItemsEx &C, const TkwMenuItemsEx *keep);
    void CloseMenuTree(TkwMenuItemsEx &C);
    void ResetMenuTree(TkwMenuItemsEx &C);
    // The window of a level closed on its own (click outside, Escape).
    void PopupClosedByPlatform(TkwMenuItemsEx &C);

    // ---- the box ----
    void SetItemIndex(TkwMenuItemsEx &C, int value);
    void SetRowSelected(TkwMenuItemsEx &C, int row, bool value);
    void SetRowChecked(TkwMenuItemsEx &C, int row, bool value);
    bool RowShowsCheckMark(const TkwMenuItemsEx &C, int row) const;
    TkwMenuHighlights Highlights(const TkwMenuItemsEx &C) const;
    TkwMenuLook LookOf(const TkwMenuItemsEx &C) const;
    // Row rectangles and hit tests in the popup's own coordinates.
    QRectF ContentRect(const TkwMenuItemsEx &C) const;
    QRectF RowRect(const TkwMenuItemsEx &C, int row) const;
    int RowAt(const TkwMenuItemsEx &C, QPointF local) const;
    qreal MaxScroll(const TkwMenuItemsEx &C) const;
    void ScrollTo(TkwMenuItemsEx &C, qreal y);

    void MouseDown(TkwMenuItemsEx &C, TkwMouseButton button, QPointF local);
    void MouseMove(TkwMenuItemsEx &C, QPointF local);
    TkwClickResult MouseUp(TkwMenuItemsEx &C, TkwMouseButton button, QPointF local);
    void MouseLeave(TkwMenuItemsEx &C);
    // Windows virtual-key code and typed character (0 for none); true when consumed.
    bool KeyDown(TkwMenuItemsEx &C, int key, QChar keyChar);
    // Wheel turned by `delta` eighths of a degree (120 a notch; positive: up).
    void Wheel(TkwMenuItemsEx &C, int delta);

    // Runs the click of an item now: its own OnClick, else the menu's OnItemsClick.
    void ExecuteItem(TkwMenuItemEx &item);

    // The open levels of the tree, from the top level to the deepest.
    std::vector<TkwMenuItemsEx *> OpenLevels();
    // The open level whose popup holds a screen point, deepest first; nullptr for none.
    TkwMenuItemsEx *LevelAt(QPoint screen);

private:
    void Changed(TkwMenuItemsEx &C);
    // Closes every open sub-menu under C; false when the menu died meanwhile.
    bool CloseSubMenus(TkwMenuItemsEx &C);
    void Layout(TkwMenuItemsEx &C);
    void ScrollIntoView(TkwMenuItemsEx &C, int row);
    void SetRowCount(TkwMenuItemsEx &C, int count);
    void ReportClosed(TkwMenuItemsEx &C);
    void CollectOpen(TkwMenuItemsEx &C, std::vector<TkwMenuItemsEx *> &out);

    TkwMenuEx &FMenu;
    TkwMenuEnvironment FEnv;
};

// Windows virtual-key codes the box acts on.
inline constexpr int kwVK_END = 35, kwVK_HOME = 36, kwVK_LEFT = 37, kwVK_UP = 38, kwVK_RIGHT = 39, kwVK_DOWN = 40;
