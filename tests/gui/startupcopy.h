#pragma once

// A copy of the program's start (gui_startupchild, KORVEX_STARTUPCHILD) in a process of its
// own, on the profiles of a private home folder: see startupchild.cpp for its modes and the
// status lines it writes.

#include <csignal>

#include <QDeadlineTimer>
#include <QProcess>
#include <QString>
#include <QStringList>

#include "profilelock.h"

// A copy, reporting on its standard output; extraEnvironment is added to its environment.
class StartupCopy
{
public:
    StartupCopy(const QString &home, const QString &mode, const QString &profile, qint64 predecessor = 0,
                const QProcessEnvironment &extraEnvironment = {})
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(extraEnvironment);
        environment.insert(QStringLiteral("HOME"), home);
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home + QStringLiteral("/.config"));
        environment.remove(QString::fromLatin1(ProfileLock::predecessorVariable()));
        if (predecessor > 0)
            environment.insert(QString::fromLatin1(ProfileLock::predecessorVariable()), QString::number(predecessor));
        m_process.setProcessEnvironment(environment);
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        QStringList arguments{QStringLiteral("-"), mode};
        if (!profile.isNull())
            arguments << profile;
        m_process.start(QStringLiteral(KORVEX_STARTUPCHILD), arguments);
    }
    ~StartupCopy()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(30000);
        }
    }

    // The first status line that starts with prefix, waiting for it while the copy runs.
    QString waitForLine(const QString &prefix, int timeoutMs = 60000)
    {
        QDeadlineTimer deadline(timeoutMs);
        forever {
            m_output += QString::fromUtf8(m_process.readAllStandardOutput());
            const QStringList lines = m_output.split(QLatin1Char('\n'));
            for (int i = 0; i + 1 < lines.size(); ++i) {
                if (lines.at(i).startsWith(prefix))
                    return lines.at(i);
            }
            if (deadline.hasExpired())
                return QString();
            if (m_process.state() == QProcess::NotRunning) {
                if (m_process.bytesAvailable() == 0)
                    return QString();
                continue;
            }
            m_process.waitForReadyRead(100);
        }
    }
    QString output()
    {
        m_output += QString::fromUtf8(m_process.readAllStandardOutput());
        return m_output;
    }
    // The exit code, once the copy has ended; -1000 if it did not end.
    int exitCode()
    {
        if (m_process.state() != QProcess::NotRunning && !m_process.waitForFinished(60000))
            return -1000;
        output();
        return m_process.exitStatus() == QProcess::NormalExit ? m_process.exitCode() : -1001;
    }
    // A line on the copy's standard input ("esci" in mode "window").
    void send(const QByteArray &line)
    {
        m_process.write(line + '\n');
        m_process.waitForBytesWritten(30000);
    }
    bool running() const { return m_process.state() == QProcess::Running; }
    void killHard()
    {
        ::kill(pid_t(m_process.processId()), SIGKILL);
        m_process.waitForFinished(30000);
    }

private:
    QProcess m_process;
    QString m_output;
};

