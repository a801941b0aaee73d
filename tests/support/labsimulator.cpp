#include "labsimulator.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QUrl>

#ifndef KORVEX_LABSIM_SCRIPT
#define KORVEX_LABSIM_SCRIPT ""
#endif

const char *const LabSimulator::DemoUser = "demo";
const char *const LabSimulator::DemoPassword = "demo";
const char *const LabSimulator::PayingUser = "paga";
const char *const LabSimulator::PayingPassword = "paga";
const char *const LabSimulator::OperatorUser = "operatore";
const char *const LabSimulator::OperatorPassword = "operatore";
const char *const LabSimulator::FtpUser = "laboratorio";
const char *const LabSimulator::FtpPassword = "ftp-laboratorio";
const char *const LabSimulator::FtpFolder = "ordini";

namespace {

const int StartTimeoutMs = 60000; // a busy machine starts many simulators at once
const int StopTimeoutMs = 10000;

QString scriptPath()
{
    const QByteArray source = qgetenv("KORVEX_SOURCE_DIR");
    if (!source.isEmpty())
        return QString::fromLocal8Bit(source) + QStringLiteral("/labsim/labsim.py");
    return QStringLiteral(KORVEX_LABSIM_SCRIPT);
}

} // namespace

LabSimulator::LabSimulator(const QString &dataDir)
    : m_dataDir(dataDir)
{
    if (m_dataDir.isEmpty()) {
        m_tempDir = std::make_unique<QTemporaryDir>();
        m_dataDir = m_tempDir->path();
    }
    m_dataDir = QFileInfo(m_dataDir).absoluteFilePath();
}

LabSimulator::~LabSimulator()
{
    if (isRunning())
        stop();
}

QStringList LabSimulator::arguments() const
{
    return {scriptPath(), QStringLiteral("--data"), m_dataDir,
            QStringLiteral("--http-port"), QString::number(m_httpPort),
            QStringLiteral("--ftp-port"), QString::number(m_ftpPort),
            QStringLiteral("--exit-on-stdin-eof")};
}

bool LabSimulator::start()
{
    if (isRunning()) {
        m_error = QStringLiteral("the simulator is already running");
        return false;
    }
    m_process = std::make_unique<QProcess>();
    // Diagnostics go straight to the test's own error output; nothing fills a pipe that
    // nobody reads. Standard input stays open: the simulator ends when it closes, so it
    // never outlives a test process that crashed.
    m_process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process->start(QStringLiteral("/usr/bin/python3"), arguments());
    if (!m_process->waitForStarted(StartTimeoutMs)) {
        m_error = QStringLiteral("cannot start /usr/bin/python3: ") + m_process->errorString();
        m_process.reset();
        return false;
    }

    static const QRegularExpression ready(
        QStringLiteral("^labsim ready endpoint=(\\S+) ftp=([^:\\s]+):(\\d+) data=(.*)$"));
    QDeadlineTimer deadline(StartTimeoutMs);
    while (!deadline.hasExpired()) {
        while (m_process->canReadLine()) {
            const QString line = QString::fromUtf8(m_process->readLine()).trimmed();
            const QRegularExpressionMatch m = ready.match(line);
            if (m.hasMatch()) {
                m_baseUrl = m.captured(1);
                m_ftpHost = m.captured(2);
                m_ftpPort = quint16(m.captured(3).toUInt());
                m_httpPort = quint16(QUrl(m_baseUrl).port());
                return true;
            }
        }
        if (m_process->state() != QProcess::Running)
            break;
        m_process->waitForReadyRead(int(qBound<qint64>(1, deadline.remainingTime(), 200)));
    }
    m_error = m_process->state() == QProcess::Running
        ? QStringLiteral("the simulator did not report that it serves")
        : QStringLiteral("the simulator ended before serving (exit code %1)").arg(m_process->exitCode());
    kill();
    return false;
}

bool LabSimulator::stop()
{
    if (!m_process)
        return true;
    bool clean = false;
    if (m_process->state() == QProcess::Running) {
        m_process->terminate();
        if (m_process->waitForFinished(StopTimeoutMs)) {
            clean = m_process->exitStatus() == QProcess::NormalExit && m_process->exitCode() == 0;
            if (!clean)
                m_error = QStringLiteral("the simulator ended with exit code %1").arg(m_process->exitCode());
        } else {
            m_error = QStringLiteral("the simulator did not stop within %1 ms").arg(StopTimeoutMs);
            m_process->kill();
            m_process->waitForFinished(StopTimeoutMs);
        }
    } else {
        m_error = QStringLiteral("the simulator had already ended");
    }
    m_process.reset();
    return clean;
}

bool LabSimulator::restart()
{
    return stop() && start();
}

void LabSimulator::kill()
{
    if (!m_process)
        return;
    if (m_process->state() != QProcess::NotRunning) {
        m_process->kill();
        m_process->waitForFinished(StopTimeoutMs);
    }
    m_process.reset();
}

bool LabSimulator::isRunning() const
{
    return m_process && m_process->state() == QProcess::Running;
}

QString LabSimulator::errorString() const { return m_error; }
QString LabSimulator::baseUrl() const { return m_baseUrl; }
QString LabSimulator::ftpHost() const { return m_ftpHost; }
quint16 LabSimulator::ftpPort() const { return m_ftpPort; }
QString LabSimulator::dataDir() const { return m_dataDir; }
QString LabSimulator::databasePath() const { return m_dataDir + QStringLiteral("/labsim.sqlite"); }
QString LabSimulator::ftpRoot() const { return m_dataDir + QStringLiteral("/ftp"); }
QString LabSimulator::updatesDir() const { return m_dataDir + QStringLiteral("/aggiornamenti"); }

bool LabSimulator::control(const QJsonObject &command)
{
    const HttpReply reply = request("POST", QStringLiteral("__control"),
                                    QJsonDocument(command).toJson(QJsonDocument::Compact),
                                    {{"Content-Type", "application/json"}});
    if (reply.status == 200)
        return true;
    const QJsonObject answer = QJsonDocument::fromJson(reply.body).object();
    m_error = reply.status == 0 ? QStringLiteral("the simulator did not answer")
                                : answer.value(QStringLiteral("error")).toString();
    return false;
}

QString LabSimulator::seedOrder(const QJsonObject &order)
{
    QJsonObject command = order;
    command.insert(QStringLiteral("action"), QStringLiteral("seedOrder"));
    const HttpReply reply = request("POST", QStringLiteral("__control"),
                                    QJsonDocument(command).toJson(QJsonDocument::Compact),
                                    {{"Content-Type", "application/json"}});
    const QJsonObject answer = QJsonDocument::fromJson(reply.body).object();
    if (reply.status != 200) {
        m_error = reply.status == 0 ? QStringLiteral("the simulator did not answer")
                                    : answer.value(QStringLiteral("error")).toString();
        return QString();
    }
    return answer.value(QStringLiteral("id")).toString();
}

bool LabSimulator::deleteOrder(const QString &id)
{
    return control({{QStringLiteral("action"), QStringLiteral("deleteOrder")}, {QStringLiteral("id"), id}});
}

QJsonArray LabSimulator::requests(const QString &operation) const
{
    QJsonArray values;
    for (const QJsonValue &entry : status().value(QStringLiteral("requests")).toArray()) {
        const QJsonObject request = entry.toObject();
        if (request.value(QStringLiteral("operation")).toString() == operation)
            values.append(request.value(QStringLiteral("value")));
    }
    return values;
}

bool LabSimulator::clearRequests()
{
    return control({{QStringLiteral("action"), QStringLiteral("clearRequests")}});
}

namespace {

QJsonObject knob(const char *action, const QString &operation, int times, int skip)
{
    return {{QStringLiteral("action"), QString::fromLatin1(action)},
            {QStringLiteral("operation"), operation},
            {QStringLiteral("times"), times},
            {QStringLiteral("skip"), skip}};
}

} // namespace

bool LabSimulator::injectFault(const QString &operation, const QString &faultString, int times, int skip)
{
    QJsonObject command = knob("fault", operation, times, skip);
    if (!faultString.isEmpty())
        command.insert(QStringLiteral("string"), faultString);
    return control(command);
}

bool LabSimulator::injectHttpError(const QString &operation, int status, int times, int skip)
{
    QJsonObject command = knob("httpError", operation, times, skip);
    command.insert(QStringLiteral("status"), status);
    return control(command);
}

bool LabSimulator::answerFalse(const QString &operation, int times, int skip)
{
    return control(knob("false", operation, times, skip));
}

bool LabSimulator::delayAnswer(const QString &operation, int milliseconds, int times, int skip)
{
    QJsonObject command = knob("delay", operation, times, skip);
    command.insert(QStringLiteral("ms"), milliseconds);
    return control(command);
}

bool LabSimulator::holdFtpUploads(int times, int skip)
{
    return control({{QStringLiteral("action"), QStringLiteral("ftpHoldUploads")},
                    {QStringLiteral("times"), times},
                    {QStringLiteral("skip"), skip}});
}

bool LabSimulator::releaseFtpUploads()
{
    return control({{QStringLiteral("action"), QStringLiteral("ftpRelease")}});
}

int LabSimulator::heldFtpUploads() const
{
    const QJsonObject all = status();
    return all.isEmpty() ? -1 : all.value(QStringLiteral("ftpHeld")).toInt();
}

bool LabSimulator::holdAnswer(const QString &operation, int times, int skip, bool afterWork)
{
    QJsonObject command = knob("hold", operation, times, skip);
    command.insert(QStringLiteral("after"), afterWork);
    return control(command);
}

bool LabSimulator::releaseHeld(const QString &operation, int count)
{
    return control({{QStringLiteral("action"), QStringLiteral("release")},
                    {QStringLiteral("operation"), operation},
                    {QStringLiteral("count"), count}});
}

int LabSimulator::heldCalls(const QString &operation) const
{
    const QJsonObject all = status();
    if (all.isEmpty())
        return -1;
    const QJsonObject held = all.value(QStringLiteral("held")).toObject();
    if (operation != QLatin1String("*"))
        return held.value(operation).toInt();
    int total = 0;
    for (const QJsonValue &count : held)
        total += count.toInt();
    return total;
}

QString LabSimulator::setUpdate(int componente, int major, int minor, int build, const QString &file,
                                int reportedComponent)
{
    QJsonObject command{{QStringLiteral("action"), QStringLiteral("setUpdate")},
                        {QStringLiteral("componente"), componente},
                        {QStringLiteral("major"), major},
                        {QStringLiteral("minor"), minor},
                        {QStringLiteral("build"), build},
                        {QStringLiteral("file"), file}};
    if (reportedComponent >= 0)
        command.insert(QStringLiteral("reportedComponent"), reportedComponent);
    if (!control(command))
        return QString();
    return m_baseUrl + QStringLiteral("aggiornamenti/") + QString::fromUtf8(QUrl::toPercentEncoding(file));
}

bool LabSimulator::setUpdateFileKnob(const QString &file, const UpdateFileKnob &knob, int times)
{
    QJsonObject command{{QStringLiteral("action"), QStringLiteral("updateFileKnob")},
                        {QStringLiteral("file"), file},
                        {QStringLiteral("times"), times},
                        {QStringLiteral("noContentLength"), knob.noContentLength}};
    if (knob.status > 0)
        command.insert(QStringLiteral("status"), knob.status);
    if (!knob.location.isEmpty())
        command.insert(QStringLiteral("location"), knob.location);
    if (knob.stallAfter >= 0)
        command.insert(QStringLiteral("stallAfter"), knob.stallAfter);
    if (knob.dropAfter >= 0)
        command.insert(QStringLiteral("dropAfter"), knob.dropAfter);
    if (knob.rate > 0)
        command.insert(QStringLiteral("rate"), knob.rate);
    return control(command);
}

bool LabSimulator::dropFtpConnection(qint64 afterBytes, int times)
{
    return control({{QStringLiteral("action"), QStringLiteral("ftpDropConnection")},
                    {QStringLiteral("afterBytes"), afterBytes},
                    {QStringLiteral("times"), times}});
}

bool LabSimulator::failFtpUploads(int times)
{
    return control({{QStringLiteral("action"), QStringLiteral("ftpFailUploads")},
                    {QStringLiteral("times"), times}});
}

bool LabSimulator::storeFtpUploadsShort(qint64 bytes, int times)
{
    return control({{QStringLiteral("action"), QStringLiteral("ftpStoreShort")},
                    {QStringLiteral("bytes"), bytes},
                    {QStringLiteral("times"), times}});
}

bool LabSimulator::resetKnobs()
{
    return control({{QStringLiteral("action"), QStringLiteral("reset")}});
}

QJsonObject LabSimulator::status() const
{
    const HttpReply reply = request("GET", QStringLiteral("__status"));
    if (reply.status != 200) {
        m_error = QStringLiteral("no status from the simulator (HTTP %1)").arg(reply.status);
        return {};
    }
    return QJsonDocument::fromJson(reply.body).object();
}

LabSimulator::Counts LabSimulator::counts() const
{
    const QJsonObject all = status().value(QStringLiteral("counts")).toObject();
    Counts c;
    if (all.isEmpty())
        return c;
    c.customers = all.value(QStringLiteral("customers")).toInt();
    c.fileRecords = all.value(QStringLiteral("fileRecords")).toInt();
    c.rows = all.value(QStringLiteral("rows")).toInt();
    c.orders = all.value(QStringLiteral("orders")).toInt();
    c.ftpFiles = all.value(QStringLiteral("ftpFiles")).toInt();
    c.paymentPageVisits = all.value(QStringLiteral("paymentPageVisits")).toInt();
    return c;
}

LabSimulator::HttpReply LabSimulator::request(const QByteArray &method, const QString &path,
                                              const QByteArray &body,
                                              const QMap<QByteArray, QByteArray> &headers,
                                              int timeoutMs) const
{
    HttpReply reply;
    if (m_httpPort == 0)
        return reply;
    QDeadlineTimer deadline(timeoutMs);
    QTcpSocket socket;
    socket.connectToHost(QStringLiteral("127.0.0.1"), m_httpPort);
    if (!socket.waitForConnected(int(qMax<qint64>(1, deadline.remainingTime()))))
        return reply;

    QByteArray out = method + ' ' + QUrl(m_baseUrl).path().toUtf8() + path.toUtf8() + " HTTP/1.1\r\n";
    out += "Host: 127.0.0.1:" + QByteArray::number(m_httpPort) + "\r\n";
    for (auto it = headers.cbegin(); it != headers.cend(); ++it)
        out += it.key() + ": " + it.value() + "\r\n";
    if (!body.isEmpty() || method == "POST")
        out += "Content-Length: " + QByteArray::number(body.size()) + "\r\n";
    out += "Connection: close\r\n\r\n" + body;
    socket.write(out);

    // The simulator closes every connection after its answer.
    QByteArray in;
    while (socket.state() == QAbstractSocket::ConnectedState && !deadline.hasExpired()) {
        socket.waitForReadyRead(int(qBound<qint64>(1, deadline.remainingTime(), 100)));
        in += socket.readAll();
    }
    in += socket.readAll();
    if (socket.state() == QAbstractSocket::ConnectedState)
        return reply; // timed out

    const int headerEnd = in.indexOf("\r\n\r\n");
    if (headerEnd < 0)
        return reply;
    const QList<QByteArray> lines = in.left(headerEnd).split('\n');
    const QList<QByteArray> statusLine = lines.value(0).trimmed().split(' ');
    for (int i = 1; i < lines.size(); ++i) {
        const int colon = lines[i].indexOf(':');
        if (colon > 0)
            reply.headers.insert(lines[i].left(colon).trimmed().toLower(), lines[i].mid(colon + 1).trimmed());
    }
    reply.body = in.mid(headerEnd + 4);
    bool ok = false;
    const int length = reply.headers.value("content-length").toInt(&ok);
    if (ok && reply.body.size() < length)
        return reply; // cut short
    if (ok)
        reply.body.truncate(length);
    reply.status = statusLine.value(1).toInt();
    return reply;
}
