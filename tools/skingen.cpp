// Skin generator: draws every skin picture the windows ask for, the
// application icon and the style file, into <out>/0409/... and <out>/kw.vgstyle
// where <out> is the "images" folder beside the executables. Everything is
// drawn here from the suite's own painting routines; nothing is copied.
//
// usage: skingen <images-folder>
#include "config/ui/kwSkinPaint.h"

#include <QBuffer>
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSaveFile>
#include <QString>
#include <QtEndian>

#include <cstdio>
#include <functional>
#include <vector>

using namespace hkt::skin;

namespace {

struct Picture
{
    const char *sub;
    const char *name;
    int w, h;
    std::function<void(QPainter &, const QRectF &)> draw;
};

ButtonState stateOf(int n)
{
    return n == 1 ? ButtonState::Normal : n == 2 ? ButtonState::Hot : ButtonState::Pressed;
}

std::vector<Picture> pictures()
{
    std::vector<Picture> v;
    auto faces = [&](const char *stem, int w, int h, FaceKind kind) {
        for (int n = 1; n <= 3; ++n) {
            static std::vector<QByteArray> names; // keep the char* alive
            names.push_back(QByteArray(stem) + '-' + QByteArray::number(n) + ".png");
            v.push_back({"buttons", names.back().constData(), w, h,
                         [n, kind](QPainter &p, const QRectF &r) { PaintButtonFace(p, r, stateOf(n), kind); }});
        }
    };
    // Dialogs, the macro manager and the main window's command buttons.
    faces("ok", 100, 34, FaceKind::Command);
    faces("Button", 103, 43, FaceKind::Large);
    faces("ButtonTool", 136, 21, FaceKind::Tool);
    faces("tabbutton", 140, 40, FaceKind::Tab);
    faces("ProfileButton", 112, 36, FaceKind::Profile);
    faces("ButtonAssign", 150, 26, FaceKind::Assign);
    // Window buttons: 1 normal, 2 pressed, 3 hot (the order the windows use).
    const struct { const char *name; Glyph g; ButtonState s; } glyphs[] = {
        {"min-1.png", Glyph::Minimise, ButtonState::Normal},  {"min-2.png", Glyph::Minimise, ButtonState::Pressed},
        {"min-3.png", Glyph::Minimise, ButtonState::Hot},     {"Close-1.png", Glyph::Close, ButtonState::Normal},
        {"Close-2.png", Glyph::Close, ButtonState::Pressed},  {"Close-3.png", Glyph::Close, ButtonState::Hot},
    };
    for (const auto &g : glyphs)
        v.push_back({"buttons", g.name, 20, 22, [g](QPainter &p, const QRectF &r) { PaintGlyphButton(p, r, g.s, g.g); }});
    v.push_back({"buttons", "iconstart-1.png", 62, 40, [](QPainter &p, const QRectF &r) { PaintRecordButton(p, r, false, false); }});
    v.push_back({"buttons", "iconstart-2.png", 62, 40, [](QPainter &p, const QRectF &r) { PaintRecordButton(p, r, true, false); }});
    v.push_back({"buttons", "iconstop-1.png", 65, 40, [](QPainter &p, const QRectF &r) { PaintRecordButton(p, r, false, true); }});
    v.push_back({"buttons", "iconstop-2.png", 65, 40, [](QPainter &p, const QRectF &r) { PaintRecordButton(p, r, true, true); }});

    v.push_back({"background", "dlg-back.png", 478, 292, PaintDialogBack});
    v.push_back({"background", "cfgMainback.png", 801, 638, PaintMainBack});
    v.push_back({"background", "mouse-layout-front.png", 300, 380, [](QPainter &p, const QRectF &r) { PaintMouseTop(p, r, false); }});
    v.push_back({"background", "mouse-layout-Color.png", 300, 380, [](QPainter &p, const QRectF &r) { PaintMouseTop(p, r, true); }});
    v.push_back({"background", "mouse-layout-Side.png", 420, 240, PaintMouseSide});
    v.push_back({"background", "DB-CLICK-TEST-AREA.png", 48, 48, PaintTestTarget});

    v.push_back({"controls", "checkbox-1.png", 14, 12, [](QPainter &p, const QRectF &r) { PaintCheckPicture(p, r, false); }});
    v.push_back({"controls", "checkbox-2.png", 14, 12, [](QPainter &p, const QRectF &r) { PaintCheckPicture(p, r, true); }});
    v.push_back({"controls", "Indicator-bar-back.png", 260, 20, [](QPainter &p, const QRectF &r) { PaintBarTrack(p, r, Qt::Horizontal); }});
    v.push_back({"controls", "Indicator-bar-back-sm.png", 160, 20, [](QPainter &p, const QRectF &r) { PaintBarTrack(p, r, Qt::Horizontal); }});
    v.push_back({"controls", "dpi-indicator-x.png", 20, 260, [](QPainter &p, const QRectF &r) { PaintBarTrack(p, r, Qt::Vertical); }});
    v.push_back({"controls", "dpi-indicator-y.png", 20, 260, [](QPainter &p, const QRectF &r) { PaintBarTrack(p, r, Qt::Vertical); }});
    v.push_back({"controls", "scroll-bar-top-button.png", 225, 14, [](QPainter &p, const QRectF &r) { PaintScrollArrow(p, r, true); }});
    v.push_back({"controls", "scroll-bar-bottom-button.png", 225, 14, [](QPainter &p, const QRectF &r) { PaintScrollArrow(p, r, false); }});
    const struct { const char *name; Flag f; } flags[] = {
        {"macro-action-item-flag-down.png", Flag::KeyDown},        {"macro-action-item-flag-up.png", Flag::KeyUp},
        {"macro-action-item-mouse-flag-down.png", Flag::MouseDown}, {"macro-action-item-mouse-flag-up.png", Flag::MouseUp},
        {"macro-action-item-flag-delay.png", Flag::Delay},
    };
    for (const auto &f : flags)
        v.push_back({"controls", f.name, 12, 12, [f](QPainter &p, const QRectF &r) { PaintFlag(p, r, f.f); }});
    return v;
}

QImage render(int w, int h, const std::function<void(QPainter &, const QRectF &)> &draw)
{
    QImage img(w, h, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    draw(p, QRectF(0, 0, w, h));
    p.end();
    return img.convertToFormat(QImage::Format_ARGB32);
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QSaveFile f(path);
    // Unbuffered: Qt 6.4 commits a buffered QSaveFile even when its last flush fails.
    if (!f.open(QIODevice::WriteOnly | QIODevice::Unbuffered) || f.write(bytes) != bytes.size())
        return false;
    return f.commit();
}

QByteArray png(const QImage &img)
{
    QByteArray out;
    QBuffer buf(&out);
    buf.open(QIODevice::WriteOnly);
    img.save(&buf, "PNG");
    return out;
}

void put16(QByteArray &b, quint16 v)
{
    char c[2];
    qToLittleEndian(v, c);
    b.append(c, 2);
}
void put32(QByteArray &b, quint32 v)
{
    char c[4];
    qToLittleEndian(v, c);
    b.append(c, 4);
}

// A Windows icon resource: 32-bit DIB entries (colour plus AND mask) for the
// small sizes every reader understands, a PNG entry for 256 x 256.
QByteArray icoFile(const std::vector<QImage> &images)
{
    std::vector<QByteArray> blobs;
    for (const QImage &src : images) {
        const QImage img = src.convertToFormat(QImage::Format_ARGB32);
        if (img.width() >= 256) {
            blobs.push_back(png(img));
            continue;
        }
        const int w = img.width(), h = img.height();
        const int maskStride = ((w + 31) / 32) * 4;
        QByteArray dib;
        put32(dib, 40);
        put32(dib, quint32(w));
        put32(dib, quint32(h * 2)); // colour and mask stacked
        put16(dib, 1);
        put16(dib, 32);
        put32(dib, 0);
        put32(dib, quint32(w * h * 4 + maskStride * h));
        put32(dib, 0);
        put32(dib, 0);
        put32(dib, 0);
        put32(dib, 0);
        for (int y = h - 1; y >= 0; --y) { // bottom-up rows, BGRA
            const QRgb *line = reinterpret_cast<const QRgb *>(img.constScanLine(y));
            for (int x = 0; x < w; ++x) {
                const char px[4] = {char(qBlue(line[x])), char(qGreen(line[x])), char(qRed(line[x])),
                                    char(qAlpha(line[x]))};
                dib.append(px, 4);
            }
        }
        for (int y = h - 1; y >= 0; --y) {
            QByteArray row(maskStride, '\0');
            const QRgb *line = reinterpret_cast<const QRgb *>(img.constScanLine(y));
            for (int x = 0; x < w; ++x)
                if (qAlpha(line[x]) == 0)
                    row[x / 8] = char(row[x / 8] | (0x80 >> (x % 8)));
            dib.append(row);
        }
        blobs.push_back(dib);
    }
    QByteArray out;
    put16(out, 0);
    put16(out, 1); // icon
    put16(out, quint16(images.size()));
    quint32 offset = 6 + 16 * quint32(images.size());
    for (size_t i = 0; i < images.size(); ++i) {
        const int w = images[i].width(), h = images[i].height();
        out.append(char(w >= 256 ? 0 : w));
        out.append(char(h >= 256 ? 0 : h));
        out.append(char(0)); // no palette
        out.append(char(0));
        put16(out, 1);
        put16(out, 32);
        put32(out, quint32(blobs[i].size()));
        put32(out, offset);
        offset += quint32(blobs[i].size());
    }
    for (const QByteArray &b : blobs)
        out.append(b);
    return out;
}

QString hex(QRgb c)
{
    return QStringLiteral("#%1").arg(c & 0xFFFFFF, 6, 16, QLatin1Char('0')).toUpper();
}

// The style file: a Qt style sheet. Each named style of the windows is a
// value of the dynamic property "skinStyle", always in lower case, because
// the windows spell one style in several cases ("MYLABEL", "mylabel").
QByteArray styleSheet()
{
    QString s = QStringLiteral(R"(/* Skin style sheet of the configuration program.
   Widgets carry their style name in the property skinStyle (lower case). */

QWidget { font-family: "Liberation Sans", "WenQuanYi Micro Hei"; }
QToolTip { color: @TEXT@; background: @RAISED@; border: 1px solid @ACCENT@; padding: 3px; }

*[skinStyle="wlabel"] { color: @TEXT@; }
*[skinStyle="mylabel"] { color: #C9D0D9; }

/* Painted buttons take their caption colour from here. */
*[skinStyle="mystatebtn"], *[skinStyle="mymainbutton"], *[skinStyle="mybuttonactiontool"] { color: @TEXT@; }
*[skinStyle="mydpibtn"] { color: @DIM@; }
*[skinStyle="mydpibtna"] { color: @TEXT@; }
*[skinStyle="mydpibtncurrenta"] { color: #FFFFFF; }

QLineEdit[skinStyle="combokey"], QLineEdit[skinStyle="nametextboxstyle"] {
    color: @TEXT@; background: @VOID@; border: 1px solid @EDGE@; border-radius: 3px;
    padding: 0 6px; selection-background-color: @ACCENT@;
}
QLineEdit[skinStyle="combokey"]:focus, QLineEdit[skinStyle="nametextboxstyle"]:focus { border-color: @ACCENT@; }
QLineEdit[skinStyle="nulltextboxstyle"] { color: @TEXT@; background: transparent; border: none; }

QSpinBox[skinStyle="mytextbox"], QSpinBox[skinStyle="newtextbox"], QSpinBox[skinStyle="numberbox"] {
    color: @TEXT@; background: @VOID@; border: 1px solid @EDGE@; border-radius: 3px;
    padding: 0 2px; selection-background-color: @ACCENT@;
}
QSpinBox[skinStyle="mytextbox"]:focus, QSpinBox[skinStyle="newtextbox"]:focus, QSpinBox[skinStyle="numberbox"]:focus { border-color: @ACCENT@; }
QSpinBox:disabled { color: #5C636E; border-color: #2A2F37; }
QSpinBox::up-button, QSpinBox::down-button {
    subcontrol-origin: border; width: 14px; background: @FACE@; border-left: 1px solid @EDGE@;
}
QSpinBox::up-button { subcontrol-position: top right; border-top-right-radius: 3px; }
QSpinBox::down-button { subcontrol-position: bottom right; border-bottom-right-radius: 3px; }
QSpinBox::up-button:hover, QSpinBox::down-button:hover { background: @DEEP@; }

QListWidget[skinStyle="mylistbox"], QAbstractItemView[skinStyle="mylistbox"] {
    color: @TEXT@; background: transparent; border: none; outline: none;
}
QListWidget[skinStyle="mylistbox"]::item:selected { background: @DEEP@; border-left: 2px solid @ACCENT@; }

QRadioButton[skinStyle="myradiocheckboxstyle"], QRadioButton[skinStyle="mydpilevelstyle"], QCheckBox {
    color: @TEXT@; spacing: 6px;
}
QRadioButton::indicator { width: 12px; height: 12px; border-radius: 7px; border: 1px solid #5A6370; background: @VOID@; }
QRadioButton::indicator:hover { border-color: @ACCENT@; }
QRadioButton::indicator:checked {
    border-color: @ACCENT@;
    background: qradialgradient(cx:0.5, cy:0.5, radius:0.5, fx:0.5, fy:0.5, stop:0 @ACCENT@, stop:0.55 @ACCENT@, stop:0.7 @VOID@, stop:1 @VOID@);
}
QCheckBox::indicator { width: 12px; height: 12px; border-radius: 2px; border: 1px solid #5A6370; background: @VOID@; }
QCheckBox::indicator:hover { border-color: @ACCENT@; }
QCheckBox::indicator:checked { border-color: @ACCENT@; background: @ACCENT@; }

QGroupBox[skinStyle="myexpanderstyle"] {
    color: @TEXT@; border: 1px solid @EDGE@; border-radius: 4px; margin-top: 20px; background: rgba(15,15,15,200);
}
QGroupBox[skinStyle="myexpanderstyle"]::title { subcontrol-origin: margin; left: 8px; padding: 0 4px; color: @ACCENT@; }

QComboBox[skinStyle="languagestyle"] {
    color: @TEXT@; background: @FACE@; border: 1px solid @EDGE@; border-radius: 3px; padding: 2px 8px;
}
QComboBox[skinStyle="languagestyle"] QAbstractItemView { color: @TEXT@; background: @RAISED@; selection-background-color: @DEEP@; }

QProgressBar { color: @TEXT@; background: @VOID@; border: 1px solid @EDGE@; border-radius: 3px; text-align: center; }
QProgressBar::chunk { background: @ACCENT@; border-radius: 2px; }
)");
    const std::pair<const char *, QRgb> vars[] = {
        {"@TEXT@", colour::Text}, {"@DIM@", colour::TextDim},      {"@ACCENT@", colour::Accent},
        {"@DEEP@", colour::AccentDeep}, {"@VOID@", colour::Void},  {"@RAISED@", colour::Raised},
        {"@EDGE@", colour::Edge}, {"@FACE@", colour::Face},
    };
    for (const auto &[k, c] : vars)
        s.replace(QLatin1String(k), hex(c));
    return s.toUtf8();
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 2 && argc != 3) {
        std::fprintf(stderr, "usage: skingen <images-folder> [<hicolor-icon-folder>]\n");
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QString out = QString::fromLocal8Bit(argv[1]);
    int failures = 0;
    for (const Picture &pic : pictures()) {
        const QString path = out + QStringLiteral("/0409/") + QLatin1String(pic.sub) + QLatin1Char('/') +
                             QLatin1String(pic.name);
        if (!writeFile(path, png(render(pic.w, pic.h, pic.draw)))) {
            std::fprintf(stderr, "skingen: cannot write %s\n", qPrintable(path));
            ++failures;
        }
    }
    std::vector<QImage> icons;
    for (int size : {16, 24, 32, 48, 64, 256})
        icons.push_back(render(size, size, PaintLogo));
    if (!writeFile(out + QStringLiteral("/0409/icons/logo.ico"), icoFile(icons))) {
        std::fprintf(stderr, "skingen: cannot write the icon\n");
        ++failures;
    }
    // The desktop's icon theme takes the same logo as PNG pictures, one per usual size.
    if (argc == 3) {
        const QString theme = QString::fromLocal8Bit(argv[2]);
        for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
            const QString path = QStringLiteral("%1/%2x%2/apps/hkt75.png").arg(theme).arg(size);
            if (!writeFile(path, png(render(size, size, PaintLogo)))) {
                std::fprintf(stderr, "skingen: cannot write %s\n", qPrintable(path));
                ++failures;
            }
        }
    }
    if (!writeFile(out + QStringLiteral("/kw.vgstyle"), styleSheet())) {
        std::fprintf(stderr, "skingen: cannot write the style file\n");
        ++failures;
    }
    return failures == 0 ? 0 : 1;
}
