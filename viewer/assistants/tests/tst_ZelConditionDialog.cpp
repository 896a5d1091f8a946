#include "ZelConditionDialog.h"
#include "ZelKnownFeatureNames.h"

#include <QAbstractItemModel>
#include <QComboBox>
#include <QCompleter>
#include <QDoubleSpinBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QSpinBox>
#include <QtTest>

class TestConditionDialog : public QObject
{
    Q_OBJECT

    template <typename T>
    static T* child(const QDialog& dialog, const char* name)
    {
        T* widget = dialog.findChild<T*>(name);
        if (!widget)
            qFatal("missing %s", name);
        return widget;
    }

    static QString checkedKind(const QDialog& dialog)
    {
        for (const char* name : {"rdInt", "rdFloat", "rdBool", "rdString"}) {
            if (child<QRadioButton>(dialog, name)->isChecked())
                return name;
        }
        return QString();
    }

    static QString enabledField(const QDialog& dialog)
    {
        QStringList enabled;
        for (const char* name : {"spinBoxInt", "spinBoxFloat", "chkBool", "txtString"}) {
            if (child<QWidget>(dialog, name)->isEnabled())
                enabled << name;
        }
        return enabled.join(',');
    }

private slots:
    void cleanup() { QLocale::setDefault(QLocale::c()); }

    void initialFormIsEmptyEqualInt()
    {
        ZelConditionDialog dialog("");
        QCOMPARE(dialog.windowTitle(), QString("Condition Dialog"));
        QCOMPARE(dialog.size(), QSize(320, 280));
        QCOMPARE(child<QLineEdit>(dialog, "txtFeatureName")->text(), QString());
        auto* ops = child<QComboBox>(dialog, "cmbCondition");
        QCOMPARE(ops->count(), 6);
        QCOMPARE(ops->itemText(3), QString("Greater Than or Equal"));
        QCOMPARE(ops->currentIndex(), 0);
        QCOMPARE(child<QComboBox>(dialog, "chkBool")->currentText(), QString("True"));
        QCOMPARE(checkedKind(dialog), QString("rdInt"));
        QCOMPARE(enabledField(dialog), QString("spinBoxInt"));
        QCOMPARE(dialog.condition(), QString());
    }

    void eachConditionKindRoundTrips_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("output");
        struct Case { const char* name; const char* input; const char* kind; const char* output; };
        const Case cases[] = {
            {"int", "Width >= 640", "rdInt", "Width >= 640"},
            {"float", "Gain == 1.5", "rdFloat", "Gain == 1.50"},
            {"float with comma", "Gain == 1,5", "rdFloat", "Gain == 1.50"},
            {"float two decimals", "Gain < 2.25", "rdFloat", "Gain < 2.25"},
            {"bool in capitals", "ReverseX != TRUE", "rdBool", "ReverseX != True"},
            {"bool false", "ReverseX == false", "rdBool", "ReverseX == False"},
            {"string", "DeviceUserID == cam1", "rdString", "DeviceUserID == cam1"},
            {"unknown symbol", "Width => 5", "rdInt", "Width == 5"},
            {"three decimals kept", "Gain > 0.125", "rdString", "Gain > 0.125"},
            {"negative kept", "OffsetX >= -5", "rdString", "OffsetX >= -5"},
            {"too large kept", "Width == 1000000000", "rdString", "Width == 1000000000"},
            {"four parts kept", "DeviceUserID == my cam", "rdInt", "DeviceUserID == my cam"},
            {"double blank kept", "Width  >= 5", "rdInt", "Width  >= 5"},
            {"two parts kept", "Width >=", "rdInt", "Width >="},
            {"none", "", "rdInt", ""},
        };
        for (const char* locale : {"de_DE", "en_US"}) {
            for (const Case& c : cases) {
                QTest::newRow(qPrintable(QString("%1 %2").arg(locale, c.name)))
                    << QString(locale) << QString(c.input) << QString(c.kind) << QString(c.output);
            }
        }
    }

    void eachConditionKindRoundTrips()
    {
        QFETCH(QString, locale);
        QFETCH(QString, input);
        QFETCH(QString, kind);
        QFETCH(QString, output);
        QLocale::setDefault(QLocale(locale));
        ZelConditionDialog dialog(input);
        QCOMPARE(checkedKind(dialog), kind);
        QCOMPARE(dialog.condition(), output);
    }

    void loadedConditionShowsInTheForm()
    {
        QLocale::setDefault(QLocale("de_DE"));
        ZelConditionDialog width("Width >= 640");
        QCOMPARE(child<QLineEdit>(width, "txtFeatureName")->text(), QString("Width"));
        QCOMPARE(child<QComboBox>(width, "cmbCondition")->currentText(), QString("Greater Than or Equal"));
        QCOMPARE(child<QSpinBox>(width, "spinBoxInt")->value(), 640);
        QVERIFY(!child<QRadioButton>(width, "rdBool")->isEnabled());
        QVERIFY(!child<QRadioButton>(width, "rdString")->isEnabled());

        ZelConditionDialog gain("Gain == 1.5");
        QCOMPARE(child<QDoubleSpinBox>(gain, "spinBoxFloat")->text(), QString("1,50"));
        QCOMPARE(enabledField(gain), QString("spinBoxFloat"));

        ZelConditionDialog reverse("ReverseX != TRUE");
        QCOMPARE(child<QComboBox>(reverse, "chkBool")->currentText(), QString("True"));
        QCOMPARE(enabledField(reverse), QString("chkBool"));

        // A string loaded with an ordering operator stays checked and is kept.
        ZelConditionDialog ordered("DeviceUserID > abc");
        QCOMPARE(checkedKind(ordered), QString("rdString"));
        QVERIFY(!child<QRadioButton>(ordered, "rdString")->isEnabled());
        QCOMPARE(ordered.condition(), QString("DeviceUserID > abc"));
    }

    void typedFloatIsWrittenWithAPoint_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("typed");
        QTest::newRow("German") << "de_DE" << "2,75";
        QTest::newRow("English") << "en_US" << "2.75";
    }

    void typedFloatIsWrittenWithAPoint()
    {
        QFETCH(QString, locale);
        QFETCH(QString, typed);
        QLocale::setDefault(QLocale(locale));
        ZelConditionDialog dialog("");
        QTest::keyClicks(child<QLineEdit>(dialog, "txtFeatureName"), "Gain");
        child<QComboBox>(dialog, "cmbCondition")->setCurrentIndex(2);
        child<QRadioButton>(dialog, "rdFloat")->setChecked(true);
        auto* spin = child<QDoubleSpinBox>(dialog, "spinBoxFloat");
        spin->selectAll();
        QTest::keyClicks(spin, typed);
        QCOMPARE(spin->value(), 2.75);
        QCOMPARE(dialog.condition(), QString("Gain > 2.75"));
    }

    void operatorChangeRestrictsValueKinds()
    {
        ZelConditionDialog dialog("Name == text");
        auto* ops = child<QComboBox>(dialog, "cmbCondition");
        QCOMPARE(checkedKind(dialog), QString("rdString"));

        ops->setCurrentIndex(4);
        QCOMPARE(checkedKind(dialog), QString("rdInt"));
        QCOMPARE(enabledField(dialog), QString("spinBoxInt"));
        QVERIFY(!child<QRadioButton>(dialog, "rdString")->isEnabled());
        QVERIFY(!child<QRadioButton>(dialog, "rdBool")->isEnabled());

        ops->setCurrentIndex(0);
        QVERIFY(child<QRadioButton>(dialog, "rdString")->isEnabled());
        QVERIFY(child<QRadioButton>(dialog, "rdBool")->isEnabled());
        QCOMPARE(checkedKind(dialog), QString("rdInt"));
        QCOMPARE(dialog.condition(), QString("Name == 0"));
    }

    void emptyNameGivesNoCondition()
    {
        ZelConditionDialog dialog("Width >= 640");
        auto* name = child<QLineEdit>(dialog, "txtFeatureName");
        name->setText("   ");
        QCOMPARE(dialog.condition(), QString());
        name->setText(" Width ");
        QCOMPARE(dialog.condition(), QString("Width >= 640"));
    }

    void unreadableConditionIsReplacedOnlyWhenTheFormIsEdited()
    {
        ZelConditionDialog dialog("a b c d");
        QCOMPARE(dialog.condition(), QString("a b c d"));
        // Touching the form and leaving the name empty clears the condition.
        child<QComboBox>(dialog, "cmbCondition")->setCurrentIndex(1);
        QCOMPARE(dialog.condition(), QString());
        QTest::keyClicks(child<QLineEdit>(dialog, "txtFeatureName"), "Gain");
        QCOMPARE(dialog.condition(), QString("Gain != 0"));
    }

    void nameCompleterOffersEveryNameContainingTheText()
    {
        ZelConditionDialog dialog("");
        QCompleter* completer = child<QLineEdit>(dialog, "txtFeatureName")->completer();
        QVERIFY(completer);
        completer->setCompletionPrefix("gain");
        QStringList offered;
        QAbstractItemModel* model = completer->completionModel();
        for (int row = 0; row < model->rowCount(); ++row)
            offered << model->index(row, 0).data().toString();
        for (const char* name : {"Gain", "GainAuto", "ChunkGain", "GainSelector"})
            QVERIFY2(offered.contains(name), name);
        int expected = 0;
        for (const QString& name : allKnownFeatureNames())
            expected += name.contains("gain", Qt::CaseInsensitive) ? 1 : 0;
        QCOMPARE(offered.size(), expected);
    }
};

QTEST_MAIN(TestConditionDialog)
#include "tst_ZelConditionDialog.moc"
