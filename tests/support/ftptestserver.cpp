#include "ftptestserver.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QThread>

#ifndef KORVEX_LABFTP_SCRIPT
#error "KORVEX_LABFTP_SCRIPT must name labsim/labftp.py"
#endif

namespace {
const char *const python = "/usr/bin/python3";
}

FtpTestServer::FtpTestServer() : FtpTestServer(Options()) {}

FtpTestServer::FtpTestServer(const Options &options) : m_options(options)
{
    if (!m_dir.isValid() || !QDir(m_dir.path()).mkpath(QStringLiteral("root"))) {
        m_error = QStringLiteral("cannot make the server's folder");
        return;
    }
    QStringList arguments{QStringLiteral(KORVEX_LABFTP_SCRIPT),
                          QStringLiteral("--root"), rootPath(),
                          QStringLiteral("--port"), QStringLiteral("0"),
                          QStringLiteral("--user"), m_options.user,
                          QStringLiteral("--password"), m_options.password,
                          QStringLiteral("--control"), m_dir.filePath(QStringLiteral("control.json")),
                          QStringLiteral("--exit-with-stdin")};
    for (const QString &folder : m_options.readonly)
        arguments << QStringLiteral("--readonly") << folder;
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start(QString::fromLatin1(python), arguments);

    // First line: "FTP 127.0.0.1:<port>"
    QElapsedTimer clock;
    clock.start();
    QByteArray line;
    while (!line.endsWith('\n') && clock.elapsed() < 60000) {
        if (m_process.state() == QProcess::NotRunning)
            break;
        if (m_process.canReadLine() || m_process.waitForReadyRead(200))
            line += m_process.readLine();
    }
    const QByteArray prefix = "FTP 127.0.0.1:";
    if (!line.startsWith(prefix)) {
        m_error = QStringLiteral("labftp.py did not start: ") + QString::fromUtf8(line)
            + m_process.errorString();
        return;
    }
    m_port = static_cast<quint16>(line.mid(prefix.size()).trimmed().toUInt());
    if (m_port == 0)
        m_error = QStringLiteral("labftp.py gave no port: ") + QString::fromUtf8(line);
}

FtpTestServer::~FtpTestServer()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.closeWriteChannel(); // --exit-with-stdin: the server stops
    if (!m_process.waitForFinished(5000)) {
        m_process.kill();
        m_process.waitForFinished(2000);
    }
}

QString FtpTestServer::rootPath() const
{
    return m_dir.filePath(QStringLiteral("root"));
}

QString FtpTestServer::localPath(const QString &remotePath) const
{
    QString relative = remotePath;
    while (relative.startsWith(QLatin1Char('/')))
        relative.remove(0, 1);
    return rootPath() + QLatin1Char('/') + relative;
}

bool FtpTestServer::setFaults(const QJsonObject &knobs)
{
    const QString control = m_dir.filePath(QStringLiteral("control.json"));
    QFile file(control + QStringLiteral(".tmp"));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    file.write(QJsonDocument(knobs).toJson(QJsonDocument::Compact));
    file.close();
    QFile::remove(control);
    if (!file.rename(control))
        return false;
    QElapsedTimer clock;
    clock.start();
    while (QFile::exists(control)) {
        if (clock.elapsed() > 60000 || m_process.state() == QProcess::NotRunning)
            return false;
        QThread::msleep(10);
    }
    return true;
}

bool FtpTestServer::resetFaults()
{
    return setFaults(QJsonObject{{QStringLiteral("reset"), true}});
}
