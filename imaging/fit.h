#pragma once

#include <QRect>

// Largest rectangle of the photo's proportions inside a panel of panelW x panelH, centred along
// the side the photo does not fill. An exact tie of the aspect ratios fills the width.
QRect fitPhotoRect(int panelW, int panelH, int photoW, int photoH);
