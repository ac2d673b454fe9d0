#include "config/ui/kwMenuBox.h"

#include "config/ui/kwSkinKit.h"
#include "config/ui/kwSkinPaint.h"

#include <QEvent>
#include <QHideEvent>
#include <QKeyEvent>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QWheelEvent>

#include <cmath>

namespace {

int gEventDepth = 0; // menu boxes currently inside an event handler

QBrush ToQBrush(const TkwMenuBrush &b, const QRectF &r)
{
    switch (b.Kind) {
    case TkwMenuBrush::Style::None: return Qt::NoBrush;
    case TkwMenuBrush::Style::Solid: return QBrush(QColor::fromRgba(b.Color));
    case TkwMenuBrush::Style::Gradient: {
        QLinearGradient g(r.left() + b.StartPosition.x() * r.width(), r.top() + b.StartPosition.y() * r.height(),
                          r.left() + b.StopPosition.x() * r.width(), r.top() + b.StopPosition.y() * r.height());
        for (const auto &[offset, colour] : b.Points)
            g.setColorAt(std::clamp<qreal>(offset, 0, 1), QColor::fromRgba(colour));
        return QBrush(g);
    }
    }
    return Qt::NoBrush;
}

Qt::CursorShape CursorOf(TCursor c)
{
    switch (c) {
    case -3: return Qt::CrossCursor;
    case -4: return Qt::IBeamCursor;
    case -11: return Qt::WaitCursor;
    case -21: return Qt::PointingHandCursor;
    default: return Qt::ArrowCursor; // 0 default, -2 arrow and the rest
    }
}

TkwMouseButton ButtonOf(Qt::MouseButton b)
{
    switch (b) {
    case Qt::RightButton: return TkwMouseButton::Right;
    case Qt::MiddleButton: return TkwMouseButton::Middle;
    default: return TkwMouseButton::Left;
    }
}

int VirtualKeyOf(int qtKey)
{
    switch (qtKey) {
    case Qt::Key_End: return kwVK_END;
    case Qt::Key_Home: return kwVK_HOME;
    case Qt::Key_Left: return kwVK_LEFT;
    case Qt::Key_Up: return kwVK_UP;
    case Qt::Key_Right: return kwVK_RIGHT;
    case Qt::Key_Down: return kwVK_DOWN;
    default: return 0;
    }
}

// The style's own highlight looks, used when a menu does not give fills.
void PaintStyleHighlight(QPainter &p, const QRectF &r, bool pressed)
{
    using namespace hkt::skin;
    QLinearGradient g(r.topLeft(), r.topRight());
    const QColor a = QColor::fromRgba(pressed ? colour::AccentDeep : colour::Accent);
    QColor edge = a, mid = a;
    edge.setAlpha(pressed ? 200 : 40);
    mid.setAlpha(pressed ? 255 : 110);
    g.setColorAt(0, edge);
    g.setColorAt(0.5, mid);
    g.setColorAt(1, edge);
    p.fillRect(r, g);
}

void PaintExtenderMark(QPainter &p, const QRectF &box, const QBrush &fill)
{
    // An 8 x 8 arrow pointing to the sub-menu.
    const QPointF c = box.center();
    QPainterPath arrow;
    arrow.moveTo(c.x() - 3, c.y() - 4);
    arrow.lineTo(c.x() + 3, c.y());
    arrow.lineTo(c.x() - 3, c.y() + 4);
    arrow.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(fill);
    p.drawPath(arrow);
}

void PaintCheckMark(QPainter &p, const QRectF &box, const QBrush &fill, bool shown, const QImage &image)
{
    const QPointF c = box.center();
    const QRectF frame(c.x() - 7.5, c.y() - 7.5, 15, 15);
    p.setPen(QPen(QColor(255, 255, 255, 60), 1));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(frame.adjusted(0.5, 0.5, -0.5, -0.5), 2, 2);
    if (!shown)
        return;
    if (!image.isNull()) {
        const QSizeF s = QSizeF(image.size()).scaled(30, 30, Qt::KeepAspectRatio);
        p.drawImage(QRectF(c - QPointF(s.width() / 2, s.height() / 2), s), image);
        return;
    }
    QPainterPath tick;
    tick.moveTo(c.x() - 5, c.y());
    tick.lineTo(c.x() - 1.5, c.y() + 4);
    tick.lineTo(c.x() + 6, c.y() - 5);
    p.setPen(QPen(fill, 2.4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPath(tick);
}

} // namespace

QFont kwMenuQFont(const TkwMenuFont &font)
{
    hkt::skin::InstallFontSubstitutes();
    QFont f(font.Family);
    f.setPixelSize(std::max(1, int(std::lround(font.Size))));
    f.setBold(font.Bold);
    f.setItalic(font.Italic);
    return f;
}

QFont kwMenuQFont(const TkwMenuFont &font, const QString &text)
{
    QFont f = kwMenuQFont(font);
    if (f.italic() && hkt::skin::HasCjk(text))
        f.setItalic(false);
    return f;
}

// ---- the window ----------------------------------------------------------------------

TkwMenuBox::TkwMenuBox(TkwMenuItemsEx &C, QWidget *parent)
    : QWidget(parent, Qt::Popup | Qt::FramelessWindowHint | Qt::NoDropShadowWindowHint), FCollection(&C)
{
    setAttribute(Qt::WA_NoSystemBackground, false);
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    setProperty("kwNoTranslate", true); // captions are translated by the menu itself
}

TkwMenuBox::~TkwMenuBox() = default;

bool TkwMenuBox::InEvent() { return gEventDepth > 0; }

bool TkwMenuBox::event(QEvent *e)
{
    ++gEventDepth;
    const bool r = QWidget::event(e);
    --gEventDepth;
    return r;
}

TkwMenuController *TkwMenuBox::Controller() const
{
    if (!FCollection || !FCollection->RootMenu())
        return nullptr;
    return &FCollection->RootMenu()->Controller();
}

bool TkwMenuBox::IsOpenLevel(const TkwMenuItemsEx *c) const
{
    TkwMenuController *ctl = Controller();
    if (!ctl || !c)
        return false;
    const auto open = ctl->OpenLevels();
    return std::find(open.begin(), open.end(), c) != open.end();
}

TkwMenuItemsEx *TkwMenuBox::Track(QPoint global)
{
    TkwMenuController *ctl = Controller();
    if (!ctl)
        return nullptr;
    TkwMenuItemsEx *under = ctl->LevelAt(global);
    if (under != FPointerLevel) {
        // Look the old level up among the open ones: it may be gone.
        const auto open = ctl->OpenLevels();
        for (TkwMenuItemsEx *c : open)
            if (c == FPointerLevel)
                ctl->MouseLeave(*c);
        FPointerLevel = under;
    }
    return under;
}

void TkwMenuBox::mouseMoveEvent(QMouseEvent *e)
{
    const QPoint global = e->globalPosition().toPoint();
    TkwMenuItemsEx *c = Track(global);
    TkwMenuController *ctl = Controller();
    if (!c || !ctl)
        return;
    ctl->MouseMove(*c, QPointF(global - c->Level()->Geometry.topLeft()));
    // A handler may have ended the menu meanwhile: look everything up again.
    ctl = Controller();
    c = ctl ? ctl->LevelAt(global) : nullptr;
    if (!c)
        return;
    // The row's pointer shape, on whichever popup is topmost.
    const int row = ctl->RowAt(*c, QPointF(global - c->Level()->Geometry.topLeft()));
    if (row >= 0)
        setCursor(CursorOf(c->Level()->Rows[size_t(row)].Cursor));
}

void TkwMenuBox::mousePressEvent(QMouseEvent *e)
{
    TkwMenuController *ctl = Controller();
    if (!ctl)
        return;
    const QPoint global = e->globalPosition().toPoint();
    TkwMenuItemsEx *c = Track(global);
    if (!c) {
        // A press outside every level of the menu closes the whole tree.
        FPressLevel = nullptr;
        ctl->CloseMenus(FCollection->RootMenu()->Items());
        return;
    }
    FPressLevel = c;
    ctl->MouseDown(*c, ButtonOf(e->button()), QPointF(global - c->Level()->Geometry.topLeft()));
}

void TkwMenuBox::mouseReleaseEvent(QMouseEvent *e)
{
    TkwMenuController *ctl = Controller();
    if (!ctl)
        return;
    const QPoint global = e->globalPosition().toPoint();
    // The level that saw the press gets the release, wherever the pointer is.
    TkwMenuItemsEx *c = nullptr;
    if (FPressLevel && IsOpenLevel(FPressLevel))
        c = const_cast<TkwMenuItemsEx *>(FPressLevel);
    else
        c = Track(global);
    FPressLevel = nullptr;
    if (!c)
        return;
    ctl->MouseUp(*c, ButtonOf(e->button()), QPointF(global - c->Level()->Geometry.topLeft()));
}

void TkwMenuBox::wheelEvent(QWheelEvent *e)
{
    TkwMenuController *ctl = Controller();
    if (!ctl)
        return;
    TkwMenuItemsEx *c = ctl->LevelAt(e->globalPosition().toPoint());
    if (!c)
        c = FCollection;
    ctl->Wheel(*c, e->angleDelta().y());
    e->accept();
}

void TkwMenuBox::keyPressEvent(QKeyEvent *e)
{
    TkwMenuController *ctl = Controller();
    if (!ctl)
        return;
    if (e->key() == Qt::Key_Escape) {
        ctl->CloseMenus(*FCollection);
        return;
    }
    QChar ch;
    const QString text = e->text();
    if (text.size() == 1 && text.at(0).isPrint())
        ch = text.at(0);
    if (!ctl->KeyDown(*FCollection, VirtualKeyOf(e->key()), ch))
        e->ignore();
}

void TkwMenuBox::hideEvent(QHideEvent *e)
{
    QWidget::hideEvent(e);
    if (e->spontaneous())
        return;
    // Still open for the menu: the platform closed the popup on its own.
    if (TkwMenuController *ctl = Controller(); ctl && FCollection->GetIsMenuOpened())
        ctl->PopupClosedByPlatform(*FCollection);
}

void TkwMenuBox::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    TkwMenuController *ctl = Controller();
    const QRectF all(rect());
    if (!ctl || !FCollection->Level()) {
        p.fillRect(all, QColor::fromRgba(hkt::skin::colour::Base));
        return;
    }
    const TkwMenuLevel &L = *FCollection->Level();
    const TkwMenuLook look = ctl->LookOf(*FCollection);
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setRenderHint(QPainter::TextAntialiasing, true);

    // Background, and its picture when the parameters give one.
    p.fillRect(all, ToQBrush(look.Background, all));
    if (!look.BackgroundImage.isNull())
        p.drawImage(all, look.BackgroundImage);

    const QRectF content = ctl->ContentRect(*FCollection);
    p.save();
    p.setClipRect(content);
    const TkwMenuHighlights hl = ctl->Highlights(*FCollection);
    auto highlight = [&](int row, const TkwMenuBrush &fill, bool pressed, bool plain) {
        const QRectF r = ctl->RowRect(*FCollection, row);
        if (look.Custom && !fill.IsNone())
            p.fillRect(r, ToQBrush(fill, r));
        else if (!look.Custom && !plain)
            PaintStyleHighlight(p, r, pressed);
    };
    for (int row : hl.PlainRows)
        highlight(row, look.NormalFill, false, true);
    if (hl.HoverRow >= 0)
        highlight(hl.HoverRow, look.OverFill, false, false);
    if (hl.PressedRow >= 0)
        highlight(hl.PressedRow, look.DownFill, true, false);

    // The rows: check part at the left, icon and arrow at the right, caption between.
    for (int i = 0; i < L.Count(); ++i) {
        const QRectF r = ctl->RowRect(*FCollection, i);
        if (!r.intersects(content))
            continue;
        const TkwMenuRow &row = L.Rows[size_t(i)];
        QRectF rest = r;
        if (look.ShowCheck) {
            const QRectF check(rest.left(), rest.top(), 28, rest.height());
            PaintCheckMark(p, check, ToQBrush(look.CheckFill, check), ctl->RowShowsCheckMark(*FCollection, i),
                           look.CheckImage);
            rest.setLeft(rest.left() + 28);
        }
        if (look.HasIcons) {
            const QRectF iconBox(rest.right() - 25, rest.top(), 25, rest.height());
            TkwMenuItemEx *item = FCollection->Items(i);
            if (item && item->ImageIndex >= 0 && item->ImageIndex < FCollection->Images.size()) {
                const QImage &img = FCollection->Images.at(item->ImageIndex);
                const QSizeF s = QSizeF(img.size()).scaled(iconBox.size() - QSizeF(4, 4), Qt::KeepAspectRatio);
                p.drawImage(QRectF(iconBox.center() - QPointF(s.width() / 2, s.height() / 2), s), img);
            }
            rest.setRight(rest.right() - 25);
        }
        const QRectF extender(rest.right() - 20, rest.top(), 20, rest.height());
        rest.setRight(rest.right() - 20);
        if (row.IsExtender)
            PaintExtenderMark(p, extender, ToQBrush(look.ExtenderFill, extender));

        const QRectF textRect = rest.marginsRemoved(look.TextPadding);
        p.setFont(kwMenuQFont(look.Font, row.Text));
        const int flags = Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine;
        if (look.TextShadow) {
            p.setPen(QColor(0, 0, 0, 220));
            p.drawText(textRect.translated(0.8, 0.8), flags, row.Text);
        }
        p.setPen(QPen(ToQBrush(look.FontFill, textRect), 1));
        p.drawText(textRect, flags, row.Text);
    }
    p.restore();

    // Scroll marks when rows lie above or below the visible part.
    const qreal maxScroll = ctl->MaxScroll(*FCollection);
    auto scrollMark = [&](bool up) {
        const qreal y = up ? content.top() + 5 : content.bottom() - 5;
        const qreal x = content.center().x();
        QPainterPath tri;
        tri.moveTo(x - 5, up ? y + 3 : y - 3);
        tri.lineTo(x + 5, up ? y + 3 : y - 3);
        tri.lineTo(x, up ? y - 3 : y + 3);
        tri.closeSubpath();
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(255, 255, 255, 190));
        p.drawPath(tri);
    };
    if (L.ScrollY > 0)
        scrollMark(true);
    if (L.ScrollY < maxScroll)
        scrollMark(false);

    // The frame of the suite's windows: a one-pixel edge with the accent on top.
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor::fromRgba(hkt::skin::colour::Edge), 1));
    p.drawRect(all.adjusted(0.5, 0.5, -0.5, -0.5));
    QColor accent = QColor::fromRgba(hkt::skin::colour::Accent);
    accent.setAlpha(170);
    p.setPen(QPen(accent, 1));
    p.drawLine(QPointF(all.left() + 1, all.top() + 0.5), QPointF(all.right() - 1, all.top() + 0.5));
}

// ---- the view the level owns --------------------------------------------------------

namespace {

class TkwMenuBoxView final : public IkwMenuLevelView {
public:
    explicit TkwMenuBoxView(TkwMenuItemsEx &C)
    {
        QWidget *parent = C.RootMenu() ? C.RootMenu()->PopupParent() : nullptr;
        FBox = new TkwMenuBox(C, parent);
    }
    ~TkwMenuBoxView() override
    {
        if (!FBox)
            return;
        FBox->Detach();
        FBox->hide();
        if (TkwMenuBox::InEvent())
            FBox->deleteLater(); // an event of a menu window may still be on the stack
        else
            delete FBox.data();
    }
    void ShowAt(const QRect &geometry) override
    {
        if (!FBox)
            return;
        FBox->setGeometry(geometry);
        FBox->show();
        FBox->update();
    }
    void HideView() override
    {
        if (FBox)
            FBox->hide();
    }
    void Changed() override
    {
        if (FBox)
            FBox->update();
    }
    void FocusView() override
    {
        if (FBox && FBox->isVisible())
            FBox->setFocus(Qt::OtherFocusReason);
    }

private:
    QPointer<TkwMenuBox> FBox;
};

} // namespace

std::unique_ptr<IkwMenuLevelView> kwCreateMenuBoxView(TkwMenuItemsEx &C)
{
    return std::make_unique<TkwMenuBoxView>(C);
}
