// The main window: its look at start, articles and banner, the local database command,
// login and logout, the upload strip and its boxes, the payment page after a sent queue, order
// files that the queue cannot read or could not remove.

#include <QAccessible>
#include <QApplication>
#include <QBuffer>
#include <QFile>
#include <QPointer>
#include <QLineEdit>
#include <QSettings>
#include <QDesktopServices>
#include <QFile>
#include <QFileDialog>
#include <QImage>
#include <QJsonArray>
#include <QJsonObject>
#include <QLabel>
#include <QListWidget>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTableView>
#include <QTest>
#include <QToolButton>

#include <memory>

#include "articoloinviofilecomposer.h"
#include "articolostampafotograficacomposer.h"
#include "articolowidget.h"
#include "gestioneordini.h"
#include "guifixture.h"
#include "korvexglobals.h"
#include "labsimulator.h"
#include "logindialog.h"
#include "mainwindow.h"
#include "modalanswerer.h"
#include "ordineupload.h"
#include "ordineuploaddialog.h"
#include "ordineuploaditemwidget.h"
#include "paymentpage.h"
#include "shots.h"
#include "startup.h"
#include "undeletablequeue.h"
#include "utente.h"

// Takes the URLs that the program hands to the desktop.
class UrlCatcher : public QObject
{
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void open(const QUrl &url) { urls.append(url); }
};

namespace {

constexpr qint64 GiB = qint64(1) << 30;

QToolButton *button(QWidget *window, const char *name)
{
    return window->findChild<QToolButton *>(QString::fromLatin1(name));
}

QList<int> articleIds(QWidget *window)
{
    auto *list = window->findChild<QListWidget *>("listWidgetArticoli");
    QList<int> ids;
    for (int i = 0; i < list->count(); ++i)
        ids.append(static_cast<ArticoloWidget *>(list->itemWidget(list->item(i)))->id());
    return ids;
}

// Types the file name into the file dialog and accepts it, as the customer would.
void chooseFile(QFileDialog *dialog, const QString &path)
{
    dialog->findChild<QLineEdit *>("fileNameEdit")->setText(path);
    static_cast<QDialog *>(dialog)->accept();
}

// A local database of the main window's own tables, as a catalogue file may hold them.
void writeDatabase(const QString &path, const QList<QStringList> &articles, const QStringList &banners)
{
    QFile::remove(path);
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "fixture");
        db.setDatabaseName(path);
        QVERIFY(db.open());
        QSqlQuery q(db);
        QVERIFY(q.exec("CREATE TABLE config (chiave TEXT, valore TEXT)"));
        QVERIFY(q.exec("INSERT INTO config VALUES ('wsendpoint', 'http://127.0.0.1:9/'), ('dbVersion', '3')"));
        QVERIFY(q.exec("CREATE TABLE articoli (id INT, immagine BLOB, titolo TEXT, descrizione TEXT, "
                       "abilitato BOOLEAN, posizione INT)"));
        for (const QStringList &a : articles) { // id, abilitato, posizione
            q.prepare("INSERT INTO articoli VALUES (?, ?, ?, 'descrizione', ?, ?)");
            q.addBindValue(a.at(0).toInt());
            q.addBindValue(QByteArray("not an image"), QSql::In | QSql::Binary);
            q.addBindValue(QStringLiteral("Articolo ") + a.at(0));
            q.addBindValue(a.at(1).toInt());
            q.addBindValue(a.at(2).toInt());
            QVERIFY2(q.exec(), qPrintable(q.lastError().text()));
        }
        QVERIFY(q.exec("CREATE TABLE layout (component TEXT, image BLOB, string TEXT)"));
        for (const QString &url : banners) {
            q.prepare("INSERT INTO layout VALUES ('banner', ?, ?)");
            QPixmap image(64, 8);
            image.fill(Qt::darkBlue);
            QByteArray bytes;
            QBuffer buffer(&bytes);
            buffer.open(QIODevice::WriteOnly);
            image.save(&buffer, "PNG");
            q.addBindValue(bytes, QSql::In | QSql::Binary);
            q.addBindValue(url);
            QVERIFY(q.exec());
        }
        QVERIFY(q.exec("INSERT INTO layout VALUES ('altro', NULL, 'http://127.0.0.1/altro')"));
    }
    QSqlDatabase::removeDatabase("fixture");
}

// Gives a queued order its place in the sending order (0 first).
void setSendingPlace(const QString &uuid, int place)
{
    OrdiniLocal store;
    QFile file(KorvexGlobals::ordersQueuePath() + QLatin1Char('/') + uuid + QStringLiteral(".kv2"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    OrdiniLocal::OrdineLocal ordine = store.FromXML(QString::fromUtf8(file.readAll()));
    file.close();
    QCOMPARE(ordine.Uuid, uuid);
    ordine.Priorita = place;
    QVERIFY(store.SaveXML(ordine));
}

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void startsHiddenBehindTheLoginDialog();
    void articlesAndBanner();
    void createsALocalDatabase();
    void refusesTheProgramsOwnDatabase();
    void silentLoginWithRememberedCredentials();
    void rememberedUserWithoutPasswordAsksForLogin();
    void loginThroughTheDialog();
    void logoutAsksAndForgets();
    void uploadStripFollowsTheQueue();
    void uploadErrorShowsTheMessageAsText_data();
    void uploadErrorShowsTheMessageAsText();
    void missingFilesBox();
    void paymentPageAfterTheQueueWasSent_data();
    void paymentPageAfterTheQueueWasSent();
    void paymentPageUrlIsEncoded();
    void queueWindowSendsThreeOrders();
    void cancellingTheLastOrderOpensNoPaymentPage();
    void logoutWhileSendingStopsTheWorker();
    void doubleClickOnLoginOpensOneDialog();
    void photoPrintArticleOpensItsComposer();
    void queueWindowEditsInTheComposerOfTheOrdersKind_data();
    void queueWindowEditsInTheComposerOfTheOrdersKind();
    // The order manager.
    void ordersButtonOpensTheOrderManager();
    void stopShowsTheStripStoppingUntilTheWorkerEnds();
    void noPaymentPageForARunThatSentNothing();
    void paymentPageForARunThatRestartedItself();
    void paymentPageAfterOrdersWithMissingFilesWereCancelled_data();
    void paymentPageAfterOrdersWithMissingFilesWereCancelled();
    void unreadableQueuedOrdersToldOncePerFile();
    void sentOrderWhoseFileStaysToldOnce();

private:
    // Builds the main window; its login request then runs. answer handles the login dialog
    // when one shows (null: none may show).
    MainWindow *open(const std::function<void(LoginDialog *)> &answer = nullptr);
    void waitForLogin();
    void closeWindow();

    std::unique_ptr<GuiFixture> fixture;
    std::unique_ptr<LabSimulator> sim;
    std::unique_ptr<ModalAnswerer> answerer;
    std::unique_ptr<UrlCatcher> urls;
    MainWindow *window = nullptr;
};

void TestMainWindow::initTestCase()
{
    Q_INIT_RESOURCE(application);
    fixture = std::make_unique<GuiFixture>();
    sim = std::make_unique<LabSimulator>();
    QVERIFY2(sim->start(), qPrintable(sim->errorString()));
    urls = std::make_unique<UrlCatcher>();
    QDesktopServices::setUrlHandler("http", urls.get(), "open");
}

void TestMainWindow::init()
{
    fixture->reset();
    QVERIFY(sim->resetKnobs());
    fixture->storeSettings(sim->baseUrl());
    urls->urls.clear();
    answerer = std::make_unique<ModalAnswerer>();
    answerer->watchDialogs("LoginDialog");
}

void TestMainWindow::cleanup()
{
    closeWindow();
    answerer.reset();
    fixture->reset();
}

void TestMainWindow::closeWindow()
{
    if (!window)
        return;
    window->close();
    Startup::shutdownUploadQueue();
    delete window;
    window = nullptr;
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (qobject_cast<LoginDialog *>(w))
            delete w;
    }
}

MainWindow *TestMainWindow::open(const std::function<void(LoginDialog *)> &answer)
{
    if (answer)
        answerer->answerWith([answer](QWidget *box) { answer(static_cast<LoginDialog *>(box)); });
    window = new MainWindow;
    window->show();
    waitForLogin();
    return window;
}

void TestMainWindow::waitForLogin()
{
    // The login request runs from a timer after construction: a silent login, or the dialog
    // (answered, or counted as unexpected). Done once either has happened.
    const int boxes = answerer->count();
    QTRY_VERIFY_WITH_TIMEOUT((KorvexGlobals::utente || answerer->count() > boxes) && window->isVisible()
                                 && answerer->pending() == 0,
                             60000);
}

void TestMainWindow::startsHiddenBehindTheLoginDialog()
{
    bool mainHidden = false;
    open([&](LoginDialog *dialog) {
        mainHidden = window->isHidden();
        dialog->reject();
    });
    QCOMPARE(answerer->count(), 1);
    QVERIFY(mainHidden);
    QVERIFY(window->isVisible());
    QVERIFY(!KorvexGlobals::utente);

    QCOMPARE(window->windowTitle(), QStringLiteral("Korvex2"));
    QVERIFY(button(window, "toolButtonLogin")->isVisible());
    QVERIFY(button(window, "toolButtonLogout")->isHidden());
    QCOMPARE(button(window, "toolButtonLogout")->text(), QStringLiteral("Username"));
    QVERIFY(button(window, "toolButtonCreaDb")->isHidden());
    QVERIFY(window->findChild<QWidget *>("widgetUploading")->isHidden());
    QCOMPARE(window->height(), 430);
    QCOMPARE(window->width(), 640);
    QVERIFY(window->findChild<QPushButton *>("pushButtonBanner")->text().isEmpty());
    // The seed catalogue's two articles, photo prints first.
    QCOMPARE(articleIds(window), (QList<int>{1, 2}));
    // Nobody logged in: the start button does nothing.
    QTest::mouseClick(button(window, "toolButtonUploadsStart"), Qt::LeftButton);
    QVERIFY(!KorvexGlobals::ordineUpload->processingUploads());
}

void TestMainWindow::articlesAndBanner()
{
    const QString path = fixture->home() + QStringLiteral("/catalogo.s3db");
    writeDatabase(path, {{"3", "1", "0"}, {"1", "1", "2"}, {"2", "1", "1"}},
                  {QStringLiteral("http://127.0.0.1/primo"), QStringLiteral("http://127.0.0.1/secondo")});
    {
        QSettings settings(fixture->settingsFile(), QSettings::IniFormat);
        settings.setValue("SqlDbHost", path);
    }
    KorvexGlobals::db.close();
    open([](LoginDialog *dialog) { dialog->reject(); });

    // Only ids 1 and 2, by position; id 3 is never shown.
    QCOMPARE(articleIds(window), (QList<int>{2, 1}));
    window->loadArticoli();
    QCOMPARE(articleIds(window), (QList<int>{2, 1}));
    // A screen reader reads each entry by its title and description.
    QAccessibleInterface *list = QAccessible::queryAccessibleInterface(window->findChild<QListWidget *>("listWidgetArticoli"));
    QVERIFY(list && list->childCount() >= 2);
    for (int i = 0; i < 2; ++i) {
        const QString id = QString::number(articleIds(window).at(i));
        QCOMPARE(list->child(i)->text(QAccessible::Name), QStringLiteral("Articolo ") + id);
        QCOMPARE(list->child(i)->text(QAccessible::Description), QStringLiteral("descrizione"));
    }
    // The banner opens the last banner row's link.
    QTest::mouseClick(window->findChild<QPushButton *>("pushButtonBanner"), Qt::LeftButton);
    QCOMPARE(urls->urls, QList<QUrl>{QUrl("http://127.0.0.1/secondo")});

    // A missing database file leaves the list as it was.
    QFile::remove(path);
    window->loadArticoli();
    QCOMPARE(articleIds(window), (QList<int>{2, 1}));
    closeWindow();

    // A disabled article is not listed; without a banner row the banner opens nothing.
    writeDatabase(path, {{"1", "1", "1"}, {"2", "0", "2"}}, {});
    urls->urls.clear();
    answerer = std::make_unique<ModalAnswerer>();
    answerer->watchDialogs("LoginDialog");
    open([](LoginDialog *dialog) { dialog->reject(); });
    QCOMPARE(articleIds(window), QList<int>{1});
    QTest::mouseClick(window->findChild<QPushButton *>("pushButtonBanner"), Qt::LeftButton);
    QVERIFY(urls->urls.isEmpty());
}

void TestMainWindow::createsALocalDatabase()
{
    open([](LoginDialog *dialog) { dialog->reject(); });
    // A file of that name goes; the catalogue's own default connection is left alone.
    const QString path = fixture->home() + QStringLiteral("/nuovo.s3db");
    QFile old(path);
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write("vecchio contenuto");
    old.close();
    const QString other = fixture->home() + QStringLiteral("/altro.s3db");
    QSqlDatabase defaultDb = QSqlDatabase::addDatabase("QSQLITE");
    defaultDb.setDatabaseName(other);
    QVERIFY(defaultDb.open());
    const QString programDb = KorvexGlobals::db.databaseName();

    answerer->answerWith([&](QWidget *box) {
        auto *dialog = qobject_cast<QFileDialog *>(box);
        QVERIFY(dialog);
        chooseFile(dialog, path);
    });
    answerer->answer(QMessageBox::Yes); // replace the existing file
    answerer->answerWith([](QWidget *box) { static_cast<QDialog *>(box)->reject(); }); // the login asked again
    QVERIFY(QMetaObject::invokeMethod(window, "on_toolButtonCreaDb_clicked"));
    QTRY_COMPARE(answerer->count(), 4);
    QCOMPARE(answerer->boxes().at(1).title, QStringLiteral("Salva Database"));
    QCOMPARE(answerer->boxes().at(3).className, QStringLiteral("LoginDialog"));
    QCOMPARE(answerer->unexpected(), 0);

    QVERIFY(defaultDb.isOpen());
    QCOMPARE(QSqlDatabase::database().databaseName(), other);
    QVERIFY(KorvexGlobals::db.isOpen());
    QCOMPARE(KorvexGlobals::db.databaseName(), programDb);
    defaultDb.close();
    defaultDb = QSqlDatabase();
    QSqlDatabase::removeDatabase(QSqlDatabase::defaultConnection);

    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "check");
        db.setDatabaseName(path);
        QVERIFY(db.open());
        QStringList tables = db.tables();
        tables.sort();
        QCOMPARE(tables, (QStringList{"articoli", "config"}));
        QSqlQuery q(db);
        QVERIFY(q.exec("SELECT chiave, valore FROM config ORDER BY chiave"));
        QVERIFY(q.next());
        QCOMPARE(q.value(0).toString(), QStringLiteral("dbVersion"));
        QCOMPARE(q.value(1).toString(), QStringLiteral("1"));
        QVERIFY(q.next());
        QCOMPARE(q.value(0).toString(), QStringLiteral("wsendpoint"));
        QVERIFY(q.value(1).toString().startsWith("http://"));
        QVERIFY(q.value(1).toString().endsWith("/korvex2ws/"));
        QVERIFY(!q.next());
        QVERIFY(q.exec("SELECT id, immagine, titolo, abilitato, posizione FROM articoli ORDER BY id"));
        for (int id : {1, 2}) {
            QVERIFY(q.next());
            QCOMPARE(q.value(0).toInt(), id);
            QVERIFY(q.value(1).toByteArray().startsWith("\x89PNG"));
            QCOMPARE(q.value(2).toString(), id == 1 ? QStringLiteral("Stampa fotografica") : QStringLiteral("Invio File"));
            QCOMPARE(q.value(3).toString(), QStringLiteral("1"));
        }
        QVERIFY(!q.next());
    }
    QSqlDatabase::removeDatabase("check");
    // The window lists the new file's articles.
    QCOMPARE(articleIds(window), (QList<int>{1, 2}));
}

void TestMainWindow::refusesTheProgramsOwnDatabase()
{
    open([](LoginDialog *dialog) { dialog->reject(); });
    const QString own = KorvexGlobals::SqlDbHost;
    const qint64 size = QFileInfo(own).size();
    answerer->answerWith([&](QWidget *box) {
        auto *dialog = qobject_cast<QFileDialog *>(box);
        chooseFile(dialog, own);
    });
    answerer->answer(QMessageBox::Yes); // replace the existing file
    answerer->answer(QMessageBox::Ok);
    QVERIFY(QMetaObject::invokeMethod(window, "on_toolButtonCreaDb_clicked"));
    QTRY_COMPARE(answerer->count(), 4);
    QCOMPARE(answerer->unexpected(), 0);
    QCOMPARE(answerer->last().title, QStringLiteral("Errore"));
    QCOMPARE(QFileInfo(own).size(), size);
    QVERIFY(KorvexGlobals::db.isOpen());
    QCOMPARE(articleIds(window), (QList<int>{1, 2}));
}

void TestMainWindow::silentLoginWithRememberedCredentials()
{
    fixture->storeSettings(sim->baseUrl(), "demo", "demo");
    open();
    QCOMPARE(answerer->count(), 0);
    QVERIFY(KorvexGlobals::utente);
    QVERIFY(button(window, "toolButtonLogin")->isHidden());
    QVERIFY(button(window, "toolButtonLogout")->isVisible());
    QCOMPARE(button(window, "toolButtonLogout")->text(), QStringLiteral("demo"));
    QVERIFY(window->findChild<QWidget *>("widgetUploading")->isHidden());
}

void TestMainWindow::rememberedUserWithoutPasswordAsksForLogin()
{
    fixture->storeSettings(sim->baseUrl(), "demo", QString());
    open([](LoginDialog *dialog) { dialog->reject(); });
    QCOMPARE(answerer->count(), 1);
    QCOMPARE(answerer->last().className, QStringLiteral("LoginDialog"));
    QVERIFY(!KorvexGlobals::utente);
}

void TestMainWindow::loginThroughTheDialog()
{
    open([](LoginDialog *dialog) {
        GuiFixture::edit(dialog, "lineEditUsername")->setText("demo");
        GuiFixture::edit(dialog, "lineEditPassword")->setText("demo");
        QTest::mouseClick(dialog->findChild<QPushButton *>("pushButtonLogin"), Qt::LeftButton);
    });
    QTRY_VERIFY(KorvexGlobals::utente);
    QTRY_VERIFY(button(window, "toolButtonLogout")->isVisible());
    QCOMPARE(button(window, "toolButtonLogout")->text(), QStringLiteral("demo"));
    QVERIFY(button(window, "toolButtonLogin")->isHidden());
}

void TestMainWindow::logoutAsksAndForgets()
{
    fixture->storeSettings(sim->baseUrl(), "demo", "demo");
    open();
    Utente *logged = KorvexGlobals::utente;
    QVERIFY(logged);

    answerer->answer(QMessageBox::No);
    QTest::mouseClick(button(window, "toolButtonLogout"), Qt::LeftButton);
    QCOMPARE(answerer->last().title, QStringLiteral("Disconnetti"));
    QCOMPARE(answerer->last().defaultButton, QStringLiteral("&No").remove('&'));
    QCOMPARE(KorvexGlobals::utente, logged);
    QCOMPARE(fixture->storedSetting("WsUsername"), QStringLiteral("demo"));

    answerer->answer(QMessageBox::Yes);
    QTest::mouseClick(button(window, "toolButtonLogout"), Qt::LeftButton);
    QVERIFY(!KorvexGlobals::utente);
    QCOMPARE(fixture->storedSetting("WsUsername"), QString());
    QCOMPARE(fixture->storedSetting("WsPassword"), QString());
    QVERIFY(button(window, "toolButtonLogout")->isHidden());
    QCOMPARE(button(window, "toolButtonLogout")->text(), QStringLiteral("Username"));
    QVERIFY(button(window, "toolButtonLogin")->isVisible());
    QCOMPARE(answerer->unexpected(), 0);
}

void TestMainWindow::uploadStripFollowsTheQueue()
{
    open([](LoginDialog *dialog) { dialog->reject(); });
    OrdineUpload *queue = KorvexGlobals::ordineUpload;
    auto *strip = window->findChild<QWidget *>("widgetUploading");
    auto *bar = window->findChild<QProgressBar *>("progressBarUploads");
    auto *label = window->findChild<QLabel *>("ProgressLabelUploads");

    emit queue->startProcessingQueue();
    QVERIFY(strip->isVisible());
    QCOMPARE(window->height(), 460);
    QCOMPARE(bar->maximum(), 0); // busy
    emit queue->queueChanged(3);
    QCOMPARE(label->text(), QStringLiteral("Invio ordine (3 in coda) "));

    // Byte counts above 2 GiB scale to the bar's range.
    emit queue->CurrentOrderGlobalFileProgress(3 * GiB, 6 * GiB);
    QCOMPARE(bar->value() - bar->minimum(), (bar->maximum() - bar->minimum()) / 2);
    QCOMPARE(bar->text(), QStringLiteral("50%"));
    emit queue->CurrentOrderGlobalFileProgress(7 * GiB, 6 * GiB);
    QCOMPARE(bar->text(), QStringLiteral("100%"));
    emit queue->CurrentOrderGlobalFileProgress(5 * GiB - 1, 5 * GiB);
    QCOMPARE(bar->text(), QStringLiteral("99%"));

    emit queue->orderTerminated(2);
    QCOMPARE(label->text(), QStringLiteral("Invio ordine (2 in coda) "));

    // The stop button while idle changes only the buttons and the strip.
    QTest::mouseClick(button(window, "toolButtonUploadsStop"), Qt::LeftButton);
    QVERIFY(strip->isVisible());
    QCOMPARE(bar->maximum(), 100);
    QVERIFY(button(window, "toolButtonUploadsStart")->isVisible());
    QVERIFY(button(window, "toolButtonUploadsStop")->isHidden());

    emit queue->finishedProcessingQueue();
    QVERIFY(strip->isHidden());
    QCOMPARE(window->height(), 430);
    QCOMPARE(label->text(), QStringLiteral("Invio ordine"));
    // No run was started by a logged-in customer: no payment page.
    QVERIFY(urls->urls.isEmpty());
}

void TestMainWindow::uploadErrorShowsTheMessageAsText_data()
{
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("shown");
    QTest::newRow("file name and fault") << QStringLiteral("Impossibile inviare <foto&1>.jpg\nFault: a < b")
                                         << QStringLiteral("Impossibile inviare &lt;foto&amp;1&gt;.jpg<br>Fault: a &lt; b");
    QTest::newRow("empty") << QString() << QString();
}

void TestMainWindow::uploadErrorShowsTheMessageAsText()
{
    QFETCH(QString, message);
    QFETCH(QString, shown);
    open([](LoginDialog *dialog) { dialog->reject(); });
    QSignalSpy stopped(KorvexGlobals::ordineUpload, &OrdineUpload::stopProcessingQueue);
    answerer->answer(QMessageBox::Ok);
    emit KorvexGlobals::ordineUpload->errorOccurred(message);
    QCOMPARE(answerer->count(), 2);
    QCOMPARE(answerer->last().title, QStringLiteral("Errore invio ordine"));
    QCOMPARE(answerer->last().icon, QMessageBox::Critical);
    QCOMPARE(answerer->last().text,
             QString::fromUtf8("<h3>Si è verificato un errore in fase di invio degli ordini</h3>") + shown);
    QCOMPARE(stopped.count(), 1);
}

void TestMainWindow::missingFilesBox()
{
    open([](LoginDialog *dialog) { dialog->reject(); });
    answerer->answer(QStringLiteral("Finestra Dettagli"));
    // Then the queue window opens, modal, and is closed again.
    answerer->answerWith([](QWidget *w) { w->close(); });
    emit KorvexGlobals::ordineUpload->filesNotFound(QStringLiteral("{uuid}"), {QFileInfo("/nessuno.jpg")});
    QCOMPARE(answerer->count(), 3);
    QCOMPARE(answerer->last().className, QStringLiteral("OrdineUploadDialog"));
    QCOMPARE(answerer->last().title, QStringLiteral("Invio Ordini"));
    const ModalAnswerer::Box box = answerer->boxes().at(1);
    QCOMPARE(box.title, QStringLiteral("Errore invio ordine"));
    QCOMPARE(box.icon, QMessageBox::Warning);
    QCOMPARE(box.text, QString::fromUtf8("<h3>Si è verificato un errore in fase di invio degli ordini</h3>"
                                         "Uno o più file non sono stati trovati"));
    QCOMPARE(box.buttons, (QStringList{"Finestra Dettagli", "Chiudi"}));
    QCOMPARE(box.defaultButton, QStringLiteral("Finestra Dettagli"));
    QVERIFY(!box.hasEscapeButton);
    // Nobody is logged in: the restarted queue has nothing to send. Once the window is closed
    // the details button opens it again.
    QVERIFY(!KorvexGlobals::ordineUpload->processingUploads());
    QCOMPARE(answerer->unexpected(), 0);
    answerer->answerWith([](QWidget *w) { w->close(); });
    QTest::mouseClick(button(window, "toolButtonUploadsDetails"), Qt::LeftButton);
    QCOMPARE(answerer->count(), 4);
    QCOMPARE(answerer->last().className, QStringLiteral("OrdineUploadDialog"));

    // "Chiudi" leaves the queue stopped and opens nothing.
    answerer->answer(QStringLiteral("Chiudi"));
    emit KorvexGlobals::ordineUpload->filesNotFound(QStringLiteral("{uuid}"), {QFileInfo("/nessuno.jpg")});
    QTest::qWait(100);
    QCOMPARE(answerer->count(), 5);
    QCOMPARE(answerer->last().className, QStringLiteral("QMessageBox"));
    QCOMPARE(answerer->unexpected(), 0);
}

void TestMainWindow::paymentPageAfterTheQueueWasSent_data()
{
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("knob"); // fault of the header query
    QTest::addColumn<bool>("page");
    QTest::newRow("pays online") << "paga" << QString() << true;
    QTest::newRow("pays on delivery") << "demo" << QString() << false;
    QTest::newRow("header query fails") << "paga" << "fault" << false;
}

void TestMainWindow::paymentPageAfterTheQueueWasSent()
{
    QFETCH(QString, user);
    QFETCH(QString, knob);
    QFETCH(bool, page);
    fixture->storeSettings(sim->baseUrl(), user, user);
    // An order of the day that awaits payment from an earlier run: the page names the last.
    GuiFixture::queueFileOrder({fixture->bytesFile("primo.pdf", 20000)});
    open();
    QVERIFY(KorvexGlobals::utente);
    QSignalSpy finished(KorvexGlobals::ordineUpload, &OrdineUpload::finishedProcessingQueue);
    QTest::mouseClick(button(window, "toolButtonUploadsStart"), Qt::LeftButton);
    QVERIFY(finished.wait(30000));
    GuiFixture::queueFileOrder({fixture->bytesFile("secondo.pdf", 30000), fixture->bytesFile("terzo.pdf", 1000)});
    urls->urls.clear();
    if (!knob.isEmpty())
        QVERIFY(sim->injectFault("listaOrdiniIntestazione", "Servizio non disponibile"));
    QTest::mouseClick(button(window, "toolButtonUploadsStart"), Qt::LeftButton);
    QVERIFY(finished.wait(30000));

    QVERIFY(window->findChild<QWidget *>("widgetUploading")->isHidden());
    const QJsonArray orders = sim->status().value("data").toObject().value("orders").toArray();
    QVERIFY(orders.size() >= 2);
    if (!page) {
        QVERIFY(urls->urls.isEmpty());
    } else {
        const QJsonObject last = orders.last().toObject();
        QCOMPARE(last.value("stato").toInt(), 8);
        QCOMPARE(urls->urls, QList<QUrl>{QUrl(sim->baseUrl() + "paypal.php?id=" + last.value("id").toString())});
    }
    // The end of the queue without a new start (logout) opens no page again.
    urls->urls.clear();
    answerer->answer(QMessageBox::Yes);
    QTest::mouseClick(button(window, "toolButtonLogout"), Qt::LeftButton);
    QVERIFY(urls->urls.isEmpty());
    QCOMPARE(answerer->unexpected(), 0);
}

void TestMainWindow::paymentPageUrlIsEncoded()
{
    QCOMPARE(PaymentPage::forOrder("http://127.0.0.1:8080/", QString::fromUtf8("O 1&x=2/è#")).toString(QUrl::FullyEncoded),
             QStringLiteral("http://127.0.0.1:8080/paypal.php?id=O%201%26x%3D2%2F%C3%A8%23"));
}

void TestMainWindow::queueWindowSendsThreeOrders()
{
    fixture->storeSettings(sim->baseUrl(), "demo", "demo");
    for (const char *name : {"uno.bin", "due.bin", "tre.bin"})
        GuiFixture::queueFileOrder({fixture->bytesFile(name, 400000)});
    const int before = sim->counts().orders;
    open();
    QVERIFY(KorvexGlobals::utente);

    // The customer opens the queue window and starts the queue there; the window closes once
    // the queue has been sent.
    int cards = 0;
    int largestProgress = 0;
    answerer->answerWith([&](QWidget *w) {
        cards = w->findChildren<OrdineUploadItemWidget *>().size();
        auto *bar = w->findChild<QProgressBar *>("progressBarOrdine");
        connect(bar, &QProgressBar::valueChanged, bar, [&, bar](int value) {
            if (bar->maximum() > 0)
                largestProgress = qMax(largestProgress, value * 100 / bar->maximum());
        });
        QTest::mouseClick(w->findChild<QToolButton *>("toolButtonStart"), Qt::LeftButton);
    });
    QTest::mouseClick(button(window, "toolButtonUploadsDetails"), Qt::LeftButton);
    QCOMPARE(answerer->count(), 1);
    QCOMPARE(answerer->last().className, QStringLiteral("OrdineUploadDialog"));
    QCOMPARE(cards, 3);
    QVERIFY(largestProgress > 0);
    QCOMPARE(sim->counts().orders, before + 3);
    QCOMPARE(KorvexGlobals::ordineUpload->queueSize(), 0);
    // The window is gone; the main window reports upload errors again.
    QVERIFY(window->findChildren<OrdineUploadDialog *>().isEmpty());
    answerer->answer(QMessageBox::Ok);
    emit KorvexGlobals::ordineUpload->errorOccurred(QStringLiteral("dopo"));
    QCOMPARE(answerer->count(), 2);
    QCOMPARE(answerer->unexpected(), 0);
}

void TestMainWindow::cancellingTheLastOrderOpensNoPaymentPage()
{
    // The customer pays online and has an order of today awaiting payment.
    fixture->storeSettings(sim->baseUrl(), "paga", "paga");
    GuiFixture::queueFileOrder({fixture->bytesFile("pagato.pdf", 20000)});
    open();
    QVERIFY(KorvexGlobals::utente);
    QSignalSpy finished(KorvexGlobals::ordineUpload, &OrdineUpload::finishedProcessingQueue);
    QTest::mouseClick(button(window, "toolButtonUploadsStart"), Qt::LeftButton);
    QVERIFY(finished.wait(30000));
    QCOMPARE(urls->urls.size(), 1);
    urls->urls.clear();

    // The next order is cancelled in the queue window while it is being sent: the queue ends
    // without sending anything, and no payment page opens.
    const QString uuid = GuiFixture::queueFileOrder({fixture->bytesFile("annullato.pdf", 20000)});
    // The laboratory holds the order's file record until the cancel has been answered.
    QVERIFY(sim->holdAnswer("inserisciFile"));
    answerer->answerWith([this](QWidget *w) {
        QTest::mouseClick(w->findChild<QToolButton *>("toolButtonStart"), Qt::LeftButton);
        QVERIFY(QTest::qWaitFor([this] { return sim->heldCalls() == 1; }, 60000));
        auto *card = w->findChild<OrdineUploadItemWidget *>();
        QVERIFY(card);
        QTest::mouseClick(card->findChild<QToolButton *>("toolButtonAnnulla"), Qt::LeftButton);
        QVERIFY(sim->releaseHeld());
    });
    answerer->answer(QMessageBox::Yes);
    finished.clear();
    QTest::mouseClick(button(window, "toolButtonUploadsDetails"), Qt::LeftButton);
    QCOMPARE(answerer->count(), 2);
    QCOMPARE(answerer->last().title, QStringLiteral("Annulla invio ordine"));
    QVERIFY(finished.count() > 0 || finished.wait(60000));
    QTRY_VERIFY_WITH_TIMEOUT(!KorvexGlobals::ordineUpload->processingUploads(), 60000);
    QTest::qWait(200);
    QVERIFY(urls->urls.isEmpty());
    QVERIFY(QFile::exists(KorvexGlobals::ordersQueuePath() + "/" + uuid + ".kv2"));
    QCOMPARE(answerer->unexpected(), 0);
}

void TestMainWindow::logoutWhileSendingStopsTheWorker()
{
    fixture->storeSettings(sim->baseUrl(), "demo", "demo");
    const QString uuid = GuiFixture::queueFileOrder({fixture->bytesFile("grande.bin", 200000)});
    // The worker is inside a service call, held by the laboratory, when the customer logs
    // out; the call is let go once the logout has stopped the queue, and the logout waits
    // for the worker's end.
    QVERIFY(sim->holdAnswer("inserisciFile"));
    const int orders = sim->counts().orders;
    open();
    OrdineUpload *queue = KorvexGlobals::ordineUpload;
    QTest::mouseClick(button(window, "toolButtonUploadsStart"), Qt::LeftButton);
    QVERIFY(queue->processingUploads());
    QTRY_COMPARE_WITH_TIMEOUT(sim->heldCalls(), 1, 60000);
    connect(queue, &OrdineUpload::finishedProcessingQueue, this, [this] { QVERIFY(sim->releaseHeld()); });

    answerer->answer(QMessageBox::Yes);
    QTest::mouseClick(button(window, "toolButtonLogout"), Qt::LeftButton);
    QCOMPARE(sim->heldCalls(), 0);
    // The worker's thread has ended before the customer went.
    QVERIFY(!queue->processingUploads());
    QVERIFY(!KorvexGlobals::utente);
    QCOMPARE(queue->queueSize(), 0);
    // Nothing is left to send: the strip goes, also once the worker has reported its stop.
    QTest::qWait(100);
    QVERIFY(window->findChild<QWidget *>("widgetUploading")->isHidden());
    QCOMPARE(window->height(), 430);
    QCOMPARE(fixture->storedSetting("WsUsername"), QString());
    // The order stays for the next login, not sent.
    QVERIFY(QFile::exists(KorvexGlobals::ordersQueuePath() + "/" + uuid + ".kv2"));
    QCOMPARE(sim->counts().orders, orders);
}

void TestMainWindow::doubleClickOnLoginOpensOneDialog()
{
    open([](LoginDialog *dialog) { dialog->reject(); });
    // Two clicks that wait in the event queue, as a quick double click leaves them.
    QToolButton *login = button(window, "toolButtonLogin");
    const QPoint at = login->rect().center();
    for (int i = 0; i < 2; ++i) {
        QCoreApplication::postEvent(login, new QMouseEvent(QEvent::MouseButtonPress, at, login->mapToGlobal(at),
                                                           Qt::LeftButton, Qt::LeftButton, Qt::NoModifier));
        QCoreApplication::postEvent(login, new QMouseEvent(QEvent::MouseButtonRelease, at, login->mapToGlobal(at),
                                                           Qt::LeftButton, Qt::NoButton, Qt::NoModifier));
    }
    answerer->answerWith([](QWidget *) {}); // left open
    QTRY_COMPARE(answerer->count(), 2);
    QTest::qWait(300);
    QCOMPARE(answerer->count(), 2);
    QCOMPARE(answerer->unexpected(), 0);
    int shown = 0;
    for (QWidget *w : QApplication::topLevelWidgets())
        shown += qobject_cast<LoginDialog *>(w) && w->isVisible();
    QCOMPARE(shown, 1);
}

// The photo print article opens its composer on a new order, modeless, with the main
// window hidden until the composer closes.
void TestMainWindow::photoPrintArticleOpensItsComposer()
{
    fixture->storeSettings(sim->baseUrl(), "demo", "demo");
    open();
    const int row = articleIds(window).indexOf(1);
    QVERIFY(row >= 0);
    auto *list = window->findChild<QListWidget *>("listWidgetArticoli");
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier,
                      list->visualItemRect(list->item(row)).center());
    QPointer<ArticoloStampaFotograficaComposer> composer;
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (auto *c = qobject_cast<ArticoloStampaFotograficaComposer *>(w))
            composer = c;
    }
    QVERIFY(composer);
    QVERIFY(composer->isVisible());
    QVERIFY(!composer->isModal());
    QVERIFY(composer->testAttribute(Qt::WA_DeleteOnClose));
    QVERIFY(!window->isVisible());
    QVERIFY(list->selectedItems().isEmpty());
    QVERIFY(composer->getOrdine().Uuid.isEmpty());
    QVERIFY(composer->getOrdine().righeStampa.isEmpty());
    composer->done(QDialog::Accepted);
    QTRY_VERIFY(!composer);
}

void TestMainWindow::ordersButtonOpensTheOrderManager()
{
    fixture->storeSettings(sim->baseUrl(), "demo", "demo");
    QVERIFY(!sim->seedOrder({{QStringLiteral("cliente_finale"), QStringLiteral("Già inviato")}}).isEmpty());
    // A saved order of the demo customer, not queued.
    const QString uuid = GuiFixture::queueFileOrder({fixture->bytesFile(QStringLiteral("listino.pdf"), 3000)});
    {
        OrdiniLocal store;
        QFile file(KorvexGlobals::ordersQueuePath() + QLatin1Char('/') + uuid + QStringLiteral(".kv2"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        OrdiniLocal::OrdineLocal ordine = store.FromXML(QString::fromUtf8(file.readAll()));
        ordine.Attivo = false;
        ordine.Utente = 1;
        ordine.ClienteFinale = QStringLiteral("Da spedire");
        QVERIFY(store.SaveXML(ordine));
    }
    open();
    QVERIFY(KorvexGlobals::utente);

    QTest::mouseClick(button(window, "toolButtonOrdini"), Qt::LeftButton);
    GestioneOrdini *manager = nullptr;
    for (QWidget *w : QApplication::topLevelWidgets())
        manager = manager ? manager : qobject_cast<GestioneOrdini *>(w);
    QVERIFY(manager);
    QPointer<GestioneOrdini> alive(manager);
    QVERIFY(manager->isVisible());
    QVERIFY(window->isHidden());
    QVERIFY(manager->testAttribute(Qt::WA_DeleteOnClose));
    // While it shows the queue, the main window opens no queue window of its own.
    QMetaObject::invokeMethod(window, "on_toolButtonUploadsDetails_clicked");
    QCOMPARE(answerer->count(), 0);

    // Sent orders listed from the laboratory.
    auto *pages = manager->findChild<QListWidget *>(QStringLiteral("listWidget"));
    pages->setCurrentRow(2);
    manager->findChild<QPushButton *>(QStringLiteral("pushButtonCerca"))->click();
    auto *table = manager->findChild<QTableView *>(QStringLiteral("tableViewOrdiniInviati"));
    QStringList listed;
    for (int row = 0; row < table->model()->rowCount(); ++row)
        listed << table->model()->index(row, 4).data().toString();
    QVERIFY2(listed.contains(QStringLiteral("Già inviato")), qPrintable(listed.join(',')));
    const int before = sim->counts().orders;

    // A saved order sent from "Da Inviare" reaches the laboratory.
    pages->setCurrentRow(1);
    manager->inviaOrdine(uuid);
    QTRY_COMPARE(pages->currentRow(), 0);
    QTRY_COMPARE_WITH_TIMEOUT(sim->counts().orders, before + 1, 30000);
    QTRY_VERIFY_WITH_TIMEOUT(!KorvexGlobals::ordineUpload->processingUploads(), 30000);

    manager->close();
    QTRY_VERIFY(!alive);
    QVERIFY(window->isVisible());
}

void TestMainWindow::queueWindowEditsInTheComposerOfTheOrdersKind_data()
{
    QTest::addColumn<bool>("prints");
    QTest::newRow("file order") << false;
    QTest::newRow("print order") << true;
}

// Once the main window is up, "Modifica" of the queue window opens the order, as its file
// holds it, in the composer of its kind.
void TestMainWindow::queueWindowEditsInTheComposerOfTheOrdersKind()
{
    QFETCH(bool, prints);
    fixture->storeSettings(sim->baseUrl(), "demo", "demo");
    open();
    QString uuid = GuiFixture::queueFileOrder({fixture->bytesFile(QStringLiteral("listino.pdf"), 3000)});
    if (prints) {
        OrdiniLocal store;
        QFile file(KorvexGlobals::ordersQueuePath() + QLatin1Char('/') + uuid + QStringLiteral(".kv2"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        OrdiniLocal::OrdineLocal ordine = store.FromXML(QString::fromUtf8(file.readAll()));
        file.close();
        const QString photo = fixture->dataFolder() + QStringLiteral("/foto.jpg");
        QImage image(600, 400, QImage::Format_RGB32);
        image.fill(Qt::darkGreen);
        QVERIFY(image.save(photo, "JPG"));
        OrdiniLocal::OrdineRigaStampaLocal riga;
        store.initOrdineRigaStampaLocal(riga);
        riga.IdStampa = 3;
        riga.FilePath = photo;
        riga.FileSize = QFileInfo(photo).size();
        riga.Transformation.Type = 1;
        ordine.righeFile.clear();
        ordine.righeStampa = {riga};
        QVERIFY(store.SaveXML(ordine));
    }
    QVERIFY(OrdineUploadDialog::hasComposer(1));
    QVERIFY(OrdineUploadDialog::hasComposer(2));

    KorvexGlobals::ordineUpload->loadQueue();
    OrdineUploadDialog queueWindow;
    queueWindow.setAutoClose(false);
    queueWindow.show();
    QString shownUuid;
    int shownRows = -1;
    answerer->answerWith([&](QWidget *w) {
        if (auto *c = qobject_cast<ArticoloStampaFotograficaComposer *>(w)) {
            shownUuid = c->getOrdine().Uuid;
            shownRows = c->getOrdine().righeStampa.size();
        } else if (auto *f = qobject_cast<ArticoloInvioFileComposer *>(w)) {
            shownUuid = f->getOrdine().Uuid;
            shownRows = f->getOrdine().righeFile.size();
        }
        static_cast<QDialog *>(w)->done(QDialog::Accepted);
    });
    QVERIFY(queueWindow.modificaOrdine(uuid));
    QCOMPARE(answerer->count(), 1);
    QCOMPARE(answerer->last().className,
             prints ? QStringLiteral("ArticoloStampaFotograficaComposer") : QStringLiteral("ArticoloInvioFileComposer"));
    QCOMPARE(shownUuid, uuid);
    QCOMPARE(shownRows, 1);
    QCOMPARE(answerer->unexpected(), 0);
}

void TestMainWindow::stopShowsTheStripStoppingUntilTheWorkerEnds()
{
    fixture->storeSettings(sim->baseUrl(), "demo", "demo");
    for (const char *name : {"primo.bin", "secondo.bin"})
        GuiFixture::queueFileOrder({fixture->bytesFile(name, 200000)});
    // The worker is inside a service call, which the laboratory holds, when the customer
    // stops the queue.
    QVERIFY(sim->holdAnswer("inserisciFile"));
    open();
    OrdineUpload *queue = KorvexGlobals::ordineUpload;
    QToolButton *start = button(window, "toolButtonUploadsStart");
    QToolButton *stop = button(window, "toolButtonUploadsStop");
    auto *label = window->findChild<QLabel *>("ProgressLabelUploads");
    const QString stopTip = stop->toolTip();
    QSignalSpy stopped(queue, &OrdineUpload::stopProcessingQueue);

    QTest::mouseClick(start, Qt::LeftButton);
    QVERIFY(stop->isVisible() && stop->isEnabled());
    QTRY_COMPARE_WITH_TIMEOUT(sim->heldCalls(), 1, 60000);
    QTest::mouseClick(stop, Qt::LeftButton);
    // At once, while the worker ends: Stop no longer usable, and the strip says why.
    QVERIFY(queue->isStopping());
    QVERIFY(stop->isVisible());
    QVERIFY(!stop->isEnabled());
    QVERIFY(stop->toolTip() != stopTip);
    QVERIFY(start->isHidden());
    QCOMPARE(label->text(), QStringLiteral("Sospensione in corso..."));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    saveShot(window, QStringLiteral("mainwindow-stopping"));
    // The worker still waits for the laboratory: let its call go.
    QCOMPARE(stopped.count(), 0);
    QVERIFY(sim->releaseHeld());

    // Once it has ended, Start is back and starts the queue again.
    QVERIFY(stopped.count() > 0 || stopped.wait(30000));
    QVERIFY(!queue->processingUploads());
    QVERIFY(start->isVisible() && start->isEnabled());
    QVERIFY(stop->isHidden());
    QCOMPARE(stop->toolTip(), stopTip);
    QVERIFY(queue->queueSize() >= 1);
    QCOMPARE(label->text(), QStringLiteral("Invio ordine (%1 in coda) ").arg(queue->queueSize()));
    QSignalSpy started(queue, &OrdineUpload::startProcessingQueue);
    QTest::mouseClick(start, Qt::LeftButton);
    QCOMPARE(started.count(), 1);
    QVERIFY(stop->isVisible() && stop->isEnabled());
    QCOMPARE(answerer->unexpected(), 0);
}

void TestMainWindow::noPaymentPageForARunThatSentNothing()
{
    // The customer pays online.
    fixture->storeSettings(sim->baseUrl(), "paga", "paga");
    GuiFixture::queueFileOrder({fixture->bytesFile("uno.pdf", 20000)});
    GuiFixture::queueFileOrder({fixture->bytesFile("due.pdf", 20000)});
    // A run sends the first order and stops on the second, whose file record fails.
    QVERIFY(sim->injectFault("inserisciFile", "Servizio non disponibile", 1, 1));
    const int before = sim->counts().orders;
    open();
    QVERIFY(KorvexGlobals::utente);
    OrdineUpload *queue = KorvexGlobals::ordineUpload;
    answerer->answer(QMessageBox::Ok);
    QTest::mouseClick(button(window, "toolButtonUploadsStart"), Qt::LeftButton);
    QVERIFY(answerer->waitForCount(1, 30000));
    QCOMPARE(answerer->last().title, QStringLiteral("Errore invio ordine"));
    QTRY_VERIFY_WITH_TIMEOUT(!queue->processingUploads(), 30000);
    QCOMPARE(sim->counts().orders, before + 1);
    QCOMPARE(queue->queueSize(), 1);

    // A later run ends without sending anything: its only order is cancelled in the queue
    // window while the worker waits for the laboratory, which holds the call until then.
    QVERIFY(sim->holdAnswer("inserisciFile"));
    QSignalSpy finished(queue, &OrdineUpload::finishedProcessingQueue);
    answerer->answerWith([this](QWidget *w) {
        QTest::mouseClick(w->findChild<QToolButton *>("toolButtonStart"), Qt::LeftButton);
        QVERIFY(QTest::qWaitFor([this] { return sim->heldCalls() == 1; }, 60000));
        auto *card = w->findChild<OrdineUploadItemWidget *>();
        QVERIFY(card);
        QTest::mouseClick(card->findChild<QToolButton *>("toolButtonAnnulla"), Qt::LeftButton);
        QVERIFY(sim->releaseHeld());
    });
    answerer->answer(QMessageBox::Yes);
    QTest::mouseClick(button(window, "toolButtonUploadsDetails"), Qt::LeftButton);
    QCOMPARE(answerer->count(), 3);
    QCOMPARE(answerer->last().title, QStringLiteral("Annulla invio ordine"));
    QVERIFY(finished.count() > 0 || finished.wait(20000));
    QVERIFY(urls->urls.isEmpty());
    QTRY_VERIFY_WITH_TIMEOUT(!queue->processingUploads(), 30000);
    QCOMPARE(sim->counts().orders, before + 1);
    QCOMPARE(answerer->unexpected(), 0);
}

void TestMainWindow::paymentPageForARunThatRestartedItself()
{
    // The customer pays online. The run sends the first order; the second is removed while it
    // is being sent, so that the queue restarts itself on the third, which is cancelled too.
    fixture->storeSettings(sim->baseUrl(), "paga", "paga");
    for (const char *name : {"uno.pdf", "due.pdf", "tre.pdf"})
        GuiFixture::queueFileOrder({fixture->bytesFile(name, 20000)});
    QVERIFY(sim->holdAnswer("inserisciFile", 2, 1));
    const int before = sim->counts().orders;
    open();
    QVERIFY(KorvexGlobals::utente);
    OrdineUpload *queue = KorvexGlobals::ordineUpload;
    QSignalSpy finished(queue, &OrdineUpload::finishedProcessingQueue);
    QSignalSpy terminated(queue, &OrdineUpload::orderTerminated);
    QTest::mouseClick(button(window, "toolButtonUploadsStart"), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(terminated.count() == 1 && sim->heldCalls() == 1, 60000);
    const QString removed = queue->currentUuid();
    QVERIFY(!removed.isEmpty());
    QVERIFY(queue->removeItem(removed, true));
    QVERIFY(sim->releaseHeld());
    QTRY_VERIFY_WITH_TIMEOUT(!queue->currentUuid().isEmpty() && queue->currentUuid() != removed
                                 && !queue->isStopping() && sim->heldCalls() == 1,
                             60000);
    QVERIFY(urls->urls.isEmpty());
    QVERIFY(queue->removeItem(queue->currentUuid(), true));

    // The run ends: it sent the first order, and the page of the day's last order opens.
    QVERIFY(finished.count() > 0 || finished.wait(60000));
    QVERIFY(sim->releaseHeld());
    QTRY_VERIFY_WITH_TIMEOUT(!queue->processingUploads(), 60000);
    QCOMPARE(sim->counts().orders, before + 1);
    const QJsonArray orders = sim->status().value("data").toObject().value("orders").toArray();
    QCOMPARE(urls->urls, QList<QUrl>{QUrl(sim->baseUrl() + "paypal.php?id=" + orders.last().toObject().value("id").toString())});
    QCOMPARE(answerer->unexpected(), 0);
}

void TestMainWindow::paymentPageAfterOrdersWithMissingFilesWereCancelled_data()
{
    QTest::addColumn<int>("missing"); // queued orders after the sent one whose file has gone
    QTest::newRow("one order") << 1;
    QTest::newRow("two orders") << 2;
}

// The customer pays online. The run sends the first order; each later one lost its file after
// it was queued. The main window's box opens the queue window, where each of them is cancelled
// in turn. The queue restarts itself after the box and after each cancel: the same run, which
// sent an order, and the payment page opens.
void TestMainWindow::paymentPageAfterOrdersWithMissingFilesWereCancelled()
{
    QFETCH(int, missing);
    fixture->storeSettings(sim->baseUrl(), "paga", "paga");
    const QString sent = GuiFixture::queueFileOrder({fixture->bytesFile("inviato.pdf", 20000)});
    QStringList uuids{sent};
    for (int i = 0; i < missing; ++i) {
        const QString file = fixture->bytesFile(QStringLiteral("spostato%1.pdf").arg(i), 20000);
        uuids << GuiFixture::queueFileOrder({file});
        QVERIFY(QFile::remove(file));
    }
    for (int i = 0; i < uuids.size(); ++i)
        setSendingPlace(uuids.at(i), i);
    const int before = sim->counts().orders;
    QVERIFY(sim->clearRequests());
    open();
    QVERIFY(KorvexGlobals::utente);
    OrdineUpload *queue = KorvexGlobals::ordineUpload;

    // The customer's answers: "Finestra Dettagli" in the main window's box, "Annulla Invio" in
    // the queue window's, then Yes. The queue window itself stays up (it may come up after its
    // first box) and closes by itself once the queue has ended.
    const ModalAnswerer::Action respond = [](QWidget *w) {
        auto *box = qobject_cast<QMessageBox *>(w);
        if (!box)
            return;
        QAbstractButton *choice = box->button(QMessageBox::Yes);
        for (QAbstractButton *b : box->buttons()) {
            if (b->text() == QLatin1String("Finestra Dettagli") || b->text() == QLatin1String("Annulla Invio"))
                choice = b;
        }
        if (choice)
            choice->click();
        else
            box->reject();
    };
    for (int i = 0; i < 2 + 2 * missing; ++i)
        answerer->answerWith(respond);
    auto messageBoxes = [this] {
        QList<ModalAnswerer::Box> found;
        for (const ModalAnswerer::Box &box : answerer->boxes()) {
            if (box.className == QLatin1String("QMessageBox"))
                found << box;
        }
        return found;
    };
    QTest::mouseClick(button(window, "toolButtonUploadsStart"), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(messageBoxes().size() == 1 + 2 * missing
                                 && window->findChildren<OrdineUploadDialog *>().isEmpty()
                                 && !queue->processingUploads(),
                             60000);

    const QList<ModalAnswerer::Box> boxes = messageBoxes();
    QCOMPARE(boxes.at(0).title, QStringLiteral("Errore invio ordine"));
    QVERIFY(boxes.at(0).buttons.contains(QStringLiteral("Finestra Dettagli")));
    for (int i = 0; i < missing; ++i) {
        QCOMPARE(boxes.at(1 + 2 * i).title, QStringLiteral("Errore invio ordine"));
        QVERIFY(boxes.at(1 + 2 * i).buttons.contains(QStringLiteral("Annulla Invio")));
        QCOMPARE(boxes.at(2 + 2 * i).title, QStringLiteral("Annulla invio ordine"));
    }
    QCOMPARE(answerer->unexpected(), 0);
    // The first order reached the laboratory once; the others nothing of theirs, and their
    // files stay, out of the queue.
    QCOMPARE(sim->counts().orders, before + 1);
    QCOMPARE(sim->requests("inserisciOrdine").size(), 1);
    QCOMPARE(sim->requests("inserisciFile").size(), 1);
    QVERIFY(!QFile::exists(KorvexGlobals::ordersQueuePath() + "/" + sent + ".kv2"));
    for (int i = 1; i < uuids.size(); ++i)
        QVERIFY(QFile::exists(KorvexGlobals::ordersQueuePath() + "/" + uuids.at(i) + ".kv2"));
    QCOMPARE(queue->queueSize(), 0);
    const QJsonArray orders = sim->status().value("data").toObject().value("orders").toArray();
    QCOMPARE(urls->urls, QList<QUrl>{QUrl(sim->baseUrl() + "paypal.php?id=" + orders.last().toObject().value("id").toString())});
}

void TestMainWindow::unreadableQueuedOrdersToldOncePerFile()
{
    fixture->storeSettings(sim->baseUrl(), "demo", "demo");
    const QString folder = KorvexGlobals::ordersQueuePath() + QLatin1Char('/');
    QDir().mkpath(folder);
    auto writeFile = [](const QString &path, const QByteArray &bytes) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    };
    const QString cut = folder + QStringLiteral("{00000000-0000-4000-8000-00000000000a}.kv2");
    const QByteArray cutBytes("<?xml version=\"1.0\"?>\n<Ordine>\n    <Uuid>x</Uuid>\n    <Attivo>1</Attivo>\n    <Ri");
    writeFile(cut, cutBytes);

    // The queue is loaded at the login.
    answerer->answer(QMessageBox::Ok);
    open();
    QCOMPARE(answerer->count(), 1);
    QCOMPARE(answerer->last().title, QStringLiteral("Ordini non leggibili"));
    QCOMPARE(answerer->last().icon, QMessageBox::Warning);
    QVERIFY2(answerer->last().text.contains(cut.toHtmlEscaped()), qPrintable(answerer->last().text));

    // Every start reads the folder again: only a file not yet told is told.
    const QString empty = folder + QStringLiteral("{00000000-0000-4000-8000-00000000000b}.kv2");
    writeFile(empty, QByteArray());
    answerer->answer(QMessageBox::Ok);
    QTest::mouseClick(button(window, "toolButtonUploadsStart"), Qt::LeftButton);
    QVERIFY(answerer->waitForCount(2));
    QVERIFY2(answerer->last().text.contains(empty.toHtmlEscaped()), qPrintable(answerer->last().text));
    QVERIFY2(!answerer->last().text.contains(cut.toHtmlEscaped()), qPrintable(answerer->last().text));
    // The files are kept as they were.
    QFile kept(cut);
    QVERIFY(kept.open(QIODevice::ReadOnly));
    QCOMPARE(kept.readAll(), cutBytes);
    QVERIFY(QFileInfo::exists(empty));
    QCOMPARE(answerer->unexpected(), 0);
}

void TestMainWindow::sentOrderWhoseFileStaysToldOnce()
{
    fixture->storeSettings(sim->baseUrl(), "demo", "demo");
    const QString uuid = GuiFixture::queueFileOrder({fixture->bytesFile("inviato.pdf", 20000)});
    const QString path = KorvexGlobals::ordersQueuePath() + QLatin1Char('/') + uuid + QStringLiteral(".kv2");
    // The queue cannot remove that order's file, as when the file is immutable.
    auto *queue = new UndeletableQueue;
    queue->kept.insert(uuid);
    KorvexGlobals::ordineUpload = queue;
    const int before = sim->counts().orders;
    open();
    QCOMPARE(KorvexGlobals::ordineUpload, queue);
    QSignalSpy finished(queue, &OrdineUpload::finishedProcessingQueue);

    answerer->answer(QMessageBox::Ok);
    QTest::mouseClick(button(window, "toolButtonUploadsStart"), Qt::LeftButton);
    QVERIFY(answerer->waitForCount(1, 30000));
    QCOMPARE(answerer->last().title, QStringLiteral("Ordine inviato"));
    QVERIFY2(answerer->last().text.contains(path.toHtmlEscaped()), qPrintable(answerer->last().text));
    QVERIFY2(answerer->last().text.contains(QStringLiteral("Operazione non permessa")), qPrintable(answerer->last().text));
    QVERIFY(finished.count() > 0 || finished.wait(30000));
    QTRY_VERIFY(!queue->processingUploads());
    QCOMPARE(sim->counts().orders, before + 1);
    QVERIFY(QFileInfo::exists(path));
    QVERIFY(window->findChild<QWidget *>("widgetUploading")->isHidden());

    // A new run meets the file again: the order is not sent again, nor told again.
    finished.clear();
    QTest::mouseClick(button(window, "toolButtonUploadsStart"), Qt::LeftButton);
    QVERIFY(finished.count() > 0 || finished.wait(30000));
    QTRY_VERIFY(!queue->processingUploads());
    QCoreApplication::processEvents();
    QCOMPARE(answerer->count(), 1);
    QCOMPARE(sim->counts().orders, before + 1);
    QCOMPARE(answerer->unexpected(), 0);
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
