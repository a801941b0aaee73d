// Writing an edited order back while the queue may be sending it: which upload state the rows
// keep, what lands in the order file, whether the order is queued and the queue runs again;
// a write that fails leaves file and queue as they were; an order sent or removed meanwhile is
// not written.

#include <memory>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QJsonObject>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include "editedorderwriter.h"
#include "enginefixture.h"
#include "filesizelimit.h"
#include "korvexglobals.h"
#include "labsimulator.h"
#include "ordinefile.h"
#include "ordineupload.h"
#include "undeletablequeue.h"

namespace {

enum class Before { Idle, BeingSent, SentMeanwhile, SentFileKept, RemovedMeanwhile };
enum class Edit { Unchanged, ProductChanged, CropChanged, RowAdded };

} // namespace

Q_DECLARE_METATYPE(Before)
Q_DECLARE_METATYPE(Edit)

class TestEditedOrder : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void write_data();
    void write();
    void editsWhileSendingReachTheLabOnce();
    void failedWriteLeavesFileAndQueue_data();
    void failedWriteLeavesFileAndQueue();
    void unreadableOrderFileIsNotWrittenOver_data();
    void unreadableOrderFileIsNotWrittenOver();

private:
    OrdiniLocal::OrdineLocal savedOrder(int prints);
    // Runs the writer and waits for its result.
    bool writeAndWait(EditedOrderWriter &writer, const OrdiniLocal::OrdineLocal &ordine, bool existing,
                      EditedOrderWriter::Outcome &outcome, OrdiniLocal::OrdineLocal &written, QString &error);

    std::unique_ptr<EngineFixture> m_fixture;
    int m_seed = 0;
};

void TestEditedOrder::initTestCase()
{
    qRegisterMetaType<QList<QFileInfo>>("QList<QFileInfo>");
}

void TestEditedOrder::init()
{
    m_fixture = std::make_unique<EngineFixture>();
    QVERIFY2(m_fixture->isValid(), qPrintable(m_fixture->errorString()));
    QVERIFY2(m_fixture->startLab(), qPrintable(m_fixture->errorString()));
}

void TestEditedOrder::cleanup()
{
    m_fixture.reset();
}

OrdiniLocal::OrdineLocal TestEditedOrder::savedOrder(int prints)
{
    ++m_seed;
    OrdiniLocal::OrdineLocal ordine = EngineFixture::order();
    for (int i = 0; i < prints; ++i) {
        ordine.righeStampa << EngineFixture::printRow(
            m_fixture->photo(QStringLiteral("%1-foto%2.jpg").arg(m_seed).arg(i), QSize(1600, 1200), m_seed * 10 + i));
    }
    if (!m_fixture->save(ordine))
        qWarning("order not saved");
    return ordine;
}

bool TestEditedOrder::writeAndWait(EditedOrderWriter &writer, const OrdiniLocal::OrdineLocal &ordine, bool existing,
                                   EditedOrderWriter::Outcome &outcome, OrdiniLocal::OrdineLocal &written,
                                   QString &error)
{
    bool done = false;
    const auto connection = connect(&writer, &EditedOrderWriter::finished, this,
                                    [&](EditedOrderWriter::Outcome o, const OrdiniLocal::OrdineLocal &w, const QString &e) {
                                        done = true;
                                        outcome = o;
                                        written = w;
                                        error = e;
                                    });
    if (!writer.write(ordine, existing))
        return false;
    // Never from inside write().
    if (done)
        return false;
    // A second write is refused while the first is under way.
    if (writer.write(ordine, existing))
        return false;
    if (!QTest::qWaitFor([&] { return done; }, 30000))
        return false;
    disconnect(connection);
    return done && !writer.isBusy();
}

void TestEditedOrder::write_data()
{
    QTest::addColumn<Before>("before");
    QTest::addColumn<Edit>("edit");
    QTest::addColumn<int>("outcome");
    QTest::addColumn<bool>("firstRowKeepsState");
    QTest::addColumn<bool>("runningAfter");

    const struct {
        Before before;
        const char *name;
        int outcome;
        bool running;
    } befores[] = {
        {Before::Idle, "idle", EditedOrderWriter::Saved, false},
        {Before::BeingSent, "being sent", EditedOrderWriter::Saved, true},
        {Before::SentMeanwhile, "sent meanwhile", EditedOrderWriter::SentMeanwhile, false},
    };
    const struct {
        Edit edit;
        const char *name;
        bool keeps;
    } edits[] = {
        {Edit::Unchanged, "rows unchanged", true},
        {Edit::ProductChanged, "product changed", false},
        {Edit::CropChanged, "crop changed", false},
        {Edit::RowAdded, "row added", true},
    };
    for (const auto &b : befores) {
        for (const auto &e : edits) {
            QTest::newRow(qPrintable(QStringLiteral("%1, %2").arg(b.name, e.name)))
                << b.before << e.edit << b.outcome << e.keeps << b.running;
        }
    }
    // Sent, but its order file could not be removed: writing it would send it again.
    QTest::newRow("sent meanwhile, file kept") << Before::SentFileKept << Edit::Unchanged
                                               << int(EditedOrderWriter::SentMeanwhile) << false << false;
    // Removed from the queue with its file (the queue window's "Elimina"): not "sent".
    QTest::newRow("removed meanwhile") << Before::RemovedMeanwhile << Edit::Unchanged
                                       << int(EditedOrderWriter::RemovedMeanwhile) << false << false;
}

void TestEditedOrder::write()
{
    QFETCH(Before, before);
    QFETCH(Edit, edit);
    QFETCH(int, outcome);
    QFETCH(bool, firstRowKeepsState);
    QFETCH(bool, runningAfter);

    // The window's copy of the order: taken before anything was sent.
    const OrdiniLocal::OrdineLocal stale = savedOrder(2);
    UndeletableQueue queue;
    QSignalSpy files(&queue, &OrdineUpload::fileTerminated);
    QSignalSpy finishedQueue(&queue, &OrdineUpload::finishedProcessingQueue);

    QString firstRowId;
    QString orderId;
    if (before == Before::Idle) {
        // A previous run sent the first row and registered the order.
        OrdiniLocal::OrdineLocal onDisk = stale;
        onDisk.righeStampa[0].Inviata = true;
        onDisk.righeStampa[0].WsFileId = QStringLiteral("file-sent-before");
        onDisk.WsId = QStringLiteral("order-registered-before");
        QVERIFY(m_fixture->save(onDisk));
        queue.loadQueue();
        QCOMPARE(queue.queueSize(), 1);
    } else if (before == Before::BeingSent) {
        // The worker is held in the second print's product call once the first row went up.
        QVERIFY(m_fixture->lab().holdAnswer(QStringLiteral("ottieniStampa"), 1, 1));
        queue.startUpload();
        QVERIFY(files.wait(60000));
        QTRY_COMPARE_WITH_TIMEOUT(m_fixture->lab().heldCalls(), 1, 60000);
        QVERIFY(queue.isSending(stale.Uuid));
    } else if (before == Before::RemovedMeanwhile) {
        queue.loadQueue();
        QVERIFY(queue.removeItem(stale.Uuid, true));
        QVERIFY(!m_fixture->orderFileExists(stale.Uuid));
    } else {
        if (before == Before::SentFileKept)
            queue.kept.insert(stale.Uuid);
        queue.startUpload();
        QVERIFY(finishedQueue.wait(60000));
        QTRY_VERIFY_WITH_TIMEOUT(!queue.processingUploads(), 60000);
        QCOMPARE(m_fixture->orderFileExists(stale.Uuid), before == Before::SentFileKept);
    }
    QByteArray fileBefore;
    if (before == Before::SentFileKept) {
        QFile file(OrdineFile::path(KorvexGlobals::ordersQueuePath(), stale.Uuid));
        QVERIFY(file.open(QIODevice::ReadOnly));
        fileBefore = file.readAll();
    }
    if (before == Before::Idle || before == Before::BeingSent) {
        OrdiniLocal::OrdineLocal onDisk;
        QVERIFY(m_fixture->load(stale.Uuid, onDisk));
        QVERIFY(onDisk.righeStampa.at(0).Inviata);
        QVERIFY(!onDisk.righeStampa.at(1).Inviata);
        firstRowId = onDisk.righeStampa.at(0).WsFileId;
        orderId = onDisk.WsId;
        QVERIFY(!firstRowId.isEmpty());
    }

    OrdiniLocal::OrdineLocal edited = stale;
    edited.Note = QStringLiteral("nota modificata");
    switch (edit) {
    case Edit::Unchanged:
        break;
    case Edit::ProductChanged:
        edited.righeStampa[0].IdStampa = 4;
        break;
    case Edit::CropChanged:
        edited.righeStampa[0].Transformation.Type = 2;
        edited.righeStampa[0].Transformation.CropRect = QRectF(100, 50, 1000, 1100);
        break;
    case Edit::RowAdded:
        edited.righeStampa << EngineFixture::printRow(
            m_fixture->photo(QStringLiteral("%1-aggiunta.jpg").arg(m_seed), QSize(1200, 1600), m_seed * 10 + 9));
        break;
    }

    EditedOrderWriter writer(&queue);
    bool cursorWhileWaiting = false;
    QMetaObject::Connection watch;
    if (before == Before::BeingSent) {
        watch = connect(&queue, &OrdineUpload::stopProcessingQueue, this,
                        [&] { cursorWhileWaiting = QGuiApplication::overrideCursor() != nullptr; });
        // The write asks the worker to stop before it returns: the held call may go then.
        QTimer::singleShot(0, this, [this] { QVERIFY(m_fixture->lab().releaseHeld()); });
    }
    EditedOrderWriter::Outcome result = EditedOrderWriter::Failed;
    OrdiniLocal::OrdineLocal written;
    QString error;
    QVERIFY(writeAndWait(writer, edited, true, result, written, error));
    disconnect(watch);
    QCOMPARE(int(result), outcome);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    QCOMPARE(QGuiApplication::overrideCursor(), nullptr);
    if (before == Before::BeingSent)
        QVERIFY(cursorWhileWaiting);
    QCOMPARE(queue.processingUploads(), runningAfter);

    if (before == Before::SentMeanwhile || before == Before::RemovedMeanwhile) {
        // Nothing written: no order file comes back, nothing is queued.
        QVERIFY(!m_fixture->orderFileExists(stale.Uuid));
        QCOMPARE(queue.index(stale.Uuid), -1);
        QCOMPARE(m_fixture->lab().counts().orders, before == Before::SentMeanwhile ? 1 : 0);
        return;
    }
    if (before == Before::SentFileKept) {
        // Nothing written over the file that stayed, nothing queued, nothing sent again.
        QFile file(OrdineFile::path(KorvexGlobals::ordersQueuePath(), stale.Uuid));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), fileBefore);
        QCOMPARE(queue.index(stale.Uuid), -1);
        QVERIFY(!queue.processingUploads());
        QCOMPARE(m_fixture->lab().counts().orders, 1);
        return;
    }

    // The order as written: the edit, and the upload state only where the row is the same.
    QCOMPARE(written.Uuid, stale.Uuid);
    QCOMPARE(written.Note, edited.Note);
    QCOMPARE(written.WsId, orderId);
    QCOMPARE(written.righeStampa.size(), edited.righeStampa.size());
    QCOMPARE(written.righeStampa.at(0).Inviata, firstRowKeepsState);
    QCOMPARE(written.righeStampa.at(0).WsFileId, firstRowKeepsState ? firstRowId : QString());
    for (int i = 1; i < written.righeStampa.size(); ++i)
        QVERIFY(!written.righeStampa.at(i).Inviata);
    QCOMPARE(written.righeStampa.at(0).IdStampa, edited.righeStampa.at(0).IdStampa);
    QCOMPARE(written.righeStampa.at(0).Transformation.CropRect, edited.righeStampa.at(0).Transformation.CropRect);

    // Queued as edited, once.
    QCOMPARE(queue.queueSize(), 1);
    QCOMPARE(queue.ordineAtIndex(0).Note, edited.Note);

    // Stop the restarted worker before reading the file: it may mark rows meanwhile, but it
    // never gives a changed row back its old record.
    if (queue.processingUploads()) {
        QSignalSpy stopped(&queue, &OrdineUpload::stopProcessingQueue);
        queue.terminateUpload();
        QVERIFY(stopped.wait(20000));
    }
    OrdiniLocal::OrdineLocal onDisk;
    QVERIFY(m_fixture->load(stale.Uuid, onDisk));
    QCOMPARE(onDisk.Note, edited.Note);
    QCOMPARE(onDisk.WsId, orderId);
    QCOMPARE(onDisk.righeStampa.size(), edited.righeStampa.size());
    QCOMPARE(onDisk.righeStampa.at(0).IdStampa, edited.righeStampa.at(0).IdStampa);
    QCOMPARE(onDisk.righeStampa.at(0).Transformation.Type, edited.righeStampa.at(0).Transformation.Type);
    if (firstRowKeepsState) {
        QVERIFY(onDisk.righeStampa.at(0).Inviata);
        QCOMPARE(onDisk.righeStampa.at(0).WsFileId, firstRowId);
    } else {
        QVERIFY(onDisk.righeStampa.at(0).WsFileId != firstRowId);
    }
    if (before == Before::Idle) {
        // Nothing ran after the write: the file is exactly what was written.
        QCOMPARE(onDisk.righeStampa.at(0).Inviata, firstRowKeepsState);
        for (int i = 1; i < onDisk.righeStampa.size(); ++i)
            QVERIFY(onDisk.righeStampa.at(i).WsFileId.isEmpty());
    }
}

void TestEditedOrder::editsWhileSendingReachTheLabOnce()
{
    // The order is written again and again while its rows go up: each write stops the worker,
    // keeps what it recorded and starts it again; the laboratory gets the last version once,
    // each file once. The laboratory holds every new file record, so that each write meets the
    // worker in the middle of a row, after none or one more row went up; the held record is
    // let go once the write has asked the worker to stop.
    ++m_seed;
    OrdiniLocal::OrdineLocal ordine = EngineFixture::order();
    for (int i = 0; i < 6; ++i) {
        ordine.righeFile << EngineFixture::fileRow(
            m_fixture->bytesFile(QStringLiteral("%1-file%2.bin").arg(m_seed).arg(i), 120000, m_seed * 10 + i));
    }
    QVERIFY(m_fixture->save(ordine));
    LabSimulator &lab = m_fixture->lab();
    QVERIFY(lab.holdAnswer(QStringLiteral("inserisciFile"), -1));

    OrdineUpload queue;
    QSignalSpy finishedQueue(&queue, &OrdineUpload::finishedProcessingQueue);
    EditedOrderWriter writer(&queue);
    queue.startUpload();
    // A row recorded by a stopped worker goes without a new record when the worker starts
    // again: with these rows released, the fourth write meets the last row.
    int writes = 0;
    for (const int released : {0, 1, 0, 1}) {
        for (int i = 0; i < released; ++i) {
            QTRY_COMPARE_WITH_TIMEOUT(lab.heldCalls(), 1, 60000);
            QVERIFY(lab.releaseHeld(QStringLiteral("inserisciFile"), 1));
        }
        QTRY_COMPARE_WITH_TIMEOUT(lab.heldCalls(), 1, 60000);
        QVERIFY(queue.isSending(ordine.Uuid));
        QTimer::singleShot(0, this, [&lab] { QVERIFY(lab.releaseHeld()); });
        OrdiniLocal::OrdineLocal edited = ordine;
        edited.Note = QStringLiteral("versione %1").arg(++writes);
        EditedOrderWriter::Outcome result = EditedOrderWriter::Failed;
        OrdiniLocal::OrdineLocal written;
        QString error;
        QVERIFY(writeAndWait(writer, edited, true, result, written, error));
        QCOMPARE(result, EditedOrderWriter::Saved);
        ordine.Note = edited.Note;
    }
    // The last write started the worker again on the rest of the order.
    QVERIFY(lab.resetKnobs());
    QVERIFY(finishedQueue.count() > 0 || finishedQueue.wait(60000));
    QTRY_VERIFY_WITH_TIMEOUT(!queue.processingUploads(), 60000);
    const EngineFixture::LabState labState = m_fixture->labState();
    QCOMPARE(labState.orders.size(), 1);
    QCOMPARE(labState.orders.at(0).note, ordine.Note);
    QCOMPARE(labState.orders.at(0).rows.size(), 6);
    const QString fault = m_fixture->checkNoDuplicateOrOrphan();
    QVERIFY2(fault.isEmpty(), qPrintable(fault));
}

void TestEditedOrder::failedWriteLeavesFileAndQueue_data()
{
    QTest::addColumn<bool>("existing");
    QTest::addColumn<bool>("queuedBefore");
    QTest::newRow("queued order") << true << true;
    QTest::newRow("saved order made active") << true << false;
    QTest::newRow("new order") << false << false;
}

void TestEditedOrder::failedWriteLeavesFileAndQueue()
{
    QFETCH(bool, existing);
    QFETCH(bool, queuedBefore);

    OrdiniLocal::OrdineLocal ordine = savedOrder(1);
    if (!queuedBefore) {
        ordine.Attivo = false;
        QVERIFY(m_fixture->save(ordine));
    }
    const QString path = OrdineFile::path(KorvexGlobals::ordersQueuePath(), ordine.Uuid);
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray before = file.readAll();
    file.close();
    QVERIFY(before.size() > 600);

    OrdineUpload queue;
    queue.loadQueue();
    QCOMPARE(queue.queueSize(), queuedBefore ? 1 : 0);

    OrdiniLocal::OrdineLocal edited = ordine;
    edited.Attivo = true;
    edited.Note = QStringLiteral("una nota molto più lunga di quella di prima, che non entra nel file");
    if (!existing)
        edited.Uuid.clear();

    EditedOrderWriter writer(&queue);
    EditedOrderWriter::Outcome result = EditedOrderWriter::Saved;
    OrdiniLocal::OrdineLocal written;
    QString error;
    {
        FileSizeLimit limit(512);
        QVERIFY(limit.ok());
        QVERIFY(writeAndWait(writer, edited, existing, result, written, error));
    }
    QCOMPARE(result, EditedOrderWriter::Failed);
    QVERIFY(!error.isEmpty());
    QVERIFY2(error.contains(QStringLiteral("Impossibile")), qPrintable(error));

    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), before);
    file.close();
    // No stray file beside it, nothing queued that was not.
    QCOMPARE(QDir(KorvexGlobals::ordersQueuePath()).entryList(QDir::Files | QDir::Hidden),
             QStringList{QFileInfo(path).fileName()});
    QCOMPARE(queue.queueSize(), queuedBefore ? 1 : 0);
    if (queuedBefore)
        QCOMPARE(queue.ordineAtIndex(0).Note, ordine.Note);
    QVERIFY(!queue.processingUploads());
}

void TestEditedOrder::unreadableOrderFileIsNotWrittenOver_data()
{
    QTest::addColumn<QByteArray>("damage");
    QTest::newRow("cut short") << QByteArray("half");
    QTest::newRow("not an order") << QByteArray("\x89PNG\r\n\x1a\n\0\0\0");
}

void TestEditedOrder::unreadableOrderFileIsNotWrittenOver()
{
    QFETCH(QByteArray, damage);
    LabSimulator &lab = m_fixture->lab();
    // A partly sent order: the laboratory holds it as recorded before, still open to changes,
    // under the id in its order file; a run sent its first row and was stopped in the second.
    const QString recorded = lab.seedOrder(QJsonObject{{"username", "demo"}, {"stato", 1}});
    QVERIFY(!recorded.isEmpty());
    OrdiniLocal::OrdineLocal ordine = savedOrder(2);
    OrdiniLocal::OrdineLocal onDisk = ordine;
    onDisk.WsId = recorded;
    QVERIFY(m_fixture->save(onDisk));
    OrdineUpload queue;
    QSignalSpy files(&queue, &OrdineUpload::fileTerminated);
    QSignalSpy stopped(&queue, &OrdineUpload::stopProcessingQueue);
    // The worker is held in the second print's product call once the first row went up.
    QVERIFY(lab.holdAnswer(QStringLiteral("ottieniStampa"), 1, 1));
    queue.startUpload();
    QVERIFY(files.wait(60000));
    QTRY_COMPARE_WITH_TIMEOUT(lab.heldCalls(), 1, 60000);
    queue.terminateUpload();
    QVERIFY(lab.releaseHeld());
    QVERIFY(stopped.count() > 0 || stopped.wait(60000));
    QVERIFY(!queue.processingUploads());
    QVERIFY(m_fixture->load(ordine.Uuid, onDisk));
    QCOMPARE(onDisk.WsId, recorded);
    QVERIFY(onDisk.righeStampa.at(0).Inviata);
    QVERIFY(!onDisk.righeStampa.at(1).Inviata);
    const QString sentFile = onDisk.righeStampa.at(0).WsFileId;
    QVERIFY(!sentFile.isEmpty());
    QCOMPARE(queue.queueSize(), 1);
    const LabSimulator::Counts labBefore = lab.counts();
    QVERIFY(lab.clearRequests());

    // Then the file can no longer be read.
    const QString path = OrdineFile::path(KorvexGlobals::ordersQueuePath(), ordine.Uuid);
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadWrite));
    const QByteArray original = file.readAll();
    const QByteArray bytes = damage == "half" ? original.left(original.size() / 2) : damage;
    QVERIFY(file.resize(0));
    QCOMPARE(file.write(bytes), qint64(bytes.size()));
    file.close();

    // The window writes its copy, which knows nothing of what was sent.
    OrdiniLocal::OrdineLocal edited = ordine;
    edited.Note = QStringLiteral("nota modificata");
    EditedOrderWriter writer(&queue);
    EditedOrderWriter::Outcome result = EditedOrderWriter::Saved;
    OrdiniLocal::OrdineLocal written;
    QString error;
    QVERIFY(writeAndWait(writer, edited, true, result, written, error));
    QCOMPARE(result, EditedOrderWriter::Failed);
    // The customer is told which file and why.
    QVERIFY2(error.contains(QDir::toNativeSeparators(path)), qPrintable(error));
    QVERIFY2(error.contains(QStringLiteral("non si può leggere")), qPrintable(error));
    // The file is kept as it was, byte for byte, and nothing went to the laboratory.
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), bytes);
    file.close();
    QCOMPARE(queue.queueSize(), 1);
    QCOMPARE(queue.ordineAtIndex(0).Note, ordine.Note);
    QVERIFY(!queue.processingUploads());
    QCOMPARE(lab.counts().orders, labBefore.orders);
    QCOMPARE(lab.counts().fileRecords, labBefore.fileRecords);
    QCOMPARE(lab.counts().rows, labBefore.rows);

    // Readable again, the order goes out with the upload state it had: the laboratory's order
    // keeps its id and gets both rows, the first one not sent again; no second order.
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(original), qint64(original.size()));
    file.close();
    QSignalSpy finished(&queue, &OrdineUpload::finishedProcessingQueue);
    queue.startUpload();
    QVERIFY(finished.wait(60000));
    QTRY_VERIFY_WITH_TIMEOUT(!queue.processingUploads(), 60000);
    QVERIFY(!m_fixture->orderFileExists(ordine.Uuid));
    QCOMPARE(lab.requests(QStringLiteral("inserisciOrdine")).size(), 0);
    QCOMPARE(lab.requests(QStringLiteral("modificaOrdine")).size(), 1);
    QCOMPARE(lab.requests(QStringLiteral("inserisciFile")).size(), 1);
    const EngineFixture::LabState state = m_fixture->labState();
    QCOMPARE(state.orders.size(), 1);
    QCOMPARE(state.orders.at(0).id, recorded);
    QCOMPARE(state.orders.at(0).note, ordine.Note);
    QCOMPARE(state.orders.at(0).rows.size(), 2);
    QStringList rowFiles;
    for (const EngineFixture::LabRow &row : state.orders.at(0).rows)
        rowFiles << row.idFile;
    QVERIFY2(rowFiles.contains(sentFile), qPrintable(rowFiles.join(QLatin1Char(' '))));
    const QString fault = m_fixture->checkNoDuplicateOrOrphan();
    QVERIFY2(fault.isEmpty(), qPrintable(fault));
}

QTEST_MAIN(TestEditedOrder)
#include "tst_editedorder.moc"
