// The upload queue sending orders to the laboratory simulator: whole queues, a resumed
// order, stopping and cancelling while a worker is busy, priorities written meanwhile.

#include <memory>

#include <QDateTime>
#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include "enginefixture.h"
#include "korvexglobals.h"
#include "labsimulator.h"
#include "ordinefile.h"
#include "ordineupload.h"
#include "undeletablequeue.h"
#include "utente.h"

namespace {

// The queue's signals in the order they came, by name (with the argument that matters).
class SignalLog : public QObject
{
public:
    explicit SignalLog(OrdineUpload &queue)
    {
        connect(&queue, &OrdineUpload::startProcessingQueue, this, [this] { entries << QStringLiteral("start"); });
        connect(&queue, &OrdineUpload::stopProcessingQueue, this, [this] { entries << QStringLiteral("stop"); });
        connect(&queue, &OrdineUpload::finishedProcessingQueue, this, [this] { entries << QStringLiteral("finished"); });
        connect(&queue, &OrdineUpload::orderTerminated, this,
                [this](int left) { entries << QStringLiteral("order %1").arg(left); });
        connect(&queue, &OrdineUpload::queueChanged, this,
                [this](int size) { entries << QStringLiteral("queue %1").arg(size); });
        connect(&queue, &OrdineUpload::fileTerminated, this,
                [this](int current, int total) { entries << QStringLiteral("file %1/%2").arg(current).arg(total); });
        connect(&queue, &OrdineUpload::currentProcessingFileChanged, this,
                [this](const QFileInfo &file) { entries << QStringLiteral("begin ") + file.fileName(); });
        connect(&queue, &OrdineUpload::errorOccurred, this,
                [this](const QString &message) { entries << QStringLiteral("error ") + message; });
        connect(&queue, &OrdineUpload::filesNotFound, this,
                [this](const QString &, const QList<QFileInfo> &) { entries << QStringLiteral("missing"); });
        connect(&queue, &OrdineUpload::CurrentOrderGlobalFileProgress, this, [this](qint64 sent, qint64 total) {
            if (sent < 0 || sent > total)
                progressBeyondTotal = true;
        });
    }

    QStringList without(const QString &prefix) const
    {
        QStringList kept;
        for (const QString &entry : entries) {
            if (!entry.startsWith(prefix))
                kept << entry;
        }
        return kept;
    }

    QStringList entries;
    bool progressBeyondTotal = false;
};

} // namespace

class TestUploadSend : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void threeOrdersEndToEnd();
    void resumeAfterTheConnectionDropped();
    void stopReturnsAtOnce();
    void cancelTheOrderBeingSent();
    void prioritiesWrittenWhileSendingKeepTheRows();
    void orderQueuedAsTheLastOneEnds();
    void orderWhoseFileAnotherProgramRemovedIsNotRegistered_data();
    void orderWhoseFileAnotherProgramRemovedIsNotRegistered();
    void runRemembersWhatItSentAcrossTheQueuesRestarts();
    void runRemembersItsUndeletableOrderAcrossARestart();
    void orderFileUnderAnotherNameIsSentOnce_data();
    void orderFileUnderAnotherNameIsSentOnce();

private:
    OrdiniLocal::OrdineLocal savedOrder(const QString &note, int prints, int files, int seed);

    std::unique_ptr<EngineFixture> m_fixture;
};

void TestUploadSend::initTestCase()
{
    qRegisterMetaType<QList<QFileInfo>>("QList<QFileInfo>");
}

void TestUploadSend::init()
{
    m_fixture = std::make_unique<EngineFixture>();
    QVERIFY2(m_fixture->isValid(), qPrintable(m_fixture->errorString()));
    QVERIFY2(m_fixture->startLab(), qPrintable(m_fixture->errorString()));
}

void TestUploadSend::cleanup()
{
    m_fixture.reset();
}

OrdiniLocal::OrdineLocal TestUploadSend::savedOrder(const QString &note, int prints, int files, int seed)
{
    OrdiniLocal::OrdineLocal ordine = EngineFixture::order();
    ordine.Note = note;
    // Orders made with a higher seed are younger.
    ordine.Data = QDateTime::currentDateTime().addSecs(seed - 1000);
    for (int i = 0; i < files; ++i) {
        ordine.righeFile << EngineFixture::fileRow(
            m_fixture->bytesFile(QStringLiteral("%1-file%2.bin").arg(seed).arg(i), 200000 + 1000 * i, seed * 10 + i));
    }
    for (int i = 0; i < prints; ++i) {
        const QSize size = i % 2 ? QSize(1200, 1600) : QSize(1600, 1200);
        ordine.righeStampa << EngineFixture::printRow(
            m_fixture->photo(QStringLiteral("%1-foto%2.jpg").arg(seed).arg(i), size, seed * 10 + i), 3 + i % 2,
            1 + i % 2);
    }
    if (!m_fixture->save(ordine))
        qWarning("order not saved");
    return ordine;
}

void TestUploadSend::threeOrdersEndToEnd()
{
    // Created in this order; the last has the lowest priority number, the first none.
    OrdiniLocal::OrdineLocal first = savedOrder(QStringLiteral("primo"), 2, 1, 1);
    OrdiniLocal::OrdineLocal second = savedOrder(QStringLiteral("secondo"), 1, 0, 2);
    second.Priorita = 1;
    QVERIFY(m_fixture->save(second));
    OrdiniLocal::OrdineLocal third = savedOrder(QStringLiteral("terzo"), 0, 2, 3);
    third.Priorita = 0;
    QVERIFY(m_fixture->save(third));

    OrdineUpload queue;
    SignalLog log(queue);
    QSignalSpy finished(&queue, &OrdineUpload::finishedProcessingQueue);
    queue.startUpload();
    QVERIFY(queue.processingUploads());
    QVERIFY(finished.wait(120000));
    QVERIFY(!queue.processingUploads());
    QCOMPARE(queue.queueSize(), 0);

    // Sending order: no priority first, then priorities ascending.
    const QStringList expected{
        "start", "begin 1-file0.bin", "file 1/3", "begin 1-foto0.jpg", "file 1/3", "begin 1-foto1.jpg", "file 2/3",
        "order 2", "queue 2",
        "start", "begin 3-file0.bin", "file 1/2", "begin 3-file1.bin", "file 2/2", "order 1", "queue 1",
        "start", "begin 2-foto0.jpg", "file 1/1", "order 0", "queue 0", "finished"};
    QCOMPARE(log.entries, expected);
    QVERIFY(!log.progressBeyondTotal);
    QVERIFY(m_fixture->orderFiles().isEmpty());

    const EngineFixture::LabState lab = m_fixture->labState();
    QCOMPARE(lab.orders.size(), 3);
    QCOMPARE(lab.orders.at(0).note, QStringLiteral("primo"));
    QCOMPARE(lab.orders.at(1).note, QStringLiteral("terzo"));
    QCOMPARE(lab.orders.at(2).note, QStringLiteral("secondo"));
    QCOMPARE(lab.orders.at(0).rows.size(), 3);
    QCOMPARE(lab.orders.at(1).rows.size(), 2);
    QCOMPARE(lab.orders.at(2).rows.size(), 1);
    for (const EngineFixture::LabOrder &order : lab.orders)
        QCOMPARE(order.idUtente, m_fixture->customer()->Getid());
    const QString fault = m_fixture->checkNoDuplicateOrOrphan();
    QVERIFY2(fault.isEmpty(), qPrintable(fault));

    // Each file once, whole; each print rendered to its format.
    for (const EngineFixture::LabRow &row : lab.rows) {
        const QString stored = m_fixture->ftpLocalPath(row.idFile);
        const EngineFixture::LabFile record = lab.files.value(row.idFile);
        if (row.tipoRiga == 1) {
            QCOMPARE(QFileInfo(stored).size(), record.dimensione);
        } else {
            // Fitted on white it has the format's size; a crop fits inside it.
            const QImage print(stored, "JPEG");
            const int longer = qMax(print.width(), print.height());
            const int shorter = qMin(print.width(), print.height());
            QVERIFY2(longer <= 1772 && shorter <= 1181 && (longer == 1772 || shorter == 1181),
                     qPrintable(record.nomeFile));
        }
    }
}

void TestUploadSend::resumeAfterTheConnectionDropped()
{
    OrdiniLocal::OrdineLocal ordine = savedOrder(QStringLiteral("ripreso"), 1, 2, 4);
    // The second upload loses its connection on every attempt.
    QVERIFY(m_fixture->lab().control(QJsonObject{{"action", "ftpDropConnection"}, {"afterBytes", 50000},
                                                 {"times", 5}, {"skip", 1}}));

    OrdineUpload queue;
    SignalLog log(queue);
    QSignalSpy error(&queue, &OrdineUpload::errorOccurred);
    QSignalSpy start(&queue, &OrdineUpload::startProcessingQueue);
    queue.startUpload();
    QVERIFY(error.wait(60000));
    QTRY_VERIFY_WITH_TIMEOUT(!queue.processingUploads(), 60000);
    QCOMPARE(queue.queueSize(), 1);
    QCOMPARE(start.count(), 1);

    OrdiniLocal::OrdineLocal onDisk;
    QVERIFY(m_fixture->load(ordine.Uuid, onDisk));
    QVERIFY(onDisk.righeFile.at(0).Inviata);
    QVERIFY(!onDisk.righeFile.at(1).Inviata);
    const QString registered = onDisk.righeFile.at(1).WsFileId;
    QVERIFY(!registered.isEmpty());
    QVERIFY(onDisk.righeStampa.at(0).WsFileId.isEmpty());
    QCOMPARE(m_fixture->lab().counts().fileRecords, 2);
    QCOMPARE(m_fixture->lab().counts().orders, 0);

    // Started again, it reuses the second row's record and sends only the rest.
    QSignalSpy finished(&queue, &OrdineUpload::finishedProcessingQueue);
    queue.startUpload();
    QVERIFY(finished.wait(60000));
    QVERIFY(!m_fixture->orderFileExists(ordine.Uuid));
    const EngineFixture::LabState lab = m_fixture->labState();
    QCOMPARE(lab.orders.size(), 1);
    QCOMPARE(lab.orders.at(0).rows.size(), 3);
    QCOMPARE(lab.files.size(), 3);
    QVERIFY(lab.files.contains(registered));
    const QString fault = m_fixture->checkNoDuplicateOrOrphan();
    QVERIFY2(fault.isEmpty(), qPrintable(fault));
    QCOMPARE(QFileInfo(m_fixture->ftpLocalPath(registered)).size(), QFileInfo(ordine.righeFile.at(1).FilePath).size());
}

void TestUploadSend::stopReturnsAtOnce()
{
    OrdiniLocal::OrdineLocal ordine = savedOrder(QStringLiteral("fermato"), 1, 1, 5);
    // The worker is in a service call, which the laboratory holds, when the stop comes.
    LabSimulator &lab = m_fixture->lab();
    QVERIFY(lab.holdAnswer(QStringLiteral("inserisciFile"), 1));

    OrdineUpload queue;
    SignalLog log(queue);
    QSignalSpy stopped(&queue, &OrdineUpload::stopProcessingQueue);
    queue.startUpload();
    QTRY_COMPARE_WITH_TIMEOUT(lab.heldCalls(), 1, 60000);
    queue.terminateUpload();
    // The stop returned, and the GUI thread serves its events, while the worker still waits
    // for the answer: the queue counts as stopped once the worker's thread has ended, not
    // before.
    bool served = false;
    QTimer::singleShot(0, this, [&served] { served = true; });
    QTRY_VERIFY(served);
    QVERIFY(queue.processingUploads());
    QCOMPARE(stopped.count(), 0);
    QCOMPARE(lab.heldCalls(), 1);
    QVERIFY(lab.releaseHeld());
    QVERIFY(stopped.wait(60000));
    QVERIFY(!queue.processingUploads());
    QCOMPARE(stopped.count(), 1);

    // The order stays queued, and the record the laboratory made is in its file; nothing is
    // marked sent that was not.
    QCOMPARE(queue.queueSize(), 1);
    OrdiniLocal::OrdineLocal onDisk;
    QVERIFY(m_fixture->load(ordine.Uuid, onDisk));
    QCOMPARE(m_fixture->sentRows(ordine.Uuid), 0);
    QVERIFY(!onDisk.righeFile.at(0).WsFileId.isEmpty());
    QCOMPARE(m_fixture->lab().counts().fileRecords, 1);
    QVERIFY(!log.entries.contains(QStringLiteral("finished")));

    // A start asked for while stopping takes effect once the worker has ended.
    QSignalSpy finished(&queue, &OrdineUpload::finishedProcessingQueue);
    queue.startUpload();
    QVERIFY(finished.wait(60000));
    QCOMPARE(m_fixture->lab().counts().orders, 1);
    QCOMPARE(m_fixture->lab().counts().fileRecords, 2);
}

void TestUploadSend::cancelTheOrderBeingSent()
{
    OrdiniLocal::OrdineLocal cancelled = savedOrder(QStringLiteral("annullato"), 2, 0, 6);
    OrdiniLocal::OrdineLocal next = savedOrder(QStringLiteral("successivo"), 0, 1, 7);
    // The worker waits in its second print's product call, which the laboratory holds.
    LabSimulator &lab = m_fixture->lab();
    QVERIFY(lab.holdAnswer(QStringLiteral("ottieniStampa"), 1, 1));

    OrdineUpload queue;
    SignalLog log(queue);
    QSignalSpy files(&queue, &OrdineUpload::fileTerminated);
    QSignalSpy finished(&queue, &OrdineUpload::finishedProcessingQueue);
    queue.startUpload();
    QVERIFY(files.wait(60000));
    QTRY_COMPARE_WITH_TIMEOUT(lab.heldCalls(), 1, 60000);

    // As the queue window does: the order is written inactive, then taken out of the queue.
    OrdiniLocal::OrdineLocal inactive;
    QVERIFY(m_fixture->load(cancelled.Uuid, inactive));
    inactive.Attivo = false;
    QVERIFY(m_fixture->save(inactive));
    QVERIFY(queue.removeItem(cancelled.Uuid, false));
    // It returned while the worker still waits, and the GUI thread serves its events.
    bool served = false;
    QTimer::singleShot(0, this, [&served] { served = true; });
    QTRY_VERIFY(served);
    QCOMPARE(lab.heldCalls(), 1);
    QVERIFY(!log.entries.contains(QStringLiteral("stop")));
    QVERIFY(lab.releaseHeld());

    // The next order goes out once the cancelled order's worker has ended.
    QVERIFY(finished.wait(60000));
    QVERIFY(log.entries.contains(QStringLiteral("stop")));
    OrdiniLocal::OrdineLocal onDisk;
    QVERIFY(m_fixture->load(cancelled.Uuid, onDisk));
    QVERIFY(!onDisk.Attivo);
    QVERIFY(!onDisk.Inviato);
    QCOMPARE(m_fixture->sentRows(cancelled.Uuid), 1);
    QVERIFY(!m_fixture->orderFileExists(next.Uuid));
    const EngineFixture::LabState labState = m_fixture->labState();
    QCOMPARE(labState.orders.size(), 1);
    QCOMPARE(labState.orders.at(0).note, QStringLiteral("successivo"));
}

void TestUploadSend::prioritiesWrittenWhileSendingKeepTheRows()
{
    OrdiniLocal::OrdineLocal sending = savedOrder(QStringLiteral("in invio"), 0, 3, 8);
    OrdiniLocal::OrdineLocal waiting = savedOrder(QStringLiteral("in attesa"), 0, 1, 9);
    // The third row's file record fails, so that the order stops with two rows sent.
    QVERIFY(m_fixture->lab().injectFault(QStringLiteral("inserisciFile"), QString(), 1, 2));

    OrdineUpload queue;
    QSignalSpy files(&queue, &OrdineUpload::fileTerminated);
    QSignalSpy error(&queue, &OrdineUpload::errorOccurred);
    queue.startUpload();
    QVERIFY(files.wait(60000));
    QCOMPARE(queue.aggiornaPrioritaCodaDownload(), 2);
    QVERIFY(error.wait(60000));
    QTRY_VERIFY_WITH_TIMEOUT(!queue.processingUploads(), 60000);

    OrdiniLocal::OrdineLocal onDisk;
    QVERIFY(m_fixture->load(sending.Uuid, onDisk));
    QCOMPARE(onDisk.Priorita, 0);
    QCOMPARE(m_fixture->sentRows(sending.Uuid), 2);
    QVERIFY(m_fixture->load(waiting.Uuid, onDisk));
    QCOMPARE(onDisk.Priorita, 1);
}

void TestUploadSend::orderQueuedAsTheLastOneEnds()
{
    OrdiniLocal::OrdineLocal last = savedOrder(QStringLiteral("ultimo"), 0, 1, 10);

    OrdineUpload queue;
    SignalLog log(queue);
    QSignalSpy finished(&queue, &OrdineUpload::finishedProcessingQueue);
    // A composer queues an order and asks to send it just as the last order has ended, while
    // that order's worker is still ending.
    OrdiniLocal::OrdineLocal queued;
    bool queuedOnce = false;
    connect(&queue, &OrdineUpload::orderTerminated, this, [&] {
        if (queuedOnce)
            return;
        queuedOnce = true;
        queued = savedOrder(QStringLiteral("accodato"), 0, 1, 11);
        QVERIFY(queue.append(queued));
        queue.startUpload();
    });
    queue.startUpload();
    QVERIFY(finished.wait(60000));
    // The queue is done only once the order queued meanwhile has gone too.
    QTRY_VERIFY_WITH_TIMEOUT(!queue.processingUploads(), 60000);
    QVERIFY(queuedOnce);
    QCOMPARE(finished.count(), 1);
    QCOMPARE(queue.queueSize(), 0);
    QVERIFY(!m_fixture->orderFileExists(last.Uuid));
    QVERIFY(!m_fixture->orderFileExists(queued.Uuid));
    const EngineFixture::LabState lab = m_fixture->labState();
    QCOMPARE(lab.orders.size(), 2);
    QCOMPARE(lab.orders.at(1).note, QStringLiteral("accodato"));
    const QString fault = m_fixture->checkNoDuplicateOrOrphan();
    QVERIFY2(fault.isEmpty(), qPrintable(fault));
}

void TestUploadSend::orderWhoseFileAnotherProgramRemovedIsNotRegistered_data()
{
    // Where the worker is when another program (another copy on the profile, which sent the
    // order) removes the order file.
    QTest::addColumn<QString>("moment");
    QTest::newRow("its file record being made") << QStringLiteral("inserisciFile");
    QTest::newRow("its file going to the server") << QStringLiteral("ftp");
    // All its rows went up in an earlier run: the next call would register the order.
    QTest::newRow("its sent rows being looked up") << QStringLiteral("listaFile");
}

void TestUploadSend::orderWhoseFileAnotherProgramRemovedIsNotRegistered()
{
    QFETCH(QString, moment);
    LabSimulator &lab = m_fixture->lab();
    const OrdiniLocal::OrdineLocal removed = savedOrder(QStringLiteral("rimosso"), 0, 1, 12);
    if (moment == QLatin1String("listaFile")) {
        // A first run sends the row and fails on the order record.
        QVERIFY(lab.injectFault(QStringLiteral("inserisciOrdine"), QStringLiteral("Servizio non disponibile")));
        OrdineUpload first;
        QSignalSpy error(&first, &OrdineUpload::errorOccurred);
        first.startUpload();
        QVERIFY(error.wait(60000));
        QTRY_VERIFY_WITH_TIMEOUT(!first.processingUploads(), 60000);
        QCOMPARE(m_fixture->sentRows(removed.Uuid), 1);
        QVERIFY(lab.resetKnobs());
    }
    const OrdiniLocal::OrdineLocal next = savedOrder(QStringLiteral("successivo"), 0, 1, 13);
    QVERIFY(lab.clearRequests());
    if (moment == QLatin1String("ftp"))
        QVERIFY(lab.holdFtpUploads(1));
    else
        QVERIFY(lab.holdAnswer(moment, 1));

    OrdineUpload queue;
    SignalLog log(queue);
    QSignalSpy finished(&queue, &OrdineUpload::finishedProcessingQueue);
    queue.startUpload();
    if (moment == QLatin1String("ftp"))
        QTRY_COMPARE_WITH_TIMEOUT(lab.heldFtpUploads(), 1, 60000);
    else
        QTRY_COMPARE_WITH_TIMEOUT(lab.heldCalls(), 1, 60000);
    QVERIFY(queue.isSending(removed.Uuid));
    QVERIFY(QFile::remove(OrdineFile::path(KorvexGlobals::ordersQueuePath(), removed.Uuid)));
    QVERIFY(moment == QLatin1String("ftp") ? lab.releaseFtpUploads() : lab.releaseHeld());

    // The order ends as not sent, and the queue goes on with the next one.
    QVERIFY(finished.wait(60000));
    QTRY_VERIFY_WITH_TIMEOUT(!queue.processingUploads(), 60000);
    QVERIFY(!queue.wasSent(removed.Uuid));
    QVERIFY(queue.wasSent(next.Uuid));
    QVERIFY(!log.entries.filter(QStringLiteral("error")).size());
    const QJsonArray registered = lab.requests(QStringLiteral("inserisciOrdine"));
    QCOMPARE(registered.size(), 1);
    const EngineFixture::LabState labState = m_fixture->labState();
    QCOMPARE(labState.orders.size(), 1);
    QCOMPARE(labState.orders.at(0).note, QStringLiteral("successivo"));
    // Its file is not brought back.
    QVERIFY(!m_fixture->orderFileExists(removed.Uuid));
    QVERIFY(!m_fixture->orderFileExists(next.Uuid));
}

void TestUploadSend::runRemembersWhatItSentAcrossTheQueuesRestarts()
{
    const OrdiniLocal::OrdineLocal sent = savedOrder(QStringLiteral("inviato"), 0, 1, 14);
    const OrdiniLocal::OrdineLocal removed = savedOrder(QStringLiteral("rimosso"), 0, 1, 15);
    const OrdiniLocal::OrdineLocal cancelled = savedOrder(QStringLiteral("annullato"), 0, 1, 16);
    // The first order's file record goes; the next two wait at theirs.
    LabSimulator &lab = m_fixture->lab();
    QVERIFY(lab.holdAnswer(QStringLiteral("inserisciFile"), 2, 1));

    OrdineUpload queue;
    QSignalSpy finished(&queue, &OrdineUpload::finishedProcessingQueue);
    queue.startUpload();
    QTRY_COMPARE_WITH_TIMEOUT(lab.heldCalls(), 1, 60000);
    QVERIFY(queue.isSending(removed.Uuid));
    QVERIFY(queue.orderSentThisRun());
    // The order being sent is removed: the queue restarts itself on the next one, the same run.
    QVERIFY(queue.removeItem(removed.Uuid, true));
    QVERIFY(lab.releaseHeld());
    QTRY_VERIFY_WITH_TIMEOUT(queue.isSending(cancelled.Uuid) && lab.heldCalls() == 1, 60000);
    // The last order is cancelled: the run ends, having sent the first order.
    QVERIFY(queue.removeItem(cancelled.Uuid, true));
    QVERIFY(finished.count() > 0 || finished.wait(60000));
    QVERIFY(queue.orderSentThisRun());
    QVERIFY(lab.releaseHeld());
    QTRY_VERIFY_WITH_TIMEOUT(!queue.processingUploads(), 60000);
    QVERIFY(queue.orderSentThisRun());
    QVERIFY(queue.wasSent(sent.Uuid));
    const EngineFixture::LabState labState = m_fixture->labState();
    QCOMPARE(labState.orders.size(), 1);
    QCOMPARE(labState.orders.at(0).note, QStringLiteral("inviato"));

    // A run begun anew forgets it.
    queue.startUpload();
    QVERIFY(!queue.orderSentThisRun());
}

void TestUploadSend::runRemembersItsUndeletableOrderAcrossARestart()
{
    // An order the laboratory has, whose file cannot be removed, then one to send.
    OrdiniLocal::OrdineLocal kept = EngineFixture::order();
    kept.Inviato = true;
    kept.WsId = QStringLiteral("O1");
    kept.Data = QDateTime::currentDateTime().addSecs(-5000);
    QVERIFY(m_fixture->save(kept));
    const OrdiniLocal::OrdineLocal changed = savedOrder(QStringLiteral("cambiato"), 0, 1, 17);
    LabSimulator &lab = m_fixture->lab();
    QVERIFY(lab.holdAnswer(QStringLiteral("inserisciFile"), 1));

    UndeletableQueue queue;
    queue.kept.insert(kept.Uuid);
    QSignalSpy notRemoved(&queue, &OrdineUpload::orderFileNotRemoved);
    QSignalSpy started(&queue, &OrdineUpload::startProcessingQueue);
    QSignalSpy finished(&queue, &OrdineUpload::finishedProcessingQueue);
    queue.startUpload();
    QTRY_COMPARE_WITH_TIMEOUT(lab.heldCalls(), 1, 60000);
    QVERIFY(queue.isSending(changed.Uuid));
    QCOMPARE(notRemoved.count(), 1);
    // The order being sent changes (a composer saved it): the queue restarts itself.
    OrdiniLocal::OrdineLocal edited = changed;
    edited.Note = QStringLiteral("cambiato ancora");
    QVERIFY(m_fixture->save(edited));
    QVERIFY(queue.append(edited));
    QVERIFY(lab.releaseHeld());
    QVERIFY(finished.wait(60000));
    QTRY_VERIFY_WITH_TIMEOUT(!queue.processingUploads(), 60000);
    // The order whose file stays is not met again in this run.
    QCOMPARE(notRemoved.count(), 1);
    QCOMPARE(started.count(), 3);
    const EngineFixture::LabState labState = m_fixture->labState();
    QCOMPARE(labState.orders.size(), 1);
    QCOMPARE(labState.orders.at(0).note, QStringLiteral("cambiato ancora"));
    QVERIFY(m_fixture->orderFileExists(kept.Uuid));
}

void TestUploadSend::orderFileUnderAnotherNameIsSentOnce_data()
{
    // A copy of the order file, as a file manager names it, with or without the order's own
    // file beside it.
    QTest::addColumn<bool>("withOwnFile");
    QTest::newRow("only the copy") << false;
    QTest::newRow("the order's file and its copy") << true;
}

void TestUploadSend::orderFileUnderAnotherNameIsSentOnce()
{
    QFETCH(bool, withOwnFile);
    LabSimulator &lab = m_fixture->lab();
    const OrdiniLocal::OrdineLocal ordine = savedOrder(QStringLiteral("copiato"), 0, 1, 18);
    const QString own = OrdineFile::path(KorvexGlobals::ordersQueuePath(), ordine.Uuid);
    const QString copyName = ordine.Uuid + QStringLiteral(" - Copia.kv2");
    const QString copy = QFileInfo(own).absolutePath() + QLatin1Char('/') + copyName;
    QVERIFY(QFile::copy(own, copy));
    if (!withOwnFile)
        QVERIFY(QFile::remove(own));
    QFile copyFile(copy);
    QVERIFY(copyFile.open(QIODevice::ReadOnly));
    const QByteArray copyBytes = copyFile.readAll();
    copyFile.close();
    QVERIFY(lab.clearRequests());
    const auto registrations = [&lab] {
        int count = 0;
        for (const QJsonValue &request : lab.requests(QStringLiteral("inserisciOrdine"))) {
            const QJsonObject order = request.toObject().value(QStringLiteral("OrdineRequest")).toObject();
            if (order.value(QStringLiteral("note")).toString() == QLatin1String("copiato"))
                ++count;
        }
        return count;
    };

    OrdineUpload queue;
    QSignalSpy finished(&queue, &OrdineUpload::finishedProcessingQueue);
    QSignalSpy unreadable(&queue, &OrdineUpload::unreadableOrderFiles);
    queue.startUpload();
    // Queued once, under its own file.
    QCOMPARE(queue.queueSize(), 1);
    QCOMPARE(queue.ordineAtIndex(0).Uuid, ordine.Uuid);
    QCOMPARE(QFileInfo::exists(copy), withOwnFile);
    QVERIFY(finished.wait(60000));
    QTRY_VERIFY_WITH_TIMEOUT(!queue.processingUploads(), 60000);
    QVERIFY(queue.wasSent(ordine.Uuid));
    QCOMPARE(registrations(), 1);
    QCOMPARE(lab.requests(QStringLiteral("inserisciOrdine")).size(), 1);
    QCOMPARE(m_fixture->labState().orders.size(), 1);
    QCOMPARE(unreadable.count(), 0);
    QVERIFY(!m_fixture->orderFileExists(ordine.Uuid));
    const QStringList left = withOwnFile ? QStringList{copyName} : QStringList();
    QCOMPARE(m_fixture->orderFiles(), left);

    // A new run of the same queue leaves the copy of the order it sent where it is.
    if (withOwnFile) {
        QTest::ignoreMessage(QtWarningMsg,
                             QRegularExpression(QRegularExpression::escape(copyName) + QStringLiteral(".*copia")));
    }
    queue.startUpload();
    QCOMPARE(queue.queueSize(), 0);
    QVERIFY(!queue.processingUploads());
    QCOMPARE(registrations(), 1);
    QCOMPARE(unreadable.count(), 0);
    QCOMPARE(m_fixture->orderFiles(), left);
    if (withOwnFile) {
        QVERIFY(copyFile.open(QIODevice::ReadOnly));
        QCOMPARE(copyFile.readAll(), copyBytes);
    }
}

QTEST_GUILESS_MAIN(TestUploadSend)
#include "tst_uploadsend.moc"
