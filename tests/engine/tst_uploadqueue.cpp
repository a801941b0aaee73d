// The upload queue without sending: which order files it queues, in which order, and what
// its writes and removals do to the order files; order files that cannot be read, and sent
// orders whose file cannot be removed.

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTest>

#include "enginefixture.h"
#include "korvexglobals.h"
#include "ordineupload.h"
#include "undeletablequeue.h"
#include "utente.h"

class TestUploadQueue : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void sendingOrder_data();
    void sendingOrder();
    void onlyTheCustomersActiveOrdersAreQueued();
    void priorityWritesChangeOnlyPrioritaOnDisk();
    void removeAndAppend();
    void unreadableOrderFilesAreReportedAndKept();
    void sentOrderWhoseFileStaysIsKeptOutOfTheRun();
    void orderFileThatCannotTakeItsOrdersNameIsReportedAndKept_data();
    void orderFileThatCannotTakeItsOrdersNameIsReportedAndKept();

private:
    OrdiniLocal::OrdineLocal saved(int utente, bool attivo, int priorita, qint64 ageSeconds);

    std::unique_ptr<EngineFixture> m_fixture;
    QDateTime m_now;
};

void TestUploadQueue::init()
{
    m_fixture = std::make_unique<EngineFixture>();
    QVERIFY2(m_fixture->isValid(), qPrintable(m_fixture->errorString()));
    auto *utente = new Utente();
    utente->id = 7;
    KorvexGlobals::utente = utente;
    m_now = QDateTime::currentDateTime().addSecs(-3600);
}

void TestUploadQueue::cleanup()
{
    m_fixture.reset();
}

OrdiniLocal::OrdineLocal TestUploadQueue::saved(int utente, bool attivo, int priorita, qint64 ageSeconds)
{
    OrdiniLocal::OrdineLocal ordine = EngineFixture::order();
    ordine.Utente = utente;
    ordine.Attivo = attivo;
    ordine.Priorita = priorita;
    ordine.Data = m_now.addSecs(-ageSeconds);
    OrdiniLocal::OrdineRigaFileLocal riga;
    riga.FilePath = QStringLiteral("/nowhere/a.bin");
    ordine.righeFile.append(riga);
    if (!m_fixture->save(ordine))
        qWarning("order not saved");
    return ordine;
}

void TestUploadQueue::sendingOrder_data()
{
    // Each order: priority and age in seconds; expected: the positions of the orders in the
    // sending order.
    QTest::addColumn<QList<int>>("priorities");
    QTest::addColumn<QList<int>>("ages");
    QTest::addColumn<QList<int>>("expected");

    QTest::newRow("priorities after the orders without one")
        << QList<int>{-1, 2, 0, 1} << QList<int>{10, 20, 30, 40} << QList<int>{0, 2, 3, 1};
    QTest::newRow("without priority, oldest first")
        << QList<int>{-1, -1, -1, -1, -1} << QList<int>{5, 50, 1, 30, 20} << QList<int>{1, 3, 4, 0, 2};
    QTest::newRow("same priority, oldest first")
        << QList<int>{3, 3, -1, 3} << QList<int>{10, 30, 5, 20} << QList<int>{2, 1, 3, 0};
}

void TestUploadQueue::sendingOrder()
{
    QFETCH(QList<int>, priorities);
    QFETCH(QList<int>, ages);
    QFETCH(QList<int>, expected);

    QStringList uuids;
    for (int i = 0; i < priorities.size(); ++i)
        uuids << saved(7, true, priorities.at(i), ages.at(i)).Uuid;

    OrdineUpload queue;
    queue.loadQueue();
    QStringList order;
    for (const OrdiniLocal::OrdineLocal &ordine : queue.items())
        order << ordine.Uuid;
    QStringList wanted;
    for (int at : expected)
        wanted << uuids.at(at);
    QCOMPARE(order, wanted);
}

void TestUploadQueue::onlyTheCustomersActiveOrdersAreQueued()
{
    const QString own = saved(7, true, -1, 30).Uuid;
    const QString nobodys = saved(0, true, -1, 20).Uuid;
    const QString foreign = saved(5, true, -1, 10).Uuid;
    const QString inactive = saved(7, false, -1, 5).Uuid;
    // An order file named with the extension in capitals, and a damaged one.
    const QString capitals = saved(7, true, -1, 40).Uuid;
    const QString folder = KorvexGlobals::ordersQueuePath() + QLatin1Char('/');
    QVERIFY(QFile::rename(folder + capitals + QStringLiteral(".kv2"), folder + capitals + QStringLiteral(".KV2")));
    QFile damaged(folder + QStringLiteral("{00000000-0000-4000-8000-000000000000}.kv2"));
    QVERIFY(damaged.open(QIODevice::WriteOnly));
    damaged.write("<?xml version=\"1.0\"?>\n<Ordine><Uuid>x</Uuid><Attivo>1</Attivo><Righe>");
    damaged.close();

    OrdineUpload queue;
    queue.loadQueue();
    QCOMPARE(queue.queueSize(), 2);
    QCOMPARE(queue.ordineAtIndex(0).Uuid, own);
    QCOMPARE(queue.ordineAtIndex(1).Uuid, nobodys);

    m_fixture->logout();
    queue.loadQueue();
    QCOMPARE(queue.queueSize(), 0);
    // Nothing was touched on disk.
    QCOMPARE(m_fixture->orderFiles().size(), 6);
    QVERIFY(m_fixture->orderFileExists(foreign));
    QVERIFY(m_fixture->orderFileExists(inactive));
}

void TestUploadQueue::priorityWritesChangeOnlyPrioritaOnDisk()
{
    const QString first = saved(7, true, -1, 30).Uuid;
    const QString second = saved(7, true, -1, 20).Uuid;
    OrdineUpload queue;
    queue.loadQueue();
    QCOMPARE(queue.queueSize(), 2);

    // Since the queue read them, the worker recorded a row sent and the order's id.
    OrdiniLocal::OrdineLocal progressed;
    QVERIFY(m_fixture->load(first, progressed));
    progressed.righeFile[0].WsFileId = QStringLiteral("F17");
    progressed.righeFile[0].Inviata = true;
    progressed.WsId = QStringLiteral("O3");
    QVERIFY(m_fixture->save(progressed));
    // And the second order's file has gone: it is not written back.
    QVERIFY(QFile::remove(KorvexGlobals::ordersQueuePath() + QLatin1Char('/') + second + QStringLiteral(".kv2")));

    QCOMPARE(queue.aggiornaPrioritaCodaDownload(), 2);

    OrdiniLocal::OrdineLocal onDisk;
    QVERIFY(m_fixture->load(first, onDisk));
    QCOMPARE(onDisk.Priorita, 0);
    QCOMPARE(onDisk.righeFile.at(0).WsFileId, QStringLiteral("F17"));
    QVERIFY(onDisk.righeFile.at(0).Inviata);
    QCOMPARE(onDisk.WsId, QStringLiteral("O3"));
    QVERIFY(!m_fixture->orderFileExists(second));
    // The queue's own copies keep their priority until the next reload.
    QCOMPARE(queue.ordineAtIndex(0).Priorita, -1);
}

void TestUploadQueue::removeAndAppend()
{
    const OrdiniLocal::OrdineLocal kept = saved(7, true, -1, 30);
    const OrdiniLocal::OrdineLocal deleted = saved(7, true, -1, 20);
    OrdineUpload queue;
    queue.loadQueue();
    QSignalSpy changed(&queue, &OrdineUpload::queueChanged);
    QSignalSpy finished(&queue, &OrdineUpload::finishedProcessingQueue);

    QVERIFY(queue.removeItem(kept.Uuid, false));
    QVERIFY(m_fixture->orderFileExists(kept.Uuid));
    QVERIFY(queue.removeItem(deleted.Uuid, true));
    QVERIFY(!m_fixture->orderFileExists(deleted.Uuid));
    QVERIFY(!queue.removeItem(deleted.Uuid, true));
    QCOMPARE(changed.count(), 1);
    QCOMPARE(finished.count(), 1);

    // An order still active on disk comes back with the next reload.
    queue.loadQueue();
    QCOMPARE(queue.queueSize(), 1);
    QCOMPARE(queue.index(kept.Uuid), 0);

    OrdiniLocal::OrdineLocal inactive = kept;
    inactive.Attivo = false;
    QVERIFY(!queue.append(inactive));
    OrdiniLocal::OrdineLocal renamed = kept;
    renamed.Note = QStringLiteral("nuova nota");
    QVERIFY(queue.append(renamed));
    QCOMPARE(queue.queueSize(), 1);
    QCOMPARE(queue.ordineAtIndex(0).Note, QStringLiteral("nuova nota"));
    QCOMPARE(queue.ordineAtIndex(5).Priorita, -1);
}

void TestUploadQueue::unreadableOrderFilesAreReportedAndKept()
{
    const QString good = saved(7, true, -1, 30).Uuid;
    const QString folder = KorvexGlobals::ordersQueuePath() + QLatin1Char('/');
    QFile goodFile(folder + good + QStringLiteral(".kv2"));
    QVERIFY(goodFile.open(QIODevice::ReadOnly));
    const QByteArray whole = goodFile.readAll();
    goodFile.close();
    const QMap<QString, QByteArray> damaged{
        {folder + QStringLiteral("{00000000-0000-4000-8000-000000000001}.kv2"), whole.left(whole.size() / 2)},
        {folder + QStringLiteral("{00000000-0000-4000-8000-000000000002}.kv2"), QByteArray()},
    };
    for (auto it = damaged.cbegin(); it != damaged.cend(); ++it) {
        QFile file(it.key());
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(it.value());
    }

    OrdineUpload queue;
    QSignalSpy unreadable(&queue, &OrdineUpload::unreadableOrderFiles);
    queue.loadQueue();
    QCOMPARE(queue.queueSize(), 1);
    QCOMPARE(queue.ordineAtIndex(0).Uuid, good);
    QCOMPARE(unreadable.count(), 1);
    const auto reasons = unreadable.at(0).at(0).value<QMap<QString, QString>>();
    QCOMPARE(reasons.keys(), damaged.keys());
    for (const QString &reason : reasons)
        QVERIFY(!reason.isEmpty());
    // The files stay as they were.
    for (auto it = damaged.cbegin(); it != damaged.cend(); ++it) {
        QFile file(it.key());
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), it.value());
    }
}

void TestUploadQueue::sentOrderWhoseFileStaysIsKeptOutOfTheRun()
{
    // Two orders the laboratory already has: the worker skips each as sent, no service call.
    QStringList uuids;
    for (qint64 age : {30, 20}) {
        OrdiniLocal::OrdineLocal ordine = EngineFixture::order();
        ordine.Utente = 7;
        ordine.Inviato = true;
        ordine.WsId = QStringLiteral("O%1").arg(age);
        ordine.Data = m_now.addSecs(-age);
        QVERIFY(m_fixture->save(ordine));
        uuids << ordine.Uuid;
    }
    UndeletableQueue queue;
    queue.kept.insert(uuids.at(0));
    QSignalSpy started(&queue, &OrdineUpload::startProcessingQueue);
    QSignalSpy finished(&queue, &OrdineUpload::finishedProcessingQueue);
    QSignalSpy notRemoved(&queue, &OrdineUpload::orderFileNotRemoved);

    // The order whose file stays goes once, and the queue goes on with the next one.
    queue.startUpload();
    QVERIFY(finished.wait(20000));
    QTRY_VERIFY(!queue.processingUploads());
    QCOMPARE(started.count(), 2);
    QCOMPARE(notRemoved.count(), 1);
    QCOMPARE(notRemoved.at(0).at(0).toString(), uuids.at(0));
    QCOMPARE(notRemoved.at(0).at(1).toString(), KorvexGlobals::ordersQueuePath() + QLatin1Char('/') + uuids.at(0) + QStringLiteral(".kv2"));
    QCOMPARE(notRemoved.at(0).at(2).toString(), QStringLiteral("Operazione non permessa"));
    QVERIFY(m_fixture->orderFileExists(uuids.at(0)));
    QVERIFY(!m_fixture->orderFileExists(uuids.at(1)));
    QVERIFY(queue.wasSent(uuids.at(0)));
    QVERIFY(queue.orderSentThisRun());
    QCOMPARE(queue.queueSize(), 0);

    // A new run meets it once more, and ends again.
    finished.clear();
    queue.startUpload();
    QVERIFY(finished.wait(20000));
    QTRY_VERIFY(!queue.processingUploads());
    QCOMPARE(started.count(), 3);
    QCOMPARE(notRemoved.count(), 2);
    QVERIFY(m_fixture->orderFileExists(uuids.at(0)));
}

void TestUploadQueue::orderFileThatCannotTakeItsOrdersNameIsReportedAndKept_data()
{
    // The Uuid written in an order file named "ordine.kv2".
    QTest::addColumn<QString>("uuid");
    QTest::newRow("no identifier") << QString();
    QTest::newRow("identifier too long for a file name")
        << QStringLiteral("{%1}").arg(QString(300, QLatin1Char('a')));
    QTest::newRow("identifier leading out of the folder") << QStringLiteral("../fuori");
}

void TestUploadQueue::orderFileThatCannotTakeItsOrdersNameIsReportedAndKept()
{
    QFETCH(QString, uuid);
    const QString good = saved(7, true, -1, 30).Uuid;
    OrdiniLocal::OrdineLocal ordine = EngineFixture::order();
    ordine.Utente = 7;
    ordine.Uuid = uuid;
    ordine.Data = m_now;
    const QByteArray bytes = OrdiniLocal().ToXML(ordine).toUtf8();
    const QString folder = KorvexGlobals::ordersQueuePath() + QLatin1Char('/');
    const QString path = folder + QStringLiteral("ordine.kv2");
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
    file.close();
    const QStringList before = m_fixture->orderFiles();

    OrdineUpload queue;
    QSignalSpy unreadable(&queue, &OrdineUpload::unreadableOrderFiles);
    queue.loadQueue();
    QCOMPARE(queue.queueSize(), 1);
    QCOMPARE(queue.ordineAtIndex(0).Uuid, good);
    QCOMPARE(unreadable.count(), 1);
    const auto reasons = unreadable.at(0).at(0).value<QMap<QString, QString>>();
    QCOMPARE(reasons.keys(), QStringList{path});
    QVERIFY(!reasons.value(path).isEmpty());
    // Left as it was, and nothing made beside it or outside the folder.
    QCOMPARE(m_fixture->orderFiles(), before);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), bytes);
    QVERIFY(!QFileInfo::exists(folder + QStringLiteral("../fuori.kv2")));
}

QTEST_GUILESS_MAIN(TestUploadQueue)
#include "tst_uploadqueue.moc"
