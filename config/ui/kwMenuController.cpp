#include "config/ui/kwMenuController.h"

#include "config/ui/kwFunctionManager.h"
#include "config/ui/kwLanguage.h"
#include "config/ui/kwMenuBox.h"

#include <QCoreApplication>
#include <QCursor>
#include <QDebug>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QMetaObject>
#include <QScreen>

#include <algorithm>
#include <cmath>
#include <limits>

// ---- environment --------------------------------------------------------------------

TkwMenuEnvironment TkwMenuEnvironment::Qt()
{
    TkwMenuEnvironment env;
    env.TextWidth = [](const TkwMenuFont &font, const QString &text) {
        return QFontMetricsF(kwMenuQFont(font, text)).horizontalAdvance(text);
    };
    env.Screen = [] {
        const QScreen *s = QGuiApplication::primaryScreen();
        return s ? s->geometry() : QRect(0, 0, 1024, 768);
    };
    env.ScreenAt = [](QPoint p) {
        const QScreen *s = QGuiApplication::screenAt(p);
        if (!s)
            s = QGuiApplication::primaryScreen();
        return s ? s->geometry() : QRect(0, 0, 1024, 768);
    };
    env.Pointer = [] { return QCursor::pos(); };
    env.Post = [](std::function<void()> fn) {
        if (QCoreApplication *app = QCoreApplication::instance())
            QMetaObject::invokeMethod(app, std::move(fn), ::Qt::QueuedConnection);
        else
            fn();
    };
    env.CreateView = [](TkwMenuItemsEx &C) { return kwCreateMenuBoxView(C); };
    return env;
}

// ---- level ------------------------------------------------------------------------------

TkwMenuLevel::~TkwMenuLevel() = default;

qreal TkwMenuLevel::ContentHeight() const
{
    return Rows.empty() ? 0 : Rows.back().Top + Rows.back().Height;
}

// ---- controller ----------------------------------------------------------------------

namespace {

// Keeps a sub-collection alive while a walk that may run window code uses it
// (its owning item could be removed meanwhile).
std::shared_ptr<TkwMenuItemEx> Pin(TkwMenuItemsEx &C)
{
    TkwMenuItemEx *owner = C.OwnerItem();
    if (!owner || !owner->GetOwner())
        return nullptr;
    return owner->GetOwner()->ItemRef(owner->GetOwner()->IndexOf(owner));
}

// The target's origin on the screen, rounded to the nearest pixel (ties to even).
QPointF TargetScreenPos(const TkwMenuTarget &t)
{
    return {std::nearbyint(t.ScreenRect.left()), std::nearbyint(t.ScreenRect.top())};
}

} // namespace

TkwMenuController::TkwMenuController(TkwMenuEx &menu, TkwMenuEnvironment env) : FMenu(menu), FEnv(std::move(env)) {}

void TkwMenuController::Changed(TkwMenuItemsEx &C)
{
    if (TkwMenuLevel *L = C.Level(); L && L->View)
        L->View->Changed();
}

TkwMenuLook TkwMenuController::LookOf(const TkwMenuItemsEx &C) const
{
    const TkwMenuEx &R = FMenu;
    const TMenuParams &RP = R.Parameters;
    TkwMenuLook look;
    look.Custom = R.UseCustomMenuParams;
    look.Background = TkwMenuBrush::Solid(0xFF51513B); // the style's own fill
    look.NormalFill = look.OverFill = look.DownFill = TkwMenuBrush::None();
    if (look.Custom) {
        const bool parent = C.UseParentParameter;
        const TMenuParams &P = parent ? RP : C.Parameters;
        // Following the root, a brush without style leaves the style's look;
        // with its own parameters a level takes all four as they are.
        auto take = [parent](TkwMenuBrush &into, const TkwMenuBrush &from) {
            if (!parent || !from.IsNone())
                into = from;
        };
        take(look.NormalFill, P.ItemNormalFill);
        take(look.OverFill, P.ItemOverFill);
        take(look.DownFill, P.ItemDownFill);
        if (!parent || !P.BGFill.IsNone()) {
            look.Background = P.BGFill;
            look.BackgroundFromParams = true;
        }
        if (!P.BGImage.isNull() && qint64(P.BGImage.width()) * P.BGImage.height() > 1)
            look.BackgroundImage = P.BGImage;
        look.Margins = P.BGMargins;
    }
    // Rows always follow the root's parameters.
    if (look.Custom) {
        look.Font = RP.ItemFont;
        look.FontFill = RP.ItemFontFill;
        look.TextShadow = true;
        look.TextPadding = RP.MenuTextPadding;
        look.ExtenderFill = RP.ItemExtenderFill;
        look.CheckFill = RP.ItemCheckFill;
        if (!RP.ItemCheckImage.isNull() && qint64(RP.ItemCheckImage.width()) * RP.ItemCheckImage.height() > 1)
            look.CheckImage = RP.ItemCheckImage;
        look.ShowCheck = RP.ItemShowCheck;
    } else {
        look.Font = C.ItemDefaultFont;
        look.FontFill = C.ItemDefaultFontFill;
        look.TextShadow = false;
        look.TextPadding = QMarginsF(3, 1, 3, 1);
        look.ExtenderFill = TkwMenuBrush::Solid(0xFF070707);
        look.CheckFill = TkwMenuBrush::Solid(0xFFF5CF02);
        look.ShowCheck = true;
    }
    look.ShowSelectedCheckMark = RP.MenuShowSelectedCheckMark;
    look.HasIcons = !C.Images.isEmpty();
    return look;
}

// ---- building ----------------------------------------------------------------------------

void TkwMenuController::BuildPopup(TkwMenuItemsEx &C)
{
    const TkwMenuEx &R = FMenu;
    const TMenuParams &RP = R.Parameters;
    const bool custom = R.UseCustomMenuParams;

    qreal h = 40;
    TCursor cursor = 0;
    if (custom) {
        if (C.UseParentParameter) {
            h = std::max(RP.ItemHeight, 20);
            cursor = RP.ItemCursor;
        } else {
            h = C.Parameters.ItemHeight;
            cursor = C.Parameters.ItemCursor;
        }
    }

    const bool first = C.Level() == nullptr;
    TkwMenuLevel &L = C.EnsureLevel();
    if (first) {
        L.Width = 100;
        L.Height = 0;
        if (FEnv.CreateView)
            L.View = FEnv.CreateView(C);
    }
    if (!L.Open)
        L.ScrollY = 0;

    const int n = C.Count();
    auto addRow = [&](int i, const TkwMenuItemEx &item) {
        TkwMenuRow row;
        row.Height = item.ItemHeight != 0 ? item.ItemHeight : h;
        row.Top = L.Rows.empty() ? 0 : L.Rows.back().Top + L.Rows.back().Height;
        row.Cursor = cursor;
        L.Rows.push_back(row);
        SetRowChecked(C, i, item.Checked);
        SetRowSelected(C, i, item.IsSelected);
        L.Rows[size_t(i)].Text = Translate(item.Caption);
        L.Rows[size_t(i)].IsExtender = item.SubItems().Count() > 0;
        L.Rows[size_t(i)].ItemID = item.ItemID();
    };
    auto preselected = [](const TkwMenuItemEx &item) { return int64_t(uint64_t(item.ItemID())) == PreselectedMenuID; };

    int pre = -1;
    qreal T = 0;
    if (first || L.Rows.empty()) {
        L.Rows.clear();
        for (int i = 0; i < n; ++i) {
            const TkwMenuItemEx &item = *C.Items(i);
            addRow(i, item);
            L.Rows[size_t(i)].Visible = true;
            T += L.Rows[size_t(i)].Height;
            if (preselected(item))
                pre = i; // a later match wins
        }
    } else {
        for (int i = L.Count(); i < n; ++i)
            addRow(i, *C.Items(i));
        SetRowCount(C, n);
        for (int i = 0; i < n; ++i) {
            const TkwMenuItemEx &item = *C.Items(i);
            TkwMenuRow &row = L.Rows[size_t(i)];
            row.Text = Translate(item.Caption);
            row.ItemID = item.ItemID();
            row.IsExtender = item.SubItems().Count() > 0;
            row.Visible = true;
            SetRowChecked(C, i, item.Checked);
            SetRowSelected(C, i, item.IsSelected);
            if (preselected(item))
                pre = i;
            T += L.Rows[size_t(i)].Height;
        }
    }
    SetItemIndex(C, pre >= 0 ? pre : C.ItemIndex());

    // Height of the popup.
    const qreal screenH = FEnv.Screen ? FEnv.Screen().height() : std::numeric_limits<qreal>::max();
    if (C.UseParentParameter) {
        const qreal H = T + (custom ? RP.BGMargins.top() + RP.BGMargins.bottom() : 0);
        if (H > L.Height)
            L.Height = H;
        if (screenH < L.Height)
            L.Height = screenH;
        if (RP.CustomHeight != 0) {
            L.Height = RP.CustomHeight;
        } else {
            L.Height = H;
            if (L.Height > screenH)
                L.Height = screenH;
        }
    } else {
        const qreal H = RP.BGMargins.top() + T + 5 + RP.BGMargins.bottom();
        if (H > L.Height)
            L.Height = H;
        if (C.Parameters.CustomHeight != 0)
            L.Height = C.Parameters.CustomHeight;
        if (L.Height > screenH)
            L.Height = screenH;
    }

    // Width: measured on the caption with the most characters only.
    QString longest = QStringLiteral(" ");
    bool any = false;
    for (const TkwMenuRow &row : L.Rows) {
        if (row.Text.size() > longest.size()) {
            longest = row.Text;
            any = true;
        }
    }
    if (any) {
        auto measure = [this](const TkwMenuFont &f, const QString &s) { return FEnv.TextWidth ? FEnv.TextWidth(f, s) : 0; };
        if (C.UseParentParameter) {
            const TkwMenuFont &font = custom ? RP.ItemFont : C.ItemDefaultFont;
            qreal W = measure(font, longest) + 100;
            if (custom)
                W += RP.BGMargins.left() + RP.BGMargins.right();
            if (!L.Open)
                L.Width = RP.CustomWidth != 0 ? RP.CustomWidth : W;
        } else {
            const TMenuParams &CP = C.Parameters;
            qreal W = CP.ItemAutoSize ? measure(CP.ItemFont, longest) + 100 : CP.ItemWidth;
            W += CP.BGMargins.left() + CP.BGMargins.right();
            if (!L.Open)
                L.Width = CP.CustomWidth != 0 ? CP.CustomWidth : W;
        }
    }

    Layout(C);
    ScrollTo(C, L.ScrollY);
    if (L.Valid(L.ItemIndex))
        ScrollIntoView(C, L.ItemIndex);
    Changed(C);
}

void TkwMenuController::SetRowCount(TkwMenuItemsEx &C, int count)
{
    TkwMenuLevel &L = *C.Level();
    // Surplus rows go from the last one down.
    for (int i = L.Count() - 1; i >= count; --i) {
        if (i < L.ItemIndex) {
            --L.ItemIndex;
            C.SetItemIndex(L.ItemIndex);
        }
        SetRowSelected(C, i, false);
        L.Rows.pop_back();
    }
    // A current, hovered or pressed row that is gone is none.
    if (!L.Valid(L.ItemIndex) && L.ItemIndex != -1) {
        L.ItemIndex = -1;
        C.SetItemIndex(-1);
    }
    if (!L.Valid(L.MoveOverRow))
        L.MoveOverRow = -1;
    if (!L.Valid(L.MouseDownRow))
        L.MouseDownRow = -1;
}

void TkwMenuController::Layout(TkwMenuItemsEx &C)
{
    TkwMenuLevel &L = *C.Level();
    qreal y = 0;
    for (TkwMenuRow &row : L.Rows) {
        row.Top = y;
        y += row.Height;
    }
    // The current row shows as selected again, unless it opens a sub-menu.
    if (L.Valid(L.ItemIndex) && !L.Rows[size_t(L.ItemIndex)].IsExtender)
        SetRowSelected(C, L.ItemIndex, true);
}

// ---- placing and opening ------------------------------------------------------------------

QRect TkwMenuController::Place(const TkwMenuTarget &target, TvgPlacement placement, QSize size,
                               const std::optional<QRectF> &PlacementRectangle) const
{
    const QRectF anchor = PlacementRectangle
                              ? QRectF(target.ScreenRect.topLeft() + PlacementRectangle->topLeft(),
                                       PlacementRectangle->size())
                              : target.ScreenRect;
    const qreal w = size.width(), h = size.height();
    const QPointF pointer = FEnv.Pointer ? QPointF(FEnv.Pointer()) : anchor.topLeft();
    QPointF pos;
    switch (placement) {
    case vgPlacementBottom: pos = {anchor.left(), anchor.bottom()}; break;
    case vgPlacementTop: pos = {anchor.left(), anchor.top() - h}; break;
    case vgPlacementLeft: pos = {anchor.left() - w, anchor.top()}; break;
    case vgPlacementRight: pos = {anchor.right(), anchor.top()}; break;
    case vgPlacementCenter: pos = anchor.center() - QPointF(w / 2, h / 2); break;
    case vgPlacementBottomCenter: pos = {anchor.center().x() - w / 2, anchor.bottom()}; break;
    case vgPlacementTopCenter: pos = {anchor.center().x() - w / 2, anchor.top() - h}; break;
    case vgPlacementLeftCenter: pos = {anchor.left() - w, anchor.center().y() - h / 2}; break;
    case vgPlacementRightCenter: pos = {anchor.right(), anchor.center().y() - h / 2}; break;
    case vgPlacementAbsolute: pos = anchor.topLeft(); break;
    case vgPlacementMouse: pos = pointer; break;
    case vgPlacementMouseCenter: pos = pointer - QPointF(w / 2, h / 2); break;
    }
    QRect g(QPoint(int(std::floor(pos.x())), int(std::floor(pos.y()))), size);

    QRect screen = FEnv.Screen ? FEnv.Screen() : QRect(0, 0, 1 << 20, 1 << 20);
    // Flip: a popup that would reach the screen's right edge goes to the left
    // of the window that holds its target (for a sub-menu, its parent popup).
    const QPointF X = TargetScreenPos(target);
    if (X.x() + target.ScreenRect.width() + w >= screen.x() + screen.width()) {
        if (PlacementRectangle) {
            g.moveLeft(g.left() - int(std::trunc(target.ScreenRect.width())));
            g.moveTop(g.top() + 20);
        } else {
            g.moveLeft(target.WindowRect.left() - int(w));
        }
    }
    // Whatever the rule gave, the popup stays on the display of its target.
    if (FEnv.ScreenAt)
        screen = FEnv.ScreenAt(target.ScreenRect.center().toPoint());
    if (g.width() > screen.width())
        g.setWidth(screen.width());
    if (g.height() > screen.height())
        g.setHeight(screen.height());
    if (g.right() > screen.right())
        g.moveRight(screen.right());
    if (g.left() < screen.left())
        g.moveLeft(screen.left());
    if (g.bottom() > screen.bottom())
        g.moveBottom(screen.bottom());
    if (g.top() < screen.top())
        g.moveTop(screen.top());
    return g;
}

void TkwMenuController::PopupAt(TkwMenuItemsEx &C, const TkwMenuTarget &target, TvgPlacement placement,
                                const std::optional<QRectF> &PlacementRectangle)
{
    BuildPopup(C);
    TkwMenuLevel *L = C.Level();
    if (!L)
        return;
    const QSize size(int(std::ceil(L->Width)), int(std::ceil(L->Height)));
    L->Geometry = Place(target, placement, size, PlacementRectangle);
    // The window's whole pixels are the box's size; one cut to the screen
    // scrolls what does not fit.
    L->Width = L->Geometry.width();
    L->Height = L->Geometry.height();
    ScrollTo(C, L->ScrollY);
    if (L->Valid(L->ItemIndex))
        ScrollIntoView(C, L->ItemIndex);
    L->Open = true;
    if (L->View)
        L->View->ShowAt(L->Geometry);
}

// ---- closing ------------------------------------------------------------------------------

void TkwMenuController::ReportClosed(TkwMenuItemsEx &C)
{
    if (FMenu.OnMenuClose) {
        const auto handler = FMenu.OnMenuClose;
        handler(&C);
    }
}

bool TkwMenuController::CloseSubMenus(TkwMenuItemsEx &C)
{
    // Closing runs window code (OnMenuClose), which may free the whole menu.
    const QPointer<TkwMenuEx> alive(&FMenu);
    for (int i = 0; i < C.Count(); ++i) {
        const auto item = C.ItemRef(i);
        if (item && item->SubItems().Count() > 0)
            CloseMenus(item->SubItems());
        if (!alive)
            return false;
    }
    return true;
}

void TkwMenuController::CloseMenus(TkwMenuItemsEx &C)
{
    const auto pin = Pin(C);
    if (!CloseSubMenus(C))
        return;
    TkwMenuLevel *L = C.Level();
    if (L && L->Open) {
        L->Open = false;
        L->MoveOverRow = -1;
        L->MouseDownRow = -1;
        if (L->View)
            L->View->HideView();
        ReportClosed(C);
    }
}

void TkwMenuController::PopupClosedByPlatform(TkwMenuItemsEx &C)
{
    TkwMenuLevel *L = C.Level();
    if (!L || !L->Open)
        return;
    const auto pin = Pin(C);
    // No sub-menu stays open over a level that closed.
    if (!CloseSubMenus(C))
        return;
    L->Open = false;
    L->MoveOverRow = -1;
    L->MouseDownRow = -1;
    ReportClosed(C);
}

void TkwMenuController::ResetItemIndexes(TkwMenuItemsEx &C, const TkwMenuItemsEx *keep)
{
    for (int i = 0; i < C.Count(); ++i) {
        TkwMenuItemEx *item = C.Items(i);
        if (item->SubItems().Count() > 0)
            ResetItemIndexes(item->SubItems(), keep);
    }
    if (&C != keep)
        C.SetItemIndex(-1);
}

void TkwMenuController::CloseMenuTree(TkwMenuItemsEx &) { CloseMenus(FMenu.Items()); }

void TkwMenuController::ResetMenuTree(TkwMenuItemsEx &C) { ResetItemIndexes(FMenu.Items(), &C); }

// ---- the box's state ------------------------------------------------------------------

void TkwMenuController::SetItemIndex(TkwMenuItemsEx &C, int value)
{
    TkwMenuLevel &L = C.EnsureLevel();
    if (value < -1 || value >= L.Count())
        value = -1; // an index outside the rows is no row
    if (value == L.ItemIndex)
        return;
    if (L.Valid(L.ItemIndex))
        SetRowSelected(C, L.ItemIndex, false);
    L.ItemIndex = value;
    if (L.Valid(value)) {
        ScrollIntoView(C, value);
        SetRowSelected(C, value, true);
        // A row that opens a sub-menu is current but never shown as selected.
        if (L.Rows[size_t(value)].IsExtender)
            L.Rows[size_t(value)].IsSelected = false;
    }
    C.SetItemIndex(value);
    Changed(C);
}

void TkwMenuController::SetRowSelected(TkwMenuItemsEx &C, int row, bool value)
{
    TkwMenuLevel &L = *C.Level();
    if (!L.Valid(row) || L.Rows[size_t(row)].IsSelected == value)
        return;
    L.Rows[size_t(row)].IsSelected = value;
    if (value)
        SetItemIndex(C, row);
    else if (L.ItemIndex == row)
        SetItemIndex(C, -1);
    else
        Changed(C);
}

void TkwMenuController::SetRowChecked(TkwMenuItemsEx &C, int row, bool value)
{
    TkwMenuLevel &L = *C.Level();
    if (!L.Valid(row) || L.Rows[size_t(row)].IsChecked == value)
        return;
    L.Rows[size_t(row)].IsChecked = value;
    Changed(C);
}

bool TkwMenuController::RowShowsCheckMark(const TkwMenuItemsEx &C, int row) const
{
    const TkwMenuLevel *L = C.Level();
    if (!L || !L->Valid(row))
        return false;
    const TkwMenuLook look = LookOf(C);
    const TkwMenuRow &r = L->Rows[size_t(row)];
    return look.ShowCheck && (r.IsChecked || (r.IsSelected && look.ShowSelectedCheckMark));
}

QRectF TkwMenuController::ContentRect(const TkwMenuItemsEx &C) const
{
    const TkwMenuLevel *L = C.Level();
    if (!L)
        return {};
    return QRectF(0, 0, L->Width, L->Height).marginsRemoved(LookOf(C).Margins);
}

QRectF TkwMenuController::RowRect(const TkwMenuItemsEx &C, int row) const
{
    const TkwMenuLevel *L = C.Level();
    if (!L || !L->Valid(row))
        return {};
    const QRectF content = ContentRect(C);
    const TkwMenuRow &r = L->Rows[size_t(row)];
    return QRectF(content.left(), content.top() + r.Top - L->ScrollY, content.width(), r.Height);
}

int TkwMenuController::RowAt(const TkwMenuItemsEx &C, QPointF local) const
{
    const TkwMenuLevel *L = C.Level();
    if (!L)
        return -1;
    const QRectF content = ContentRect(C);
    if (!content.contains(local))
        return -1;
    const qreal y = local.y() - content.top() + L->ScrollY;
    for (int i = 0; i < L->Count(); ++i) {
        const TkwMenuRow &r = L->Rows[size_t(i)];
        if (y >= r.Top && y < r.Top + r.Height)
            return i;
    }
    return -1;
}

qreal TkwMenuController::MaxScroll(const TkwMenuItemsEx &C) const
{
    const TkwMenuLevel *L = C.Level();
    if (!L)
        return 0;
    return std::max<qreal>(0, L->ContentHeight() - ContentRect(C).height());
}

void TkwMenuController::ScrollTo(TkwMenuItemsEx &C, qreal y)
{
    TkwMenuLevel *L = C.Level();
    if (!L)
        return;
    const qreal v = std::clamp<qreal>(y, 0, MaxScroll(C));
    if (v != L->ScrollY) {
        L->ScrollY = v;
        Changed(C);
    }
}

void TkwMenuController::ScrollIntoView(TkwMenuItemsEx &C, int row)
{
    TkwMenuLevel *L = C.Level();
    if (!L || !L->Valid(row))
        return;
    const qreal view = ContentRect(C).height();
    if (view <= 0)
        return; // not sized yet: the build brings the row into view
    const TkwMenuRow &r = L->Rows[size_t(row)];
    qreal y = L->ScrollY;
    if (r.Top + r.Height > y + view)
        y = r.Top + r.Height - view;
    if (r.Top < y)
        y = r.Top;
    ScrollTo(C, y);
}

TkwMenuHighlights TkwMenuController::Highlights(const TkwMenuItemsEx &C) const
{
    TkwMenuHighlights h;
    const TkwMenuLevel *L = C.Level();
    if (!L)
        return h;
    const QRectF content = ContentRect(C);
    for (int i = 0; i < L->Count(); ++i) {
        if (!RowRect(C, i).intersects(content))
            continue;
        const TkwMenuRow &r = L->Rows[size_t(i)];
        if (i == L->MoveOverRow && i != L->MouseDownRow)
            h.HoverRow = i;
        else if (i == L->MouseDownRow || r.IsSelected) // the box always shows the selected state
            h.PressedRow = i;
        else
            h.PlainRows.push_back(i);
    }
    return h;
}

// ---- pointer, keys, wheel ------------------------------------------------------------------

void TkwMenuController::MouseDown(TkwMenuItemsEx &C, TkwMouseButton button, QPointF local)
{
    TkwMenuLevel *L = C.Level();
    if (!L || button != TkwMouseButton::Left)
        return;
    const int row = RowAt(C, local);
    L->MouseDownRow = row;
    Changed(C);
    if (row >= 0 && row != L->ItemIndex)
        SetItemIndex(C, row);
    L->MouseSelecting = true;
}

void TkwMenuController::MouseMove(TkwMenuItemsEx &C, QPointF local)
{
    TkwMenuLevel *L = C.Level();
    if (!L)
        return;
    const int row = RowAt(C, local);
    if (row < 0 || row == L->MoveOverRow)
        return; // empty space keeps the last hovered row
    L->MoveOverRow = row;
    Changed(C);

    const auto pin = Pin(C);
    if (!CloseSubMenus(C))
        return;
    const auto hovered = C.ItemRef(row);
    if (hovered && hovered->SubItems().Count() > 0) {
        TkwMenuTarget t;
        const QRectF r = RowRect(C, row);
        t.ScreenRect = r.translated(L->Geometry.topLeft());
        t.WindowRect = L->Geometry;
        PopupAt(hovered->SubItems(), t, vgPlacementRight);
    } else if (L->View) {
        L->View->FocusView();
    }
}

TkwClickResult TkwMenuController::MouseUp(TkwMenuItemsEx &C, TkwMouseButton, QPointF local)
{
    TkwMenuLevel *L = C.Level();
    if (!L)
        return TkwClickResult::Nothing;
    const int row = RowAt(C, local);
    const int pressed = L->MouseDownRow;
    L->MouseSelecting = false;
    if (pressed >= 0) {
        L->MouseDownRow = -1;
        L->MoveOverRow = -1;
        Changed(C);
    }
    const auto item = C.ItemRef(row);
    if (row < 0 || L->Rows[size_t(row)].IsExtender || (item && item->SubItems().Count() > 0))
        return TkwClickResult::Nothing;

    const auto pin = Pin(C);
    const QPointer<TkwMenuEx> alive(&FMenu);
    CloseMenuTree(C);
    if (!alive)
        return TkwClickResult::ClosedOnly;
    ResetMenuTree(C);
    if (row != pressed)
        return TkwClickResult::ClosedOnly;

    const auto chosen = C.ItemRef(L->ItemIndex);
    if (!chosen || chosen->SubItems().Count() > 0)
        return TkwClickResult::ClosedOnly;
    // The window's handler runs once this event is over, with every popup
    // already closed, and only if the item still exists then.
    std::weak_ptr<TkwMenuItemEx> weak = chosen;
    auto run = [weak] {
        const auto target = weak.lock();
        if (!target)
            return;
        if (TkwMenuEx *root = target->GetRootMenu())
            root->Controller().ExecuteItem(*target);
    };
    if (FEnv.Post)
        FEnv.Post(std::move(run));
    else
        run();
    return TkwClickResult::Executed;
}

void TkwMenuController::MouseLeave(TkwMenuItemsEx &C)
{
    TkwMenuLevel *L = C.Level();
    if (!L || L->MoveOverRow < 0)
        return;
    L->MoveOverRow = -1;
    Changed(C);
}

bool TkwMenuController::KeyDown(TkwMenuItemsEx &C, int key, QChar keyChar)
{
    TkwMenuLevel *L = C.Level();
    if (!L || L->Count() == 0)
        return false;
    bool consumed = false;
    if (!keyChar.isNull()) {
        const QString wanted = QString(keyChar).toCaseFolded();
        for (int i = 0; i < L->Count(); ++i) {
            const QString &text = L->Rows[size_t(i)].Text;
            if (!text.isEmpty() && QString(text.at(0)).toCaseFolded() == wanted) {
                SetItemIndex(C, i);
                break;
            }
        }
        consumed = true;
    }
    const int count = L->Count();
    const int index = L->ItemIndex;
    switch (key) {
    case kwVK_END: SetItemIndex(C, count - 1); return true;
    case kwVK_HOME: SetItemIndex(C, 0); return true;
    case kwVK_LEFT:
    case kwVK_UP:
        if (index > 0)
            SetItemIndex(C, index - 1);
        return true;
    case kwVK_RIGHT:
    case kwVK_DOWN:
        if (index < count - 1)
            SetItemIndex(C, std::min(count - 1, index + 1));
        return true;
    default: return consumed;
    }
}

void TkwMenuController::Wheel(TkwMenuItemsEx &C, int delta)
{
    TkwMenuLevel *L = C.Level();
    if (!L || L->Rows.empty())
        return;
    // A notch moves two rows' worth.
    const qreal step = 2 * L->Rows.front().Height;
    ScrollTo(C, L->ScrollY - delta / 120.0 * step);
}

// ---- the click -----------------------------------------------------------------------------

void TkwMenuController::ExecuteItem(TkwMenuItemEx &item)
{
    void *buffer = nullptr;
    int size = 0;
    if (TkwFunctionManager *fm = FMenu.FunctionManager(); fm && FMenu.FunctionItemIndex >= 0) {
        if (TkwFunctionItem *fi = fm->Items().Items(FMenu.FunctionItemIndex)) {
            if (fi->BufferSize() > uint32_t(std::numeric_limits<int>::max())) {
                qWarning("kwMenuEx: function buffer too large to report; click dropped");
                return;
            }
            buffer = fi->BufferPointer();
            size = int(fi->BufferSize());
        }
    }
    if (item.OnClick) {
        const auto handler = item.OnClick;
        handler(&item, buffer, size);
        return;
    }
    if (FMenu.OnItemsClick) {
        const auto handler = FMenu.OnItemsClick;
        const QString name = item.Name;
        handler(&item, name, item.ItemID(), buffer, size);
    }
}

// ---- the open tree --------------------------------------------------------------------

void TkwMenuController::CollectOpen(TkwMenuItemsEx &C, std::vector<TkwMenuItemsEx *> &out)
{
    if (C.GetIsMenuOpened())
        out.push_back(&C);
    for (int i = 0; i < C.Count(); ++i) {
        TkwMenuItemEx *item = C.Items(i);
        if (item->SubItems().Count() > 0)
            CollectOpen(item->SubItems(), out);
    }
}

std::vector<TkwMenuItemsEx *> TkwMenuController::OpenLevels()
{
    std::vector<TkwMenuItemsEx *> out;
    CollectOpen(FMenu.Items(), out);
    // Parents come before their sub-menus: sort by depth.
    auto depth = [](const TkwMenuItemsEx *c) {
        int d = 0;
        for (const TkwMenuItemEx *o = c->OwnerItem(); o; o = o->GetOwner()->OwnerItem())
            ++d;
        return d;
    };
    std::stable_sort(out.begin(), out.end(), [&](auto *a, auto *b) { return depth(a) < depth(b); });
    return out;
}

TkwMenuItemsEx *TkwMenuController::LevelAt(QPoint screen)
{
    const auto open = OpenLevels();
    for (auto it = open.rbegin(); it != open.rend(); ++it)
        if ((*it)->Level()->Geometry.contains(screen))
            return *it;
    return nullptr;
}
