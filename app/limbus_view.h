#pragma once

#include "analysis/circle_fit.h"

#include <QImage>
#include <QWidget>

#include <optional>
#include <vector>

// One photo of the compare window, fitted into the view, with its limbus ring, the photo's 0 degree
// direction, an axis through the limbus centre, on the current photo the reference's 0 degrees
// carried across, the landmarks clicked, and a legend of what is drawn in a corner of the photo away
// from the marks and the pointer. The ring's centre and edge can be dragged into place; in landmark mode a
// click marks a landmark instead.
class LimbusView : public QWidget {
    Q_OBJECT
public:
    explicit LimbusView(QWidget* parent = nullptr);

    void setPhoto(const QImage& photo);
    const QImage& photo() const { return shown; }
    void setLimbus(const std::optional<Circle>& limbus);
    const std::optional<Circle>& limbus() const { return ring; }
    // The reference's 0 degrees as it lies in this photo; none on the reference photo itself.
    void setCarriedZero(const std::optional<double>& degrees);
    // An axis (degrees, 0..180) drawn through the limbus centre, named in the legend by its Spanish
    // name (looked up when drawn).
    void setAxis(const std::optional<double>& degrees, const char* name);
    void setLandmarks(const std::vector<QPointF>& points);
    void setLandmarkMode(bool on) { landmarkMode = on; }

    // Photo position of a view position, and back.
    QPointF photoPoint(const QPointF& viewPoint) const;
    QPointF viewPoint(const QPointF& photoPoint) const;

signals:
    void limbusEdited(const Circle& limbus);
    void landmarkClicked(const QPointF& photoPoint);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    QRectF photoRect() const;
    void drawLegend(QPainter& p, const QRectF& photoArea) const;
    QRectF legendBox(const QRectF& photoArea, const QSizeF& size) const;
    QImage shown;
    QImage scaledCache;
    std::optional<Circle> ring;
    std::optional<double> carriedZero;
    std::optional<double> axis;
    const char* axisName = "";
    std::vector<QPointF> landmarks;
    bool landmarkMode = false;
    std::optional<QPointF> pointer; // where the pointer hovers, kept clear of the legend
    enum class Drag { None, Centre, Edge } drag = Drag::None;
};
