#pragma once

#include "imaging/imaging.h"

#include <QString>

// Why a photo was refused, in the interface's language, for the line below the window's fixed
// headline; empty when the headline says it all.
QString refusalDetailText(const imaging::Decoded& decoded);
