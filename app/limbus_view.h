#pragma once

#include "analysis/circle_fit.h"

#include <QImage>
#include <QWidget>

#include <optional>
#include <vector>

// One photo of the compare window, fitted into the view, with its limbus ring, the photo's 0 degree
// direction and, on the current photo, the reference's 0 degrees carried across, and the landmarks
// clicked. The ring's centre and edge can be dragged into place; in landmark mode a click marks a
// landmark instead.
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

private:
    QRectF photoRect() const;
    QImage shown;
    QImage scaledCache;
    std::optional<Circle> ring;
    std::optional<double> carriedZero;
    std::vector<QPointF> landmarks;
    bool landmarkMode = false;
    enum class Drag { None, Centre, Edge } drag = Drag::None;
};
