// The suite's skin look as painting code. The skin generator renders the
// shipped pictures with these routines and the widget kit uses the same
// routines whenever a picture is missing, so a window without its skin files
// still looks like the product. Qt Gui only: the generator links no Widgets.
#pragma once

#include <QColor>
#include <QImage>
#include <QRectF>

class QPainter;

namespace hkt::skin {

// The three looks of a button picture.
enum class ButtonState { Normal, Hot, Pressed };

// Palette: deep charcoal surfaces, one accent colour.
namespace colour {
inline constexpr QRgb Void = 0xFF0B0D10;     // outermost background
inline constexpr QRgb Base = 0xFF14171C;     // window surface
inline constexpr QRgb Raised = 0xFF1D2128;   // panels
inline constexpr QRgb Face = 0xFF282D36;     // button faces
inline constexpr QRgb FaceHot = 0xFF323945;
inline constexpr QRgb Edge = 0xFF3A414C;     // 1px borders
inline constexpr QRgb EdgeDark = 0xFF07080A;
inline constexpr QRgb Accent = 0xFF1E9BFF;   // the single accent
inline constexpr QRgb AccentDeep = 0xFF0A3D66;
inline constexpr QRgb Text = 0xFFF2F4F7;
inline constexpr QRgb TextDim = 0xFF9AA3AF;
inline constexpr QRgb Warn = 0xFFFFB020;     // the warning sign only
inline constexpr QRgb Error = 0xFFF04848;
} // namespace colour

// Which face a caption-free button picture shows.
enum class FaceKind {
    Command, // OK, CANCEL and the main window's command buttons
    Large,   // NEW, DELETE in the macro manager
    Tool,    // slim edit-tool buttons
    Tab,     // page tabs; pressed = the current page
    Profile, // profile and view buttons; pressed = the current one
    Assign,  // button-function callouts on the mouse picture
};

void PaintButtonFace(QPainter &p, const QRectF &r, ButtonState s, FaceKind kind);

enum class Glyph { Minimise, Close };
void PaintGlyphButton(QPainter &p, const QRectF &r, ButtonState s, Glyph g);

// Record (dot) and stop (square) buttons; hot and pressed look alike.
void PaintRecordButton(QPainter &p, const QRectF &r, bool active, bool stop);

void PaintCheckPicture(QPainter &p, const QRectF &r, bool checked);

void PaintDialogBack(QPainter &p, const QRectF &r);
void PaintMainBack(QPainter &p, const QRectF &r);
// A rounded panel of the macro manager (fill and border as the window asks).
void PaintPanel(QPainter &p, const QRectF &r);

// The groove of a track bar.
void PaintBarTrack(QPainter &p, const QRectF &r, Qt::Orientation o);
// A track bar's handle.
void PaintBarThumb(QPainter &p, const QRectF &r, bool hot);
void PaintScrollArrow(QPainter &p, const QRectF &r, bool up);

enum class Flag { KeyDown, KeyUp, MouseDown, MouseUp, Delay };
void PaintFlag(QPainter &p, const QRectF &r, Flag f);

void PaintWarningIcon(QPainter &p, const QRectF &r);
void PaintErrorIcon(QPainter &p, const QRectF &r);
void PaintLogo(QPainter &p, const QRectF &r);
void PaintTestTarget(QPainter &p, const QRectF &r);

// The mouse seen from above and from its left side. With `colourWindow` the
// lit badge on the palm is left transparent, so a colour behind shows
// through; MouseBadgeRect gives where it lies inside the picture.
void PaintMouseTop(QPainter &p, const QRectF &r, bool colourWindow);
void PaintMouseSide(QPainter &p, const QRectF &r);
QRectF MouseBadgeRect(const QRectF &r);

// Draws a picture into a rectangle of another size: the corners (`slice`
// pixels) stay at their size and only the edges and middle stretch, so
// borders stay one pixel wide. slice 0 stretches the whole picture.
void DrawSliced(QPainter &p, const QRect &target, const QImage &img, int slice);

} // namespace hkt::skin
