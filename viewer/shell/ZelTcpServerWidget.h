#ifndef ZELTCPSERVERWIDGET_H
#define ZELTCPSERVERWIDGET_H

#include <QAbstractSocket>
#include <QByteArray>
#include <QHash>
#include <QString>
#include <QVariant>
#include <QWidget>

class QTcpServer;
class QTcpSocket;
class QTextBrowser;
class QTimer;

// A window of its own that serves camera features over TCP: one request
// ("get;Name" or "set;Name;Value") per line, or bytes that end without a line
// end followed by a pause or a half-close; answered by whoever handles
// newGetFature/newSetFature.
class ZelTcpServerWidget : public QWidget
{
    Q_OBJECT

public:
    // Longest request line, line feed included.
    static constexpr int kMaxLineBytes = 511;
    // Silence after which bytes without a line end are a whole request.
    static constexpr int kRequestPauseMs = 100;
    // Lines the message log keeps before dropping the oldest.
    static constexpr int kMaxLogLines = 1000;

    explicit ZelTcpServerWidget(int port, QWidget* parent = nullptr);
    ~ZelTcpServerWidget() override;

    bool isListening() const;
    quint16 serverPort() const;
    int clientCount() const { return m_clients.size(); }
    QString logText() const;

signals:
    void MessageIn(QString);
    void newSetFature(QTcpSocket* socket, QString featurename, QVariant value);
    void newGetFature(QTcpSocket* socket, QString featurename);
    void MessageOut(QTcpSocket* socket, QString featurename, QVariant value);

private slots:
    void newConnection();
    void appendToSocketList(QTcpSocket* socket);
    void readSocket();
    void discardSocket();
    void displayError(QAbstractSocket::SocketError socketError);
    void displayMessage(QString str);
    void sendMessage(QTcpSocket* socket, QString featurename);

private:
    struct Client {
        QByteArray pending;      // bytes received after the last complete line
        bool discarding = false; // skipping the rest of an over-long line
        QTimer* pause = nullptr; // runs while bytes without a line end wait
        // A second descriptor of the connection: once the client half-closes,
        // the socket is gone, and the last request is answered through this.
        int spareFd = -1;
    };
    void handleLine(QTcpSocket* socket, const QByteArray& line);
    void takeLines(QTcpSocket* socket);
    void endPausedRequest(QTcpSocket* socket);
    void answerAfterClose(Client& client);

    QTextBrowser* m_log = nullptr;
    QTcpServer* m_server = nullptr;
    QHash<QTcpSocket*, Client> m_clients;
};

#endif // ZELTCPSERVERWIDGET_H
