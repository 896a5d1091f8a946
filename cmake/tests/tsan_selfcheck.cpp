// Deliberately racy programs. The thread sanitizer build runs each case with
// the environment every test gets and passes only when ThreadSanitizer
// reports it, so a setting or suppression that blinds the sanitizer to our
// own code fails the suite.
//
// Each pair of accesses is ordered in time by a relaxed atomic, which orders
// nothing for the sanitizer: the report comes on every run.
#include <QCoreApplication>
#include <QMetaObject>
#include <QTest>
#include <QThread>
#include <QVector>

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
    };
    const auto found = argc == 2 ? cases.find(argv[1]) : cases.end();
    if (found == cases.end()) {
        std::fprintf(stderr, "usage: %s memcpy|delete|async|qthread|queued-slot|qvector|qtest\n", argv[0]);
        return 2;
    }
    std::printf("%d\n", found->second());
    return 0;
}

#include "tsan_selfcheck.moc"
