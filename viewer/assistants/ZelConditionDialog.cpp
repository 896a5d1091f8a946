#include "ZelConditionDialog.h"
#include "ui_ZelConditionDialog.h"

#include "ZelFeatureNameCompleter.h"

#include <QLocale>

#include <cmath>

namespace {

const char* const kOperatorTexts[] = {"Equal", "Not Equal", "Greater Than", "Greater Than or Equal",
                                      "Less Than", "Less Than or Equal"};
const char* const kOperatorSymbols[] = {"==", "!=", ">", ">=", "<", "<="};
constexpr int kOperatorCount = 6;

// A decimal number written with "." or, as older texts may have it, with ",".
bool readDecimal(const QString& text, double& value)
{
    QLocale c = QLocale::c();
    c.setNumberOptions(QLocale::RejectGroupSeparator);
    QLocale german(QLocale::German);
    german.setNumberOptions(QLocale::RejectGroupSeparator);
    bool ok = false;
    value = c.toDouble(text, &ok);
    if (!ok)
        value = german.toDouble(text, &ok);
    return ok && std::isfinite(value);
}

} // namespace

ZelConditionDialog::ZelConditionDialog(const QString& condition, QWidget* parent)
    : QDialog(parent), ui(new Ui::ZelConditionDialog)
{
    ui->setupUi(this);
    ui->chkBool->addItems({"True", "False"});
    ui->chkBool->setCurrentIndex(0);
    for (const char* text : kOperatorTexts)
        ui->cmbCondition->addItem(QString::fromLatin1(text));
    ui->cmbCondition->setCurrentIndex(0);
    ui->rdInt->setChecked(true);

    m_original = condition;
    if (!condition.isEmpty())
        m_loaded = parseCondition(condition);
    m_initialState = formState();

    attachFeatureNameCompleter(ui->txtFeatureName, knownFeatureNameList(), this);
}

ZelConditionDialog::~ZelConditionDialog() = default;

QString ZelConditionDialog::condition() const
{
    if (!m_loaded && formState() == m_initialState)
        return m_original;
    const QString name = ui->txtFeatureName->text().trimmed();
    if (name.isEmpty())
        return QString();
    const int op = ui->cmbCondition->currentIndex();
    const QString symbol = op >= 0 && op < kOperatorCount ? QString::fromLatin1(kOperatorSymbols[op])
                                                          : QString();
    return name + ' ' + symbol + ' ' + valueText();
}

bool ZelConditionDialog::parseCondition(const QString& text)
{
    const QStringList parts = text.split(' ', Qt::KeepEmptyParts);
    if (parts.size() != 3)
        return false;
    ui->txtFeatureName->setText(parts[0]);
    int op = 0;
    for (int i = 0; i < kOperatorCount; ++i) {
        if (parts[1] == QLatin1String(kOperatorSymbols[i]))
            op = i;
    }
    ui->cmbCondition->setCurrentIndex(op);
    setConditionValue(parts[2]);
    return true;
}

void ZelConditionDialog::setConditionValue(const QString& value)
{
    // A value a field cannot hold exactly is kept as text, so that loading
    // and accepting never changes it.
    bool isInt = false;
    const qlonglong integer = value.toLongLong(&isInt, 10);
    if (isInt && integer >= ui->spinBoxInt->minimum() && integer <= ui->spinBoxInt->maximum()) {
        ui->rdInt->setChecked(true);
        ui->spinBoxInt->setValue(int(integer));
        return;
    }
    double number = 0.0;
    if (!isInt && readDecimal(value, number) && number >= ui->spinBoxFloat->minimum()
        && number <= ui->spinBoxFloat->maximum()) {
        const double scale = std::pow(10.0, ui->spinBoxFloat->decimals());
        if (std::fabs(number * scale - std::round(number * scale)) < 1e-6) {
            ui->rdFloat->setChecked(true);
            ui->spinBoxFloat->setValue(number);
            return;
        }
    }
    if (value.compare("true", Qt::CaseInsensitive) == 0 || value.compare("false", Qt::CaseInsensitive) == 0) {
        ui->rdBool->setChecked(true);
        ui->chkBool->setCurrentIndex(value.compare("true", Qt::CaseInsensitive) == 0 ? 0 : 1);
        return;
    }
    ui->rdString->setChecked(true);
    ui->txtString->setText(value);
}

QString ZelConditionDialog::valueText() const
{
    if (ui->rdInt->isChecked())
        return QString::number(ui->spinBoxInt->value());
    // The evaluator reads "." as the decimal sign whatever the operator's locale.
    if (ui->rdFloat->isChecked())
        return QString::number(ui->spinBoxFloat->value(), 'f', ui->spinBoxFloat->decimals());
    if (ui->rdBool->isChecked())
        return ui->chkBool->currentText();
    if (ui->rdString->isChecked())
        return ui->txtString->text();
    return QString();
}

QString ZelConditionDialog::formState() const
{
    const QString kind = ui->rdInt->isChecked() ? "i" : ui->rdFloat->isChecked() ? "f"
                       : ui->rdBool->isChecked() ? "b" : ui->rdString->isChecked() ? "s" : "";
    return QStringList{ui->txtFeatureName->text(), QString::number(ui->cmbCondition->currentIndex()), kind,
                       QString::number(ui->spinBoxInt->value()),
                       QString::number(ui->spinBoxFloat->value(), 'f', ui->spinBoxFloat->decimals()),
                       QString::number(ui->chkBool->currentIndex()), ui->txtString->text()}
        .join(QChar(0));
}

void ZelConditionDialog::enableOnly(QWidget* field)
{
    for (QWidget* each : {static_cast<QWidget*>(ui->spinBoxInt), static_cast<QWidget*>(ui->spinBoxFloat),
                          static_cast<QWidget*>(ui->chkBool), static_cast<QWidget*>(ui->txtString)})
        each->setEnabled(each == field);
}

void ZelConditionDialog::on_rdInt_toggled(bool checked)
{
    if (checked)
        enableOnly(ui->spinBoxInt);
}

void ZelConditionDialog::on_rdFloat_toggled(bool checked)
{
    if (checked)
        enableOnly(ui->spinBoxFloat);
}

void ZelConditionDialog::on_rdBool_toggled(bool checked)
{
    if (checked)
        enableOnly(ui->chkBool);
}

void ZelConditionDialog::on_rdString_toggled(bool checked)
{
    if (checked)
        enableOnly(ui->txtString);
}

void ZelConditionDialog::on_cmbCondition_currentIndexChanged(int index)
{
    if (index == 0 || index == 1) {
        ui->rdString->setEnabled(true);
        ui->rdBool->setEnabled(true);
    } else if (index >= 2 && index <= 5) {
        for (QRadioButton* kind : {ui->rdString, ui->rdBool}) {
            if (!kind->isEnabled())
                continue;
            if (kind->isChecked())
                ui->rdInt->setChecked(true);
            kind->setEnabled(false);
        }
    }
}
