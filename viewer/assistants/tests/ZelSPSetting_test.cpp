#include "ZelAssistantXml.h"
#include "ZelSPSetting.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTextStream>

#include <csignal>
#include <sys/resource.h>

namespace {

QString readAll(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromUtf8(file.readAll());
}

void writeFile(const QString& path, const QString& text)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(text.toUtf8());
}

QString spFile(const QString& features)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<SPSetting><FeatureList>" + features
        + "</FeatureList></SPSetting>\n";
}

QList<ZelSoftwarePollingItemInfo> featuresOf(const QDomDocument& document)
{
    QList<ZelSoftwarePollingItemInfo> list;
    readSPSettingFeatures(document, list);
    return list;
}

class SPSettingFile : public ::testing::Test
{
protected:
    QTemporaryDir dir;
    QString path(const QString& name = "polling.spsetting") const { return dir.filePath(name); }
};

} // namespace

TEST_F(SPSettingFile, NullDocumentIsRefusedAndCreatesNoFile)
{
    QString reason;
    EXPECT_FALSE(saveDomDocument(QDomDocument(), path(), &reason));
    EXPECT_FALSE(reason.isEmpty());
    EXPECT_FALSE(QFile::exists(path()));
}

TEST_F(SPSettingFile, WrittenFileHasDeclarationAndIndentOfFour)
{
    QDomDocument document;
    createSPSettingDocument(document);
    addFeatureToSPSetting(document, {"Gain", 250, true, "Width >= 640"});
    ASSERT_TRUE(saveDomDocument(document, path()));

    const QStringList lines = readAll(path()).split('\n');
    ASSERT_GE(lines.size(), 8);
    EXPECT_EQ(lines[0], "<?xml version=\"1.0\" encoding=\"UTF-8\"?>");
    EXPECT_TRUE(lines[1].startsWith("<SPSetting "));
    EXPECT_TRUE(lines[1].contains("xmlns:xsd=\"http://www.w3.org/2001/XMLSchema\""));
    EXPECT_TRUE(lines[1].contains("xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\""));
    EXPECT_EQ(lines[2], "    <FeatureList>");
    EXPECT_EQ(lines[3], "        <Feature name=\"Gain\">");
    EXPECT_EQ(lines[4], "            <PollingTime>250</PollingTime>");
    EXPECT_EQ(lines[5], "            <Enable>True</Enable>");
    EXPECT_EQ(lines[6], "            <Condition><![CDATA[Width >= 640]]></Condition>");
}

TEST_F(SPSettingFile, SaveThatCannotOpenReportsAndLeavesNothing)
{
    QString reason;
    EXPECT_FALSE(saveDomDocument(QDomDocument("x"), dir.filePath("missing/sub/file.xml"), &reason));
    EXPECT_FALSE(reason.isEmpty());
    EXPECT_FALSE(QDir(dir.filePath("missing")).exists());
}

TEST_F(SPSettingFile, FailedWriteKeepsThePreviousFile)
{
    writeFile(path(), "previous content");

    QDomDocument document;
    createSPSettingDocument(document);
    for (int i = 0; i < 200; ++i)
        addFeatureToSPSetting(document, {QString("Feature%1").arg(i), 100, true, "Gain > 1"});

    // A small file size limit stands in for a full disk.
    struct rlimit old {};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = old;
    small.rlim_cur = 1024;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    QString reason;
    const bool saved = saveDomDocument(document, path(), &reason);
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_FALSE(saved);
    EXPECT_FALSE(reason.isEmpty());
    EXPECT_EQ(readAll(path()), "previous content");
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"polling.spsetting"});
}

TEST_F(SPSettingFile, EveryFieldKindAndAwkwardConditionsRoundTrip)
{
    const QList<ZelSoftwarePollingItemInfo> entries = {
        {"ExposureTime", 10, true, ""},
        {"Gain", 1000000, false, "Width >= 640"},
        {"DeviceTemperature", 250, true, "Name == <a&b>\"'"},
        {"LineStatus", 40, false, "DeviceUserID == x]]>y"},
        {"Timestamp", 50, true, "]]>]]>"},
        {"BlackLevel", 60, true, "DeviceUserID != Grüße"},
        {"Gamma", 70, false, "Gain == 1.50"},
    };
    QDomDocument document;
    createSPSettingDocument(document);
    for (const auto& entry : entries)
        addFeatureToSPSetting(document, entry);
    ASSERT_TRUE(saveDomDocument(document, path()));

    QDomDocument loaded;
    QList<ZelSoftwarePollingItemInfo> list;
    ASSERT_TRUE(loadSPSetting(loaded, path(), list));
    EXPECT_EQ(list, entries);
    EXPECT_EQ(featuresOf(loaded), entries);
}

TEST_F(SPSettingFile, FieldsReadFromAFileAreDefaultedAndBounded)
{
    struct Case { const char* element; int pollTime; bool enabled; };
    const Case cases[] = {
        {"<Feature name=\"A\"><PollingTime>5</PollingTime><Enable>True</Enable></Feature>", 10, true},
        {"<Feature name=\"A\"><PollingTime>0</PollingTime><Enable>yes</Enable></Feature>", 10, true},
        {"<Feature name=\"A\"><PollingTime>-20</PollingTime><Enable>False</Enable></Feature>", 10, false},
        {"<Feature name=\"A\"><PollingTime>10</PollingTime><Enable>0</Enable></Feature>", 10, false},
        {"<Feature name=\"A\"><PollingTime>1000000</PollingTime><Enable>FALSE</Enable></Feature>", 1000000, false},
        {"<Feature name=\"A\"><PollingTime>1000001</PollingTime><Enable>1</Enable></Feature>", 1000000, true},
        {"<Feature name=\"A\"><PollingTime>99999999999</PollingTime><Enable/></Feature>", 1000000, false},
        {"<Feature name=\"A\"><PollingTime>abc</PollingTime></Feature>", 1000, false},
        {"<Feature name=\"A\"><PollingTime>2.5</PollingTime></Feature>", 1000, false},
        {"<Feature name=\"A\"/>", 1000, false},
    };
    for (const Case& c : cases) {
        writeFile(path(), spFile(c.element));
        QDomDocument document;
        QList<ZelSoftwarePollingItemInfo> list;
        ASSERT_TRUE(loadSPSetting(document, path(), list)) << c.element;
        ASSERT_EQ(list.size(), 1) << c.element;
        EXPECT_EQ(list[0].pollTime, c.pollTime) << c.element;
        EXPECT_EQ(list[0].enabled, c.enabled) << c.element;
        EXPECT_EQ(list[0].condition, "") << c.element;
    }
}

TEST_F(SPSettingFile, NamesAreTrimmedAndNamelessEntriesSkipped)
{
    writeFile(path(), spFile("<Feature name=\"\"/><Feature/><Feature name=\"   \"/>"
                             "<Feature name=\" Gain \"><Condition>plain &amp; text</Condition></Feature>"));
    QDomDocument document;
    QList<ZelSoftwarePollingItemInfo> list;
    ASSERT_TRUE(loadSPSetting(document, path(), list));
    ASSERT_EQ(list.size(), 1);
    EXPECT_EQ(list[0].name, "Gain");
    EXPECT_EQ(list[0].condition, "plain & text");
}

TEST_F(SPSettingFile, BadFilesDoNotLoadAndChangeNothing)
{
    const QString bad[] = {
        "<?xml version=\"1.0\"?><SPSetting><FeatureList>",
        "<?xml version=\"1.0\"?><spsetting><FeatureList/></spsetting>",
        "<?xml version=\"1.0\"?><SPSetting><FeatureList/><FeatureList/></SPSetting>",
        "<?xml version=\"1.0\"?><SPSetting><Other><FeatureList/></Other><FeatureList/></SPSetting>",
        "<?xml version=\"1.0\"?><SPSetting/>",
        "",
    };
    QDomDocument document;
    createSPSettingDocument(document);
    addFeatureToSPSetting(document, {"Gain", 100, true, ""});
    const QString before = document.toString();
    for (const QString& text : bad) {
        writeFile(path(), text);
        QList<ZelSoftwarePollingItemInfo> list{{"Kept", 20, false, ""}};
        EXPECT_FALSE(loadSPSetting(document, path(), list)) << text.toStdString();
        EXPECT_EQ(list.size(), 1);
        EXPECT_EQ(document.toString(), before);
    }
    QList<ZelSoftwarePollingItemInfo> list;
    EXPECT_FALSE(loadSPSetting(document, path("absent.spsetting"), list));
    EXPECT_EQ(document.toString(), before);
}

TEST_F(SPSettingFile, FeatureListNestedAnywhereIsAccepted)
{
    writeFile(path(), "<SPSetting><Wrapper><FeatureList><Feature name=\"Gain\"/></FeatureList>"
                      "</Wrapper></SPSetting>");
    QDomDocument document;
    QList<ZelSoftwarePollingItemInfo> list;
    ASSERT_TRUE(loadSPSetting(document, path(), list));
    ASSERT_EQ(list.size(), 1);
    EXPECT_EQ(list[0].name, "Gain");
}

TEST(SPSettingDocument, RemoveTakesEveryCaseVariantUpdateOnlyTheFirst)
{
    QDomDocument document;
    createSPSettingDocument(document);
    addFeatureToSPSetting(document, {"Gain", 100, false, "a"});
    addFeatureToSPSetting(document, {"ExposureTime", 200, true, ""});
    addFeatureToSPSetting(document, {"GAIN", 300, false, "b"});

    updateFeatureInSPSetting(document, {"gain", 50, true, "c ]]> d"});
    QList<ZelSoftwarePollingItemInfo> expected = {
        {"Gain", 50, true, "c ]]> d"},
        {"ExposureTime", 200, true, ""},
        {"GAIN", 300, false, "b"},
    };
    EXPECT_EQ(featuresOf(document), expected);

    updateFeatureInSPSetting(document, {"Unknown", 70, true, ""});
    EXPECT_EQ(featuresOf(document), expected);

    removeFeatureFromSPSetting(document, "gAIN");
    EXPECT_EQ(featuresOf(document), QList<ZelSoftwarePollingItemInfo>{expected[1]});
}

TEST(SPSettingDocument, UpdateAddsNoMissingChildAndKeepsOrder)
{
    QDomDocument document;
    ASSERT_TRUE(document.setContent(QString("<SPSetting><FeatureList><Feature name=\"Gain\">"
                                            "<Condition/><PollingTime>5</PollingTime>"
                                            "</Feature></FeatureList></SPSetting>")));
    updateFeatureInSPSetting(document, {"Gain", 40, true, "x"});
    const QDomElement feature = findFeatureList(document).firstChildElement();
    EXPECT_EQ(feature.firstChildElement().tagName(), "Condition");
    EXPECT_EQ(feature.firstChildElement().text(), "x");
    EXPECT_EQ(feature.lastChildElement().tagName(), "PollingTime");
    EXPECT_EQ(feature.lastChildElement().text(), "40");
    EXPECT_TRUE(feature.firstChildElement("Enable").isNull());
}

TEST(SPSettingDocument, ChangesWithoutAFeatureListDoNothing)
{
    QDomDocument document;
    ASSERT_TRUE(document.setContent(QString("<SPSetting/>")));
    const QString before = document.toString();
    addFeatureToSPSetting(document, {"Gain", 40, true, ""});
    removeFeatureFromSPSetting(document, "Gain");
    updateFeatureInSPSetting(document, {"Gain", 40, true, ""});
    EXPECT_EQ(document.toString(), before);
    EXPECT_TRUE(featuresOf(document).isEmpty());
}
