// The knobs through which tests make the laboratory fail: a SOAP fault, an HTTP error or
// an answer of false on a named operation, a delayed, held or lost answer, FTP uploads that fail,
// break off or are stored short, update files that fail in their ways, and the refusal of a
// wrong command.

#include "labsimsoap.h"
#include "labsimulator.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QJsonArray>
#include <QJsonObject>
#include <QScopeGuard>
#include <QTest>

#include <atomic>
#include <thread>
#include <vector>

using namespace labsimsoap;

class TestLabSimKnobs : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void faultOnNamedOperation();
    void httpError_data();
    void httpError();
    void answerFalse_data();
    void answerFalse();
    void delayedAnswer();
    void heldAnswer_data();
    void heldAnswer();
    void resetLetsHeldCallsGo();
    void droppedAnswerAfterTheWorkIsDone();
    void wrongCommandsAreRefused_data();
    void wrongCommandsAreRefused();
    void ftpFaults();
    void updateFileKnobs_data();
    void updateFileKnobs();

private:
    LabSimulator m_sim;
};

namespace {

// Starts curl uploading a file to the simulator's FTP server.
void startUpload(QProcess &curl, const LabSimulator &sim, const QString &localPath, const QString &remoteName)
{
    curl.start(QStringLiteral("/usr/bin/curl"),
               {QStringLiteral("--silent"), QStringLiteral("--ftp-pasv"), QStringLiteral("--max-time"),
                QStringLiteral("120"), QStringLiteral("--user"),
                QStringLiteral("%1:%2").arg(QLatin1String(LabSimulator::FtpUser), QLatin1String(LabSimulator::FtpPassword)),
                QStringLiteral("--upload-file"), localPath,
                QStringLiteral("ftp://%1:%2/%3/%4").arg(sim.ftpHost()).arg(sim.ftpPort())
                    .arg(QLatin1String(LabSimulator::FtpFolder), remoteName)});
}

// Uploads a file with curl; true when curl reports success.
bool upload(const LabSimulator &sim, const QString &localPath, const QString &remoteName)
{
    QProcess curl;
    startUpload(curl, sim, localPath, remoteName);
    return curl.waitForFinished(150000) && curl.exitStatus() == QProcess::NormalExit && curl.exitCode() == 0;
}

qint64 storedSize(const LabSimulator &sim, const QString &remoteName)
{
    const QFileInfo stored(sim.ftpRoot() + QLatin1Char('/') + QLatin1String(LabSimulator::FtpFolder)
                           + QLatin1Char('/') + remoteName);
    return stored.exists() ? stored.size() : -1;
}

LabSimulator::HttpReply esiste(const LabSimulator &sim, const QByteArray &user = "demo")
{
    return account(sim, "esisteUtente", "<esisteUtenteRequest>" + user + "</esisteUtenteRequest>");
}

} // namespace

void TestLabSimKnobs::initTestCase()
{
    QVERIFY2(m_sim.start(), qPrintable(m_sim.errorString()));
}

void TestLabSimKnobs::init()
{
    QVERIFY2(m_sim.resetKnobs(), qPrintable(m_sim.errorString()));
}

void TestLabSimKnobs::faultOnNamedOperation()
{
    // The second and third calls fail; the first and the fourth are served.
    QVERIFY2(m_sim.injectFault(QStringLiteral("esisteUtente"), QStringLiteral("Database non raggiungibile"), 2, 1),
             qPrintable(m_sim.errorString()));
    QCOMPARE(esiste(m_sim).status, 200);
    for (int i = 0; i < 2; ++i) {
        const LabSimulator::HttpReply reply = esiste(m_sim);
        QCOMPARE(reply.status, 500);
        QCOMPARE(faultCode(reply.body), QStringLiteral("SOAP-ENV:Server"));
        QCOMPARE(faultString(reply.body), QStringLiteral("Database non raggiungibile"));
        // Other operations are not touched.
        QCOMPARE(account(m_sim, "login", loginRequest("demo", "demo")).status, 200);
    }
    const LabSimulator::HttpReply served = esiste(m_sim);
    QCOMPARE(served.status, 200);
    QCOMPARE(text(served.body, QStringLiteral("esisteUtenteResponse")), QStringLiteral("true"));

    // A fault on every call, until the knobs are reset; the fault code is the test's choice.
    QVERIFY(m_sim.control({{QStringLiteral("action"), QStringLiteral("fault")},
                           {QStringLiteral("operation"), QStringLiteral("*")},
                           {QStringLiteral("code"), QStringLiteral("SOAP-ENV:Client")},
                           {QStringLiteral("times"), -1}}));
    for (int i = 0; i < 3; ++i)
        QCOMPARE(faultCode(esiste(m_sim).body), QStringLiteral("SOAP-ENV:Client"));
    QVERIFY(m_sim.resetKnobs());
    QCOMPARE(esiste(m_sim).status, 200);
}

void TestLabSimKnobs::httpError_data()
{
    QTest::addColumn<int>("status");
    QTest::newRow("server error") << 500;
    QTest::newRow("unavailable") << 503;
    QTest::newRow("an HTML page with status 200") << 200;
}

void TestLabSimKnobs::httpError()
{
    QFETCH(int, status);
    QVERIFY(m_sim.injectHttpError(QStringLiteral("inserisciFile"), status));
    const LabSimulator::HttpReply reply = ordini(m_sim, "inserisciFile", fileRecord("a.jpg", 10));
    QCOMPARE(reply.status, status);
    QVERIFY(reply.headers.value("content-type").startsWith("text/html"));
    QVERIFY(!reply.body.contains("Envelope"));
    QCOMPARE(m_sim.counts().fileRecords, 0);
    // Once only.
    QCOMPARE(ordini(m_sim, "listaStatiOrdine", {}).status, 200);
}

void TestLabSimKnobs::answerFalse_data()
{
    QTest::addColumn<QByteArray>("operation");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("answer"); // null: no child at all

    QTest::newRow("boolean") << QByteArray("impostaStatoOrdine")
        << QByteArray("<impostaStatoOrdineRequest><IdOrdine>O1</IdOrdine><Stato>3</Stato></impostaStatoOrdineRequest>")
        << QStringLiteral("false");
    QTest::newRow("new id") << QByteArray("inserisciFile") << fileRecord("a.jpg", 10) << QStringLiteral("");
    QTest::newRow("record") << QByteArray("listaStatiOrdine") << QByteArray() << QString();
}

void TestLabSimKnobs::answerFalse()
{
    QFETCH(QByteArray, operation);
    QFETCH(QByteArray, content);
    QFETCH(QString, answer);

    const LabSimulator::Counts before = m_sim.counts();
    QVERIFY(m_sim.answerFalse(QString::fromLatin1(operation)));
    const LabSimulator::HttpReply reply = ordini(m_sim, operation, content);
    QCOMPARE(reply.status, 200);
    QCOMPARE(count(reply.body, QString::fromLatin1(operation + "Response")), answer.isNull() ? 1 : 2);
    QCOMPARE(text(reply.body, QString::fromLatin1(operation + "Response")).trimmed(),
             answer.isNull() ? QString(QLatin1String("")) : answer);
    // The operation was not carried out.
    QCOMPARE(m_sim.counts().fileRecords, before.fileRecords);
}

void TestLabSimKnobs::delayedAnswer()
{
    // A delay is a lower bound: a busy machine only makes the wait longer.
    QVERIFY(m_sim.delayAnswer(QStringLiteral("login"), 700));
    QElapsedTimer timer;
    timer.start();
    QCOMPARE(account(m_sim, "login", loginRequest("demo", "demo")).status, 200);
    QVERIFY2(timer.elapsed() >= 700, qPrintable(QString::number(timer.elapsed())));
    QVERIFY(m_sim.status().value(QStringLiteral("knobs")).toArray().isEmpty());
}

void TestLabSimKnobs::heldAnswer_data()
{
    QTest::addColumn<bool>("afterWork");
    QTest::newRow("held before the work") << false;
    QTest::newRow("held after the work") << true;
}

void TestLabSimKnobs::heldAnswer()
{
    QFETCH(bool, afterWork);
    const int before = m_sim.counts().fileRecords;
    // The second file record is held; the first is served.
    QVERIFY2(m_sim.holdAnswer(QStringLiteral("inserisciFile"), 1, 1, afterWork), qPrintable(m_sim.errorString()));
    QCOMPARE(ordini(m_sim, "inserisciFile", fileRecord("a.jpg", 10)).status, 200);
    QCOMPARE(m_sim.heldCalls(), 0);

    // The held call, on a thread of its own, waits as long as the test needs.
    const QByteArray body = envelope("<ordini:inserisciFile>" + fileRecord("b.jpg", 20) + "</ordini:inserisciFile>",
                                     authentication("ordini", LabSimulator::DemoUser, LabSimulator::DemoPassword));
    std::atomic<bool> answered{false};
    LabSimulator::HttpReply heldReply;
    std::thread caller([&] {
        heldReply = m_sim.request("POST", QStringLiteral("ordini.php"), body,
                                  {{"Content-Type", "text/xml; charset=utf-8"},
                                   {"SOAPAction", "\"" + OrdiniNs + "inserisciFile\""}},
                                  600000);
        answered = true;
    });
    auto join = qScopeGuard([&] {
        m_sim.resetKnobs();
        caller.join();
    });
    QTRY_COMPARE_WITH_TIMEOUT(m_sim.heldCalls(QStringLiteral("inserisciFile")), 1, 60000);

    // Meanwhile the other calls are served; the held one's work is done or not, as asked.
    QCOMPARE(esiste(m_sim).status, 200);
    QCOMPARE(ordini(m_sim, "inserisciFile", fileRecord("c.jpg", 30)).status, 200);
    QCOMPARE(m_sim.counts().fileRecords, before + (afterWork ? 3 : 2));
    QCOMPARE(m_sim.heldCalls(), 1);
    QCOMPARE(m_sim.heldCalls(QStringLiteral("login")), 0);
    QVERIFY(!answered);

    // A release of another operation leaves it; its own lets it go.
    QVERIFY(m_sim.releaseHeld(QStringLiteral("login")));
    QCOMPARE(m_sim.heldCalls(), 1);
    QVERIFY(!answered);
    QVERIFY(m_sim.releaseHeld(QStringLiteral("inserisciFile"), 1));
    QTRY_VERIFY_WITH_TIMEOUT(answered, 60000);
    QCOMPARE(heldReply.status, 200);
    QCOMPARE(text(heldReply.body, QStringLiteral("inserisciFileResponse")).left(1), QStringLiteral("F"));
    QCOMPARE(m_sim.counts().fileRecords, before + 3);
    QCOMPARE(m_sim.heldCalls(), 0);
}

void TestLabSimKnobs::resetLetsHeldCallsGo()
{
    // Every call held, until the knobs are reset.
    QVERIFY(m_sim.holdAnswer(QStringLiteral("*"), -1));
    std::atomic<int> answered{0};
    std::vector<std::thread> callers;
    for (int i = 0; i < 3; ++i)
        callers.emplace_back([&] {
            const LabSimulator::HttpReply reply = m_sim.request(
                "POST", QStringLiteral("account.php"),
                envelope("<account:esisteUtente><esisteUtenteRequest>demo</esisteUtenteRequest></account:esisteUtente>"),
                {{"Content-Type", "text/xml; charset=utf-8"}, {"SOAPAction", "\"" + AccountNs + "esisteUtente\""}},
                600000);
            if (reply.status == 200)
                ++answered;
        });
    auto join = qScopeGuard([&] {
        m_sim.resetKnobs();
        for (std::thread &caller : callers)
            caller.join();
    });
    QTRY_COMPARE_WITH_TIMEOUT(m_sim.heldCalls(QStringLiteral("esisteUtente")), 3, 60000);
    QCOMPARE(answered.load(), 0);
    QVERIFY(m_sim.resetKnobs());
    QTRY_COMPARE_WITH_TIMEOUT(answered.load(), 3, 60000);
    QCOMPARE(m_sim.heldCalls(), 0);
    QCOMPARE(esiste(m_sim).status, 200);
}

void TestLabSimKnobs::droppedAnswerAfterTheWorkIsDone()
{
    // The laboratory stores the record, then the answer never arrives.
    const int before = m_sim.counts().fileRecords;
    QVERIFY(m_sim.control({{QStringLiteral("action"), QStringLiteral("dropAnswer")},
                           {QStringLiteral("operation"), QStringLiteral("inserisciFile")}}));
    const LabSimulator::HttpReply reply = ordini(m_sim, "inserisciFile", fileRecord("b.jpg", 20));
    QCOMPARE(reply.status, 0);
    QCOMPARE(m_sim.counts().fileRecords, before + 1);
}

void TestLabSimKnobs::wrongCommandsAreRefused_data()
{
    QTest::addColumn<QJsonObject>("command");
    QTest::addColumn<QString>("says");
    QTest::newRow("unknown action") << QJsonObject{{QStringLiteral("action"), QStringLiteral("explode")}}
                                    << QStringLiteral("unknown action 'explode'");
    QTest::newRow("unknown operation")
        << QJsonObject{{QStringLiteral("action"), QStringLiteral("fault")},
                       {QStringLiteral("operation"), QStringLiteral("inserisciOrdini")}}
        << QStringLiteral("no service has an operation 'inserisciOrdini'");
    QTest::newRow("no operation") << QJsonObject{{QStringLiteral("action"), QStringLiteral("false")}}
                                  << QStringLiteral("'operation'");
}

void TestLabSimKnobs::wrongCommandsAreRefused()
{
    QFETCH(QJsonObject, command);
    QFETCH(QString, says);
    QVERIFY(!m_sim.control(command));
    QVERIFY2(m_sim.errorString().contains(says), qPrintable(m_sim.errorString()));
    QVERIFY(m_sim.status().value(QStringLiteral("knobs")).toArray().isEmpty());
}

void TestLabSimKnobs::ftpFaults()
{
    const qint64 size = 300000;
    QTemporaryDir local;
    const QString path = local.filePath(QStringLiteral("foto.jpg"));
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QByteArray data(int(size), Qt::Uninitialized);
        for (int i = 0; i < data.size(); ++i)
            data[i] = char(i * 7);
        file.write(data);
    }

    // Two uploads fail, the third goes through.
    QVERIFY2(m_sim.failFtpUploads(2), qPrintable(m_sim.errorString()));
    QVERIFY(!upload(m_sim, path, QStringLiteral("F1")));
    QVERIFY(!upload(m_sim, path, QStringLiteral("F1")));
    QVERIFY(upload(m_sim, path, QStringLiteral("F1")));
    QCOMPARE(storedSize(m_sim, QStringLiteral("F1")), size);

    // Stored short while the server answers success.
    QVERIFY(m_sim.storeFtpUploadsShort(1000));
    QVERIFY(upload(m_sim, path, QStringLiteral("F2")));
    QCOMPARE(storedSize(m_sim, QStringLiteral("F2")), size - 1000);

    // The connection drops in the middle of the transfer; the part received stays.
    QVERIFY(m_sim.dropFtpConnection(65536));
    QVERIFY(!upload(m_sim, path, QStringLiteral("F3")));
    const qint64 partial = storedSize(m_sim, QStringLiteral("F3"));
    QVERIFY2(partial >= 0 && partial < size, qPrintable(QString::number(partial)));

    // Used up: the next upload is whole.
    QVERIFY(upload(m_sim, path, QStringLiteral("F4")));
    QCOMPARE(storedSize(m_sim, QStringLiteral("F4")), size);
    QCOMPARE(m_sim.counts().ftpFiles, 4);

    // A reset clears the FTP knobs too.
    QVERIFY(m_sim.failFtpUploads(5));
    QVERIFY(m_sim.resetKnobs());
    QVERIFY(upload(m_sim, path, QStringLiteral("F5")));

    // Held: the second upload is received whole, and its completion waits for the test.
    QVERIFY(m_sim.holdFtpUploads(1, 1));
    QVERIFY(upload(m_sim, path, QStringLiteral("F6")));
    QProcess curl;
    startUpload(curl, m_sim, path, QStringLiteral("F7"));
    QTRY_COMPARE_WITH_TIMEOUT(m_sim.heldFtpUploads(), 1, 60000);
    QCOMPARE(storedSize(m_sim, QStringLiteral("F7")), size);
    QCOMPARE(curl.state(), QProcess::Running);
    QVERIFY(m_sim.releaseFtpUploads());
    QVERIFY(curl.waitForFinished(150000));
    QCOMPARE(curl.exitCode(), 0);
    QCOMPARE(m_sim.heldFtpUploads(), 0);
    // Used up: the next upload is not held.
    QVERIFY(upload(m_sim, path, QStringLiteral("F8")));
}


void TestLabSimKnobs::updateFileKnobs_data()
{
    QTest::addColumn<QJsonObject>("knob");
    QTest::addColumn<int>("status");          // 0: no whole answer
    QTest::addColumn<QByteArray>("location");
    QTest::addColumn<bool>("hasLength");
    QTest::addColumn<int>("bodySize");        // -1: not looked at
    QTest::addColumn<int>("atLeastMs");
    const int size = 200000;
    QTest::newRow("no knob") << QJsonObject() << 200 << QByteArray() << true << size << 0;
    QTest::newRow("status") << QJsonObject{{"status", 503}} << 503 << QByteArray() << true << -1 << 0;
    QTest::newRow("redirect") << QJsonObject{{"location", "ftp://127.0.0.1/x.zip"}} << 302
                              << QByteArray("ftp://127.0.0.1/x.zip") << true << 0 << 0;
    QTest::newRow("no length") << QJsonObject{{"noContentLength", true}} << 200 << QByteArray() << false << size << 0;
    QTest::newRow("rate") << QJsonObject{{"rate", 400000}} << 200 << QByteArray() << true << size << 400;
    QTest::newRow("dropped after 1000 bytes") << QJsonObject{{"dropAfter", 1000}} << 0 << QByteArray() << true << -1
                                              << 0;
    QTest::newRow("stalled after 1000 bytes") << QJsonObject{{"stallAfter", 1000}} << 0 << QByteArray() << true << -1
                                              << 0;
}

void TestLabSimKnobs::updateFileKnobs()
{
    QFETCH(QJsonObject, knob);
    QFETCH(int, status);
    QFETCH(QByteArray, location);
    QFETCH(bool, hasLength);
    QFETCH(int, bodySize);
    QFETCH(int, atLeastMs);
    QFile file(m_sim.updatesDir() + QStringLiteral("/dati.bin"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    QVERIFY(file.write(QByteArray(200000, 'k')) == 200000);
    file.close();
    if (!knob.isEmpty()) {
        knob.insert("action", "updateFileKnob");
        knob.insert("file", "dati.bin");
        QVERIFY2(m_sim.control(knob), qPrintable(m_sim.errorString()));
    }
    QElapsedTimer clock;
    clock.start();
    // A stalled download is given up after 2 s; the others have as long as a busy machine needs.
    const int timeoutMs = knob.contains(QStringLiteral("stallAfter")) ? 2000 : 60000;
    const LabSimulator::HttpReply reply =
        m_sim.request("GET", QStringLiteral("aggiornamenti/dati.bin"), {}, {}, timeoutMs);
    QCOMPARE(reply.status, status);
    QVERIFY(clock.elapsed() >= atLeastMs);
    if (status == 0)
        return;
    QCOMPARE(reply.headers.value("location"), location);
    QCOMPARE(reply.headers.contains("content-length"), hasLength);
    if (bodySize >= 0)
        QCOMPARE(reply.body.size(), bodySize);
    // A knob acts once: the next download is plain.
    QCOMPARE(m_sim.request("GET", QStringLiteral("aggiornamenti/dati.bin")).body.size(), 200000);
}

QTEST_GUILESS_MAIN(TestLabSimKnobs)
#include "tst_labsimknobs.moc"
