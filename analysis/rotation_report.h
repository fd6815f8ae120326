#pragma once

#include "rotation.h"

#include <QString>

// The rotation between two photos written out for people and for programs.

// "Rotación: 4,3° (confianza 0,82)" in the current language, or the refusal's reason.
QString rotationLine(const RotationResult& result);
// Plain text, one "key: value" a line, numbers with a decimal point.
QString rotationText(const RotationResult& result);
// One JSON object with the same values.
QString rotationJson(const RotationResult& result, const QString& reference, const QString& current);
