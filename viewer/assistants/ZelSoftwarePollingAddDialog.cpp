#include "ZelSoftwarePollingAddDialog.h"
#include "ui_ZelSoftwarePollingAddDialog.h"

#include "ZelConditionDialog.h"
#include "ZelFeatureNameCompleter.h"
#include "ZelSoftwarePollingItemInfo.h"

#include <QPushButton>

ZelSoftwarePollingAddDialog::ZelSoftwarePollingAddDialog(const QStringList& featureNames, QWidget* parent)
    : QDialog(parent), ui(new Ui::ZelSoftwarePollingAddDialog)
{
    ui->setupUi(this);
    ui->spinBoxPollTime->setRange(kMinPollTime, kMaxPollTime);
    ui->buttonBox->button(QDialogButtonBox::Ok)->setEnabled(false);
    connect(ui->txtName, &QLineEdit::textChanged, this,
            &ZelSoftwarePollingAddDialog::_onFeatureNameTextChange);
    attachFeatureNameCompleter(ui->txtName, featureNames, this);
}

ZelSoftwarePollingAddDialog::~ZelSoftwarePollingAddDialog() = default;

QString ZelSoftwarePollingAddDialog::featureName() const
{
    return ui->txtName->text().trimmed();
}

int ZelSoftwarePollingAddDialog::pollTime() const
{
    return ui->spinBoxPollTime->value();
}

bool ZelSoftwarePollingAddDialog::isEntryEnabled() const
{
    return ui->chkEnabled->isChecked();
}

QString ZelSoftwarePollingAddDialog::condition() const
{
    return ui->txtCondition->text();
}

void ZelSoftwarePollingAddDialog::_onFeatureNameTextChange(const QString& text)
{
    ui->buttonBox->button(QDialogButtonBox::Ok)->setEnabled(!text.trimmed().isEmpty());
}

void ZelSoftwarePollingAddDialog::on_txtName_textChanged(const QString& text)
{
    _onFeatureNameTextChange(text);
}

void ZelSoftwarePollingAddDialog::on_btnCondition_clicked()
{
    // The dialog starts from the condition shown, so a second edit keeps it.
    ZelConditionDialog dialog(ui->txtCondition->text(), nullptr);
    if (dialog.exec() == QDialog::Accepted)
        ui->txtCondition->setText(dialog.condition());
}
