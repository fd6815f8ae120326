#include "gauge/overlay.h"

#include "gauge/geometry.h"
#include "gauge/rounding.h"

#include <QFont>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QPainter>

#include <cmath>

namespace {

QPen flatPen(const QColor& colour, int width) {
    QPen pen(QColor(colour.rgb()), width);
    pen.setCapStyle(Qt::FlatCap);
    return pen;
}

// A canvas filled with the opaque key colour; everything is drawn opaque and unsmoothed, and the
// key pixels are made transparent once at the end.
QImage keyCanvas(const QSize& size) {
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(kOverlayKey);
    return image;
}

void keyToTransparent(QImage& image) {
    for (int y = 0; y < image.height(); ++y) {
        QRgb* p = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0, w = image.width(); x < w; ++x)
            p[x] = p[x] == kOverlayKey ? 0u : p[x];
    }
}

void drawCentreMark(QPainter& painter, const QPoint& c, int rC, const QColor& colour) {
    painter.setPen(flatPen(colour, 2));
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

void DrawTextCentered(QPainter& painter, int x, int y, const QString& text) {
    const QFontMetrics metrics = painter.fontMetrics();
    const int w = metrics.horizontalAdvance(text);
    const int h = metrics.height();
    const QRect box(x - divTrunc(w, 2), y - divTrunc(h, 2), w, h);
    painter.fillRect(box, QColor::fromRgb(kOverlayKey));
    painter.drawText(box, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, text);
}

QImage renderCentreMark(const GaugeInputs& in) {
    if (in.layer.isEmpty())
        return QImage();
    QImage image = keyCanvas(in.layer);
    {
        QPainter painter(&image);
        const Frame f = frameOf(in);
        drawCentreMark(painter, f.centre, f.radii.centre, in.settings.angleColorLines);
    }
    keyToTransparent(image);
    return image;
}

OverlayResult renderOverlay(const GaugeInputs& in) {
    OverlayResult result;
    result.readout = QString::number(std::abs(in.sectorStart - in.sectorEnd));
    if (in.layer.isEmpty())
        return result;

    const GaugeSettings& s = in.settings;
    const Frame f = frameOf(in);
    const QPoint c = f.centre;
    const GaugeRadii& r = f.radii;
    QImage image = keyCanvas(in.layer);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::TextAntialiasing, false);
        drawCentreMark(painter, c, r.centre, s.angleColorLines);

        if (in.guideShown) {
            const double g = in.guide * M_PI / 180.0;
            const int ex = roundHalfEven(r.reach * std::cos(g));
            const int ey = roundHalfEven(r.reach * std::sin(g));
            painter.setPen(flatPen(s.refColor, thicknessPenWidth(s.refWidth)));
            painter.drawLine(c.x() + ex, c.y() - ey, c.x() - ex, c.y() + ey);
        }
        if (in.sectorShown) {
            painter.setPen(flatPen(s.sectorColor, thicknessPenWidth(s.sectorWidth)));
            painter.drawLine(c, pointAt(c, in.sectorStart, r.reach));
            painter.drawLine(c, pointAt(c, in.sectorEnd, r.reach));
        }
        drawCentreMark(painter, c, r.centre, s.angleColorLines);

        painter.setFont(overlayLabelFont(in.layer.width(), in.dpi));
        const QColor lines(s.angleColorLines.rgb());
        const QColor numbers(s.angleColorNumbers.rgb());
        for (const TemplateRay& ray : templateRays(c, r, s.angleStep)) {
            painter.setPen(flatPen(lines, ray.penWidth));
            painter.drawLine(ray.inner, ray.outer);
            if (!ray.text.isEmpty()) {
                painter.setPen(numbers);
                DrawTextCentered(painter, ray.label.x(), ray.label.y(), ray.text);
            }
        }
        if (in.guideShown) {
            painter.setPen(QColor(s.refColor.rgb()));
            const QPoint p = numberPoint(c, r.number, in.guide, 0.94);
            DrawTextCentered(painter, p.x(), p.y(), QString::number(in.guide));
        }
        if (in.sectorShown) {
            painter.setPen(QColor(s.sectorColor.rgb()));
            for (int a : {in.sectorStart, in.sectorEnd}) {
                const QPoint p = numberPoint(c, r.number, a, 0.88);
                DrawTextCentered(painter, p.x(), p.y(), QString::number(a));
            }
        }
    }
    keyToTransparent(image);
    result.image = std::move(image);
    return result;
}
