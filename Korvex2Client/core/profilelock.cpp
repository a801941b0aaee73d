#include "profilelock.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDebug>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QSysInfo>
#include <QThread>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#endif

namespace {

const char lockFileName[] = "Korvex2.lock";

// A lock file that names no owner: how long one may have been so before it counts as
// damaged, how often it is looked at meanwhile, and how long a start keeps looking at all.
constexpr qint64 unreadableLockGraceMs = 2000;
constexpr unsigned long unreadableLockRetryMs = 50;
constexpr qint64 unreadableLockWaitMs = 10000;

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

    QElapsedTimer waited;
    waited.start();
    forever {
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
        if (m_lock->getLockInfo(&pid, &host, &application)) {
            m_owner.pid = pid;
            m_owner.hostName = host;
            m_owner.onThisMachine = host.isEmpty() || host == QSysInfo::machineHostName();
            break;
        }
        // The file names no owner: Qt never counts such a lock as stale.
        switch (takeUnreadableLock()) {
        case Unreadable::Taken:
            return Result::Acquired;
        case Unreadable::HeldByLiveProcess:
            return Result::HeldByAnother;
        case Unreadable::Failed:
            return Result::Failed;
        case Unreadable::NotYet:
            break;
        }
        if (waited.hasExpired(unreadableLockWaitMs)) {
            m_error = tr("il file %1 non dice quale programma usa il profilo e non si è potuto rimuovere")
                          .arg(QDir::toNativeSeparators(filePath()));
            return Result::Failed;
        }
        QThread::msleep(unreadableLockRetryMs);
    }

    if (predecessorPid > 0 && m_owner.pid == predecessorPid && m_owner.onThisMachine) {
        // The program that started this one is ending: its lock goes with it.
        qDebug().noquote() << QStringLiteral("Profilo in uso dal programma precedente (processo %1): attesa")
                                  .arg(m_owner.pid);
        if (m_lock->tryLock(waitForPredecessorMs))
            return Result::Acquired;
        if (m_lock->error() != QLockFile::LockFailedError) {
            m_error = diagnoseFailure();
            return Result::Failed;
        }
    }
    return Result::HeldByAnother;
}

ProfileLock::Unreadable ProfileLock::takeUnreadableLock()
{
    const QString path = filePath();
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink())
        return Unreadable::NotYet; // let go meanwhile: the next attempt takes it
    // A copy that is starting makes the file and writes its line at once: only a file that has
    // named nobody for a while was left damaged (a power cut, a disk fault).
    const qint64 age = qAbs(info.lastModified().msecsTo(QDateTime::currentDateTime()));
    if (age < unreadableLockGraceMs)
        return Unreadable::NotYet;

    // One remover at a time, so that two copies started together never both take the profile:
    // the second one finds the first one's lock, readable. (Qt's own stale-lock removal uses
    // the same guard.)
    QLockFile guard(path + QStringLiteral(".rmlock"));
    if (!guard.tryLock(0)) {
        if (guard.error() == QLockFile::LockFailedError)
            return Unreadable::NotYet;
        m_error = diagnoseFailure();
        return Unreadable::Failed;
    }
    qint64 pid = 0;
    QString host;
    QString application;
    const QFileInfo now(path);
    if (m_lock->getLockInfo(&pid, &host, &application) || !now.exists()
        || qAbs(now.lastModified().msecsTo(QDateTime::currentDateTime())) < unreadableLockGraceMs)
        return Unreadable::NotYet; // another copy took the profile meanwhile

    // The removal takes the file's own lock first: a live owner's lock is never removed.
    if (m_lock->removeStaleLockFile() || !QFileInfo::exists(path)) {
        qWarning().noquote() << QStringLiteral("Blocco del profilo illeggibile rimosso: %1").arg(path);
        if (m_lock->tryLock(0))
            return Unreadable::Taken;
        if (m_lock->error() != QLockFile::LockFailedError) {
            m_error = diagnoseFailure();
            return Unreadable::Failed;
        }
        return Unreadable::NotYet;
    }
    if (heldByLiveProcess(path))
        return Unreadable::HeldByLiveProcess;
    const QString reason = QFileInfo(path).isDir() ? tr("al suo posto c'è una cartella") : probeWriteFailure();
    m_error = tr("il file %1 non dice quale programma usa il profilo e non si può rimuovere: %2")
                  .arg(QDir::toNativeSeparators(path), reason.isEmpty() ? tr("errore sconosciuto") : reason);
    return Unreadable::Failed;
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

QString ProfileLock::probeWriteFailure() const
{
    // A file beside the lock tells the system's reason (a full disk, a folder that cannot be
    // written); empty when it could be written.
    QString reason;
    QFile probe(filePath() + QStringLiteral(".prova"));
    if (!probe.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered))
        return probe.errorString();
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
    return reason;
}

QString ProfileLock::diagnoseFailure() const
{
    // The lock file says only that it could not be written.
    QString reason = probeWriteFailure();
    if (reason.isEmpty())
        reason = m_lock->error() == QLockFile::PermissionError ? tr("permesso negato") : tr("errore sconosciuto");
    return tr("impossibile creare il file %1: %2").arg(QDir::toNativeSeparators(filePath()), reason);
}

bool ProfileLock::heldByLiveProcess(const QString &path)
{
#ifdef Q_OS_UNIX
    // The owner of a lock file keeps it open with a lock of the system's on it until it ends.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool held = ::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    ::close(fd); // lets go of this probe's own lock too
    return held;
#else
    Q_UNUSED(path)
    return true;
#endif
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
