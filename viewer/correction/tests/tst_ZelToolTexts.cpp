#include "../../core/tests/TestHome.h"
#include "../../core/tests/WholeTexts.h"
#include "ShadingTestRig.h"

#include "ZelDefectPixelCorrection.h"
#include "ZelNUShadingCorrection.h"
#include "ZelShadingCorrection.h"

#include <QtTest>

#include <functional>
#include <memory>

Q_DECLARE_METATYPE(std::function<QWidget*(ZelCamera*)>)

// The map tools at their opening size: every button and label whole, on a
// screen of 1920 x 1080.
class TestZelToolTexts : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(useTestHome(home)); }
    void cleanup() { rig.close(); }

    void openingSizeShowsEveryText_data()
    {
        using Make = std::function<QWidget*(ZelCamera*)>;
        QTest::addColumn<Make>("make");
        QTest::newRow("defect pixel correction") << Make([](ZelCamera* c) -> QWidget* {
            return new ZelDefectPixelCorrection(c->deviceFeatures, c->remoteDeviceFeatures, "cam", false);
        });
        QTest::newRow("block shading") << Make([](ZelCamera* c) -> QWidget* {
            return new ZelShadingCorrection(c->deviceFeatures, c->remoteDeviceFeatures, "cam", true);
        });
        QTest::newRow("non-uniform shading") << Make([](ZelCamera* c) -> QWidget* {
            return new ZelNUShadingCorrection(c->deviceFeatures, c->remoteDeviceFeatures, "cam", true);
        });
    }

    void openingSizeShowsEveryText()
    {
        using Make = std::function<QWidget*(ZelCamera*)>;
        QFETCH(Make, make);
        QVERIFY(rig.open("GEV-G1-0001"));
        std::unique_ptr<QWidget> tool(make(rig.camera));
        tool->setAttribute(Qt::WA_DeleteOnClose, false);
        tool->show();
        QVERIFY(QTest::qWaitForWindowExposed(tool.get()));
        const QStringList cut = zeltest::cutTexts(tool.get());
        QVERIFY2(cut.isEmpty(), qPrintable(cut.join(QStringLiteral("; "))));
        QVERIFY(tool->width() <= 1920);
        QVERIFY(tool->height() <= 1080);
    }

private:
    QTemporaryDir home;
    zeltest::ShadingRig rig;
};

QTEST_MAIN(TestZelToolTexts)
#include "tst_ZelToolTexts.moc"
