#ifndef ZELIOCONFIGWIDGET_H
#define ZELIOCONFIGWIDGET_H

#include "OrvSdk.h"

#include <QList>
#include <QString>
#include <QTimer>
#include <QWidget>

class QVBoxLayout;
class ZelFeatureManager;
class ZelIOConfigItem;
class ZelIOConfigTableWidget;
struct ZelFeatureData;

// The I/O lines of one camera, one row per LineSelector entry: mode, line,
// inverter, source and a lamp lit from LineStatusAll every 100 ms. Edits
// are written at once. Deletes itself when closed.
class ZelIOConfigWidget : public QWidget
{
    Q_OBJECT

public:
    ZelIOConfigWidget(ZelFeatureManager* remoteDevice, QString cameraName, QWidget* parent = nullptr);
    ~ZelIOConfigWidget() override;

    struct Form {
        QVBoxLayout* verticalLayout;
        ZelIOConfigTableWidget* tableWidget;
    };
    const Form& form() const { return ui; }
    const QList<ZelIOConfigItem*>& lineItems() const { return items; }

signals:
    void requestInvalidate();

private slots:
    void onLineInvertCheckBoxToggled(bool bChecked);
    void onLineSourceComboBoxCurrentIndexChanged(int index);
    void _onTimeOut();
    void _onFeatureInvalidated(QString name);

private:
    void fillTable();
    void appendRow(ZelIOConfigItem* item);
    // Writes one setting of the sender's line; false when nothing was
    // written because the line could not be selected.
    bool writeLineSetting(ZelIOConfigItem* item, const char* feature, const QVariant& value, bool selectorFlag,
                          bool valueFlag, bool* written);
    // Puts the row's boxes back to the camera's values (or, when they
    // cannot be read, to what they showed), without writing anything.
    void restoreInverter(ZelIOConfigItem* item, bool reread, bool previous);
    void restoreSource(ZelIOConfigItem* item, bool reread, int previous);

    Form ui{};
    ZelFeatureManager* featureManager;
    ORV_FEATURE_HANDLE lineSelector = 0;
    ORV_FEATURE_HANDLE lineStatusAll = 0;
    QTimer timer;
    QList<ZelIOConfigItem*> items;
};

#endif // ZELIOCONFIGWIDGET_H
