#include "profilelock.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QLockFile>
#include <QSysInfo>

namespace {

const char lockFileName[] = "Korvex2.lock";

QString tr(const char *text)
{
    return QCoreApplication::translate("ProfileLock", text);
}

} // namespace

ProfileLock::ProfileLock(const QString &dataFolder)
    : m_folder(dataFolder),
      m_lock(std::make_unique<QLockFile>(QDir(dataFolder).absoluteFilePath(QString::fromLatin1(lockFileName))))
{
    // Only a dead owner makes a lock stale: the age of the file says nothing, a copy may run
    // for weeks.
    m_lock->setStaleLockTime(0);
}

ProfileLock::~ProfileLock() = default;

QString ProfileLock::filePath() const
{
    return QDir(m_folder).absoluteFilePath(QString::fromLatin1(lockFileName));
}

ProfileLock::Result ProfileLock::acquire(qint64 predecessorPid, int waitForPredecessorMs)
{
    m_error.clear();
    m_owner = Owner();
    if (m_lock->isLocked())
        return Result::Acquired;
    if (!QDir().mkpath(m_folder)) {
        m_error = tr("impossibile creare la cartella %1").arg(QDir::toNativeSeparators(m_folder));
        return Result::Failed;
    }
    // A lock left by a copy that no longer runs is removed and taken by this attempt.
    if (m_lock->tryLock(0))
        return Result::Acquired;
    if (m_lock->error() != QLockFile::LockFailedError) {
        m_error = diagnoseFailure();
        return Result::Failed;
    }

    qint64 pid = 0;
    QString host;
    QString application;
    if (!m_lock->getLockInfo(&pid, &host, &application)) {
        // Let go between the attempt and the reading.
        if (m_lock->tryLock(0))
            return Result::Acquired;
    }
    m_owner.pid = pid;
    m_owner.hostName = host;
    m_owner.onThisMachine = host.isEmpty() || host == QSysInfo::machineHostName();
    if (predecessorPid > 0 && pid == predecessorPid && m_owner.onThisMachine) {
        // The program that started this one is ending: its lock goes with it.
        qDebug().noquote() << QStringLiteral("Profilo in uso dal programma precedente (processo %1): attesa")
                                  .arg(pid);
        if (m_lock->tryLock(waitForPredecessorMs))
            return Result::Acquired;
        if (m_lock->error() != QLockFile::LockFailedError) {
            m_error = diagnoseFailure();
            return Result::Failed;
        }
    }
    return Result::HeldByAnother;
}

void ProfileLock::release()
{
    m_lock->unlock();
}

bool ProfileLock::isLocked() const
{
    return m_lock->isLocked();
}

ProfileLock::Owner ProfileLock::owner() const
{
    return m_owner;
}

QString ProfileLock::errorString() const
{
    return m_error;
}

QString ProfileLock::diagnoseFailure() const
{
    // The lock file says only that it could not be written; a file of the same size beside it
    // tells the system's reason (a full disk, a folder that cannot be written).
    QString reason;
    QFile probe(filePath() + QStringLiteral(".prova"));
    if (!probe.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered)) {
        reason = probe.errorString();
    } else {
        // A short write gives no reason; the next one does.
        const QByteArray bytes(256, 'x');
        qint64 written = 0;
        while (written < bytes.size()) {
            const qint64 n = probe.write(bytes.constData() + written, bytes.size() - written);
            if (n <= 0)
                break;
            written += n;
        }
        if (written < bytes.size())
            reason = probe.errorString();
        probe.close();
        probe.remove();
    }
    if (reason.isEmpty())
        reason = m_lock->error() == QLockFile::PermissionError ? tr("permesso negato") : tr("errore sconosciuto");
    return tr("impossibile creare il file %1: %2").arg(QDir::toNativeSeparators(filePath()), reason);
}

const char *ProfileLock::predecessorVariable()
{
    return "KORVEX2_PREDECESSOR_PID";
}

QProcessEnvironment ProfileLock::successorEnvironment()
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QString::fromLatin1(predecessorVariable()),
                       QString::number(QCoreApplication::applicationPid()));
    return environment;
}

qint64 ProfileLock::takePredecessorFromEnvironment()
{
    bool ok = false;
    const qint64 pid = qEnvironmentVariable(predecessorVariable()).toLongLong(&ok);
    qunsetenv(predecessorVariable());
    return ok && pid > 0 ? pid : 0;
}
