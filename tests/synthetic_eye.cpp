#include "synthetic_eye.h"

#include <QBuffer>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>
#include <random>

namespace {

QPainterPath ellipsePath(const QPointF& c, double major, double minor, double tilt) {
    QPainterPath p;
    p.addEllipse(QPointF(0, 0), major, minor);
    QTransform t;
    t.translate(c.x(), c.y());
    t.rotate(tilt);
    return t.map(p);
}

QColor jitter(const QColor& c, int amount, std::mt19937& rng) {
    std::uniform_int_distribution<int> d(-amount, amount);
    const int k = d(rng);
    return QColor(std::clamp(c.red() + k + d(rng) / 3, 0, 255),
                  std::clamp(c.green() + k + d(rng) / 3, 0, 255),
                  std::clamp(c.blue() + k + d(rng) / 3, 0, 255));
}

// Horizontal then vertical running-sum box blur of radius r, in place.
void boxBlur(QImage& img, int r) {
    if (r <= 0)
        return;
    const int w = img.width(), h = img.height();
    std::vector<int> line;
    auto pass = [&](int count, int length, auto px) {
        line.resize(size_t(length) * 3);
        for (int i = 0; i < count; ++i) {
            for (int k = 0; k < length; ++k) {
                const QRgb p = *px(i, k);
                line[k * 3] = qRed(p), line[k * 3 + 1] = qGreen(p), line[k * 3 + 2] = qBlue(p);
            }
            int s[3] = {0, 0, 0};
            for (int k = -r; k <= r; ++k)
                for (int c = 0; c < 3; ++c)
                    s[c] += line[std::clamp(k, 0, length - 1) * 3 + c];
            for (int k = 0; k < length; ++k) {
                *px(i, k) = qRgb(s[0] / (2 * r + 1), s[1] / (2 * r + 1), s[2] / (2 * r + 1));
                const int out = std::clamp(k - r, 0, length - 1), in = std::clamp(k + r + 1, 0, length - 1);
                for (int c = 0; c < 3; ++c)
                    s[c] += line[in * 3 + c] - line[out * 3 + c];
            }
        }
    };
    pass(h, w, [&](int y, int x) { return reinterpret_cast<QRgb*>(img.scanLine(y)) + x; });
    pass(w, h, [&](int x, int y) { return reinterpret_cast<QRgb*>(img.scanLine(y)) + x; });
}

void addNoise(QImage& img, double sigma, std::mt19937& rng) {
    std::normal_distribution<float> n(0, float(sigma));
    for (int y = 0; y < img.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(img.scanLine(y));
        for (int x = 0; x < img.width(); x += 1) {
            const int k = int(n(rng));
            const QRgb p = line[x];
            line[x] = qRgb(std::clamp(qRed(p) + k, 0, 255), std::clamp(qGreen(p) + k, 0, 255),
                           std::clamp(qBlue(p) + k, 0, 255));
        }
    }
}

// The offset of the lid circle's centre below the limbus centre that hides the wanted share.
double lidOffset(const EyeSpec& s, double lidRadius) {
    const double minor = s.limbusRadius * s.roundness;
    const auto hidden = [&](double d) {
        int count = 0;
        const double t = s.tiltDegrees * M_PI / 180;
        for (int i = 0; i < 720; ++i) {
            const double a = 2 * M_PI * i / 720;
            const double ex = s.limbusRadius * std::cos(a), ey = minor * std::sin(a);
            const double x = ex * std::cos(t) - ey * std::sin(t), y = ex * std::sin(t) + ey * std::cos(t);
            count += std::hypot(x, y - d) > lidRadius;
        }
        return count / 720.0;
    };
    double lo = lidRadius - 2 * s.limbusRadius, hi = lidRadius;
    if (s.lidCover <= 0)
        return lidRadius - 1.15 * s.limbusRadius;
    for (int i = 0; i < 50; ++i) {
        const double mid = (lo + hi) / 2;
        (hidden(mid) < s.lidCover ? lo : hi) = mid;
    }
    return lo;
}

} // namespace

QImage degrade(const QImage& image, int blurRadius, int jpegQuality) {
    QImage out = image.convertToFormat(QImage::Format_RGB32);
    boxBlur(out, blurRadius);
    if (jpegQuality <= 0)
        return out;
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    out.save(&buffer, "JPEG", jpegQuality);
    QImage decoded;
    decoded.loadFromData(bytes, "JPEG");
    return decoded.convertToFormat(QImage::Format_RGB32);
}

// Radial streaks and crypts on the iris, its gradual darkening towards the limbus, the pupil.
static void drawIris(QPainter& p, const EyeSpec& s, const SyntheticEye& eye, const QPainterPath& limbus,
                     std::mt19937& rng) {
    std::uniform_real_distribution<double> u(0, 1);
    const double R = s.limbusRadius;
    for (int i = 0; i < 400; ++i) { // radial streaks
        const double a = 2 * M_PI * u(rng);
        const QPointF dir(std::cos(a), std::sin(a));
        p.setPen(QPen(jitter(s.iris, 40, rng), R * (0.006 + 0.02 * u(rng))));
        p.drawLine(eye.pupilCentre + dir * eye.pupilRadius * 0.9,
                   s.limbusCentre + dir * R * (0.7 + 0.35 * u(rng)));
    }
    for (int i = 0; i < 40; ++i) { // crypts
        const double a = 2 * M_PI * u(rng), r = R * (0.45 + 0.4 * u(rng));
        p.setPen(Qt::NoPen);
        p.setBrush(s.iris.darker(140 + int(60 * u(rng))));
        p.drawEllipse(s.limbusCentre + QPointF(std::cos(a), std::sin(a)) * r, R * 0.03 * (1 + u(rng)),
                      R * 0.02);
    }
    QRadialGradient ring(s.limbusCentre, R); // the iris darkens gradually towards the limbus
    ring.setColorAt(0.75, QColor(0, 0, 0, 0));
    ring.setColorAt(1.0, QColor(0, 0, 0, 90));
    p.setPen(Qt::NoPen);
    p.setBrush(ring);
    p.drawPath(limbus);
    p.setBrush(s.pupil);
    p.drawPath(ellipsePath(eye.pupilCentre, eye.pupilRadius * 2 / (1 + s.roundness),
                           eye.pupilRadius * 2 * s.roundness / (1 + s.roundness), s.tiltDegrees));
}

SyntheticEye makeSyntheticEye(const EyeSpec& s) {
    std::mt19937 rng(s.seed);
    std::uniform_real_distribution<double> u(0, 1);
    const double R = s.limbusRadius, minor = R * s.roundness;
    SyntheticEye eye;
    eye.limbusCentre = s.limbusCentre;
    eye.pupilCentre = s.limbusCentre + s.pupilShift * R;
    eye.limbusRadius = (R + minor) / 2;
    eye.pupilRadius = eye.limbusRadius * s.pupilRatio;
    eye.reflectionCentre = s.limbusCentre + s.reflection * R;
    eye.reflectionRadius = 0.07 * R;
    eye.lidCircleRadius = 2.4 * R;
    eye.lidCircleCentre = s.limbusCentre + QPointF(0, lidOffset(s, eye.lidCircleRadius));

    QImage img(s.size, QImage::Format_RGB32);
    img.fill(QColor(196, 148, 124)); // skin
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath upper, lower;
    upper.addEllipse(eye.lidCircleCentre, eye.lidCircleRadius, eye.lidCircleRadius);
    const double lowerRadius = 2.4 * R;
    lower.addEllipse(s.limbusCentre - QPointF(0, lowerRadius - 1.25 * R), lowerRadius, lowerRadius);
    const QPainterPath opening = upper.intersected(lower);
    p.setClipPath(opening);
    p.fillRect(img.rect(), QColor(232, 226, 220)); // sclera
    for (int i = 0; i < 14; ++i) {                 // vessels running towards the limbus
        const double a = 2 * M_PI * u(rng);
        const QPointF dir(std::cos(a), std::sin(a));
        QPainterPath v(s.limbusCentre + dir * R * (1.02 + 0.1 * u(rng)));
        v.cubicTo(s.limbusCentre + dir * R * 1.5 + QPointF(u(rng) - 0.5, u(rng) - 0.5) * R * 0.4,
                  s.limbusCentre + dir * R * 2.0 + QPointF(u(rng) - 0.5, u(rng) - 0.5) * R * 0.6,
                  s.limbusCentre + dir * R * 2.6);
        p.setPen(QPen(QColor(185, 70, 70), R * (0.006 + 0.012 * u(rng))));
        p.drawPath(v);
    }
    const QPainterPath limbus = ellipsePath(s.limbusCentre, R, minor, s.tiltDegrees);
    p.setClipPath(opening.intersected(limbus));
    p.fillRect(img.rect(), s.iris);
    drawIris(p, s, eye, limbus, rng);
    p.setClipPath(opening);
    p.setBrush(QColor(250, 250, 248));
    p.drawEllipse(eye.reflectionCentre, eye.reflectionRadius, eye.reflectionRadius * 0.8);
    p.setClipping(false);
    p.setPen(QPen(QColor(40, 30, 28), R * 0.008)); // lashes along the upper lid
    for (int i = 0; i < 60; ++i) {
        const double a = -M_PI / 2 + (u(rng) - 0.5) * 1.4;
        const QPointF root = eye.lidCircleCentre + QPointF(std::cos(a), std::sin(a)) * eye.lidCircleRadius;
        const double hang = u(rng) < 0.3 ? 0.15 : -0.35; // some droop over the eye
        p.drawLine(root, root + QPointF((u(rng) - 0.5) * 0.2, hang * u(rng)) * R);
    }
    p.end();
    addNoise(img, 3.0, rng);
    const int blur = int(std::lround(s.blur * std::max(s.size.width(), s.size.height()) / 1000.0));
    eye.photo = degrade(img, blur, s.jpegQuality);
    return eye;
}

QImage makeSyntheticFundus(const QSize& size, const QPointF& centre, double radius, uint32_t seed, bool tab) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> u(0, 1);
    QImage img(size, QImage::Format_RGB32);
    img.fill(Qt::black);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    QRadialGradient g(centre, radius);
    g.setColorAt(0, QColor(230, 120, 60));
    g.setColorAt(0.85, QColor(190, 80, 35));
    g.setColorAt(1, QColor(120, 45, 20)); // darker towards the rim, as photographed
    p.setPen(Qt::NoPen);
    p.setBrush(g);
    p.drawEllipse(centre, radius, radius);
    if (tab) {
        p.setBrush(QColor(120, 45, 20));
        p.drawEllipse(centre + QPointF(1, -1) * (radius / std::sqrt(2.0)), 0.05 * radius, 0.05 * radius);
    }
    QPainterPath field;
    field.addEllipse(centre, radius, radius);
    p.setClipPath(field);
    const QPointF disc = centre + QPointF(0.3, -0.05) * radius;
    p.setBrush(Qt::NoBrush);
    for (int i = 0; i < 12; ++i) {
        const double a = 2 * M_PI * u(rng);
        QPainterPath v(disc);
        v.cubicTo(disc + QPointF(std::cos(a), std::sin(a)) * radius * 0.5 +
                      QPointF(u(rng), u(rng)) * radius * 0.2,
                  disc + QPointF(std::cos(a + 0.4), std::sin(a + 0.4)) * radius * 0.9,
                  disc + QPointF(std::cos(a + 0.6), std::sin(a + 0.6)) * radius * 1.6);
        p.setPen(QPen(QColor(140, 30, 20), radius * (0.008 + 0.012 * u(rng))));
        p.drawPath(v);
    }
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(245, 210, 130));
    p.drawEllipse(disc, radius * 0.11, radius * 0.12);
    p.end();
    addNoise(img, 3.0, rng);
    return degrade(img, std::max(1, int(size.width() / 1000)), 85);
}
