// The upload worker beside a GUI thread that rewrites another queued order's file while an
// order is being sent, many times over: several sending processes at once, beside a CPU load
// made by the test. Every run must end with the order sent and the waiting order left as the
// window wrote it; a fault of memory shows as a process ended by a signal.
//
// KORVEX_RACE_RUNS (default 50) sets the runs of each case, KORVEX_RACE_PARALLEL (default 4)
// the processes at once; KORVEX_RACE_WRAPPER runs each process under a tool
// ("valgrind --error-exitcode=9").

#include <atomic>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QTest>
#include <QTimer>

#include "enginefixture.h"
#include "korvexglobals.h"
#include "labsimulator.h"
#include "utente.h"

namespace {

int setting(const char *name, int fallback)
{
    bool ok = false;
    const int value = qEnvironmentVariableIntValue(name, &ok);
    return ok && value > 0 ? value : fallback;
}

// Busy threads that keep the processors loaded while they live.
class CpuLoad
{
public:
    explicit CpuLoad(int threads)
    {
        for (int i = 0; i < threads; ++i) {
            m_threads.emplace_back([this] {
                volatile unsigned long spin = 0;
                while (!m_stop.load(std::memory_order_relaxed))
                    spin = spin + 1;
            });
        }
    }
    ~CpuLoad()
    {
        m_stop = true;
        for (std::thread &thread : m_threads)
            thread.join();
    }
    CpuLoad(const CpuLoad &) = delete;
    CpuLoad &operator=(const CpuLoad &) = delete;

private:
    std::atomic<bool> m_stop{false};
    std::vector<std::thread> m_threads;
};

// One sending process's world: a data folder with its own catalogue copy, settings folder
// and queue of orders.
struct Run
{
    QString folder;
    QString sentUuid;
    QString rewriteUuid;
};

} // namespace

class TestUploadRace : public QObject
{
    Q_OBJECT

private slots:
    void rewriteDuringSend_data();
    void rewriteDuringSend();

private:
    bool prepareRun(EngineFixture &fixture, int number, bool prints, Run &run);
    QStringList runAll(const QList<Run> &runs, int parallel, qint64 limitMs);

    QString m_bigFile;
    QString m_smallFile;
    QString m_waitingFile;
    QStringList m_photos;
};

bool TestUploadRace::prepareRun(EngineFixture &fixture, int number, bool prints, Run &run)
{
    run.folder = fixture.homePath() + QStringLiteral("/run-%1").arg(number);
    const QString orders = run.folder + QStringLiteral("/orders_queue");
    if (!QDir().mkpath(orders) || !QDir().mkpath(run.folder + QStringLiteral("/config"))
        || !QFile::copy(KorvexGlobals::SqlDbHost, run.folder + QStringLiteral("/korvex.s3db")))
        return false;

    const QDateTime created = QDateTime::currentDateTime().addSecs(-600);
    const int customer = fixture.customer()->Getid();
    OrdiniLocal store;

    // The head of the queue: two rows, so that the first row's report comes while the second
    // is being sent.
    OrdiniLocal::OrdineLocal head = EngineFixture::order();
    head.Data = created;
    head.Utente = customer;
    if (prints) {
        head.righeStampa << EngineFixture::printRow(m_photos.at(0)) << EngineFixture::printRow(m_photos.at(1));
    } else {
        head.righeFile << EngineFixture::fileRow(m_bigFile) << EngineFixture::fileRow(m_smallFile);
    }

    // Waiting behind it, the order the window cancels; an inactive order and another
    // customer's order that the queue leaves alone.
    OrdiniLocal::OrdineLocal waiting = EngineFixture::order();
    waiting.Data = created.addSecs(60);
    waiting.Utente = customer;
    waiting.righeFile << EngineFixture::fileRow(m_waitingFile);
    OrdiniLocal::OrdineLocal inactive = waiting;
    inactive.Data = created.addSecs(120);
    inactive.Attivo = false;
    OrdiniLocal::OrdineLocal foreign = waiting;
    foreign.Data = created.addSecs(180);
    foreign.Utente = customer + 1000;

    for (OrdiniLocal::OrdineLocal *ordine : {&head, &waiting, &inactive, &foreign}) {
        if (!store.SaveXML(*ordine, orders))
            return false;
    }
    run.sentUuid = head.Uuid;
    run.rewriteUuid = waiting.Uuid;
    return true;
}

// Runs the sending processes, `parallel` at once; the descriptions of the runs that failed.
QStringList TestUploadRace::runAll(const QList<Run> &runs, int parallel, qint64 limitMs)
{
    QStringList failures;
    QEventLoop loop;
    int next = 0;
    int running = 0;
    QElapsedTimer clock;
    clock.start();

    std::function<void()> launch = [&] {
        while (running < parallel && next < runs.size()) {
            if (clock.elapsed() > limitMs) {
                failures << QStringLiteral("%1 runs not started within %2 s").arg(runs.size() - next).arg(limitMs / 1000);
                next = runs.size();
                break;
            }
            const Run &run = runs.at(next);
            const int number = next++;
            auto *child = new QProcess(&loop);
            QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
            environment.insert(QStringLiteral("QT_LOGGING_RULES"), QStringLiteral("*.debug=false"));
            environment.insert(QStringLiteral("HOME"), run.folder);
            environment.insert(QStringLiteral("XDG_CONFIG_HOME"), run.folder + QStringLiteral("/config"));
            // Every thread on one heap arena: a block freed too early on one thread is soon
            // handed to another, where a late write into it shows.
            environment.insert(QStringLiteral("MALLOC_ARENA_MAX"), QStringLiteral("1"));
            child->setProcessEnvironment(environment);
            auto *limit = new QTimer(child);
            limit->setSingleShot(true);
            QObject::connect(limit, &QTimer::timeout, child, [child] { child->kill(); });
            QObject::connect(child, qOverload<int, QProcess::ExitStatus>(&QProcess::finished), &loop,
                             [&, child, number](int code, QProcess::ExitStatus status) {
                                 if (status != QProcess::NormalExit || code != 0) {
                                     const QString said = QString::fromLocal8Bit(child->readAllStandardError()).trimmed();
                                     failures << QStringLiteral("run %1: %2 %3%4")
                                                     .arg(number)
                                                     .arg(status == QProcess::NormalExit ? QStringLiteral("exit code")
                                                                                         : QStringLiteral("signal"))
                                                     .arg(code)
                                                     .arg(said.isEmpty() ? QString() : QStringLiteral(" (") + said.right(300) + QLatin1Char(')'));
                                 }
                                 child->deleteLater();
                                 --running;
                                 launch();
                                 if (running == 0)
                                     loop.quit();
                             });
            ++running;
            QStringList command = qEnvironmentVariable("KORVEX_RACE_WRAPPER").split(QLatin1Char(' '), Qt::SkipEmptyParts);
            command << QStringLiteral(KORVEX_REWRITECHILD);
            const QString program = command.takeFirst();
            child->start(program, command + QStringList
                         {QStringLiteral("--endpoint"), KorvexGlobals::WsEndpoint, QStringLiteral("--data"), run.folder,
                          QStringLiteral("--db"), run.folder + QStringLiteral("/korvex.s3db"), QStringLiteral("--profile"),
                          KorvexGlobals::iccColorProfileLocation, QStringLiteral("--user"),
                          QLatin1String(LabSimulator::DemoUser), QStringLiteral("--password"),
                          QLatin1String(LabSimulator::DemoPassword), QStringLiteral("--sent"), run.sentUuid,
                          QStringLiteral("--rewrite"), run.rewriteUuid});
            limit->start(120000);
        }
    };
    launch();
    if (running > 0)
        loop.exec();
    return failures;
}

void TestUploadRace::rewriteDuringSend_data()
{
    QTest::addColumn<bool>("prints");
    QTest::newRow("file rows") << false;
    QTest::newRow("print rows, the next rendered ahead") << true;
}

void TestUploadRace::rewriteDuringSend()
{
    QFETCH(bool, prints);
    const int runs = setting("KORVEX_RACE_RUNS", 50);
    const int parallel = setting("KORVEX_RACE_PARALLEL", 4);

    EngineFixture fixture;
    QVERIFY2(fixture.isValid(), qPrintable(fixture.errorString()));
    QVERIFY2(fixture.startLab(), qPrintable(fixture.errorString()));
    m_bigFile = fixture.bytesFile(QStringLiteral("primo.bin"), 120000, 1);
    m_smallFile = fixture.bytesFile(QStringLiteral("secondo.bin"), 90000, 2);
    m_waitingFile = fixture.bytesFile(QStringLiteral("in-attesa.bin"), 50000, 3);
    m_photos = QStringList{fixture.photo(QStringLiteral("uno.jpg"), QSize(1600, 1200), 4),
                           fixture.photo(QStringLiteral("due.jpg"), QSize(1200, 1600), 5)};
    QVERIFY(!m_bigFile.isEmpty() && !m_smallFile.isEmpty() && !m_waitingFile.isEmpty());
    QVERIFY(!m_photos.at(0).isEmpty() && !m_photos.at(1).isEmpty());

    QList<Run> all;
    for (int i = 0; i < runs; ++i) {
        Run run;
        QVERIFY(prepareRun(fixture, i, prints, run));
        all << run;
    }

    QElapsedTimer clock;
    clock.start();
    QStringList failures;
    {
        const CpuLoad load(2);
        failures = runAll(all, parallel, 400000);
    }
    qInfo().noquote() << QStringLiteral("%1 runs, %2 at once: %3 failed, %4 s")
                             .arg(runs)
                             .arg(parallel)
                             .arg(failures.size())
                             .arg(clock.elapsed() / 1000.0, 0, 'f', 1);
    QVERIFY2(failures.isEmpty(), qPrintable(QStringLiteral("%1 of %2 runs failed:\n").arg(failures.size()).arg(runs)
                                            + failures.mid(0, 10).join(QLatin1Char('\n'))));

    // The laboratory holds each run's order once, with both rows, and nothing else.
    const EngineFixture::LabState lab = fixture.labState();
    QCOMPARE(lab.orders.size(), runs);
    for (const EngineFixture::LabOrder &order : lab.orders)
        QCOMPARE(order.rows.size(), 2);
    const QString fault = fixture.checkNoDuplicateOrOrphan();
    QVERIFY2(fault.isEmpty(), qPrintable(fault));
}

QTEST_GUILESS_MAIN(TestUploadRace)
#include "tst_uploadrace.moc"
