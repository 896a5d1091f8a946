#pragma once

#include <QDialog>
#include <QString>

#include <memory>

namespace Ui {
class ZelConditionDialog;
}

// Builds a polling condition "Name op value" from a feature name, one of six
// comparison operators and a typed value, and loads such a text back.
class ZelConditionDialog : public QDialog
{
    Q_OBJECT

public:
    explicit ZelConditionDialog(const QString& condition, QWidget* parent = nullptr);
    ~ZelConditionDialog() override;

    // The condition of the form; empty when no feature is named. A text the
    // dialog could not load comes back unchanged while the form is untouched.
    QString condition() const;
    bool parseCondition(const QString& text);
    void setConditionValue(const QString& value);

private slots:
    void on_rdInt_toggled(bool checked);
    void on_rdFloat_toggled(bool checked);
    void on_rdBool_toggled(bool checked);
    void on_rdString_toggled(bool checked);
    void on_cmbCondition_currentIndexChanged(int index);

private:
    void enableOnly(QWidget* field);
    QString valueText() const;
    QString formState() const;

    std::unique_ptr<Ui::ZelConditionDialog> ui;
    QString m_original;
    bool m_loaded = true;
    QString m_initialState;
};
