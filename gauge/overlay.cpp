#include "gauge/overlay.h"

#include "gauge/geometry.h"
#include "gauge/rounding.h"

#include <QFont>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace {

// The canvas starts transparent, which is what the key colour shows. Drawing in the key colour
// writes transparent pixels over whatever lies beneath, as the key colour itself would.
bool isKey(const QColor& colour) {
    return colour.rgb() == kOverlayKey;
}

QRgb pixelOf(const QColor& colour) {
    return isKey(colour) ? 0u : colour.rgb();
}

void setLinePen(QPainter& painter, const QColor& colour, int width) {
    QPen pen(QColor::fromRgba(pixelOf(colour)), width);
    pen.setCapStyle(Qt::FlatCap);
    painter.setPen(pen);
    painter.setCompositionMode(isKey(colour) ? QPainter::CompositionMode_Source
                                             : QPainter::CompositionMode_SourceOver);
}

// Text in the key colour draws nothing: its box is transparent already.
void setTextColour(QPainter& painter, const QColor& colour) {
    painter.setPen(QColor::fromRgba(pixelOf(colour)));
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
}

QImage transparentCanvas(const QSize& size) {
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(0);
    return image;
}

// A one-pixel line from a towards b, b itself excluded like a flat-capped pen, clipped to the
// image. Qt's one-pixel pen makes a blend call per pixel on lines that rise to the right, which
// made the template's thin rays cost more than everything else in a redraw together.
void drawThinLine(QImage& image, QPoint a, const QPoint& b, QRgb colour) {
    const int dx = std::abs(b.x() - a.x());
    const int dy = -std::abs(b.y() - a.y());
    const int sx = a.x() < b.x() ? 1 : -1;
    const int sy = a.y() < b.y() ? 1 : -1;
    const int w = image.width();
    const int h = image.height();
    const qsizetype stride = image.bytesPerLine() / qsizetype(sizeof(QRgb));
    QRgb* bits = reinterpret_cast<QRgb*>(image.bits());
    int err = dx + dy;
    while (a != b) {
        if (a.x() >= 0 && a.x() < w && a.y() >= 0 && a.y() < h)
            bits[a.y() * stride + a.x()] = colour;
        const int e2 = 2 * err;
        if (e2 >= dy) {
            err += dy;
            a.rx() += sx;
        }
        if (e2 <= dx) {
            err += dx;
            a.ry() += sy;
        }
    }
}

void drawCentreMark(QPainter& painter, const QPoint& c, int rC, const QColor& colour) {
    setLinePen(painter, colour, 2);
    painter.setBrush(Qt::NoBrush);
    painter.drawEllipse(QRect(c.x() - rC, c.y() - rC, 2 * rC, 2 * rC).adjusted(0, 0, -1, -1));
    painter.drawLine(c.x(), c.y() - rC, c.x(), c.y() + rC);
    painter.drawLine(c.x() - rC, c.y(), c.x() + rC, c.y());
}

// A number on a line at angle deg, at scale times the number radius from the centre.
QPoint numberPoint(const QPoint& c, int rN, int deg, double scale) {
    const double a = deg * M_PI / 180.0;
    return QPoint(c.x() + roundHalfEven(rN * std::cos(a) * scale),
                  c.y() - roundHalfEven(rN * std::sin(a) * scale));
}

struct Frame {
    QPoint centre;
    GaugeRadii radii;
};

Frame frameOf(const GaugeInputs& in) {
    const QPoint c = gaugeCentre(in.layer.width(), in.layer.height(), in.offsetX, in.offsetY);
    return {c, gaugeRadii(in.layer.width(), in.layer.height(), in.centreSize, c)};
}

} // namespace

QFont overlayLabelFont(int width, int dpi) {
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setStyleStrategy(QFont::NoAntialias);
    const int points = labelPointSize(width);
    if (points > 0)
        font.setPixelSize(std::max(1, roundHalfEven(points * dpi / 72.0)));
    return font;
}

namespace {

QRect textBox(const QFontMetrics& metrics, int x, int y, const QString& text) {
    const int w = metrics.horizontalAdvance(text);
    const int h = metrics.height();
    return QRect(x - divTrunc(w, 2), y - divTrunc(h, 2), w, h);
}

} // namespace

// The box is cleared in the image directly: switching the painter's composition mode twice per
// label cost as much as drawing the text.
void DrawTextCentered(QImage& canvas, QPainter& painter, int x, int y, const QString& text) {
    const QFontMetrics metrics = painter.fontMetrics();
    const QRect box = textBox(metrics, x, y, text);
    const QRect clipped = box & canvas.rect();
    const qsizetype stride = canvas.bytesPerLine() / qsizetype(sizeof(QRgb));
    QRgb* bits = reinterpret_cast<QRgb*>(canvas.bits());
    for (int row = clipped.top(); row <= clipped.bottom(); ++row)
        std::fill_n(bits + row * stride + clipped.left(), clipped.width(), 0u);
    painter.drawText(box.left(), box.top() + metrics.ascent(), text);
}

QImage renderCentreMark(const GaugeInputs& in) {
    if (in.layer.isEmpty())
        return QImage();
    QImage image = transparentCanvas(in.layer);
    QPainter painter(&image);
    const Frame f = frameOf(in);
    drawCentreMark(painter, f.centre, f.radii.centre, in.settings.angleColorLines);
    painter.end();
    return image;
}

OverlayResult renderOverlay(const GaugeInputs& in) {
    OverlayResult result;
    result.readout = QString::number(sectorWidth(in.sectorStart, in.sectorEnd));
    if (in.layer.isEmpty())
        return result;

    const GaugeSettings& s = in.settings;
    const Frame f = frameOf(in);
    const QPoint c = f.centre;
    const GaugeRadii& r = f.radii;
    QImage image = transparentCanvas(in.layer);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::TextAntialiasing, false);
    drawCentreMark(painter, c, r.centre, s.angleColorLines);

    if (in.guideShown) {
        const double g = in.guide * M_PI / 180.0;
        const int ex = roundHalfEven(r.reach * std::cos(g));
        const int ey = roundHalfEven(r.reach * std::sin(g));
        setLinePen(painter, s.refColor, thicknessPenWidth(s.refWidth));
        painter.drawLine(c.x() + ex, c.y() - ey, c.x() - ex, c.y() + ey);
    }
    if (in.sectorShown) {
        setLinePen(painter, s.sectorColor, thicknessPenWidth(s.sectorWidth));
        painter.drawLine(c, pointAt(c, in.sectorStart, r.reach));
        painter.drawLine(c, pointAt(c, in.sectorEnd, r.reach));
    }
    drawCentreMark(painter, c, r.centre, s.angleColorLines);

    painter.setFont(overlayLabelFont(in.layer.width(), in.dpi));
    for (const TemplateRay& ray : templateRays(c, r, s.angleStep)) {
        if (ray.penWidth == 1) {
            drawThinLine(image, ray.inner, ray.outer, pixelOf(s.angleColorLines));
        } else {
            setLinePen(painter, s.angleColorLines, ray.penWidth);
            painter.drawLine(ray.inner, ray.outer);
        }
        if (!ray.text.isEmpty()) {
            setTextColour(painter, s.angleColorNumbers);
            DrawTextCentered(image, painter, ray.label.x(), ray.label.y(), ray.text);
        }
    }
    if (in.guideShown) {
        setTextColour(painter, s.refColor);
        const QPoint p = numberPoint(c, r.number, in.guide, 0.94);
        DrawTextCentered(image, painter, p.x(), p.y(), QString::number(in.guide));
    }
    if (in.sectorShown) {
        setTextColour(painter, s.sectorColor);
        for (int a : {in.sectorStart, in.sectorEnd}) {
            const QPoint p = numberPoint(c, r.number, a, 0.88);
            DrawTextCentered(image, painter, p.x(), p.y(), QString::number(a));
        }
    }
    painter.end();
    result.image = std::move(image);
    return result;
}

void drawFoundOutline(QImage& overlay, const QSize& photo, const QPointF& centre, double radius,
                      const QColor& colour) {
    if (overlay.isNull() || photo.isEmpty())
        return;
    const double sx = double(overlay.width()) / photo.width(), sy = double(overlay.height()) / photo.height();
    QPainter p(&overlay);
    p.setPen(QPen(QColor(colour.rgb()), 1));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QPointF(centre.x() * sx, centre.y() * sy), radius * sx, radius * sy);
}
