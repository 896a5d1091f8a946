#include "ZelAssistantXml.h"
#include "ZelSequencerItem.h"
#include "ZelSequencerSettingDocument.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

namespace {

QString sets(int count, const QString& body = "<SeqInterval>1</SeqInterval>")
{
    QString text;
    for (int i = 0; i < count; ++i)
        text += "<SeqSelector>" + body + "</SeqSelector>";
    return text;
}

QString file(const QString& inner, const QString& root = "SequencerSetting")
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<" + root + ">" + inner + "</" + root + ">\n";
}

QList<QPair<QString, qint64>> entriesOf(const ZelSequencerItem* set)
{
    QList<QPair<QString, qint64>> entries;
    ZelSequencerEntry entry;
    for (int i = 0; set->entryAt(i, entry); ++i) {
        entries.append({entry.featureName, entry.value});
        if (entry.minimum != 0 || entry.maximum != 0)
            entries.append({"bounds", entry.minimum * 1000 + entry.maximum});
    }
    return entries;
}

} // namespace

class TestZelSequencerFile : public QObject
{
    Q_OBJECT

private slots:
    void roundTripKeepsOrderAndValues();
    void writtenShape();
    void refusedFilesLeaveTheListUntouched_data();
    void refusedFilesLeaveTheListUntouched();
    void values_data();
    void values();
    void onlyDirectSetsCount();

private:
    QString write(const QString& text)
    {
        const QString name = dir.filePath(QString("f%1.seqsetting").arg(++files));
        QFile f(name);
        if (f.open(QIODevice::WriteOnly))
            f.write(text.toUtf8());
        return name;
    }
    QTemporaryDir dir;
    QObject owner;   // deletes the sets a test hands over
    int files = 0;
};

void TestZelSequencerFile::roundTripKeepsOrderAndValues()
{
    // As read from a camera (with bounds), as added, as imported (own order).
    ZelSequencerItem camera({new ZelSequencerEntry{"SeqInterval", 66666, 5, 2147483647},
                             new ZelSequencerEntry{"PWMMax", 3333, 0, 2147483647},
                             new ZelSequencerEntry{"PWMChange0", 50, 0, 0}});
    ZelSequencerItem added({new ZelSequencerEntry{"SeqInterval", 0, 0, 1000},
                            new ZelSequencerEntry{"SeqPulseAStart", 0, 0, 1000}});
    ZelSequencerItem imported({new ZelSequencerEntry{"PWMChange3", 7, 0, 0},
                               new ZelSequencerEntry{"Unknown", -4, 0, 0},
                               new ZelSequencerEntry{"SeqInterval", 9007199254740993LL, 0, 0}});
    ZelSequencerSettingDocument document;
    for (const ZelSequencerItem* set : {&camera, &added, &imported})
        QVERIFY(document.appendSet(set));
    const QString name = dir.filePath("round.seqsetting");
    QVERIFY(saveDomDocument(document, name));

    QList<ZelSequencerItem*> loaded;
    ZelSequencerSettingDocument reader;
    QVERIFY(reader.load(name, loaded));
    QCOMPARE(loaded.size(), 3);
    const QList<QPair<QString, qint64>> first{{"SeqInterval", 66666}, {"PWMMax", 3333}, {"PWMChange0", 50}};
    const QList<QPair<QString, qint64>> second{{"SeqInterval", 0}, {"SeqPulseAStart", 0}};
    const QList<QPair<QString, qint64>> third{{"PWMChange3", 7}, {"Unknown", -4}, {"SeqInterval", 9007199254740993LL}};
    QCOMPARE(entriesOf(loaded.at(0)), first);
    QCOMPARE(entriesOf(loaded.at(1)), second);
    QCOMPARE(entriesOf(loaded.at(2)), third);
    for (ZelSequencerItem* set : loaded)
        QVERIFY(!set->parent());
    qDeleteAll(loaded);
    loaded.clear();

    // An empty table writes the declaration and an empty root.
    ZelSequencerSettingDocument empty;
    QVERIFY(saveDomDocument(empty, dir.filePath("empty.seqsetting")));
    QVERIFY(empty.load(dir.filePath("empty.seqsetting"), loaded));
    QVERIFY(loaded.isEmpty());
}

void TestZelSequencerFile::writtenShape()
{
    ZelSequencerSettingDocument document;
    QVERIFY(document.appendSet(new ZelSequencerItem({new ZelSequencerEntry{"SeqInterval", 66666, 0, 0},
                                                     new ZelSequencerEntry{"PWMChange0", 50, 0, 0}},
                                                    &owner)));
    const QString name = dir.filePath("shape.seqsetting");
    QVERIFY(saveDomDocument(document, name));
    QFile f(name);
    QVERIFY(f.open(QIODevice::ReadOnly | QIODevice::Text));
    const QString golden = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                           "<SequencerSetting ATTRIBUTES>\n"
                           "    <SeqSelector>\n"
                           "        <SeqInterval>66666</SeqInterval>\n"
                           "        <PWMChange0>50</PWMChange0>\n"
                           "    </SeqSelector>\n"
                           "</SequencerSetting>\n";
    // The DOM library picks the order of the two namespace attributes.
    QString text = QString::fromUtf8(f.readAll());
    const QString xsd = "xmlns:xsd=\"http://www.w3.org/2001/XMLSchema\"";
    const QString xsi = "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\"";
    const int replaced = text.count(xsd + " " + xsi) + text.count(xsi + " " + xsd);
    QCOMPARE(replaced, 1);
    text.replace(xsd + " " + xsi, "ATTRIBUTES").replace(xsi + " " + xsd, "ATTRIBUTES");
    QCOMPARE(text, golden);
}

void TestZelSequencerFile::refusedFilesLeaveTheListUntouched_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("wrong-case root") << file(sets(1), "sequencerSetting");
    QTest::newRow("polling file") << file(sets(1), "SPSetting");
    QTest::newRow("17 sets") << file(sets(17));
    QTest::newRow("malformed") << QString("<SequencerSetting><SeqSelector></SequencerSetting>");
    QTest::newRow("missing file") << QString();
    QTest::newRow("1e30") << file(sets(1, "<SeqInterval>1e30</SeqInterval>"));
    QTest::newRow("inf") << file(sets(1, "<SeqPulseAStop>inf</SeqPulseAStop>"));
    QTest::newRow("nan") << file(sets(1, "<SeqInterval>nan</SeqInterval>"));
    QTest::newRow("-3 ticks") << file(sets(1, "<SeqInterval>-3</SeqInterval>"));
    QTest::newRow("-1 pwm") << file(sets(1, "<PWMMax>-1</PWMMax>"));
    QTest::newRow("duty 101") << file(sets(1, "<PWMChange2>101</PWMChange2>"));
    QTest::newRow("past 64 bits") << file(sets(1, "<Other>9223372036854775808</Other>"));
}

void TestZelSequencerFile::refusedFilesLeaveTheListUntouched()
{
    QFETCH(QString, text);
    const QString name = text.isEmpty() ? dir.filePath("missing.seqsetting") : write(text);
    ZelSequencerItem* existing = new ZelSequencerItem({}, &owner);
    QList<ZelSequencerItem*> list{existing};
    ZelSequencerSettingDocument document;
    const QString before = document.toString();
    QVERIFY(!document.load(name, list));
    QCOMPARE(list, QList<ZelSequencerItem*>{existing});
    QCOMPARE(document.toString(), before);
}

void TestZelSequencerFile::values_data()
{
    QTest::addColumn<QString>("feature");
    QTest::addColumn<QString>("text");
    QTest::addColumn<qint64>("value");
    QTest::newRow("decimal truncated") << "SeqInterval" << "12.7" << qint64(12);
    QTest::newRow("2^53 + 1 exact") << "SeqInterval" << "9007199254740993" << qint64(9007199254740993LL);
    QTest::newRow("not a number") << "SeqInterval" << "abc" << qint64(0);
    QTest::newRow("empty") << "PWMMax" << "" << qint64(0);
    QTest::newRow("duty 100") << "PWMChange1" << "100" << qint64(100);
    QTest::newRow("other negative") << "Other" << "-3" << qint64(-3);
}

void TestZelSequencerFile::values()
{
    QFETCH(QString, feature);
    QFETCH(QString, text);
    QFETCH(qint64, value);
    QList<ZelSequencerItem*> loaded;
    ZelSequencerSettingDocument document;
    QVERIFY(document.load(write(file(sets(1, "<" + feature + ">" + text + "</" + feature + ">"))), loaded));
    QCOMPARE(loaded.size(), 1);
    qint64 read = -1;
    QVERIFY(loaded.at(0)->value(feature, read));
    QCOMPARE(read, value);
    qDeleteAll(loaded);
}

void TestZelSequencerFile::onlyDirectSetsCount()
{
    const QString nested = "<Group><SeqSelector><SeqInterval>5</SeqInterval></SeqSelector></Group>";
    QList<ZelSequencerItem*> loaded;
    ZelSequencerSettingDocument document;
    QVERIFY(document.load(write(file(sets(16) + nested)), loaded));
    QCOMPARE(loaded.size(), 16);
    qDeleteAll(loaded);
}

QTEST_MAIN(TestZelSequencerFile)
#include "tst_ZelSequencerFile.moc"
