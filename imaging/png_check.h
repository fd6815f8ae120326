#pragma once

class QIODevice;

namespace imaging {

// False when a PNG stream has a chunk that declares more bytes than the stream holds. libpng
// allocates an ancillary chunk's declared length before reading it, so a few damaged bytes could
// claim gigabytes. Anything that is not PNG passes. The device is left at its start.
bool pngChunksFitStream(QIODevice& device);

} // namespace imaging
