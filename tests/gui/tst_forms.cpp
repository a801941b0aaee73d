// Every window's form builds, connects all its by-name slots and shows what the window
// puts in it; the small windows' behaviour.

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAccessible>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSet>
#include <QTest>

#include <algorithm>
#include <functional>
#include <memory>

#include "aboutdialog.h"
#include "articoloinviofilecomposer.h"
#include "articolostampafotograficacomposer.h"
#include "articolostampafotograficafotoeditor.h"
#include "gestioneordini.h"
#include "guifixture.h"
#include "keyboard.h"
#include "korvexglobals.h"
#include "logindialog.h"
#include "mainwindow.h"
#include "startup.h"
#include "articolowidget.h"
#include "messagecatcher.h"
#include "modalanswerer.h"
#include "resetpassworddialog.h"
#include "signupdialog.h"
#include "impostazioni.h"
#include "updatesdownloader.h"
#include "updateswaitingdialog.h"
#include "utente.h"
#include "waitingdialog.h"
#include <QListWidget>
#include "korvexglobals.h"
#include "ordinelocaldetails.h"
#include "ordinelocaldetailswidget.h"
#include "ordineupload.h"
#include "ordineuploaddialog.h"
#include "ordineuploaditemwidget.h"
#include "righeordinefilelocaldetails.h"
#include "righeordinestampalocaldetails.h"
#include "shots.h"

class TestForms : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void connectsEverySlotByName_data();
    void connectsEverySlotByName();
    void usableByKeyboardAndNamed_data();
    void usableByKeyboardAndNamed();
    void buttonsNamedAndFocusMarked_data();
    void buttonsNamedAndFocusMarked();
    void pageListFocusMarked();
    void articoloWidgetStartsEmpty();
    void articoloWidgetShowsWhatItIsGiven();
    void aboutDialogShowsRunningVersion();
    void aboutDialogOpensToolkitBox();

private:
    std::unique_ptr<GuiFixture> fixture;
};

void TestForms::initTestCase()
{
    Q_INIT_RESOURCE(application);
    fixture = std::make_unique<GuiFixture>();
    fixture->storeSettings(QStringLiteral("http://127.0.0.1:9/"));
}

using Factory = std::function<QWidget *()>;
Q_DECLARE_METATYPE(Factory)

namespace {

// The windows of the upload queue and of a local order.
OrdiniLocal::OrdineLocal sampleOrder()
{
    OrdiniLocal::OrdineLocal ordine;
    OrdiniLocal().initOrdineLocal(ordine);
    ordine.Uuid = QStringLiteral("{00000000-0000-0000-0000-000000000001}");
    OrdiniLocal::OrdineRigaStampaLocal riga;
    riga.FilePath = QStringLiteral("/dati/foto.jpg");
    ordine.righeStampa << riga;
    return ordine;
}

void ensureUploadQueue()
{
    if (!KorvexGlobals::ordineUpload)
        KorvexGlobals::ordineUpload = new OrdineUpload(nullptr);
}

QWidget *queueWindow()
{
    ensureUploadQueue();
    return new OrdineUploadDialog;
}

void addOrderWindows(bool summaries)
{
    QTest::newRow("OrdineUploadDialog") << Factory(queueWindow);
    // The summary's editors are named by their group boxes, not by labels.
    if (summaries) {
        QTest::newRow("OrdineLocalDetails") << Factory([] {
            OrdiniLocal::OrdineLocal o = sampleOrder();
            return new OrdineLocalDetails(o);
        });
    }
    QTest::newRow("RigheOrdineFileLocalDetails") << Factory([] {
        OrdiniLocal::OrdineRigaFileLocal riga;
        riga.FilePath = QStringLiteral("/dati/doc.pdf");
        return new RigheOrdineFileLocalDetails(riga);
    });
    QTest::newRow("RigheOrdineStampaLocalDetails") << Factory([] {
        OrdiniLocal::OrdineRigaStampaLocal riga = sampleOrder().righeStampa.first();
        return new RigheOrdineStampaLocalDetails(riga);
    });
}

// Shows the window a row makes as the customer meets it, active; the main window asks for a
// login first, and the customer goes on without one. Empty when the window never got there.
std::unique_ptr<QWidget> showActive(const Factory &make, ModalAnswerer &answerer)
{
    answerer.watchDialogs(QStringLiteral("LoginDialog"));
    answerer.answerWith([](QWidget *dialog) { static_cast<QDialog *>(dialog)->reject(); });
    std::unique_ptr<QWidget> window(make());
    window->show();
    if (!QTest::qWaitForWindowExposed(window.get()))
        return {};
    if (qobject_cast<MainWindow *>(window.get()) &&
        !QTest::qWaitFor([&] { return answerer.count() == 1 && window->isVisible(); }))
        return {};
    window->activateWindow();
    if (!QTest::qWaitForWindowActive(window.get()))
        return {};
    return window;
}

} // namespace

void TestForms::connectsEverySlotByName_data()
{
    QTest::addColumn<Factory>("make");
    QTest::newRow("ArticoloWidget") << Factory([] { return new ArticoloWidget; });
    QTest::newRow("AboutDialog") << Factory([] { return new AboutDialog; });
    QTest::newRow("ResetPasswordDialog") << Factory([] { return new ResetPasswordDialog; });
    QTest::newRow("SignupDialog") << Factory([] { return new SignupDialog; });
    QTest::newRow("LoginDialog") << Factory([] { return new LoginDialog; });
    QTest::newRow("MainWindow") << Factory([] { return new MainWindow; });
    // Settings and updates.
    QTest::newRow("Impostazioni") << Factory([] { return new Impostazioni; });
    QTest::newRow("UpdatesDownloader") << Factory([] { return new UpdatesDownloader(QStringLiteral("http://127.0.0.1:9/a.zip")); });
    QTest::newRow("UpdatesWaitingDialog") << Factory([] { return new UpdatesWaitingDialog; });
    QTest::newRow("WaitingDialog") << Factory([] { return new WaitingDialog; });
    addOrderWindows(true);
    QTest::newRow("OrdineUploadItemWidget") << Factory([] {
        OrdiniLocal::OrdineLocal o = sampleOrder();
        return new OrdineUploadItemWidget(o);
    });
    QTest::newRow("OrdineLocalDetailsWidget") << Factory([] {
        OrdiniLocal::OrdineLocal o = sampleOrder();
        return new OrdineLocalDetailsWidget(o);
    });
}

void TestForms::connectsEverySlotByName()
{
    QFETCH(Factory, make);
    MessageCatcher catcher;
    std::unique_ptr<QWidget> window(make());
    QVERIFY(window);
    QCOMPARE(catcher.matching(QStringLiteral("connectSlotsByName")), QStringList());
    window.reset();
    Startup::shutdownUploadQueue();
}

void TestForms::usableByKeyboardAndNamed_data()
{
    QTest::addColumn<Factory>("make");
    QTest::newRow("AboutDialog") << Factory([] { return new AboutDialog; });
    QTest::newRow("ResetPasswordDialog") << Factory([] { return new ResetPasswordDialog; });
    QTest::newRow("SignupDialog") << Factory([] { return new SignupDialog; });
    QTest::newRow("LoginDialog") << Factory([] { return new LoginDialog; });
    QTest::newRow("MainWindow") << Factory([] { return new MainWindow; });
    // Settings and updates. The settings window is modal by its form; here it is looked at
    // as a plain window, its general page and, with a customer, its account page.
    QTest::newRow("Impostazioni") << Factory([] {
        auto *dialog = new Impostazioni;
        dialog->setModal(false);
        return dialog;
    });
    QTest::newRow("Impostazioni account") << Factory([] {
        KorvexGlobals::utente = new Utente;
        KorvexGlobals::utente->username = "demo";
        auto *dialog = new Impostazioni;
        delete KorvexGlobals::utente;
        KorvexGlobals::utente = nullptr;
        dialog->setModal(false);
        dialog->findChild<QListWidget *>(QStringLiteral("listWidget"))->setCurrentRow(1);
        return dialog;
    });
    QTest::newRow("UpdatesWaitingDialog") << Factory([] { return new UpdatesWaitingDialog; });
    addOrderWindows(false);
}

// Every field, button and list that the customer can reach is named for a screen reader (by
// its own text, its label or an accessible name), every line edit has its label as buddy, and
// Tab goes round all of them.
void TestForms::usableByKeyboardAndNamed()
{
    QFETCH(Factory, make);
    ModalAnswerer answerer;
    std::unique_ptr<QWidget> window = showActive(make, answerer);
    QVERIFY(window);

    QList<QWidget *> reachable;
    for (QWidget *w : window->findChildren<QWidget *>()) {
        const bool input = qobject_cast<QLineEdit *>(w) || qobject_cast<QAbstractButton *>(w) ||
                           qobject_cast<QAbstractItemView *>(w);
        if (input && w->isVisible() && w->isEnabled() && (w->focusPolicy() & Qt::TabFocus))
            reachable.append(w);
    }
    QVERIFY(!reachable.isEmpty());

    const QList<QLabel *> labels = window->findChildren<QLabel *>();
    for (QWidget *w : window->findChildren<QWidget *>()) {
        const bool shown = w->isVisible();
        if (qobject_cast<QLineEdit *>(w) && shown) {
            const bool buddied = std::any_of(labels.begin(), labels.end(), [w](QLabel *l) { return l->buddy() == w; });
            QVERIFY2(buddied, qPrintable(w->objectName() + " has no label as buddy"));
        }
        if ((reachable.contains(w) || qobject_cast<QProgressBar *>(w)) && shown) {
            QAccessibleInterface *a = QAccessible::queryAccessibleInterface(w);
            QVERIFY(a);
            QVERIFY2(!a->text(QAccessible::Name).trimmed().isEmpty(), qPrintable(w->objectName() + " has no name"));
        }
    }

    reachable.first()->setFocus(Qt::TabFocusReason);
    QTRY_COMPARE(QApplication::focusWidget(), reachable.first());
    QSet<QWidget *> visited;
    for (int i = 0; i < 2 * reachable.size() + 2; ++i) {
        visited.insert(QApplication::focusWidget());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    for (QWidget *w : qAsConst(reachable))
        QVERIFY2(visited.contains(w), qPrintable(w->objectName() + " is not reached by Tab"));
    QCOMPARE(answerer.unexpected(), 0);
    window.reset();
    Startup::shutdownUploadQueue();
}

void TestForms::buttonsNamedAndFocusMarked_data()
{
    QTest::addColumn<Factory>("make");
    QTest::newRow("MainWindow") << Factory([] { return new MainWindow; });
    QTest::newRow("ArticoloStampaFotograficaComposer") << Factory([] {
        OrdiniLocal::OrdineLocal ordine;
        return new ArticoloStampaFotograficaComposer(ordine, nullptr);
    });
    QTest::newRow("ArticoloInvioFileComposer") << Factory([] {
        OrdiniLocal::OrdineLocal ordine;
        return new ArticoloInvioFileComposer(ordine, nullptr);
    });
    QTest::newRow("OrdineUploadDialog") << Factory(queueWindow);
    QTest::newRow("GestioneOrdini") << Factory([] {
        ensureUploadQueue();
        auto *manager = new GestioneOrdini;
        manager->setModal(false);
        return manager;
    });
    QTest::newRow("ResetPasswordDialog") << Factory([] { return new ResetPasswordDialog; });
    QTest::newRow("ArticoloStampaFotograficaFotoEditor") << Factory([] {
        OrdiniLocal::OrdineRigaStampaLocal riga = sampleOrder().righeStampa.first();
        auto *editor = new ArticoloStampaFotograficaFotoEditor(riga, nullptr);
        editor->setModal(false);
        return editor;
    });
}

// A screen reader names every button, by its text or, where it shows only its icon, by its
// tooltip; and a customer moving with Tab sees where he is: every button that Tab reaches is
// drawn otherwise while it holds the focus.
void TestForms::buttonsNamedAndFocusMarked()
{
    QFETCH(Factory, make);
    ModalAnswerer answerer;
    std::unique_ptr<QWidget> window = showActive(make, answerer);
    QVERIFY(window);

    QList<QAbstractButton *> buttons;
    for (QAbstractButton *b : window->findChildren<QAbstractButton *>()) {
        if (b->isVisible() && b->isEnabled() && (b->focusPolicy() & Qt::TabFocus) && !b->size().isEmpty())
            buttons.append(b);
    }
    QVERIFY(!buttons.isEmpty());
    for (QAbstractButton *b : window->findChildren<QAbstractButton *>()) {
        if (!b->isVisible())
            continue;
        QAccessibleInterface *a = QAccessible::queryAccessibleInterface(b);
        QVERIFY(a);
        const QString name = a->text(QAccessible::Name);
        QVERIFY2(name.contains(QRegularExpression(QStringLiteral("\\w"))),
                 qPrintable(b->objectName() + " is named '" + name + "'"));
    }

    // Each button as it looks without the focus, then as Tab leaves it.
    if (QWidget *focused = QApplication::focusWidget())
        focused->clearFocus();
    QList<QImage> plain;
    for (QAbstractButton *b : qAsConst(buttons))
        plain.append(b->grab().toImage());
    QSet<QAbstractButton *> marked;
    for (int i = 0; i < 3 * window->findChildren<QWidget *>().size() && marked.size() < buttons.size(); ++i) {
        Keyboard::press(Qt::Key_Tab);
        const int at = buttons.indexOf(qobject_cast<QAbstractButton *>(QApplication::focusWidget()));
        if (at < 0 || marked.contains(buttons.at(at)))
            continue;
        QAbstractButton *b = buttons.at(at);
        QVERIFY2(b->grab().toImage() != plain.at(at), qPrintable(b->objectName() + " shows no focus"));
        if (marked.isEmpty())
            saveShot(window.get(), QStringLiteral("focus-") + QString::fromLatin1(QTest::currentDataTag()));
        marked.insert(b);
    }
    for (QAbstractButton *b : qAsConst(buttons))
        QVERIFY2(marked.contains(b), qPrintable(b->objectName() + " is not reached by Tab"));
    QCOMPARE(answerer.unexpected(), 0);
    window.reset();
    Startup::shutdownUploadQueue();
}

namespace {

// Whether a picture is framed by the focus blue, rgb(98, 146, 255): its outermost rows and
// columns all of that colour.
bool framedInFocusBlue(const QImage &image)
{
    const QRgb blue = qRgb(98, 146, 255);
    const auto isBlue = [&image, blue](int x, int y) { return (image.pixel(x, y) & 0xFFFFFF) == (blue & 0xFFFFFF); };
    if (image.width() < 3 || image.height() < 3)
        return false;
    for (int x = 0; x < image.width(); ++x) {
        if (!isBlue(x, 0) || !isBlue(x, image.height() - 1))
            return false;
    }
    for (int y = 0; y < image.height(); ++y) {
        if (!isBlue(0, y) || !isBlue(image.width() - 1, y))
            return false;
    }
    return true;
}

} // namespace

// The order manager's page list shows where the keyboard is: while it has the focus, its
// frame is the blue of the other focusable controls and the current page is the selected one,
// also after the arrow keys; without the focus the frame is grey again.
void TestForms::pageListFocusMarked()
{
    // A customer logged in: all three pages can be chosen.
    KorvexGlobals::utente = new Utente;
    KorvexGlobals::utente->username = "demo";
    const auto logout = qScopeGuard([] {
        delete KorvexGlobals::utente;
        KorvexGlobals::utente = nullptr;
    });
    ModalAnswerer answerer;
    std::unique_ptr<QWidget> window = showActive(
        [] {
            ensureUploadQueue();
            auto *manager = new GestioneOrdini;
            manager->setModal(false);
            return manager;
        },
        answerer);
    QVERIFY(window);
    auto *pages = window->findChild<QListWidget *>(QStringLiteral("listWidget"));
    QVERIFY(pages);
    QCOMPARE(pages->currentRow(), 0);

    if (QWidget *focused = QApplication::focusWidget())
        focused->clearFocus();
    QTRY_VERIFY(!pages->hasFocus());
    const QImage plain = pages->grab().toImage();
    QVERIFY2(!framedInFocusBlue(plain), "a focus mark without the focus");
    QCOMPARE(plain.pixelColor(0, plain.height() / 2), QColor(200, 200, 200));

    pages->setFocus(Qt::TabFocusReason);
    QTRY_VERIFY(pages->hasFocus());
    for (int row : {0, 1}) {
        saveShot(window.get(), QStringLiteral("focus-pagelist-%1").arg(row));
        QVERIFY2(framedInFocusBlue(pages->grab().toImage()), qPrintable(QStringLiteral("no focus mark on page %1").arg(row)));
        QCOMPARE(pages->selectedItems(), QList<QListWidgetItem *>{pages->item(row)});
        if (row == 0) {
            Keyboard::press(Qt::Key_Down);
            QTRY_COMPARE(pages->currentRow(), 1);
        }
    }
    QCOMPARE(answerer.unexpected(), 0);
    window.reset();
    Startup::shutdownUploadQueue();
}

void TestForms::articoloWidgetStartsEmpty()
{
    ArticoloWidget entry;
    QCOMPARE(entry.id(), 0);
    auto *titolo = entry.findChild<QLabel *>(QStringLiteral("labelArticoloTitolo"));
    auto *descrizione = entry.findChild<QLabel *>(QStringLiteral("labelArticoloDescrizione"));
    auto *immagine = entry.findChild<QLabel *>(QStringLiteral("labelArticoloImmagine"));
    QVERIFY(titolo && descrizione && immagine);
    QVERIFY(titolo->text().isEmpty());
    QVERIFY(descrizione->text().isEmpty());
    QVERIFY(immagine->pixmap(Qt::ReturnByValue).isNull());
    QCOMPARE(immagine->size(), QSize(90, 90));
}

void TestForms::articoloWidgetShowsWhatItIsGiven()
{
    ArticoloWidget entry;
    QPixmap wide(300, 40);
    wide.fill(Qt::red);
    entry.setArticoloId(2);
    entry.setArticoloTitolo(QStringLiteral("Invio File"));
    entry.setArticoloDescrizione(QStringLiteral("Invia un file al laboratorio fotografico"));
    entry.setArticoloImmagine(wide);
    entry.show();
    QVERIFY(QTest::qWaitForWindowExposed(&entry));

    QCOMPARE(entry.id(), 2);
    auto *immagine = entry.findChild<QLabel *>(QStringLiteral("labelArticoloImmagine"));
    QCOMPARE(immagine->pixmap(Qt::ReturnByValue).size(), QSize(300, 40));
    // Stretched to the label, aspect ratio not kept.
    QCOMPARE(immagine->size(), QSize(90, 90));
    QVERIFY(immagine->hasScaledContents());
    QCOMPARE(entry.findChild<QLabel *>(QStringLiteral("labelArticoloTitolo"))->text(), QStringLiteral("Invio File"));
}

void TestForms::aboutDialogShowsRunningVersion()
{
    AboutDialog about;
    QCOMPARE(about.findChild<QLabel *>(QStringLiteral("labelVersion"))->text(), QStringLiteral("V 2.1.13"));
    QCOMPARE(about.findChild<QLabel *>(QStringLiteral("labelTitle"))->text(), QStringLiteral("Korvex"));
    QCOMPARE(about.windowTitle(), QStringLiteral("Informazioni su..."));
    about.resize(800, 800);
    QCOMPARE(about.size(), QSize(390, 327));
    // The pictures of the box come from the resource collection.
    QVERIFY(!about.findChild<QLabel *>(QStringLiteral("labelIco"))->pixmap(Qt::ReturnByValue).isNull());
    QVERIFY(!QPixmap(QStringLiteral(":/Resource/AboutBg.jpg")).isNull());
}

void TestForms::aboutDialogOpensToolkitBox()
{
    AboutDialog about;
    about.show();
    ModalAnswerer answerer;
    answerer.answer(QMessageBox::Ok);
    QTest::mouseClick(about.findChild<QPushButton *>(QStringLiteral("pushButtonAboutQt")), Qt::LeftButton);
    QVERIFY(answerer.waitForCount(1));
    QCOMPARE(answerer.last().className, QStringLiteral("QMessageBox"));
    QVERIFY(answerer.last().text.contains(QStringLiteral("Qt")));
    QCOMPARE(answerer.unexpected(), 0);
}

QTEST_MAIN(TestForms)
#include "tst_forms.moc"
