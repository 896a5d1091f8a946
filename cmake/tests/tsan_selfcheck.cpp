// Deliberately racy programs. The thread sanitizer build runs each case under
// the settings of the programs it stands for (TsanSelfCheck.cmake checks the
// outcome): where a race must be reported and is not, or must stay hidden
// and is reported, the suite fails, so a setting or suppression that blinds
// the sanitizer to our own code is seen. Each case prints "<case> ran" once
// its racy accesses were made.
//
// Each pair of accesses is ordered in time by a relaxed atomic, which orders
// nothing for the sanitizer: the outcome is the same on every run.
#include <QCoreApplication>
#include <QGuiApplication>
#include <QImage>
#include <QList>
#include <QMetaObject>
#include <QTest>
#include <QThread>
#include <QVector>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <functional>
#include <future>
#include <map>
#include <string>
#include <thread>
#include <vector>

namespace {

std::atomic<int> step{0};

void reach(int s)
{
    step.store(s, std::memory_order_relaxed);
}

void waitFor(int s)
{
    while (step.load(std::memory_order_relaxed) != s)
        std::this_thread::yield();
}

// Runs `first` on a new thread, then `then` on this one once `first` is done.
void oneAfterTheOther(const std::function<void()>& first, const std::function<void()>& then)
{
    std::thread worker([&] {
        first();
        reach(1);
    });
    waitFor(1);
    then();
    worker.join();
}

// A worker copies an image out with memcpy; the owner reads it without
// waiting for the worker.
int copyOutThenRead()
{
    std::vector<unsigned char> frame(4096, 7);
    std::vector<unsigned char> image(frame.size());
    int seen = 0;
    oneAfterTheOther([&] { std::memcpy(image.data(), frame.data(), frame.size()); },
                     [&] { seen = image[100]; });
    return seen;
}

// One thread deletes a buffer another still reads.
int readAfterDelete()
{
    int* buffer = new int[16]();
    int seen = 0;
    oneAfterTheOther([&] { delete[] buffer; }, [&] { seen = buffer[3]; });
    return seen;
}

// A std::async task writes what its starter reads before get().
int raceInAsyncTask()
{
    int result = 0;
    std::future<void> task = std::async(std::launch::async, [&] {
        result = 1;
        reach(1);
    });
    waitFor(1);
    const int seen = result;
    task.get();
    return seen;
}

// The same inside a thread made by QThread::create.
int raceInQThread()
{
    int result = 0;
    QThread* thread = QThread::create([&] {
        result = 1;
        reach(1);
    });
    thread->start();
    waitFor(1);
    const int seen = result;
    thread->wait();
    delete thread;
    return seen;
}

// A slot run from the event loop (through Qt's posted events) and a plain
// thread both write one counter.
int raceInQueuedSlot(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    int counter = 0;
    std::thread worker([&] {
        waitFor(1);
        ++counter;
        reach(2);
    });
    QMetaObject::invokeMethod(
        &app,
        [&] {
            ++counter;
            reach(1);
            waitFor(2);
            app.quit();
        },
        Qt::QueuedConnection);
    app.exec();
    worker.join();
    return counter;
}

// Two threads write one element of a Qt container.
int raceOnQVector()
{
    QVector<int> values(64);
    oneAfterTheOther([&] { values.data()[5] = 1; }, [&] { values.data()[5] = 2; });
    return values[5];
}

// A block a worker fills; allocating it writes nothing into it.
struct Frame {
    int pixels[64];
};

} // namespace

Q_DECLARE_METATYPE(Frame*)

namespace {

class FrameSender : public QObject {
    Q_OBJECT
signals:
    void frameReady(Frame* frame);
};

class FrameFiller : public QObject {
    Q_OBJECT
public slots:
    void fillFrame(Frame* frame)
    {
        for (int& pixel : frame->pixels)
            pixel = 1;
        reach(3);
    }
};

// The sender allocates a frame once the worker runs, hands it over by a
// queued signal and writes it again after the worker filled it. The worker
// is busy when the signal comes and takes its posted events itself, so that
// only Qt's own queue, unseen by the sanitizer, stands between the two
// threads on every run (an idle worker woken through its event loop's file
// descriptor would order the hand-over for the sanitizer).
int raceOnQueuedHeapObject(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    qRegisterMetaType<Frame*>();
    QThread worker;
    FrameFiller filler;
    filler.moveToThread(&worker);
    FrameSender sender;
    QObject::connect(&sender, &FrameSender::frameReady, &filler, &FrameFiller::fillFrame,
                     Qt::QueuedConnection);
    worker.start();
    QMetaObject::invokeMethod(
        &filler,
        [] {
            reach(1);
            waitFor(2);
            QCoreApplication::sendPostedEvents();
        },
        Qt::QueuedConnection);
    waitFor(1);
    Frame* frame = new Frame;
    emit sender.frameReady(frame);
    reach(2);
    waitFor(3);
    frame->pixels[0] = 2;
    const int seen = frame->pixels[0];
    worker.quit();
    worker.wait();
    delete frame;
    return seen;
}

// std::copy of plain values (a library memmove) reads what another thread
// wrote.
int raceInStdCopy()
{
    std::vector<int> line(256);
    std::vector<int> copy(line.size());
    oneAfterTheOther([&] { line[17] = 1; },
                     [&] { std::copy(line.begin(), line.end(), copy.begin()); });
    return copy[17];
}

// Two threads append to one QList: the second one's growth moves what the
// first one appended.
int raceOnQListAppend()
{
    QList<int> values;
    oneAfterTheOther(
        [&] {
            for (int i = 0; i < 1000; ++i)
                values.append(i);
        },
        [&] {
            for (int i = 0; i < 1000; ++i)
                values.append(-i);
        });
    return values.size();
}

// Qt Gui copies an image whose pixels another thread wrote into our buffer.
int raceInQImageCopy(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    std::vector<uchar> pixels(64 * 64);
    const QImage view(pixels.data(), 64, 64, 64, QImage::Format_Grayscale8);
    QImage copy;
    oneAfterTheOther([&] { pixels[64 * 10 + 3] = 200; }, [&] { copy = view.copy(); });
    return copy.constScanLine(10)[3];
}

// A race in a Qt Test function, between the test and a thread it starts.
class RacyTest : public QObject {
    Q_OBJECT
private slots:
    void writesTwice()
    {
        int counter = 0;
        oneAfterTheOther([&] { ++counter; }, [&] { ++counter; });
        QVERIFY(counter > 0);
    }
};

int raceInQtTest(char* program)
{
    RacyTest test;
    char* args[] = {program};
    return QTest::qExec(&test, 1, args);
}

} // namespace

int main(int argc, char** argv)
{
    const std::map<std::string, std::function<int()>> cases = {
        {"memcpy", copyOutThenRead},
        {"delete", readAfterDelete},
        {"async", raceInAsyncTask},
        {"qthread", raceInQThread},
        {"queued-slot", [&] { return raceInQueuedSlot(argc, argv); }},
        {"qvector", raceOnQVector},
        {"qtest", [&] { return raceInQtTest(argv[0]); }},
        {"queued-heap-object", [&] { return raceOnQueuedHeapObject(argc, argv); }},
        {"std-copy", raceInStdCopy},
        {"qlist-append", raceOnQListAppend},
        {"qimage-copy", [&] { return raceInQImageCopy(argc, argv); }},
    };
    const auto found = argc == 2 ? cases.find(argv[1]) : cases.end();
    if (found == cases.end()) {
        std::string names;
        for (const auto& c : cases)
            names += (names.empty() ? "" : "|") + c.first;
        std::fprintf(stderr, "usage: %s %s\n", argv[0], names.c_str());
        return 2;
    }
    const int result = found->second();
    // Printed only once the racy accesses were made in their order.
    std::printf("%s ran: %d\n", found->first.c_str(), result);
    return 0;
}

#include "tsan_selfcheck.moc"
