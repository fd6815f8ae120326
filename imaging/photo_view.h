#pragma once

#include <QImage>
#include <QTransform>

#include <vector>

// The photo drawn for a zoomed view: from a halved copy near the scale shown, so that reducing it
// costs what the screen shows and stays smooth, instead of skipping most of a large photo's pixels.
namespace imaging {

class ScaledCopies {
public:
    void reset(const QImage& photo);
    const QImage& photo() const;
    // The smallest copy with at least `scale` of its pixels per photo pixel (the photo itself above
    // half scale); halved copies are made the first time they are needed, each from the one before.
    const QImage& copyFor(double scale);
    // Makes every copy a view down to `scale` can ask for, so that zooming never waits for one.
    void prepare(double scale);

private:
    QImage source;
    std::vector<QImage> levels; // the photo in a format fast to draw, then each half the one before
    QImage empty;
};

// Draws the photo through photoToTarget (photo pixel i covering [i, i + 1)) onto target, which
// keeps its pixels where the photo does not reach. Smooth below two target pixels per photo pixel;
// from there on in sharp blocks, so that the photo pixels the gauge is laid on can be told apart.
void drawPhotoView(QImage& target, ScaledCopies& copies, const QTransform& photoToTarget);

} // namespace imaging
