#include "soaptestserver.h"

#include <QCryptographicHash>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QMutexLocker>
#include <QPointer>
#include <QSemaphore>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <thread>

namespace {

// With KORVEX_SOAP_CAPTURE set to a folder, every answer body of status 200 is kept there
// as <operation>-<hash>.xml: the seeds of the fuzz targets are taken from these.
void capture(const SoapTestServer::Request &request, const SoapTestServer::Reply &reply)
{
    const QString folder = qEnvironmentVariable("KORVEX_SOAP_CAPTURE");
    if (folder.isEmpty() || reply.status != 200 || reply.silent || reply.closeAfterBytes >= 0)
        return;
    QByteArray operation = request.soapAction();
    operation = operation.mid(qMax(operation.lastIndexOf('/'), operation.lastIndexOf('#')) + 1);
    if (operation.isEmpty())
        operation = "unknown";
    const QByteArray hash = QCryptographicHash::hash(reply.body, QCryptographicHash::Sha1).toHex().left(12);
    QDir().mkpath(folder);
    QFile file(folder + QLatin1Char('/') + QString::fromLatin1(operation + '-' + hash) + QStringLiteral(".xml"));
    if (file.open(QIODevice::WriteOnly))
        file.write(reply.body);
}

// One connection: reads a whole HTTP request (Content-Length or chunked), then answers.
class Connection : public QObject
{
public:
    Connection(QTcpSocket *socket, SoapTestServer *owner) : QObject(socket), m_socket(socket), m_owner(owner)
    {
        connect(socket, &QTcpSocket::readyRead, this, &Connection::onReadyRead);
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    }

private:
    void onReadyRead()
    {
        m_buffer += m_socket->readAll();
        SoapTestServer::Request request;
        if (!parse(request))
            return;
        m_buffer.clear();
        m_owner->record(request);
        const SoapTestServer::Reply reply = m_owner->takeReply();
        capture(request, reply);
        if (reply.silent)
            return;
        QPointer<QTcpSocket> socket(m_socket);
        QTimer::singleShot(reply.delayMs, m_socket, [socket, reply]() {
            if (!socket)
                return;
            QByteArray answer = "HTTP/1.1 " + QByteArray::number(reply.status) + " "
                + (reply.status == 200 ? "OK" : "Status") + "\r\n";
            answer += "Content-Type: " + reply.contentType + "\r\n";
            answer += "Content-Length: " + QByteArray::number(reply.body.size()) + "\r\n";
            answer += "Connection: close\r\n\r\n";
            answer += reply.body;
            if (reply.closeAfterBytes >= 0)
                answer = answer.left(reply.closeAfterBytes);
            socket->write(answer);
            socket->flush();
            socket->disconnectFromHost();
        });
    }

    bool parse(SoapTestServer::Request &request)
    {
        const int headerEnd = m_buffer.indexOf("\r\n\r\n");
        if (headerEnd < 0)
            return false;
        const QList<QByteArray> lines = m_buffer.left(headerEnd).split('\n');
        const QList<QByteArray> first = lines.value(0).trimmed().split(' ');
        request.method = first.value(0);
        request.path = first.value(1);
        for (int i = 1; i < lines.size(); ++i) {
            const int colon = lines[i].indexOf(':');
            if (colon > 0)
                request.headers.insert(lines[i].left(colon).trimmed().toLower(), lines[i].mid(colon + 1).trimmed());
        }
        const QByteArray rest = m_buffer.mid(headerEnd + 4);
        if (request.headers.value("transfer-encoding").toLower() == "chunked") {
            QByteArray body;
            int pos = 0;
            for (;;) {
                const int lineEnd = rest.indexOf("\r\n", pos);
                if (lineEnd < 0)
                    return false;
                bool ok = false;
                const int size = rest.mid(pos, lineEnd - pos).trimmed().toInt(&ok, 16);
                if (!ok)
                    return false;
                if (size == 0)
                    break;
                if (rest.size() < lineEnd + 2 + size + 2)
                    return false;
                body += rest.mid(lineEnd + 2, size);
                pos = lineEnd + 2 + size + 2;
            }
            request.body = body;
            return true;
        }
        const int length = request.headers.value("content-length").toInt();
        if (rest.size() < length)
            return false;
        request.body = rest.left(length);
        return true;
    }

    QTcpSocket *m_socket;
    SoapTestServer *m_owner;
    QByteArray m_buffer;
};

} // namespace

// The server's thread: a plain thread, joined when the server goes. A QThread would not do:
// its wait() returns before the thread has ended, and the thread's own data are released
// only at its very end, so that a test process ending at once could still find them (a leak
// report of the leak checker, at times, on a busy machine).
class SoapTestServer::Thread
{
public:
    explicit Thread(SoapTestServer *owner) : m_owner(owner), m_thread([this] { run(); })
    {
        m_ready.acquire();
    }

    ~Thread()
    {
        QMetaObject::invokeMethod(m_loop, &QEventLoop::quit, Qt::QueuedConnection);
        m_thread.join();
    }

    quint16 port = 0;

private:
    void run()
    {
        QEventLoop loop;
        QTcpServer server;
        if (!server.listen(QHostAddress::LocalHost, 0))
            qFatal("SoapTestServer: cannot listen on 127.0.0.1");
        port = server.serverPort();
        QObject::connect(&server, &QTcpServer::newConnection, &server, [this, &server]() {
            while (QTcpSocket *socket = server.nextPendingConnection())
                new Connection(socket, m_owner);
        });
        m_loop = &loop;
        m_ready.release();
        loop.exec();
    }

    SoapTestServer *m_owner;
    QEventLoop *m_loop = nullptr;
    QSemaphore m_ready;
    std::thread m_thread; // last: it starts once the rest is in place
};

SoapTestServer::SoapTestServer()
{
    m_defaultReply.status = 500;
    m_defaultReply.body = soapFault("SOAP-ENV:Server", "no reply scripted");
    m_thread = std::make_unique<Thread>(this);
}

SoapTestServer::~SoapTestServer()
{
    // The thread ends before the replies and requests it uses.
    m_thread.reset();
}

quint16 SoapTestServer::port() const { return m_thread->port; }

QString SoapTestServer::baseUrl() const
{
    return QStringLiteral("http://127.0.0.1:%1/").arg(port());
}

void SoapTestServer::enqueue(const Reply &reply)
{
    QMutexLocker lock(&m_mutex);
    m_replies.append(reply);
}

void SoapTestServer::enqueueXml(const QByteArray &body, int status)
{
    Reply reply;
    reply.status = status;
    reply.body = body;
    enqueue(reply);
}

void SoapTestServer::setDefaultReply(const Reply &reply)
{
    QMutexLocker lock(&m_mutex);
    m_defaultReply = reply;
}

QList<SoapTestServer::Request> SoapTestServer::requests() const
{
    QMutexLocker lock(&m_mutex);
    return m_requests;
}

SoapTestServer::Request SoapTestServer::lastRequest() const
{
    QMutexLocker lock(&m_mutex);
    return m_requests.isEmpty() ? Request() : m_requests.last();
}

int SoapTestServer::requestCount() const
{
    QMutexLocker lock(&m_mutex);
    return m_requests.size();
}

void SoapTestServer::clear()
{
    QMutexLocker lock(&m_mutex);
    m_requests.clear();
    m_replies.clear();
}

SoapTestServer::Reply SoapTestServer::takeReply()
{
    QMutexLocker lock(&m_mutex);
    return m_replies.isEmpty() ? m_defaultReply : m_replies.takeFirst();
}

void SoapTestServer::record(const Request &request)
{
    QMutexLocker lock(&m_mutex);
    m_requests.append(request);
}

QByteArray SoapTestServer::Request::soapAction() const
{
    QByteArray action = header("soapaction").trimmed();
    if (action.size() >= 2 && action.startsWith('"') && action.endsWith('"'))
        action = action.mid(1, action.size() - 2);
    return action;
}

QByteArray soapEnvelope(const QByteArray &bodyContent, const QByteArray &extraNamespaces,
                        const QByteArray &header)
{
    QByteArray xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                     "<SOAP-ENV:Envelope xmlns:SOAP-ENV=\"http://schemas.xmlsoap.org/soap/envelope/\""
                     " xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\""
                     " xmlns:xsd=\"http://www.w3.org/2001/XMLSchema\" "
        + extraNamespaces + ">";
    if (!header.isEmpty())
        xml += "<SOAP-ENV:Header>" + header + "</SOAP-ENV:Header>";
    xml += "<SOAP-ENV:Body>" + bodyContent + "</SOAP-ENV:Body></SOAP-ENV:Envelope>";
    return xml;
}

QByteArray soapFault(const QByteArray &code, const QByteArray &string)
{
    return soapEnvelope("<SOAP-ENV:Fault><faultcode>" + code + "</faultcode><faultstring>" + string
                        + "</faultstring></SOAP-ENV:Fault>");
}
