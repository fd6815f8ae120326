#pragma once

#include "analysis/round_outline.h"

// What a double-click that centres nothing tells the user, as the catalogue knows it (Spanish,
// untranslated): a click in a pupil that cannot be told from the iris about it is sent to the iris,
// whose limbus can be found; any other refusal says nothing round was found about the point.
const char* outlineRefusalMessage(OutlineCheck refusal);
// What to try next, below that message; none where the message already says it.
const char* outlineRefusalNextStep(OutlineCheck refusal);
