#include "toric_window.h"

#include "ui_toric_window.h"

#include "i18n/catalogue.h"
#include "i18n/translate.h"
#include "toric/toric_text.h"

#include <QLocale>

namespace {

QString rowsHtml(const QList<toric::Row>& rows) {
    QString html = QStringLiteral("<table cellspacing=\"2\">");
    for (const toric::Row& row : rows)
        html += QStringLiteral("<tr><td>%1</td><td>&nbsp;&nbsp;<b>%2</b></td></tr>")
                    .arg(row.first.toHtmlEscaped(), row.second.toHtmlEscaped());
    return html + QStringLiteral("</table>");
}

} // namespace

ToricWindow::ToricWindow(QWidget* parent) : QDialog(parent), ui(std::make_unique<Ui::ToricWindow>()) {
    ui->setupUi(this);
    const auto changed = [this] { refresh(); };
    for (QSpinBox* s : {ui->spnPlanned, ui->spnCorneaAxis, ui->spnRefractionAxis})
        connect(s, qOverload<int>(&QSpinBox::valueChanged), this, changed);
    for (QDoubleSpinBox* s :
         {ui->spnLensCyl, ui->spnCorneaCyl, ui->spnSphere, ui->spnCylinder, ui->spnVertex, ui->spnRotation})
        connect(s, qOverload<double>(&QDoubleSpinBox::valueChanged), this, changed);
    for (QCheckBox* c : {ui->chkCornea, ui->chkRefraction})
        connect(c, &QCheckBox::toggled, this, changed);
    connect(ui->btnPrintReport, &QPushButton::clicked, this, &ToricWindow::printRequested);
    connect(ui->btnClose, &QPushButton::clicked, this, &QDialog::close);
    i18n::TranslateComponent(this);
    refresh();
}

ToricWindow::~ToricWindow() = default;

void ToricWindow::setMarks(int guideDegrees) {
    marks = guideDegrees;
    refresh();
}

void ToricWindow::takeComparison(std::optional<int> referenceAxis, std::optional<double> rotation) {
    if (referenceAxis)
        ui->spnPlanned->setValue(*referenceAxis);
    if (rotation)
        ui->spnRotation->setValue(*rotation);
}

void ToricWindow::resetRotation() {
    ui->spnRotation->setValue(0);
}

toric::Inputs ToricWindow::inputs() const {
    toric::Inputs in;
    in.plannedAxis = ui->spnPlanned->value();
    in.lensCylinder = ui->spnLensCyl->value();
    in.marksOnPhoto = marks;
    in.rotation = ui->spnRotation->value();
    if (ui->chkCornea->isChecked())
        in.cornea = toric::Cylinder{ui->spnCorneaCyl->value(), double(ui->spnCorneaAxis->value())};
    if (ui->chkRefraction->isChecked())
        in.refraction = toric::Refraction{ui->spnSphere->value(), ui->spnCylinder->value(),
                                          double(ui->spnRefractionAxis->value())};
    in.vertexMm = ui->spnVertex->value();
    return in;
}

void ToricWindow::refresh() {
    // Decimals typed and shown as the interface's language writes them: 1,50 in Spanish.
    QLocale locale(i18n::currentLanguage().startsWith(QLatin1String("en")) ? QLocale::English
                                                                           : QLocale::Spanish);
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    for (QDoubleSpinBox* s :
         {ui->spnLensCyl, ui->spnCorneaCyl, ui->spnSphere, ui->spnCylinder, ui->spnVertex, ui->spnRotation})
        if (s->locale() != locale) {
            s->setLocale(locale);
            s->setValue(s->value()); // shown again in the new form
        }
    const bool ownCornea = ui->chkCornea->isChecked();
    if (!ownCornea) {
        const QSignalBlocker a(ui->spnCorneaCyl), b(ui->spnCorneaAxis);
        ui->spnCorneaCyl->setValue(ui->spnLensCyl->value());
        ui->spnCorneaAxis->setValue(ui->spnPlanned->value());
    }
    ui->spnCorneaCyl->setEnabled(ownCornea);
    ui->spnCorneaAxis->setEnabled(ownCornea);
    const bool refraction = ui->chkRefraction->isChecked();
    for (QWidget* w : std::initializer_list<QWidget*>{ui->spnSphere, ui->spnCylinder, ui->spnRefractionAxis,
                                                      ui->spnVertex, ui->lblVertex})
        w->setEnabled(refraction);
    const toric::Inputs in = inputs();
    ui->lblMarks->setText(QStringLiteral("%1°").arg(marks));
    if (const auto problem = toric::inputError(in))
        ui->lblResults->setText(i18n::lookup(problem->reason).toHtmlEscaped());
    else
        ui->lblResults->setText(rowsHtml(toric::resultRows(in, toric::evaluate(in))));
}
