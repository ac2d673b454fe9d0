#include "config/ui/kwSkinPaint.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <algorithm>
#include <cmath>

namespace hkt::skin {
namespace {

QColor rgba(QRgb c, int alpha)
{
    QColor q = QColor::fromRgba(c);
    q.setAlpha(alpha);
    return q;
}

// Lines of 1px land on pixel centres so they stay crisp.
QRectF inset(const QRectF &r, qreal d)
{
    return r.adjusted(d, d, -d, -d);
}

// Corners cut at 45 degrees: top-left and bottom-right, the rest square.
QPainterPath chamfered(const QRectF &r, qreal c)
{
    c = std::min({c, r.width() / 3, r.height() / 3});
    QPainterPath path;
    path.moveTo(r.left() + c, r.top());
    path.lineTo(r.right(), r.top());
    path.lineTo(r.right(), r.bottom() - c);
    path.lineTo(r.right() - c, r.bottom());
    path.lineTo(r.left(), r.bottom());
    path.lineTo(r.left(), r.top() + c);
    path.closeSubpath();
    return path;
}

QPainterPath rounded(const QRectF &r, qreal radius)
{
    QPainterPath path;
    path.addRoundedRect(r, radius, radius);
    return path;
}

QLinearGradient vertical(const QRectF &r, QColor top, QColor bottom)
{
    QLinearGradient g(r.topLeft(), r.bottomLeft());
    g.setColorAt(0, top);
    g.setColorAt(1, bottom);
    return g;
}

// Fill, a 1px border and a faint top highlight: the common build of a face.
void face(QPainter &p, const QPainterPath &outer, const QRectF &r, QColor top, QColor bottom, QColor border,
          int highlight)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setPen(Qt::NoPen);
    p.setBrush(vertical(r, top, bottom));
    p.drawPath(outer);
    p.setBrush(Qt::NoBrush);
    if (highlight > 0) {
        p.setClipPath(outer);
        p.setPen(QPen(QColor(255, 255, 255, highlight), 1));
        p.drawLine(QPointF(r.left() + 1, r.top() + 1.5), QPointF(r.right() - 1, r.top() + 1.5));
        p.setClipping(false);
    }
    p.setPen(QPen(border, 1));
    p.drawPath(outer);
    p.restore();
}

// A soft accent line along the bottom edge, inside the face.
void underGlow(QPainter &p, const QPainterPath &outer, const QRectF &r, int height, int alpha)
{
    p.save();
    p.setClipPath(outer);
    QLinearGradient g(QPointF(0, r.bottom()), QPointF(0, r.bottom() - height * 3));
    g.setColorAt(0, rgba(colour::Accent, alpha));
    g.setColorAt(1, rgba(colour::Accent, 0));
    p.fillRect(QRectF(r.left(), r.bottom() - height * 3, r.width(), height * 3), g);
    p.fillRect(QRectF(r.left(), r.bottom() - height, r.width(), height), rgba(colour::Accent, alpha));
    p.restore();
}

// An elliptic accent light that fades to nothing at its rim, so no edge shows.
void softGlow(QPainter &p, QPointF centre, qreal rx, qreal ry, int alpha)
{
    p.save();
    p.translate(centre);
    p.scale(1, ry / rx);
    QRadialGradient glow(QPointF(0, 0), rx);
    glow.setColorAt(0, rgba(colour::Accent, alpha));
    glow.setColorAt(0.6, rgba(colour::Accent, alpha / 3));
    glow.setColorAt(1, rgba(colour::Accent, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(glow);
    p.drawEllipse(QPointF(0, 0), rx, rx);
    p.restore();
}

} // namespace

void PaintButtonFace(QPainter &p, const QRectF &rect, ButtonState s, FaceKind kind)
{
    const QRectF r = inset(rect, 0.5);
    const bool hot = s == ButtonState::Hot;
    const bool down = s == ButtonState::Pressed;
    switch (kind) {
    case FaceKind::Command:
    case FaceKind::Large:
    case FaceKind::Profile: {
        const QPainterPath path = chamfered(r, kind == FaceKind::Command ? 6 : 8);
        if (down) {
            face(p, path, r, QColor(0x0F, 0x4F, 0x85), QColor(0x0A, 0x30, 0x52), QColor::fromRgba(colour::Accent), 30);
            underGlow(p, path, r, 2, 230);
        } else if (hot) {
            face(p, path, r, QColor(0x3A, 0x42, 0x50), QColor(0x24, 0x29, 0x32), rgba(colour::Accent, 200), 28);
            underGlow(p, path, r, 1, 170);
        } else {
            face(p, path, r, QColor(0x2E, 0x34, 0x3E), QColor(0x1B, 0x1F, 0x26), QColor::fromRgba(colour::Edge), 22);
        }
        break;
    }
    case FaceKind::Tool: {
        const QPainterPath path = rounded(r, 2.5);
        if (down)
            face(p, path, r, QColor(0x0F, 0x4F, 0x85), QColor(0x0A, 0x30, 0x52), QColor::fromRgba(colour::Accent), 20);
        else if (hot)
            face(p, path, r, QColor(0x34, 0x3B, 0x47), QColor(0x26, 0x2B, 0x34), rgba(colour::Accent, 190), 20);
        else
            face(p, path, r, QColor(0x27, 0x2C, 0x35), QColor(0x1E, 0x22, 0x29), QColor::fromRgba(colour::Edge), 16);
        // A marker bar at the left: the caption sits to its right.
        p.fillRect(QRectF(rect.left() + 3, rect.top() + 4, 2, rect.height() - 8),
                   down || hot ? QColor::fromRgba(colour::Accent) : rgba(colour::TextDim, 110));
        break;
    }
    case FaceKind::Tab: {
        const QPainterPath path = chamfered(r, 8);
        if (down) {
            face(p, path, r, QColor(0x24, 0x2B, 0x36), QColor(0x12, 0x2A, 0x42), rgba(colour::Accent, 220), 24);
            underGlow(p, path, r, 3, 255);
        } else if (hot) {
            face(p, path, r, QColor(0x2C, 0x32, 0x3C), QColor(0x1C, 0x20, 0x27), rgba(colour::Accent, 140), 20);
            underGlow(p, path, r, 1, 150);
        } else {
            face(p, path, r, QColor(0x1E, 0x22, 0x29), QColor(0x15, 0x18, 0x1D), QColor::fromRgba(colour::Edge), 14);
        }
        break;
    }
    case FaceKind::Assign: {
        const QPainterPath path = rounded(r, 3);
        if (down)
            face(p, path, r, QColor(0x0F, 0x4F, 0x85), QColor(0x0A, 0x30, 0x52), QColor::fromRgba(colour::Accent), 24);
        else if (hot)
            face(p, path, r, rgba(0xFF343B47, 240), rgba(0xFF20252D, 240), rgba(colour::Accent, 210), 22);
        else
            face(p, path, r, rgba(0xFF262B33, 235), rgba(0xFF191C22, 235), QColor::fromRgba(colour::Edge), 16);
        p.fillRect(QRectF(rect.left() + 1, rect.top() + 1, 3, rect.height() - 2),
                   down || hot ? QColor::fromRgba(colour::Accent) : rgba(colour::Accent, 150));
        break;
    }
    }
}

void PaintGlyphButton(QPainter &p, const QRectF &rect, ButtonState s, Glyph g)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing, true);
    const QRectF r = inset(rect, 0.5);
    if (s != ButtonState::Normal) {
        const QColor fill = g == Glyph::Close ? (s == ButtonState::Hot ? QColor(0xC8, 0x2E, 0x2E) : QColor(0x8E, 0x1F, 0x1F))
                                              : (s == ButtonState::Hot ? QColor(0x32, 0x39, 0x45) : QColor(0x0A, 0x3D, 0x66));
        p.setPen(QPen(s == ButtonState::Hot && g == Glyph::Minimise ? rgba(colour::Accent, 200) : fill.lighter(130), 1));
        p.setBrush(fill);
        p.drawRoundedRect(r, 3, 3);
    }
    const QColor ink = s == ButtonState::Normal ? QColor::fromRgba(colour::TextDim) : QColor::fromRgba(colour::Text);
    QPen pen(ink, 1.6, Qt::SolidLine, Qt::RoundCap);
    p.setPen(pen);
    const QPointF c = rect.center();
    const qreal h = std::min(rect.width(), rect.height()) * 0.22;
    if (g == Glyph::Close) {
        p.drawLine(QPointF(c.x() - h, c.y() - h), QPointF(c.x() + h, c.y() + h));
        p.drawLine(QPointF(c.x() + h, c.y() - h), QPointF(c.x() - h, c.y() + h));
    } else {
        p.drawLine(QPointF(c.x() - h, c.y() + h * 0.6), QPointF(c.x() + h, c.y() + h * 0.6));
    }
    p.restore();
}

void PaintRecordButton(QPainter &p, const QRectF &rect, bool active, bool stop)
{
    const QRectF r = inset(rect, 0.5);
    const QPainterPath path = chamfered(r, 7);
    if (active) {
        face(p, path, r, QColor(0x34, 0x3B, 0x47), QColor(0x1F, 0x24, 0x2C), QColor::fromRgba(colour::Accent), 26);
        underGlow(p, path, r, 1, 200);
    } else {
        face(p, path, r, QColor(0x2E, 0x34, 0x3E), QColor(0x1B, 0x1F, 0x26), QColor::fromRgba(colour::Edge), 22);
    }
    p.save();
    p.setRenderHint(QPainter::Antialiasing, true);
    const QPointF c = rect.center();
    const qreal d = std::min(rect.width(), rect.height()) * 0.36;
    if (stop) {
        p.setPen(Qt::NoPen);
        p.setBrush(active ? QColor::fromRgba(colour::Text) : QColor::fromRgba(colour::TextDim));
        p.drawRoundedRect(QRectF(c.x() - d / 2, c.y() - d / 2, d, d), 2, 2);
    } else {
        QRadialGradient g(c, d * 0.75);
        const QColor red = active ? QColor(0xFF, 0x4A, 0x4A) : QColor(0xD0, 0x3A, 0x3A);
        g.setColorAt(0, red.lighter(125));
        g.setColorAt(1, red.darker(115));
        p.setPen(QPen(QColor(0, 0, 0, 120), 1));
        p.setBrush(g);
        p.drawEllipse(c, d / 2 + 1, d / 2 + 1);
    }
    p.restore();
}

void PaintCheckPicture(QPainter &p, const QRectF &rect, bool checked)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing, true);
    const QRectF r = inset(rect, 0.5);
    if (checked) {
        p.setPen(QPen(QColor::fromRgba(colour::Accent).lighter(120), 1));
        p.setBrush(vertical(r, QColor(0x3A, 0xAE, 0xFF), QColor(0x13, 0x7C, 0xD6)));
    } else {
        p.setPen(QPen(QColor(0x5A, 0x63, 0x70), 1));
        p.setBrush(vertical(r, QColor(0x10, 0x12, 0x16), QColor(0x1C, 0x20, 0x27)));
    }
    p.drawRoundedRect(r, 2, 2);
    if (checked) {
        QPen pen(Qt::white, 1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
        p.setPen(pen);
        const qreal w = rect.width(), h = rect.height();
        QPainterPath tick;
        tick.moveTo(rect.left() + w * 0.24, rect.top() + h * 0.52);
        tick.lineTo(rect.left() + w * 0.43, rect.top() + h * 0.72);
        tick.lineTo(rect.left() + w * 0.77, rect.top() + h * 0.28);
        p.setBrush(Qt::NoBrush);
        p.drawPath(tick);
    }
    p.restore();
}

void PaintDialogBack(QPainter &p, const QRectF &rect)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing, true);
    const QRectF r = inset(rect, 0.5);
    const QPainterPath path = rounded(r, 6);
    p.setPen(Qt::NoPen);
    p.setBrush(vertical(r, QColor(0x1F, 0x24, 0x2C), QColor::fromRgba(colour::Void)));
    p.drawPath(path);
    // A soft accent light from the top centre, where every dialog has its title.
    p.setClipPath(path);
    softGlow(p, QPointF(rect.center().x(), rect.top()), rect.width() * 0.55, rect.height() * 0.42, 46);
    // Fine diagonal texture, fading towards the top.
    QLinearGradient fade(rect.topLeft(), rect.bottomLeft());
    fade.setColorAt(0, QColor(255, 255, 255, 0));
    fade.setColorAt(1, QColor(255, 255, 255, 9));
    p.setPen(QPen(QBrush(fade), 1));
    for (qreal x = rect.left() - rect.height(); x < rect.right(); x += 6)
        p.drawLine(QPointF(x, rect.bottom()), QPointF(x + rect.height(), rect.top()));
    p.setClipping(false);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor::fromRgba(colour::Edge), 1));
    p.drawPath(path);
    p.setPen(QPen(QColor(255, 255, 255, 14), 1));
    p.drawRoundedRect(inset(r, 1), 5, 5);
    p.restore();
}

void PaintMainBack(QPainter &p, const QRectF &rect)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing, false);
    p.fillRect(rect, vertical(rect, QColor(0x18, 0x1B, 0x21), QColor::fromRgba(colour::Void)));
    // A faint grid of dots over the content area.
    for (int y = int(rect.top()) + 72; y < int(rect.bottom()) - 72; y += 12)
        for (int x = int(rect.left()) + 8; x < int(rect.right()) - 4; x += 12)
            p.fillRect(QRectF(x, y, 1, 1), QColor(255, 255, 255, 10));
    p.setRenderHint(QPainter::Antialiasing, true);
    softGlow(p, QPointF(rect.center().x(), rect.top() + 64), rect.width() * 0.5, rect.height() * 0.3, 36);
    p.setRenderHint(QPainter::Antialiasing, false);
    // Header band with an accent rule that fades out at both ends.
    const QRectF header(rect.left(), rect.top(), rect.width(), 64);
    p.fillRect(header, vertical(header, QColor(0x22, 0x27, 0x2F), QColor(0x17, 0x1A, 0x20)));
    QLinearGradient rule(header.bottomLeft(), header.bottomRight());
    rule.setColorAt(0, rgba(colour::Accent, 0));
    rule.setColorAt(0.5, rgba(colour::Accent, 255));
    rule.setColorAt(1, rgba(colour::Accent, 0));
    p.fillRect(QRectF(header.left(), header.bottom() - 1, header.width(), 1), rule);
    PaintLogo(p, QRectF(rect.left() + 18, rect.top() + 14, 36, 36));
    // Footer band.
    const QRectF footer(rect.left(), rect.bottom() - 72, rect.width(), 72);
    p.fillRect(footer, vertical(footer, QColor(0x1A, 0x1E, 0x24), QColor(0x10, 0x12, 0x16)));
    p.fillRect(QRectF(footer.left(), footer.top(), footer.width(), 1), QColor::fromRgba(colour::Edge));
    p.fillRect(QRectF(footer.left(), footer.top() + 1, footer.width(), 1), QColor(0, 0, 0, 120));
    // Outer frame.
    p.setPen(QPen(QColor::fromRgba(colour::Edge), 1));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(rect.left(), rect.top(), rect.width() - 1, rect.height() - 1));
    p.restore();
}

void PaintPanel(QPainter &p, const QRectF &rect)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setPen(QPen(QColor::fromRgba(0xFA013E66), 2));
    p.setBrush(QColor::fromRgba(0xC80F0F0F));
    p.drawRoundedRect(inset(rect, 1), 4, 4);
    p.restore();
}

void PaintBarTrack(QPainter &p, const QRectF &rect, Qt::Orientation o)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing, true);
    const bool horizontal = o == Qt::Horizontal;
    const qreal thick = 6;
    const QRectF groove = horizontal
                              ? QRectF(rect.left() + 2.5, rect.center().y() - thick / 2 + 0.5, rect.width() - 5, thick)
                              : QRectF(rect.center().x() - thick / 2 + 0.5, rect.top() + 2.5, thick, rect.height() - 5);
    // Tick marks at every tenth, on both sides of the groove.
    p.setPen(QPen(QColor(255, 255, 255, 34), 1));
    for (int i = 0; i <= 10; ++i) {
        const qreal len = (i % 5 == 0) ? 4 : 2;
        if (horizontal) {
            const qreal x = std::floor(groove.left() + groove.width() * i / 10.0) + 0.5;
            p.drawLine(QPointF(x, groove.top() - 2 - len), QPointF(x, groove.top() - 2));
            p.drawLine(QPointF(x, groove.bottom() + 2), QPointF(x, groove.bottom() + 2 + len));
        } else {
            const qreal y = std::floor(groove.top() + groove.height() * i / 10.0) + 0.5;
            p.drawLine(QPointF(groove.left() - 2 - len, y), QPointF(groove.left() - 2, y));
            p.drawLine(QPointF(groove.right() + 2, y), QPointF(groove.right() + 2 + len, y));
        }
    }
    p.setPen(QPen(QColor::fromRgba(colour::Edge), 1));
    QLinearGradient g = horizontal ? QLinearGradient(groove.topLeft(), groove.bottomLeft())
                                   : QLinearGradient(groove.topLeft(), groove.topRight());
    g.setColorAt(0, QColor(0x05, 0x06, 0x08));
    g.setColorAt(1, QColor(0x16, 0x19, 0x1F));
    p.setBrush(g);
    p.drawRoundedRect(groove, 3, 3);
    p.restore();
}

void PaintBarThumb(QPainter &p, const QRectF &rect, bool hot)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing, true);
    const QRectF r = inset(rect, 0.5);
    p.setPen(QPen(hot ? QColor::fromRgba(colour::Accent).lighter(130) : QColor::fromRgba(colour::Accent), 1));
    p.setBrush(vertical(r, QColor(0xF4, 0xF7, 0xFB), QColor(0xB4, 0xBD, 0xC9)));
    p.drawRoundedRect(r, 3, 3);
    p.restore();
}

void PaintScrollArrow(QPainter &p, const QRectF &rect, bool up)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing, true);
    const QRectF r = inset(rect, 0.5);
    p.setPen(QPen(QColor::fromRgba(colour::Edge), 1));
    p.setBrush(vertical(r, QColor(0x26, 0x2B, 0x33), QColor(0x1B, 0x1F, 0x25)));
    p.drawRoundedRect(r, 2, 2);
    const QPointF c = rect.center();
    const qreal h = std::min(rect.height() * 0.22, 4.0);
    QPainterPath chevron;
    chevron.moveTo(c.x() - h * 2, c.y() + (up ? h : -h));
    chevron.lineTo(c.x(), c.y() + (up ? -h : h));
    chevron.lineTo(c.x() + h * 2, c.y() + (up ? h : -h));
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor::fromRgba(colour::Accent), 1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPath(chevron);
    p.restore();
}

void PaintFlag(QPainter &p, const QRectF &rect, Flag f)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing, true);
    const QRectF r = inset(rect, 1);
    const QPointF c = r.center();
    const QColor accent = QColor::fromRgba(colour::Accent);
    const QColor dim = QColor::fromRgba(colour::TextDim);
    switch (f) {
    case Flag::KeyDown:
    case Flag::KeyUp: {
        const bool down = f == Flag::KeyDown;
        QPainterPath tri;
        if (down) {
            tri.moveTo(r.left(), r.top() + r.height() * 0.2);
            tri.lineTo(r.right(), r.top() + r.height() * 0.2);
            tri.lineTo(c.x(), r.bottom() - r.height() * 0.1);
        } else {
            tri.moveTo(r.left(), r.bottom() - r.height() * 0.2);
            tri.lineTo(r.right(), r.bottom() - r.height() * 0.2);
            tri.lineTo(c.x(), r.top() + r.height() * 0.1);
        }
        tri.closeSubpath();
        p.setPen(QPen(down ? accent : dim, 1.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.setBrush(down ? QBrush(accent) : QBrush(Qt::NoBrush));
        p.drawPath(tri);
        break;
    }
    case Flag::MouseDown:
    case Flag::MouseUp: {
        const bool down = f == Flag::MouseDown;
        const QRectF body(c.x() - r.width() * 0.34, r.top(), r.width() * 0.68, r.height());
        p.setPen(QPen(down ? accent : dim, 1.1));
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(body, body.width() * 0.45, body.width() * 0.45);
        p.drawLine(QPointF(c.x(), body.top()), QPointF(c.x(), body.top() + body.height() * 0.42));
        if (down) {
            QPainterPath leftKey;
            leftKey.addRoundedRect(body, body.width() * 0.45, body.width() * 0.45);
            p.setClipRect(QRectF(body.left(), body.top(), body.width() / 2, body.height() * 0.42));
            p.fillPath(leftKey, accent);
        }
        break;
    }
    case Flag::Delay: {
        p.setPen(QPen(dim, 1.2));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(c, r.width() / 2 - 0.5, r.height() / 2 - 0.5);
        p.setPen(QPen(accent, 1.2, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(c, QPointF(c.x(), r.top() + 2.5));
        p.drawLine(c, QPointF(r.right() - 2.5, c.y()));
        break;
    }
    }
    p.restore();
}

void PaintWarningIcon(QPainter &p, const QRectF &rect)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing, true);
    const qreal side = std::min(rect.width(), rect.height() * 1.12) * 0.78;
    const qreal h = side * 0.87;
    const QPointF c = rect.center();
    const QPointF top(c.x(), c.y() - h / 2), left(c.x() - side / 2, c.y() + h / 2), right(c.x() + side / 2, c.y() + h / 2);
    QPainterPath tri;
    tri.moveTo(top);
    tri.lineTo(right);
    tri.lineTo(left);
    tri.closeSubpath();
    // Halo behind the sign.
    // Halo behind the sign, fading out inside the rectangle.
    const qreal haloR = std::min(rect.width(), rect.height()) / 2;
    QRadialGradient halo(c, haloR);
    halo.setColorAt(0, rgba(colour::Warn, 50));
    halo.setColorAt(1, rgba(colour::Warn, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(halo);
    p.drawEllipse(c, haloR, haloR);
    QPen edge(QColor::fromRgba(colour::Warn), side * 0.07, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    p.setPen(edge);
    QLinearGradient fill(top, QPointF(c.x(), left.y()));
    fill.setColorAt(0, QColor(0x3A, 0x2C, 0x10));
    fill.setColorAt(1, QColor(0x1A, 0x15, 0x0A));
    p.setBrush(fill);
    p.drawPath(tri);
    // The exclamation mark as shapes, so no font is needed.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor::fromRgba(colour::Warn));
    const qreal bw = side * 0.085;
    QPainterPath bar;
    bar.moveTo(c.x() - bw, c.y() - h * 0.16);
    bar.lineTo(c.x() + bw, c.y() - h * 0.16);
    bar.lineTo(c.x() + bw * 0.6, c.y() + h * 0.22);
    bar.lineTo(c.x() - bw * 0.6, c.y() + h * 0.22);
    bar.closeSubpath();
    p.drawPath(bar);
    p.drawEllipse(QPointF(c.x(), c.y() + h * 0.34), bw * 0.9, bw * 0.9);
    p.restore();
}

void PaintErrorIcon(QPainter &p, const QRectF &rect)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing, true);
    const QPointF c = rect.center();
    const qreal rad = std::min(rect.width(), rect.height()) / 2 - 1;
    p.setPen(QPen(QColor(0x7A, 0x12, 0x12), 1));
    p.setBrush(QColor::fromRgba(colour::Error));
    p.drawEllipse(c, rad, rad);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawRoundedRect(QRectF(c.x() - rad * 0.14, c.y() - rad * 0.62, rad * 0.28, rad * 0.78), 1, 1);
    p.drawEllipse(QPointF(c.x(), c.y() + rad * 0.45), rad * 0.16, rad * 0.16);
    p.restore();
}

void PaintLogo(QPainter &p, const QRectF &rect)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing, true);
    const qreal s = std::min(rect.width(), rect.height());
    const QPointF c = rect.center();
    // A hexagon with a chevron pointing up: the product's mark.
    QPainterPath hex;
    for (int i = 0; i < 6; ++i) {
        const qreal a = (60.0 * i - 90.0) * M_PI / 180.0;
        const QPointF pt(c.x() + std::cos(a) * s * 0.47, c.y() + std::sin(a) * s * 0.47);
        i == 0 ? hex.moveTo(pt) : hex.lineTo(pt);
    }
    hex.closeSubpath();
    QLinearGradient g(rect.topLeft(), rect.bottomRight());
    g.setColorAt(0, QColor(0x2A, 0x30, 0x3A));
    g.setColorAt(1, QColor(0x10, 0x13, 0x17));
    p.setPen(QPen(QColor::fromRgba(colour::Accent), std::max(1.0, s * 0.05)));
    p.setBrush(g);
    p.drawPath(hex);
    QPainterPath chevron;
    chevron.moveTo(c.x() - s * 0.24, c.y() + s * 0.16);
    chevron.lineTo(c.x(), c.y() - s * 0.12);
    chevron.lineTo(c.x() + s * 0.24, c.y() + s * 0.16);
    chevron.lineTo(c.x() + s * 0.12, c.y() + s * 0.16);
    chevron.lineTo(c.x(), c.y() + s * 0.02);
    chevron.lineTo(c.x() - s * 0.12, c.y() + s * 0.16);
    chevron.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(QColor::fromRgba(colour::Accent));
    p.drawPath(chevron);
    p.restore();
}

void PaintTestTarget(QPainter &p, const QRectF &rect)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing, true);
    const QPointF c = rect.center();
    const qreal rad = std::min(rect.width(), rect.height()) / 2 - 1.5;
    p.setPen(QPen(QColor::fromRgba(colour::Edge), 1));
    p.setBrush(QColor(0x14, 0x17, 0x1C));
    p.drawEllipse(c, rad, rad);
    // Two accent arcs and a marker dot make the rotation visible.
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor::fromRgba(colour::Accent), 2.2, Qt::SolidLine, Qt::RoundCap));
    const QRectF ring(c.x() - rad * 0.72, c.y() - rad * 0.72, rad * 1.44, rad * 1.44);
    p.drawArc(ring, 20 * 16, 120 * 16);
    p.drawArc(ring, 200 * 16, 120 * 16);
    p.setPen(QPen(QColor::fromRgba(colour::TextDim), 1));
    p.drawEllipse(c, rad * 0.36, rad * 0.36);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor::fromRgba(colour::Accent));
    p.drawEllipse(QPointF(c.x(), c.y() - rad * 0.86), rad * 0.1, rad * 0.1);
    p.drawEllipse(c, rad * 0.12, rad * 0.12);
    p.restore();
}

namespace {

// The mouse's outline seen from above, in a unit square (front at the top).
QPainterPath mouseTopOutline(const QRectF &r)
{
    auto pt = [&](qreal x, qreal y) { return QPointF(r.left() + x * r.width(), r.top() + y * r.height()); };
    QPainterPath path;
    path.moveTo(pt(0.5, 0.03));
    path.cubicTo(pt(0.74, 0.03), pt(0.86, 0.11), pt(0.87, 0.30));
    path.cubicTo(pt(0.88, 0.44), pt(0.83, 0.52), pt(0.85, 0.66));
    path.cubicTo(pt(0.88, 0.86), pt(0.72, 0.98), pt(0.5, 0.98));
    path.cubicTo(pt(0.28, 0.98), pt(0.12, 0.86), pt(0.15, 0.66));
    path.cubicTo(pt(0.17, 0.52), pt(0.12, 0.44), pt(0.13, 0.30));
    path.cubicTo(pt(0.14, 0.11), pt(0.26, 0.03), pt(0.5, 0.03));
    path.closeSubpath();
    return path;
}

} // namespace

QRectF MouseBadgeRect(const QRectF &r)
{
    const qreal side = 44;
    return QRectF(r.left() + r.width() * 0.5 - side / 2, r.top() + r.height() * 0.70 - side / 2, side, side);
}

void PaintMouseTop(QPainter &p, const QRectF &r, bool colourWindow)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing, true);
    auto pt = [&](qreal x, qreal y) { return QPointF(r.left() + x * r.width(), r.top() + y * r.height()); };
    const QPainterPath body = mouseTopOutline(r);

    // Shadow, then the shell with a light from the upper left.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 90));
    p.drawPath(body.translated(0, 4));
    QRadialGradient shell(pt(0.38, 0.30), r.width() * 0.9);
    shell.setColorAt(0, QColor(0x3A, 0x40, 0x4B));
    shell.setColorAt(0.55, QColor(0x22, 0x26, 0x2E));
    shell.setColorAt(1, QColor(0x11, 0x13, 0x17));
    p.setBrush(shell);
    p.drawPath(body);

    // Accent light strips along both flanks.
    p.setClipPath(body);
    QPen strip(QColor::fromRgba(colour::Accent), 2.2, Qt::SolidLine, Qt::RoundCap);
    p.setPen(strip);
    QPainterPath leftStrip, rightStrip;
    leftStrip.moveTo(pt(0.19, 0.58));
    leftStrip.cubicTo(pt(0.17, 0.74), pt(0.22, 0.86), pt(0.33, 0.92));
    rightStrip.moveTo(pt(0.81, 0.58));
    rightStrip.cubicTo(pt(0.83, 0.74), pt(0.78, 0.86), pt(0.67, 0.92));
    p.setBrush(Qt::NoBrush);
    p.drawPath(leftStrip);
    p.drawPath(rightStrip);
    p.setClipping(false);

    // Button seams: the split between the main keys and the line to the palm.
    p.setPen(QPen(QColor(0x06, 0x07, 0x09), 2));
    p.drawLine(pt(0.5, 0.035), pt(0.5, 0.11));
    QPainterPath seam;
    seam.moveTo(pt(0.135, 0.40));
    seam.cubicTo(pt(0.30, 0.43), pt(0.70, 0.43), pt(0.865, 0.40));
    p.drawPath(seam);
    p.drawLine(pt(0.5, 0.29), pt(0.5, 0.425));
    p.setPen(QPen(QColor(255, 255, 255, 22), 1));
    p.drawPath(seam.translated(0, 1.5));

    // Wheel with its ridges and the resolution button behind it.
    const QRectF wheel(pt(0.455, 0.12), pt(0.545, 0.27));
    p.setPen(QPen(QColor(0x05, 0x06, 0x08), 1));
    p.setBrush(QColor(0x0C, 0x0E, 0x11));
    p.drawRoundedRect(wheel.adjusted(-3, -3, 3, 3), 6, 6);
    QLinearGradient wg(wheel.topLeft(), wheel.topRight());
    wg.setColorAt(0, QColor(0x22, 0x26, 0x2D));
    wg.setColorAt(0.5, QColor(0x4A, 0x51, 0x5D));
    wg.setColorAt(1, QColor(0x22, 0x26, 0x2D));
    p.setBrush(wg);
    p.drawRoundedRect(wheel, 4, 4);
    p.setPen(QPen(QColor(0, 0, 0, 130), 1));
    for (qreal y = wheel.top() + 4; y < wheel.bottom() - 2; y += 4)
        p.drawLine(QPointF(wheel.left() + 2, y), QPointF(wheel.right() - 2, y));
    p.setPen(QPen(QColor::fromRgba(colour::Accent), 1));
    p.setBrush(QColor(0x1A, 0x1E, 0x24));
    p.drawRoundedRect(QRectF(pt(0.47, 0.305), pt(0.53, 0.36)), 3, 3);

    // Thumb buttons showing at the left flank.
    p.setPen(QPen(QColor(0x05, 0x06, 0x09), 1));
    p.setBrush(QColor(0x2C, 0x31, 0x3A));
    p.drawRoundedRect(QRectF(pt(0.115, 0.44), pt(0.15, 0.51)), 3, 3);
    p.drawRoundedRect(QRectF(pt(0.125, 0.525), pt(0.16, 0.595)), 3, 3);

    // Badge on the palm: the logo, or a window for the light colour.
    const QRectF badge = MouseBadgeRect(r);
    if (colourWindow) {
        QPainterPath hole;
        hole.addEllipse(badge.adjusted(4, 4, -4, -4));
        p.setCompositionMode(QPainter::CompositionMode_Clear);
        p.fillPath(hole, Qt::transparent);
        p.setCompositionMode(QPainter::CompositionMode_SourceOver);
        p.setPen(QPen(QColor(0x05, 0x06, 0x08), 2));
        p.setBrush(Qt::NoBrush);
        p.drawPath(hole);
        PaintLogo(p, badge.adjusted(14, 14, -14, -14));
    } else {
        PaintLogo(p, badge.adjusted(6, 6, -6, -6));
    }

    // Rim light.
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(0x5A, 0x62, 0x70), 1));
    p.drawPath(body);
    p.restore();
}

void PaintMouseSide(QPainter &p, const QRectF &r)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing, true);
    auto pt = [&](qreal x, qreal y) { return QPointF(r.left() + x * r.width(), r.top() + y * r.height()); };
    QPainterPath body;
    body.moveTo(pt(0.10, 0.86));
    body.lineTo(pt(0.90, 0.86));
    body.cubicTo(pt(0.98, 0.86), pt(0.99, 0.55), pt(0.90, 0.38));
    body.cubicTo(pt(0.80, 0.14), pt(0.60, 0.08), pt(0.42, 0.16));
    body.cubicTo(pt(0.26, 0.24), pt(0.08, 0.40), pt(0.04, 0.62));
    body.cubicTo(pt(0.02, 0.76), pt(0.04, 0.86), pt(0.10, 0.86));
    body.closeSubpath();

    // Cable leaving the nose.
    p.setPen(QPen(QColor(0x1A, 0x1D, 0x22), 5, Qt::SolidLine, Qt::RoundCap));
    QPainterPath cable;
    cable.moveTo(pt(0.05, 0.60));
    cable.cubicTo(pt(0.02, 0.58), pt(0.01, 0.50), pt(0.0, 0.46));
    p.drawPath(cable);

    // Floor shadow and shell.
    p.setPen(Qt::NoPen);
    QRadialGradient floor(pt(0.5, 0.90), r.width() * 0.48);
    floor.setColorAt(0, QColor(0, 0, 0, 120));
    floor.setColorAt(1, QColor(0, 0, 0, 0));
    p.setBrush(floor);
    p.drawEllipse(pt(0.5, 0.90), r.width() * 0.48, r.height() * 0.07);
    QLinearGradient shell(pt(0, 0.1), pt(0, 0.86));
    shell.setColorAt(0, QColor(0x3C, 0x42, 0x4D));
    shell.setColorAt(0.5, QColor(0x23, 0x27, 0x2F));
    shell.setColorAt(1, QColor(0x12, 0x14, 0x18));
    p.setBrush(shell);
    p.drawPath(body);

    p.setClipPath(body);
    // Skirt and its light strip.
    p.fillRect(QRectF(pt(0, 0.76), pt(1, 0.86)), QColor(0x0E, 0x10, 0x13));
    QLinearGradient led(pt(0.1, 0), pt(0.9, 0));
    led.setColorAt(0, rgba(colour::Accent, 0));
    led.setColorAt(0.3, rgba(colour::Accent, 255));
    led.setColorAt(0.8, rgba(colour::Accent, 255));
    led.setColorAt(1, rgba(colour::Accent, 0));
    p.fillRect(QRectF(pt(0.06, 0.755), pt(0.96, 0.77)), led);
    // Thumb groove.
    QPainterPath groove;
    groove.moveTo(pt(0.22, 0.62));
    groove.cubicTo(pt(0.40, 0.70), pt(0.62, 0.70), pt(0.80, 0.60));
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(0, 0, 0, 150), 2));
    p.drawPath(groove);
    p.setPen(QPen(QColor(255, 255, 255, 20), 1));
    p.drawPath(groove.translated(0, 2));
    p.setClipping(false);

    // Two thumb buttons.
    auto button = [&](const QRectF &b) {
        QLinearGradient g(b.topLeft(), b.bottomLeft());
        g.setColorAt(0, QColor(0x44, 0x4B, 0x57));
        g.setColorAt(1, QColor(0x24, 0x28, 0x30));
        p.setPen(QPen(QColor(0x06, 0x07, 0x09), 1));
        p.setBrush(g);
        p.drawRoundedRect(b, 7, 7);
        p.setPen(QPen(rgba(colour::Accent, 160), 1));
        p.drawLine(QPointF(b.left() + 6, b.bottom() - 2), QPointF(b.right() - 6, b.bottom() - 2));
    };
    button(QRectF(pt(0.26, 0.40), pt(0.41, 0.53)));
    button(QRectF(pt(0.43, 0.37), pt(0.58, 0.50)));

    // Rim light along the top.
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(0x5A, 0x62, 0x70), 1));
    p.drawPath(body);
    p.restore();
}

void DrawSliced(QPainter &p, const QRect &target, const QImage &img, int slice)
{
    if (img.isNull() || target.isEmpty())
        return;
    const int w = img.width(), h = img.height();
    if (img.size() == target.size() || slice <= 0) {
        p.drawImage(target, img);
        return;
    }
    // Corners cannot be larger than half of either rectangle.
    const int s = std::min({slice, w / 2, h / 2, target.width() / 2, target.height() / 2});
    if (s <= 0) {
        p.drawImage(target, img);
        return;
    }
    const int xs[4] = {0, s, w - s, w};
    const int ys[4] = {0, s, h - s, h};
    const int tx[4] = {target.left(), target.left() + s, target.right() + 1 - s, target.right() + 1};
    const int ty[4] = {target.top(), target.top() + s, target.bottom() + 1 - s, target.bottom() + 1};
    for (int row = 0; row < 3; ++row) {
        for (int col = 0; col < 3; ++col) {
            const QRect src(xs[col], ys[row], xs[col + 1] - xs[col], ys[row + 1] - ys[row]);
            const QRect dst(tx[col], ty[row], tx[col + 1] - tx[col], ty[row + 1] - ty[row]);
            if (!src.isEmpty() && !dst.isEmpty())
                p.drawImage(dst, img, src);
        }
    }
}

} // namespace hkt::skin
