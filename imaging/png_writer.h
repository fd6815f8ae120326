#pragma once

#include <QImage>
#include <QString>

class QIODevice;

// The program's PNG encoder: rows filtered on several threads, the filters chosen group of rows by
// group by a trial deflate of the group's first rows (see PngFilterRule), and the filtered image
// deflated by libdeflate in one piece a thread, the pieces joined into one zlib stream. 8-bit grey
// for grey images, a palette for images of at most 256 colours, else 8-bit RGB; alpha (straight)
// where the image has it; the resolution, the colour space and the image's text entries are kept.
namespace imaging {

// libdeflate's level. On camera photos and on the noisy 24-megapixel test photo, level 4 writes
// files within 4 % of the size ImageMagick writes at its default, in 0.12 to 0.15 of its time on a
// busy two-core machine; level 2 is up to 9 % larger, level 5 a point or two smaller but a third
// slower, level 6 over 0.15.
constexpr int kPngDeflateLevel = 4;

// How the rows' filters are chosen. SmallestSumUpTrial: each row the filter of the smallest sum of
// magnitudes, a group of rows Up where a trial deflate prefers it. GroupTrial: each group of rows the
// way, of the five filters alone and of the smallest sum row by row, whose trial deflate of the
// group's first rows is smallest. On 88 real photos GroupTrial wrote files up to 3.5 % smaller and at
// most 1.5 % larger, in about the same time (bench/eval_png).
enum class PngFilterRule { SmallestSumUpTrial, GroupTrial };
constexpr PngFilterRule kPngFilterRule = PngFilterRule::GroupTrial;

struct PngWriteResult {
    bool ok = false;
    bool outOfMemory = false;
    QString error; // why, when not ok; empty when the device failed without saying why
};

// Writes image as PNG to an open device. The image is taken by value and released once its rows are
// filtered, so a caller that hands over its only copy does not hold the pixels while they are
// compressed. threads 0 chooses from the machine.
PngWriteResult writePng(QImage image, QIODevice& device, int threads = 0,
                        PngFilterRule rule = kPngFilterRule);

} // namespace imaging
