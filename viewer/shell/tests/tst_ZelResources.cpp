// The compiled-in resources: every icon the windows name, the representation
// overrides and qt.conf.
#include "ZelUtil.h"

#include <QFile>
#include <QIcon>
#include <QImage>
#include <QSettings>
#include <QtTest>

class TestResources : public QObject
{
    Q_OBJECT

private slots:
    void imagesLoad_data();
    void imagesLoad();
    void representationOverrides_data();
    void representationOverrides();
    void settingsIniHasWindowsLineEnds();
    void qtConf();
};

void TestResources::imagesLoad_data()
{
    QTest::addColumn<QString>("path");
    const char* const names[] = {
        "CCM.png", "Result.PNG", "add.png", "close.png", "green_light.png", "grid.png", "loadsettings.ico",
        "ms-icon-144x144.png", "pause.png", "red_light.png", "refresh.png", "remove.png", "reset.png",
        "save.png", "savesettings.ico", "search.png", "snap.png", "start.png", "status_access.png",
        "status_no_access.png", "status_readonly.png", "status_unknown.png", "stop.png", "tools.png",
        "treeview.png", "zoom_in.png", "zoom_out.png", "zoom_reset.png",
        "customcontrols/search_line_edit_search.png", "customcontrols/search_line_edit_clear.png",
        "customcontrols/search_line_edit_hover.png", "customcontrols/search_line_edit_active.png",
        "customcontrols/search_line_edit_border.png"};
    for (const char* n : names)
        QTest::newRow(n) << QStringLiteral(":/res/icon/") + QLatin1String(n);
    QTest::newRow("logo") << QStringLiteral(":/res/image/norrikombrel.jpg");
}

void TestResources::imagesLoad()
{
    QFETCH(QString, path);
    const QImage image(path);
    QVERIFY2(!image.isNull(), qPrintable(path));
    QVERIFY(image.width() >= 9 && image.height() >= 9);
    QVERIFY(!QIcon(path).isNull());
}

void TestResources::representationOverrides_data()
{
    QTest::addColumn<QString>("feature");
    QTest::addColumn<int>("representation");
    for (const char* n : {"GevMCDA", "GevSCDA", "GevCurrentIPAddress", "GevCurrentSubnetMask",
                          "GevCurrentDefaultGateway", "GevPersistentIPAddress", "GevPersistentSubnetMask",
                          "GevPersistentDefaultGateway"})
        QTest::newRow(n) << QString::fromLatin1(n) << 5;
    QTest::newRow("GevMACAddress") << "GevMACAddress" << 6;
    QTest::newRow("no override") << "Width" << 7;
}

void TestResources::representationOverrides()
{
    QFETCH(QString, feature);
    QFETCH(int, representation);
    QSettings store(QStringLiteral(":/settings.ini"), QSettings::IniFormat);
    QCOMPARE(ZelUtil::GetRepresentation(&store, feature), representation);
}

void TestResources::settingsIniHasWindowsLineEnds()
{
    QFile f(QStringLiteral(":/settings.ini"));
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QByteArray text = f.readAll();
    QVERIFY(text.startsWith("[Feature.Representation]\r\nGevMCDA=5 ;ipaddress\r\n"));
    QCOMPARE(text.count("\r\n"), text.count('\n'));
    QCOMPARE(text.count('\n'), 10);
}

void TestResources::qtConf()
{
    QFile f(QStringLiteral(":/qt/etc/qt.conf"));
    QVERIFY(f.open(QIODevice::ReadOnly));
    QSettings conf(QStringLiteral(":/qt/etc/qt.conf"), QSettings::IniFormat);
    QCOMPARE(conf.value(QStringLiteral("Platforms/WindowsArguments")).toString(),
             QStringLiteral("dpiawareness=0"));
}

QTEST_MAIN(TestResources)
#include "tst_ZelResources.moc"
