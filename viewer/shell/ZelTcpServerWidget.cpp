#include "ZelTcpServerWidget.h"

#include "ZelDialogs.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QHostAddress>
#include <QMenuBar>
#include <QStatusBar>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTextBrowser>
#include <QTimer>
#include <QToolBar>

#include <fcntl.h>
#include <unistd.h>

namespace {
const char kTitle[] = "TCPServer";
}

ZelTcpServerWidget::ZelTcpServerWidget(int port, QWidget* parent)
    : QWidget(parent, Qt::Window)
{
    if (objectName().isEmpty())
        setObjectName(QStringLiteral("ZelTcpServerWidget"));
    resize(557, 387);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Expanding);
    setWindowTitle(QStringLiteral("QTCPServer"));

    auto* outer = new QGridLayout(this);
    outer->setObjectName(QStringLiteral("gridLayout_3"));
    outer->setSpacing(6);
    outer->setContentsMargins(11, 11, 11, 11);
    auto* menu = new QMenuBar(this);
    menu->setObjectName(QStringLiteral("menuBar"));
    outer->addWidget(menu, 0, 0);
    auto* inner = new QGridLayout;
    inner->setObjectName(QStringLiteral("gridLayout"));
    inner->setSpacing(6);
    m_log = new QTextBrowser(this);
    m_log->setObjectName(QStringLiteral("textBrowser_receivedMessages"));
    m_log->document()->setMaximumBlockCount(kMaxLogLines);
    inner->addWidget(m_log, 0, 0);
    auto* bottom = new QGridLayout;
    bottom->setObjectName(QStringLiteral("gridLayout_2"));
    bottom->setSpacing(6);
    auto* row = new QHBoxLayout;
    row->setObjectName(QStringLiteral("horizontalLayout"));
    row->setSpacing(6);
    bottom->addLayout(row, 0, 0, 1, 2);
    inner->addLayout(bottom, 1, 0);
    outer->addLayout(inner, 1, 0);

    m_server = new QTcpServer;
    if (m_server->listen(QHostAddress::Any, quint16(port))) {
        connect(this, &ZelTcpServerWidget::MessageIn, this, &ZelTcpServerWidget::displayMessage);
        connect(m_server, &QTcpServer::newConnection, this, &ZelTcpServerWidget::newConnection);
        connect(this, &ZelTcpServerWidget::MessageOut, this,
                [this](QTcpSocket* socket, QString text, QVariant) { sendMessage(socket, text); });
        m_log->setPlainText(tr("Waiting for a TCP client connection request..."));
    } else {
        ZelDialogs::critical(this, QLatin1String(kTitle),
                             tr("Unable to start the server: %1.").arg(m_server->errorString()));
    }
}

ZelTcpServerWidget::~ZelTcpServerWidget()
{
    // No socket may call back into a half-destroyed window.
    for (auto it = m_clients.begin(); it != m_clients.end(); ++it) {
        it.key()->disconnect(this);
        it.key()->abort();
        if (it->spareFd >= 0)
            ::close(it->spareFd);
    }
    m_clients.clear();
    m_server->disconnect(this);
    m_server->close();
    delete m_server; // the client sockets are its children
}

bool ZelTcpServerWidget::isListening() const { return m_server->isListening(); }

quint16 ZelTcpServerWidget::serverPort() const { return m_server->serverPort(); }

QString ZelTcpServerWidget::logText() const { return m_log->toPlainText(); }

void ZelTcpServerWidget::newConnection()
{
    while (m_server->hasPendingConnections())
        appendToSocketList(m_server->nextPendingConnection());
}

void ZelTcpServerWidget::appendToSocketList(QTcpSocket* socket)
{
    if (!socket || m_clients.contains(socket))
        return;
    Client client;
    client.pause = new QTimer(this);
    client.pause->setSingleShot(true);
    client.pause->setTimerType(Qt::PreciseTimer);
    client.pause->setInterval(kRequestPauseMs);
    connect(client.pause, &QTimer::timeout, this, [this, socket] { endPausedRequest(socket); });
    client.spareFd = ::fcntl(int(socket->socketDescriptor()), F_DUPFD_CLOEXEC, 0);
    m_clients.insert(socket, client);
    connect(socket, &QTcpSocket::readyRead, this, &ZelTcpServerWidget::readSocket);
    connect(socket, &QTcpSocket::disconnected, this, &ZelTcpServerWidget::discardSocket);
    connect(socket, &QAbstractSocket::errorOccurred, this,
            &ZelTcpServerWidget::displayError);
    displayMessage(tr("INFO :: Client with sockd:%1 is connected to Kalveen").arg(socket->socketDescriptor()));
}

void ZelTcpServerWidget::readSocket()
{
    auto* socket = qobject_cast<QTcpSocket*>(sender());
    auto it = m_clients.find(socket);
    if (it == m_clients.end())
        return;
    it->pending.append(socket->readAll());
    takeLines(socket);
    it = m_clients.find(socket); // a handler may have dropped the client
    if (it == m_clients.end())
        return;
    // The answers go out now: when the client has closed its sending side,
    // the socket reads the end next and drops what it has not written.
    socket->flush();
    // Bytes left without a line end become a request when the client pauses.
    if (it->pending.isEmpty() && !it->discarding)
        it->pause->stop();
    else
        it->pause->start();
}

void ZelTcpServerWidget::takeLines(QTcpSocket* socket)
{
    // Every complete line is answered, in order; a partial one waits for
    // more data, and an over-long one is refused once and skipped to its end.
    for (;;) {
        auto it = m_clients.find(socket);
        if (it == m_clients.end())
            return;
        Client& client = *it;
        const int end = client.pending.indexOf('\n');
        if (client.discarding) {
            if (end < 0) {
                client.pending.clear();
                return;
            }
            client.pending.remove(0, end + 1);
            client.discarding = false;
            continue;
        }
        if (end >= 0 && end < kMaxLineBytes) {
            const QByteArray line = client.pending.left(end + 1);
            client.pending.remove(0, end + 1);
            handleLine(socket, line);
            continue;
        }
        if (end < 0 && client.pending.size() < kMaxLineBytes)
            return;
        if (end >= 0)
            client.pending.remove(0, end + 1);
        else {
            client.pending.clear();
            client.discarding = true;
        }
        displayMessage(tr("Line longer than %1 bytes refused").arg(kMaxLineBytes));
        socket->write(";1");
    }
}

void ZelTcpServerWidget::endPausedRequest(QTcpSocket* socket)
{
    auto it = m_clients.find(socket);
    if (it == m_clients.end())
        return;
    // The pause also ends an over-long request that was already refused.
    const QByteArray request = it->discarding ? QByteArray() : it->pending;
    it->pending.clear();
    it->discarding = false;
    if (!request.isEmpty()) {
        handleLine(socket, request);
        socket->flush();
    }
}

void ZelTcpServerWidget::answerAfterClose(Client& client)
{
    const int fd = client.spareFd;
    client.spareFd = -1;
    if (fd < 0)
        return;
    if (client.pending.isEmpty() || client.discarding) {
        ::close(fd);
        return;
    }
    // The client closed its sending side after a request without a line end:
    // that request is whole, and its answer goes out before the connection ends.
    auto* last = new QTcpSocket(this);
    if (!last->setSocketDescriptor(fd)) {
        ::close(fd);
        delete last;
        return;
    }
    connect(last, &QTcpSocket::disconnected, last, &QObject::deleteLater);
    const QByteArray request = client.pending;
    client.pending.clear();
    handleLine(last, request);
    last->flush();
    last->disconnectFromHost();
}

void ZelTcpServerWidget::handleLine(QTcpSocket* socket, const QByteArray& bytes)
{
    const QString line = QString::fromUtf8(bytes).trimmed();
    const QStringList fields = line.split(QLatin1Char(';'));
    if (fields.size() == 3) {
        if (fields.at(0) == QLatin1String("set")) {
            emit newSetFature(socket, fields.at(1), QVariant(fields.at(2)));
            emit MessageIn(QStringLiteral("set: ") + fields.at(1) + QLatin1Char(' ') + fields.at(2));
        }
    } else if (fields.size() == 2) {
        if (fields.at(0) == QLatin1String("get")) {
            emit newGetFature(socket, fields.at(1));
            emit MessageIn(QStringLiteral("get: ") + fields.at(1));
        }
    } else {
        socket->write((line + QStringLiteral(";1")).toUtf8());
    }
}

void ZelTcpServerWidget::discardSocket()
{
    auto* socket = qobject_cast<QTcpSocket*>(sender());
    if (!socket)
        return;
    auto it = m_clients.find(socket);
    if (it != m_clients.end()) {
        Client client = *it;
        m_clients.erase(it);
        delete client.pause;
        displayMessage(tr("INFO :: TCP Client Disconnected ! "));
        answerAfterClose(client);
    }
    socket->deleteLater();
}

void ZelTcpServerWidget::displayError(QAbstractSocket::SocketError socketError)
{
    // Logged, never a modal box: a flaky client must not stack dialogs.
    if (socketError == QAbstractSocket::RemoteHostClosedError)
        return;
    if (socketError == QAbstractSocket::HostNotFoundError) {
        displayMessage(tr("The host was not found. Please check the host name and port settings."));
        return;
    }
    auto* socket = qobject_cast<QTcpSocket*>(sender());
    displayMessage(tr("The following error occurred: %1.").arg(socket ? socket->errorString() : QString()));
}

void ZelTcpServerWidget::displayMessage(QString str)
{
    // Network text is shown as text, never interpreted as markup.
    m_log->append(str.toHtmlEscaped());
}

void ZelTcpServerWidget::sendMessage(QTcpSocket* socket, QString featurename)
{
    if (!socket) {
        displayMessage(tr("Not connected"));
        return;
    }
    if (!socket->isOpen()) {
        displayMessage(tr("Socket doesn't seem to be opened"));
        return;
    }
    socket->write(featurename.toUtf8());
}
