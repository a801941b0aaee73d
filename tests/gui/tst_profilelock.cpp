// One running copy per profile: copies of the program's start in processes of their own
// (gui_startupchild runs main()'s steps up to the main window), on profiles in a private home.

#include <memory>
#include <vector>

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QLockFile>
#include <QTemporaryDir>
#include <QTest>

#include "filesizelimit.h"
#include "startupcopy.h"
#include "profilelock.h"

namespace {

// Everything under a folder, hidden files too: path, size, time of change and content.
QMap<QString, QString> snapshot(const QString &root)
{
    QMap<QString, QString> files;
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QFileInfo info = it.fileInfo();
        QString entry = QStringLiteral("%1 %2").arg(info.size()).arg(info.lastModified().toMSecsSinceEpoch());
        QFile file(path);
        if (info.isFile() && file.open(QIODevice::ReadOnly))
            entry += QLatin1Char(' ') + QString::fromLatin1(QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha1).toHex());
        files.insert(path.mid(root.size()), entry);
    }
    return files;
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(bytes);
}

} // namespace

class TestProfileLock : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void secondCopyOnTheProfileIsRefused_data();
    void secondCopyOnTheProfileIsRefused();
    void lockOfAKilledCopyIsTakenOver();
    void copiesOnOtherProfilesRunSideBySide();
    void lockThatCannotBeMadeIsTold_data();
    void lockThatCannotBeMadeIsTold();
    void lockFileThatNamesNobodyIsTaken_data();
    void lockFileThatNamesNobodyIsTaken();
    void copiesStartedTogetherOnADamagedLock();
    void liveCopyKeepsALockFileThatNamesNobody();
    void successorOfTheOwner_data();
    void successorOfTheOwner();

private:
    QString dataFolder(const QString &profile) const
    {
        return m_home->path() + QStringLiteral("/.Korvex2") + profile;
    }

    std::unique_ptr<QTemporaryDir> m_home;
};

void TestProfileLock::init()
{
    m_home = std::make_unique<QTemporaryDir>();
    QVERIFY(m_home->isValid());
}

void TestProfileLock::secondCopyOnTheProfileIsRefused_data()
{
    QTest::addColumn<QString>("profile");
    QTest::addColumn<QString>("text");
    QTest::newRow("plain profile") << QString() << QStringLiteral("Il programma è già aperto.\\n\\n");
    QTest::newRow("named profile") << QStringLiteral("Negozio")
                                   << QStringLiteral("Il programma è già aperto con il profilo \"Negozio\".\\n\\n");
}

void TestProfileLock::secondCopyOnTheProfileIsRefused()
{
    QFETCH(QString, profile);
    QFETCH(QString, text);
    // The profile as a customer's: settings, catalogue, a queued order.
    const QString folder = dataFolder(profile);
    writeFile(folder + QStringLiteral("/korvex.s3db"), "catalogo");
    writeFile(folder + QStringLiteral("/orders_queue/{00000000-0000-4000-8000-000000000001}.kv2"), "<Ordine/>");
    writeFile(m_home->path() + QStringLiteral("/.config/Vendrel/Korvex2") + profile + QStringLiteral(".conf"),
              "[General]\nUploadsAutoStart=true\n");

    StartupCopy first(m_home->path(), QStringLiteral("hold"), profile);
    QVERIFY(first.waitForLine(QStringLiteral("locked ")).size() > 0);
    const QMap<QString, QString> before = snapshot(m_home->path());

    StartupCopy second(m_home->path(), QStringLiteral("once"), profile);
    QCOMPARE(second.exitCode(), 0);
    const QString box = second.waitForLine(QStringLiteral("box "));
    QVERIFY2(box.startsWith(QStringLiteral("box Programma già aperto\t") + text), qPrintable(box));
    QVERIFY(box.contains(QStringLiteral("Usa la finestra già aperta")));
    QVERIFY(!second.output().contains(QStringLiteral("locked ")));
    // Nothing of the profile was touched, and the first copy still holds it.
    QCOMPARE(snapshot(m_home->path()), before);
    QVERIFY(first.running());
    StartupCopy third(m_home->path(), QStringLiteral("once"), profile);
    QCOMPARE(third.exitCode(), 0);
    QVERIFY(!third.output().contains(QStringLiteral("locked ")));
}

void TestProfileLock::lockOfAKilledCopyIsTakenOver()
{
    StartupCopy killed(m_home->path(), QStringLiteral("hold"), QStringLiteral("Negozio"));
    QVERIFY(killed.waitForLine(QStringLiteral("locked ")).size() > 0);
    killed.killHard();
    // Its lock stays behind, naming a process that no longer runs.
    QVERIFY(QFile::exists(dataFolder(QStringLiteral("Negozio")) + QStringLiteral("/Korvex2.lock")));

    StartupCopy next(m_home->path(), QStringLiteral("hold"), QStringLiteral("Negozio"));
    QVERIFY2(next.waitForLine(QStringLiteral("locked ")).size() > 0, qPrintable(next.output()));
    QVERIFY(!next.output().contains(QStringLiteral("box ")));
    // The lock taken over is a real one.
    StartupCopy another(m_home->path(), QStringLiteral("once"), QStringLiteral("Negozio"));
    QCOMPARE(another.exitCode(), 0);
    QVERIFY(another.output().contains(QStringLiteral("box Programma già aperto")));
}

void TestProfileLock::copiesOnOtherProfilesRunSideBySide()
{
    StartupCopy first(m_home->path(), QStringLiteral("hold"), QStringLiteral("Casa"));
    QVERIFY(first.waitForLine(QStringLiteral("locked ")).size() > 0);
    StartupCopy second(m_home->path(), QStringLiteral("hold"), QStringLiteral("Negozio"));
    QVERIFY2(second.waitForLine(QStringLiteral("locked ")).size() > 0, qPrintable(second.output()));
    StartupCopy plain(m_home->path(), QStringLiteral("hold"), QString());
    QVERIFY2(plain.waitForLine(QStringLiteral("locked ")).size() > 0, qPrintable(plain.output()));
    for (const QString &profile : {QStringLiteral("Casa"), QStringLiteral("Negozio"), QString()})
        QVERIFY(QFile::exists(dataFolder(profile) + QStringLiteral("/Korvex2.lock")));
    QVERIFY(first.running() && second.running() && plain.running());
}

void TestProfileLock::lockThatCannotBeMadeIsTold_data()
{
    QTest::addColumn<QString>("setup");
    QTest::addColumn<QString>("reason");
    // Writes past a few bytes fail, as on a full disk.
    QTest::newRow("disk full") << "disk full" << QStringLiteral("Korvex2.lock: File too large");
    // Tests run as root, whom no permission stops: a file where the folder should be.
    QTest::newRow("data folder is a file") << "file for folder" << QStringLiteral("impossibile creare la cartella");
    // Something in place of the lock file that names no owner and cannot be removed.
    QTest::newRow("a folder in place of the lock file")
        << "folder for lock" << QString::fromUtf8("non dice quale programma usa il profilo e non si può rimuovere: "
                                                  "al suo posto c'è una cartella");
}

void TestProfileLock::lockThatCannotBeMadeIsTold()
{
    QFETCH(QString, setup);
    QFETCH(QString, reason);
    const QString folder = dataFolder(QStringLiteral("Negozio"));
    const QString lockPath = folder + QStringLiteral("/Korvex2.lock");
    if (setup == QLatin1String("file for folder"))
        writeFile(folder, "non una cartella");
    else if (setup == QLatin1String("folder for lock"))
        writeFile(lockPath + QStringLiteral("/dentro"), "qualcosa");
    else
        QVERIFY(QDir().mkpath(folder));

    std::unique_ptr<FileSizeLimit> limit;
    if (setup == QLatin1String("disk full")) {
        // The copy inherits the limit; its status goes to a pipe, which the limit spares.
        limit = std::make_unique<FileSizeLimit>(16);
        QVERIFY(limit->ok());
    }
    StartupCopy copy(m_home->path(), QStringLiteral("hold"), QStringLiteral("Negozio"));
    const int code = copy.exitCode();
    limit.reset();
    QCOMPARE(code, 255); // -1
    const QString box = copy.waitForLine(QStringLiteral("box "));
    QVERIFY2(box.startsWith(QStringLiteral("box Impossibile avviare l'applicazione\t")), qPrintable(box));
    QVERIFY2(box.contains(reason), qPrintable(box));
    QVERIFY(!copy.output().contains(QStringLiteral("locked ")));
    if (setup == QLatin1String("folder for lock")) {
        // What the program cannot tell as its own stays as it was.
        QVERIFY(QFileInfo(lockPath).isDir());
        QVERIFY(QFile::exists(lockPath + QStringLiteral("/dentro")));
    } else {
        // No lock is left behind.
        QVERIFY(!QFileInfo(lockPath).exists());
    }
}

void TestProfileLock::lockFileThatNamesNobodyIsTaken_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("old");
    // What a power cut or a disk fault leaves: just made, or from long ago.
    QTest::newRow("empty") << QByteArray() << false;
    QTest::newRow("zero bytes") << QByteArray(96, '\0') << false;
    QTest::newRow("a line of garbage") << QByteArray("\x7f\x03garbage 12 ab\n") << false;
    QTest::newRow("empty, from yesterday") << QByteArray() << true;
}

void TestProfileLock::lockFileThatNamesNobodyIsTaken()
{
    QFETCH(QByteArray, content);
    QFETCH(bool, old);
    const QString lockPath = dataFolder(QStringLiteral("Negozio")) + QStringLiteral("/Korvex2.lock");
    writeFile(lockPath, content);
    if (old) {
        QFile file(lockPath);
        QVERIFY(file.open(QIODevice::ReadWrite));
        QVERIFY(file.setFileTime(QDateTime::currentDateTime().addDays(-1), QFileDevice::FileModificationTime));
    }

    StartupCopy copy(m_home->path(), QStringLiteral("hold"), QStringLiteral("Negozio"));
    QVERIFY2(copy.waitForLine(QStringLiteral("locked ")).size() > 0, qPrintable(copy.output()));
    QVERIFY(!copy.output().contains(QStringLiteral("box ")));
    // The lock is the copy's now, a real one: the next copy is refused.
    QLockFile reader(lockPath);
    qint64 pid = 0;
    QString host;
    QString application;
    QVERIFY(reader.getLockInfo(&pid, &host, &application));
    QVERIFY(pid > 0);
    StartupCopy next(m_home->path(), QStringLiteral("once"), QStringLiteral("Negozio"));
    QCOMPARE(next.exitCode(), 0);
    QVERIFY2(next.output().contains(QStringLiteral("box Programma già aperto")), qPrintable(next.output()));
    QVERIFY(!next.output().contains(QStringLiteral("locked ")));
    QVERIFY(copy.running());
}

void TestProfileLock::copiesStartedTogetherOnADamagedLock()
{
    // Copies that meet the same damaged lock at the same moment: one takes the profile, the
    // others are refused as by a running copy.
    const QString lockPath = dataFolder(QStringLiteral("Negozio")) + QStringLiteral("/Korvex2.lock");
    for (int round = 0; round < 3; ++round) {
        writeFile(lockPath, QByteArray());
        std::vector<std::unique_ptr<StartupCopy>> copies;
        for (int i = 0; i < 4; ++i)
            copies.push_back(std::make_unique<StartupCopy>(m_home->path(), QStringLiteral("hold"), QStringLiteral("Negozio")));
        int locked = 0;
        int refused = 0;
        for (auto &copy : copies) {
            // A copy either holds the lock (and runs on) or ends, refused.
            const QString line = copy->waitForLine(QStringLiteral("locked "));
            if (!line.isEmpty()) {
                ++locked;
                continue;
            }
            QCOMPARE(copy->exitCode(), 0);
            QVERIFY2(copy->output().contains(QStringLiteral("box Programma già aperto")), qPrintable(copy->output()));
            ++refused;
        }
        QCOMPARE(locked, 1);
        QCOMPARE(refused, 3);
        copies.clear(); // killed: the next round meets a lock whose owner is gone
        QFile::remove(lockPath);
    }
}

void TestProfileLock::liveCopyKeepsALockFileThatNamesNobody()
{
    // A running copy's lock file that lost its line (and long ago, by its time) is still the
    // running copy's: the system's lock on the file says so, and nothing removes it.
    StartupCopy first(m_home->path(), QStringLiteral("hold"), QStringLiteral("Negozio"));
    QVERIFY(first.waitForLine(QStringLiteral("locked ")).size() > 0);
    const QString lockPath = dataFolder(QStringLiteral("Negozio")) + QStringLiteral("/Korvex2.lock");
    {
        QFile file(lockPath);
        QVERIFY(file.open(QIODevice::ReadWrite));
        QVERIFY(file.resize(0));
        QVERIFY(file.setFileTime(QDateTime::currentDateTime().addDays(-1), QFileDevice::FileModificationTime));
    }
    StartupCopy second(m_home->path(), QStringLiteral("once"), QStringLiteral("Negozio"));
    QCOMPARE(second.exitCode(), 0);
    QVERIFY2(second.output().contains(QStringLiteral("box Programma già aperto")), qPrintable(second.output()));
    QVERIFY(!second.output().contains(QStringLiteral("locked ")));
    QVERIFY(QFile::exists(lockPath));
    QVERIFY(first.running());
}

void TestProfileLock::successorOfTheOwner_data()
{
    QTest::addColumn<bool>("ownerIsThePredecessor");
    // An update's new program, started by this process, which holds the lock and then ends.
    QTest::newRow("the predecessor holds the lock") << true;
    // The predecessor named is not the copy that holds the lock: no waiting.
    QTest::newRow("another copy holds the lock") << false;
}

void TestProfileLock::successorOfTheOwner()
{
    QFETCH(bool, ownerIsThePredecessor);
    const QString profile = QStringLiteral("Negozio");
    ProfileLock ours(dataFolder(profile));
    std::unique_ptr<StartupCopy> owner;
    if (ownerIsThePredecessor) {
        QCOMPARE(ours.acquire(), ProfileLock::Result::Acquired);
    } else {
        owner = std::make_unique<StartupCopy>(m_home->path(), QStringLiteral("hold"), profile);
        QVERIFY(owner->waitForLine(QStringLiteral("locked ")).size() > 0);
    }

    StartupCopy successor(m_home->path(), QStringLiteral("once"), profile, QCoreApplication::applicationPid());
    if (!ownerIsThePredecessor) {
        QCOMPARE(successor.exitCode(), 0);
        QVERIFY(successor.output().contains(QStringLiteral("box Programma già aperto")));
        QVERIFY(!successor.output().contains(QStringLiteral("waiting")));
        return;
    }
    // It waits while this process holds the lock, and takes it once the lock is let go, as
    // this process's end lets it go.
    QVERIFY2(successor.waitForLine(QStringLiteral("waiting")).size() > 0, qPrintable(successor.output()));
    QVERIFY(successor.running());
    ours.release();
    QVERIFY2(successor.waitForLine(QStringLiteral("locked ")).size() > 0, qPrintable(successor.output()));
    QCOMPARE(successor.exitCode(), 0);
    QVERIFY(!successor.output().contains(QStringLiteral("box ")));
}

QTEST_GUILESS_MAIN(TestProfileLock)
#include "tst_profilelock.moc"
