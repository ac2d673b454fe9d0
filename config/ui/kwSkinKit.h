// The skinned widget kit the windows are built from: picture buttons with
// normal, hot and pressed looks, picture boxes, self-translating labels,
// track bars, number boxes and list rows, placed at pixel positions on
// frameless windows. Every control draws the suite's own look when a skin
// picture is missing, so a window never depends on its skin files.
#pragma once

#include "config/ui/kwSkinPaint.h"
#include "config/ui/kwTranslateHook.h"

#include <QDialog>
#include <QImage>
#include <QLabel>
#include <QObject>
#include <QPalette>
#include <QPointer>
#include <QSpinBox>
#include <QString>
#include <QWidget>

#include <functional>
#include <initializer_list>
#include <optional>
#include <vector>

class TImageDataBase;

namespace hkt::skin {

// ---- fonts and styles --------------------------------------------------------

// Maps the faces the windows name ("Futura Std Medium", "Myriad Pro", "Tahoma",
// "Verdana", the Chinese UI face) to installed free faces. Idempotent.
void InstallFontSubstitutes();
// A font sized in pixels, as the windows give their sizes.
QFont SkinFont(const QString &family, int pixelSize, bool bold = false, bool italic = false);

// The skin's colours for Qt's own widgets (the standard file dialogs): dark
// surfaces, light text, the accent for selections; disabled text dimmed.
QPalette SkinPalette();

// Whether a text holds Han, kana or hangul: such texts are shown upright.
bool HasCjk(const QString &text);

// Marks a widget with a named style of the style file (matched in lower case).
void SetSkinStyle(QWidget *w, const QString &styleName);
QString SkinStyleOf(const QWidget *w);

// The style sheet in <program>/images/kw.vgstyle; empty when it is missing
// or unreadable.
QString LoadStyleFile(const QString &programFolder);

// ---- pictures ------------------------------------------------------------------

struct StatePictures
{
    QImage normal, hot, pressed;
};
// Fills the three pictures through the cache (pictures it cannot supply stay
// as they were).
void AssignStatePictures(TImageDataBase &db, StatePictures &pics, const QString &normal, const QString &hot,
                         const QString &pressed, const QString &subFolder);

class StateButton;
class SkinImage;
// The skin of the suite's small dialogs: "ok-1.png", "ok-2.png" and
// "ok-3.png" from "buttons" (normal, hot, pressed) for every button, and
// "dlg-back.png" from "background" for the back picture.
void AssignDialogSkin(TImageDataBase &db, std::initializer_list<StateButton *> buttons, SkinImage *back);

// How a control paints itself when it has no picture for a look.
using FallbackPainter = std::function<void(QPainter &, const QRectF &, ButtonState)>;
FallbackPainter FaceFallback(FaceKind kind);
FallbackPainter CheckFallback();
FallbackPainter GlyphFallback(Glyph g);
FallbackPainter RecordFallback(bool stop);

// ---- controls ----------------------------------------------------------------

// A button drawn from three pictures with a caption on top. With StaysPressed
// a click toggles Checked and a checked button shows its pressed picture.
class StateButton : public QWidget
{
    Q_OBJECT
public:
    explicit StateButton(QWidget *parent = nullptr);

    void setPictures(const StatePictures &p);
    const StatePictures &pictures() const { return FPictures; }
    StatePictures &picturesRef() { return FPictures; }
    void setFallback(FallbackPainter f);

    // The caption is a source text, shown translated when AutoTranslate is on.
    void setText(const QString &source);
    QString text() const { return FSource; }
    QString shownText() const;
    // The caption as drawn: cut at its end with "…" when it is wider than
    // the button, so its beginning always shows. The hint carries it whole.
    QString drawnText() const;
    void setAutoTranslate(bool on);
    void setTextAlignment(Qt::Alignment a) { FAlign = a; update(); }
    void setTextIndent(int px) { FIndent = px; update(); }
    void setTextColor(const QColor &c) { FTextColor = c; update(); }

    void setStaysPressed(bool on) { FStaysPressed = on; }
    bool staysPressed() const { return FStaysPressed; }
    void setChecked(bool on);
    bool isChecked() const { return FChecked; }

    void setModalResult(int r) { FModalResult = r; }
    int modalResult() const { return FModalResult; }
    void setHandCursor(bool on);
    // Corner size kept unscaled when a picture is drawn at another size.
    void setSliceMargin(int px) { FSlice = px; update(); }

    ButtonState state() const;

    // Runs a click as if the user had clicked the button.
    void click();

signals:
    void clicked();
    void toggled(bool checked);
    void stateChanged(hkt::skin::ButtonState s);

protected:
    void paintEvent(QPaintEvent *) override;
    void enterEvent(QEnterEvent *) override;
    void leaveEvent(QEvent *) override;
    void mousePressEvent(QMouseEvent *) override;
    void mouseMoveEvent(QMouseEvent *) override;
    void mouseReleaseEvent(QMouseEvent *) override;
    void keyPressEvent(QKeyEvent *) override;
    void changeEvent(QEvent *) override;

private:
    QFont captionFont(const QString &caption) const;
    QRect captionRect() const;
    void setHover(bool h);
    void setDown(bool d);
    void emitStateIfChanged();

    StatePictures FPictures;
    FallbackPainter FFallback;
    QString FSource;
    bool FAutoTranslate = true;
    Qt::Alignment FAlign = Qt::AlignCenter;
    int FIndent = 0;
    std::optional<QColor> FTextColor;
    bool FStaysPressed = false;
    bool FChecked = false;
    bool FHover = false;
    bool FDown = false;      // left button went down on us and is still held
    bool FDownInside = false;
    int FModalResult = 0;
    int FSlice = 8;
    ButtonState FLastState = ButtonState::Normal;
};

// A picture box: stretched (optionally with unscaled corners), fitted or
// centred, turned by an angle; paints its fallback when it has no picture.
class SkinImage : public QWidget
{
    Q_OBJECT
public:
    enum class Mode { Stretch, Fit, Center };
    explicit SkinImage(QWidget *parent = nullptr);

    void setPicture(const QImage &img);
    QImage &pictureRef() { return FPicture; }
    const QImage &picture() const { return FPicture; }
    void setMode(Mode m) { FMode = m; update(); }
    void setSliceMargin(int px) { FSlice = px; update(); }
    void setRotation(qreal degrees) { FRotation = degrees; update(); }
    qreal rotation() const { return FRotation; }
    void setFallback(std::function<void(QPainter &, const QRectF &)> f);
    // Where the picture lands inside the widget (for Fit and Center).
    QRectF pictureRect() const;

signals:
    void clicked();

protected:
    void paintEvent(QPaintEvent *) override;
    void mouseReleaseEvent(QMouseEvent *) override;

private:
    QImage FPicture;
    Mode FMode = Mode::Stretch;
    int FSlice = 0;
    qreal FRotation = 0;
    std::function<void(QPainter &, const QRectF &)> FFallback;
};

// A label that keeps its source text and shows its translation; it follows
// language changes by translating the source again, never its own output.
class SkinLabel : public QLabel
{
    Q_OBJECT
public:
    explicit SkinLabel(QWidget *parent = nullptr);
    SkinLabel(const QString &source, QWidget *parent = nullptr);

    void setSourceText(const QString &source);
    QString sourceText() const { return FSource; }
    void setAutoTranslate(bool on);
    bool autoTranslate() const { return FAutoTranslate; }
    // Whether the font given to the label is italic. Han, kana and hangul
    // texts are shown upright whatever the font says: those scripts have no
    // italic, and a slanted CJK face is only a sheared picture of the upright.
    bool designItalic() const { return FDesignItalic; }

protected:
    void changeEvent(QEvent *e) override;

private:
    void retranslate();
    void applyScriptFont();
    QString FSource;
    bool FAutoTranslate = true;
    bool FDesignItalic = false;
    bool FAdjustingFont = false;
};

// A track bar whose user moves land on multiples of Frequency from Minimum.
// Vertical bars have their minimum at the bottom.
class TrackBar : public QWidget
{
    Q_OBJECT
public:
    explicit TrackBar(Qt::Orientation o, QWidget *parent = nullptr);

    void setRange(int min, int max);
    int minimum() const { return FMin; }
    int maximum() const { return FMax; }
    void setFrequency(int f) { FFrequency = f > 0 ? f : 1; }
    int frequency() const { return FFrequency; }
    // Clamped to the range; emits valueChanged only when the value changes.
    void setValue(int v);
    int value() const { return FValue; }
    void setBackground(const QImage &img) { FBack = img; update(); }
    QImage &backgroundRef() { return FBack; }

    // The value a user press at `pos` chooses (clamped, snapped).
    int valueAt(const QPoint &pos) const;
    // The thumb's rectangle for the current value.
    QRect thumbRect() const;
    // True while the user holds the thumb (pressed, not yet released).
    bool isDragging() const { return FDragging; }

signals:
    void valueChanged(int value);

protected:
    void paintEvent(QPaintEvent *) override;
    void mousePressEvent(QMouseEvent *) override;
    void mouseMoveEvent(QMouseEvent *) override;
    void mouseReleaseEvent(QMouseEvent *) override;
    void keyPressEvent(QKeyEvent *) override;
    void wheelEvent(QWheelEvent *) override;
    void enterEvent(QEnterEvent *) override;
    void leaveEvent(QEvent *) override;
    // A drag also ends when the bar can no longer get its release (hidden,
    // disabled, its window deactivated): a held bar holds the window's
    // profile switches, so it never stays held.
    bool event(QEvent *) override;

private:
    int snap(int v) const;
    int span() const; // pixels the thumb's centre can travel
    Qt::Orientation FOrientation;
    int FMin = 0, FMax = 100, FFrequency = 1, FValue = 0;
    bool FDragging = false, FHover = false;
    QImage FBack;
};

// A whole-number box; optionally without up and down buttons.
class NumberBox : public QSpinBox
{
    Q_OBJECT
public:
    explicit NumberBox(QWidget *parent = nullptr);
    void setButtonsVisible(bool on);

protected:
    // Draws the arrows itself: a style sheet that colours the buttons leaves
    // them without arrows.
    void paintEvent(QPaintEvent *e) override;
};

// One row of a SkinListBox.
struct ListRow
{
    QString text;
    QImage flag;                       // picture at the row's left
    std::optional<Flag> flagFallback;  // painted when `flag` is null
    int flagX = 0;                     // where the picture starts
    int textX = 4;                     // where the text starts
    int height = 19;
    QColor textColor = QColor::fromRgba(colour::Text);
    bool showError = false;            // the 18 x 18 error mark at the right edge
};

// Rows of fixed heights with one selected row that stays visible without
// focus; no scroll bars, scrolled by whole rows.
class SkinListBox : public QWidget
{
    Q_OBJECT
public:
    explicit SkinListBox(QWidget *parent = nullptr);

    void clear();
    void addRow(const ListRow &row);
    int count() const { return int(FRows.size()); }
    // nullptr for an index out of range.
    ListRow *row(int index);
    void updateRow(int index) { (void)index; update(); }
    // A row's text as drawn: cut at its end with "…" when it is wider than
    // its room; the pointer resting on such a row shows it whole.
    QString drawnText(int index) const;

    int currentRow() const { return FCurrent; }
    // -1 clears the selection; any other index out of range is ignored.
    void setCurrentRow(int index);

    int topRow() const { return FTop; }
    void setTopRow(int index);
    void scrollBy(int rows) { setTopRow(FTop + rows); }
    int rowAt(const QPoint &pos) const;
    QRect rowRect(int index) const;
    void ensureVisible(int index);

signals:
    void currentRowChanged(int index);
    void rowClicked(int index);

protected:
    bool event(QEvent *) override;
    void paintEvent(QPaintEvent *) override;
    void mousePressEvent(QMouseEvent *) override;
    void wheelEvent(QWheelEvent *) override;
    void keyPressEvent(QKeyEvent *) override;

private:
    QRect textRect(const ListRow &r, int top) const;

    std::vector<ListRow> FRows;
    int FCurrent = -1;
    int FTop = 0;
};

// The program's main window: the suite's dialogs are centred on it whichever
// window is active (or none). Null (the default, and after the window is
// gone): the active window.
void SetMainWindow(QWidget *w);
QWidget *DialogCentreWindow();

// Where a window of `size` stands centred on `centreOn`'s window (on the
// primary screen's free area without one); nothing when there is neither.
std::optional<QPoint> CentredPosition(const QWidget *centreOn, const QSize &size);

// Dresses one of Qt's own dialogs (the file and colour dialogs) as the
// suite's: the skin's palette on it and every child (the program's style
// sheet stops a palette from passing down), its face, the arrows of its
// spin boxes drawn as NumberBox draws them, and centred on `centreOn` each
// time it is shown, as the suite's dialogs are (Qt's own placement guesses a
// window frame where there is none and lands 40 px above, 10 px left).
// Call once the dialog has built its children.
void SkinStandardDialog(QDialog *dialog, QWidget *centreOn);

// A borderless modal window of fixed size. Its results follow the windows'
// convention: a button's modal result, and 2 for every other way to close
// (Escape, the window manager, reject(), hidden by the program) unless the
// caller asks to tell those apart (0).
class SkinDialog : public QDialog
{
    Q_OBJECT
public:
    static constexpr int ResultDismissed = 0;
    static constexpr int ResultOK = 1;
    static constexpr int ResultCancel = 2;

    // The window has no parent (its show routine owns it), so closing the
    // window it is centred on never deletes it under a running exec().
    SkinDialog(QWidget *centreOn, int width, int height);
    // Clicking `b` closes the window with b's modal result (when not 0).
    void bindModalResult(StateButton *b);
    // Centred on its parent, or on the screen without one.
    void placeCentred();
    void reject() override;
    // Runs the window modally: 1 for OK, 2 for every other ending; with
    // `tellDismissal`, 2 only for a CANCEL button and 0 for a close by any
    // other way.
    int runModal(bool tellDismissal = false);
    // A command button of the small dialogs ("OK", "CANCEL"): caption in
    // "Myriad Pro" bold of `fontPx`, style "MyStateBtn", its modal result
    // bound to close the window.
    StateButton *addCommandButton(const QRect &geometry, const QString &caption, int modalResult,
                                  const QString &objectName, int fontPx = 14);

protected:
    void showEvent(QShowEvent *e) override;

private:
    QPointer<QWidget> FCentreOn;
};

// Placement helper for pixel layouts.
template <class W, class... Args>
W *Place(QWidget *parent, int x, int y, int w, int h, Args &&...args)
{
    auto *widget = new W(std::forward<Args>(args)..., parent);
    widget->setGeometry(x, y, w, h);
    return widget;
}

} // namespace hkt::skin
