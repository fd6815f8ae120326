#include "gauge/spin_field.h"

#include <algorithm>

int spinFieldValue(const QString& text, int minimum) {
    bool ok = false;
    const int v = text.toInt(&ok, 10);
    return ok ? v : minimum;
}

int pullIntoRange(int value, int minimum, int maximum) {
    if (minimum == maximum)
        return value;
    return std::clamp(value, std::min(minimum, maximum), std::max(minimum, maximum));
}
