#include "ZelLUTModel.h"
#include "ZelLUTSettingsFile.h"

#include <QFile>
#include <QFont>
#include <QTemporaryDir>
#include <QtTest>

class TestZelLUTFile : public QObject
{
    Q_OBJECT

private slots:
    void modelRolesAndBounds();
    void invert();
    void writtenValuesAreRounded_data();
    void writtenValuesAreRounded();
    void roundTrip();
    void reading_data();
    void reading();
    void firstTableOnly();
    void refusedFiles_data();
    void refusedFiles();
    void failedSaveKeepsTheOldFile();

private:
    static bool write(const QString& path, const QByteArray& text)
    {
        QFile file(path);
        return file.open(QIODevice::WriteOnly) && file.write(text) == text.size();
    }
};

void TestZelLUTFile::modelRolesAndBounds()
{
    ZelLUTModel model(QVector<double>(4096, 1.0), 4095.0);
    QCOMPARE(model.rowCount(), 4096);
    QCOMPARE(model.rowCount(model.index(0)), 0);
    QCOMPARE(model.data(model.index(5)), QVariant(1.0));
    QVERIFY(!model.data(model.index(5), Qt::EditRole).isValid());
    QCOMPARE(model.headerData(0, Qt::Vertical, ZelLUTModel::LUTMaxIndexRole), QVariant(4095));
    QCOMPARE(model.headerData(0, Qt::Vertical, ZelLUTModel::LUTMaxValueRole), QVariant(4095.0));
    QCOMPARE(model.headerData(3, Qt::Horizontal), QVariant("LUTIndex"));
    QCOMPARE(model.headerData(3, Qt::Vertical), QVariant("LUTValue"));
    const QFont font = model.headerData(0, Qt::Horizontal, Qt::FontRole).value<QFont>();
    QCOMPARE(font.family(), QString("sans"));
    QCOMPARE(font.pointSize(), 10);
    QCOMPARE(font.weight(), 75);
    QVERIFY(!model.headerData(0, Qt::Vertical, Qt::ToolTipRole).isValid());

    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    QVERIFY(model.setData(model.index(4095), 7.5));
    QCOMPARE(model.data(model.index(4095)), QVariant(7.5));
    QVERIFY(!model.setData(model.index(4096), 1.0));
    QVERIFY(!model.setData(model.index(0), 1.0, Qt::DisplayRole));
    QCOMPARE(changed.count(), 0);

    ZelLUTModel empty(QVector<double>(), 255.0);
    QCOMPARE(empty.headerData(0, Qt::Vertical, ZelLUTModel::LUTMaxIndexRole), QVariant(-1));
    QVERIFY(empty.setData(QModelIndex(), 0, ZelLUTModel::LUTInvertRole));
}

void TestZelLUTFile::invert()
{
    ZelLUTModel model({0.0, 4095.0, 100.7, 2048.0}, 4095.0);
    QVERIFY(model.setData(QModelIndex(), 0, ZelLUTModel::LUTInvertRole));
    QCOMPARE(model.data(model.index(0)).toDouble(), 4095.0);
    QCOMPARE(model.data(model.index(1)).toDouble(), 0.0);
    QCOMPARE(model.data(model.index(2)).toDouble(), 3995.0);
    QCOMPARE(model.data(model.index(3)).toDouble(), 2047.0);
}

void TestZelLUTFile::writtenValuesAreRounded_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("text");
    QTest::newRow("half up") << 2.5 << "3";
    QTest::newRow("negative half") << -0.5 << "-1";
    QTest::newRow("quarter") << 4094.25 << "4094";
    QTest::newRow("just below half") << 12.49 << "12";
    QTest::newRow("negative") << -2.5 << "-3";
    QTest::newRow("whole") << 4095.0 << "4095";
}

void TestZelLUTFile::writtenValuesAreRounded()
{
    QFETCH(double, value);
    QFETCH(QString, text);
    QTemporaryDir dir;
    const QString path = dir.filePath("lut.xml");
    ZelLUTSettingsFile file;
    QVERIFY(file.save(path, {{"Luminance", true, {value}}}));
    QFile written(path);
    QVERIFY(written.open(QIODevice::ReadOnly));
    const QString content = QString::fromUtf8(written.readAll());
    // The attribute order is the XML library's.
    const QString index = QStringLiteral("index=\"0\"");
    const QString valueText = "value=\"" + text + "\"";
    QVERIFY2(content.contains("<LUTData " + index + " " + valueText + "/>") ||
                 content.contains("<LUTData " + valueText + " " + index + "/>"),
             qPrintable(content));
    QVERIFY(content.startsWith("<?xml version=\"1.0\" encoding=\"UTF-8\"?>"));
    QVERIFY(content.contains("xmlns:xsd=\"http://www.w3.org/2001/XMLSchema\""));
    QVERIFY(content.contains("\n    <LUTSelector"));
    QVERIFY(content.contains("\n        <LUTData"));
}

void TestZelLUTFile::roundTrip()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("lut.xml");
    const QList<ZelLUTSelectorEntry> saved{{"Red", true, {0.0, 12.5, 4094.25}}, {"Blue", false, {255.0}}};
    QVERIFY(ZelLUTSettingsFile().save(path, saved));
    QList<ZelLUTSelectorEntry> loaded{{"kept", false, {1.0}}};
    QVERIFY(ZelLUTSettingsFile().load(path, loaded));
    QCOMPARE(loaded.size(), 3);
    QCOMPARE(loaded.at(0).name, QString("kept"));
    QCOMPARE(loaded.at(1).name, QString("Red"));
    QVERIFY(loaded.at(1).enable);
    QCOMPARE(loaded.at(1).values, QVector<double>({0.0, 13.0, 4094.0}));
    QCOMPARE(loaded.at(2).name, QString("Blue"));
    QVERIFY(!loaded.at(2).enable);
    QCOMPARE(loaded.at(2).values, QVector<double>({255.0}));
}

void TestZelLUTFile::reading_data()
{
    QTest::addColumn<QByteArray>("selector");   // the LUTSelector element
    QTest::addColumn<bool>("enable");
    QTest::addColumn<QVector<double>>("values");
    QTest::newRow("enable 2") << QByteArray("<LUTSelector name=\"L\" enable=\"2\"><LUTData index=\"0\" value=\"5\"/></LUTSelector>")
                              << true << QVector<double>{5};
    QTest::newRow("enable true") << QByteArray("<LUTSelector name=\"L\" enable=\"true\"/>") << false << QVector<double>{};
    QTest::newRow("enable missing") << QByteArray("<LUTSelector name=\"L\"/>") << false << QVector<double>{};
    QTest::newRow("indexes 0 1 5")
        << QByteArray("<LUTSelector name=\"L\" enable=\"1\"><LUTData index=\"0\" value=\"7\"/>"
                      "<LUTData index=\"1\" value=\"8\"/><LUTData index=\"5\" value=\"9\"/></LUTSelector>")
        << true << QVector<double>{7, 8, 0};
    QTest::newRow("duplicate 0")
        << QByteArray("<LUTSelector name=\"L\" enable=\"0\"><LUTData index=\"0\" value=\"1\"/>"
                      "<LUTData index=\"0\" value=\"2\"/></LUTSelector>")
        << false << QVector<double>{2, 0};
    QTest::newRow("negative index")
        << QByteArray("<LUTSelector name=\"L\" enable=\"0\"><LUTData index=\"-1\" value=\"1\"/>"
                      "<LUTData index=\"1\" value=\"2\"/></LUTSelector>")
        << false << QVector<double>{0, 2};
    // A comment is no entry: it neither adds a zero nor moves one.
    QTest::newRow("comment")
        << QByteArray("<LUTSelector name=\"L\" enable=\"0\"><!-- made by hand --><LUTData index=\"0\" value=\"3\"/>"
                      "<LUTData index=\"1\" value=\"4\"/></LUTSelector>")
        << false << QVector<double>{3, 4};
    QTest::newRow("fraction and missing value")
        << QByteArray("<LUTSelector name=\"L\" enable=\"0\"><LUTData index=\"0\" value=\"12.5\"/>"
                      "<LUTData index=\"1\"/></LUTSelector>")
        << false << QVector<double>{0, 0};
}

void TestZelLUTFile::reading()
{
    QFETCH(QByteArray, selector);
    QFETCH(bool, enable);
    QFETCH(QVector<double>, values);
    QTemporaryDir dir;
    const QString path = dir.filePath("lut.xml");
    QVERIFY(write(path, "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<LUTSetting>" + selector + "</LUTSetting>\n"));
    QList<ZelLUTSelectorEntry> entries;
    QVERIFY(ZelLUTSettingsFile().load(path, entries));
    QCOMPARE(entries.size(), 1);
    QCOMPARE(entries.first().name, QString("L"));
    QCOMPARE(entries.first().enable, enable);
    QCOMPARE(entries.first().values, values);

    // The import's reader gives the same table, or refuses a value that is
    // not a whole number.
    ZelLUTSelectorEntry first;
    QString reason;
    const bool whole = !selector.contains("12.5");
    QCOMPARE(ZelLUTSettingsFile::readFirstTable(path, 4096, 0, 4095, first, &reason), whole);
    if (whole) {
        QCOMPARE(first.name, QString("L"));
        QCOMPARE(first.enable, enable);
        QCOMPARE(first.values, values);
    } else {
        QCOMPARE(reason, QString("Entry 1 has the value \"12.5\", which is not a whole number."));
    }
}

void TestZelLUTFile::firstTableOnly()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("lut.xml");
    // The first table sits one level down; the second is cut off.
    QVERIFY(write(path, "<LUTSetting><Group><LUTSelector name=\"A\" enable=\"1\"><LUTData index=\"1\" value=\"8\"/>"
                        "<LUTData index=\"0\" value=\"7\"/></LUTSelector></Group>"
                        "<LUTSelector name=\"B\"><LUTData index=\"0\" val"));
    ZelLUTSelectorEntry entry;
    QString reason;
    QVERIFY(ZelLUTSettingsFile::readFirstTable(path, 2, 0, 255, entry, &reason));
    QCOMPARE(entry.name, QString("A"));
    QVERIFY(entry.enable);
    QCOMPARE(entry.values, QVector<double>({7, 8}));
    // A table of one entry has no room for two; a range check only where
    // values are kept.
    QVERIFY(!ZelLUTSettingsFile::readFirstTable(path, 1, 0, 255, entry, &reason));
    QCOMPARE(reason, QString("The file's table holds more than 1 entries; the camera's table holds 1."));
    QVERIFY(!ZelLUTSettingsFile::readFirstTable(path, 2, 0, 7, entry, &reason));
    QCOMPARE(reason, QString("Entry 1 has the value 8; the camera's table holds 0 to 7."));
    ZelLUTSelectorEntry checked;
    QVERIFY(ZelLUTSettingsFile::readFirstTable(path, -1, 0, 0, checked, &reason));
    QCOMPARE(checked.name, QString("A"));
    QVERIFY(checked.values.isEmpty());
    QVERIFY(!ZelLUTSettingsFile::readFirstTable(dir.filePath("absent.xml"), 2, 0, 255, entry, &reason));
    QVERIFY2(reason.startsWith("The file cannot be read: "), qPrintable(reason));
}

void TestZelLUTFile::refusedFiles_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("loads");
    QTest::newRow("lower-case root") << QByteArray("<lutsetting><LUTSelector name=\"L\"/></lutsetting>") << false;
    QTest::newRow("not XML") << QByteArray("<LUTSetting><LUTSelector") << false;
    QTest::newRow("empty file") << QByteArray() << false;
    QTest::newRow("no tables") << QByteArray("<LUTSetting/>") << true;
}

void TestZelLUTFile::refusedFiles()
{
    QFETCH(QByteArray, content);
    QFETCH(bool, loads);
    QTemporaryDir dir;
    const QString path = dir.filePath("lut.xml");
    QVERIFY(write(path, content));
    QList<ZelLUTSelectorEntry> entries;
    QCOMPARE(ZelLUTSettingsFile().load(path, entries), loads);
    QVERIFY(entries.isEmpty());
    QVERIFY(!ZelLUTSettingsFile().load(dir.filePath("absent.xml"), entries));
}

void TestZelLUTFile::failedSaveKeepsTheOldFile()
{
    QTemporaryDir dir;
    // A name of the longest length a folder takes leaves no room for the
    // replacement written beside it, whoever runs the test.
    const QString path = dir.filePath(QString(251, QLatin1Char('a')) + ".xml");
    QVERIFY(write(path, "old"));
    QString reason;
    QVERIFY(!ZelLUTSettingsFile().save(path, {{"L", true, {1.0}}}, &reason));
    QVERIFY(!reason.isEmpty());
    QFile old(path);
    QVERIFY(old.open(QIODevice::ReadOnly));
    QCOMPARE(old.readAll(), QByteArray("old"));
    // A name inside a missing folder fails as well.
    QVERIFY(!ZelLUTSettingsFile().save(dir.filePath("missing/lut.xml"), {{"L", true, {1.0}}}));
}

QTEST_MAIN(TestZelLUTFile)
#include "tst_ZelLUTFile.moc"
