#pragma once

#include "analysis/landmarks.h"
#include "analysis/rotation.h"

#include <QString>

// The rotation between two photos written out for people and for programs.

// The reason for a refusal as the catalogue knows it (Spanish, untranslated); a cancelled measure
// reads as photos that do not match. Null for RotationRefusal::None.
const char* refusalMessage(RotationRefusal refusal);

// "4,3° antihoraria" in the current language: positive degrees turn counter-clockwise on the
// screen, negative clockwise; a turn that rounds to 0,0° has no direction.
QString turnText(double degrees);
// "Rotación: 4,3° antihoraria — fiable (confianza 0,82)", "— compruébela con puntos" below the
// rotation tuning's reliableConfidence, or the refusal's reason when nothing was measured.
QString rotationLine(const RotationResult& result);
// What the confidence and the direction mean, for a tooltip; empty when nothing was measured.
QString confidenceNote(const RotationResult& result);
// "Puntos: 4,3° antihoraria (1 par)", or with the pairs' spread from two pairs on:
// "Puntos: 4,3° antihoraria ± 0,6° (3 pares)".
QString landmarkLine(const LandmarkRotation& rotation);
// "Eje 37° llevado desde ref.jpg (rotación 4,3° antihoraria)".
QString carriedLine(int axis, const QString& referenceName, double rotation);
// Plain text, one "key: value" a line, numbers with a decimal point.
QString rotationText(const RotationResult& result);
// One JSON object with the same values.
QString rotationJson(const RotationResult& result, const QString& reference, const QString& current);
