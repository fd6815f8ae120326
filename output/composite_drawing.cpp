#include "output/composite_drawing.h"

#include "gauge/geometry.h"
#include "imaging/imaging.h"
#include "imaging/rounding.h"

#include <QHash>
#include <QPainter>
#include <QPen>
#include <QTextOption>

#include <cmath>

namespace {

constexpr double kDegree = M_PI / 180.0;
// Number boxes are fixed in photo pixels whatever the photo's size.
constexpr double kNumberBoxWidth = 200.0;
constexpr double kNumberBoxHeight = 100.0;
// Brand images are faded to this fraction of their own alpha.
constexpr qreal kBrandOpacity = 0.3;

QColor withTransparency(const QColor& colour, int percent) {
    return QColor(colour.red(), colour.green(), colour.blue(), alphaForTransparency(percent));
}

// Every channel of the premultiplied pixels times factor, rounded: the alpha is multiplied exactly,
// where QPainter's opacity would quantise the factor to 1/256 steps.
QImage faded(const QImage& image, double factor) {
    QImage out = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    if (out.isNull())
        return out;
    uchar scaled[256]; // the same rounding for every channel, looked up rather than recomputed
    for (int v = 0; v < 256; ++v)
        scaled[v] = uchar(roundHalfEven(v * factor));
    for (int y = 0; y < out.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < out.width(); ++x) {
            const QRgb p = row[x];
            row[x] = qRgba(scaled[qRed(p)], scaled[qGreen(p)], scaled[qBlue(p)], scaled[qAlpha(p)]);
        }
    }
    return out;
}

class Builder {
public:
    explicit Builder(std::vector<DrawOp>& ops) : ops(ops) {}

    void line(double x0, double y0, double x1, double y1, const QColor& colour, int width) {
        DrawOp op;
        op.kind = DrawOp::Line;
        op.onPixelCentres = true;
        op.from = QPointF(x0, y0);
        op.to = QPointF(x1, y1);
        op.color = colour;
        op.penWidth = width;
        ops.push_back(std::move(op));
    }

    void circle(int cx, int cy, int radius, const QColor& colour, int width) {
        DrawOp op;
        op.kind = DrawOp::Circle;
        op.onPixelCentres = true;
        op.from = QPointF(cx, cy);
        op.radius = radius;
        op.color = colour;
        op.penWidth = width;
        ops.push_back(std::move(op));
    }

    void text(const QRectF& box, const QString& text, int fontPixels, const QColor& colour,
              bool onPixelCentres = false) {
        if (fontPixels <= 0 || text.isEmpty())
            return; // a font of size 0 draws nothing
        DrawOp op;
        op.kind = DrawOp::Text;
        op.onPixelCentres = onPixelCentres;
        op.box = box;
        op.text = text;
        op.fontPixels = fontPixels;
        op.color = colour;
        ops.push_back(std::move(op));
    }

    // A number centred on a point of the gauge; the point is not rounded.
    void number(double x, double y, const QString& value, int fontPixels, const QColor& colour) {
        const QRectF box(x - kNumberBoxWidth / 2, y - kNumberBoxHeight / 2, kNumberBoxWidth,
                         kNumberBoxHeight);
        text(box, value, fontPixels, colour, true);
    }

    void fill(const QRectF& box, const QColor& colour) {
        DrawOp op;
        op.kind = DrawOp::Fill;
        op.box = box;
        op.color = colour;
        ops.push_back(std::move(op));
    }

    void picture(const QImage& source, const QRectF& box) {
        const int w = int(box.width());
        const int h = int(box.height());
        if (source.isNull() || w <= 0 || h <= 0)
            return;
        DrawOp op;
        op.kind = DrawOp::Picture;
        op.from = box.topLeft();
        op.picture = faded(imaging::scaledTo(source, w, h), kBrandOpacity);
        ops.push_back(std::move(op));
    }

private:
    std::vector<DrawOp>& ops;
};

void addTemplate(Builder& b, const CompositeInputs& in, const CompositeLayout& g, const QColor& lines,
                 const QColor& numbers) {
    const QPoint c(g.cx, g.cy);
    const std::vector<TemplateDirection> dirs = templateDirections(in.settings.angleStep);
    // A pass is four rays; its numbers are drawn after its lines.
    for (size_t pass = 0; pass < dirs.size(); pass += 4) {
        for (size_t i = pass; i < pass + 4; ++i) {
            const QPoint from = pointAlong(c, dirs[i], g.markRadius);
            const QPoint to = pointAlong(c, dirs[i], g.reach);
            b.line(from.x(), from.y(), to.x(), to.y(), lines, dirs[i].axis ? 4 : 2);
        }
        for (size_t i = pass; i < pass + 4; ++i)
            if (!dirs[i].text.isEmpty())
                b.number(g.cx + g.numberRadius * dirs[i].cos, g.cy - g.numberRadius * dirs[i].sin,
                         dirs[i].text, g.numberFont, numbers);
    }
}

void addGuideAndSector(Builder& b, const CompositeInputs& in, const CompositeLayout& g,
                       const QColor& numbers) {
    const int cx = g.cx, cy = g.cy, L = g.reach;
    const GaugeSettings& st = in.settings;
    if (in.guideShown) {
        const int deg = in.guideDegrees;
        const double c = std::cos(deg * kDegree), s = std::sin(deg * kDegree);
        b.line(cx + roundHalfEven(L * c), cy - roundHalfEven(L * s), cx - roundHalfEven(L * c),
               cy + roundHalfEven(L * s), withTransparency(st.refColor, st.refTrans),
               penWidthForThickness(st.refWidth));
        b.number(cx + g.guideRadius * c, cy - g.guideRadius * s, QString::number(deg), g.numberFont, numbers);
    }
    if (in.sectorShown) {
        const QColor colour = withTransparency(st.sectorColor, st.sectorTrans);
        for (const int deg : {in.sectorStart, in.sectorEnd}) {
            const double c = std::cos(deg * kDegree), s = std::sin(deg * kDegree);
            b.line(cx, cy, cx + roundHalfEven(L * c), cy - roundHalfEven(L * s), colour,
                   penWidthForThickness(st.sectorWidth));
            b.number(cx + g.sectorRadius * c, cy - g.sectorRadius * s, QString::number(deg), g.numberFont,
                     numbers);
        }
    }
}

// The two labels, as looked up in the catalogue.
QString eyeLabel(const CompositeInputs& in) {
    return in.leftEye ? QStringLiteral("OI") : QStringLiteral("OD");
}

QString deltaLabel(const CompositeInputs& in) {
    return QStringLiteral("Delta: ") + in.sectorReadout;
}

void addAnnotations(Builder& b, const CompositeInputs& in, const CompositeLayout& g, const QColor& numbers) {
    if (!in.reference.isEmpty()) {
        const int h = roundHalfEven(g.referenceLineSpacing);
        b.fill(g.bandBox, QColor(0, 0, 0, 128));
        // A black copy under a white one, 2 pixels right and down, reads on any photo.
        b.text(QRectF(0, g.height - h, g.width, h), in.reference, g.referenceFont, QColor(0, 0, 0));
        b.text(QRectF(2, g.height - h + 2, g.width, h), in.reference, g.referenceFont, QColor(255, 255, 255));
    }
    b.picture(in.brandLogo, g.logoBox);
    b.picture(in.brandLettering, g.letteringBox);

    const auto translate = [&in](const QString& text) { return in.translate ? in.translate(text) : text; };
    b.text(g.eyeBox, translate(eyeLabel(in)), g.eyeFont, numbers);
    if (in.sectorShown)
        b.text(g.deltaBox, translate(deltaLabel(in)), g.deltaFont, numbers);
}

// The most a step can paint, with a margin for anti-aliasing, before any clipping.
QRectF paintedBounds(const DrawOp& op) {
    const QPointF shift = op.onPixelCentres ? QPointF(0.5, 0.5) : QPointF();
    const qreal margin = op.penWidth / 2 + 2;
    switch (op.kind) {
    case DrawOp::Line:
        return QRectF(op.from + shift, op.to + shift).normalized().adjusted(-margin, -margin, margin, margin);
    case DrawOp::Circle: {
        const qreal r = op.radius + margin;
        return QRectF(op.from + shift - QPointF(r, r), QSizeF(2 * r, 2 * r));
    }
    case DrawOp::Text:
        return op.box.translated(shift); // text is clipped to its box
    case DrawOp::Fill:
        return op.box;
    case DrawOp::Picture:
        return QRectF(op.from, op.picture.size());
    }
    return QRectF();
}

} // namespace

QFont compositeFont(int pixelSize) {
    QFont font(QStringLiteral("Times New Roman"));
    font.setPixelSize(pixelSize > 0 ? pixelSize : 1);
    font.setHintingPreference(QFont::PreferNoHinting);
    font.setStyleStrategy(QFont::StyleStrategy(QFont::PreferAntialias | QFont::NoSubpixelAntialias));
    return font;
}

std::vector<DrawOp> compositeDrawing(const CompositeInputs& in, const CompositeLayout& g) {
    std::vector<DrawOp> ops;
    Builder b(ops);
    const GaugeSettings& st = in.settings;
    const QColor lines = withTransparency(st.angleColorLines, st.angleTrans);
    const QColor numbers = withTransparency(st.angleColorNumbers, st.angleTrans);

    // Centre mark: a cross and a circle of radius m, in whole pixels.
    const int cx = g.cx, cy = g.cy, m = g.markRadius;
    b.line(cx, cy - m, cx, cy + m, lines, 4);
    b.line(cx - m, cy, cx + m, cy, lines, 4);
    b.circle(cx, cy, m, lines, 4);

    addTemplate(b, in, g, lines, numbers);
    addGuideAndSector(b, in, g, numbers);
    addAnnotations(b, in, g, numbers);
    return ops;
}

void replayDrawing(QPainter& painter, const std::vector<DrawOp>& ops, const QRectF& area) {
    painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing);
    QTextOption centred(Qt::AlignCenter);
    centred.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    const QPointF half(0.5, 0.5);
    int currentFont = -1;

    for (const DrawOp& op : ops) {
        if (!area.isEmpty() && !paintedBounds(op).intersects(area))
            continue;
        const QPointF shift = op.onPixelCentres ? half : QPointF();
        switch (op.kind) {
        case DrawOp::Line:
            painter.setPen(QPen(op.color, op.penWidth, Qt::SolidLine, Qt::FlatCap));
            painter.drawLine(op.from + shift, op.to + shift);
            break;
        case DrawOp::Circle:
            painter.setPen(QPen(op.color, op.penWidth, Qt::SolidLine, Qt::FlatCap));
            painter.setBrush(Qt::NoBrush);
            painter.drawEllipse(op.from + shift, op.radius, op.radius);
            break;
        case DrawOp::Text:
            if (op.fontPixels != currentFont) {
                painter.setFont(compositeFont(op.fontPixels));
                currentFont = op.fontPixels;
            }
            painter.setPen(op.color);
            // Text is cut at the edges of its box.
            painter.save();
            painter.setClipRect(op.box.translated(shift), Qt::IntersectClip);
            painter.drawText(op.box.translated(shift), op.text, centred);
            painter.restore();
            break;
        case DrawOp::Fill:
            painter.fillRect(op.box, op.color);
            break;
        case DrawOp::Picture:
            painter.drawImage(op.from, op.picture);
            break;
        }
    }
}

CompositeInputs withLabelsLookedUp(CompositeInputs in) {
    if (!in.translate)
        return in;
    QHash<QString, QString> looked;
    for (const QString& label : {eyeLabel(in), deltaLabel(in)})
        looked.insert(label, in.translate(label));
    in.translate = [looked](const QString& text) { return looked.value(text, text); };
    return in;
}
