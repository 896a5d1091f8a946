// The tool's windows at their opening size: every button and label whole.
#include "../../../viewer/core/tests/WholeTexts.h"

#include "ConfigureDialog.h"
#include "MainDialog.h"
#include "ManualForceIPDialog.h"
#include "ProducerRig.h"

#include <QtTest>

#include <functional>
#include <memory>

using MakeDialog = std::function<QDialog*(ZelGenTLControl*, const OrvDeviceInfo&)>;
Q_DECLARE_METATYPE(MakeDialog)

class TestNetvaneTexts : public QObject
{
    Q_OBJECT

private slots:
    void openingSizeShowsEveryText_data()
    {
        QTest::addColumn<MakeDialog>("make");
        QTest::newRow("main") << MakeDialog([](ZelGenTLControl*, const OrvDeviceInfo&) -> QDialog* {
            return new MainDialog;
        });
        QTest::newRow("manual force IP") << MakeDialog([](ZelGenTLControl* c, const OrvDeviceInfo& r) -> QDialog* {
            return new ManualForceIPDialog(c, r);
        });
        QTest::newRow("configure") << MakeDialog([](ZelGenTLControl* c, const OrvDeviceInfo& r) -> QDialog* {
            return new ConfigureDialog(c, r);
        });
    }

    void openingSizeShowsEveryText()
    {
        QFETCH(MakeDialog, make);
        ProducerRig rig;
        QVERIFY(rig.ok());
        ZelGenTLControl control;
        QVERIFY(control.Open());
        const OrvDeviceInfo g1 = recordOf(control, "GEV-G1-0001");
        std::unique_ptr<QDialog> dialog(make(&control, g1));
        dialog->show();
        QVERIFY(QTest::qWaitForWindowExposed(dialog.get()));
        const QStringList cut = zeltest::cutTexts(dialog.get());
        QVERIFY2(cut.isEmpty(), qPrintable(cut.join(QStringLiteral("; "))));
        QVERIFY(dialog->width() <= 1920);
        QVERIFY(dialog->height() <= 1080);
    }
};

QTEST_MAIN(TestNetvaneTexts)
#include "tst_NetvaneTexts.moc"
