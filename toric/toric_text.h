#pragma once

#include "toric/toric.h"

#include <QList>
#include <QPair>
#include <QString>

// A toric lens check written out: for people in the current language (the window and the report
// show the same rows), for the saved file's measurement text, and for programs.
namespace toric {

// A caption and its value, "Desalineación", "+10° antihorario".
using Row = QPair<QString, QString>;

QList<Row> inputRows(const Inputs& in);
QList<Row> measuredRows(const Inputs& in);
QList<Row> resultRows(const Inputs& in, const Result& r);
// The one line saying what the figures are.
QString disclaimer();
// How axes, turns and cylinders are read.
QString conventions();

// Plain English, numbers with a decimal point: one part of the saved measurement text.
QString measurementPart(const Inputs& in, const Result& r);
// "key: value" lines, and one JSON object with the same values (degrees to a tenth, dioptres to a
// hundredth, the correction kept as a fraction to a thousandth).
QString plainText(const Inputs& in, const Result& r);
QString json(const Inputs& in, const Result& r);

} // namespace toric
