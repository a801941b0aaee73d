// The upload queue window on the laboratory simulator, with real order files and the upload
// engine: cancelling and removing orders while the queue sends, the failures it answers, its
// counts, buttons, selection and progress.

#include <QApplication>
#include <QDateTime>
#include <QJsonObject>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>

#include <memory>

#include "enginefixture.h"
#include "filesizelimit.h"
#include "korvexglobals.h"
#include "labsimulator.h"
#include "modalanswerer.h"
#include "ordineupload.h"
#include "ordineuploaddialog.h"
#include "ordineuploaditemwidget.h"
#include "shots.h"

namespace {

QToolButton *button(QWidget *window, const char *name)
{
    return window->findChild<QToolButton *>(QString::fromLatin1(name));
}

QString labelText(QWidget *window, const char *name)
{
    auto *label = window->findChild<QLabel *>(QString::fromLatin1(name));
    return label ? label->text() : QStringLiteral("(missing)");
}

} // namespace

class TestQueueWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void cancelAndRemoveWhileSending_data();
    void cancelAndRemoveWhileSending();
    void cancelledHeadKeepsItsSentRowWhenResent();
    void cancelAnsweredAfterTheOrderWasSent();
    void cancelWhenTheFileCannotBeWritten();
    void cancelAtAnyMomentOfTheSend();
    void requestFromTheDetailsWindowWhileTheQueueMoves();
    void uploadErrorShowsTheMessageAsText();
    void missingFiles_data();
    void missingFiles();
    void orderOfUnknownKindMovesToTheSavedOrders();
    void countsAndEmptyQueue_data();
    void countsAndEmptyQueue();
    void buttonsSelectionAndProgress();
    void doubleClickOpensDetails();

private:
    OrdiniLocal::OrdineLocal savedOrder(const QString &note, int prints, int files);
    OrdineUploadItemWidget *cardOf(const QString &uuid) const;
    QStringList labNotes() const;

    std::unique_ptr<EngineFixture> m_fixture;
    std::unique_ptr<ModalAnswerer> m_answerer;
    std::unique_ptr<OrdineUploadDialog> m_window;
    int m_seed = 0;
};

void TestQueueWindow::initTestCase()
{
    Q_INIT_RESOURCE(application);
    qRegisterMetaType<QList<QFileInfo>>("QList<QFileInfo>");
}

void TestQueueWindow::init()
{
    m_fixture = std::make_unique<EngineFixture>();
    QVERIFY2(m_fixture->isValid(), qPrintable(m_fixture->errorString()));
    QVERIFY2(m_fixture->startLab(), qPrintable(m_fixture->errorString()));
    KorvexGlobals::ordineUpload = new OrdineUpload(nullptr);
    m_answerer = std::make_unique<ModalAnswerer>();
}

void TestQueueWindow::cleanup()
{
    m_window.reset();
    OrdineUpload *queue = KorvexGlobals::ordineUpload;
    if (queue && queue->processingUploads()) {
        QSignalSpy stopped(queue, &OrdineUpload::stopProcessingQueue);
        queue->terminateUpload();
        stopped.wait(20000);
    }
    delete queue;
    KorvexGlobals::ordineUpload = nullptr;
    OrdineUploadDialog::setComposerOpener(1, nullptr);
    m_answerer.reset();
    m_fixture.reset();
}

OrdiniLocal::OrdineLocal TestQueueWindow::savedOrder(const QString &note, int prints, int files)
{
    ++m_seed;
    OrdiniLocal::OrdineLocal ordine = EngineFixture::order();
    ordine.Note = note;
    // Orders made later are younger and go later.
    ordine.Data = QDateTime::currentDateTime().addSecs(m_seed - 1000);
    for (int i = 0; i < prints; ++i) {
        ordine.righeStampa << EngineFixture::printRow(
            m_fixture->photo(QStringLiteral("%1-foto%2.jpg").arg(m_seed).arg(i), QSize(1600, 1200), m_seed * 10 + i));
    }
    for (int i = 0; i < files; ++i) {
        ordine.righeFile << EngineFixture::fileRow(
            m_fixture->bytesFile(QStringLiteral("%1-file%2.bin").arg(m_seed).arg(i), 150000, m_seed * 10 + i));
    }
    if (!m_fixture->save(ordine))
        qWarning("order not saved");
    return ordine;
}

OrdineUploadItemWidget *TestQueueWindow::cardOf(const QString &uuid) const
{
    for (OrdineUploadItemWidget *card : m_window->findChildren<OrdineUploadItemWidget *>()) {
        if (card->Ordine().Uuid == uuid)
            return card;
    }
    return nullptr;
}

QStringList TestQueueWindow::labNotes() const
{
    QStringList notes;
    for (const EngineFixture::LabOrder &order : m_fixture->labState().orders)
        notes << order.note;
    return notes;
}

// ---------------------------------------------------------------------------------------
// Cancel and remove while the head order is being sent

void TestQueueWindow::cancelAndRemoveWhileSending_data()
{
    QTest::addColumn<QString>("action"); // the card's button
    QTest::addColumn<bool>("head");      // the order being sent, else the waiting one
    QTest::addColumn<bool>("yes");
    QTest::addColumn<QString>("headFile"); // "gone", "active", "inactive"
    QTest::addColumn<QString>("waitingFile");
    QTest::addColumn<QStringList>("sent");
    QTest::addColumn<bool>("headStopped");

    const QStringList both{"testa", "in attesa"};
    QTest::newRow("cancel the head") << "toolButtonAnnulla" << true << true << "inactive" << "gone"
                                     << QStringList{"in attesa"} << true;
    QTest::newRow("cancel the waiting order") << "toolButtonAnnulla" << false << true << "gone" << "inactive"
                                              << QStringList{"testa"} << false;
    QTest::newRow("cancel the head, No") << "toolButtonAnnulla" << true << false << "gone" << "gone" << both << false;
    QTest::newRow("cancel the waiting order, No") << "toolButtonAnnulla" << false << false << "gone" << "gone" << both
                                                  << false;
    QTest::newRow("remove the head") << "toolButtonRemove" << true << true << "gone" << "gone"
                                     << QStringList{"in attesa"} << true;
    QTest::newRow("remove the waiting order") << "toolButtonRemove" << false << true << "gone" << "gone"
                                              << QStringList{"testa"} << false;
    QTest::newRow("remove the head, No") << "toolButtonRemove" << true << false << "gone" << "gone" << both << false;
    QTest::newRow("remove the waiting order, No") << "toolButtonRemove" << false << false << "gone" << "gone" << both
                                                  << false;
}

void TestQueueWindow::cancelAndRemoveWhileSending()
{
    QFETCH(QString, action);
    QFETCH(bool, head);
    QFETCH(bool, yes);
    QFETCH(QString, headFile);
    QFETCH(QString, waitingFile);
    QFETCH(QStringList, sent);
    QFETCH(bool, headStopped);

    const OrdiniLocal::OrdineLocal first = savedOrder(QStringLiteral("testa"), 2, 0);
    const OrdiniLocal::OrdineLocal second = savedOrder(QStringLiteral("in attesa"), 0, 1);
    // The head's worker waits in its second print's product call once the first row went up:
    // the laboratory holds that call until the card's question has been answered.
    LabSimulator &lab = m_fixture->lab();
    QVERIFY(lab.holdAnswer(QStringLiteral("ottieniStampa"), 1, 1));

    OrdineUpload *queue = KorvexGlobals::ordineUpload;
    m_window = std::make_unique<OrdineUploadDialog>();
    m_window->setAutoClose(false);
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    QSignalSpy files(queue, &OrdineUpload::fileTerminated);
    QSignalSpy stopped(queue, &OrdineUpload::stopProcessingQueue);
    QSignalSpy finished(queue, &OrdineUpload::finishedProcessingQueue);
    QTest::mouseClick(button(m_window.get(), "toolButtonStart"), Qt::LeftButton);
    QVERIFY(files.wait(60000));
    QTRY_COMPARE_WITH_TIMEOUT(lab.heldCalls(), 1, 60000);
    QVERIFY(queue->isSending(first.Uuid));

    const QString target = head ? first.Uuid : second.Uuid;
    m_answerer->answer(yes ? QMessageBox::Yes : QMessageBox::No);
    OrdineUploadItemWidget *card = cardOf(target);
    QVERIFY(card);
    QTest::mouseClick(button(card, qPrintable(action)), Qt::LeftButton);
    QCOMPARE(m_answerer->count(), 1);
    const QString title = action == QLatin1String("toolButtonAnnulla") ? QStringLiteral("Annulla invio ordine")
                                                                       : QStringLiteral("Elimina");
    QCOMPARE(m_answerer->last().title, title);
    QCOMPARE(m_answerer->last().defaultButton, QStringLiteral("&No").remove(QLatin1Char('&')));
    QVERIFY(lab.releaseHeld());

    QVERIFY(finished.wait(60000));
    QTRY_VERIFY_WITH_TIMEOUT(!queue->processingUploads(), 60000);
    QCOMPARE(!stopped.isEmpty(), headStopped);
    QCOMPARE(labNotes(), sent);

    auto state = [&](const QString &uuid) {
        OrdiniLocal::OrdineLocal onDisk;
        if (!m_fixture->load(uuid, onDisk))
            return QStringLiteral("gone");
        return onDisk.Attivo ? QStringLiteral("active") : QStringLiteral("inactive");
    };
    QCOMPARE(state(first.Uuid), headFile);
    QCOMPARE(state(second.Uuid), waitingFile);
    if (headFile == QLatin1String("inactive")) {
        // The row that went up keeps its state: it is not sent again.
        QCOMPARE(m_fixture->sentRows(first.Uuid), 1);
    }
    // The window shows the empty queue.
    QTRY_VERIFY(m_window->findChildren<OrdineUploadItemWidget *>().isEmpty());
    QVERIFY(m_window->findChild<QWidget *>(QStringLiteral("frameEmptyQueue"))->isVisible());
    QCOMPARE(m_answerer->unexpected(), 0);
    // A head taken out after its first row went up leaves that file's record, unsent.
    if (!(head && yes)) {
        const QString fault = m_fixture->checkNoDuplicateOrOrphan();
        QVERIFY2(fault.isEmpty(), qPrintable(fault));
    }
}

void TestQueueWindow::cancelledHeadKeepsItsSentRowWhenResent()
{
    const OrdiniLocal::OrdineLocal first = savedOrder(QStringLiteral("annullato"), 2, 0);
    // Cancelled while the laboratory holds the second print's product call.
    LabSimulator &lab = m_fixture->lab();
    QVERIFY(lab.holdAnswer(QStringLiteral("ottieniStampa"), 1, 1));
    OrdineUpload *queue = KorvexGlobals::ordineUpload;
    m_window = std::make_unique<OrdineUploadDialog>();
    m_window->setAutoClose(false);
    m_window->show();
    QSignalSpy files(queue, &OrdineUpload::fileTerminated);
    QSignalSpy finished(queue, &OrdineUpload::finishedProcessingQueue);
    queue->startUpload();
    QVERIFY(files.wait(60000));
    QTRY_COMPARE_WITH_TIMEOUT(lab.heldCalls(), 1, 60000);
    m_answerer->answer(QMessageBox::Yes);
    QTest::mouseClick(button(cardOf(first.Uuid), "toolButtonAnnulla"), Qt::LeftButton);
    QVERIFY(lab.releaseHeld());
    QVERIFY(finished.count() > 0 || finished.wait(60000));
    QTRY_VERIFY_WITH_TIMEOUT(!queue->processingUploads(), 60000);

    OrdiniLocal::OrdineLocal onDisk;
    QVERIFY(m_fixture->load(first.Uuid, onDisk));
    QVERIFY(!onDisk.Attivo);
    QVERIFY(onDisk.righeStampa.at(0).Inviata);
    const QString sentId = onDisk.righeStampa.at(0).WsFileId;
    QVERIFY(!sentId.isEmpty());

    // Sent again later: the laboratory holds the first file once.
    onDisk.Attivo = true;
    QVERIFY(m_fixture->save(onDisk));
    finished.clear();
    queue->startUpload();
    QVERIFY(finished.wait(60000));
    QCOMPARE(labNotes(), QStringList{"annullato"});
    const EngineFixture::LabState labState = m_fixture->labState();
    QCOMPARE(labState.files.size(), 2);
    QVERIFY(labState.files.contains(sentId));
    const QString fault = m_fixture->checkNoDuplicateOrOrphan();
    QVERIFY2(fault.isEmpty(), qPrintable(fault));
}

void TestQueueWindow::cancelAnsweredAfterTheOrderWasSent()
{
    const OrdiniLocal::OrdineLocal only = savedOrder(QStringLiteral("unico"), 0, 1);
    // The laboratory holds the file record until the question is up.
    LabSimulator &lab = m_fixture->lab();
    QVERIFY(lab.holdAnswer(QStringLiteral("inserisciFile"), 1));
    OrdineUpload *queue = KorvexGlobals::ordineUpload;
    m_window = std::make_unique<OrdineUploadDialog>();
    m_window->setAutoClose(false);
    m_window->show();
    QSignalSpy finished(queue, &OrdineUpload::finishedProcessingQueue);
    queue->startUpload();
    QTRY_COMPARE_WITH_TIMEOUT(lab.heldCalls(), 1, 60000);
    QTRY_VERIFY(cardOf(only.Uuid));

    // The question stays open while the queue sends the order; Yes comes afterwards.
    bool sentBeforeYes = false;
    m_answerer->answerWith([&](QWidget *box) {
        QVERIFY(lab.releaseHeld());
        sentBeforeYes = QTest::qWaitFor([&] { return !finished.isEmpty(); }, 60000);
        static_cast<QMessageBox *>(box)->button(QMessageBox::Yes)->click();
    });
    QTest::mouseClick(button(cardOf(only.Uuid), "toolButtonAnnulla"), Qt::LeftButton);
    QVERIFY(sentBeforeYes);
    QCOMPARE(m_answerer->count(), 1);
    QTRY_VERIFY_WITH_TIMEOUT(!queue->processingUploads(), 60000);
    // Nothing asked, warned or written after the answer: the order file stays gone.
    QTest::qWait(200);
    QCOMPARE(m_answerer->count(), 1);
    QVERIFY(m_fixture->orderFiles().isEmpty());
    QCOMPARE(labNotes(), QStringList{"unico"});
    QTRY_VERIFY(m_window->findChildren<OrdineUploadItemWidget *>().isEmpty());
}

void TestQueueWindow::cancelWhenTheFileCannotBeWritten()
{
    const OrdiniLocal::OrdineLocal ordine = savedOrder(QStringLiteral("non scrivibile"), 1, 1);
    OrdineUpload *queue = KorvexGlobals::ordineUpload;
    queue->loadQueue();
    m_window = std::make_unique<OrdineUploadDialog>();
    m_window->show();

    std::unique_ptr<FileSizeLimit> limit;
    m_answerer->answerWith([&](QWidget *box) {
        limit = std::make_unique<FileSizeLimit>(256);
        static_cast<QMessageBox *>(box)->button(QMessageBox::Yes)->click();
    });
    m_answerer->answerWith([&](QWidget *box) {
        limit.reset();
        static_cast<QMessageBox *>(box)->button(QMessageBox::Ok)->click();
    });
    QTest::mouseClick(button(cardOf(ordine.Uuid), "toolButtonAnnulla"), Qt::LeftButton);
    QCOMPARE(m_answerer->count(), 2);
    const ModalAnswerer::Box warning = m_answerer->last();
    QCOMPARE(warning.icon, QMessageBox::Warning);
    QVERIFY2(warning.text.contains(QStringLiteral("Impossibile scrivere il file")), qPrintable(warning.text));

    // Still queued and active, on disk as in the queue.
    QCOMPARE(queue->index(ordine.Uuid), 0);
    OrdiniLocal::OrdineLocal onDisk;
    QVERIFY(m_fixture->load(ordine.Uuid, onDisk));
    QVERIFY(onDisk.Attivo);
    QVERIFY(cardOf(ordine.Uuid));
    QCOMPARE(m_answerer->unexpected(), 0);
}

void TestQueueWindow::cancelAtAnyMomentOfTheSend()
{
    // The window and the worker write the same order file: cancelled as the queue starts, in
    // the middle of a row (the laboratory holds the row's file record, before or after storing
    // it) and as the worker reports a row, the file keeps every row the worker recorded, the
    // worker stops after the row it is in, and sent again the order reaches the laboratory
    // once, each file once. The laboratory holds every new file record until the cancel has
    // been answered, so that each cancel falls where it is meant to at any speed.
    const OrdiniLocal::OrdineLocal ordine = savedOrder(QStringLiteral("a tratti"), 0, 6);
    OrdineUpload *queue = KorvexGlobals::ordineUpload;
    LabSimulator &lab = m_fixture->lab();
    m_window = std::make_unique<OrdineUploadDialog>();
    m_window->setAutoClose(false);
    m_window->show();

    enum class At { Start, HeldRow, RowReported };
    struct Round
    {
        At at;
        int released;   // new file records answered before the cancel
        bool afterWork; // the held record is stored by the laboratory before the cancel
    };
    // At most five of the six rows go: the last cancel still finds a row to hold.
    const QList<Round> rounds{{At::Start, 0, false},
                              {At::HeldRow, 0, false},
                              {At::HeldRow, 1, true},
                              {At::RowReported, 1, false}};
    int questions = 0;
    for (const Round &round : rounds) {
        OrdiniLocal::OrdineLocal onDisk;
        QVERIFY(m_fixture->load(ordine.Uuid, onDisk));
        onDisk.Attivo = true;
        QVERIFY(m_fixture->save(onDisk));
        int recorded = 0; // rows with a file record: sent, or going without a new one
        for (const OrdiniLocal::OrdineRigaFileLocal &riga : qAsConst(onDisk.righeFile))
            recorded += !riga.WsFileId.isEmpty();
        const int sentBefore = m_fixture->sentRows(ordine.Uuid);
        // Rows sent, and reported by the worker, once the round's records were answered.
        const int expectedSent = round.at == At::Start ? sentBefore : recorded + round.released;

        QVERIFY(lab.holdAnswer(QStringLiteral("inserisciFile"), -1, 0, round.afterWork));
        QSignalSpy files(queue, &OrdineUpload::fileTerminated);
        queue->startUpload();
        QVERIFY(queue->processingUploads());
        for (int i = 0; i < round.released; ++i) {
            QTRY_COMPARE_WITH_TIMEOUT(lab.heldCalls(), 1, 60000);
            QVERIFY(lab.releaseHeld(QStringLiteral("inserisciFile"), 1));
        }
        if (round.at == At::HeldRow)
            QTRY_COMPARE_WITH_TIMEOUT(lab.heldCalls(), 1, 60000);
        else if (round.at == At::RowReported)
            QTRY_COMPARE_WITH_TIMEOUT(files.count(), expectedSent, 60000);
        QTRY_VERIFY(cardOf(ordine.Uuid));
        m_answerer->answer(QMessageBox::Yes);
        QTest::mouseClick(button(cardOf(ordine.Uuid), "toolButtonAnnulla"), Qt::LeftButton);
        QCOMPARE(m_answerer->count(), ++questions);
        // The worker was asked to stop: the held record may now be answered.
        QVERIFY(lab.resetKnobs());
        QTRY_VERIFY_WITH_TIMEOUT(!queue->processingUploads(), 60000);

        QVERIFY(m_fixture->load(ordine.Uuid, onDisk));
        QVERIFY(!onDisk.Attivo);
        QCOMPARE(m_fixture->sentRows(ordine.Uuid), expectedSent);
        for (const OrdiniLocal::OrdineRigaFileLocal &riga : qAsConst(onDisk.righeFile))
            QVERIFY(!riga.Inviata || !riga.WsFileId.isEmpty());
        QCOMPARE(queue->queueSize(), 0);
        QVERIFY(labNotes().isEmpty());
    }
    QCOMPARE(m_answerer->unexpected(), 0);

    OrdiniLocal::OrdineLocal onDisk;
    QVERIFY(m_fixture->load(ordine.Uuid, onDisk));
    onDisk.Attivo = true;
    QVERIFY(m_fixture->save(onDisk));
    QSignalSpy finished(queue, &OrdineUpload::finishedProcessingQueue);
    queue->startUpload();
    QVERIFY(finished.wait(60000));
    QCOMPARE(labNotes(), QStringList{"a tratti"});
    QCOMPARE(m_fixture->labState().orders.at(0).rows.size(), 6);
    const QString fault = m_fixture->checkNoDuplicateOrOrphan();
    QVERIFY2(fault.isEmpty(), qPrintable(fault));
}

void TestQueueWindow::requestFromTheDetailsWindowWhileTheQueueMoves()
{
    // The request comes from a details window opened on a card; while its question is
    // open the head order ends, the queue changes and then ends: the cards, the details window
    // and their handlers are still on the stack, and must outlive them.
    const OrdiniLocal::OrdineLocal head = savedOrder(QStringLiteral("testa"), 0, 1);
    const OrdiniLocal::OrdineLocal waiting = savedOrder(QStringLiteral("in attesa"), 0, 1);
    // The laboratory holds the second order's file record: it is still being sent at the
    // answer.
    LabSimulator &lab = m_fixture->lab();
    QVERIFY(lab.holdAnswer(QStringLiteral("inserisciFile"), 1, 1));
    OrdineUpload *queue = KorvexGlobals::ordineUpload;
    m_window = std::make_unique<OrdineUploadDialog>();
    m_window->setAutoClose(false);
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    QSignalSpy terminated(queue, &OrdineUpload::orderTerminated);
    QSignalSpy finished(queue, &OrdineUpload::finishedProcessingQueue);
    queue->startUpload();
    QTRY_VERIFY(cardOf(waiting.Uuid));

    m_answerer->answerWith([](QWidget *details) {
        QTest::mouseClick(details->findChild<QToolButton *>(QStringLiteral("toolButtonRemove")), Qt::LeftButton);
    });
    bool movedMeanwhile = false;
    m_answerer->answerWith([&](QWidget *box) {
        movedMeanwhile = QTest::qWaitFor([&] { return !terminated.isEmpty() && lab.heldCalls() == 1; }, 60000);
        static_cast<QMessageBox *>(box)->button(QMessageBox::Yes)->click();
        QVERIFY(lab.releaseHeld());
    });
    QTest::mouseClick(button(cardOf(waiting.Uuid), "toolButtonDetails"), Qt::LeftButton);
    QCOMPARE(m_answerer->count(), 2);
    QCOMPARE(m_answerer->boxes().at(0).className, QStringLiteral("OrdineLocalDetails"));
    QVERIFY(movedMeanwhile);

    // The removed order, being sent, is not queued again while its worker ends: the queue
    // reports its end.
    QVERIFY(finished.count() > 0 || finished.wait(60000));
    QTRY_VERIFY_WITH_TIMEOUT(!queue->processingUploads(), 60000);
    QCOMPARE(queue->queueSize(), 0);
    QCOMPARE(labNotes(), QStringList{"testa"});
    QVERIFY(!m_fixture->orderFileExists(waiting.Uuid));
    QTRY_VERIFY(m_window->findChildren<OrdineUploadItemWidget *>().isEmpty());
    QCOMPARE(m_answerer->unexpected(), 0);
    Q_UNUSED(head)
}

// ---------------------------------------------------------------------------------------
// Failures the window answers

void TestQueueWindow::uploadErrorShowsTheMessageAsText()
{
    savedOrder(QStringLiteral("errore"), 0, 1);
    OrdineUpload *queue = KorvexGlobals::ordineUpload;
    queue->loadQueue();
    m_window = std::make_unique<OrdineUploadDialog>();
    m_window->show();
    m_answerer->answer(QMessageBox::Ok);
    emit queue->errorOccurred(QStringLiteral("Impossibile inviare <foto&1>.jpg\nFault: a < b"));
    QCOMPARE(m_answerer->count(), 1);
    QCOMPARE(m_answerer->last().icon, QMessageBox::Critical);
    QCOMPARE(m_answerer->last().title, QStringLiteral("Errore invio ordine"));
    QCOMPARE(m_answerer->last().text,
             QString::fromUtf8("<h3>Si è verificato un errore in fase di invio degli ordini</h3>"
                               "Impossibile inviare &lt;foto&amp;1&gt;.jpg<br>Fault: a &lt; b"));
}

void TestQueueWindow::missingFiles_data()
{
    QTest::addColumn<bool>("composer"); // a composer of file orders is wired
    QTest::newRow("cancelling only") << false;
    QTest::newRow("with a composer") << true;
}

void TestQueueWindow::missingFiles()
{
    QFETCH(bool, composer);
    OrdiniLocal::OrdineLocal ordine = savedOrder(QStringLiteral("mancante"), 0, 2);
    QVERIFY(QFile::remove(ordine.righeFile.at(1).FilePath));
    // The card's copy is older than the file: the composer gets the file.
    OrdiniLocal::OrdineLocal onDisk = ordine;
    onDisk.Note = QStringLiteral("nota nel file");
    QVERIFY(m_fixture->save(onDisk));
    QStringList edited;
    if (composer) {
        OrdineUploadDialog::setComposerOpener(1, [&](const OrdiniLocal::OrdineLocal &o, QWidget *parent) {
            edited << o.Note + QStringLiteral(" / ") + QString::fromLatin1(parent->metaObject()->className());
        });
    }

    OrdineUpload *queue = KorvexGlobals::ordineUpload;
    queue->loadQueue();
    m_window = std::make_unique<OrdineUploadDialog>();
    m_window->setAutoClose(false);
    m_window->show();
    QSignalSpy finished(queue, &OrdineUpload::finishedProcessingQueue);
    // Missing files, then (composer) edit; missing files again, cancel, No; missing files
    // again, cancel, Yes.
    if (composer)
        m_answerer->answer(QStringLiteral("Modifica Ordine"));
    m_answerer->answer(QStringLiteral("Annulla Invio"));
    m_answerer->answer(QMessageBox::No);
    m_answerer->answer(QStringLiteral("Annulla Invio"));
    m_answerer->answer(QMessageBox::Yes);
    queue->startUpload();
    QVERIFY(finished.wait(60000));
    QTRY_VERIFY_WITH_TIMEOUT(!queue->processingUploads(), 10000);
    QCOMPARE(m_answerer->pending(), 0);
    QCOMPARE(m_answerer->unexpected(), 0);

    const QList<ModalAnswerer::Box> boxes = m_answerer->boxes();
    const ModalAnswerer::Box missing = boxes.first();
    QCOMPARE(missing.title, QStringLiteral("Errore invio ordine"));
    QCOMPARE(missing.icon, QMessageBox::Warning);
    QStringList choices = missing.buttons;
    // The box's own button that shows the list of files is no choice.
    choices = choices.filter(QRegularExpression(QStringLiteral("^(?!Show Details)")));
    QCOMPARE(choices, composer ? (QStringList{"Modifica Ordine", "Annulla Invio"}) : QStringList{"Annulla Invio"});
    QVERIFY(missing.text.endsWith(QStringLiteral("oppure annulla l'invio")));
    QCOMPARE(boxes.at(composer ? 2 : 1).title, QStringLiteral("Annulla invio ordine"));
    QCOMPARE(boxes.at(composer ? 3 : 2).title, QStringLiteral("Errore invio ordine"));
    QCOMPARE(edited, composer ? QStringList{"nota nel file / OrdineUploadDialog"} : QStringList());

    // Cancelled: saved, no longer queued; nothing went to the laboratory.
    QVERIFY(m_fixture->load(ordine.Uuid, onDisk));
    QVERIFY(!onDisk.Attivo);
    QCOMPARE(onDisk.Note, QStringLiteral("nota nel file"));
    QCOMPARE(queue->queueSize(), 0);
    QVERIFY(labNotes().isEmpty());
}

void TestQueueWindow::orderOfUnknownKindMovesToTheSavedOrders()
{
    const OrdiniLocal::OrdineLocal empty = savedOrder(QStringLiteral("senza righe"), 0, 0);
    const OrdiniLocal::OrdineLocal other = savedOrder(QStringLiteral("altro"), 0, 1);
    OrdineUpload *queue = KorvexGlobals::ordineUpload;
    queue->loadQueue();
    m_window = std::make_unique<OrdineUploadDialog>();
    m_window->show();
    m_answerer->answer(QMessageBox::Ok);
    QVERIFY(!m_window->modificaOrdine(empty.Uuid));
    QCOMPARE(m_answerer->count(), 1);
    QCOMPARE(m_answerer->last().title, QStringLiteral("Modifica Ordine"));
    QVERIFY(m_answerer->last().text.startsWith(QStringLiteral("Impossibile avviare la modifica dell'ordine")));
    // As the message says: saved, no longer queued; the other order stays.
    OrdiniLocal::OrdineLocal onDisk;
    QVERIFY(m_fixture->load(empty.Uuid, onDisk));
    QVERIFY(!onDisk.Attivo);
    QCOMPARE(queue->index(empty.Uuid), -1);
    QCOMPARE(queue->index(other.Uuid), 0);
    // An order that is not shown, or whose kind has no composer yet, opens nothing.
    QVERIFY(!m_window->modificaOrdine(QStringLiteral("{nessuno}")));
    QTRY_VERIFY(cardOf(other.Uuid));
    QVERIFY(!m_window->modificaOrdine(other.Uuid));
    QCOMPARE(m_answerer->count(), 1);
    QCOMPARE(m_answerer->unexpected(), 0);
}

// ---------------------------------------------------------------------------------------
// Counts, buttons, selection, progress

void TestQueueWindow::countsAndEmptyQueue_data()
{
    QTest::addColumn<int>("orders");
    QTest::addColumn<QString>("count");
    QTest::newRow("none") << 0 << "<b>0</b> Ordini in coda";
    QTest::newRow("one") << 1 << "<b>1</b> Ordine in coda";
    QTest::newRow("two") << 2 << "<b>2</b> Ordini in coda";
}

void TestQueueWindow::countsAndEmptyQueue()
{
    QFETCH(int, orders);
    QFETCH(QString, count);
    for (int i = 0; i < orders; ++i)
        savedOrder(QStringLiteral("ordine %1").arg(i), 1, 1);
    KorvexGlobals::ordineUpload->loadQueue();
    m_window = std::make_unique<OrdineUploadDialog>();
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    QCOMPARE(labelText(m_window.get(), "labelOrdiniUploadCount"), count);
    QCOMPARE(m_window->findChildren<OrdineUploadItemWidget *>().size(), orders);
    QCOMPARE(m_window->findChild<QWidget *>(QStringLiteral("frameEmptyQueue"))->isVisible(), orders == 0);
    QCOMPARE(m_window->findChild<QWidget *>(QStringLiteral("frame"))->isVisible(), orders > 0);
    QCOMPARE(button(m_window.get(), "toolButtonStart")->isVisible(), orders > 0);
    QVERIFY(button(m_window.get(), "toolButtonStop")->isHidden());
    QVERIFY(button(m_window.get(), "toolButtonHide")->isVisible());
    if (orders == 0) {
        saveShot(m_window.get(), QStringLiteral("queue-empty"));
        // Start and stop signals of the queue leave the buttons hidden.
        emit KorvexGlobals::ordineUpload->stopProcessingQueue();
        QVERIFY(button(m_window.get(), "toolButtonStart")->isHidden());
    }
    // "Nascondi" closes the window.
    QTest::mouseClick(button(m_window.get(), "toolButtonHide"), Qt::LeftButton);
    QVERIFY(m_window->isHidden());
}

void TestQueueWindow::buttonsSelectionAndProgress()
{
    const OrdiniLocal::OrdineLocal first = savedOrder(QStringLiteral("Rossi <b>&</b> C."), 2, 0);
    savedOrder(QStringLiteral("secondo"), 0, 1);
    savedOrder(QStringLiteral("terzo"), 1, 1);
    // The head's worker waits in its second print's product call, held by the laboratory
    // until the queue is stopped.
    LabSimulator &lab = m_fixture->lab();
    QVERIFY(lab.holdAnswer(QStringLiteral("ottieniStampa"), 1, 1));
    OrdineUpload *queue = KorvexGlobals::ordineUpload;
    queue->loadQueue();
    m_window = std::make_unique<OrdineUploadDialog>();
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    auto *list = m_window->findChild<QListWidget *>(QStringLiteral("listWidgetOrdiniUpload"));
    QToolButton *start = button(m_window.get(), "toolButtonStart");
    QToolButton *stop = button(m_window.get(), "toolButtonStop");

    // Idle: nothing can be selected.
    QVERIFY(start->isVisible() && stop->isHidden());
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, list->visualItemRect(list->item(1)).center());
    QVERIFY(list->selectedItems().isEmpty());

    QSignalSpy files(queue, &OrdineUpload::fileTerminated);
    QSignalSpy fileChanged(queue, &OrdineUpload::currentProcessingFileChanged);
    QTest::mouseClick(start, Qt::LeftButton);
    QVERIFY(stop->isVisible() && start->isHidden());
    QVERIFY(files.wait(60000));
    QTRY_COMPARE_WITH_TIMEOUT(lab.heldCalls(), 1, 60000);
    // Sending: the head stays selected whatever is clicked.
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, list->visualItemRect(list->item(2)).center());
    QCOMPARE(list->selectedItems(), QList<QListWidgetItem *>{list->item(0)});
    QCOMPARE(list->currentRow(), 0);
    // The name of the file being sent shows as typed.
    QVERIFY(!fileChanged.isEmpty());
    QCOMPARE(labelText(m_window.get(), "labelCurrentProcessingFile"),
             fileChanged.last().at(0).value<QFileInfo>().fileName());
    QCOMPARE(m_window->findChild<QLabel *>(QStringLiteral("labelCurrentProcessingFile"))->textFormat(), Qt::PlainText);

    // Byte counts past 32 bits, in thousandths.
    constexpr qint64 GiB = qint64(1) << 30;
    emit queue->CurrentOrderGlobalFileProgress(3 * GiB, 5 * GiB);
    QCOMPARE(m_window->findChild<QProgressBar *>(QStringLiteral("progressBarOrdine"))->text(), QStringLiteral("60%"));
    emit queue->CurrentOrderCurrentFileProgress(1, 3);
    QCOMPARE(m_window->findChild<QProgressBar *>(QStringLiteral("progressBarFile"))->text(), QStringLiteral("33%"));
    saveShot(m_window.get(), QStringLiteral("queue-sending"));

    // A left double click on a waiting order opens its details while the head stays selected.
    m_answerer->answerWith([](QWidget *details) { details->close(); });
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, Qt::NoModifier,
                       list->visualItemRect(list->item(1)).topLeft() + QPoint(2, 2));
    QVERIFY(m_answerer->waitForCount(1));
    QCOMPARE(m_answerer->last().className, QStringLiteral("OrdineLocalDetails"));
    QCOMPARE(list->selectedItems(), QList<QListWidgetItem *>{list->item(0)});

    // Stopping: wait cursor and both buttons off until the worker has ended.
    QSignalSpy stopped(queue, &OrdineUpload::stopProcessingQueue);
    QTest::mouseClick(stop, Qt::LeftButton);
    QVERIFY(QGuiApplication::overrideCursor());
    QVERIFY(!start->isEnabled() && !stop->isEnabled());
    QVERIFY(lab.releaseHeld());
    QVERIFY(stopped.wait(60000));
    QVERIFY(!QGuiApplication::overrideCursor());
    QVERIFY(start->isEnabled() && stop->isEnabled());
    QVERIFY(start->isVisible() && stop->isHidden());
    QVERIFY(list->selectedItems().isEmpty());
    QCOMPARE(m_window->findChild<QProgressBar *>(QStringLiteral("progressBarOrdine"))->value(), 0);
    QCOMPARE(queue->queueSize(), 3);
    QCOMPARE(m_answerer->count(), 1);
    Q_UNUSED(first)
}

void TestQueueWindow::doubleClickOpensDetails()
{
    const OrdiniLocal::OrdineLocal ordine = savedOrder(QStringLiteral("dettagli"), 1, 0);
    KorvexGlobals::ordineUpload->loadQueue();
    m_window = std::make_unique<OrdineUploadDialog>();
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    auto *list = m_window->findChild<QListWidget *>(QStringLiteral("listWidgetOrdiniUpload"));
    const QPoint at = list->visualItemRect(list->item(0)).topLeft() + QPoint(2, 2);

    QTest::mouseDClick(list->viewport(), Qt::RightButton, Qt::NoModifier, at);
    QTest::qWait(100);
    QCOMPARE(m_answerer->count(), 0);

    m_answerer->answerWith([](QWidget *details) { details->close(); });
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, at);
    QVERIFY(m_answerer->waitForCount(1));
    QCOMPARE(m_answerer->last().className, QStringLiteral("OrdineLocalDetails"));
    QCOMPARE(m_answerer->unexpected(), 0);
    QVERIFY(cardOf(ordine.Uuid));
}

QTEST_MAIN(TestQueueWindow)
#include "tst_queuewindow.moc"
