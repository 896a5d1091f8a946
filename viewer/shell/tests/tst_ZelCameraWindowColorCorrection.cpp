// The colour correction window on the colour camera: opened from the camera
// window, fed with the live image, and the cast of the camera's colour chart
// gone from the next live image after the upload.
#include "SimWindowRig.h"
#include "../../correction/tests/ChartDrag.h"

#include "ZelCamera.h"
#include "ZelCameraWindow.h"
#include "ZelColorCorrection.h"
#include "ZelDialogs.h"
#include "ZelFeatureManager.h"
#include "ZelImageViewWidget.h"
#include "ZelPropertyWidget.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QGraphicsRectItem>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

#include <cmath>

namespace {

// A mild cast, row by row, that saturates no patch.
const double kCast[9] = {0.9, 0.08, 0.0, 0.05, 0.85, 0.05, 0.0, 0.1, 0.8};
// A strong red cast that clips the red of the bright patches at 255.
const double kStrongCast[9] = {1.3, 0.1, 0.0, 0.0, 1.0, 0.0, 0.0, 0.1, 0.6};

QString castText(const double* cast)
{
    QStringList values;
    for (int i = 0; i < 9; ++i)
        values << QString::number(cast[i]);
    return values.join(',');
}

QStringList g_dump;
void collect(QtMsgType, const QMessageLogContext&, const QString& text) { g_dump << text; }

// Connections of a signal, as the object's debug dump lists them.
int connectionsOf(QObject* object, const char* signal)
{
    g_dump.clear();
    const QtMessageHandler previous = qInstallMessageHandler(collect);
    object->dumpObjectInfo();
    qInstallMessageHandler(previous);
    int count = 0;
    bool inSignal = false;
    for (const QString& line : g_dump.join('\n').split('\n')) {
        const QString t = line.trimmed();
        if (t.startsWith("signal:"))
            inSignal = t.contains(QLatin1String(signal));
        else if (t.startsWith("-->") || t.startsWith("<functor"))
            count += inSignal ? 1 : 0;
        else
            inSignal = false;
    }
    return count;
}

} // namespace

class TestZelCameraWindowColorCorrection : public QObject, protected CameraWindowRig<>
{
    Q_OBJECT

public:
    TestZelCameraWindowColorCorrection() : CameraWindowRig(Stream::Manual) {}

private slots:
    void initTestCase() { QVERIFY(setUpHome()); }
    void init() { QVERIFY(startSession()); }
    void cleanup() { QVERIFY(closeAll()); }

    void oneImportConnectionPerTool();
    void castIsCorrectedOnTheCamera_data();
    void castIsCorrectedOnTheCamera();

private:
    // One more live image, shown as the window's last image.
    bool grabImage()
    {
        const QString before = window->statusTexts().value(0);
        if (!started) {
            if (!window->camera()->remoteDeviceFeatures->SetValueEnum("TriggerMode", "On"))
                return false;
            emit window->propertyWidget()->startButtonClicked();
            started = true;
        }
        session.run("stream.frame GEV-G2-0002 1");
        return QTest::qWaitFor([&] { return window->statusTexts().value(0) != before; }, 10000);
    }
    ZelColorCorrection* correction() const
    {
        return qobject_cast<ZelColorCorrection*>(window->tool(ZelCameraTool::ColorCorrection));
    }
    void importAndDrawChart()
    {
        ZelColorCorrection* tool = correction();
        tool->findChild<QToolButton*>("ImportSourceImg")->defaultAction()->trigger();
        const QSize size = tool->sourceImage().size();
        charttest::drag(tool->chartScene(), QPointF(0, 0), QPointF(size.width(), size.height()));
    }

    bool started = false;
};

void TestZelCameraWindowColorCorrection::oneImportConnectionPerTool()
{
    started = false;
    QVERIFY(openWindow("GEV-G2-0002"));
    QVERIFY(window->canOpen(ZelCameraTool::ColorCorrection));
    // Created by the initialisation slot, then shown twice.
    QSignalSpy enabled(window.data(), &ZelCameraWindow::enableColorCorrection);
    window->onShowColorCorrection();
    QCOMPARE(enabled.count(), 1);
    QCOMPARE(enabled.first().first().toBool(), true);
    QPointer<ZelColorCorrection> first = correction();
    QVERIFY(first);
    QVERIFY(!first->isVisible());
    window->onShowColorCorrectionWidget();
    window->onShowColorCorrectionWidget();
    QCOMPARE(correction(), first.data());
    QVERIFY(first->isVisible());
    QCOMPARE(connectionsOf(first, "importLiveImg"), 1);
    // Closing only hides it; the same window comes back.
    first->close();
    QVERIFY(first);
    window->onShowColorCorrectionWidget();
    QCOMPARE(correction(), first.data());
    QCOMPARE(connectionsOf(first, "importLiveImg"), 1);

    // Without an image nothing is imported; with one the copy arrives.
    first->findChild<QToolButton*>("ImportSourceImg")->defaultAction()->trigger();
    QVERIFY(first->sourceImage().isNull());
    QVERIFY(grabImage());
    first->findChild<QToolButton*>("ImportSourceImg")->defaultAction()->trigger();
    QCOMPARE(first->sourceImage().size(), QSize(1280, 1024));
}

void TestZelCameraWindowColorCorrection::castIsCorrectedOnTheCamera_data()
{
    QTest::addColumn<QVector<double>>("cast");
    QTest::addColumn<QString>("leftOut");
    QTest::newRow("mild") << QVector<double>(kCast, kCast + 9) << QString("All 24 patches used in the fit.");
    // Red reaches 255 in eight patches: the bright ones, white and the
    // lightest grey.
    QTest::newRow("strong, clipping")
        << QVector<double>(kStrongCast, kStrongCast + 9)
        << QString("8 of 24 patches left out of the fit (crossed out): a channel is clipped at 0 or 255.");
}

void TestZelCameraWindowColorCorrection::castIsCorrectedOnTheCamera()
{
    QFETCH(QVector<double>, cast);
    QFETCH(QString, leftOut);
    started = false;
    QCOMPARE(session.run("stream.pattern GEV-G2-0002 ColourChart cast=" + castText(cast.constData())), 0);
    QVERIFY(openWindow("GEV-G2-0002"));
    QVERIFY(grabImage());
    window->onShowColorCorrectionWidget();
    ZelColorCorrection* tool = correction();
    QVERIFY(tool);
    importAndDrawChart();
    QCOMPARE(tool->chartScene()->patches().size(), 24);
    tool->findChild<QComboBox*>("Profile")->setCurrentIndex(0);
    ZelDialogs::Script dialogs;
    tool->findChild<QPushButton*>("GenerateCCM")->click();
    QCOMPARE(dialogs.count(), 0);
    QCOMPARE(tool->viewMode(), 1);

    // The patches whose red the cast clips are left out, and the view says
    // how many.
    const QVector<bool> clipped = tool->leftOutPatches();
    const QVector<QColor> references = tool->profiles().at(0).colours;
    QCOMPARE(clipped.size(), 24);
    for (int k = 0; k < 24; ++k) {
        const QColor ref = references.at(k);
        const bool clips = cast[0] * ref.red() + cast[1] * ref.green() + cast[2] * ref.blue() >= 255.0;
        QVERIFY2(clipped.at(k) == clips, qPrintable(QString("patch %1").arg(k)));
    }
    QCOMPARE(tool->findChild<QLabel*>("labelLeftOut")->text(), leftOut);

    // The gain matrix undoes the cast; the offsets stay small.
    const QVector<double> v = tool->matrixValues();
    QCOMPARE(v.size(), 12);
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c) {
            double product = 0;
            for (int k = 0; k < 3; ++k)
                product += v[3 * r + k] * cast[3 * k + c];
            QVERIFY2(std::abs(product - (r == c ? 1.0 : 0.0)) < 0.02,
                     qPrintable(QString("(%1, %2): %3").arg(r).arg(c).arg(product)));
        }
        QVERIFY2(std::abs(v[9 + r]) < 2.0, qPrintable(QString("offset %1: %2").arg(r).arg(v[9 + r])));
    }

    // After the upload every patch that was not clipped shows its reference
    // colour again, the greys neutral, within 3 levels.
    tool->findChild<QPushButton*>("pushButton")->click();
    QCOMPARE(dialogs.count(), 0);
    QVERIFY(grabImage());
    importAndDrawChart();
    tool->measurePatches();
    const QVector<QColor> measured = tool->measuredColours();
    QCOMPARE(measured.size(), 24);
    for (int k = 0; k < 24; ++k) {
        if (clipped.at(k))
            continue;
        const QColor m = measured.at(k), ref = references.at(k);
        QVERIFY2(std::abs(m.red() - ref.red()) <= 3 && std::abs(m.green() - ref.green()) <= 3 &&
                     std::abs(m.blue() - ref.blue()) <= 3,
                 qPrintable(QString("patch %1: %2 for %3").arg(k).arg(m.name()).arg(ref.name())));
    }
}

QTEST_MAIN(TestZelCameraWindowColorCorrection)
#include "tst_ZelCameraWindowColorCorrection.moc"
