// Start-up as main() runs it: the identity the command line gives, the start failure, and
// quitting while an order is being sent.

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QTranslator>

#include <memory>

#include "guifixture.h"
#include "korvex2exception.h"
#include "korvexglobals.h"
#include "labsimulator.h"
#include "mainwindow.h"
#include "modalanswerer.h"
#include "ordinilocal.h"
#include "ordineupload.h"
#include "shots.h"
#include "startup.h"

namespace {

MainWindow *mainWindow()
{
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (auto *window = qobject_cast<MainWindow *>(w))
            return window;
    }
    return nullptr;
}

// Presses "Esci" once the condition holds (checked every 20 ms, while the event loop runs).
void quitWhen(std::function<bool()> condition)
{
    auto *poll = new QTimer(qApp);
    QObject::connect(poll, &QTimer::timeout, poll, [poll, condition] {
        MainWindow *window = mainWindow();
        if (!window || !window->isVisible() || !condition())
            return;
        poll->deleteLater();
        poll->stop();
        window->findChild<QToolButton *>("toolButtonEsci")->click();
    });
    poll->start(20);
}

bool readOrder(const QString &uuid, OrdiniLocal::OrdineLocal &ordine)
{
    QFile file(KorvexGlobals::ordersQueuePath() + QStringLiteral("/") + uuid + QStringLiteral(".kv2"));
    if (!file.open(QIODevice::ReadOnly))
        return false;
    try {
        ordine = OrdiniLocal().FromXML(QString::fromUtf8(file.readAll()));
    } catch (const Korvex2Exception &) {
        return false;
    }
    return ordine.Uuid == uuid;
}

} // namespace

class TestStartup : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void identityFromTheCommandLine_data();
    void identityFromTheCommandLine();
    void startFailureEndsWithItsMessage();
    void quittingWhileSendingLeavesAResumableOrder();
    void qtTextsInItalian();

private:
    std::unique_ptr<GuiFixture> fixture;
};

void TestStartup::initTestCase()
{
    Q_INIT_RESOURCE(application);
    fixture = std::make_unique<GuiFixture>();
}

void TestStartup::cleanup()
{
    QCoreApplication::setApplicationName(QStringLiteral("Korvex2"));
    KorvexGlobals::appDataPath = fixture->dataFolder();
    fixture->reset();
}

void TestStartup::identityFromTheCommandLine_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("dataFolderSet");

    QTest::newRow("no argument") << QStringList{"Korvex2Client"} << "Korvex2" << false;
    QTest::newRow("profile") << QStringList{"Korvex2Client", "test"} << "Korvex2test" << true;
    QTest::newRow("only the first argument") << QStringList{"Korvex2Client", "x", "y"} << "Korvex2x" << true;
    QTest::newRow("empty argument") << QStringList{"Korvex2Client", ""} << "Korvex2" << true;
}

void TestStartup::identityFromTheCommandLine()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, name);
    QFETCH(bool, dataFolderSet);
    const QString untouched = QStringLiteral("/untouched");
    KorvexGlobals::appDataPath = untouched;
    // The colour profile is the program folder's, whatever the working folder.
    const QString cwd = QDir::currentPath();
    QDir::setCurrent(fixture->home());

    Startup::configureApplication(*qApp, arguments);
    QDir::setCurrent(cwd);

    QCOMPARE(QCoreApplication::organizationName(), QStringLiteral("Vendrel"));
    QCOMPARE(QCoreApplication::applicationName(), name);
    QCOMPARE(QCoreApplication::applicationVersion(), QStringLiteral("2.1.13"));
    QCOMPARE(KorvexGlobals::appDataPath, dataFolderSet ? QDir::homePath() + "/." + name : untouched);
    QCOMPARE(KorvexGlobals::iccColorProfileLocation,
             QCoreApplication::applicationDirPath() + QStringLiteral("/profiles/sRGB.icm"));
    QVERIFY(QFile::exists(KorvexGlobals::iccColorProfileLocation));
    QVERIFY(QCoreApplication::libraryPaths().size() >= 2);
}

void TestStartup::startFailureEndsWithItsMessage()
{
    // A damaged local database in the data folder.
    QDir().mkpath(fixture->dataFolder());
    QFile damaged(fixture->dataFolder() + QStringLiteral("/korvex.s3db"));
    QVERIFY(damaged.open(QIODevice::WriteOnly));
    damaged.write(QByteArray(4096, 'x'));
    damaged.close();

    ModalAnswerer answerer;
    answerer.answer(QMessageBox::Ok);
    QCOMPARE(Startup::runMainWindow(*qApp), -1);

    QCOMPARE(answerer.count(), 1);
    QCOMPARE(answerer.last().icon, QMessageBox::Critical);
    QCOMPARE(answerer.last().title, QStringLiteral("Impossibile avviare l'applicazione"));
    const QString text = answerer.last().text;
    QVERIFY2(text.startsWith(QStringLiteral("Impossibile caricare i dati del servizio (Impossibile ottenere")),
             qPrintable(text));
    QVERIFY(text.endsWith(QStringLiteral(").\r\n\r\nUna nuova installazione potrebbe risolvere il problema, "
                                         "altrimenti contattare il supporto tecnico")));
    QVERIFY(!mainWindow());
    QVERIFY(!KorvexGlobals::ordineUpload);
}

void TestStartup::quittingWhileSendingLeavesAResumableOrder()
{
    LabSimulator sim;
    QVERIFY2(sim.start(), qPrintable(sim.errorString()));
    fixture->storeSettings(sim.baseUrl(), "demo", "demo", true);
    const QString uuid = GuiFixture::queueFileOrder(
        {fixture->bytesFile("uno.bin", 300000), fixture->bytesFile("due.bin", 200000)});
    const LabSimulator::Counts before = sim.counts();

    // The second file's record is being registered, held by the laboratory, when the customer
    // quits. The order file tells when the first file is up: a signal spy made once the window
    // shows could miss that file's signal on a loaded machine.
    QVERIFY(sim.holdAnswer("inserisciFile", 1, 1));
    quitWhen([&] {
        OrdiniLocal::OrdineLocal onDisk;
        return sim.heldCalls() == 1 && readOrder(uuid, onDisk) && !onDisk.righeFile.isEmpty()
               && onDisk.righeFile.at(0).Inviata;
    });
    // The held record is let go once the quitting program has told the queue to stop: its
    // progress timer stops then, while the worker still runs.
    auto *release = new QTimer(qApp);
    QObject::connect(release, &QTimer::timeout, release, [&sim, release] {
        OrdineUpload *queue = KorvexGlobals::ordineUpload;
        auto *progress = queue ? queue->findChild<QTimer *>() : nullptr;
        if (!progress || !queue->processingUploads() || progress->isActive())
            return;
        release->deleteLater();
        release->stop();
        QVERIFY(sim.releaseHeld());
    });
    release->start(20);
    QCOMPARE(Startup::runMainWindow(*qApp), 0);
    QCOMPARE(sim.heldCalls(), 0);

    // Nothing of the program is left running; the order waits, not sent, for the next start.
    QVERIFY(!KorvexGlobals::ordineUpload);
    QVERIFY(!KorvexGlobals::utente);
    QVERIFY(!mainWindow());
    OrdiniLocal::OrdineLocal ordine;
    QVERIFY(readOrder(uuid, ordine));
    QVERIFY(!ordine.Inviato);
    QVERIFY(ordine.Attivo);
    QCOMPARE(ordine.righeFile.at(0).Inviata, true);
    QCOMPARE(sim.counts().orders, before.orders);

    // The next start sends the rest once.
    KorvexGlobals::db.close();
    // The order is sent once its file is gone and the queue has ended.
    quitWhen([&] {
        OrdineUpload *queue = KorvexGlobals::ordineUpload;
        return queue && !queue->processingUploads()
               && !QFile::exists(KorvexGlobals::ordersQueuePath() + "/" + uuid + ".kv2");
    });
    QCOMPARE(Startup::runMainWindow(*qApp), 0);
    QVERIFY(!QFile::exists(KorvexGlobals::ordersQueuePath() + "/" + uuid + ".kv2"));
    const LabSimulator::Counts after = sim.counts();
    QCOMPARE(after.orders, before.orders + 1);
    QCOMPARE(after.fileRecords, before.fileRecords + 2);
    QCOMPARE(after.rows, before.rows + 2);
}

// The message boxes' standard buttons read as the rest of the program, in Italian.
void TestStartup::qtTextsInItalian()
{
    QVERIFY(Startup::loadQtTranslations(*qApp));
    QMessageBox box(QMessageBox::Question, QStringLiteral("Annulla invio ordine"),
                    QStringLiteral("Sei sicuro di voler annullare l'invio dell'ordine corrente?"),
                    QMessageBox::Yes | QMessageBox::No);
    box.setDefaultButton(QMessageBox::No);
    box.setDetailedText(QStringLiteral("foto.jpg"));
    box.show();
    QVERIFY(QTest::qWaitForWindowExposed(&box));
    QStringList texts;
    for (QAbstractButton *button : box.findChildren<QAbstractButton *>())
        texts << button->text().remove(QLatin1Char('&'));
    saveShot(&box, QStringLiteral("question-box"));
    box.close();
    for (QTranslator *translator : qApp->findChildren<QTranslator *>()) {
        QCoreApplication::removeTranslator(translator);
        delete translator;
    }
    texts.sort();
    QCOMPARE(texts, (QStringList{QStringLiteral("Mostra dettagli..."), QStringLiteral("No"), QStringLiteral("Sì")}));
}

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"
