#include "toric/toric_report.h"

#include "i18n/catalogue.h"
#include "imaging/imaging.h"
#include "toric/toric_text.h"

#include <QLocale>
#include <QPainter>

#include <algorithm>

namespace toric {

namespace {

const char kTitle[] = "Comprobación de lente tórica";
const char kEye[] = "Ojo";
const char kRightEye[] = "O.D.";
const char kLeftEye[] = "O.I.";
const char kReference[] = "Referencia";
const char kCurrentCaption[] = "Foto actual con el calibre";
const char kCurrentNamed[] = "Foto actual con el calibre: %1";
const char kReferenceCaption[] = "Foto de referencia: %1";
const char kFileDate[] = "%1 (fecha del archivo: %2)";
const char kInputs[] = "Datos";
const char kMeasured[] = "Medido en las fotos";
const char kResults[] = "Resultados";

constexpr double kMargin = 15;
constexpr double kPhotoTop = 36;
constexpr double kPhotoHeight = 85;
constexpr double kPhotoGap = 5;
constexpr double kLineMm = 5.2;
constexpr double kValueColumn = 110;

double px(double mm) {
    return mm * kReportDpi / 25.4;
}

QRectF pxRect(const QRectF& mm) {
    return QRectF(px(mm.x()), px(mm.y()), px(mm.width()), px(mm.height()));
}

// A photo's size fitted into a box, centred across it at its top.
QRectF fitted(const QSize& photo, const QRectF& box) {
    if (photo.isEmpty())
        return QRectF();
    const double scale = std::min(box.width() / photo.width(), box.height() / photo.height());
    const double width = photo.width() * scale;
    return QRectF(box.x() + (box.width() - width) / 2, box.y(), width, photo.height() * scale);
}

QFont sans(double mm, bool bold = false) {
    QFont f(QStringLiteral("Liberation Sans"));
    f.setPixelSize(int(px(mm)));
    f.setBold(bold);
    return f;
}

QString tr(const char* text) {
    return i18n::lookup(QString::fromUtf8(text));
}

// Draws a titled block of caption and value rows from the top y (mm), each cell wrapped within its
// column; returns the y below it.
double drawRows(QPainter& p, double y, const QString& title, const QList<Row>& rows) {
    p.setFont(sans(4.2, true));
    p.drawText(QPointF(px(kMargin), px(y + 4.2)), title);
    y += kLineMm + 1;
    p.setFont(sans(3.5));
    const int flags = Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap;
    for (const Row& row : rows) {
        QRectF caption, value;
        p.drawText(QRectF(px(kMargin + 4), px(y), px(kValueColumn - kMargin - 6), px(kLineMm * 4)), flags,
                   row.first, &caption);
        p.drawText(
            QRectF(px(kValueColumn), px(y), px(kReportWidthMm - kMargin - kValueColumn), px(kLineMm * 4)),
            flags, row.second, &value);
        y += std::max(kLineMm, (std::max(caption.height(), value.height())) * 25.4 / kReportDpi + 1.2);
    }
    return y + 2;
}

QLocale reportLocale() {
    return QLocale(i18n::currentLanguage().startsWith(QLatin1String("en")) ? QLocale::English
                                                                           : QLocale::Spanish);
}

// A photo's caption: what it is, its file's name and date where known.
QString photoCaption(const char* named, const QString& name, const QDateTime& date) {
    if (name.isEmpty())
        return tr(kCurrentCaption);
    const QString caption = tr(named).arg(name);
    return date.isValid() ? tr(kFileDate).arg(
                                caption, reportLocale().toString(date.date(), QStringLiteral("d MMM yyyy")))
                          : caption;
}

// Scaled to its box at the page's resolution first: a printer gets the pixels it can print, not a
// whole 24-megapixel photo.
void drawPhoto(QPainter& p, const QImage& photo, const QRectF& mm, const QString& caption) {
    const QRectF box = pxRect(mm);
    p.drawImage(box, imaging::scaledTo(photo, qRound(box.width()), qRound(box.height())));
    p.setFont(sans(3.2));
    p.drawText(QRectF(px(mm.x()), px(mm.bottom() + 1), px(mm.width()), px(5)),
               Qt::AlignHCenter | Qt::AlignTop, caption);
}

} // namespace

ReportLayout reportLayout(const QSize& current, const QSize& reference) {
    ReportLayout layout;
    const double width = kReportWidthMm - 2 * kMargin;
    if (reference.isEmpty()) {
        layout.current = fitted(current, QRectF(kMargin, kPhotoTop, width, kPhotoHeight));
    } else {
        const double half = (width - kPhotoGap) / 2;
        layout.reference = fitted(reference, QRectF(kMargin, kPhotoTop, half, kPhotoHeight));
        layout.current = fitted(current, QRectF(kMargin + half + kPhotoGap, kPhotoTop, half, kPhotoHeight));
    }
    layout.textTop = std::max(layout.current.bottom(), layout.reference.bottom()) + 9;
    return layout;
}

void paintReport(QPainter& p, const ReportInputs& report) {
    const Result result = evaluate(report.inputs);
    const ReportLayout layout = reportLayout(report.current.size(), report.reference.size());
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.setPen(Qt::black);

    p.setFont(sans(6, true));
    p.drawText(QPointF(px(kMargin), px(kMargin + 6)), tr(kTitle));
    p.setFont(sans(3.5));
    p.drawText(QRectF(px(kMargin), px(kMargin), px(kReportWidthMm - 2 * kMargin), px(7)),
               Qt::AlignRight | Qt::AlignBottom, reportLocale().toString(report.date, QLocale::LongFormat));
    QString subject = tr(kEye) + QStringLiteral(": ") + tr(report.leftEye ? kLeftEye : kRightEye);
    if (!report.referenceText.isEmpty())
        subject += QStringLiteral("    ") + tr(kReference) + QStringLiteral(": ") + report.referenceText;
    p.drawText(QPointF(px(kMargin), px(kMargin + 13)), subject);
    p.drawLine(QPointF(px(kMargin), px(kMargin + 16)),
               QPointF(px(kReportWidthMm - kMargin), px(kMargin + 16)));

    drawPhoto(p, report.current, layout.current,
              photoCaption(kCurrentNamed, report.currentName, report.currentDate));
    if (!layout.reference.isEmpty())
        drawPhoto(p, report.reference, layout.reference,
                  photoCaption(kReferenceCaption, report.referenceName, report.referenceDate));

    double y = layout.textTop;
    y = drawRows(p, y, tr(kInputs), inputRows(report.inputs));
    y = drawRows(p, y, tr(kMeasured), measuredRows(report.inputs));
    y = drawRows(p, y, tr(kResults), resultRows(report.inputs, result));

    p.setFont(sans(3));
    const QRectF notes(px(kMargin), px(y + 1), px(kReportWidthMm - 2 * kMargin),
                       px(kReportHeightMm - y - 12));
    QRectF used;
    p.drawText(notes, Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, conventions(), &used);
    p.setFont(sans(3.5, true));
    p.drawText(QRectF(notes.left(), used.bottom() + px(3), notes.width(), px(6)),
               Qt::AlignLeft | Qt::AlignTop, disclaimer());
}

QImage renderReport(const ReportInputs& report) {
    QImage page(int(px(kReportWidthMm)), int(px(kReportHeightMm)), QImage::Format_RGB32);
    if (page.isNull())
        return page;
    page.fill(Qt::white);
    const int dotsPerMetre = qRound(kReportDpi / 0.0254);
    page.setDotsPerMeterX(dotsPerMetre);
    page.setDotsPerMeterY(dotsPerMetre);
    QPainter p(&page);
    paintReport(p, report);
    return page;
}

} // namespace toric
