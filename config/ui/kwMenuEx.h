// The suite's own popup function menu: the component a window holds
// (TkwMenuEx), its tree of items (TkwMenuItemEx in TkwMenuItemsEx collections)
// and the parameter sets that decide sizes, fills and fonts (TMenuParams).
//
// Identifiers are what the windows act on, and what profiles store
// (TBUTTONFUNCINFO.MenuID): they are given once, when an item is inserted,
// from the smallest free default name "Item<n>" of its collection: n at the
// top level, parent id x 100 + n below it. They never change afterwards.
//
// Ownership: the menu owns its top-level collection, every item owns its
// sub-collection, every collection owns its items and its runtime part (the
// popup window, its rows and state). Back-references (item -> collection ->
// owner) are plain pointers to owners, which always outlive what they own;
// everything handed to a later event (a popup, a queued click) holds weak
// references, so nothing reaches a freed menu.
//
// The decisions (sizes, preselection, placement, hover, click) live in
// TkwMenuController (kwMenuController.h); the popup windows in kwMenuBox.h.
// Main thread only.
#pragma once

#include "config/ui/kwFunctionManager.h"

#include <QImage>
#include <QList>
#include <QMarginsF>
#include <QObject>
#include <QPair>
#include <QPointF>
#include <QPointer>
#include <QRectF>
#include <QString>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class TkwMenuController;
class TkwMenuEx;
class TkwMenuItemEx;
class TkwMenuItemsEx;
class TkwMenuLevel;
struct TkwMenuEnvironment;

// The program-wide preselection: a row whose ItemID equals it becomes the
// current row of its level when the level is built. Every TkwMenuEx
// constructor resets it; the ShowMainMenu forms with a SelectedMenuID set it.
extern int64_t PreselectedMenuID;

// ---- looks --------------------------------------------------------------------

// A fill: none, one colour, or a linear gradient between two points of the
// unit square (vertical from top to bottom unless given).
struct TkwMenuBrush {
    enum class Style { None, Solid, Gradient };
    Style Kind = Style::Solid;
    QRgb Color = 0xFF000000;
    QPointF StartPosition{0, 0};
    QPointF StopPosition{0, 1};
    QList<QPair<qreal, QRgb>> Points; // offset 0..1, colour

    static TkwMenuBrush None();
    static TkwMenuBrush Solid(QRgb c);
    static TkwMenuBrush Linear(QList<QPair<qreal, QRgb>> points, QPointF start = {0, 0}, QPointF stop = {0, 1});
    bool IsNone() const { return Kind == Style::None; }
    bool operator==(const TkwMenuBrush &) const = default;
};

// A font as the menu parameters give it; sizes are pixels.
struct TkwMenuFont {
    QString Family = QStringLiteral("Tahoma");
    qreal Size = 11;
    bool Bold = false;
    bool Italic = false;
    bool ClearType = true; // kept; the platform decides how text is smoothed
    bool operator==(const TkwMenuFont &) const = default;
};

// The placements a popup can take relative to its target.
enum TvgPlacement {
    vgPlacementBottom,
    vgPlacementTop,
    vgPlacementLeft,
    vgPlacementRight,
    vgPlacementCenter,
    vgPlacementBottomCenter,
    vgPlacementTopCenter,
    vgPlacementLeftCenter,
    vgPlacementRightCenter,
    vgPlacementAbsolute,
    vgPlacementMouse,
    vgPlacementMouseCenter,
};

// A cursor value as the parameters store it (0 the default cursor).
using TCursor = int16_t;

// The look and size parameters of a menu or of one level. A value: writing
// a parameter set copies it; nothing is shared or adopted.
struct TMenuParams {
    TkwMenuBrush BGFill;
    TkwMenuBrush ItemNormalFill;
    TkwMenuBrush ItemOverFill;
    TkwMenuBrush ItemDownFill;
    TkwMenuBrush ItemCheckFill;
    TkwMenuBrush ItemExtenderFill;
    QImage ItemCheckImage;
    TkwMenuBrush ItemFontFill;
    TkwMenuFont ItemFont;
    int ItemHeight = 30;
    int ItemWidth = 0;
    bool ItemShowCheck = true;
    bool ItemAutoSize = true;
    bool MenuShowCheckbox = false;        // stored only
    bool MenuShowSelectedState = true;    // stored only
    bool MenuShowSelectedCheckMark = true;
    QImage BGImage;
    QMarginsF BGMargins{0, 0, 0, 0};
    QString BGResource;                   // stored; our style has no named resources
    int CustomHeight = 0;
    int CustomWidth = 0;
    QMarginsF MenuTextPadding{3, 1, 3, 1};
    TCursor ItemCursor = 0;
};

// ---- items ------------------------------------------------------------------------

class TkwMenuItemEx : public std::enable_shared_from_this<TkwMenuItemEx> {
public:
    // Sender is the item.
    using TkwMenuItemExEvent = std::function<void(TkwMenuItemEx *Sender, void *ABufferPointer, int ASize)>;

    // Items are made by their collection (Add/Insert), which names and numbers them.
    struct Key {
        explicit Key() = default;
    };
    TkwMenuItemEx(Key, TkwMenuItemsEx *collection, QString name, uint32_t itemID);
    ~TkwMenuItemEx();
    TkwMenuItemEx(const TkwMenuItemEx &) = delete;
    TkwMenuItemEx &operator=(const TkwMenuItemEx &) = delete;

    QString Name;
    QString Caption; // the row text, translated when shown
    QString Hint;
    QString Data;
    uint16_t ShortCut = 0;
    QImage Bitmap, BitmapOver, BitmapDown;
    TkwMenuItemExEvent OnClick; // when bound, a click runs it instead of the menu's OnItemsClick
    QString Description;
    QString ShortDescription;
    bool Enabled = true;   // stored: every item can be clicked
    bool RadioItem = false;
    bool Default = false;
    bool Visible = true;   // stored: every item is shown
    QList<QImage> SubItemImages;
    bool Checked = false;
    int ImageIndex = -1;
    double ItemHeight = 0; // 0: the level's row height
    bool IsSelected = false;

    uint32_t ItemID() const { return FItemID; }
    TkwMenuItemsEx &SubItems() { return *FSubItems; }
    const TkwMenuItemsEx &SubItems() const { return *FSubItems; }
    // Replaces the sub-items by a copy of `source`; false (nothing changed)
    // when the copies' identifiers would not fit.
    bool SetSubItems(const TkwMenuItemsEx &source);
    TkwMenuEx *GetRootMenu() const;
    TkwMenuItemsEx *GetOwner() const { return FOwner; }
    // Name, or the platform's default naming when it is empty.
    QString DisplayName() const;

private:
    friend class TkwMenuItemsEx;
    TkwMenuItemsEx *FOwner;
    uint32_t FItemID;
    std::unique_ptr<TkwMenuItemsEx> FSubItems;
};

class TkwMenuItemsEx {
public:
    explicit TkwMenuItemsEx(TkwMenuEx *AOwner);
    explicit TkwMenuItemsEx(TkwMenuItemEx *AOwner);
    ~TkwMenuItemsEx();
    TkwMenuItemsEx(const TkwMenuItemsEx &) = delete;
    TkwMenuItemsEx &operator=(const TkwMenuItemsEx &) = delete;

    // Inserts a new item, named "Item<n>" for the smallest free n (names
    // compared without case) and numbered from n. nullptr, with nothing
    // inserted, when the identifier does not fit in 32 bits.
    TkwMenuItemEx *Add();
    TkwMenuItemEx *Add(const QString &caption);
    TkwMenuItemEx *Insert(int index); // index clamped to 0..Count
    bool Delete(int index);
    void Clear();
    int Count() const { return int(FItems.size()); }
    // nullptr for an index out of range.
    TkwMenuItemEx *Items(int index) const;
    std::shared_ptr<TkwMenuItemEx> ItemRef(int index) const;
    int IndexOf(const TkwMenuItemEx *item) const;

    // Replaces the items by copies of `source`'s items (captions, states,
    // handlers, sub-items; identifiers from their new places). The copy is
    // made aside first: on failure (identifiers that do not fit) nothing changed.
    bool Assign(const TkwMenuItemsEx &source);

    // The menu (top level) or the item whose sub-items these are.
    TkwMenuEx *OwnerMenu() const { return FOwnerMenu; }
    TkwMenuItemEx *OwnerItem() const { return FOwnerItem; }
    TkwMenuEx *RootMenu() const { return FRootMenu; }

    QList<QImage> Images; // row icons; empty: the rows show none
    int ItemIndex() const { return FItemIndex; }
    void SetItemIndex(int value) { FItemIndex = value; }
    bool UseParentParameter = true;
    TMenuParams Parameters;
    TkwMenuFont ItemDefaultFont;                                  // Tahoma 11 regular
    TkwMenuBrush ItemDefaultFontFill = TkwMenuBrush::Solid(0xFF000000);
    bool ItemAutoSize = true;                                     // stored only

    void ItemSetMaxSize(qreal AWidth);
    qreal ItemMaxWidth() const { return FItemMaxWidth; }
    void SetItemCheckedState(int AItemIndex, bool AState);
    bool GetIsMenuOpened() const;
    void UpdateMenuState() const {}

    // The runtime part (popup, rows, box state): null before the first opening.
    TkwMenuLevel *Level() const { return FLevel.get(); }
    TkwMenuLevel &EnsureLevel();

private:
    std::shared_ptr<TkwMenuItemEx> MakeItem();
    bool CopyInto(std::vector<std::shared_ptr<TkwMenuItemEx>> &out, const TkwMenuItemsEx &source);

    TkwMenuEx *FOwnerMenu = nullptr;
    TkwMenuItemEx *FOwnerItem = nullptr;
    TkwMenuEx *FRootMenu = nullptr;
    std::vector<std::shared_ptr<TkwMenuItemEx>> FItems;
    int FItemIndex = -1;
    qreal FItemMaxWidth = 0;
    std::unique_ptr<TkwMenuLevel> FLevel;
};

// ---- the component --------------------------------------------------------------

// Where a popup is placed: the target's rectangle on the screen and the
// window that holds the target (both in screen pixels).
struct TkwMenuTarget {
    QRectF ScreenRect;
    QRect WindowRect;
};

class TkwMenuEx : public QObject {
    Q_OBJECT
public:
    // Sender is the clicked item; AMenuItemName its Name, AMenuItemID its ItemID.
    using TkwMenuItemsExEvent = std::function<void(TkwMenuItemEx *Sender, const QString &AMenuItemName,
                                                   uint32_t AMenuItemID, void *ABufferPointer, int ASize)>;
    using TNotifyEvent = std::function<void(TkwMenuItemsEx *Sender)>;

    explicit TkwMenuEx(QObject *AOwner = nullptr);
    ~TkwMenuEx() override;

    // Opens the top level at a control of a window.
    void ShowMainMenu(QWidget *PlacementTarget, TvgPlacement Placement);
    void ShowMainMenu(int64_t SelectedMenuID, QWidget *PlacementTarget, TvgPlacement Placement);
    void ShowMainMenu(int64_t SelectedMenuID, QWidget *PlacementTarget, TvgPlacement Placement,
                      const QRectF &PlacementRectangle);
    // The same with the target given in screen terms (no widget needed).
    void ShowMainMenuAt(const TkwMenuTarget &target, TvgPlacement Placement);
    void ShowMainMenuAt(int64_t SelectedMenuID, const TkwMenuTarget &target, TvgPlacement Placement);

    bool IsMenuOpen() const;
    TkwMenuItemsEx &Items() { return *FItems; }
    const TkwMenuItemsEx &Items() const { return *FItems; }
    bool SetItems(const TkwMenuItemsEx &source) { return FItems->Assign(source); }
    bool UseCustomMenuParams = false;
    TMenuParams Parameters;
    uint32_t SelectionID = 0; // kept for the window; the menu never reads it
    TkwFunctionManager *FunctionManager() const { return FFunctionManager.data(); }
    void SetFunctionManager(TkwFunctionManager *m);
    int FunctionItemIndex = 0;
    TkwMenuItemsExEvent OnItemsClick;
    TNotifyEvent OnMenuClose;

    // The window of the last placement target (popups stay over it).
    QWidget *PopupParent() const { return FPopupParent.data(); }
    TkwMenuController &Controller() { return *FController; }
    // Replaces the measurer, screen, pointer, event poster and window maker
    // (tests run the menu without windows or fonts).
    void SetEnvironment(const TkwMenuEnvironment &env);

private:
    TkwMenuTarget TargetOf(QWidget *w) const;

    QPointer<QWidget> FPopupParent;
    std::unique_ptr<TkwMenuItemsEx> FItems;
    QPointer<TkwFunctionManager> FFunctionManager;
    std::unique_ptr<TkwMenuController> FController;
};
