#include "ZelDoubleSliderBox.h"
#include "ZelDoubleSpinBox.h"
#include "ZelFeatureTreeDelegate.h"
#include "ZelFeatureTreeModel.h"
#include "ZelHexIntLineEdit.h"
#include "ZelSlider.h"
#include "ZelSliderBox.h"
#include "ZelSpinBox.h"

#include <QAbstractTableModel>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>
#include <QTreeView>
#include <QValidator>

#include <climits>
#include <cstring>
#include <memory>

namespace {

// One feature in one row; records every write the delegate makes.
class RecordingModel : public QAbstractTableModel
{
public:
    explicit RecordingModel(const ZelFeatureData& data) : feature(data) {}

    int rowCount(const QModelIndex& parent = QModelIndex()) const override { return parent.isValid() ? 0 : 1; }
    int columnCount(const QModelIndex& = QModelIndex()) const override { return 2; }
    QVariant data(const QModelIndex& index, int role) const override
    {
        if (role == ZelFeatureTreeModel::FeatureDataRole)
            return QVariant::fromValue(feature);
        if (role == Qt::DisplayRole && index.column() == 1)
            return ZelFeatureTreeModel::valueText(feature);
        return QVariant();
    }
    Qt::ItemFlags flags(const QModelIndex&) const override
    {
        return Qt::ItemIsEnabled | Qt::ItemIsEditable | Qt::ItemIsSelectable;
    }
    bool setData(const QModelIndex& index, const QVariant& value, int role) override
    {
        writes.append(value);
        if (role == Qt::EditRole && feature.info.interfaceType != ORV_FEATURE_TYPE_COMMAND)
            feature.value = value;
        emit dataChanged(index, index);
        return true;
    }

    // The camera's value changed on its own; the view reloads open editors.
    void cameraChanges(const QVariant& value)
    {
        feature.value = value;
        feature.info.enumIndex = value.toInt();
        emit dataChanged(index(0, 1), index(0, 1));
    }

    ZelFeatureData feature;
    QVariantList writes;
};

ZelFeatureData feature(uint8_t type, const char* name = "Feature")
{
    ZelFeatureData data;
    data.info.interfaceType = type;
    std::strncpy(data.info.name, name, sizeof data.info.name - 1);
    std::strncpy(data.info.displayName, name, sizeof data.info.displayName - 1);
    data.info.isAvailable = 1;
    data.info.isReadable = 1;
    return data;
}

ZelFeatureData integer(qint64 min, qint64 max, qint64 inc, qint64 value, uint8_t representation = 0)
{
    ZelFeatureData data = feature(ORV_FEATURE_TYPE_INTEGER);
    data.info.intMin = min;
    data.info.intMax = max;
    data.info.intInc = inc;
    data.info.representation = representation;
    data.value = qlonglong(value);
    return data;
}

ZelFeatureData floating(double min, double max, double inc, double value, const char* unit = "",
                        const char* name = "Gain")
{
    ZelFeatureData data = feature(ORV_FEATURE_TYPE_FLOAT, name);
    data.info.floatMin = min;
    data.info.floatMax = max;
    data.info.floatInc = inc;
    data.info.displayPrecision = 2;
    std::strncpy(data.info.unit, unit, sizeof data.info.unit - 1);
    data.value = value;
    return data;
}

// A view with the delegate and the editor of the value cell open, as the
// tree opens it.
struct Rig {
    explicit Rig(const ZelFeatureData& data)
        : model(data)
    {
        view.setModel(&model);
        view.setItemDelegate(&delegate);
        view.resize(400, 200);
        view.show();
        index = model.index(0, 1);
        view.edit(index);
        editor = view.indexWidget(index);
    }
    // Line edits fade their clear button in with an animation that deletes
    // itself when it ends: let it end before the editor goes.
    ~Rig()
    {
        // A shown clear button ends at full opacity with text, at none without.
        if (auto* edit = qobject_cast<QLineEdit*>(editor)) {
            const qreal end = edit->text().isEmpty() ? 0.0 : 1.0;
            for (const QToolButton* button : edit->findChildren<QToolButton*>()) {
                const auto settled = [button, end] {
                    return !button->isVisible() || button->property("opacity").toReal() == end;
                };
                if (!QTest::qWaitFor(settled, 20000))
                    qWarning("the clear button is still fading");
            }
        }
    }

    // Commits the editor as the view would on focus out.
    void commit() { delegate.setModelData(editor, &model, index); }

    RecordingModel model;
    ZelFeatureTreeDelegate delegate;
    QTreeView view;
    QModelIndex index;
    QWidget* editor = nullptr;
};

} // namespace

class TestFeatureTreeDelegate : public QObject
{
    Q_OBJECT

private slots:
    void editorKinds_data()
    {
        QTest::addColumn<ZelFeatureData>("data");
        QTest::addColumn<QString>("kind");
        QTest::newRow("ipv4") << integer(0, 0xFFFFFFFF, 1, 1, 5) << "QLineEdit";
        QTest::newRow("hex") << integer(0, 0xFFFFFFFF, 1, 1, 4) << "ZelHexIntLineEdit";
        QTest::newRow("integer") << integer(0, 100, 1, 1) << "ZelSliderBox";
        QTest::newRow("command") << feature(ORV_FEATURE_TYPE_COMMAND) << "QPushButton";
        QTest::newRow("float") << floating(0, 10, 0, 1) << "ZelDoubleSliderBox";
        QTest::newRow("string") << feature(ORV_FEATURE_TYPE_STRING) << "QLineEdit";
        QTest::newRow("enumeration") << feature(ORV_FEATURE_TYPE_ENUMERATION) << "QComboBox";
        QTest::newRow("boolean") << feature(ORV_FEATURE_TYPE_BOOLEAN) << "";
        QTest::newRow("category") << feature(ORV_FEATURE_TYPE_CATEGORY) << "";
        QTest::newRow("nothing") << ZelFeatureData() << "";
    }

    void editorKinds()
    {
        QFETCH(ZelFeatureData, data);
        QFETCH(QString, kind);
        RecordingModel model(data);
        ZelFeatureTreeDelegate delegate;
        QWidget parent;
        std::unique_ptr<QWidget> editor(delegate.createEditor(&parent, QStyleOptionViewItem(), model.index(0, 1)));
        QCOMPARE(editor ? QString(editor->metaObject()->className()) : QString(), kind);
        if (editor)
            QCOMPARE(editor->focusPolicy(), Qt::StrongFocus);
    }

    // Loading any editor and committing it unchanged writes nothing, even
    // where the editor cannot show the value exactly.
    void openingAnEditorWritesNothing_data()
    {
        QTest::addColumn<ZelFeatureData>("data");
        ZelFeatureData enumPastEnd = feature(ORV_FEATURE_TYPE_ENUMERATION);
        enumPastEnd.entries = QStringList{"First", "Second"};
        enumPastEnd.info.enumIndex = 2;
        enumPastEnd.value = 2;
        ZelFeatureData enumeration = enumPastEnd;
        enumeration.info.enumIndex = 1;
        enumeration.value = 1;
        ZelFeatureData longString = feature(ORV_FEATURE_TYPE_STRING);
        longString.info.maxLength = 4;
        longString.value = QString("longer than four");
        QTest::newRow("integer off the grid") << integer(0, 100, 4, 6);
        QTest::newRow("integer beyond 32 bits") << integer(0, qint64(1) << 40, 1, (qint64(1) << 40) - 3);
        QTest::newRow("negative integer beyond 32 bits") << integer(-(qint64(1) << 40), 0, 1, -(qint64(1) << 36));
        QTest::newRow("float finer than two decimals") << floating(0, 1000, 0, 123.456789);
        QTest::newRow("float of another precision") << floating(0, 1e9, 0, 12345.678, "", "Other");
        QTest::newRow("exposure time") << floating(10, 1e6, 0, 1234.5678, "us", "ExposureTime");
        QTest::newRow("ipv4") << integer(0, 0xFFFFFFFF, 1, 0xC0A8010A, 5);
        QTest::newRow("hex") << integer(0, 0xFFFFFFFF, 1, 0xABC, 4);
        QTest::newRow("hex beyond 32 bits") << integer(0, qint64(1) << 40, 1, qint64(1) << 36, 4);
        QTest::newRow("string longer than its limit") << longString;
        QTest::newRow("enumeration") << enumeration;
        QTest::newRow("enumeration without current entry") << enumPastEnd;
        QTest::newRow("command") << feature(ORV_FEATURE_TYPE_COMMAND);
    }

    void openingAnEditorWritesNothing()
    {
        QFETCH(ZelFeatureData, data);
        Rig rig(data);
        QVERIFY(rig.editor);
        rig.commit();
        QVERIFY(rig.view.close());
        QCOMPARE(rig.model.writes, QVariantList());
    }

    // The view reloads an open editor when the camera's value changes: that
    // is no edit either.
    void reloadingAnEditorWritesNothing_data()
    {
        QTest::addColumn<ZelFeatureData>("data");
        QTest::addColumn<QVariant>("cameraValue");
        ZelFeatureData enumeration = feature(ORV_FEATURE_TYPE_ENUMERATION);
        enumeration.entries = QStringList{"Off", "On", "Auto"};
        enumeration.value = 0;
        QTest::newRow("integer off the grid") << integer(0, 100, 4, 0) << QVariant(qlonglong(6));
        QTest::newRow("integer beyond 32 bits") << integer(0, qint64(1) << 40, 1, 0) << QVariant(qlonglong(1) << 36);
        QTest::newRow("float finer than its decimals") << floating(0, 1000, 0, 1) << QVariant(123.456789);
        QTest::newRow("enumeration") << enumeration << QVariant(2);
        QTest::newRow("enumeration without current entry") << enumeration << QVariant(3);
    }

    void reloadingAnEditorWritesNothing()
    {
        QFETCH(ZelFeatureData, data);
        QFETCH(QVariant, cameraValue);
        Rig rig(data);
        rig.model.cameraChanges(cameraValue);
        rig.commit();
        QCOMPARE(rig.model.writes, QVariantList());
    }

    void integersSnapToTheGrid_data()
    {
        QTest::addColumn<qint64>("min");
        QTest::addColumn<qint64>("max");
        QTest::addColumn<qint64>("inc");
        QTest::addColumn<int>("typed");
        QTest::addColumn<qint64>("written");
        QTest::newRow("6 on a grid of 4") << qint64(0) << qint64(100) << qint64(4) << 6 << qint64(8);
        QTest::newRow("5 on a grid of 4") << qint64(0) << qint64(100) << qint64(4) << 5 << qint64(4);
        QTest::newRow("grid from 1 by 2") << qint64(1) << qint64(99) << qint64(2) << 4 << qint64(5);
        QTest::newRow("increment 0") << qint64(0) << qint64(100) << qint64(0) << 37 << qint64(37);
        QTest::newRow("grid point above the maximum") << qint64(0) << qint64(10) << qint64(4) << 10 << qint64(8);
        QTest::newRow("negative minimum") << qint64(-10) << qint64(10) << qint64(5) << -3 << qint64(-5);
    }

    void integersSnapToTheGrid()
    {
        QFETCH(qint64, min);
        QFETCH(qint64, max);
        QFETCH(qint64, inc);
        QFETCH(int, typed);
        QFETCH(qint64, written);
        Rig rig(integer(min, max, inc, min));
        auto* box = qobject_cast<ZelSliderBox*>(rig.editor);
        QVERIFY(box);
        box->setValue(typed);
        QVERIFY(!rig.model.writes.isEmpty());
        QCOMPARE(rig.model.writes.last().toLongLong(), written);
    }

    void integerCoversTheWhole64BitRange()
    {
        const qint64 top = qint64(1) << 40;
        Rig rig(integer(-top, top, 0, qint64(5000000000)));
        auto* box = qobject_cast<ZelSliderBox*>(rig.editor);
        QCOMPARE(box->spinBox()->maximum(), top);
        QCOMPARE(box->spinBox()->minimum(), -top);
        QCOMPARE(box->spinBox()->singleStep(), qint64(1));
        QCOMPARE(box->value(), qint64(5000000000));
        QVERIFY(rig.model.writes.isEmpty());
        // The slider spreads the range over its positions and follows the box.
        QVERIFY(box->slider()->maximum() - box->slider()->minimum() > 1000);
        box->slider()->setValue(box->slider()->maximum());
        QCOMPARE(box->value(), top);
        box->setValue(12);
        QCOMPARE(rig.model.writes, (QVariantList{qlonglong(top), qlonglong(12)}));
        box->slider()->setValue(box->slider()->minimum());
        QCOMPARE(rig.model.writes.last(), QVariant(qlonglong(-top)));
    }

    void floatSteps_data()
    {
        QTest::addColumn<ZelFeatureData>("data");
        QTest::addColumn<double>("step");
        QTest::addColumn<int>("decimals");
        QTest::newRow("own increment") << floating(0, 100, 0.25, 1) << 0.25 << 2;
        QTest::newRow("small range") << floating(0, 5, 0, 1) << double(0.01f) << 2;
        QTest::newRow("microseconds") << floating(0, 100000, 0, 1, "us") << 1.0 << 2;
        QTest::newRow("other unit") << floating(0, 100000, 0, 1, "dB") << double(0.1f) << 2;
        ZelFeatureData precise = floating(0, 10, 0.0001, 1);
        precise.info.displayPrecision = 6;
        QTest::newRow("feature precision") << precise << 0.0001 << 6;
    }

    void floatSteps()
    {
        QFETCH(ZelFeatureData, data);
        QFETCH(double, step);
        QFETCH(int, decimals);
        Rig rig(data);
        auto* box = qobject_cast<ZelDoubleSliderBox*>(rig.editor);
        QVERIFY(box);
        QCOMPARE(box->spinBox()->singleStep(), step);
        QCOMPARE(box->spinBox()->decimals(), decimals);
    }

    void floatLimitsStayInsideTheFeatureRange_data()
    {
        QTest::addColumn<double>("min");
        QTest::addColumn<double>("max");
        QTest::addColumn<double>("shownMin");
        QTest::addColumn<double>("shownMax");
        QTest::newRow("limits between steps") << 0.124 << 9.876 << 0.13 << 9.87;
        QTest::newRow("limits on steps") << 0.5 << 24.0 << 0.5 << 24.0;
        QTest::newRow("negative") << -9.876 << -0.124 << -9.87 << -0.13;
        // No value of two decimals lies inside: the box shows more.
        QTest::newRow("no step inside") << 0.121 << 0.129 << 0.121 << 0.129;
    }

    // The box shows the limits rounded to its decimals; the ends it offers
    // are values the camera accepts.
    void floatLimitsStayInsideTheFeatureRange()
    {
        QFETCH(double, min);
        QFETCH(double, max);
        QFETCH(double, shownMin);
        QFETCH(double, shownMax);
        Rig rig(floating(min, max, 0, (min + max) / 2));
        auto* box = qobject_cast<ZelDoubleSliderBox*>(rig.editor);
        QVERIFY(box);
        QVERIFY(box->spinBox()->minimum() >= min);
        QVERIFY(box->spinBox()->maximum() <= max);
        if (shownMin != min || shownMax != max) {
            QCOMPARE(box->spinBox()->minimum(), shownMin);
            QCOMPARE(box->spinBox()->maximum(), shownMax);
        }
        box->setValue(box->spinBox()->maximum());
        QVERIFY(!rig.model.writes.isEmpty());
        QVERIFY(rig.model.writes.last().toDouble() <= max);

        // A camera value on a limit the box cannot show is not written back.
        Rig atLimit(floating(min, max, 0, min));
        QVERIFY(atLimit.model.writes.isEmpty());
    }

    void floatKeepsItsPrecisionAndWritesChanges()
    {
        ZelFeatureData data = floating(0, 10, 0, 1.5);
        data.info.displayPrecision = 4;
        Rig rig(data);
        auto* box = qobject_cast<ZelDoubleSliderBox*>(rig.editor);
        box->setValue(2.3456);
        QCOMPARE(rig.model.writes, QVariantList{2.3456});
    }

    void exposureTimeSliderIsLogarithmic()
    {
        Rig exposure(floating(10, 1e6, 0, 100, "us", "exposuretime"));
        QCOMPARE(qobject_cast<ZelDoubleSliderBox*>(exposure.editor)->slider()->maximum(), 99);
        Rig gain(floating(0, 24, 0.1, 1, "dB", "Gain"));
        QVERIFY(qobject_cast<ZelDoubleSliderBox*>(gain.editor)->slider()->maximum() != 99);
    }

    void ipv4Text_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("parsed");
        QTest::addColumn<quint32>("address");
        QTest::newRow("plain") << "192.168.1.10" << true << quint32(0xC0A8010A);
        QTest::newRow("leading zeros are decimal") << "192.168.001.010" << true << quint32(0xC0A8010A);
        QTest::newRow("zero octal-looking") << "010.0.0.08" << true << quint32(0x0A000008);
        QTest::newRow("all zero") << "0.0.0.0" << true << quint32(0);
        QTest::newRow("top") << "255.255.255.255" << true << quint32(0xFFFFFFFF);
        QTest::newRow("partial") << "192.168.1" << false << quint32(0);
        QTest::newRow("trailing dot") << "192.168.1." << false << quint32(0);
        QTest::newRow("empty") << "" << false << quint32(0);
        QTest::newRow("octet too big") << "1.2.3.256" << false << quint32(0);
        QTest::newRow("four digits") << "1.2.3.0001" << false << quint32(0);
        QTest::newRow("sign") << "1.2.3.+4" << false << quint32(0);
        QTest::newRow("five parts") << "1.2.3.4.5" << false << quint32(0);
    }

    void ipv4Text()
    {
        QFETCH(QString, text);
        QFETCH(bool, parsed);
        QFETCH(quint32, address);
        quint32 result = 0;
        QCOMPARE(ZelFeatureTreeDelegate::parseIPv4(text, &result), parsed);
        if (parsed)
            QCOMPARE(result, address);

        Rig rig(integer(0, 0xFFFFFFFF, 1, 0x01020304, 5));
        auto* edit = qobject_cast<QLineEdit*>(rig.editor);
        edit->setText(text);
        rig.commit();
        QCOMPARE(rig.model.writes, parsed && address != 0x01020304 ? QVariantList{qlonglong(address)} : QVariantList());
    }

    void ipv4ValidatorRefusesWhatCannotBeAnAddress()
    {
        Rig rig(integer(0, 0xFFFFFFFF, 1, 1, 5));
        const QValidator* validator = qobject_cast<QLineEdit*>(rig.editor)->validator();
        QVERIFY(validator);
        int pos = 0;
        QString good = "192.168.001.010";
        QCOMPARE(validator->validate(good, pos), QValidator::Acceptable);
        QString bad = "256.1.1.1";
        QCOMPARE(validator->validate(bad, pos), QValidator::Invalid);
    }

    void hexText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("written");
        QTest::addColumn<qlonglong>("value");
        QTest::newRow("hex") << "0xFF" << true << 255LL;
        QTest::newRow("lower case") << "0xab" << true << 0xABLL;
        QTest::newRow("decimal") << "12" << true << 12LL;
        QTest::newRow("prefix only") << "0x" << false << 0LL;
        QTest::newRow("empty") << "" << false << 0LL;
        QTest::newRow("garbage") << "zz" << false << 0LL;
    }

    void hexText()
    {
        QFETCH(QString, text);
        QFETCH(bool, written);
        QFETCH(qlonglong, value);
        Rig rig(integer(0, 0xFFFFFFFF, 1, 0xABC, 4));
        auto* edit = qobject_cast<ZelHexIntLineEdit*>(rig.editor);
        QCOMPARE(edit->text(), QString("0xABC"));
        edit->setText(text);
        rig.commit();
        QCOMPARE(rig.model.writes, written ? QVariantList{value} : QVariantList());
    }

    void commandRunsOncePerClick()
    {
        Rig rig(feature(ORV_FEATURE_TYPE_COMMAND, "UserSetLoad"));
        auto* button = qobject_cast<QPushButton*>(rig.editor);
        QCOMPARE(button->text(), QString("UserSetLoad"));
        QTest::mouseClick(button, Qt::LeftButton);
        QCOMPARE(rig.model.writes, QVariantList{true});
        // Leaving the button commits again: the command is not run again.
        rig.commit();
        QCOMPARE(rig.model.writes.size(), 1);
        button->setFocus();
        QTest::keyClick(button, Qt::Key_Return);
        QTRY_COMPARE(rig.model.writes.size(), 2);
        QTest::qWait(150);
        QCOMPARE(rig.model.writes.size(), 2);
    }

    void enumerationWritesEachChange()
    {
        ZelFeatureData data = feature(ORV_FEATURE_TYPE_ENUMERATION);
        data.entries = QStringList{"Off", "On", "Auto"};
        data.info.enumIndex = 0;
        data.value = 0;
        Rig rig(data);
        auto* combo = qobject_cast<QComboBox*>(rig.editor);
        QCOMPARE(combo->count(), 3);
        combo->setCurrentIndex(2);
        combo->setCurrentIndex(0);
        QCOMPARE(rig.model.writes, (QVariantList{2, 0}));
        rig.commit();
        QCOMPARE(rig.model.writes.size(), 2);
    }

    void stringWritesItsText()
    {
        ZelFeatureData data = feature(ORV_FEATURE_TYPE_STRING);
        data.info.maxLength = 8;
        data.value = QString("abc");
        Rig rig(data);
        auto* edit = qobject_cast<QLineEdit*>(rig.editor);
        QCOMPARE(edit->maxLength(), 8);
        edit->setText("user text that is longer");
        rig.commit();
        QCOMPARE(rig.model.writes, QVariantList{QString("user tex")});
    }

    void sizeHintHeight()
    {
        RecordingModel model(integer(0, 1, 1, 0));
        ZelFeatureTreeDelegate delegate;
        QCOMPARE(delegate.sizeHint(QStyleOptionViewItem(), model.index(0, 0)).height(), 18);
    }
};

QTEST_MAIN(TestFeatureTreeDelegate)
#include "tst_ZelFeatureTreeDelegate.moc"
