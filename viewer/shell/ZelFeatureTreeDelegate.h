#ifndef ZELFEATURETREEDELEGATE_H
#define ZELFEATURETREEDELEGATE_H

#include "ZelFeatureData.h"

#include <QStyledItemDelegate>

// Editors of the feature tree's "Value" column, one kind per feature type.
// Edits go to the model's setData with the edit role, which writes the
// camera; loading an editor never does.
class ZelFeatureTreeDelegate : public QStyledItemDelegate
{
    Q_OBJECT
public:
    explicit ZelFeatureTreeDelegate(QObject* parent = nullptr);
    ~ZelFeatureTreeDelegate() override;

    bool eventFilter(QObject* object, QEvent* event) override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override;
    void updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const override;

    // A dotted IPv4 address of four decimal octets (leading zeros read in
    // base 10); false for anything incomplete.
    static bool parseIPv4(const QString& text, quint32* address);
    // Decimal, or hexadecimal after "0x"; false when the text does not parse.
    static bool parseHexOrDecimal(const QString& text, bool hex, qlonglong* value);
    // v snapped to the increment grid that starts at min and kept at or
    // below max; an increment of 0 or less leaves v as it is.
    static qint64 snapToGrid(qint64 v, qint64 min, qint64 max, qint64 increment);
    // The float editor's step for a feature.
    static double floatStep(const ORV_FEATURE_INFO& info);
    // Decimals that show the feature's precision and its step.
    static int floatDecimals(const ORV_FEATURE_INFO& info);
    // Rounds a float range inward to values of the given decimals, so an
    // editor never offers a value beyond it; more decimals when none fits.
    static void limitsInside(double& min, double& max, int& decimals);

private slots:
    void commitOnly();
    void commitAndCloseEditor();
    void onButtonClicked();
    void onSpinValueChanged(int value);
    void onDoubleSpinValueChanged(double value);

private:
    static ZelFeatureData featureOf(const QModelIndex& index);
};

#endif // ZELFEATURETREEDELEGATE_H
