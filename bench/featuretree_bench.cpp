// The feature tree of a camera's remote device: building its model (every
// feature read once through the simulated SDK), arranging 1,000 features
// into a tree, and refreshing every shown feature after the camera
// invalidated them all. The "per_1000_features" counter scales each figure
// to a remote device of 1,000 features.

#include "BenchApp.h"
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QTreeView>

#include <cstring>
#include <memory>
#include <string>

#include "SimSdk.h"
#include "ZelFeatureManager.h"
#include "ZelFeatureTreeBuilder.h"
#include "ZelFeatureTreeItem.h"
#include "ZelFeatureTreeModel.h"
#include "ZelFeatureTreeWidget.h"

namespace {

struct Camera {
    Camera()
        : handles(sdk.open(QStringLiteral("orv_gev_tl.cti"), QStringLiteral("gev-if-0"), QStringLiteral("GEV-G1-0001")))
        , manager(handles.remote, nullptr)
    {
    }
    SimSdk sdk;
    SimCameraHandles handles;
    ZelFeatureManager manager;
};

Camera& camera()
{
    static Camera shared;
    return shared;
}

int countNodes(const QAbstractItemModel& model, const QModelIndex& parent = QModelIndex())
{
    int count = 0;
    for (int row = 0; row < model.rowCount(parent); ++row)
        count += 1 + countNodes(model, model.index(row, 0, parent));
    return count;
}

void perThousand(benchmark::State& state, int features)
{
    state.counters["features"] = features;
    state.counters["per_1000_features"] =
        benchmark::Counter(double(features) / 1000.0, benchmark::Counter::kIsIterationInvariantRate
                                                          | benchmark::Counter::kInvert);
}

// The model of the remote device, built as the tree widget builds it.
void BM_BuildRemoteDeviceModel(benchmark::State& state)
{
    Camera& c = camera();
    if (!c.handles.remote) {
        state.SkipWithError("the simulated camera did not open");
        return;
    }
    int features = 0;
    for (auto _ : state) {
        ZelFeatureTreeModel model(&c.manager, 2, false, nullptr);
        features = countNodes(model);
        benchmark::DoNotOptimize(features);
    }
    perThousand(state, features);
}

// Arranging 1,000 features (categories of twenty) into the tree.
void BM_ArrangeThousandFeatures(benchmark::State& state)
{
    std::vector<ZelFeatureData> list(1000);
    for (int i = 0; i < 1000; ++i) {
        ZelFeatureData& data = list[size_t(i)];
        const bool category = i % 20 == 0;
        data.info.interfaceType = category ? ORV_FEATURE_TYPE_CATEGORY : ORV_FEATURE_TYPE_INTEGER;
        data.info.level = category ? 1 : 2;
        data.info.visibility = uint8_t(i % 3);
        data.info.isAvailable = 1;
        std::snprintf(data.info.name, sizeof data.info.name, "Feature%d", i);
        std::strncpy(data.info.rootName, "Root", sizeof data.info.rootName - 1);
        data.value = qlonglong(i);
    }
    ZelFeatureData root;
    root.info.interfaceType = ORV_FEATURE_TYPE_CATEGORY;
    std::strncpy(root.info.name, "Root", sizeof root.info.name - 1);
    for (auto _ : state) {
        ZelFeatureTreeBuilder builder(2);
        builder.setRoot(root);
        for (const ZelFeatureData& data : list)
            builder.add(data);
        std::unique_ptr<ZelFeatureTreeItem> tree(builder.takeRoot());
        benchmark::DoNotOptimize(tree.get());
    }
    state.counters["features"] = 1000;
}

// Every category of a shown tree expanded, then every watched feature read
// again, as after the camera invalidated them all.
void BM_RefreshAfterInvalidation(benchmark::State& state)
{
    Camera& c = camera();
    if (!c.handles.remote) {
        state.SkipWithError("the simulated camera did not open");
        return;
    }
    ZelFeatureTreeWidget widget(&c.manager, false);
    widget.resize(600, 800);
    widget.show();
    widget.rebuildModel(2, true, false);
    widget.view()->expandAll();
    const int features = widget.watched().size();
    for (auto _ : state) {
        widget.refreshWatchedFeatures();
        QApplication::processEvents();
    }
    perThousand(state, features);
}

} // namespace

BENCHMARK(BM_BuildRemoteDeviceModel)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ArrangeThousandFeatures)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_RefreshAfterInvalidation)->Unit(benchmark::kMillisecond)->UseRealTime();

int main(int argc, char** argv)
{
    return runBenchmarksInApplication(argc, argv);
}
