// The program's end as a customer meets it: the whole program (gui_startupchild "window",
// which runs main()'s steps) in a process of its own, against the laboratory simulator.

#include <memory>

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QTest>

#include "guifixture.h"
#include "korvexglobals.h"
#include "labsimulator.h"
#include "startupcopy.h"

class TestProgramEnd : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void esciWhileTheLaboratoryHoldsACall();
    void esciWhileTheLaboratoryAnswersAnOrderRecord();

private:
    // The held calls would otherwise end at the client's time-out.
    static QProcessEnvironment patientEnvironment()
    {
        QProcessEnvironment environment;
        environment.insert(QStringLiteral("KORVEX2_WS_TIMEOUT"), QStringLiteral("600"));
        return environment;
    }
    QStringList queuedOrderFiles() const
    {
        return QDir(KorvexGlobals::ordersQueuePath()).entryList({QStringLiteral("*.kv2")}, QDir::Files);
    }

    std::unique_ptr<GuiFixture> m_fixture;
    std::unique_ptr<LabSimulator> m_sim;
};

void TestProgramEnd::initTestCase()
{
    m_fixture = std::make_unique<GuiFixture>();
    m_sim = std::make_unique<LabSimulator>();
    QVERIFY2(m_sim->start(), qPrintable(m_sim->errorString()));
}

void TestProgramEnd::init()
{
    QVERIFY(m_sim->resetKnobs());
    QVERIFY(m_sim->clearRequests());
    for (const QString &name : queuedOrderFiles())
        QFile::remove(KorvexGlobals::ordersQueuePath() + QLatin1Char('/') + name);
    m_fixture->storeSettings(m_sim->baseUrl(), QString::fromLatin1(LabSimulator::DemoUser),
                             QString::fromLatin1(LabSimulator::DemoPassword), true);
}

void TestProgramEnd::esciWhileTheLaboratoryHoldsACall()
{
    // A customer whose two orders start sending at login; the laboratory is slow to hand out
    // the FTP server, and the customer quits meanwhile.
    GuiFixture::queueFileOrder({m_fixture->bytesFile(QStringLiteral("uno.pdf"), 30000)});
    GuiFixture::queueFileOrder({m_fixture->bytesFile(QStringLiteral("due.pdf"), 20000)});
    const LabSimulator::Counts before = m_sim->counts();
    QVERIFY(m_sim->holdAnswer(QStringLiteral("ottieniImpostazioniServerFTP")));
    const QProcessEnvironment patient = patientEnvironment();
    const QString lockPath = m_fixture->dataFolder() + QStringLiteral("/Korvex2.lock");

    {
        StartupCopy program(m_fixture->home(), QStringLiteral("window"), QString(), 0, patient);
        QTRY_VERIFY_WITH_TIMEOUT(m_sim->heldCalls(QStringLiteral("ottieniImpostazioniServerFTP")) == 1, 120000);
        QVERIFY(QFile::exists(lockPath));
        program.send("esci");
        QVERIFY2(!program.waitForLine(QStringLiteral("esci")).isEmpty(), qPrintable(program.output()));
        // The process ends while the laboratory still holds the call, and its lock goes with it.
        QCOMPARE(program.exitCode(), 0);
        QCOMPARE(m_sim->heldCalls(QStringLiteral("ottieniImpostazioniServerFTP")), 1);
        QVERIFY(!QFile::exists(lockPath));
        QVERIFY(!program.output().contains(QStringLiteral("box ")));
    }
    QVERIFY(m_sim->releaseHeld());
    QCOMPARE(queuedOrderFiles().size(), 2);
    QCOMPARE(m_sim->counts().orders, before.orders);

    // The next start takes the profile and sends both orders, each once.
    StartupCopy next(m_fixture->home(), QStringLiteral("window"), QString(), 0, patient);
    QTRY_VERIFY_WITH_TIMEOUT(queuedOrderFiles().isEmpty() && m_sim->counts().orders == before.orders + 2, 120000);
    next.send("esci");
    QCOMPARE(next.exitCode(), 0);
    QVERIFY(!next.output().contains(QStringLiteral("box ")));
    const LabSimulator::Counts after = m_sim->counts();
    QCOMPARE(after.orders, before.orders + 2);
    QCOMPARE(after.fileRecords, before.fileRecords + 2);
    QCOMPARE(m_sim->requests(QStringLiteral("inserisciOrdine")).size(), 2);
    QVERIFY(!QFile::exists(lockPath));
}

void TestProgramEnd::esciWhileTheLaboratoryAnswersAnOrderRecord()
{
    // The laboratory has stored the order and its answer is slow to come when the customer
    // quits: ended then, the program would insert the order again at its next start. It waits
    // for that answer and records it.
    GuiFixture::queueFileOrder({m_fixture->bytesFile(QStringLiteral("tre.pdf"), 20000)});
    const LabSimulator::Counts before = m_sim->counts();
    QVERIFY(m_sim->holdAnswer(QStringLiteral("inserisciOrdine"), 1, 0, true));

    StartupCopy program(m_fixture->home(), QStringLiteral("window"), QString(), 0, patientEnvironment());
    QTRY_VERIFY_WITH_TIMEOUT(m_sim->heldCalls(QStringLiteral("inserisciOrdine")) == 1, 120000);
    QCOMPARE(m_sim->counts().orders, before.orders + 1);
    program.send("esci");
    QVERIFY2(!program.waitForLine(QStringLiteral("recording")).isEmpty(), qPrintable(program.output()));
    QVERIFY(program.running());
    QVERIFY(m_sim->releaseHeld());
    QCOMPARE(program.exitCode(), 0);
    QVERIFY(!program.output().contains(QStringLiteral("box ")));

    // The order went once, and its file went with it: no start sends it again.
    QVERIFY(queuedOrderFiles().isEmpty());
    QCOMPARE(m_sim->counts().orders, before.orders + 1);
    QCOMPARE(m_sim->requests(QStringLiteral("inserisciOrdine")).size(), 1);
}

QTEST_GUILESS_MAIN(TestProgramEnd)
#include "tst_programend.moc"
