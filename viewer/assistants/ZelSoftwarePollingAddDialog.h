#pragma once

#include <QDialog>
#include <QStringList>

#include <memory>

namespace Ui {
class ZelSoftwarePollingAddDialog;
}

// Asks for a new polling entry: name (completed from the given names), poll
// time, enabled state and an optional condition.
class ZelSoftwarePollingAddDialog : public QDialog
{
    Q_OBJECT

public:
    explicit ZelSoftwarePollingAddDialog(const QStringList& featureNames, QWidget* parent = nullptr);
    ~ZelSoftwarePollingAddDialog() override;

    // The name without blanks at either end.
    QString featureName() const;
    int pollTime() const;
    bool isEntryEnabled() const;
    QString condition() const;

private slots:
    void _onFeatureNameTextChange(const QString& text);
    void on_txtName_textChanged(const QString& text);
    void on_btnCondition_clicked();

private:
    std::unique_ptr<Ui::ZelSoftwarePollingAddDialog> ui;
};
