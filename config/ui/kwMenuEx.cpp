#include "config/ui/kwMenuEx.h"

#include "config/ui/kwFunctionManager.h"
#include "config/ui/kwMenuController.h"

#include <QSet>

#include <algorithm>
#include <cmath>
#include <optional>

#include <limits>

int64_t PreselectedMenuID = 0;

// ---- brushes ----------------------------------------------------------------------

TkwMenuBrush TkwMenuBrush::None()
{
    TkwMenuBrush b;
    b.Kind = Style::None;
    return b;
}

TkwMenuBrush TkwMenuBrush::Solid(QRgb c)
{
    TkwMenuBrush b;
    b.Kind = Style::Solid;
    b.Color = c;
    return b;
}

TkwMenuBrush TkwMenuBrush::Linear(QList<QPair<qreal, QRgb>> points, QPointF start, QPointF stop)
{
    TkwMenuBrush b;
    b.Kind = Style::Gradient;
    b.Points = std::move(points);
    b.StartPosition = start;
    b.StopPosition = stop;
    return b;
}

// ---- items ------------------------------------------------------------------------

TkwMenuItemEx::TkwMenuItemEx(Key, TkwMenuItemsEx *collection, QString name, uint32_t itemID)
    : Name(std::move(name)), FOwner(collection), FItemID(itemID), FSubItems(std::make_unique<TkwMenuItemsEx>(this))
{
}

TkwMenuItemEx::~TkwMenuItemEx() = default;

bool TkwMenuItemEx::SetSubItems(const TkwMenuItemsEx &source) { return FSubItems->Assign(source); }

TkwMenuEx *TkwMenuItemEx::GetRootMenu() const { return FOwner ? FOwner->RootMenu() : nullptr; }

QString TkwMenuItemEx::DisplayName() const
{
    return Name.isEmpty() ? QStringLiteral("TkwMenuItemEx") : Name;
}

// ---- collections ------------------------------------------------------------------

TkwMenuItemsEx::TkwMenuItemsEx(TkwMenuEx *AOwner) : FOwnerMenu(AOwner), FRootMenu(AOwner) {}

TkwMenuItemsEx::TkwMenuItemsEx(TkwMenuItemEx *AOwner)
    : FOwnerItem(AOwner), FRootMenu(AOwner ? AOwner->GetRootMenu() : nullptr)
{
}

TkwMenuItemsEx::~TkwMenuItemsEx()
{
    // Items first: their sub-menus' windows go before this level's.
    FItems.clear();
    FLevel.reset();
}

namespace {

// The smallest free default name of a list of items and its number, or
// nothing when every number up to the largest signed 32-bit value is taken.
std::optional<std::pair<QString, uint32_t>> FreeName(const std::vector<std::shared_ptr<TkwMenuItemEx>> &items)
{
    QSet<QString> taken;
    for (const auto &item : items)
        taken.insert(item->Name.toCaseFolded());
    for (int64_t n = 1; n <= std::numeric_limits<int32_t>::max(); ++n) {
        const QString name = QStringLiteral("Item%1").arg(n);
        if (!taken.contains(name.toCaseFolded()))
            return std::pair{name, uint32_t(n)};
    }
    return std::nullopt;
}

// The identifier of the n-th default name under an owner: n at the top level,
// parent x 100 + n below; nothing when it does not fit in 32 bits.
std::optional<uint32_t> IdentifierFor(const TkwMenuItemEx *ownerItem, uint32_t n)
{
    if (!ownerItem)
        return n;
    uint32_t product = 0, sum = 0;
    if (__builtin_mul_overflow(ownerItem->ItemID(), uint32_t(100), &product))
        return std::nullopt;
    if (__builtin_add_overflow(product, n, &sum))
        return std::nullopt;
    return sum;
}

} // namespace

std::shared_ptr<TkwMenuItemEx> TkwMenuItemsEx::MakeItem()
{
    const auto name = FreeName(FItems);
    if (!name)
        return nullptr;
    const auto id = IdentifierFor(FOwnerItem, name->second);
    if (!id)
        return nullptr;
    return std::make_shared<TkwMenuItemEx>(TkwMenuItemEx::Key{}, this, name->first, *id);
}

TkwMenuItemEx *TkwMenuItemsEx::Add() { return Insert(Count()); }

TkwMenuItemEx *TkwMenuItemsEx::Add(const QString &caption)
{
    TkwMenuItemEx *item = Add();
    if (item)
        item->Caption = caption;
    return item;
}

TkwMenuItemEx *TkwMenuItemsEx::Insert(int index)
{
    auto item = MakeItem();
    if (!item)
        return nullptr;
    index = std::clamp(index, 0, Count());
    FItems.insert(FItems.begin() + index, item);
    return item.get();
}

bool TkwMenuItemsEx::Delete(int index)
{
    if (index < 0 || index >= Count())
        return false;
    FItems.erase(FItems.begin() + index);
    return true;
}

void TkwMenuItemsEx::Clear() { FItems.clear(); }

TkwMenuItemEx *TkwMenuItemsEx::Items(int index) const
{
    return index >= 0 && index < Count() ? FItems[size_t(index)].get() : nullptr;
}

std::shared_ptr<TkwMenuItemEx> TkwMenuItemsEx::ItemRef(int index) const
{
    return index >= 0 && index < Count() ? FItems[size_t(index)] : nullptr;
}

int TkwMenuItemsEx::IndexOf(const TkwMenuItemEx *item) const
{
    for (int i = 0; i < Count(); ++i)
        if (FItems[size_t(i)].get() == item)
            return i;
    return -1;
}

bool TkwMenuItemsEx::CopyInto(std::vector<std::shared_ptr<TkwMenuItemEx>> &out, const TkwMenuItemsEx &source)
{
    for (const auto &from : source.FItems) {
        // Numbered as an insertion into the list built so far, as if the
        // target had been emptied and refilled item by item.
        const auto name = FreeName(out);
        if (!name)
            return false;
        const auto id = IdentifierFor(FOwnerItem, name->second);
        if (!id)
            return false;
        auto copy = std::make_shared<TkwMenuItemEx>(TkwMenuItemEx::Key{}, this, name->first, *id);
        copy->Name = from->Name;
        copy->Caption = from->Caption;
        copy->Hint = from->Hint;
        copy->Data = from->Data;
        copy->ShortCut = from->ShortCut;
        copy->Bitmap = from->Bitmap;
        copy->BitmapOver = from->BitmapOver;
        copy->BitmapDown = from->BitmapDown;
        copy->OnClick = from->OnClick;
        copy->Description = from->Description;
        copy->ShortDescription = from->ShortDescription;
        copy->Enabled = from->Enabled;
        copy->RadioItem = from->RadioItem;
        copy->Default = from->Default;
        copy->Visible = from->Visible;
        copy->SubItemImages = from->SubItemImages;
        copy->Checked = from->Checked;
        copy->ImageIndex = from->ImageIndex;
        copy->ItemHeight = from->ItemHeight;
        copy->IsSelected = from->IsSelected;
        TkwMenuItemsEx &sub = *copy->FSubItems;
        sub.Images = from->SubItems().Images;
        sub.UseParentParameter = from->SubItems().UseParentParameter;
        sub.Parameters = from->SubItems().Parameters;
        if (!sub.CopyInto(sub.FItems, from->SubItems()))
            return false;
        out.push_back(std::move(copy));
    }
    return true;
}

bool TkwMenuItemsEx::Assign(const TkwMenuItemsEx &source)
{
    std::vector<std::shared_ptr<TkwMenuItemEx>> fresh;
    if (!CopyInto(fresh, source))
        return false;
    FItems.swap(fresh);
    return true; // the old items go with `fresh`
}

void TkwMenuItemsEx::ItemSetMaxSize(qreal AWidth)
{
    if (AWidth <= FItemMaxWidth)
        return;
    FItemMaxWidth = AWidth;
    if (FLevel) {
        FLevel->Width = AWidth;
        if (FLevel->Open && FLevel->View) {
            FLevel->Geometry.setWidth(int(std::ceil(AWidth)));
            FLevel->View->ShowAt(FLevel->Geometry);
        }
    }
}

void TkwMenuItemsEx::SetItemCheckedState(int AItemIndex, bool AState)
{
    if (TkwMenuItemEx *item = Items(AItemIndex))
        item->Checked = AState;
}

bool TkwMenuItemsEx::GetIsMenuOpened() const { return FLevel && FLevel->Open; }

TkwMenuLevel &TkwMenuItemsEx::EnsureLevel()
{
    if (!FLevel)
        FLevel = std::make_unique<TkwMenuLevel>();
    return *FLevel;
}

// ---- the component --------------------------------------------------------------

TkwMenuEx::TkwMenuEx(QObject *AOwner)
    : QObject(AOwner), FItems(std::make_unique<TkwMenuItemsEx>(this)),
      FController(std::make_unique<TkwMenuController>(*this, TkwMenuEnvironment::Qt()))
{
    PreselectedMenuID = 0;
}

TkwMenuEx::~TkwMenuEx()
{
    // The windows go with the items, before the controller they report to.
    FItems.reset();
}

void TkwMenuEx::SetEnvironment(const TkwMenuEnvironment &env) { FController->SetEnvironment(env); }

void TkwMenuEx::SetFunctionManager(TkwFunctionManager *m) { FFunctionManager = m; }

bool TkwMenuEx::IsMenuOpen() const { return FItems->GetIsMenuOpened(); }

TkwMenuTarget TkwMenuEx::TargetOf(QWidget *w) const
{
    TkwMenuTarget t;
    t.ScreenRect = QRectF(QPointF(w->mapToGlobal(QPoint(0, 0))), QSizeF(w->size()));
    t.WindowRect = w->window()->frameGeometry();
    return t;
}

void TkwMenuEx::ShowMainMenu(QWidget *PlacementTarget, TvgPlacement Placement)
{
    if (!PlacementTarget)
        return;
    FPopupParent = PlacementTarget->window();
    FController->PopupAt(*FItems, TargetOf(PlacementTarget), Placement);
}

void TkwMenuEx::ShowMainMenu(int64_t SelectedMenuID, QWidget *PlacementTarget, TvgPlacement Placement)
{
    PreselectedMenuID = SelectedMenuID;
    ShowMainMenu(PlacementTarget, Placement);
}

void TkwMenuEx::ShowMainMenu(int64_t SelectedMenuID, QWidget *PlacementTarget, TvgPlacement Placement,
                             const QRectF &PlacementRectangle)
{
    PreselectedMenuID = SelectedMenuID;
    if (!PlacementTarget)
        return;
    FPopupParent = PlacementTarget->window();
    FController->PopupAt(*FItems, TargetOf(PlacementTarget), Placement, PlacementRectangle);
}

void TkwMenuEx::ShowMainMenuAt(const TkwMenuTarget &target, TvgPlacement Placement)
{
    FController->PopupAt(*FItems, target, Placement);
}

void TkwMenuEx::ShowMainMenuAt(int64_t SelectedMenuID, const TkwMenuTarget &target, TvgPlacement Placement)
{
    PreselectedMenuID = SelectedMenuID;
    ShowMainMenuAt(target, Placement);
}
