// The main() of a benchmark whose cases need a QApplication: the benchmarks
// run inside one, on the offscreen platform unless QT_QPA_PLATFORM names
// another.
#ifndef BENCHAPP_H
#define BENCHAPP_H

#include <benchmark/benchmark.h>

#include <QApplication>

inline int runBenchmarksInApplication(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

#endif // BENCHAPP_H
