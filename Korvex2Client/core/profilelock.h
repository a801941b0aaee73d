#pragma once

#include <memory>

#include <QProcessEnvironment>
#include <QString>

class QLockFile;

// One running copy of the program per profile: a lock file in the profile's data folder,
// taken before the settings, the local database or the orders folder are read, and held
// until the process ends. Two copies on one profile would each load the same queued orders
// and send them.
//
// A lock whose owner no longer runs on this machine (killed, crashed, a power cut) is taken
// over at once. A lock file that names no owner (empty or damaged by a power cut or a disk
// fault) is looked at again for a short while, since a copy that is starting writes its line
// within moments; then it is removed and taken, unless a live process holds it. A program started to replace this one (an update) finds its predecessor's
// process id in its environment and waits a bounded while for the predecessor to end.
class ProfileLock
{
public:
    enum class Result {
        Acquired,
        HeldByAnother, // another running copy holds it: owner() says which (pid 0: unknown)
        Failed,        // the lock file cannot be made, or a damaged one removed: errorString() says why
    };

    struct Owner
    {
        qint64 pid = 0;
        QString hostName;   // empty when the lock file does not say
        bool onThisMachine = true;
    };

    // dataFolder: the profile's data folder (made when missing).
    explicit ProfileLock(const QString &dataFolder);
    ~ProfileLock();
    Q_DISABLE_COPY(ProfileLock)

    // One attempt; when the lock is held by `predecessorPid` (see predecessorFromEnvironment),
    // waits up to waitForPredecessorMs for it to be let go.
    Result acquire(qint64 predecessorPid = 0, int waitForPredecessorMs = 60000);
    // Lets the lock go (the file is removed); also done by the destructor.
    void release();
    bool isLocked() const;

    QString filePath() const;
    Owner owner() const;
    QString errorString() const;

    // The variable that names the predecessor of a program started to replace this one.
    static const char *predecessorVariable();
    // The environment for a program that replaces this process: this one's with the
    // predecessor variable set to this process's id.
    static QProcessEnvironment successorEnvironment();
    // Reads the predecessor's id (0 when none) and removes the variable, so that what this
    // process starts later does not inherit it.
    static qint64 takePredecessorFromEnvironment();

private:
    enum class Unreadable { NotYet, Taken, HeldByLiveProcess, Failed };

    // The lock file names no owner: removed and taken once it has been so for a while.
    Unreadable takeUnreadableLock();
    QString probeWriteFailure() const;
    QString diagnoseFailure() const;
    static bool heldByLiveProcess(const QString &path);

    QString m_folder;
    std::unique_ptr<QLockFile> m_lock;
    Owner m_owner;
    QString m_error;
};
