#pragma once

#include <QString>

// The file-type list of the open and save dialogs, in its "description|patterns|..." form; the
// catalogue translates it whole.
inline const char kFileTypeList[] =
    "Todo |*.jpg;*.jpeg;*.png;*.bmp;*.tif;*.dcm|Archivos JPG|*.jpg|Archivos JPEG|*.jpeg|"
    "Archivos PNG|*.png|Archivos BITMAP|*.bmp|Archivos TIF|*.tif|DICOM|*.dcm";

// Turns a "description|a;b|..." list into Qt's "description (a b);;..." filter string.
QString toQtNameFilters(const QString& fileTypeList);

// The extension of a Qt name filter that names exactly one pattern "*.ext" ("PNG (*.png)" -> "png");
// empty for a filter of several patterns.
QString singleExtensionOf(const QString& nameFilter);
