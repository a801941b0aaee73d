// The program's main road walked twice on the real windows, against the laboratory simulator:
// once with the mouse, once with the keyboard alone (keys go to the window that has the
// focus, nothing is clicked or called). Log in, open the photo print article, show a folder,
// add all its photos, change one print in the photo editor (copies and crop), go on to the
// summary and save. Both roads write the same order.

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <QToolButton>

#include <algorithm>
#include <functional>
#include <memory>

#include "articolostampafotograficacomposer.h"
#include "articolostampafotograficafotoprintmodel.h"
#include "articolowidget.h"
#include "guifixture.h"
#include "keyboard.h"
#include "korvex2exception.h"
#include "korvexglobals.h"
#include "labsimulator.h"
#include "logindialog.h"
#include "mainwindow.h"
#include "modalanswerer.h"
#include "ordinilocal.h"
#include "ordineupload.h"
#include "shots.h"
#include "startup.h"
#include "utente.h"

using Composer = ArticoloStampaFotograficaComposer;

namespace {

template <typename T>
T *topLevel()
{
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (auto *found = qobject_cast<T *>(w); found && found->isVisible())
            return found;
    }
    return nullptr;
}

template <typename T>
T *child(QWidget *window, const char *name)
{
    T *widget = window->findChild<T *>(QString::fromLatin1(name));
    if (!widget)
        qWarning("no child %s", name);
    return widget;
}

int articleId(QListWidget *list, int row)
{
    auto *entry = qobject_cast<ArticoloWidget *>(list->itemWidget(list->item(row)));
    return entry ? entry->id() : 0;
}

// The row of the print of that photo in the composer's list.
int printRow(QListView *prints, const QString &fileName)
{
    const auto *model = static_cast<ArticoloStampaFotograficaFotoPrintModel *>(prints->model());
    const QList<OrdiniLocal::OrdineRigaStampaLocal> rows = model->stampe();
    for (int i = 0; i < rows.size(); ++i) {
        if (QFileInfo(rows.at(i).FilePath).fileName() == fileName)
            return i;
    }
    return -1;
}

// What an order file holds for the laboratory: everything but its identity and dates. The
// prints by photo: "Aggiungi tutti" adds them in the browser's order, which the road does
// not choose.
QStringList describe(const OrdiniLocal::OrdineLocal &ordine)
{
    QStringList lines{QStringLiteral("cliente %1, utente %2, attivo %3, file %4")
                          .arg(ordine.ClienteFinale)
                          .arg(ordine.Utente)
                          .arg(ordine.Attivo)
                          .arg(ordine.righeFile.size())};
    for (const OrdiniLocal::OrdineRigaStampaLocal &r : ordine.righeStampa) {
        const QRectF c = r.Transformation.CropRect;
        lines << QStringLiteral("%1 %2 %3 %4/%5 q%6 t%7 %8,%9 %10x%11 %12")
                     .arg(QFileInfo(r.FilePath).fileName())
                     .arg(r.IdStampa)
                     .arg(r.Codice, r.FormatoDesc, r.CartaDesc)
                     .arg(r.Qta)
                     .arg(r.Transformation.Type)
                     .arg(c.x())
                     .arg(c.y())
                     .arg(c.width())
                     .arg(c.height())
                     .arg(r.Prezzo);
    }
    std::sort(lines.begin() + 1, lines.end());
    return lines;
}

} // namespace

class TestKeyboardRoad : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void keysWriteTheOrderThatTheMouseWrites();

private:
    // Each road ends with the order file written and the main window back; the order read
    // from it, or a failed test.
    void mouseRoad(OrdiniLocal::OrdineLocal &ordine);
    void keyboardRoad(OrdiniLocal::OrdineLocal &ordine);
    void startMainWindow();
    void closeMainWindow();
    // The desktop gives the focus back to the window under a closed one.
    void focusOn(QWidget *window);
    bool takeOrder(OrdiniLocal::OrdineLocal &ordine);

    std::unique_ptr<GuiFixture> fixture;
    std::unique_ptr<LabSimulator> sim;
    QString photos;
    MainWindow *window = nullptr;
};

void TestKeyboardRoad::initTestCase()
{
    Q_INIT_RESOURCE(application);
    fixture = std::make_unique<GuiFixture>();
    sim = std::make_unique<LabSimulator>();
    QVERIFY2(sim->start(), qPrintable(sim->errorString()));
    photos = fixture->home() + QStringLiteral("/Foto vacanze");
    QVERIFY(QDir().mkpath(photos));
    // Large enough for every format of the catalogue: the editor saves without a warning.
    const QList<QPair<QString, QSize>> files{{QStringLiteral("a.jpg"), QSize(2400, 1600)},
                                             {QStringLiteral("b.jpg"), QSize(3000, 2000)},
                                             {QStringLiteral("c.jpg"), QSize(1600, 2400)}};
    for (const auto &file : files) {
        QImage image(file.second, QImage::Format_RGB32);
        image.fill(QColor(40, 120, 200));
        QVERIFY(image.save(photos + QLatin1Char('/') + file.first, "JPG", 90));
    }
}

void TestKeyboardRoad::cleanup()
{
    closeMainWindow();
    fixture->reset();
}

void TestKeyboardRoad::startMainWindow()
{
    fixture->reset();
    fixture->storeSettings(sim->baseUrl());
    window = new MainWindow;
    window->show();
}

void TestKeyboardRoad::closeMainWindow()
{
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (qobject_cast<Composer *>(w) || qobject_cast<LoginDialog *>(w))
            delete w;
    }
    if (!window)
        return;
    window->close();
    Startup::shutdownUploadQueue();
    delete window;
    window = nullptr;
}

void TestKeyboardRoad::focusOn(QWidget *target)
{
    QTRY_VERIFY(target->isVisible());
    if (!target->isActiveWindow())
        target->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(target));
}

bool TestKeyboardRoad::takeOrder(OrdiniLocal::OrdineLocal &ordine)
{
    const QDir folder(KorvexGlobals::ordersQueuePath());
    const QStringList files = folder.entryList({QStringLiteral("*.kv2")}, QDir::Files);
    if (files.size() != 1) {
        qWarning("%d order files", int(files.size()));
        return false;
    }
    QFile file(folder.filePath(files.first()));
    if (!file.open(QIODevice::ReadOnly))
        return false;
    try {
        ordine = OrdiniLocal().FromXML(QString::fromUtf8(file.readAll()));
    } catch (const Korvex2Exception &) {
        return false;
    }
    file.close();
    return file.remove();
}

void TestKeyboardRoad::mouseRoad(OrdiniLocal::OrdineLocal &ordine)
{
    ModalAnswerer answerer;
    answerer.watchDialogs(QStringLiteral("LoginDialog"));
    answerer.answerWith([](QWidget *dialog) {
        GuiFixture::edit(dialog, "lineEditUsername")->setText(LabSimulator::DemoUser);
        GuiFixture::edit(dialog, "lineEditPassword")->setText(LabSimulator::DemoPassword);
        QTest::mouseClick(dialog->findChild<QPushButton *>("pushButtonLogin"), Qt::LeftButton);
    });
    startMainWindow();
    QTRY_VERIFY(KorvexGlobals::utente && window->isVisible());

    auto *articles = child<QListWidget>(window, "listWidgetArticoli");
    int row = 0;
    while (row < articles->count() && articleId(articles, row) != 1)
        ++row;
    QVERIFY(row < articles->count());
    QTest::mouseClick(articles->viewport(), Qt::LeftButton, {}, articles->visualItemRect(articles->item(row)).center());
    QPointer<Composer> composer = topLevel<Composer>();
    QVERIFY(composer);

    child<QLineEdit>(composer, "lineEditCurrentPath")->setText(photos);
    QTest::mouseClick(child<QToolButton>(composer, "toolButtonChangePath"), Qt::LeftButton);
    auto *browser = child<QListView>(composer, "listViewFileSelection");
    QTRY_COMPARE(browser->model()->rowCount(browser->rootIndex()), 3);
    QTest::mouseClick(child<QToolButton>(composer, "toolButtonAddAll"), Qt::LeftButton);
    auto *prints = child<QListView>(composer, "listViewFotoPrint");
    QTRY_COMPARE(prints->model()->rowCount(), 3);

    // The print of b.jpg: 3 copies, the crop turned upright.
    answerer.answerWith([](QWidget *editor) {
        editor->findChild<QSpinBox *>(QStringLiteral("qta"))->setValue(3);
        QTest::mouseClick(editor->findChild<QToolButton *>(QStringLiteral("pushButtonCropRotate")), Qt::LeftButton);
        QTest::mouseClick(editor->findChild<QPushButton *>(QStringLiteral("pushButtonSave")), Qt::LeftButton);
    });
    const QModelIndex b = prints->model()->index(printRow(prints, QStringLiteral("b.jpg")), 0);
    QTRY_VERIFY(prints->visualRect(b).isValid());
    const QPoint at = prints->visualRect(b).center();
    QTest::mouseClick(prints->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(prints->viewport(), Qt::LeftButton, {}, at);
    QCOMPARE(answerer.count(), 2);
    QCOMPARE(answerer.last().className, QStringLiteral("ArticoloStampaFotograficaFotoEditor"));

    QTest::mouseClick(child<QToolButton>(composer, "toolButtonAvanti"), Qt::LeftButton);
    child<QLineEdit>(composer, "clienteFinale")->setText(QStringLiteral("Rossi"));
    QTest::mouseClick(child<QToolButton>(composer, "toolButtonSalva"), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(!composer, 15000);
    QTRY_VERIFY(window->isVisible());
    QCOMPARE(answerer.unexpected(), 0);
    QVERIFY(takeOrder(ordine));
}

void TestKeyboardRoad::keyboardRoad(OrdiniLocal::OrdineLocal &ordine)
{
    using namespace Keyboard;
    startMainWindow();

    // The login dialog asks first, on the user name.
    QTRY_VERIFY(topLevel<LoginDialog>());
    LoginDialog *login = topLevel<LoginDialog>();
    QVERIFY(QTest::qWaitForWindowActive(login));
    QCOMPARE(focusName(), QStringLiteral("lineEditUsername"));
    type(QString::fromLatin1(LabSimulator::DemoUser));
    press(Qt::Key_Tab);
    type(QString::fromLatin1(LabSimulator::DemoPassword));
    press(Qt::Key_Return);
    QTRY_VERIFY(KorvexGlobals::utente);
    focusOn(window);

    // The photo print article, chosen in the list and opened with Enter.
    QVERIFY(tabTo(QStringLiteral("listWidgetArticoli")));
    auto *articles = child<QListWidget>(window, "listWidgetArticoli");
    press(Qt::Key_Home);
    for (int i = 0; i < articles->count() && articleId(articles, articles->currentRow()) != 1; ++i)
        press(Qt::Key_Down);
    QCOMPARE(articleId(articles, articles->currentRow()), 1);
    saveShot(window, QStringLiteral("keyboard-article-focused"));
    press(Qt::Key_Return);
    QPointer<Composer> composer = topLevel<Composer>();
    QVERIFY(composer);
    QVERIFY(window->isHidden());
    focusOn(composer);

    // The folder typed in the path field, all its photos added.
    QVERIFY(tabTo(QStringLiteral("lineEditCurrentPath")));
    press(Qt::Key_A, Qt::ControlModifier);
    type(photos);
    press(Qt::Key_Return);
    auto *browser = child<QListView>(composer, "listViewFileSelection");
    QTRY_COMPARE(browser->model()->rowCount(browser->rootIndex()), 3);
    QVERIFY(tabTo(QStringLiteral("toolButtonAddAll")));
    saveShot(composer, QStringLiteral("keyboard-add-all-focused"));
    press(Qt::Key_Space);
    auto *prints = child<QListView>(composer, "listViewFotoPrint");
    QTRY_COMPARE(prints->model()->rowCount(), 3);

    // The print of b.jpg in the photo editor: 3 copies, the crop turned upright, saved.
    ModalAnswerer answerer;
    answerer.answerWith([](QWidget *editor) {
        QVERIFY(QTest::qWaitForWindowActive(editor));
        QVERIFY(tabTo(QStringLiteral("qta")));
        press(Qt::Key_A, Qt::ControlModifier);
        type(QStringLiteral("3"));
        QVERIFY(tabTo(QStringLiteral("pushButtonCropRotate")));
        press(Qt::Key_Space);
        saveShot(editor, QStringLiteral("keyboard-editor-rotated"));
        QVERIFY(tabTo(QStringLiteral("pushButtonSave")));
        press(Qt::Key_Space);
    });
    QVERIFY(tabTo(QStringLiteral("listViewFotoPrint")));
    press(Qt::Key_Home);
    const int b = printRow(prints, QStringLiteral("b.jpg"));
    for (int i = 0; i < 3 && prints->currentIndex().row() != b; ++i)
        press(Qt::Key_Right);
    QCOMPARE(prints->currentIndex().row(), b);
    press(Qt::Key_Return);
    QCOMPARE(answerer.count(), 1);
    QCOMPARE(answerer.last().className, QStringLiteral("ArticoloStampaFotograficaFotoEditor"));
    // The panel under the list tells the print as it is now.
    QCOMPARE(child<QSpinBox>(composer, "stampaQta")->value(), 3);
    focusOn(composer);

    // "Avanti", the end customer, "Salva e chiudi".
    QVERIFY(tabTo(QStringLiteral("toolButtonAvanti")));
    press(Qt::Key_Space);
    QTRY_COMPARE(focusName(), QStringLiteral("clienteFinale"));
    type(QStringLiteral("Rossi"));
    QVERIFY(tabTo(QStringLiteral("toolButtonSalva")));
    press(Qt::Key_Space);
    QTRY_VERIFY_WITH_TIMEOUT(!composer, 15000);
    QTRY_VERIFY(window->isVisible());
    QCOMPARE(answerer.count(), 1);
    QCOMPARE(answerer.unexpected(), 0);
    QVERIFY(takeOrder(ordine));
}

void TestKeyboardRoad::keysWriteTheOrderThatTheMouseWrites()
{
    OrdiniLocal::OrdineLocal byMouse;
    mouseRoad(byMouse);
    if (QTest::currentTestFailed())
        return;
    closeMainWindow();

    OrdiniLocal::OrdineLocal byKeys;
    keyboardRoad(byKeys);
    if (QTest::currentTestFailed())
        return;

    const QStringList expected = describe(byMouse);
    QCOMPARE(describe(byKeys), expected);
    // What both roads chose: three prints, b.jpg's with 3 copies and an upright crop of its
    // landscape photo, the others as they were added.
    QCOMPARE(byKeys.righeStampa.size(), 3);
    QCOMPARE(byKeys.ClienteFinale, QStringLiteral("Rossi"));
    for (const OrdiniLocal::OrdineRigaStampaLocal &r : qAsConst(byKeys.righeStampa)) {
        const bool edited = QFileInfo(r.FilePath).fileName() == QLatin1String("b.jpg");
        QCOMPARE(r.Qta, edited ? 3 : 1);
        QCOMPARE(r.Transformation.Type, 2);
        const bool upright = r.Transformation.CropRect.height() > r.Transformation.CropRect.width();
        const bool photoUpright = QImage(r.FilePath).height() > QImage(r.FilePath).width();
        QVERIFY2(upright == (edited || photoUpright), qPrintable(expected.join(QLatin1Char('\n'))));
    }
}

QTEST_MAIN(TestKeyboardRoad)
#include "tst_keyboardroad.moc"
