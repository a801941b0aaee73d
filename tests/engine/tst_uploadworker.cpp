// The upload worker sending one order to the laboratory simulator: what it sends, how each
// failure ends the run, and what the order file says afterwards.

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>

#include <QDir>
#include <QFile>
#include <QImage>
#include <QSemaphore>
#include <QJsonObject>
#include <QSignalSpy>
#include <QTest>

#include "enginefixture.h"
#include "korvexglobals.h"
#include "labsimulator.h"
#include "messagecatcher.h"
#include "ordine.h"
#include "ordini.h"
#include "ordineuploadthread.h"
#include "printimagerenderer.h"
#include "utente.h"
#include "wssettingslock.h"

namespace {

// What one run of a worker reported.
struct RunReport
{
    int terminals = 0;
    bool terminated = false;
    bool sent = false;
    bool stopped = false;
    QString error;
    QStringList missing;
    QList<QPair<int, int>> filesTerminated;
    int filesStarted = 0;
    bool progressWithinTotal = true;
    bool finished = false;
};

// What a test does while the run goes on.
struct RunHooks
{
    std::function<void(OrdineUploadThread &)> made; // before its thread starts
    std::function<void(OrdineUploadThread &)> started;
    std::function<void(OrdineUploadThread &, int)> fileStarted; // 1-based count of rows begun
    std::function<void(OrdineUploadThread &, qint64)> fileProgress;
};

} // namespace

class TestUploadWorker : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void skippedOrders_data();
    void skippedOrders();
    void sendsTheOrder();
    void settingsChangedDuringTheRun();
    void failures_data();
    void failures();
    void ftpFaults_data();
    void ftpFaults();
    void fileDeletedDuringTheRun();
    void stopDuringAServiceCallKeepsItsAnswer();
    void stopAbortsTheTransfer();
    void orderKnownToTheService_data();
    void orderKnownToTheService();

private:
    RunReport run(OrdiniLocal::OrdineLocal &ordine, const RunHooks &hooks = RunHooks());
    OrdiniLocal::OrdineLocal threeRowOrder();

    std::unique_ptr<EngineFixture> m_fixture;
};

void TestUploadWorker::initTestCase()
{
    qRegisterMetaType<QList<QFileInfo>>("QList<QFileInfo>");
}

void TestUploadWorker::init()
{
    m_fixture = std::make_unique<EngineFixture>();
    QVERIFY2(m_fixture->isValid(), qPrintable(m_fixture->errorString()));
    QVERIFY2(m_fixture->startLab(), qPrintable(m_fixture->errorString()));
}

void TestUploadWorker::cleanup()
{
    m_fixture.reset();
}

RunReport TestUploadWorker::run(OrdiniLocal::OrdineLocal &ordine, const RunHooks &hooks)
{
    RunReport report;
    OrdineUploadThread worker(ordine);
    connect(&worker, &OrdineUploadThread::orderTerminated, this, [&] {
        ++report.terminals;
        report.terminated = true;
        report.sent = worker.ordineInviato();
    });
    connect(&worker, &OrdineUploadThread::errorOccurred, this, [&](const QString &message) {
        ++report.terminals;
        report.error = message;
    });
    connect(&worker, &OrdineUploadThread::filesNotFound, this,
            [&](const QString &, const QList<QFileInfo> &files) {
                ++report.terminals;
                for (const QFileInfo &file : files)
                    report.missing << file.fileName();
            });
    connect(&worker, &OrdineUploadThread::uploadStopped, this, [&] {
        ++report.terminals;
        report.stopped = true;
    });
    connect(&worker, &OrdineUploadThread::fileTerminated, this,
            [&](int current, int total) { report.filesTerminated << qMakePair(current, total); });
    connect(&worker, &OrdineUploadThread::currentProcessingFileChanged, this, [&](const QFileInfo &) {
        ++report.filesStarted;
        if (hooks.fileStarted)
            hooks.fileStarted(worker, report.filesStarted);
    });
    connect(&worker, &OrdineUploadThread::globalFileProgress, this, [&](qint64 sent, qint64 total) {
        if (sent < 0 || sent > total)
            report.progressWithinTotal = false;
    });
    connect(&worker, &OrdineUploadThread::fileProgress, this, [&](qint64 sent, qint64) {
        if (hooks.fileProgress)
            hooks.fileProgress(worker, sent);
    });
    QSignalSpy finished(&worker, &QThread::finished);
    if (hooks.made)
        hooks.made(worker);
    worker.start();
    if (hooks.started)
        hooks.started(worker);
    report.finished = finished.wait(120000);
    worker.wait();
    // The signals queued before finished() have all been delivered by now.
    QCoreApplication::processEvents();
    return report;
}

OrdiniLocal::OrdineLocal TestUploadWorker::threeRowOrder()
{
    OrdiniLocal::OrdineLocal ordine = EngineFixture::order();
    ordine.righeFile << EngineFixture::fileRow(m_fixture->bytesFile(QStringLiteral("listino prezzi.pdf"), 300000, 1));
    ordine.righeStampa << EngineFixture::printRow(m_fixture->photo(QStringLiteral("mare.jpg"), QSize(1600, 1200), 2), 3, 1);
    ordine.righeStampa << EngineFixture::printRow(m_fixture->photo(QStringLiteral("monti.jpg"), QSize(1200, 1600), 3), 4, 2);
    ordine.righeStampa.last().Transformation.CropRect = QRectF(100, 200, 800, 1200);
    if (!m_fixture->save(ordine))
        qWarning("order not saved");
    return ordine;
}

void TestUploadWorker::skippedOrders_data()
{
    QTest::addColumn<bool>("attivo");
    QTest::addColumn<bool>("inviato");
    QTest::addColumn<int>("utente"); // -1: the logged-in customer's id
    QTest::addColumn<bool>("loggedIn");
    QTest::addColumn<bool>("fileMissing");
    QTest::addColumn<QString>("outcome"); // skipped, sent (already), missing

    QTest::newRow("inactive") << false << false << 0 << true << false << "skipped";
    QTest::newRow("inactive with a missing file") << false << false << 0 << true << true << "missing";
    QTest::newRow("already sent") << true << true << -1 << true << false << "sent";
    QTest::newRow("another customer's") << true << false << 99999 << true << false << "skipped";
    QTest::newRow("nobody logged in") << true << false << 0 << false << false << "skipped";
}

void TestUploadWorker::skippedOrders()
{
    QFETCH(bool, attivo);
    QFETCH(bool, inviato);
    QFETCH(int, utente);
    QFETCH(bool, loggedIn);
    QFETCH(bool, fileMissing);
    QFETCH(QString, outcome);

    OrdiniLocal::OrdineLocal ordine = EngineFixture::order();
    ordine.Attivo = attivo;
    ordine.Inviato = inviato;
    ordine.Utente = utente < 0 ? m_fixture->customer()->Getid() : utente;
    const QString path = m_fixture->bytesFile(QStringLiteral("a.bin"), 1000);
    ordine.righeFile << EngineFixture::fileRow(path);
    QVERIFY(m_fixture->save(ordine));
    if (fileMissing)
        QVERIFY(QFile::remove(path));
    if (!loggedIn)
        m_fixture->logout();

    const RunReport report = run(ordine);
    QVERIFY(report.finished);
    QCOMPARE(report.terminals, 1);
    if (outcome == QLatin1String("missing")) {
        QCOMPARE(report.missing, QStringList{QStringLiteral("a.bin")});
    } else {
        QVERIFY(report.terminated);
        QCOMPARE(report.sent, outcome == QLatin1String("sent"));
    }
    // The laboratory was not asked anything.
    QCOMPARE(m_fixture->lab().counts().fileRecords, 0);
    QCOMPARE(m_fixture->lab().counts().orders, 0);
    QVERIFY(m_fixture->orderFileExists(ordine.Uuid));
}

void TestUploadWorker::sendsTheOrder()
{
    OrdiniLocal::OrdineLocal ordine = threeRowOrder();
    const RunReport report = run(ordine);
    QVERIFY(report.finished);
    QCOMPARE(report.terminals, 1);
    QVERIFY2(report.terminated && report.sent, qPrintable(report.error));
    QCOMPARE(report.filesStarted, 3);
    // Positions count within each list, the total over both.
    const QList<QPair<int, int>> expected{{1, 3}, {1, 3}, {2, 3}};
    QCOMPARE(report.filesTerminated, expected);
    QVERIFY(report.progressWithinTotal);

    OrdiniLocal::OrdineLocal onDisk;
    QVERIFY(m_fixture->load(ordine.Uuid, onDisk));
    QVERIFY(onDisk.Inviato);
    QCOMPARE(onDisk.Utente, m_fixture->customer()->Getid());
    QVERIFY(!onDisk.WsId.isEmpty());
    QCOMPARE(m_fixture->sentRows(ordine.Uuid), 3);

    const EngineFixture::LabState lab = m_fixture->labState();
    QCOMPARE(lab.orders.size(), 1);
    const EngineFixture::LabOrder &order = lab.orders.first();
    QCOMPARE(order.id, onDisk.WsId);
    QCOMPARE(order.stato, 2);
    QCOMPARE(order.note, ordine.Note);
    QCOMPARE(order.clienteFinale, ordine.ClienteFinale);
    QCOMPARE(order.rows.size(), 3);
    QCOMPARE(order.rows.at(0).codiceArticolo, QStringLiteral("artfile"));
    QCOMPARE(order.rows.at(1).codiceArticolo, QStringLiteral("ST1015L"));
    QCOMPARE(order.rows.at(2).codiceArticolo, QStringLiteral("ST1015O"));
    QCOMPARE(order.rows.at(2).quantita, 2);
    QVERIFY2(m_fixture->checkNoDuplicateOrOrphan().isEmpty(), qPrintable(m_fixture->checkNoDuplicateOrOrphan()));

    // The file row's file arrived whole; each print is the rendering, of the format's size
    // turned to the photograph's orientation, while its record describes the photograph.
    const QList<OrdiniLocal::OrdineRigaStampaLocal> &stampe = onDisk.righeStampa;
    QFile sentFile(m_fixture->ftpLocalPath(onDisk.righeFile.at(0).WsFileId));
    QVERIFY(sentFile.open(QIODevice::ReadOnly));
    QFile original(ordine.righeFile.at(0).FilePath);
    QVERIFY(original.open(QIODevice::ReadOnly));
    QVERIFY(sentFile.readAll() == original.readAll());
    const QImage landscape(m_fixture->ftpLocalPath(stampe.at(0).WsFileId), "JPEG");
    QCOMPARE(landscape.size(), QSize(1772, 1181));
    const QImage cropped(m_fixture->ftpLocalPath(stampe.at(1).WsFileId), "JPEG");
    QCOMPARE(cropped.size(), QSize(1181, 1772));
    const EngineFixture::LabFile record = lab.files.value(stampe.at(0).WsFileId);
    QCOMPARE(record.nomeFile, QStringLiteral("mare.jpg"));
    QCOMPARE(record.dimensione, QFileInfo(ordine.righeStampa.at(0).FilePath).size());
    // No rendering is left behind.
    QCOMPARE(QDir(PrintImageRenderer::temporaryFolder()).entryList(QDir::Files).size(), 0);
}

void TestUploadWorker::settingsChangedDuringTheRun()
{
    // The GUI thread names another catalogue (one that cannot be opened) and another data
    // folder while the worker runs: the worker goes on with the ones it was made with.
    OrdiniLocal::OrdineLocal ordine = threeRowOrder();
    const QString catalogue = KorvexGlobals::SqlDbHost;
    const QString dataFolder = KorvexGlobals::appDataPath;
    RunHooks hooks;
    hooks.started = [&](OrdineUploadThread &) {
        KorvexGlobals::SqlDbHost = m_fixture->homePath() + QStringLiteral("/missing/korvex.s3db");
        KorvexGlobals::appDataPath = m_fixture->homePath() + QStringLiteral("/missing");
    };
    const RunReport report = run(ordine, hooks);
    KorvexGlobals::SqlDbHost = catalogue;
    KorvexGlobals::appDataPath = dataFolder;

    QVERIFY(report.finished);
    QVERIFY2(report.terminated && report.sent, qPrintable(report.error));
    QCOMPARE(m_fixture->sentRows(ordine.Uuid), 3);
    QCOMPARE(m_fixture->labState().orders.size(), 1);
}

void TestUploadWorker::failures_data()
{
    QTest::addColumn<QJsonObject>("knob");
    QTest::addColumn<QString>("message"); // the start of the error text
    QTest::addColumn<int>("rowsSent");     // rows marked sent in the order file afterwards

    const auto knob = [](const char *action, const char *operation, int skip = 0) {
        return QJsonObject{{QStringLiteral("action"), QLatin1String(action)},
                           {QStringLiteral("operation"), QLatin1String(operation)},
                           {QStringLiteral("skip"), skip}};
    };
    QTest::newRow("FTP settings fault")
        << knob("fault", "ottieniImpostazioniServerFTP")
        << "Impossibile ottenere le impostazioni del server FTP\n\nErrore simulato dal laboratorio" << 0;
    QTest::newRow("file record fault on the second row")
        << knob("fault", "inserisciFile", 1)
        << "Impossibile aggiungere le informazioni sul file nel database:\r\nErrore simulato dal laboratorio" << 1;
    QTest::newRow("file record without an id")
        << knob("false", "inserisciFile", 2)
        << "Impossibile aggiungere le informazioni sul file nel database:\r\n" << 2;
    QTest::newRow("catalogue fault") << knob("fault", "ottieniStampa") << "Errore simulato dal laboratorio" << 1;
    QTest::newRow("product not available")
        << knob("false", "ottieniStampa", 1)
        << "L'articolo n°ST1015O associato all'ordine non è disponibile." << 2;
    QTest::newRow("order insert fault")
        << knob("fault", "inserisciOrdine") << "Impossibile inserire l'ordine:\r\nErrore simulato dal laboratorio" << 3;
    QTest::newRow("order insert without an id")
        << knob("false", "inserisciOrdine") << "Impossibile inserire l'ordine:\r\n" << 3;
    QTest::newRow("order insert, HTTP error") << knob("httpError", "inserisciOrdine") << "Impossibile inserire l'ordine:\r\n" << 3;
}

void TestUploadWorker::failures()
{
    QFETCH(QJsonObject, knob);
    QFETCH(QString, message);
    QFETCH(int, rowsSent);

    OrdiniLocal::OrdineLocal ordine = threeRowOrder();
    QVERIFY(m_fixture->lab().control(knob));
    const RunReport report = run(ordine);
    QVERIFY(report.finished);
    QCOMPARE(report.terminals, 1);
    QVERIFY2(report.error.startsWith(message), qPrintable(report.error));

    OrdiniLocal::OrdineLocal onDisk;
    QVERIFY(m_fixture->load(ordine.Uuid, onDisk));
    QVERIFY(!onDisk.Inviato);
    QVERIFY(onDisk.WsId.isEmpty());
    QCOMPARE(m_fixture->sentRows(ordine.Uuid), rowsSent);
    QCOMPARE(m_fixture->lab().counts().orders, 0);
    // No rendering is left behind, also one made ahead for a row that was not reached.
    QCOMPARE(QDir(PrintImageRenderer::temporaryFolder()).entryList(QDir::Files).size(), 0);
    // Every row marked sent is on the FTP server under its record.
    for (const auto &riga : qAsConst(onDisk.righeStampa)) {
        if (riga.Inviata)
            QVERIFY(QFileInfo::exists(m_fixture->ftpLocalPath(riga.WsFileId)));
    }
}

void TestUploadWorker::ftpFaults_data()
{
    QTest::addColumn<QJsonObject>("knob");
    QTest::addColumn<bool>("sent");
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("attemptsFailed"); // upload attempts the worker reports as failed

    QTest::newRow("wrong password, not retried")
        << QJsonObject{{"action", "setFtpSettings"}, {"password", "sbagliata"}} << false << QString() << 0;
    QTest::newRow("stored short once, retried")
        << QJsonObject{{"action", "ftpStoreShort"}, {"times", 1}} << true << QString() << 1;
    QTest::newRow("connection dropped twice, retried")
        << QJsonObject{{"action", "ftpDropConnection"}, {"afterBytes", 65536}, {"times", 2}} << true << QString()
        << 2;
    QTest::newRow("stored short every time")
        << QJsonObject{{"action", "ftpStoreShort"}, {"times", 5}} << false
        << "Impossibile aggiungere l'articolo all'ordine:\r\nL'invio del file è fallito, riprovare a inviare l'ordine."
        << 5;
}

void TestUploadWorker::ftpFaults()
{
    QFETCH(QJsonObject, knob);
    QFETCH(bool, sent);
    QFETCH(QString, message);
    QFETCH(int, attemptsFailed);

    OrdiniLocal::OrdineLocal ordine = EngineFixture::order();
    const QString path = m_fixture->bytesFile(QStringLiteral("archivio.zip"), 400000, 5);
    ordine.righeFile << EngineFixture::fileRow(path);
    QVERIFY(m_fixture->save(ordine));
    QVERIFY(m_fixture->lab().control(knob));

    // The worker's log tells each failed attempt: a refusal is not tried again, and the
    // attempts are bounded.
    MessageCatcher log;
    const RunReport report = run(ordine);
    QVERIFY(report.finished);
    QCOMPARE(log.matching(QStringLiteral("FTP: attempt ")).size(), attemptsFailed);
    QCOMPARE(report.terminals, 1);
    QCOMPARE(report.sent, sent);
    if (!message.isEmpty())
        QCOMPARE(report.error, message);

    OrdiniLocal::OrdineLocal onDisk;
    QVERIFY(m_fixture->load(ordine.Uuid, onDisk));
    const OrdiniLocal::OrdineRigaFileLocal &riga = onDisk.righeFile.at(0);
    QCOMPARE(riga.Inviata, sent);
    // The row's file record was registered before the upload, whatever came of it.
    QVERIFY(!riga.WsFileId.isEmpty());
    if (sent)
        QCOMPARE(QFileInfo(m_fixture->ftpLocalPath(riga.WsFileId)).size(), QFileInfo(path).size());
}

void TestUploadWorker::fileDeletedDuringTheRun()
{
    OrdiniLocal::OrdineLocal ordine = threeRowOrder();
    const QString last = ordine.righeStampa.at(1).FilePath;
    // The worker waits for the catalogue on the last row while the photograph goes.
    LabSimulator &lab = m_fixture->lab();
    QVERIFY(lab.holdAnswer(QStringLiteral("ottieniStampa"), 1, 1));
    RunHooks hooks;
    hooks.started = [&](OrdineUploadThread &) {
        QVERIFY(QTest::qWaitFor([&] { return lab.heldCalls() == 1; }, 60000));
        QVERIFY(QFile::remove(last));
        QVERIFY(lab.releaseHeld());
    };
    const RunReport report = run(ordine, hooks);
    QVERIFY(report.finished);
    QCOMPARE(report.terminals, 1);
    QCOMPARE(report.missing, QStringList{QStringLiteral("monti.jpg")});
    QCOMPARE(m_fixture->sentRows(ordine.Uuid), 2);
    OrdiniLocal::OrdineLocal onDisk;
    QVERIFY(m_fixture->load(ordine.Uuid, onDisk));
    QVERIFY(onDisk.righeStampa.at(1).WsFileId.isEmpty());
    QCOMPARE(lab.counts().orders, 0);
}

void TestUploadWorker::stopDuringAServiceCallKeepsItsAnswer()
{
    OrdiniLocal::OrdineLocal ordine = threeRowOrder();
    // The laboratory makes the first file record and holds its answer; the stop is asked for
    // meanwhile, and returns while the worker still waits.
    LabSimulator &lab = m_fixture->lab();
    QVERIFY(lab.holdAnswer(QStringLiteral("inserisciFile"), 1, 0, true));
    bool runningAfterStop = false;
    RunHooks hooks;
    hooks.started = [&](OrdineUploadThread &worker) {
        QVERIFY(QTest::qWaitFor([&] { return lab.heldCalls() == 1; }, 60000));
        worker.requestStop();
        runningAfterStop = worker.isRunning();
        QVERIFY(lab.releaseHeld());
    };
    const RunReport report = run(ordine, hooks);
    QVERIFY(report.finished);
    QVERIFY(runningAfterStop);
    QCOMPARE(report.terminals, 1);
    QVERIFY(report.stopped);
    // The file record the laboratory made was recorded before the run ended.
    OrdiniLocal::OrdineLocal onDisk;
    QVERIFY(m_fixture->load(ordine.Uuid, onDisk));
    const EngineFixture::LabState labState = m_fixture->labState();
    QCOMPARE(labState.files.size(), 1);
    QCOMPARE(onDisk.righeFile.at(0).WsFileId, labState.files.firstKey());
    QVERIFY(!onDisk.righeFile.at(0).Inviata);
}

void TestUploadWorker::stopAbortsTheTransfer()
{
    OrdiniLocal::OrdineLocal ordine = EngineFixture::order();
    const qint64 size = qint64(200) << 20;
    const QString path = m_fixture->bytesFile(QStringLiteral("video.mov"), size, 9);
    ordine.righeFile << EngineFixture::fileRow(path);
    QVERIFY(m_fixture->save(ordine));

    // The stop comes from the GUI thread on the first progress report, while the worker's
    // thread waits in that report: the transfer cannot end before it, at any speed.
    bool stopAsked = false;
    QSemaphore stopDone;
    std::atomic<bool> waited{false};
    RunHooks hooks;
    hooks.made = [&](OrdineUploadThread &worker) {
        connect(&worker, &OrdineUploadThread::fileProgress, &worker,
                [&](qint64 sent, qint64) {
                    if (sent > 0 && !waited.exchange(true))
                        stopDone.tryAcquire(1, 60000);
                },
                Qt::DirectConnection);
    };
    hooks.fileProgress = [&](OrdineUploadThread &worker, qint64 sent) {
        if (sent > 0 && !stopAsked) {
            stopAsked = true;
            worker.requestStop();
            stopDone.release();
        }
    };
    const RunReport report = run(ordine, hooks);
    QVERIFY(report.finished);
    QVERIFY(stopAsked);
    QCOMPARE(report.terminals, 1);
    QVERIFY(report.stopped);
    // The transfer was cut short, not finished: a whole upload would have marked the row sent.
    OrdiniLocal::OrdineLocal onDisk;
    QVERIFY(m_fixture->load(ordine.Uuid, onDisk));
    QVERIFY(!onDisk.righeFile.at(0).Inviata);
    QVERIFY(!onDisk.righeFile.at(0).WsFileId.isEmpty());
    QVERIFY(QFileInfo(m_fixture->ftpLocalPath(onDisk.righeFile.at(0).WsFileId)).size() < size);
}

void TestUploadWorker::orderKnownToTheService_data()
{
    QTest::addColumn<int>("remoteState");
    QTest::addColumn<bool>("modified");
    QTest::newRow("not sent yet: modified") << 1 << true;
    QTest::newRow("in progress: a new order") << 5 << false;
}

void TestUploadWorker::orderKnownToTheService()
{
    QFETCH(int, remoteState);
    QFETCH(bool, modified);

    // The laboratory already holds the order, without rows, from an earlier attempt.
    std::string remoteId;
    {
        {
            std::lock_guard<std::mutex> lock(korvexWsSettingsMutex());
            Ordini::WsEndpoint = KorvexGlobals::WsEndpoint.toStdString();
            Ordini::WsUsername = LabSimulator::DemoUser;
            Ordini::WsPassword = LabSimulator::DemoPassword;
        }
        Ordine remote(m_fixture->customer());
        remote.stato = remoteState;
        remote.note = "vecchia nota";
        QVERIFY(remote.inserisci());
        remoteId = remote.Getguid();
    }
    OrdiniLocal::OrdineLocal ordine = EngineFixture::order();
    ordine.WsId = QString::fromStdString(remoteId);
    ordine.righeFile << EngineFixture::fileRow(m_fixture->bytesFile(QStringLiteral("uno.bin"), 5000, 1));
    ordine.righeStampa << EngineFixture::printRow(m_fixture->photo(QStringLiteral("due.jpg")));
    QVERIFY(m_fixture->save(ordine));

    const RunReport report = run(ordine);
    QVERIFY2(report.sent, qPrintable(report.error));

    OrdiniLocal::OrdineLocal onDisk;
    QVERIFY(m_fixture->load(ordine.Uuid, onDisk));
    const EngineFixture::LabState lab = m_fixture->labState();
    QCOMPARE(lab.orders.size(), modified ? 1 : 2);
    QCOMPARE(onDisk.WsId == ordine.WsId, modified);
    const EngineFixture::LabOrder *sent = nullptr;
    for (const EngineFixture::LabOrder &order : lab.orders) {
        if (order.id == onDisk.WsId)
            sent = &order;
    }
    QVERIFY(sent);
    // The laboratory holds the order as sent now: its note, its state, this run's rows.
    QCOMPARE(sent->note, ordine.Note);
    QCOMPARE(sent->stato, 2);
    QCOMPARE(sent->rows.size(), 2);
    QCOMPARE(sent->rows.at(0).idFile, onDisk.righeFile.at(0).WsFileId);
    QCOMPARE(sent->rows.at(1).idFile, onDisk.righeStampa.at(0).WsFileId);
}

QTEST_GUILESS_MAIN(TestUploadWorker)
#include "tst_uploadworker.moc"
