// The TCP feature server over loopback: clients in their own threads send
// "get;" requests one at a time and wait for each reply, while the server
// answers from the GUI thread's event loop out of an in-memory target.
// Counters: requests per second, the round trip of one request (mean, p99,
// max), and how late a 0 ms timer fires in the GUI thread meanwhile.
// Aim: each request answered within 1 ms, and sixteen clients served
// without keeping the GUI thread from its timers.

#include "BenchApp.h"
#include <benchmark/benchmark.h>

#include <QEventLoop>
#include <QHash>
#include <QTimer>

#include "ZelTcpFeatureRouter.h"
#include "ZelTcpFeatureTarget.h"
#include "ZelTcpServerWidget.h"

#include <algorithm>
#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <memory>
#include <mutex>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <numeric>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

const std::string kRequest = "get;Width\n";
const std::string kReply = "get;Width;640;0";
// Round trips each client makes per benchmark iteration.
constexpr int kBatch = 200;

// A camera whose features are read from memory.
class MemoryTarget : public ZelTcpFeatureTarget
{
public:
    Route route() const override { return Route::Camera; }
    bool readFeature(const QString& name, QVariant& value) override
    {
        const auto it = values.constFind(name);
        if (it == values.constEnd())
            return false;
        value = *it;
        return true;
    }
    bool writeFeature(const QString& name, const QVariant& value) override
    {
        values[name] = value;
        return true;
    }
    QHash<QString, QVariant> values{{QStringLiteral("Width"), 640}};
};

double microseconds(Clock::duration d) { return std::chrono::duration<double, std::micro>(d).count(); }

double mean(const std::vector<double>& v)
{
    return v.empty() ? 0.0 : std::accumulate(v.begin(), v.end(), 0.0) / double(v.size());
}

// The value below which the fraction `p` of `v` lies; 1.0 gives the largest.
double percentile(std::vector<double> v, double p)
{
    if (v.empty())
        return 0.0;
    const auto at = v.begin() + std::ptrdiff_t(std::min(v.size() - 1, size_t(p * double(v.size()))));
    std::nth_element(v.begin(), at, v.end());
    return *at;
}

// Batches handed out by the GUI thread to the client threads.
struct Batches {
    std::mutex mutex;
    std::condition_variable wake;
    int generation = 0;
    bool stop = false;
    int size = 1;
    std::atomic<int> finished{0};
    int clients = 0;
    QEventLoop* loop = nullptr;
};

// One blocking loopback client with its own thread.
class Client
{
public:
    Client(quint16 port, Batches& batches)
        : m_batches(batches)
    {
        m_fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(port);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        const int one = 1;
        const timeval timeout{5, 0};
        if (m_fd < 0 || ::connect(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0
            || ::setsockopt(m_fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one) != 0
            || ::setsockopt(m_fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout) != 0)
            error = "could not connect to the server";
        m_thread = std::thread([this] { run(); });
    }
    ~Client()
    {
        join();
        if (m_fd >= 0)
            ::close(m_fd);
    }
    void join()
    {
        if (m_thread.joinable())
            m_thread.join();
    }

    std::string error;
    std::vector<double> latencies; // microseconds

private:
    void run()
    {
        int seen = 0;
        for (;;) {
            int size = 0;
            {
                std::unique_lock<std::mutex> lock(m_batches.mutex);
                m_batches.wake.wait(lock, [&] { return m_batches.stop || m_batches.generation != seen; });
                if (m_batches.stop)
                    return;
                seen = m_batches.generation;
                size = m_batches.size;
            }
            for (int i = 0; i < size && error.empty(); ++i)
                roundTrip();
            if (++m_batches.finished == m_batches.clients)
                QMetaObject::invokeMethod(m_batches.loop, "quit", Qt::QueuedConnection);
        }
    }

    void roundTrip()
    {
        const auto start = Clock::now();
        if (::send(m_fd, kRequest.data(), kRequest.size(), MSG_NOSIGNAL) != ssize_t(kRequest.size())) {
            error = "send failed";
            return;
        }
        char reply[64];
        size_t got = 0;
        while (got < kReply.size()) {
            const ssize_t n = ::recv(m_fd, reply + got, sizeof reply - got, 0);
            if (n <= 0) {
                error = "no reply within 5 s";
                return;
            }
            got += size_t(n);
        }
        latencies.push_back(microseconds(Clock::now() - start));
        if (std::string(reply, got) != kReply)
            error = "wrong reply: " + std::string(reply, got);
    }

    Batches& m_batches;
    int m_fd = -1;
    std::thread m_thread;
};

// How late a 0 ms timer fires, posted once per millisecond.
class GuiProbe
{
public:
    GuiProbe()
    {
        m_pacer.setTimerType(Qt::PreciseTimer);
        m_pacer.setInterval(1);
        QObject::connect(&m_pacer, &QTimer::timeout, [this] {
            if (m_pending)
                return;
            m_pending = true;
            const auto posted = Clock::now();
            const int epoch = m_epoch;
            QTimer::singleShot(0, &m_pacer, [this, posted, epoch] {
                if (epoch != m_epoch)
                    return;
                delays.push_back(microseconds(Clock::now() - posted));
                m_pending = false;
            });
        });
        m_pacer.start();
    }
    // Forgets a timer still pending, so that time outside the loop is not counted.
    void reset()
    {
        ++m_epoch;
        m_pending = false;
    }
    std::vector<double> delays; // microseconds

private:
    QTimer m_pacer;
    bool m_pending = false;
    int m_epoch = 0;
};

void BM_GetRoundTrip(benchmark::State& state)
{
    const int clients = int(state.range(0));
    MemoryTarget target;
    ZelTcpServerWidget server(0);
    if (!server.isListening()) {
        state.SkipWithError("the server does not listen");
        return;
    }
    ZelTcpFeatureRouter router(&target);
    router.attach(&server);

    QEventLoop loop;
    Batches batches;
    batches.clients = clients;
    batches.loop = &loop;
    GuiProbe probe;
    std::vector<std::unique_ptr<Client>> pool;
    for (int i = 0; i < clients; ++i)
        pool.push_back(std::make_unique<Client>(server.serverPort(), batches));

    auto runBatch = [&](int size) {
        batches.finished = 0;
        {
            std::lock_guard<std::mutex> lock(batches.mutex);
            batches.size = size;
            ++batches.generation;
        }
        batches.wake.notify_all();
        loop.exec();
        probe.reset();
    };
    auto failure = [&]() -> std::string {
        for (const auto& c : pool)
            if (!c->error.empty())
                return c->error;
        return std::string();
    };

    // Accepts every connection before timing starts.
    runBatch(1);
    for (auto& c : pool)
        c->latencies.clear();
    probe.delays.clear();

    for (auto _ : state) {
        runBatch(kBatch);
        if (const std::string error = failure(); !error.empty()) {
            state.SkipWithError(error.c_str());
            break;
        }
    }

    {
        std::lock_guard<std::mutex> lock(batches.mutex);
        batches.stop = true;
    }
    batches.wake.notify_all();
    std::vector<double> latencies;
    for (auto& c : pool) {
        c->join();
        latencies.insert(latencies.end(), c->latencies.begin(), c->latencies.end());
    }
    if (state.error_occurred())
        return;
    state.SetItemsProcessed(int64_t(latencies.size()));
    state.counters["latency_mean_us"] = mean(latencies);
    state.counters["latency_p99_us"] = percentile(latencies, 0.99);
    state.counters["latency_max_us"] = percentile(latencies, 1.0);
    state.counters["gui_delay_mean_us"] = mean(probe.delays);
    state.counters["gui_delay_max_us"] = percentile(probe.delays, 1.0);
    state.counters["gui_probes"] = double(probe.delays.size());
}

BENCHMARK(BM_GetRoundTrip)->ArgName("clients")->Arg(1)->Arg(16)->UseRealTime()->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv)
{
    return runBenchmarksInApplication(argc, argv);
}
