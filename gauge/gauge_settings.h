#pragma once

#include <QColor>

// The ten gauge settings held by the settings dialog's controls, read at the moment of drawing.
struct GaugeSettings {
    QColor angleColorLines{255, 255, 255}; // template lines and centre mark
    QColor angleColorNumbers{255, 255, 0}; // template numbers
    int angleStep = 10;                    // 10 or 5 degrees
    int angleTrans = 25;                   // percent, 0 opaque .. 100 invisible
    QColor refColor{255, 0, 0};            // guide line
    int refTrans = 25;
    int refWidth = 0;                // thickness index: 0 "Fina", 1 "Mediana", 2 "Gruesa"
    QColor sectorColor{0, 255, 255}; // sector rays
    int sectorTrans = 25;
    int sectorWidth = 0;

    bool operator==(const GaugeSettings& o) const {
        return angleColorLines == o.angleColorLines && angleColorNumbers == o.angleColorNumbers &&
               angleStep == o.angleStep && angleTrans == o.angleTrans && refColor == o.refColor &&
               refTrans == o.refTrans && refWidth == o.refWidth && sectorColor == o.sectorColor &&
               sectorTrans == o.sectorTrans && sectorWidth == o.sectorWidth;
    }
    bool operator!=(const GaugeSettings& o) const { return !(*this == o); }
};
