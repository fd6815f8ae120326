#pragma once

// Shared by the DICOM reader and writer; includes DCMTK, so only their .cpp files include it.
#include <dcmtk/config/osconfig.h>
#include <dcmtk/dcmdata/dctk.h>

#include <QString>

namespace imaging::dicom {

// Registers DCMTK's decoders and silences its log once per process; false when DCMTK's data
// dictionary is missing, without which no file can be read or written.
bool initialise();

inline QString text(const OFString& s) {
    return QString::fromUtf8(s.c_str()).trimmed();
}

} // namespace imaging::dicom
