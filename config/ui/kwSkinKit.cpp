#include "config/ui/kwSkinKit.h"

#include "config/ui/ImageDataBaseUnit.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCursor>
#include <QEnterEvent>
#include <QFile>
#include <QFont>
#include <QGuiApplication>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QStyleOptionSpinBox>
#include <QScreen>
#include <QShowEvent>
#include <QStyle>
#include <QToolTip>
#include <QWheelEvent>
#include <QWindow>

#include <algorithm>
#include <cmath>

namespace hkt::skin {

// ---- fonts and styles --------------------------------------------------------

void InstallFontSubstitutes()
{
    static bool done = false;
    if (done)
        return;
    done = true;
    const QString cjk = QStringLiteral("WenQuanYi Micro Hei");
    QFont::insertSubstitutions(QStringLiteral("Futura Std Medium"), {QStringLiteral("DejaVu Sans"), cjk});
    QFont::insertSubstitutions(QStringLiteral("Myriad Pro"), {QStringLiteral("Liberation Sans"), cjk});
    QFont::insertSubstitutions(QStringLiteral("Tahoma"), {QStringLiteral("DejaVu Sans"), cjk});
    QFont::insertSubstitutions(QStringLiteral("Verdana"), {QStringLiteral("DejaVu Sans"), cjk});
    QFont::insertSubstitutions(QStringLiteral("\u9ED1\u4F53"), {cjk, QStringLiteral("DejaVu Sans")}); // 黑体
}

QFont SkinFont(const QString &family, int pixelSize, bool bold, bool italic)
{
    InstallFontSubstitutes();
    QFont f(family);
    f.setPixelSize(std::max(1, pixelSize));
    f.setBold(bold);
    f.setItalic(italic);
    return f;
}

QPalette SkinPalette()
{
    auto c = [](QRgb rgb) { return QColor::fromRgba(rgb); };
    QPalette pal;
    pal.setColor(QPalette::Window, c(colour::Base));
    pal.setColor(QPalette::WindowText, c(colour::Text));
    pal.setColor(QPalette::Base, c(colour::Void));
    pal.setColor(QPalette::AlternateBase, c(colour::Raised));
    pal.setColor(QPalette::Text, c(colour::Text));
    pal.setColor(QPalette::PlaceholderText, c(colour::TextDim));
    pal.setColor(QPalette::Button, c(colour::Face));
    pal.setColor(QPalette::ButtonText, c(colour::Text));
    pal.setColor(QPalette::BrightText, c(colour::Text));
    pal.setColor(QPalette::Highlight, c(colour::AccentDeep));
    pal.setColor(QPalette::HighlightedText, c(colour::Text));
    pal.setColor(QPalette::Light, c(colour::FaceHot));
    pal.setColor(QPalette::Midlight, c(colour::Face));
    pal.setColor(QPalette::Mid, c(colour::Edge));
    pal.setColor(QPalette::Dark, c(colour::EdgeDark));
    pal.setColor(QPalette::Shadow, c(colour::EdgeDark));
    pal.setColor(QPalette::ToolTipBase, c(colour::Raised));
    pal.setColor(QPalette::ToolTipText, c(colour::Text));
    pal.setColor(QPalette::Link, c(colour::Accent));
    for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        pal.setColor(QPalette::Disabled, role, c(colour::TextDim));
    return pal;
}

namespace {
QPointer<QWidget> &MainWindowRef()
{
    static QPointer<QWidget> w;
    return w;
}
} // namespace

void SetMainWindow(QWidget *w)
{
    MainWindowRef() = w;
}

QWidget *DialogCentreWindow()
{
    if (QWidget *w = MainWindowRef().data())
        return w;
    return QApplication::activeWindow();
}

void SetSkinStyle(QWidget *w, const QString &styleName)
{
    if (!w)
        return;
    w->setProperty("skinStyle", styleName.toLower());
    // Property selectors are evaluated at polish time.
    w->style()->unpolish(w);
    w->style()->polish(w);
    w->update();
}

QString SkinStyleOf(const QWidget *w)
{
    return w ? w->property("skinStyle").toString() : QString();
}

QString LoadStyleFile(const QString &programFolder)
{
    QFile f(ResolvePath(programFolder + QStringLiteral("/images/kw.vgstyle")));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    // A style file is small; anything huge is not ours.
    if (f.size() > 1024 * 1024)
        return {};
    return QString::fromUtf8(f.readAll());
}

// ---- pictures ------------------------------------------------------------------

void AssignStatePictures(TImageDataBase &db, StatePictures &pics, const QString &normal, const QString &hot,
                         const QString &pressed, const QString &subFolder)
{
    db.AssignIMAGE(pics.normal, normal, subFolder);
    db.AssignIMAGE(pics.hot, hot, subFolder);
    db.AssignIMAGE(pics.pressed, pressed, subFolder);
}

void AssignDialogSkin(TImageDataBase &db, std::initializer_list<StateButton *> buttons, SkinImage *back)
{
    for (StateButton *b : buttons) {
        AssignStatePictures(db, b->picturesRef(), QStringLiteral("ok-1.png"), QStringLiteral("ok-2.png"),
                            QStringLiteral("ok-3.png"), QStringLiteral("buttons"));
        b->update();
    }
    if (back) {
        db.AssignIMAGE(back->pictureRef(), QStringLiteral("dlg-back.png"), QStringLiteral("background"));
        back->update();
    }
}

FallbackPainter FaceFallback(FaceKind kind)
{
    return [kind](QPainter &p, const QRectF &r, ButtonState s) { PaintButtonFace(p, r, s, kind); };
}

FallbackPainter CheckFallback()
{
    return [](QPainter &p, const QRectF &r, ButtonState s) { PaintCheckPicture(p, r, s == ButtonState::Pressed); };
}

FallbackPainter GlyphFallback(Glyph g)
{
    return [g](QPainter &p, const QRectF &r, ButtonState s) { PaintGlyphButton(p, r, s, g); };
}

FallbackPainter RecordFallback(bool stop)
{
    return [stop](QPainter &p, const QRectF &r, ButtonState s) { PaintRecordButton(p, r, s != ButtonState::Normal, stop); };
}

// ---- StateButton ---------------------------------------------------------------

StateButton::StateButton(QWidget *parent) : QWidget(parent), FFallback(FaceFallback(FaceKind::Command))
{
    setAttribute(Qt::WA_Hover, true);
    setMouseTracking(true);
    setFocusPolicy(Qt::TabFocus);
    setProperty("kwNoTranslate", true); // paints Translate(source) itself
    connect(&TranslationNotifier::Instance(), &TranslationNotifier::changed, this, [this] { update(); });
}

void StateButton::setPictures(const StatePictures &p)
{
    FPictures = p;
    update();
}

void StateButton::setFallback(FallbackPainter f)
{
    FFallback = std::move(f);
    update();
}

void StateButton::setText(const QString &source)
{
    FSource = source;
    update();
}

QString StateButton::shownText() const
{
    return FAutoTranslate ? TranslateText(FSource) : FSource;
}

// Han and kana have no italic design: slanting them only smears the strokes,
// so they stand upright as the labels' do.
QFont StateButton::captionFont(const QString &caption) const
{
    QFont face = font();
    if (face.italic() && HasCjk(caption))
        face.setItalic(false);
    return face;
}

QRect StateButton::captionRect() const
{
    return rect().adjusted(FIndent, 0, 0, 0);
}

QString StateButton::drawnText() const
{
    const QString caption = shownText();
    const QFontMetrics fm(captionFont(caption));
    const int room = captionRect().width();
    if (fm.horizontalAdvance(caption) <= room)
        return caption;
    // A cut caption keeps clear of the face's rounded ends.
    constexpr int kPad = 4;
    return fm.elidedText(caption, Qt::ElideRight, std::max(0, room - 2 * kPad));
}

void StateButton::setAutoTranslate(bool on)
{
    FAutoTranslate = on;
    update();
}

void StateButton::setChecked(bool on)
{
    if (FChecked == on)
        return;
    FChecked = on;
    update();
    emit toggled(on);
    emitStateIfChanged();
}

void StateButton::setHandCursor(bool on)
{
    if (on)
        setCursor(Qt::PointingHandCursor);
    else
        unsetCursor();
}

ButtonState StateButton::state() const
{
    if ((FDown && FDownInside) || FChecked)
        return ButtonState::Pressed;
    if (FHover && isEnabled())
        return ButtonState::Hot;
    return ButtonState::Normal;
}

void StateButton::emitStateIfChanged()
{
    const ButtonState s = state();
    if (s != FLastState) {
        FLastState = s;
        emit stateChanged(s);
    }
}

void StateButton::setHover(bool h)
{
    FHover = h;
    update();
    emitStateIfChanged();
}

void StateButton::setDown(bool d)
{
    FDown = d;
    FDownInside = d;
    update();
    emitStateIfChanged();
}

void StateButton::click()
{
    if (!isEnabled())
        return;
    if (FStaysPressed)
        setChecked(!FChecked);
    emit clicked();
}

void StateButton::enterEvent(QEnterEvent *)
{
    setHover(true);
}

void StateButton::leaveEvent(QEvent *)
{
    setHover(false);
}

void StateButton::mousePressEvent(QMouseEvent *e)
{
    if (e->button() != Qt::LeftButton) {
        e->ignore();
        return;
    }
    setDown(true);
}

void StateButton::mouseMoveEvent(QMouseEvent *e)
{
    const bool inside = rect().contains(e->position().toPoint());
    if (inside != FHover)
        FHover = inside;
    if (FDown)
        FDownInside = inside;
    update();
    emitStateIfChanged();
}

void StateButton::mouseReleaseEvent(QMouseEvent *e)
{
    if (e->button() != Qt::LeftButton || !FDown) {
        e->ignore();
        return;
    }
    const bool inside = rect().contains(e->position().toPoint());
    setDown(false);
    if (inside)
        click(); // may close and delete the window; touch nothing after it
}

void StateButton::keyPressEvent(QKeyEvent *e)
{
    if (e->key() == Qt::Key_Space || e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) {
        click();
        return;
    }
    QWidget::keyPressEvent(e);
}

void StateButton::changeEvent(QEvent *e)
{
    if (e->type() == QEvent::EnabledChange) {
        if (!isEnabled())
            setDown(false);
        update();
    }
    QWidget::changeEvent(e);
}

void StateButton::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    if (!isEnabled())
        p.setOpacity(0.45);
    const ButtonState s = state();
    // A look without its own picture borrows the normal one.
    const QImage *img = &FPictures.normal;
    if (s == ButtonState::Hot && !FPictures.hot.isNull())
        img = &FPictures.hot;
    else if (s == ButtonState::Pressed && !FPictures.pressed.isNull())
        img = &FPictures.pressed;
    if (!img->isNull()) {
        DrawSliced(p, rect(), *img, FSlice);
    } else if (FFallback) {
        // The resolution-level styles choose the look without pictures: a
        // level that is off stays dim, the current level shows as pressed.
        const QString style = SkinStyleOf(this);
        ButtonState look = s;
        if (style == QLatin1String("mydpibtncurrenta"))
            look = ButtonState::Pressed;
        if (style == QLatin1String("mydpibtn"))
            p.setOpacity(p.opacity() * 0.6);
        FFallback(p, QRectF(rect()), look);
    }

    const QString caption = shownText();
    if (caption.isEmpty())
        return;
    // The style file colours captions of named styles; any other caption is
    // light, since the palette's dark default would vanish on the dark faces.
    QColor ink = QColor::fromRgba(colour::Text);
    if (FTextColor)
        ink = *FTextColor;
    else if (testAttribute(Qt::WA_StyleSheet) && !SkinStyleOf(this).isEmpty())
        ink = palette().color(QPalette::ButtonText);
    QRect textRect = captionRect();
    if (s == ButtonState::Pressed && !FStaysPressed)
        textRect.translate(0, 1);
    p.setFont(captionFont(caption));
    const QString drawn = drawnText();
    p.setPen(QColor(0, 0, 0, 150));
    p.drawText(textRect.translated(0, 1), int(FAlign), drawn);
    p.setPen(ink);
    p.drawText(textRect, int(FAlign), drawn);
}

// ---- SkinImage -----------------------------------------------------------------

SkinImage::SkinImage(QWidget *parent) : QWidget(parent)
{
    FFallback = [](QPainter &p, const QRectF &r) {
        // Placeholder: a quiet panel in the skin's colours.
        p.setRenderHint(QPainter::Antialiasing, true);
        p.setPen(QPen(QColor::fromRgba(colour::Edge), 1));
        p.setBrush(QColor::fromRgba(colour::Raised));
        p.drawRoundedRect(r.adjusted(0.5, 0.5, -0.5, -0.5), 3, 3);
    };
}

void SkinImage::setPicture(const QImage &img)
{
    FPicture = img;
    update();
}

void SkinImage::setFallback(std::function<void(QPainter &, const QRectF &)> f)
{
    FFallback = std::move(f);
    update();
}

QRectF SkinImage::pictureRect() const
{
    const QRectF area(rect());
    if (FPicture.isNull() || FMode == Mode::Stretch)
        return area;
    QSizeF size = FPicture.size();
    if (FMode == Mode::Fit)
        size.scale(area.size(), Qt::KeepAspectRatio);
    return QRectF(area.center().x() - size.width() / 2, area.center().y() - size.height() / 2, size.width(),
                  size.height());
}

void SkinImage::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::SmoothPixmapTransform, true);
    if (FRotation != 0) {
        const QPointF c = QRectF(rect()).center();
        p.translate(c);
        p.rotate(FRotation);
        p.translate(-c);
    }
    if (FPicture.isNull()) {
        if (FFallback)
            FFallback(p, QRectF(rect()));
        return;
    }
    if (FMode == Mode::Stretch)
        DrawSliced(p, rect(), FPicture, FSlice);
    else
        p.drawImage(pictureRect(), FPicture);
}

void SkinImage::mouseReleaseEvent(QMouseEvent *e)
{
    if (e->button() == Qt::LeftButton && rect().contains(e->position().toPoint()))
        emit clicked();
}

// ---- SkinLabel -----------------------------------------------------------------

SkinLabel::SkinLabel(QWidget *parent) : SkinLabel(QString(), parent) {}

SkinLabel::SkinLabel(const QString &source, QWidget *parent) : QLabel(parent), FSource(source)
{
    // This label translates its own source; the language component's walk
    // would take the shown translation for a source and must pass it by.
    setProperty("kwNoTranslate", true);
    // Light text on the dark skin unless the style file says otherwise.
    QPalette pal = palette();
    pal.setColor(QPalette::WindowText, QColor::fromRgba(colour::Text));
    setPalette(pal);
    // Connected with this label as context: a destroyed label is disconnected
    // and never touched by a later language change.
    connect(&TranslationNotifier::Instance(), &TranslationNotifier::changed, this, &SkinLabel::retranslate);
    retranslate();
}

void SkinLabel::setSourceText(const QString &source)
{
    FSource = source;
    retranslate();
}

void SkinLabel::setAutoTranslate(bool on)
{
    FAutoTranslate = on;
    retranslate();
}

void SkinLabel::retranslate()
{
    // Always from the source: translating the shown text would translate a
    // translation after the second language change.
    QLabel::setText(FAutoTranslate ? TranslateText(FSource) : FSource);
    applyScriptFont();
}

bool HasCjk(const QString &text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        char32_t c = text[i].unicode();
        if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            c = QChar::surrogateToUcs4(text[i], text[i + 1]);
            ++i;
        }
        switch (QChar::script(c)) {
        case QChar::Script_Han:
        case QChar::Script_Hiragana:
        case QChar::Script_Katakana:
        case QChar::Script_Hangul:
        case QChar::Script_Bopomofo:
            return true;
        default:
            break;
        }
    }
    return false;
}

void SkinLabel::applyScriptFont()
{
    const bool italic = FDesignItalic && !HasCjk(text());
    if (font().italic() == italic)
        return;
    QFont f = font();
    f.setItalic(italic);
    FAdjustingFont = true;
    QLabel::setFont(f);
    FAdjustingFont = false;
}

void SkinLabel::changeEvent(QEvent *e)
{
    QLabel::changeEvent(e);
    if (e->type() == QEvent::FontChange && !FAdjustingFont) {
        FDesignItalic = font().italic();
        applyScriptFont();
    }
}

// ---- TrackBar --------------------------------------------------------------------

namespace {
constexpr int ThumbLong = 12;  // along the bar
constexpr int ThumbShort = 18; // across the bar
} // namespace

TrackBar::TrackBar(Qt::Orientation o, QWidget *parent) : QWidget(parent), FOrientation(o)
{
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_Hover, true);
}

void TrackBar::setRange(int min, int max)
{
    FMin = min;
    FMax = std::max(min, max);
    setValue(FValue);
    update();
}

void TrackBar::setValue(int v)
{
    v = std::clamp(v, FMin, FMax);
    if (v == FValue)
        return;
    FValue = v;
    update();
    emit valueChanged(v);
}

int TrackBar::snap(int v) const
{
    const long long steps = std::llround(double(v - FMin) / FFrequency);
    const long long snapped = FMin + steps * FFrequency;
    return int(std::clamp<long long>(snapped, FMin, FMax));
}

int TrackBar::span() const
{
    const int length = FOrientation == Qt::Horizontal ? width() : height();
    return std::max(1, length - ThumbLong);
}

int TrackBar::valueAt(const QPoint &pos) const
{
    const int along = FOrientation == Qt::Horizontal ? pos.x() : height() - 1 - pos.y();
    const double fraction = std::clamp(double(along - ThumbLong / 2) / span(), 0.0, 1.0);
    return snap(int(std::lround(FMin + fraction * (double(FMax) - FMin))));
}

QRect TrackBar::thumbRect() const
{
    const double fraction = FMax > FMin ? double(FValue - FMin) / (double(FMax) - FMin) : 0.0;
    const int offset = int(std::lround(fraction * span()));
    if (FOrientation == Qt::Horizontal)
        return QRect(offset, (height() - ThumbShort) / 2, ThumbLong, ThumbShort);
    return QRect((width() - ThumbShort) / 2, height() - ThumbLong - offset, ThumbShort, ThumbLong);
}

void TrackBar::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    if (!isEnabled())
        p.setOpacity(0.45);
    if (!FBack.isNull())
        DrawSliced(p, rect(), FBack, 6);
    else
        PaintBarTrack(p, QRectF(rect()), FOrientation);
    // The filled part of the groove, from the minimum to the thumb.
    const QRect t = thumbRect();
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor::fromRgba(colour::Accent));
    if (FOrientation == Qt::Horizontal)
        p.drawRoundedRect(QRectF(3, height() / 2.0 - 2, t.center().x() - 3, 4), 2, 2);
    else
        p.drawRoundedRect(QRectF(width() / 2.0 - 2, t.center().y(), 4, height() - 3 - t.center().y()), 2, 2);
    PaintBarThumb(p, QRectF(t), FHover || FDragging);
}

void TrackBar::mousePressEvent(QMouseEvent *e)
{
    if (e->button() != Qt::LeftButton)
        return;
    FDragging = true;
    setValue(valueAt(e->position().toPoint()));
}

void TrackBar::mouseMoveEvent(QMouseEvent *e)
{
    if (FDragging)
        setValue(valueAt(e->position().toPoint()));
}

void TrackBar::mouseReleaseEvent(QMouseEvent *e)
{
    if (e->button() == Qt::LeftButton && FDragging) {
        FDragging = false;
        setValue(valueAt(e->position().toPoint()));
        update();
    }
}

bool TrackBar::event(QEvent *e)
{
    switch (e->type()) {
    case QEvent::Hide:
    case QEvent::WindowDeactivate:
    case QEvent::EnabledChange:
        if (e->type() != QEvent::EnabledChange || !isEnabled())
            FDragging = false;
        break;
    default:
        break;
    }
    return QWidget::event(e);
}

void TrackBar::keyPressEvent(QKeyEvent *e)
{
    switch (e->key()) {
    case Qt::Key_Right:
    case Qt::Key_Up:
        setValue(snap(FValue + FFrequency));
        return;
    case Qt::Key_Left:
    case Qt::Key_Down:
        setValue(snap(FValue - FFrequency));
        return;
    case Qt::Key_Home:
        setValue(FMin);
        return;
    case Qt::Key_End:
        setValue(FMax);
        return;
    default:
        QWidget::keyPressEvent(e);
    }
}

void TrackBar::wheelEvent(QWheelEvent *e)
{
    const int notches = e->angleDelta().y() / 120;
    if (notches != 0)
        setValue(snap(FValue + notches * FFrequency));
}

void TrackBar::enterEvent(QEnterEvent *)
{
    FHover = true;
    update();
}

void TrackBar::leaveEvent(QEvent *)
{
    FHover = false;
    update();
}

// ---- NumberBox ---------------------------------------------------------------------

NumberBox::NumberBox(QWidget *parent) : QSpinBox(parent)
{
    setAlignment(Qt::AlignCenter);
    setKeyboardTracking(false);
    SetSkinStyle(this, QStringLiteral("numberbox"));
}

void NumberBox::setButtonsVisible(bool on)
{
    setButtonSymbols(on ? QAbstractSpinBox::UpDownArrows : QAbstractSpinBox::NoButtons);
}

namespace {
// The up and down arrows over a spin box already painted: a style sheet that
// colours the buttons leaves them without arrows.
void PaintSpinBoxArrows(QAbstractSpinBox *box, const QStyleOptionSpinBox &opt)
{
    if (box->buttonSymbols() == QAbstractSpinBox::NoButtons)
        return;
    QPainter p(box);
    p.setRenderHint(QPainter::Antialiasing, true);
    const QColor ink = box->isEnabled() ? QColor::fromRgba(colour::Text) : QColor::fromRgba(colour::TextDim);
    for (const auto sc : {QStyle::SC_SpinBoxUp, QStyle::SC_SpinBoxDown}) {
        const QRectF r = box->style()->subControlRect(QStyle::CC_SpinBox, &opt, sc, box);
        if (r.isEmpty())
            continue;
        const qreal h = std::min(3.0, r.height() / 3);
        const QPointF c = r.center();
        const bool up = sc == QStyle::SC_SpinBoxUp;
        QPainterPath tri;
        tri.moveTo(c.x() - h - 1, c.y() + (up ? h / 2 : -h / 2));
        tri.lineTo(c.x() + h + 1, c.y() + (up ? h / 2 : -h / 2));
        tri.lineTo(c.x(), c.y() + (up ? -h / 2 - 1 : h / 2 + 1));
        tri.closeSubpath();
        p.fillPath(tri, ink);
    }
}
} // namespace

void NumberBox::paintEvent(QPaintEvent *e)
{
    QSpinBox::paintEvent(e);
    QStyleOptionSpinBox opt;
    initStyleOption(&opt);
    PaintSpinBoxArrows(this, opt);
}

// ---- SkinListBox ---------------------------------------------------------------------

SkinListBox::SkinListBox(QWidget *parent) : QWidget(parent)
{
    setFocusPolicy(Qt::StrongFocus);
}

void SkinListBox::clear()
{
    FRows.clear();
    FTop = 0;
    const bool had = FCurrent != -1;
    FCurrent = -1;
    update();
    if (had)
        emit currentRowChanged(-1);
}

void SkinListBox::addRow(const ListRow &row)
{
    FRows.push_back(row);
    update();
}

ListRow *SkinListBox::row(int index)
{
    if (index < 0 || index >= count())
        return nullptr;
    return &FRows[size_t(index)];
}

void SkinListBox::setCurrentRow(int index)
{
    if (index < -1 || index >= count() || index == FCurrent)
        return;
    FCurrent = index;
    if (index >= 0)
        ensureVisible(index);
    update();
    emit currentRowChanged(index);
}

void SkinListBox::setTopRow(int index)
{
    const int top = std::clamp(index, 0, std::max(0, count() - 1));
    if (top != FTop) {
        FTop = top;
        update();
    }
}

QRect SkinListBox::rowRect(int index) const
{
    if (index < FTop || index >= count())
        return {};
    int y = 0;
    for (int i = FTop; i < index; ++i)
        y += FRows[size_t(i)].height;
    return QRect(0, y, width(), FRows[size_t(index)].height);
}

int SkinListBox::rowAt(const QPoint &pos) const
{
    if (pos.x() < 0 || pos.x() >= width() || pos.y() < 0)
        return -1;
    int y = 0;
    for (int i = FTop; i < count(); ++i) {
        y += FRows[size_t(i)].height;
        if (pos.y() < y)
            return y - FRows[size_t(i)].height < height() ? i : -1;
    }
    return -1;
}

void SkinListBox::ensureVisible(int index)
{
    if (index < 0 || index >= count())
        return;
    if (index < FTop) {
        setTopRow(index);
        return;
    }
    // Move down until the row's bottom is inside the box.
    while (FTop < index) {
        int y = 0;
        for (int i = FTop; i <= index; ++i)
            y += FRows[size_t(i)].height;
        if (y <= height())
            break;
        ++FTop;
    }
    update();
}

QRect SkinListBox::textRect(const ListRow &r, int top) const
{
    const int right = r.showError ? 22 : 4;
    return QRect(r.textX, top, std::max(0, width() - r.textX - right), r.height);
}

QString SkinListBox::drawnText(int index) const
{
    if (index < 0 || index >= count())
        return QString();
    const ListRow &r = FRows[size_t(index)];
    return fontMetrics().elidedText(r.text, Qt::ElideRight, textRect(r, 0).width());
}

bool SkinListBox::event(QEvent *e)
{
    if (e->type() == QEvent::ToolTip) {
        const auto *help = static_cast<QHelpEvent *>(e);
        const int i = rowAt(help->pos());
        if (i >= 0 && drawnText(i) != FRows[size_t(i)].text)
            QToolTip::showText(help->globalPos(), FRows[size_t(i)].text, this, rowRect(i));
        else
            QToolTip::hideText();
        return true;
    }
    return QWidget::event(e);
}

void SkinListBox::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setFont(font());
    int y = 0;
    for (int i = FTop; i < count() && y < height(); ++i) {
        const ListRow &r = FRows[size_t(i)];
        const QRect rr(0, y, width(), r.height);
        if (i == FCurrent) {
            QLinearGradient g(rr.topLeft(), rr.topRight());
            g.setColorAt(0, QColor::fromRgba(colour::AccentDeep));
            g.setColorAt(1, QColor(0x0A, 0x3D, 0x66, 60));
            p.fillRect(rr, g);
            p.fillRect(QRect(rr.left(), rr.top(), 2, rr.height()), QColor::fromRgba(colour::Accent));
        }
        if (!r.flag.isNull()) {
            const int fy = rr.top() + (rr.height() - r.flag.height()) / 2;
            p.drawImage(QPoint(r.flagX, fy), r.flag);
        } else if (r.flagFallback) {
            const int side = std::min(12, rr.height() - 2);
            PaintFlag(p, QRectF(r.flagX, rr.top() + (rr.height() - side) / 2.0, side, side), *r.flagFallback);
        }
        p.setPen(r.textColor);
        const QRect tr = textRect(r, rr.top());
        p.drawText(tr, Qt::AlignLeft | Qt::AlignVCenter,
                   fontMetrics().elidedText(r.text, Qt::ElideRight, tr.width()));
        if (r.showError)
            PaintErrorIcon(p, QRectF(width() - 20, rr.top() + (rr.height() - 18) / 2.0, 18, 18));
        y += r.height;
    }
}

void SkinListBox::mousePressEvent(QMouseEvent *e)
{
    if (e->button() != Qt::LeftButton)
        return;
    const int i = rowAt(e->position().toPoint());
    if (i < 0)
        return;
    setCurrentRow(i);
    emit rowClicked(i);
}

void SkinListBox::wheelEvent(QWheelEvent *e)
{
    const int notches = e->angleDelta().y() / 120;
    if (notches != 0)
        scrollBy(-notches);
}

void SkinListBox::keyPressEvent(QKeyEvent *e)
{
    if (count() == 0) {
        QWidget::keyPressEvent(e);
        return;
    }
    switch (e->key()) {
    case Qt::Key_Up:
        setCurrentRow(std::max(0, FCurrent - 1));
        return;
    case Qt::Key_Down:
        setCurrentRow(std::min(count() - 1, FCurrent + 1));
        return;
    case Qt::Key_Home:
        setCurrentRow(0);
        return;
    case Qt::Key_End:
        setCurrentRow(count() - 1);
        return;
    default:
        QWidget::keyPressEvent(e);
    }
}

// ---- SkinDialog ---------------------------------------------------------------------

SkinDialog::SkinDialog(QWidget *centreOn, int width, int height)
    : QDialog(nullptr, Qt::Dialog | Qt::FramelessWindowHint), FCentreOn(centreOn)
{
    setFixedSize(width, height);
    setModal(true);
    InstallFontSubstitutes();
    // Dark base under the pictures, so no light frame shows at the edges.
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor::fromRgba(colour::Void));
    setPalette(pal);
    setAutoFillBackground(true);
}

void SkinDialog::bindModalResult(StateButton *b)
{
    connect(b, &StateButton::clicked, this, [this, b] {
        if (b->modalResult() != 0)
            done(b->modalResult());
    });
}

std::optional<QPoint> CentredPosition(const QWidget *centreOn, const QSize &size)
{
    QRect area;
    if (centreOn)
        area = centreOn->window()->frameGeometry();
    else if (QScreen *s = QGuiApplication::primaryScreen())
        area = s->availableGeometry();
    if (!area.isValid())
        return std::nullopt;
    return area.center() - QPoint(size.width() / 2, size.height() / 2);
}

namespace {

// What SkinStandardDialog leaves on the dialog: the placement at each show,
// and the arrows over each spin box's own painting.
class StandardDialogSkin : public QObject
{
public:
    StandardDialogSkin(QDialog *dialog, QWidget *centreOn) : QObject(dialog), FDialog(dialog), FCentreOn(centreOn)
    {
        dialog->installEventFilter(this);
        for (QAbstractSpinBox *box : dialog->findChildren<QAbstractSpinBox *>()) {
            // Framed and filled as the suite's own number boxes.
            SetSkinStyle(box, QStringLiteral("numberbox"));
            box->installEventFilter(this);
        }
    }

protected:
    bool eventFilter(QObject *watched, QEvent *e) override
    {
        // Before QDialog's own placement, which a position set here skips;
        // the dialog's size is final by now.
        if (watched == FDialog && e->type() == QEvent::Show && !static_cast<QShowEvent *>(e)->spontaneous()) {
            if (const auto at = CentredPosition(FCentreOn, FDialog->frameGeometry().size()))
                FDialog->move(*at);
            return false;
        }
        if (e->type() == QEvent::Paint) {
            if (auto *box = qobject_cast<QAbstractSpinBox *>(watched)) {
                // The box paints itself first (the event goes past this
                // filter), then the arrows go over it.
                static_cast<QObject *>(box)->event(e);
                QStyleOptionSpinBox opt;
                opt.initFrom(box);
                opt.buttonSymbols = box->buttonSymbols();
                opt.frame = box->hasFrame();
                opt.subControls = QStyle::SC_SpinBoxFrame | QStyle::SC_SpinBoxEditField | QStyle::SC_SpinBoxUp |
                                  QStyle::SC_SpinBoxDown;
                PaintSpinBoxArrows(box, opt);
                return true;
            }
        }
        return false;
    }

private:
    QDialog *FDialog;
    QPointer<QWidget> FCentreOn;
};

} // namespace

void SkinStandardDialog(QDialog *dialog, QWidget *centreOn)
{
    const QPalette palette = SkinPalette();
    dialog->setPalette(palette);
    for (QWidget *w : dialog->findChildren<QWidget *>())
        w->setPalette(palette);
    dialog->setFont(SkinFont(QStringLiteral("Tahoma"), 12));
    new StandardDialogSkin(dialog, centreOn);
}

void SkinDialog::placeCentred()
{
    if (const auto at = CentredPosition(FCentreOn, size()))
        move(*at);
}

StateButton *SkinDialog::addCommandButton(const QRect &geometry, const QString &caption, int modalResult,
                                          const QString &objectName, int fontPx)
{
    auto *b = Place<StateButton>(this, geometry.x(), geometry.y(), geometry.width(), geometry.height());
    b->setText(caption);
    b->setModalResult(modalResult);
    b->setFont(SkinFont(QStringLiteral("Myriad Pro"), fontPx, true));
    b->setObjectName(objectName);
    SetSkinStyle(b, QStringLiteral("MyStateBtn"));
    bindModalResult(b);
    return b;
}

int SkinDialog::runModal(bool tellDismissal)
{
    // A window hidden by the program (its end) leaves exec() with the result
    // it had: 0, as for Escape.
    setResult(ResultDismissed);
    const int r = exec();
    if (r == ResultOK)
        return ResultOK;
    if (tellDismissal && r != ResultCancel)
        return ResultDismissed;
    return ResultCancel;
}

void SkinDialog::reject()
{
    done(ResultDismissed);
}

void SkinDialog::showEvent(QShowEvent *e)
{
    placeCentred();
    // Without a parent widget the window manager would not know the window
    // belongs to the one it is centred on, and could stack it behind it.
    if (FCentreOn && windowHandle()) {
        if (QWindow *owner = FCentreOn->window()->windowHandle(); owner && owner != windowHandle())
            windowHandle()->setTransientParent(owner);
    }
    QDialog::showEvent(e);
}

} // namespace hkt::skin
