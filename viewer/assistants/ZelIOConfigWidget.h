#ifndef ZELIOCONFIGWIDGET_H
#define ZELIOCONFIGWIDGET_H

#include "OrvSdk.h"

#include <QList>
#include <QString>
#include <QTimer>
#include <QWidget>

#include <memory>

class QVBoxLayout;
class ZelFeatureManager;
class ZelInvalidationHold;
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

protected:
    // Activated again, the window reads every line: another tool, the tree
    // or a TCP client may have changed lines it was not told of.
    void changeEvent(QEvent* event) override;

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
    // Reads every line and shows it without writing anything back; the
    // camera's LineSelector is left as it was.
    void rereadLines();
    // Shows the line the camera's LineSelector addresses in the item's row.
    void showSelectedLine(ZelIOConfigItem* item, bool quietly);

    Form ui{};
    ZelFeatureManager* featureManager;
    ORV_FEATURE_HANDLE lineSelector = 0;
    ORV_FEATURE_HANDLE lineStatusAll = 0;
    QTimer timer;
    QList<ZelIOConfigItem*> items;
    // Callbacks of the line features, whether or not the tree shows them.
    std::unique_ptr<ZelInvalidationHold> lineCallbacks;
};

#endif // ZELIOCONFIGWIDGET_H
