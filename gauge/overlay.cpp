#include "gauge/overlay.h"

#include "gauge/geometry.h"
#include "imaging/rounding.h"

#include <optional>

#include <QFont>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QPainter>
#include <QTransform>

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
        const QPoint p = numberPoint(c, r.number, in.guide, GaugeProportions::guideNumber);
        DrawTextCentered(image, painter, p.x(), p.y(), QString::number(in.guide));
    }
    if (in.sectorShown) {
        setTextColour(painter, s.sectorColor);
        for (int a : {in.sectorStart, in.sectorEnd}) {
            const QPoint p = numberPoint(c, r.number, a, GaugeProportions::sectorNumber);
            DrawTextCentered(image, painter, p.x(), p.y(), QString::number(a));
        }
    }
    painter.end();
    result.image = std::move(image);
    return result;
}

namespace {

// The part of a line inside a rectangle (Liang-Barsky), so that rays reaching far beyond a zoomed
// panel cost only the pixels shown.
std::optional<QLineF> clippedLine(const QLineF& line, const QRectF& r) {
    double t0 = 0, t1 = 1;
    const double dx = line.dx(), dy = line.dy();
    const double p[4] = {-dx, dx, -dy, dy};
    const double q[4] = {line.x1() - r.left(), r.right() - line.x1(), line.y1() - r.top(),
                         r.bottom() - line.y1()};
    for (int i = 0; i < 4; ++i) {
        if (p[i] == 0) {
            if (q[i] < 0)
                return std::nullopt;
            continue;
        }
        const double t = q[i] / p[i];
        if (p[i] < 0)
            t0 = std::max(t0, t);
        else
            t1 = std::min(t1, t);
        if (t0 > t1)
            return std::nullopt;
    }
    return QLineF(line.pointAt(t0), line.pointAt(t1));
}

QPoint pixelOfPoint(const QPointF& p) {
    return QPoint(int(std::floor(p.x())), int(std::floor(p.y())));
}

// Draws on a canvas of a zoomed view: positions come from the fitted layer enlarged, pens and text
// keep their screen size.
class ViewPainter {
public:
    ViewPainter(QImage& canvas, QPainter& painter, const QPointF& centre, double zoom)
        : canvas(canvas), painter(painter), centre(centre), zoom(zoom),
          bounds(QRectF(canvas.rect()).adjusted(-8, -8, 8, 8)) {}

    // The canvas point at layer distance r from the centre in the direction (cos, sin), y upward.
    QPointF along(double cos, double sin, double r) const {
        return centre + QPointF(r * zoom * cos, -r * zoom * sin);
    }
    void line(const QPointF& a, const QPointF& b, const QColor& colour, int width) {
        const auto shown = clippedLine(QLineF(a, b), bounds);
        if (!shown)
            return;
        if (width == 1) {
            drawThinLine(canvas, pixelOfPoint(shown->p1()), pixelOfPoint(shown->p2()), pixelOf(colour));
            return;
        }
        setLinePen(painter, colour, width);
        painter.drawLine(pixelOfPoint(shown->p1()), pixelOfPoint(shown->p2()));
    }
    void centreMark(int radius, const QColor& colour) {
        const double r = radius * zoom;
        const QPointF c = centre;
        line(c - QPointF(0, r), c + QPointF(0, r), colour, 2);
        line(c - QPointF(r, 0), c + QPointF(r, 0), colour, 2);
        // A circle wholly around or wholly beside the canvas leaves nothing to draw.
        const QRectF area(canvas.rect());
        const double nearX = std::clamp(c.x(), area.left(), area.right());
        const double nearY = std::clamp(c.y(), area.top(), area.bottom());
        const double farX = std::max(std::abs(c.x() - area.left()), std::abs(c.x() - area.right()));
        const double farY = std::max(std::abs(c.y() - area.top()), std::abs(c.y() - area.bottom()));
        if (std::hypot(nearX - c.x(), nearY - c.y()) > r + 2 || std::hypot(farX, farY) < r - 2)
            return;
        setLinePen(painter, colour, 2);
        painter.setBrush(Qt::NoBrush);
        const QPoint p = pixelOfPoint(c);
        const int ri = int(std::lround(r));
        painter.drawEllipse(QRect(p.x() - ri, p.y() - ri, 2 * ri, 2 * ri).adjusted(0, 0, -1, -1));
    }
    void number(const QPointF& at, const QString& text) {
        if (!bounds.adjusted(-200, -100, 200, 100).contains(at))
            return;
        const QPoint p = pixelOfPoint(at);
        DrawTextCentered(canvas, painter, p.x(), p.y(), text);
    }

private:
    QImage& canvas;
    QPainter& painter;
    QPointF centre; // on the canvas
    double zoom;
    QRectF bounds;
};

} // namespace

OverlayResult renderOverlayView(const GaugeInputs& in, const OverlayView& v, bool centreMarkOnly) {
    OverlayResult result;
    result.readout = QString::number(sectorWidth(in.sectorStart, in.sectorEnd));
    if (in.layer.isEmpty() || v.visible.isEmpty())
        return result;
    const GaugeSettings& s = in.settings;
    // Radii and number distances are the fitted layer's, so every number is the fitted view's.
    const Frame f = frameOf(in);
    const GaugeRadii& r = f.radii;
    const QPointF centre = v.view.toPanel(gaugeCentreOnLayer(in.layer, v.photo, in.offsetX, in.offsetY)) -
                           QPointF(v.visible.topLeft());
    QImage image = transparentCanvas(v.visible.size());
    QPainter painter(&image);
    painter.setRenderHint(QPainter::TextAntialiasing, false);
    ViewPainter draw(image, painter, centre, v.view.zoom);
    draw.centreMark(r.centre, s.angleColorLines);
    if (!centreMarkOnly) {
        const auto dir = [](int deg) {
            const double a = deg * M_PI / 180.0;
            return std::pair<double, double>(std::cos(a), std::sin(a));
        };
        if (in.guideShown) {
            const auto [gc, gs] = dir(in.guide);
            draw.line(draw.along(gc, gs, r.reach), draw.along(-gc, -gs, r.reach), s.refColor,
                      thicknessPenWidth(s.refWidth));
        }
        if (in.sectorShown)
            for (int a : {in.sectorStart, in.sectorEnd}) {
                const auto [ac, as] = dir(a);
                draw.line(centre, draw.along(ac, as, r.reach), s.sectorColor,
                          thicknessPenWidth(s.sectorWidth));
            }
        draw.centreMark(r.centre, s.angleColorLines);
        painter.setFont(overlayLabelFont(in.layer.width(), in.dpi));
        for (const TemplateDirection& d : templateDirections(s.angleStep)) {
            draw.line(draw.along(d.cos, d.sin, r.centre), draw.along(d.cos, d.sin, r.reach),
                      s.angleColorLines, d.axis ? 2 : 1);
            if (!d.text.isEmpty()) {
                setTextColour(painter, s.angleColorNumbers);
                draw.number(draw.along(d.cos, d.sin, r.number), d.text);
            }
        }
        const auto numberAt = [&](int deg, double scale, const QColor& colour) {
            const auto [c, sn] = dir(deg);
            setTextColour(painter, colour);
            draw.number(draw.along(c, sn, r.number * scale), QString::number(deg));
        };
        if (in.guideShown)
            numberAt(in.guide, GaugeProportions::guideNumber, s.refColor);
        if (in.sectorShown)
            for (int a : {in.sectorStart, in.sectorEnd})
                numberAt(a, GaugeProportions::sectorNumber, s.sectorColor);
    }
    painter.end();
    result.image = std::move(image);
    return result;
}

void drawFoundOutline(QImage& overlay, const QSize& photo, const QPointF& centre, double radius,
                      const QColor& colour) {
    if (overlay.isNull() || photo.isEmpty())
        return;
    drawFoundOutline(overlay,
                     QTransform::fromScale(double(overlay.width()) / photo.width(),
                                           double(overlay.height()) / photo.height()),
                     centre, radius, colour);
}

void drawFoundOutline(QImage& overlay, const QTransform& photoToOverlay, const QPointF& centre, double radius,
                      const QColor& colour) {
    if (overlay.isNull())
        return;
    QPainter p(&overlay);
    p.setPen(QPen(QColor(colour.rgb()), 1));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(photoToOverlay.map(centre), radius * photoToOverlay.m11(), radius * photoToOverlay.m22());
}
