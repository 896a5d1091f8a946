#ifndef ZELIOCONFIGTABLE_H
#define ZELIOCONFIGTABLE_H

#include <QComboBox>
#include <QObject>
#include <QStringList>
#include <QTableWidget>
#include <QWidget>

class QCheckBox;
class QLabel;

// A combo box that takes the mouse wheel only while it has the focus, so
// that the wheel over the table scrolls the table.
class ZelComboBox : public QComboBox
{
    Q_OBJECT

public:
    explicit ZelComboBox(QWidget* parent = nullptr) : QComboBox(parent) {}

protected:
    void wheelEvent(QWheelEvent* event) override;
};

// A check box centred in its cell.
class ZelCenteredCheckBoxWidget : public QWidget
{
    Q_OBJECT

public:
    explicit ZelCenteredCheckBoxWidget(QWidget* parent = nullptr);
    ~ZelCenteredCheckBoxWidget() override;

    QCheckBox* checkBox() const { return m_checkBox; }

signals:
    void toggled(bool checked);

private:
    QCheckBox* m_checkBox;
};

// A red or green lamp centred in its cell.
class ZelIOConfigStatusWidget : public QWidget
{
    Q_OBJECT

public:
    explicit ZelIOConfigStatusWidget(QWidget* parent = nullptr);
    ~ZelIOConfigStatusWidget() override;

    void setStatus(bool on);
    bool status() const { return m_status; }
    QLabel* label() const { return m_label; }

private:
    void showLamp(bool on);

    QLabel* m_label;
    bool m_status = false;
};

// One I/O line of the table and the widgets of its row.
class ZelIOConfigItem : public QObject
{
    Q_OBJECT

public:
    // lineValue is the line's bit number in LineStatusAll.
    ZelIOConfigItem(const QString& lineName, bool inverter, const QStringList& sources, const QString& currentSource,
                    const QString& modeName, bool status, qint64 lineIndex, qint64 lineValue);
    ~ZelIOConfigItem() override;

    void setStatus(bool on);

    qint64 lineIndex;
    qint64 lineValue;
    QString modeName;
    QString lineName;
    QStringList sources;
    // The source the box showed before the operator's last choice.
    int sourceIndex = 0;
    ZelCenteredCheckBoxWidget* inverterBox;
    ZelComboBox* sourceBox;
    ZelIOConfigStatusWidget* statusWidget;

signals:
    void lineInvertCheckBoxToggled(bool bChecked);
    void lineSourceComboBoxCurrentIndexChanged(int index);
};

// The table of lines: "Mode", "Line", "Inv", "Source", "Status".
class ZelIOConfigTableWidget : public QTableWidget
{
    Q_OBJECT

public:
    explicit ZelIOConfigTableWidget(QWidget* parent = nullptr);

    enum Column { ModeColumn, LineColumn, InvColumn, SourceColumn, StatusColumn };
};

#endif // ZELIOCONFIGTABLE_H
