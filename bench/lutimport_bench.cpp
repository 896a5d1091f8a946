// The look-up table import's reading of a file for a table of 4096 entries:
// a whole table, and a well-formed file of 3,000,000 entries (135 MiB), which
// is refused at its first entry too many (target: well under 100 ms, and the
// process grows by no more than the table).
#include "ZelLUTSettingsFile.h"

#include <benchmark/benchmark.h>

#include <QFile>
#include <QTemporaryDir>

#include <sys/resource.h>

namespace {

constexpr int kTable = 4096;

QString lutFile(const QTemporaryDir& dir, const char* name, int entries)
{
    const QString path = dir.filePath(QString::fromLatin1(name));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return QString();
    file.write("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<LUTSetting>\n    <LUTSelector name=\"Luminance\" "
               "enable=\"1\">\n");
    QByteArray chunk;
    for (int i = 0; i < entries; ++i) {
        chunk += "        <LUTData index=\"" + QByteArray::number(i) + "\" value=\"" +
                 QByteArray::number(i % kTable) + "\"/>\n";
        if (chunk.size() > (1 << 20)) {
            file.write(chunk);
            chunk.clear();
        }
    }
    file.write(chunk);
    file.write("    </LUTSelector>\n</LUTSetting>\n");
    return file.error() == QFileDevice::NoError ? path : QString();
}

long maxResidentKiB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

void readTable(benchmark::State& state, int entries, bool accepted)
{
    QTemporaryDir dir;
    const QString path = lutFile(dir, "lut.xml", entries);
    if (path.isEmpty()) {
        state.SkipWithError("cannot write the table file");
        return;
    }
    const long before = maxResidentKiB();
    for (auto _ : state) {
        ZelLUTSelectorEntry entry;
        QString reason;
        const bool read = ZelLUTSettingsFile::readFirstTable(path, kTable, 0, kTable - 1, entry, &reason);
        if (read != accepted) {
            state.SkipWithError(qPrintable(QStringLiteral("unexpected result: ") + reason));
            return;
        }
        benchmark::DoNotOptimize(entry.values.data());
    }
    state.counters["file MiB"] = double(QFile(path).size()) / (1 << 20);
    state.counters["RSS growth KiB"] = double(maxResidentKiB() - before);
}

} // namespace

BENCHMARK_CAPTURE(readTable, whole_table_4096, kTable, true)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(readTable, refused_3000000, 3000000, false)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
