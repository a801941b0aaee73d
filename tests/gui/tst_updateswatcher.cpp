// The update watcher against the simulator's update service: which versions count as an
// update, the signals of a whole check as its owner sees them, and the release of a check
// whose query is still running.

#include <QPointer>
#include <QSignalSpy>
#include <QTest>
#include <QThread>

#include <algorithm>
#include <atomic>
#include <memory>
#include <mutex>
#include <thread>

#include "korvex2.h"
#include "wssettingslock.h"

#include "guifixture.h"
#include "korvexglobals.h"
#include "labsimulator.h"
#include "updateswatcher.h"

namespace {

// Writes down the watcher's signals in the order they reach the GUI thread.
class SignalLog : public QObject
{
    Q_OBJECT
public:
    explicit SignalLog(UpdatesWatcher *watcher)
    {
        connect(watcher, &UpdatesWatcher::errorOccurred, this,
                [this](const QString &, const QString &message) {
                    names << QStringLiteral("errorOccurred");
                    messages << message;
                });
        connect(watcher, &UpdatesWatcher::requestTerminated, this, [this] { names << QStringLiteral("requestTerminated"); });
        connect(watcher, &UpdatesWatcher::newUpdateAvailable, this,
                [this](korvex2__IdComponenteType type) { names << QStringLiteral("newUpdateAvailable(%1)").arg(int(type)); });
        connect(watcher, &UpdatesWatcher::noUpdatesAvailable, this, [this] { names << QStringLiteral("noUpdatesAvailable"); });
    }
    QStringList names;
    QStringList messages;
};

} // namespace

class TestUpdatesWatcher : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void programVersions_data();
    void programVersions();
    void dataVersions_data();
    void dataVersions();
    void signalsOfAFullCheck_data();
    void signalsOfAFullCheck();
    void emptyEndpointIsReported();
    void releaseDuringAQueryReturnsAtOnce();
    void checksOnSeveralThreadsAtOnce();

private:
    std::unique_ptr<GuiFixture> fixture;
    std::unique_ptr<LabSimulator> sim;
};

void TestUpdatesWatcher::initTestCase()
{
    fixture = std::make_unique<GuiFixture>();
    sim = std::make_unique<LabSimulator>();
    QVERIFY2(sim->start(), qPrintable(sim->errorString()));
}

void TestUpdatesWatcher::init()
{
    QVERIFY(sim->resetKnobs());
    KorvexGlobals::WsEndpoint = sim->baseUrl();
    KorvexGlobals::ServiceDataDbVersion = 5;
    // No update until a test announces one.
    QVERIFY(!sim->setUpdate(3, 2, 1, 13, QString()).isNull());
    QVERIFY(!sim->setUpdate(2, 5, 0, 0, QString()).isNull());
}

void TestUpdatesWatcher::programVersions_data()
{
    QTest::addColumn<int>("major");
    QTest::addColumn<int>("minor");
    QTest::addColumn<int>("build");
    QTest::addColumn<int>("reported");
    QTest::addColumn<bool>("update");
    QTest::newRow("2.1.13 is the version in use") << 2 << 1 << 13 << 3 << false;
    QTest::newRow("2.1.14") << 2 << 1 << 14 << 3 << true;
    QTest::newRow("2.2.0") << 2 << 2 << 0 << 3 << true;
    QTest::newRow("3.0.0") << 3 << 0 << 0 << 3 << true;
    QTest::newRow("2.0.99") << 2 << 0 << 99 << 3 << false;
    QTest::newRow("1.9.99") << 1 << 9 << 99 << 3 << false;
    QTest::newRow("installer component 0") << 2 << 1 << 14 << 0 << true;
    QTest::newRow("answer names the data") << 9 << 0 << 0 << 2 << false;
    QTest::newRow("answer names an unknown id") << 9 << 0 << 0 << 7 << false;
}

void TestUpdatesWatcher::programVersions()
{
    QFETCH(int, major);
    QFETCH(int, minor);
    QFETCH(int, build);
    QFETCH(int, reported);
    QFETCH(bool, update);
    const QString url = sim->setUpdate(3, major, minor, build, QStringLiteral("Korvex2Client.zip"), reported);
    QVERIFY(!url.isEmpty());
    UpdatesWatcher watcher;
    QSignalSpy found(&watcher, &UpdatesWatcher::newUpdateAvailable);
    QSignalSpy answered(&watcher, &UpdatesWatcher::requestTerminated);
    QCOMPARE(watcher.checkForProgramUpdates(), update);
    QCOMPARE(answered.count(), 1);
    QCOMPARE(found.count(), update ? 1 : 0);
    if (update) {
        QCOMPARE(found.first().first().value<korvex2__IdComponenteType>(), korvex2__IdComponenteType(reported));
        QCOMPARE(watcher.item.major, major);
        QCOMPARE(watcher.item.minor, minor);
        QCOMPARE(watcher.item.build, build);
        QCOMPARE(QString::fromStdString(watcher.item.url), url);
    }
}

void TestUpdatesWatcher::dataVersions_data()
{
    QTest::addColumn<int>("major");
    QTest::addColumn<int>("minor");
    QTest::addColumn<int>("build");
    QTest::addColumn<int>("reported");
    QTest::addColumn<bool>("update");
    QTest::newRow("5.0.0 is the version in use") << 5 << 0 << 0 << 2 << false;
    QTest::newRow("4.9.9") << 4 << 9 << 9 << 2 << false;
    QTest::newRow("5.0.1") << 5 << 0 << 1 << 2 << true;
    QTest::newRow("5.1.0") << 5 << 1 << 0 << 2 << true;
    QTest::newRow("6.0.0") << 6 << 0 << 0 << 2 << true;
    QTest::newRow("5 with negative minor") << 5 << -1 << 9 << 2 << false;
    QTest::newRow("answer names the program") << 6 << 0 << 0 << 3 << false;
}

void TestUpdatesWatcher::dataVersions()
{
    QFETCH(int, major);
    QFETCH(int, minor);
    QFETCH(int, build);
    QFETCH(int, reported);
    QFETCH(bool, update);
    QVERIFY(!sim->setUpdate(2, major, minor, build, QStringLiteral("korvex.s3db"), reported).isEmpty());
    UpdatesWatcher watcher;
    QSignalSpy found(&watcher, &UpdatesWatcher::newUpdateAvailable);
    QSignalSpy nothing(&watcher, &UpdatesWatcher::noUpdatesAvailable);
    QCOMPARE(watcher.checkForServiceDataUpdates(), update);
    QCOMPARE(found.count(), update ? 1 : 0);
    QCOMPARE(nothing.count(), update ? 0 : 1);
    if (update)
        QCOMPARE(found.first().first().value<korvex2__IdComponenteType>(), korvex2__IdComponenteType__DatiServizio);
}

void TestUpdatesWatcher::signalsOfAFullCheck_data()
{
    QTest::addColumn<bool>("programNewer");
    QTest::addColumn<bool>("dataNewer");
    QTest::addColumn<int>("faults"); // failed queries, from the first
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("program newer") << true << true << 0
                                   << QStringList{"requestTerminated", "newUpdateAvailable(3)"};
    QTest::newRow("data newer") << false << true << 0
                                << QStringList{"requestTerminated", "requestTerminated", "newUpdateAvailable(2)"};
    QTest::newRow("both current") << false << false << 0
                                  << QStringList{"requestTerminated", "requestTerminated", "noUpdatesAvailable"};
    QTest::newRow("program query failed, data current")
        << true << false << 1 << QStringList{"errorOccurred", "requestTerminated", "noUpdatesAvailable"};
    QTest::newRow("program query failed, data newer")
        << true << true << 1 << QStringList{"errorOccurred", "requestTerminated", "newUpdateAvailable(2)"};
    QTest::newRow("both queries failed") << true << true << 2 << QStringList{"errorOccurred", "errorOccurred"};
}

void TestUpdatesWatcher::signalsOfAFullCheck()
{
    QFETCH(bool, programNewer);
    QFETCH(bool, dataNewer);
    QFETCH(int, faults);
    QFETCH(QStringList, expected);
    if (programNewer)
        QVERIFY(!sim->setUpdate(3, 2, 2, 0, QStringLiteral("Korvex2Client.zip")).isEmpty());
    if (dataNewer)
        QVERIFY(!sim->setUpdate(2, 6, 0, 0, QStringLiteral("korvex.s3db")).isEmpty());
    if (faults > 0)
        QVERIFY(sim->injectFault("ottieniAggiornamento", QStringLiteral("Servizio in manutenzione, riprovare più tardi"), faults));

    // As the owners do it: a thread of its own, started through started().
    auto *thread = new QThread;
    auto *watcher = new UpdatesWatcher;
    watcher->moveToThread(thread);
    connect(thread, &QThread::started, watcher, &UpdatesWatcher::checkForUpdates);
    SignalLog log(watcher);
    thread->start();
    QTRY_COMPARE_WITH_TIMEOUT(log.names.size(), expected.size(), 60000);
    QTest::qWait(100); // nothing more comes
    QCOMPARE(log.names, expected);
    for (const QString &message : qAsConst(log.messages))
        QCOMPARE(message, QStringLiteral("Servizio in manutenzione, riprovare più tardi"));
    // The thread keeps its loop after the check, until its owner ends it.
    QVERIFY(thread->isRunning());
    QPointer<UpdatesWatcher> watcherAlive(watcher);
    QPointer<QThread> threadAlive(thread);
    releaseUpdatesCheck(thread, watcher);
    QTRY_VERIFY_WITH_TIMEOUT(!watcherAlive && !threadAlive, 60000);
}

void TestUpdatesWatcher::emptyEndpointIsReported()
{
    KorvexGlobals::WsEndpoint.clear();
    UpdatesWatcher watcher;
    QSignalSpy errors(&watcher, &UpdatesWatcher::errorOccurred);
    QSignalSpy answered(&watcher, &UpdatesWatcher::requestTerminated);
    QSignalSpy nothing(&watcher, &UpdatesWatcher::noUpdatesAvailable);
    QVERIFY(!watcher.checkForUpdates());
    QCOMPARE(errors.count(), 2);
    QCOMPARE(answered.count(), 0);
    QCOMPARE(nothing.count(), 0);
    QVERIFY(!errors.first().at(1).toString().isEmpty());
}

void TestUpdatesWatcher::releaseDuringAQueryReturnsAtOnce()
{
    // The laboratory holds the query: the release returns while the thread still waits in it.
    QVERIFY(sim->holdAnswer("ottieniAggiornamento"));
    auto *thread = new QThread;
    auto *watcher = new UpdatesWatcher;
    watcher->moveToThread(thread);
    connect(thread, &QThread::started, watcher, &UpdatesWatcher::checkForUpdates);
    SignalLog log(watcher);
    thread->start();
    QTRY_COMPARE_WITH_TIMEOUT(sim->heldCalls(), 1, 60000);
    QPointer<UpdatesWatcher> watcherAlive(watcher);
    QPointer<QThread> threadAlive(thread);
    releaseUpdatesCheck(thread, watcher);
    QVERIFY(threadAlive && watcherAlive);
    QVERIFY(thread->isRunning());
    QCOMPARE(sim->heldCalls(), 1);
    // Let go, the query ends, the thread with it, and both go; nothing reaches the old owner.
    QVERIFY(sim->releaseHeld());
    QTRY_VERIFY_WITH_TIMEOUT(!watcherAlive && !threadAlive, 60000);
    QVERIFY(log.names.isEmpty());

    // A check never started is released at once.
    auto *idle = new QThread;
    auto *idleWatcher = new UpdatesWatcher;
    idleWatcher->moveToThread(idle);
    QPointer<QThread> idleAlive(idle);
    releaseUpdatesCheck(idle, idleWatcher);
    QVERIFY(!idleAlive);
}

void TestUpdatesWatcher::checksOnSeveralThreadsAtOnce()
{
    // Watchers write the library's connection settings from their threads, as the upload
    // worker does from its own: several checks at once all reach the service and agree.
    QVERIFY(!sim->setUpdate(2, 6, 0, 0, QStringLiteral("korvex.s3db")).isEmpty());
    constexpr int checks = 6;
    constexpr int rounds = 4;
    // Meanwhile another thread writes the same settings as the upload worker does: under the
    // lock, with texts of changing length.
    std::atomic<bool> stop{false};
    const std::string withSlash = sim->baseUrl().toStdString();
    const std::string withoutSlash = withSlash.substr(0, withSlash.size() - 1);
    std::thread worker([&] {
        for (int i = 0; !stop; ++i) {
            std::lock_guard<std::mutex> lock(korvexWsSettingsMutex());
            korvex2::WsEndpoint = (i % 2) ? withSlash : withoutSlash;
            korvex2::WsUsername = (i % 2) ? std::string("demo") : std::string(200, 'u');
            korvex2::WsPassword = (i % 2) ? std::string("demo") : std::string(300, 'p');
        }
    });
    QList<QPointer<QThread>> released;
    for (int round = 0; round < rounds; ++round) {
        QList<QThread *> threads;
        QList<UpdatesWatcher *> watchers;
        QList<std::shared_ptr<SignalLog>> logs;
        for (int i = 0; i < checks; ++i) {
            auto *thread = new QThread;
            auto *watcher = new UpdatesWatcher;
            watcher->moveToThread(thread);
            connect(thread, &QThread::started, watcher, &UpdatesWatcher::checkForUpdates);
            logs << std::make_shared<SignalLog>(watcher);
            threads << thread;
            watchers << watcher;
        }
        for (QThread *thread : qAsConst(threads))
            thread->start();
        for (const auto &log : qAsConst(logs))
            QTRY_COMPARE_WITH_TIMEOUT(log->names.size(), 3, 60000);
        for (const auto &log : qAsConst(logs))
            QCOMPARE(log->names, (QStringList{"requestTerminated", "requestTerminated", "newUpdateAvailable(2)"}));
        for (int i = 0; i < checks; ++i) {
            released << threads[i];
            releaseUpdatesCheck(threads[i], watchers[i]);
        }
    }
    stop = true;
    worker.join();
    {
        std::lock_guard<std::mutex> lock(korvexWsSettingsMutex());
        korvex2::WsUsername.clear();
        korvex2::WsPassword.clear();
    }
    // Every released thread has ended and gone before the test does.
    QTRY_VERIFY_WITH_TIMEOUT(std::none_of(released.cbegin(), released.cend(),
                                          [](const QPointer<QThread> &thread) { return !thread.isNull(); }),
                             60000);
}

QTEST_GUILESS_MAIN(TestUpdatesWatcher)
#include "tst_updateswatcher.moc"
