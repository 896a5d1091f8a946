// The TCP feature server over a loopback socket, answering from the
// simulated camera through a stand-in for the active camera window.

#include "SimCameraRig.h"
#include "ZelDialogs.h"
#include "ZelFeatureManager.h"
#include "ZelTcpFeatureRouter.h"
#include "ZelTcpFeatureTarget.h"
#include "ZelTcpServerWidget.h"

#include <QElapsedTimer>
#include <QTcpSocket>
#include <QTest>
#include <QTextBrowser>

#include <sys/socket.h>

#include <memory>
#include <vector>

namespace {

// The active camera window as the router sees it.
class StandInTarget : public ZelTcpFeatureTarget
{
public:
    Route routeTo = Route::Camera;
    ZelFeatureManager* features = nullptr;

    Route route() const override { return routeTo; }
    bool readFeature(const QString& name, QVariant& value) override
    {
        return features->GetValueExt(name.toUtf8().constData(), value);
    }
    bool writeFeature(const QString& name, const QVariant& value) override
    {
        return features->SetValueExt(name.toUtf8().constData(), value, true);
    }
};

// A client that collects everything the server writes.
class Client
{
public:
    explicit Client(quint16 port)
    {
        socket.connectToHost(QStringLiteral("127.0.0.1"), port);
        QObject::connect(&socket, &QTcpSocket::readyRead, [this] { received += socket.readAll(); });
    }
    bool connected() { return socket.waitForConnected(3000); }
    void send(const QByteArray& bytes)
    {
        socket.write(bytes);
        socket.flush();
    }
    // Waits for `expected`; returns what arrived, which is all of it when right.
    QByteArray await(const QByteArray& expected, int ms = 3000)
    {
        QElapsedTimer timer;
        timer.start();
        while (received.size() < expected.size() && timer.elapsed() < ms)
            QTest::qWait(5);
        QTest::qWait(30); // nothing more may follow
        const QByteArray got = received;
        received.clear();
        return got;
    }
    QTcpSocket socket;
    QByteArray received;
};

} // namespace

class TestZelTcpServerWidget : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        rig = std::make_unique<SimCameraRig>();
        QVERIFY2(rig->ready(), qPrintable(rig->problems().join(QLatin1Char('\n'))));
        features = std::make_unique<ZelFeatureManager>(rig->remote, nullptr);
        target = std::make_unique<StandInTarget>();
        target->features = features.get();
        server = std::make_unique<ZelTcpServerWidget>(0);
        QVERIFY(server->isListening());
        router = std::make_unique<ZelTcpFeatureRouter>(target.get());
        router->attach(server.get());
    }
    void cleanup()
    {
        router.reset();
        server.reset();
        target.reset();
        features.reset();
        rig.reset();
    }

    void protocol_data()
    {
        QTest::addColumn<int>("route");
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<QByteArray>("reply");
        const int camera = int(ZelTcpFeatureTarget::Route::Camera);
        const int none = int(ZelTcpFeatureTarget::Route::NoWindow);
        const int silent = int(ZelTcpFeatureTarget::Route::Silent);
        QTest::newRow("get model") << camera << QByteArray("get;DeviceModelName\n")
                                   << QByteArray("get;DeviceModelName;%MODEL%;0");
        QTest::newRow("get crlf") << camera << QByteArray("get;DeviceModelName\r\n")
                                  << QByteArray("get;DeviceModelName;%MODEL%;0");
        QTest::newRow("get unknown") << camera << QByteArray("get;NoSuchFeature\n")
                                     << QByteArray("get;NoSuchFeature;0;1");
        QTest::newRow("get blank name") << camera << QByteArray("get; Width\n") << QByteArray("get; Width;0;1");
        QTest::newRow("set width") << camera << QByteArray("set;Width;640\n") << QByteArray("set;Width;640;0");
        QTest::newRow("set unconvertible") << camera << QByteArray("set;Width;abc\n")
                                           << QByteArray("set;Width;abc;1");
        QTest::newRow("set unknown") << camera << QByteArray("set;NoSuch;1\n") << QByteArray("set;NoSuch;1;1");
        QTest::newRow("empty line") << camera << QByteArray("\n") << QByteArray(";1");
        QTest::newRow("four fields") << camera << QByteArray("a;b;c;d\n") << QByteArray("a;b;c;d;1");
        QTest::newRow("trailing ;") << camera << QByteArray("get;Width;\n") << QByteArray();
        QTest::newRow("set no value") << camera << QByteArray("set;Width\n") << QByteArray();
        QTest::newRow("upper case") << camera << QByteArray("GET;Width\n") << QByteArray();
        QTest::newRow("get no window") << none << QByteArray("get;Width\n") << QByteArray("get;Width;0;2");
        QTest::newRow("set no window") << none << QByteArray("set;Width;8\n") << QByteArray("set;Width;8;2");
        QTest::newRow("get read-only") << silent << QByteArray("get;Width\n") << QByteArray();
        QTest::newRow("set read-only") << silent << QByteArray("set;Width;8\n") << QByteArray();
    }
    void protocol()
    {
        QFETCH(int, route);
        QFETCH(QByteArray, request);
        QFETCH(QByteArray, reply);
        reply.replace("%MODEL%", modelName());
        target->routeTo = ZelTcpFeatureTarget::Route(route);
        Client client(server->serverPort());
        QVERIFY(client.connected());
        client.send(request);
        QCOMPARE(client.await(reply.isEmpty() ? QByteArray("x") : reply, reply.isEmpty() ? 200 : 3000), reply);
    }

    void unconvertibleSetWritesNothing()
    {
        QVariant before;
        QVERIFY(features->GetValueExt("Width", before));
        Client client(server->serverPort());
        QVERIFY(client.connected());
        client.send("set;Width;12abc\n");
        QCOMPARE(client.await("set;Width;12abc;1"), QByteArray("set;Width;12abc;1"));
        QVariant after;
        QVERIFY(features->GetValueExt("Width", after));
        QCOMPARE(after, before);
    }

    void setThenGetReadsBack()
    {
        Client client(server->serverPort());
        QVERIFY(client.connected());
        client.send("set;Width;320\n");
        QCOMPARE(client.await("set;Width;320;0"), QByteArray("set;Width;320;0"));
        client.send("get;Width\n");
        QCOMPARE(client.await("get;Width;320;0"), QByteArray("get;Width;320;0"));
    }

    void pipelinedLinesAreAllAnsweredInOrder()
    {
        Client client(server->serverPort());
        QVERIFY(client.connected());
        client.send("set;Width;320\nget;Width\nx;y;z;w\n");
        const QByteArray expected = "set;Width;320;0get;Width;320;0x;y;z;w;1";
        QCOMPARE(client.await(expected), expected);
    }

    // A request ends with a line end, or with a pause of the client.
    void requestEndsWithLineEndOrPause_data()
    {
        QTest::addColumn<QList<QByteArray>>("pieces"); // sent 20 ms apart
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<bool>("afterPause");
        QTest::newRow("bare request") << QList<QByteArray>{"get;Width"} << QByteArray("get;Width;%W%;0") << true;
        QTest::newRow("line split within the pause")
            << QList<QByteArray>{"get;Wi", "dth\n"} << QByteArray("get;Width;%W%;0") << false;
        QTest::newRow("bare request split within the pause")
            << QList<QByteArray>{"get;Wi", "dth"} << QByteArray("get;Width;%W%;0") << true;
        QTest::newRow("line, then a bare request")
            << QList<QByteArray>{"set;Width;320\nget;Width"} << QByteArray("set;Width;320;0get;Width;320;0") << true;
        QTest::newRow("bare malformed request") << QList<QByteArray>{"a;b;c;d"} << QByteArray("a;b;c;d;1") << true;
    }
    void requestEndsWithLineEndOrPause()
    {
        QFETCH(QList<QByteArray>, pieces);
        QFETCH(QByteArray, reply);
        QFETCH(bool, afterPause);
        reply.replace("%W%", currentWidth());
        Client client(server->serverPort());
        QVERIFY(client.connected());
        QElapsedTimer clock;
        clock.start();
        for (int i = 0; i < pieces.size(); ++i) {
            if (i > 0)
                QTest::qWait(20);
            client.send(pieces.at(i));
        }
        QTRY_COMPARE(client.received, reply);
        // Bytes without a line end wait for the pause: a split line is whole.
        if (afterPause)
            QVERIFY(clock.elapsed() >= ZelTcpServerWidget::kRequestPauseMs);
        QCOMPARE(client.await("x", 150), reply); // and nothing follows
    }

    // What arrived before the client closed its sending side is answered, in
    // order, before the server closes the connection.
    void halfCloseAnswersEveryRequestFirst_data()
    {
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<QByteArray>("reply");
        const QByteArray width = "get;Width;%W%;0";
        QTest::newRow("bare request") << QByteArray("get;Width") << width;
        QTest::newRow("line") << QByteArray("get;Width\n") << width;
        QTest::newRow("crlf line") << QByteArray("get;Width\r\n") << width;
        QTest::newRow("two lines") << QByteArray("set;Width;320\nget;Width\r\n")
                                   << QByteArray("set;Width;320;0get;Width;320;0");
        QTest::newRow("line, then a bare request")
            << QByteArray("a;b;c;d\nget;Width") << QByteArray("a;b;c;d;1") + width;
        QTest::newRow("many lines") << QByteArray("get;Width\n").repeated(2000) << width.repeated(2000);
    }
    void halfCloseAnswersEveryRequestFirst()
    {
        QFETCH(QByteArray, request);
        QFETCH(QByteArray, reply);
        reply.replace("%W%", currentWidth());
        Client client(server->serverPort());
        QVERIFY(client.connected());
        QTRY_COMPARE(server->clientCount(), 1);
        client.send(request);
        QCOMPARE(::shutdown(int(client.socket.socketDescriptor()), SHUT_WR), 0);
        QTRY_COMPARE(client.socket.state(), QAbstractSocket::UnconnectedState);
        QCOMPARE(client.received, reply);
        QTRY_COMPARE(server->clientCount(), 0);
    }

    void overLongLineIsRefusedOnceAndSkipped_data()
    {
        QTest::addColumn<bool>("inPieces");
        QTest::newRow("one packet") << false;
        QTest::newRow("in pieces") << true;
    }
    void overLongLineIsRefusedOnceAndSkipped()
    {
        QFETCH(bool, inPieces);
        Client client(server->serverPort());
        QVERIFY(client.connected());
        // The tail of the second long line is itself a valid request: it must not run.
        const QByteArray longLine = QByteArray(600, 'a') + "\n";
        const QByteArray tail = QByteArray(ZelTcpServerWidget::kMaxLineBytes, 'b') + "get;Width\n";
        if (inPieces) {
            client.send(longLine.left(300));
            QTest::qWait(30);
            client.send(longLine.mid(300));
            client.send(QByteArray(ZelTcpServerWidget::kMaxLineBytes, 'b'));
            QTest::qWait(30);
            client.send("get;Width\n");
        } else {
            client.send(longLine + tail);
        }
        client.send("get;Width\n");
        const QByteArray width = QByteArray("get;Width;") + currentWidth() + ";0";
        const QByteArray expected = QByteArray(";1") + ";1" + width;
        QCOMPARE(client.await(expected), expected);
    }

    void manyClientsAtOnce()
    {
        std::vector<std::unique_ptr<Client>> clients;
        for (int i = 0; i < 16; ++i) {
            clients.push_back(std::make_unique<Client>(server->serverPort()));
            QVERIFY(clients.back()->connected());
        }
        QTRY_COMPARE(server->clientCount(), 16);
        for (int i = 0; i < 16; ++i)
            clients[size_t(i)]->send("get;DeviceModelName\nq;" + QByteArray::number(i) + ";r;s\n");
        for (int i = 0; i < 16; ++i) {
            const QByteArray expected = QByteArray("get;DeviceModelName;") + modelName() + ";0" + "q;" +
                                        QByteArray::number(i) + ";r;s;1";
            QCOMPARE(clients[size_t(i)]->await(expected), expected);
        }
        clients[0]->socket.disconnectFromHost();
        QTRY_COMPARE(server->clientCount(), 15);
        QCOMPARE(server->logText().count(QStringLiteral("INFO :: TCP Client Disconnected ! ")), 1);
    }

    void logShowsNetworkTextAsTextAndStaysBounded()
    {
        Client client(server->serverPort());
        QVERIFY(client.connected());
        client.send("get;<b>bold</b>\n");
        QCOMPARE(client.await("get;<b>bold</b>;0;1"), QByteArray("get;<b>bold</b>;0;1"));
        QVERIFY(server->logText().contains(QStringLiteral("get: <b>bold</b>")));
        auto* log = server->findChild<QTextBrowser*>(QStringLiteral("textBrowser_receivedMessages"));
        QVERIFY(log);
        QByteArray many;
        for (int i = 0; i < ZelTcpServerWidget::kMaxLogLines + 200; ++i)
            many += "get;X\n";
        client.send(many);
        client.await(QByteArray("get;X;0;1").repeated(ZelTcpServerWidget::kMaxLogLines + 200), 10000);
        QVERIFY(log->document()->blockCount() <= ZelTcpServerWidget::kMaxLogLines);
    }

    void closingWithClientsConnectedIsSafe()
    {
        Client a(server->serverPort());
        Client b(server->serverPort());
        QVERIFY(a.connected());
        QVERIFY(b.connected());
        QTRY_COMPARE(server->clientCount(), 2);
        a.send("get;Width\n"); // still unread when the server goes
        router.reset();
        server.reset();
        QTRY_COMPARE(b.socket.state(), QAbstractSocket::UnconnectedState);
        QTest::qWait(20);
    }

    void portInUseIsReported()
    {
        ZelDialogs::Script script;
        ZelTcpServerWidget second(server->serverPort());
        QVERIFY(!second.isListening());
        QCOMPARE(script.count(), 1);
        QCOMPARE(script.last().title, QStringLiteral("TCPServer"));
        QVERIFY(script.last().text.startsWith(QStringLiteral("Unable to start the server: ")));
    }

private:
    QByteArray modelName()
    {
        QVariant v;
        features->GetValueExt("DeviceModelName", v);
        return v.toString().toUtf8();
    }
    QByteArray currentWidth()
    {
        QVariant v;
        features->GetValueExt("Width", v);
        return v.toString().toUtf8();
    }

    std::unique_ptr<SimCameraRig> rig;
    std::unique_ptr<ZelFeatureManager> features;
    std::unique_ptr<StandInTarget> target;
    std::unique_ptr<ZelTcpServerWidget> server;
    std::unique_ptr<ZelTcpFeatureRouter> router;
};

QTEST_MAIN(TestZelTcpServerWidget)
#include "tst_ZelTcpServerWidget.moc"
