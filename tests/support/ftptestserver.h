#pragma once

#include <QJsonObject>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// The laboratory's FTP server (labsim/labftp.py on Debian's /usr/bin/python3) started for a
// test on a free loopback port, with a login folder of its own in a temporary folder.
// Stopped by the destructor; it also ends by itself if the test process dies.
class FtpTestServer
{
public:
    struct Options
    {
        QString user = QStringLiteral("laboratorio");
        QString password = QStringLiteral("segreta");
        QStringList readonly; // folders under the login folder that cannot be written
    };

    FtpTestServer();
    explicit FtpTestServer(const Options &options);
    ~FtpTestServer();
    FtpTestServer(const FtpTestServer &) = delete;
    FtpTestServer &operator=(const FtpTestServer &) = delete;

    bool isRunning() const { return m_port != 0; }
    QString errorString() const { return m_error; }

    QString host() const { return QStringLiteral("127.0.0.1"); }
    quint16 port() const { return m_port; }
    QString user() const { return m_options.user; }
    QString password() const { return m_options.password; }

    // The login folder on disk, and the file that a remote path from it names.
    QString rootPath() const;
    QString localPath(const QString &remotePath) const;

    // Sets fault knobs (see labsim/labftp.py) and waits until the server has taken them.
    bool setFaults(const QJsonObject &knobs);
    bool resetFaults();

private:
    Options m_options;
    QTemporaryDir m_dir;
    QProcess m_process;
    quint16 m_port = 0;
    QString m_error;
};
