#include "ViewerTestHome.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <QtTest>

// The built program itself, started as an operator would start it.
class TestKalveenProgram : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { home.reset(new ViewerTestHome); }

    void withoutSdkFolderExitsWithMinusOne()
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove("NORRIK_SDK_BIN_32");
        environment.insert("QT_QPA_PLATFORM", "offscreen");
        QProcess program;
        program.setProcessEnvironment(environment);
        program.start(QStringLiteral(SUITE_BIN_DIR) + "/Kalveen", QStringList());
        QVERIFY2(program.waitForFinished(30000), "Kalveen did not end");
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), 255); // -1
    }

    void startsBesideTheSdkAndProducers()
    {
        // The build folder runs as it is: libQuillan.so and cti/ beside the program.
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("QT_QPA_PLATFORM", "offscreen");
        environment.insert("NORRIK_SDK_BIN_32", SUITE_BIN_DIR);
        environment.remove("GENICAM_GENTL32_PATH");
        QProcess program;
        program.setProcessEnvironment(environment);
        program.setProcessChannelMode(QProcess::MergedChannels);
        program.start(QStringLiteral(SUITE_BIN_DIR) + "/Kalveen", QStringList());
        QVERIFY(program.waitForStarted(10000));
        QVERIFY2(!program.waitForFinished(3000), program.readAll().constData());
        program.terminate();
        QVERIFY(program.waitForFinished(10000));
    }

private:
    std::unique_ptr<ViewerTestHome> home;
};

QTEST_MAIN(TestKalveenProgram)
#include "tst_KalveenProgram.moc"
