#pragma once

class QWidget;

// Labels take the width of their caption, in either language. A label whose size is fixed in its
// layout (minimum size equal to maximum size) keeps it. A caption wider than the room before the
// next control on its line, or before its parent's edge, is set in a condensed and, if need be,
// smaller face, so that it shows whole while every control stays where the layout puts it.
// Each window runs it after its texts are translated.
void fitCaptions(QWidget* window);
