// Runs the viewer's own main on the offscreen platform and drives it as an
// operator would: wait for the discovery window to list the simulated
// cameras, open one by double click, then close the main window. The
// program must end with 0 and the camera must have been open.

#include "ViewerTestHome.h"

#include "ZelDiscoverTreeItem.h"
#include "ZelDiscoveryTreeView.h"
#include "ZelDiscoveryWidget.h"
#include "ZelMainWindow.h"

#include <QApplication>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QMdiArea>
#include <QMetaType>
#include <QMdiSubWindow>
#include <QTimer>

#include <cstdio>
#include <functional>

int kalveenMain(int argc, char* argv[]);

namespace {

ViewerTestHome* home = nullptr;
QStringList failures;
bool cameraWasOpen = false;

template <typename T>
T* topLevel()
{
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* found = qobject_cast<T*>(widget))
            return found;
    }
    return nullptr;
}

// Calls step every 50 ms until it returns true; gives up after 20 s.
void poll(const std::function<bool()>& step, const char* what, const std::function<void()>& next)
{
    auto* timer = new QTimer(qApp);
    auto* clock = new QElapsedTimer;
    clock->start();
    QObject::connect(timer, &QTimer::timeout, [=] {
        if (step()) {
            timer->deleteLater();
            delete clock;
            next();
        } else if (clock->elapsed() > 20000) {
            failures << QString::fromLatin1(what);
            timer->deleteLater();
            delete clock;
            if (ZelMainWindow* window = topLevel<ZelMainWindow>())
                window->close();
        }
    });
    timer->start(50);
}

QModelIndex cameraRow(ZelDiscoveryTreeView* tree, const QString& key)
{
    const QAbstractItemModel* model = tree->model();
    for (int group = 0; model && group < model->rowCount(); ++group) {
        const QModelIndex groupIndex = model->index(group, 0);
        for (int row = 0; row < model->rowCount(groupIndex); ++row) {
            const QModelIndex index = model->index(row, 0, groupIndex);
            if (index.data(ZelDiscoverTreeItem::CameraKeyRole).toString() == key)
                return index;
        }
    }
    return {};
}

void drive()
{
    // main registers the histogram record between the SDK records and the
    // polling record.
    const int histogram = QMetaType::type("ZelPixelHistogramData");
    if (histogram == QMetaType::UnknownType || histogram < QMetaType::type("ORV_TL_INFO")
        || histogram > QMetaType::type("ZelSoftwarePollingItemInfo"))
        failures << QStringLiteral("ZelPixelHistogramData is not registered at its place");
    const QString key = QStringLiteral("gev-if-0/GEV-G1-0001");
    poll(
        [key] {
            auto* discovery = topLevel<ZelDiscoveryWidget>();
            if (!discovery || !discovery->isVisible())
                return false;
            auto* tree = discovery->findChild<ZelDiscoveryTreeView*>("treeViewDiscover");
            return cameraRow(tree, key).isValid();
        },
        "the discovery window did not list GEV-G1-0001",
        [key] {
            auto* discovery = topLevel<ZelDiscoveryWidget>();
            auto* tree = discovery->findChild<ZelDiscoveryTreeView*>("treeViewDiscover");
            emit tree->doubleClicked(cameraRow(tree, key));
            poll(
                [] {
                    ZelMainWindow* window = topLevel<ZelMainWindow>();
                    return window && window->mdiArea()->subWindowList().size() == 1;
                },
                "no camera sub-window opened",
                [] {
                    cameraWasOpen = true;
                    ZelMainWindow* window = topLevel<ZelMainWindow>();
                    if (topLevel<ZelDiscoveryWidget>()->isVisible())
                        failures << QStringLiteral("the discovery window stayed open");
                    window->close();
                });
        });
}

void startDriving()
{
    QTimer::singleShot(0, drive);
}
Q_COREAPP_STARTUP_FUNCTION(startDriving)

} // namespace

int main(int argc, char* argv[])
{
    ViewerTestHome settings;
    home = &settings;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    const int result = kalveenMain(argc, argv);
    if (result != 0)
        failures << QStringLiteral("main returned %1").arg(result);
    if (!cameraWasOpen)
        failures << QStringLiteral("the camera was never open");
    for (const QString& failure : failures)
        std::fprintf(stderr, "FAIL: %s\n", qPrintable(failure));
    std::printf("%s\n", failures.isEmpty() ? "PASS: Kalveen started, opened GEV-G1-0001 and closed" : "FAIL");
    return failures.isEmpty() ? 0 : 1;
}
