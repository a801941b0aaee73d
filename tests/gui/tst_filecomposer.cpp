// The file-sending composer on the real order store and upload queue, with the laboratory
// simulator behind the queue: saving in every way it can close, the upload state of rows
// that did not change, missing files and their replacement, the file browser, drops, and a
// whole order composed and sent. Also the simple file-sending dialog.

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QStackedWidget>
#include <QTableView>
#include <QScopeGuard>
#include <QTest>
#include <QToolButton>
#include <QUrl>

#include <memory>

#include "articoloinviofilecomposer.h"
#include "articoloinviofilecomposertest.h"
#include "articoloinviofileitemmodel.h"
#include "enginefixture.h"
#include "filesizelimit.h"
#include "keyboard.h"
#include "korvexglobals.h"
#include "labsimulator.h"
#include "messagecatcher.h"
#include "modalanswerer.h"
#include "ordinefile.h"
#include "ordinilocal.h"
#include "ordineupload.h"
#include "shots.h"
#include "utente.h"

Q_DECLARE_METATYPE(QList<int>)

namespace {

template <class T> T *child(QObject *parent, const char *name)
{
    T *found = parent->findChild<T *>(QString::fromLatin1(name));
    if (!found)
        qWarning("no child %s", name);
    return found;
}

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Hands a drag-and-drop event to an item view the way the toolkit does during a drag of its
// own (the headless platform ends every drag at once): through the view's viewport filter.
struct ViewportAccess : QAbstractItemView
{
    static void deliver(QAbstractItemView *view, QEvent *event) { (view->*(&ViewportAccess::viewportEvent))(event); }
};

void deliverToView(QAbstractItemView *view, QEvent *event)
{
    ViewportAccess::deliver(view, event);
}

QStringList names(const QList<QFileInfo> &files)
{
    QStringList list;
    for (const QFileInfo &file : files)
        list << file.fileName();
    return list;
}

} // namespace

class TestFileComposer : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void formBindsEverySlotAndStartsOnTheFiles();
    void tabFollowsThePage();
    void doubleClicksAddOrReplaceOnlyWithTheLeftButton();

    void saveFlows_data();
    void saveFlows();
    void secondSaveRewritesTheSameFile();
    void orderGoneMeanwhileIsNotWrittenAgain_data();
    void orderGoneMeanwhileIsNotWrittenAgain();
    void failedWriteKeepsEverything_data();
    void failedWriteKeepsEverything();
    void uploadStateOfRows_data();
    void uploadStateOfRows();

    void missingFilesAlertAndAvanti();
    void cancelledFileDialogChangesNothing();
    void automaticReplacement_data();
    void automaticReplacement();
    void replacementAlreadyListed();
    void refusedReplacementAsksNothing();
    void removingTheLastFileDisablesCommands();
    void fileDeletedWhileOpenIsMissing();
    void selectedRowsGoInRuns_data();
    void selectedRowsGoInRuns();

    void browserFilter_data();
    void browserFilter();
    void addAllTwiceAddsEachOnce();
    void folderChangeDropsTheFilter();

    void dropsOnTheLists();

    void simpleDialog_data();
    void simpleDialog();

    void composedOrderIsSent();

private:
    enum class Kind { New, Saved, Queued };
    OrdiniLocal::OrdineLocal prepare(Kind kind, int files = 2);
    ArticoloInvioFileComposer *open(OrdiniLocal::OrdineLocal ordine);
    ArticoloInvioFileItemModel *filesModel() const { return m_composer->findChild<ArticoloInvioFileItemModel *>(); }
    QFileSystemModel *browserModel() const
    {
        return qobject_cast<QFileSystemModel *>(child<QListView>(m_composer.get(), "listViewFileSelection")->model());
    }
    QStringList browserNames() const;
    bool showFolder(const QString &path);
    void addFiles(const QStringList &paths);
    bool waitClosed();
    QString folder(const QString &name) const;

    std::unique_ptr<EngineFixture> m_fixture;
    std::unique_ptr<ModalAnswerer> m_answerer;
    std::unique_ptr<ArticoloInvioFileComposer> m_composer;
    int m_seed = 0;
};

void TestFileComposer::initTestCase()
{
    Q_INIT_RESOURCE(application);
    qRegisterMetaType<QList<QFileInfo>>("QList<QFileInfo>");
}

void TestFileComposer::init()
{
    m_fixture = std::make_unique<EngineFixture>();
    QVERIFY2(m_fixture->isValid(), qPrintable(m_fixture->errorString()));
    QVERIFY2(m_fixture->startLab(), qPrintable(m_fixture->errorString()));
    KorvexGlobals::ordineUpload = new OrdineUpload(nullptr);
    m_answerer = std::make_unique<ModalAnswerer>();
    m_answerer->watchDialogs(QStringLiteral("QFileDialog"));
}

void TestFileComposer::cleanup()
{
    m_composer.reset();
    OrdineUpload *queue = KorvexGlobals::ordineUpload;
    if (queue && queue->processingUploads()) {
        QSignalSpy stopped(queue, &OrdineUpload::stopProcessingQueue);
        queue->terminateUpload();
        stopped.wait(20000);
    }
    delete queue;
    KorvexGlobals::ordineUpload = nullptr;
    QCOMPARE(m_answerer->unexpected(), 0);
    m_answerer.reset();
    m_fixture.reset();
}

QString TestFileComposer::folder(const QString &name) const
{
    const QString path = m_fixture->filesFolder() + QLatin1Char('/') + name;
    QDir().mkpath(path);
    return path;
}

OrdiniLocal::OrdineLocal TestFileComposer::prepare(Kind kind, int files)
{
    ++m_seed;
    OrdiniLocal::OrdineLocal ordine = EngineFixture::order();
    if (kind == Kind::New) {
        OrdiniLocal().initOrdineLocal(ordine);
        return ordine;
    }
    for (int i = 0; i < files; ++i) {
        ordine.righeFile << EngineFixture::fileRow(
            m_fixture->bytesFile(QStringLiteral("%1-file %2.bin").arg(m_seed).arg(i), 3000 + i, m_seed * 10 + i));
    }
    ordine.Attivo = kind == Kind::Queued;
    if (!m_fixture->save(ordine))
        qWarning("order not saved");
    if (kind == Kind::Queued)
        KorvexGlobals::ordineUpload->append(ordine);
    return ordine;
}

ArticoloInvioFileComposer *TestFileComposer::open(OrdiniLocal::OrdineLocal ordine)
{
    m_composer = std::make_unique<ArticoloInvioFileComposer>(ordine);
    m_composer->show();
    return m_composer.get();
}

void TestFileComposer::addFiles(const QStringList &paths)
{
    QList<QFileInfo> files;
    for (const QString &path : paths)
        files << QFileInfo(path);
    QMetaObject::invokeMethod(m_composer.get(), "dropFromFileSystem", Q_ARG(QList<QFileInfo>, files));
}

bool TestFileComposer::waitClosed()
{
    return QTest::qWaitFor([this] { return !m_composer->isVisible(); }, 60000);
}

QStringList TestFileComposer::browserNames() const
{
    QFileSystemModel *model = browserModel();
    const QModelIndex root = child<QListView>(m_composer.get(), "listViewFileSelection")->rootIndex();
    QStringList list;
    for (int i = 0; i < model->rowCount(root); ++i)
        list << model->fileName(model->index(i, 0, root));
    list.sort();
    return list;
}

bool TestFileComposer::showFolder(const QString &path)
{
    QLineEdit *line = child<QLineEdit>(m_composer.get(), "lineEditCurrentPath");
    line->setText(path);
    QMetaObject::invokeMethod(m_composer.get(), "on_toolButtonChangePath_clicked");
    const int expected = QDir(path).entryList(QDir::Files | QDir::NoDotAndDotDot).size();
    if (!QTest::qWaitFor([&] { return browserNames().size() == expected; }, 60000))
        return false;
    return line->text() == QDir(path).absolutePath();
}

// ---------------------------------------------------------------------------------------------

void TestFileComposer::formBindsEverySlotAndStartsOnTheFiles()
{
    MessageCatcher catcher;
    open(prepare(Kind::New));
    QCOMPARE(catcher.matching(QStringLiteral("connectSlotsByName")), QStringList());
    QCOMPARE(m_composer->objectName(), QStringLiteral("ArticoloInvioFileComposer"));
    QCOMPARE(m_composer->windowTitle(), QStringLiteral("Invio File"));
    QCOMPARE(child<QStackedWidget>(m_composer.get(), "pages")->currentIndex(), 0);
    QVERIFY(child<QFrame>(m_composer.get(), "frameDetails")->layout());
    for (const char *hidden : {"toolButtonIndietro", "toolButtonSalva", "toolButtonUpload", "toolButtonRemoveInvalid",
                               "toolButtonSelectedFilesChange"})
        QVERIFY2(!child<QWidget>(m_composer.get(), hidden)->isVisible(), hidden);
    QVERIFY(!child<QWidget>(m_composer.get(), "toolButtonAvanti")->isEnabled());
    QVERIFY(!child<QWidget>(m_composer.get(), "tableViewFileSelection")->isVisible());
    QVERIFY(!child<QWidget>(m_composer.get(), "tableViewSelectedFiles")->isVisible());
    // The browser starts on the desktop, or the home folder where there is none.
    const QString shown = child<QLineEdit>(m_composer.get(), "lineEditCurrentPath")->text();
    QVERIFY2(QFileInfo(shown).isDir(), qPrintable(shown));
    // Every view and line edit of the form can be named by assistive tools.
    for (const char *name : {"lineEditCurrentPath", "lineEditFiltra", "treeViewDirSelection", "listViewFileSelection",
                             "tableViewFileSelection", "listViewSelectedFiles", "tableViewSelectedFiles"})
        QVERIFY2(!child<QWidget>(m_composer.get(), name)->accessibleName().isEmpty(), name);
}

// Tab goes over the page as it reads, from the top left to the bottom right: the browser's
// bar and views, the files to send with the buttons above them, the bottom bar from "Annulla".
void TestFileComposer::tabFollowsThePage()
{
    open(prepare(Kind::Saved, 1));
    QListView *files = child<QListView>(m_composer.get(), "listViewSelectedFiles");
    QTRY_COMPARE(files->model()->rowCount(), 1);
    files->setCurrentIndex(files->model()->index(0, 0));
    m_composer->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_composer.get()));
    child<QWidget>(m_composer.get(), "lineEditCurrentPath")->setFocus(Qt::TabFocusReason);
    QTRY_COMPARE(Keyboard::focusName(), QStringLiteral("lineEditCurrentPath"));
    const QStringList expected{
        "lineEditCurrentPath", "toolButtonChangePath", "lineEditFiltra", "toolButtonSelectAll", "toolButtonAddAll",
        "toolButtonFileSelectionChangeLayout", "treeViewDirSelection", "listViewFileSelection",
        "toolButtonSelectedFilesSelectAll", "toolButtonRemove", "toolButtonRemoveAll",
        "toolButtonSelectedFilesChangeLayout", "listViewSelectedFiles", "toolButtonClose", "toolButtonAvanti"};
    QCOMPARE(Keyboard::tabRound(), expected);
}

void TestFileComposer::doubleClicksAddOrReplaceOnlyWithTheLeftButton()
{
    const QString path = folder(QStringLiteral("doppio"));
    const QString file = m_fixture->bytesFile(QStringLiteral("doppio/clic.txt"), 10);
    OrdiniLocal::OrdineLocal ordine = EngineFixture::order();
    ordine.righeFile << EngineFixture::fileRow(path + QStringLiteral("/mancante.txt"));
    QVERIFY(m_fixture->save(ordine));
    m_answerer->answer(QStringLiteral("Continua"));
    open(ordine);
    QVERIFY(m_answerer->waitForCount(1));
    QVERIFY(showFolder(path));

    auto *browser = child<QListView>(m_composer.get(), "listViewFileSelection");
    QTest::qWait(100);
    const QModelIndex entry = browserModel()->index(file);
    browser->selectionModel()->select(entry, QItemSelectionModel::ClearAndSelect);
    const QPoint at = browser->visualRect(entry).center();
    QTest::mouseDClick(browser->viewport(), Qt::RightButton, Qt::NoModifier, at);
    QCOMPARE(filesModel()->rowCount(), 1);
    // Where the toolkit reports a double click of another button, it is still not taken.
    const auto otherButtonDoubleClick = [](QAbstractItemView *view, const QPoint &pos, const QModelIndex &index) {
        QMouseEvent event(QEvent::MouseButtonDblClick, pos, view->viewport()->mapToGlobal(pos), Qt::RightButton,
                          Qt::RightButton, Qt::NoModifier);
        QApplication::sendEvent(view->viewport(), &event);
        QMetaObject::invokeMethod(view, "doubleClicked", Q_ARG(QModelIndex, index));
    };
    otherButtonDoubleClick(browser, at, entry);
    QCOMPARE(filesModel()->rowCount(), 1);
    browser->selectionModel()->select(entry, QItemSelectionModel::ClearAndSelect);
    QTest::mouseDClick(browser->viewport(), Qt::LeftButton, Qt::NoModifier, at);
    QCOMPARE(filesModel()->rowCount(), 2);

    // A double click on the missing row opens the file dialog only with the left button.
    auto *list = child<QListView>(m_composer.get(), "listViewSelectedFiles");
    QTest::qWait(100);
    const QPoint row = list->visualRect(filesModel()->index(0, 0)).center();
    QTest::mouseDClick(list->viewport(), Qt::MiddleButton, Qt::NoModifier, row);
    otherButtonDoubleClick(list, row, filesModel()->index(0, 0));
    QCOMPARE(m_answerer->count(), 1);
    m_answerer->answerWith([](QWidget *box) {
        if (auto *dialog = qobject_cast<QFileDialog *>(box))
            dialog->reject();
    });
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, row);
    QCOMPARE(m_answerer->count(), 2);
    QCOMPARE(m_answerer->last().className, QStringLiteral("QFileDialog"));
}

void TestFileComposer::saveFlows_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<int>("kind");
    QTest::addColumn<bool>("loggedIn");
    QTest::addColumn<bool>("written");   // the order file holds what the composer showed
    QTest::addColumn<bool>("attivo");
    QTest::addColumn<bool>("queued");
    QTest::addColumn<bool>("started");
    QTest::addColumn<bool>("closed");

    const struct {
        const char *name;
        Kind kind;
    } kinds[] = {{"new", Kind::New}, {"saved", Kind::Saved}, {"queued", Kind::Queued}};
    for (const auto &k : kinds) {
        const bool queuedBefore = k.kind == Kind::Queued;
        auto row = [&](const char *action, bool loggedIn, bool written, bool attivo, bool queued, bool started, bool closed) {
            QTest::addRow("%s, %s%s", action, k.name, loggedIn ? "" : ", logged out")
                << QString::fromLatin1(action) << int(k.kind) << loggedIn << written << attivo << queued << started << closed;
        };
        row("Salva e chiudi", true, true, false, false, false, true);
        row("Salva e invia", true, true, true, true, true, true);
        row("Salva e invia", false, true, false, false, false, true);
        row("question: Salva e chiudi", true, true, false, false, false, true);
        row("question: Chiudi senza salvare", true, false, queuedBefore, queuedBefore, false, true);
        row("question: Annulla", true, false, queuedBefore, queuedBefore, false, false);
    }
    QTest::newRow("Annulla on a new empty order") << "Annulla empty" << int(Kind::New) << true << false << false << false
                                                  << false << true;
}

void TestFileComposer::saveFlows()
{
    QFETCH(QString, action);
    QFETCH(int, kind);
    QFETCH(bool, loggedIn);
    QFETCH(bool, written);
    QFETCH(bool, attivo);
    QFETCH(bool, queued);
    QFETCH(bool, started);
    QFETCH(bool, closed);

    OrdiniLocal::OrdineLocal ordine = prepare(Kind(kind));
    const QString before = ordine.Uuid.isEmpty() ? QString() : OrdineFile::path(KorvexGlobals::ordersQueuePath(), ordine.Uuid);
    const QByteArray bytesBefore = before.isEmpty() ? QByteArray() : fileBytes(before);
    if (!loggedIn)
        m_fixture->logout();
    // The worker's first call is held by the laboratory, so that the order file can be read
    // before it is sent; let go at the end.
    QVERIFY(m_fixture->lab().holdAnswer(QStringLiteral("ottieniImpostazioniServerFTP")));
    const auto release = qScopeGuard([this] { m_fixture->lab().resetKnobs(); });

    open(ordine);
    const QString added = m_fixture->bytesFile(QStringLiteral("%1-aggiunto è.txt").arg(m_seed), 1200, m_seed);
    if (action != QLatin1String("Annulla empty"))
        addFiles({added});
    QTRY_COMPARE(filesModel()->rowCount(), action == QLatin1String("Annulla empty") ? 0 : ordine.righeFile.size() + 1);
    child<QLineEdit>(m_composer.get(), "clienteFinale")->setText(QStringLiteral("Cliente Finale"));
    child<QPlainTextEdit>(m_composer.get(), "note")->setPlainText(QStringLiteral("Nota nuova"));
    QSignalSpy startSpy(KorvexGlobals::ordineUpload, &OrdineUpload::startProcessingQueue);

    if (action == QLatin1String("Salva e chiudi") || action == QLatin1String("Salva e invia")) {
        QMetaObject::invokeMethod(m_composer.get(), "on_toolButtonAvanti_clicked");
        QCOMPARE(child<QStackedWidget>(m_composer.get(), "pages")->currentIndex(), 1);
        QToolButton *button = child<QToolButton>(m_composer.get(), action == QLatin1String("Salva e chiudi") ? "toolButtonSalva" : "toolButtonUpload");
        QCOMPARE(button->isEnabled(), action == QLatin1String("Salva e chiudi") || loggedIn);
        // A disabled button still saves as "Salva e chiudi" when triggered from the program.
        QMetaObject::invokeMethod(m_composer.get(), action == QLatin1String("Salva e chiudi") ? "on_toolButtonSalva_clicked"
                                                                                            : "on_toolButtonUpload_clicked");
    } else if (action.startsWith(QLatin1String("question: "))) {
        m_answerer->answer(action.mid(10));
        m_composer->reject();
        QVERIFY(m_answerer->waitForCount(1));
        const ModalAnswerer::Box box = m_answerer->last();
        QCOMPARE(box.title, QStringLiteral("Chiudi"));
        QCOMPARE(box.buttons, QStringList({"Salva e chiudi", "Chiudi senza salvare", "Annulla"}));
        QCOMPARE(box.defaultButton, QStringLiteral("Annulla"));
        QVERIFY(!box.hasEscapeButton);
    } else {
        m_composer->reject();
    }

    if (closed)
        QVERIFY(waitClosed());
    else
        QTest::qWait(100);
    QCOMPARE(m_composer->isVisible(), !closed);
    if (action == QLatin1String("Annulla empty") || action.startsWith(QLatin1String("question")))
        QCOMPARE(m_answerer->count(), action == QLatin1String("Annulla empty") ? 0 : 1);

    const QString uuid = m_composer->getOrdine().Uuid;
    if (written) {
        QVERIFY(!uuid.isEmpty());
        if (!ordine.Uuid.isEmpty())
            QCOMPARE(uuid, ordine.Uuid);
        OrdiniLocal::OrdineLocal onDisk;
        QVERIFY(m_fixture->load(uuid, onDisk));
        QCOMPARE(onDisk.Attivo, attivo);
        QCOMPARE(onDisk.righeFile.size(), ordine.righeFile.size() + 1);
        QCOMPARE(onDisk.righeFile.last().FilePath, added);
        QCOMPARE(onDisk.righeFile.last().Descrizione, QStringLiteral("Invio File %1").arg(QFileInfo(added).fileName()));
        QCOMPARE(onDisk.ClienteFinale, QStringLiteral("Cliente Finale"));
        QCOMPARE(onDisk.Note, QStringLiteral("Nota nuova"));
        QCOMPARE(onDisk.Priorita, -1);
        QCOMPARE(onDisk.Utente, loggedIn ? KorvexGlobals::utente->Getid() : 0);
    } else if (before.isEmpty()) {
        QCOMPARE(m_fixture->orderFiles(), QStringList());
    } else {
        QCOMPARE(fileBytes(before), bytesBefore);
    }
    const QString queueUuid = uuid.isEmpty() ? ordine.Uuid : uuid;
    QCOMPARE(KorvexGlobals::ordineUpload->index(queueUuid) >= 0, queued);
    QCOMPARE(startSpy.count() > 0, started);
}

void TestFileComposer::secondSaveRewritesTheSameFile()
{
    open(prepare(Kind::New));
    addFiles({m_fixture->bytesFile(QStringLiteral("uno.txt"), 10)});
    m_composer->refreshOrdine();
    QVERIFY(m_composer->saveOrdine(false));
    QTRY_VERIFY(!m_composer->getOrdine().Uuid.isEmpty());
    const QString uuid = m_composer->getOrdine().Uuid;
    QTRY_COMPARE(m_fixture->orderFiles().size(), 1);
    addFiles({m_fixture->bytesFile(QStringLiteral("due.txt"), 20)});
    m_composer->refreshOrdine();
    QVERIFY(m_composer->saveOrdine(false));
    // Refused while the first is under way.
    QVERIFY(!m_composer->saveOrdine(false));
    OrdiniLocal::OrdineLocal onDisk;
    QTRY_VERIFY(m_fixture->load(uuid, onDisk) && onDisk.righeFile.size() == 2);
    QCOMPARE(m_fixture->orderFiles().size(), 1);
    QCOMPARE(m_composer->getOrdine().Uuid, uuid);
}

void TestFileComposer::orderGoneMeanwhileIsNotWrittenAgain_data()
{
    QTest::addColumn<bool>("sent");
    QTest::addColumn<QString>("title");
    QTest::newRow("sent by the queue") << true << QString::fromUtf8("Ordine già inviato");
    QTest::newRow("removed in the queue window") << false << QStringLiteral("Ordine eliminato");
}

void TestFileComposer::orderGoneMeanwhileIsNotWrittenAgain()
{
    QFETCH(bool, sent);
    QFETCH(QString, title);
    OrdiniLocal::OrdineLocal ordine = prepare(Kind::Queued, 1);
    open(ordine);
    // While the customer edits it, the queue sends the order, or the customer removes it in
    // the queue window: either way its file goes.
    OrdineUpload *queue = KorvexGlobals::ordineUpload;
    if (sent) {
        QSignalSpy finished(queue, &OrdineUpload::finishedProcessingQueue);
        queue->startUpload();
        QVERIFY(finished.wait(30000));
        QTRY_VERIFY(!queue->processingUploads());
    } else {
        QVERIFY(queue->removeItem(ordine.Uuid, true));
    }
    QVERIFY(!m_fixture->orderFileExists(ordine.Uuid));
    QMetaObject::invokeMethod(m_composer.get(), "on_toolButtonAvanti_clicked");
    m_answerer->answer(QMessageBox::Ok);
    QMetaObject::invokeMethod(m_composer.get(), "on_toolButtonSalva_clicked");
    QVERIFY(m_answerer->waitForCount(1));
    QCOMPARE(m_answerer->last().icon, QMessageBox::Information);
    QCOMPARE(m_answerer->last().title, title);
    QVERIFY(waitClosed());
    QCOMPARE(m_fixture->orderFiles(), QStringList());
    QCOMPARE(KorvexGlobals::ordineUpload->index(ordine.Uuid), -1);
}

void TestFileComposer::failedWriteKeepsEverything_data()
{
    QTest::addColumn<bool>("controlCharacter");
    QTest::addColumn<QString>("reason");
    QTest::newRow("disk full") << false << "Impossibile scrivere il file";
    QTest::newRow("note the store refuses") << true << "caratteri di controllo";
}

void TestFileComposer::failedWriteKeepsEverything()
{
    QFETCH(bool, controlCharacter);
    QFETCH(QString, reason);

    OrdiniLocal::OrdineLocal ordine = prepare(Kind::Queued, 3);
    const QString path = OrdineFile::path(KorvexGlobals::ordersQueuePath(), ordine.Uuid);
    const QByteArray bytesBefore = fileBytes(path);
    open(ordine);
    addFiles({m_fixture->bytesFile(QStringLiteral("in più.txt"), 500)});
    if (controlCharacter)
        child<QPlainTextEdit>(m_composer.get(), "note")->setPlainText(QStringLiteral("nota\x01rotta"));
    QMetaObject::invokeMethod(m_composer.get(), "on_toolButtonAvanti_clicked");
    m_answerer->answer(QMessageBox::Ok);
    {
        std::unique_ptr<FileSizeLimit> limit;
        if (!controlCharacter) {
            limit = std::make_unique<FileSizeLimit>(64);
            QVERIFY(limit->ok());
        }
        QMetaObject::invokeMethod(m_composer.get(), "on_toolButtonSalva_clicked");
        QVERIFY(m_answerer->waitForCount(1));
    }
    const ModalAnswerer::Box box = m_answerer->last();
    QCOMPARE(box.icon, QMessageBox::Warning);
    QVERIFY2(box.text.contains(reason), qPrintable(box.text));
    QVERIFY(m_composer->isVisible());
    QCOMPARE(fileBytes(path), bytesBefore);
    QVERIFY(KorvexGlobals::ordineUpload->index(ordine.Uuid) >= 0);
    QCOMPARE(KorvexGlobals::ordineUpload->ordineAtIndex(KorvexGlobals::ordineUpload->index(ordine.Uuid)).righeFile.size(), 3);

    // Still not saved: closing asks.
    m_answerer->answer(QStringLiteral("Chiudi senza salvare"));
    m_composer->reject();
    QVERIFY(waitClosed());
    QCOMPARE(m_answerer->last().title, QStringLiteral("Chiudi"));
}

void TestFileComposer::uploadStateOfRows_data()
{
    QTest::addColumn<QString>("change");
    QTest::addColumn<QString>("wsFileId");
    QTest::addColumn<bool>("inviata");
    QTest::newRow("unchanged file") << "none" << "F-2" << true;
    QTest::newRow("size changed") << "grow" << "" << false;
    QTest::newRow("new file") << "new" << "" << false;
    QTest::newRow("two old rows, one path") << "twice" << "F-3" << false;
}

void TestFileComposer::uploadStateOfRows()
{
    QFETCH(QString, change);
    QFETCH(QString, wsFileId);
    QFETCH(bool, inviata);

    const QString path = m_fixture->bytesFile(QStringLiteral("stato.bin"), 4000);
    OrdiniLocal::OrdineLocal ordine = EngineFixture::order();
    OrdiniLocal::OrdineRigaFileLocal riga = EngineFixture::fileRow(path);
    riga.WsFileId = QStringLiteral("F-2");
    riga.Inviata = true;
    if (change != QLatin1String("new"))
        ordine.righeFile << riga;
    if (change == QLatin1String("twice")) {
        riga.WsFileId = QStringLiteral("F-3");
        riga.Inviata = false;
        ordine.righeFile << riga;
    }
    open(ordine);
    if (change == QLatin1String("grow")) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::Append));
        file.write("more");
    }
    if (change == QLatin1String("new"))
        addFiles({path});
    QTRY_VERIFY(filesModel()->rowCount() >= 1);
    m_composer->formToOrdine();
    const OrdiniLocal::OrdineLocal &result = m_composer->getOrdine();
    QCOMPARE(result.righeFile.size(), change == QLatin1String("twice") ? 2 : 1);
    for (const OrdiniLocal::OrdineRigaFileLocal &row : result.righeFile) {
        QCOMPARE(row.WsFileId, wsFileId);
        QCOMPARE(row.Inviata, inviata);
        QCOMPARE(row.FileSize, QFileInfo(path).size());
        QCOMPARE(row.Codice, QStringLiteral("artfile"));
        QCOMPARE(row.TipoRiga, 1);
    }
    QCOMPARE(result.Priorita, -1);
    QVERIFY(!result.Inviato);
    QVERIFY(result.Attivo);
}

// ---------------------------------------------------------------------------------------------

void TestFileComposer::missingFilesAlertAndAvanti()
{
    OrdiniLocal::OrdineLocal ordine = prepare(Kind::Saved, 2);
    QVERIFY(QFile::remove(ordine.righeFile.first().FilePath));
    m_answerer->answer(QStringLiteral("Continua"));
    open(ordine);
    QVERIFY(m_answerer->waitForCount(1));
    ModalAnswerer::Box alert = m_answerer->last();
    QCOMPARE(alert.title, QStringLiteral("File non trovati"));
    QCOMPARE(alert.buttons, QStringList({"Continua", "Rimuovi file non trovati", "Chiudi"}));
    QCOMPARE(alert.defaultButton, QStringLiteral("Continua"));
    QTRY_VERIFY(child<QToolButton>(m_composer.get(), "toolButtonRemoveInvalid")->isVisible());

    m_answerer->answer(QMessageBox::Ok);
    QMetaObject::invokeMethod(m_composer.get(), "on_toolButtonAvanti_clicked");
    QCOMPARE(m_answerer->last().title, QStringLiteral("Impossibile continuare"));
    QCOMPARE(child<QStackedWidget>(m_composer.get(), "pages")->currentIndex(), 0);

    // "Rimuovi file non trovati" asks first; No keeps the row.
    m_answerer->answer(QMessageBox::No);
    QMetaObject::invokeMethod(m_composer.get(), "on_toolButtonRemoveInvalid_clicked");
    QCOMPARE(filesModel()->rowCount(), 2);
    m_answerer->answer(QMessageBox::Yes);
    QMetaObject::invokeMethod(m_composer.get(), "on_toolButtonRemoveInvalid_clicked");
    QCOMPARE(filesModel()->rowCount(), 1);
    QTRY_VERIFY(!child<QToolButton>(m_composer.get(), "toolButtonRemoveInvalid")->isVisible());
    QMetaObject::invokeMethod(m_composer.get(), "on_toolButtonAvanti_clicked");
    QCOMPARE(child<QStackedWidget>(m_composer.get(), "pages")->currentIndex(), 1);

    // An order without missing files opens without the alert; "Chiudi" of the alert closes at once.
    m_composer.reset();
    OrdiniLocal::OrdineLocal other = prepare(Kind::Saved, 1);
    QVERIFY(QFile::remove(other.righeFile.first().FilePath));
    m_answerer->answer(QStringLiteral("Chiudi"));
    open(other);
    QVERIFY(waitClosed());
    QCOMPARE(m_answerer->count(), 5);
}

void TestFileComposer::cancelledFileDialogChangesNothing()
{
    OrdiniLocal::OrdineLocal ordine = prepare(Kind::Saved, 1);
    const QString missing = ordine.righeFile.first().FilePath;
    QVERIFY(QFile::remove(missing));
    m_answerer->answer(QStringLiteral("Continua"));
    open(ordine);
    QVERIFY(m_answerer->waitForCount(1));
    QString startFolder;
    m_answerer->answerWith([&startFolder](QWidget *box) {
        auto *dialog = qobject_cast<QFileDialog *>(box);
        if (dialog) {
            startFolder = dialog->directory().absolutePath();
            dialog->reject();
        }
    });
    auto *list = child<QListView>(m_composer.get(), "listViewSelectedFiles");
    QMetaObject::invokeMethod(m_composer.get(), "on_listViewSelectedFiles_doubleClicked",
                              Q_ARG(QModelIndex, filesModel()->index(0, 0)));
    QCOMPARE(m_answerer->count(), 2);
    QCOMPARE(startFolder, QFileInfo(missing).absolutePath());
    QCOMPARE(filesModel()->invalidFilesList().size(), 1);
    QCOMPARE(filesModel()->fileList().first().absoluteFilePath(), missing);
    Q_UNUSED(list)
}

void TestFileComposer::automaticReplacement_data()
{
    QTest::addColumn<int>("answer");
    QTest::addColumn<QStringList>("stillMissing");
    QTest::newRow("yes") << int(QMessageBox::Yes) << QStringList({"c.txt", "altrove.txt"});
    QTest::newRow("no") << int(QMessageBox::No) << QStringList({"b.txt", "c.txt", "d.txt", "altrove.txt"});
}

void TestFileComposer::automaticReplacement()
{
    QFETCH(int, answer);
    QFETCH(QStringList, stillMissing);

    const QString oldFolder = folder(QStringLiteral("vecchia"));
    const QString otherFolder = folder(QStringLiteral("altra"));
    const QString newFolder = folder(QStringLiteral("nuova cartella"));
    OrdiniLocal::OrdineLocal ordine = EngineFixture::order();
    for (const char *name : {"a.txt", "b.txt", "c.txt", "d.txt"})
        ordine.righeFile << EngineFixture::fileRow(oldFolder + QLatin1Char('/') + QLatin1String(name));
    ordine.righeFile << EngineFixture::fileRow(otherFolder + QStringLiteral("/altrove.txt"));
    for (const char *name : {"a.txt", "b.txt", "d.txt", "altrove.txt"}) {
        QFile file(newFolder + QLatin1Char('/') + QLatin1String(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(name);
    }
    QVERIFY(m_fixture->save(ordine));

    m_answerer->answer(QStringLiteral("Continua"));
    open(ordine);
    QVERIFY(m_answerer->waitForCount(1));
    m_answerer->answer(QMessageBox::StandardButton(answer));
    QVERIFY(m_composer->changeFile(filesModel()->index(0, 0), newFolder + QStringLiteral("/a.txt"), true));
    QCOMPARE(m_answerer->count(), 2);
    QCOMPARE(m_answerer->last().title, QStringLiteral("Sostituzione automatica"));
    QCOMPARE(m_answerer->last().defaultButton, QStringLiteral("&Yes").remove(QLatin1Char('&')));
    QCOMPARE(names(filesModel()->invalidFilesList()), stillMissing);
    QCOMPARE(filesModel()->fileList().first().absoluteFilePath(), newFolder + QStringLiteral("/a.txt"));
    QCOMPARE(filesModel()->fileList().last().absolutePath(), otherFolder);
}

void TestFileComposer::replacementAlreadyListed()
{
    const QString kept = m_fixture->bytesFile(QStringLiteral("archivio.tar.gz"), 100);
    const QString gone = m_fixture->bytesFile(QStringLiteral("perso.txt"), 100);
    OrdiniLocal::OrdineLocal ordine = EngineFixture::order();
    ordine.righeFile << EngineFixture::fileRow(kept) << EngineFixture::fileRow(gone);
    QVERIFY(m_fixture->save(ordine));
    QVERIFY(QFile::remove(gone));
    m_answerer->answer(QStringLiteral("Continua"));
    open(ordine);
    QVERIFY(m_answerer->waitForCount(1));
    m_answerer->answer(QMessageBox::Ok);
    QVERIFY(!m_composer->changeFile(filesModel()->index(1, 0), kept, true));
    QCOMPARE(m_answerer->last().title, QStringLiteral("File esistente"));
    QCOMPARE(m_answerer->last().text,
             QStringLiteral("Il file <b>'archivio'</b> è già presente nella lista di file da inviare, selezionane uno diverso"));
    QCOMPARE(names(filesModel()->invalidFilesList()), QStringList({"perso.txt"}));
    // A present row is not replaced at all.
    QVERIFY(!m_composer->changeFile(filesModel()->index(0, 0), gone, true));
}

void TestFileComposer::refusedReplacementAsksNothing()
{
    const QString oldFolder = folder(QStringLiteral("prima"));
    const QString newFolder = folder(QStringLiteral("dopo"));
    OrdiniLocal::OrdineLocal ordine = EngineFixture::order();
    ordine.righeFile << EngineFixture::fileRow(oldFolder + QStringLiteral("/x.txt"))
                     << EngineFixture::fileRow(oldFolder + QStringLiteral("/y.txt"));
    QVERIFY(QDir().mkpath(newFolder + QStringLiteral("/x.txt")));
    QFile y(newFolder + QStringLiteral("/y.txt"));
    QVERIFY(y.open(QIODevice::WriteOnly));
    y.close();
    QVERIFY(m_fixture->save(ordine));
    m_answerer->answer(QStringLiteral("Continua"));
    open(ordine);
    QVERIFY(m_answerer->waitForCount(1));
    // The replacement names a folder: the row stays missing, and nothing further is asked.
    QVERIFY(!m_composer->changeFile(filesModel()->index(0, 0), newFolder + QStringLiteral("/x.txt"), true));
    QCOMPARE(m_answerer->count(), 1);
    QCOMPARE(filesModel()->invalidFilesList().size(), 2);
}

void TestFileComposer::removingTheLastFileDisablesCommands()
{
    open(prepare(Kind::New));
    addFiles({m_fixture->bytesFile(QStringLiteral("solo.txt"), 2048)});
    auto *avanti = child<QToolButton>(m_composer.get(), "toolButtonAvanti");
    QTRY_VERIFY(avanti->isEnabled());
    QCOMPARE(child<QLabel>(m_composer.get(), "labelSelectedFiles")->text(), QStringLiteral("File da inviare (1)"));
    QCOMPARE(child<QLabel>(m_composer.get(), "labelDimTotale")->text(), QStringLiteral("Dimensione totale: 2 KB"));

    auto *list = child<QListView>(m_composer.get(), "listViewSelectedFiles");
    list->selectAll();
    QVERIFY(child<QToolButton>(m_composer.get(), "toolButtonRemove")->isEnabled());
    m_answerer->answer(QMessageBox::Yes);
    // The Delete key asks the same question as the button.
    QTest::keyClick(list, Qt::Key_Delete);
    QCOMPARE(m_answerer->last().title, QStringLiteral("Elimina File"));
    QCOMPARE(filesModel()->rowCount(), 0);
    QTRY_VERIFY(!avanti->isEnabled());
    QVERIFY(!child<QToolButton>(m_composer.get(), "toolButtonRemoveAll")->isEnabled());
    QVERIFY(!child<QToolButton>(m_composer.get(), "toolButtonSelectedFilesSelectAll")->isEnabled());
    QVERIFY(!child<QToolButton>(m_composer.get(), "toolButtonRemove")->isEnabled());
    QCOMPARE(child<QLabel>(m_composer.get(), "labelSelectedFiles")->text(), QStringLiteral("File da inviare (0)"));
}

// The list has read the file (added from the browser, counted, painted) when it goes from the
// disk: every part of the composer then treats it as missing, as its row shows it.
void TestFileComposer::fileDeletedWhileOpenIsMissing()
{
    const QString dir = folder(QStringLiteral("sparisce"));
    const QString a = m_fixture->bytesFile(QStringLiteral("sparisce/a.txt"), 1000);
    const QString b = m_fixture->bytesFile(QStringLiteral("sparisce/b.txt"), 3000);
    open(prepare(Kind::New));
    QVERIFY(showFolder(dir));
    child<QToolButton>(m_composer.get(), "toolButtonAddAll")->click();
    auto *count = child<QLabel>(m_composer.get(), "labelSelectedFiles");
    auto *size = child<QLabel>(m_composer.get(), "labelDimTotale");
    QTRY_COMPARE(count->text(), QStringLiteral("File da inviare (2)"));
    QCOMPARE(size->text(), QStringLiteral("Dimensione totale: 3.91 KB"));
    QVERIFY(filesModel()->invalidFilesList().isEmpty());
    auto *list = child<QListView>(m_composer.get(), "listViewSelectedFiles");
    QTest::qWait(50);
    list->grab();

    QVERIFY(QFile::remove(b));
    QModelIndex row;
    const QList<QFileInfo> listed = filesModel()->fileList();
    for (int i = 0; i < listed.size(); ++i) {
        if (listed.at(i).fileName() == QLatin1String("b.txt"))
            row = filesModel()->index(i, 0);
    }
    QVERIFY(row.isValid());
    QCOMPARE(names(filesModel()->invalidFilesList()), QStringList{"b.txt"});
    quint64 total = 0;
    int invalid = 0;
    filesModel()->status(&total, &invalid);
    QCOMPARE(total, quint64(1000));
    QCOMPARE(invalid, 1);
    QCOMPARE(filesModel()->data(filesModel()->index(row.row(), 2)).toString(), QStringLiteral("0 byte"));

    // Picking the broken row brings the commands for missing files.
    list->selectionModel()->select(row, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    auto *removeInvalid = child<QToolButton>(m_composer.get(), "toolButtonRemoveInvalid");
    auto *replace = child<QToolButton>(m_composer.get(), "toolButtonSelectedFilesChange");
    QTRY_VERIFY(removeInvalid->isVisible());
    QVERIFY(replace->isVisible());
    QVERIFY(replace->isEnabled());
    QCOMPARE(size->text(), QStringLiteral("Dimensione totale: 1000 byte"));
    m_composer->resize(1100, 720);
    QTest::qWait(100);
    saveShot(m_composer.get(), QStringLiteral("filecomposer-deleted-file"));

    // A double click offers a replacement.
    m_answerer->answerWith([](QWidget *box) {
        if (auto *dialog = qobject_cast<QFileDialog *>(box))
            dialog->reject();
    });
    QMetaObject::invokeMethod(m_composer.get(), "on_listViewSelectedFiles_doubleClicked", Q_ARG(QModelIndex, row));
    QCOMPARE(m_answerer->count(), 1);
    QCOMPARE(m_answerer->last().className, QStringLiteral("QFileDialog"));

    // "Avanti" does not go on to the summary.
    m_answerer->answer(QMessageBox::Ok);
    QMetaObject::invokeMethod(m_composer.get(), "on_toolButtonAvanti_clicked");
    QCOMPARE(m_answerer->count(), 2);
    QCOMPARE(m_answerer->last().title, QStringLiteral("Impossibile continuare"));
    QCOMPARE(child<QStackedWidget>(m_composer.get(), "pages")->currentIndex(), 0);

    // Once the missing file is removed the order holds the file that is there, at its size.
    m_answerer->answer(QMessageBox::Yes);
    removeInvalid->click();
    QCOMPARE(names(filesModel()->fileList()), QStringList{"a.txt"});
    QMetaObject::invokeMethod(m_composer.get(), "on_toolButtonAvanti_clicked");
    QCOMPARE(child<QStackedWidget>(m_composer.get(), "pages")->currentIndex(), 1);
    QCOMPARE(m_composer->getOrdine().righeFile.size(), 1);
    QCOMPARE(m_composer->getOrdine().righeFile.first().FilePath, a);
    QCOMPARE(m_composer->getOrdine().righeFile.first().FileSize, qint64(1000));
}

void TestFileComposer::selectedRowsGoInRuns_data()
{
    QTest::addColumn<QString>("view");
    QTest::addColumn<QString>("how");
    QTest::addColumn<QList<int>>("selected");
    QTest::addColumn<QList<int>>("left");
    QTest::addColumn<int>("removals");
    QTest::newRow("icons, button, three runs") << "icons" << "button" << QList<int>{1, 2, 4, 6, 7, 8}
                                               << QList<int>{0, 3, 5, 9} << 3;
    QTest::newRow("details, Delete key, both ends") << "details" << "delete" << QList<int>{9, 0}
                                                    << QList<int>{1, 2, 3, 4, 5, 6, 7, 8} << 2;
    QTest::newRow("icons, drag onto the browser, all") << "icons" << "drag" << QList<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9}
                                                       << QList<int>{} << 1;
    QTest::newRow("details, button, one") << "details" << "button" << QList<int>{5} << QList<int>{0, 1, 2, 3, 4, 6, 7, 8, 9}
                                          << 1;
}

// The selected rows leave the list one run of neighbours at a time, not one by one.
void TestFileComposer::selectedRowsGoInRuns()
{
    QFETCH(QString, view);
    QFETCH(QString, how);
    QFETCH(QList<int>, selected);
    QFETCH(QList<int>, left);
    QFETCH(int, removals);
    open(prepare(Kind::New));
    folder(QStringLiteral("serie"));
    QStringList paths;
    for (int i = 0; i < 10; ++i)
        paths << m_fixture->bytesFile(QStringLiteral("serie/f%1.txt").arg(i), 10 + i);
    addFiles(paths);
    QTRY_COMPARE(filesModel()->rowCount(), 10);
    if (view == QLatin1String("details"))
        QMetaObject::invokeMethod(m_composer.get(), "selectedFilesSetListModeLayout");
    auto *shown = view == QLatin1String("details")
                      ? static_cast<QAbstractItemView *>(child<QTableView>(m_composer.get(), "tableViewSelectedFiles"))
                      : static_cast<QAbstractItemView *>(child<QListView>(m_composer.get(), "listViewSelectedFiles"));
    QVERIFY(shown->isVisible());
    for (int row : selected)
        shown->selectionModel()->select(filesModel()->index(row, 0),
                                        QItemSelectionModel::Select | QItemSelectionModel::Rows);
    QSignalSpy removed(filesModel(), &QAbstractItemModel::rowsRemoved);
    if (how == QLatin1String("button")) {
        m_answerer->answer(QMessageBox::Yes);
        child<QToolButton>(m_composer.get(), "toolButtonRemove")->click();
    } else if (how == QLatin1String("delete")) {
        m_answerer->answer(QMessageBox::Yes);
        QTest::keyClick(shown, Qt::Key_Delete);
    } else {
        QMetaObject::invokeMethod(m_composer.get(), "dropFromSelectedFiles");
    }
    QCOMPARE(m_answerer->count(), how == QLatin1String("drag") ? 0 : 1);
    QStringList expected;
    for (int i : left)
        expected << QStringLiteral("f%1.txt").arg(i);
    QCOMPARE(names(filesModel()->fileList()), expected);
    QCOMPARE(removed.count(), removals);
    QTRY_COMPARE(child<QLabel>(m_composer.get(), "labelSelectedFiles")->text(),
                 QStringLiteral("File da inviare (%1)").arg(left.size()));
}

// ---------------------------------------------------------------------------------------------

void TestFileComposer::browserFilter_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QStringList>("shown");
    const QStringList all({"ABC_maiuscolo.txt", "abc.txt", "abcd", "altro.txt", "xabcx.dat", "zzabc"});
    const QStringList abc({"ABC_maiuscolo.txt", "abc.txt", "abcd", "xabcx.dat", "zzabc"});
    QTest::newRow("abc") << "abc" << abc;
    QTest::newRow("*abc") << "*abc" << abc;
    QTest::newRow("abc*") << "abc*" << abc;
    QTest::newRow("*") << "*" << all;
    QTest::newRow("empty") << "" << all;
    QTest::newRow("the hint") << "Filtra file ..." << all;
    QTest::newRow("*.txt") << "*.txt" << QStringList({"ABC_maiuscolo.txt", "abc.txt", "altro.txt"});
}

void TestFileComposer::browserFilter()
{
    QFETCH(QString, typed);
    QFETCH(QStringList, shown);
    const QString path = folder(QStringLiteral("filtro"));
    for (const char *name : {"ABC_maiuscolo.txt", "abc.txt", "abcd", "altro.txt", "xabcx.dat", "zzabc"}) {
        QFile file(path + QLatin1Char('/') + QLatin1String(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    QVERIFY(QDir().mkpath(path + QStringLiteral("/sottocartella abc")));
    open(prepare(Kind::New));
    QVERIFY(showFolder(path));
    auto *filtra = child<QLineEdit>(m_composer.get(), "lineEditFiltra");
    QCOMPARE(filtra->text(), QStringLiteral("Filtra file ..."));
    QVERIFY(filtra->font().italic());
    QCOMPARE(filtra->palette().color(QPalette::Text), QColor(125, 145, 145));
    filtra->setFocus(Qt::MouseFocusReason);
    QTRY_COMPARE(filtra->text(), QString());
    QVERIFY(!filtra->font().italic());
    filtra->setText(typed);
    QTRY_COMPARE(browserNames(), shown);
}

void TestFileComposer::addAllTwiceAddsEachOnce()
{
    const QString path = folder(QStringLiteral("tutti"));
    qint64 total = 0;
    for (int i = 0; i < 5; ++i)
        total += QFileInfo(m_fixture->bytesFile(QStringLiteral("tutti/f%1.bin").arg(i), 1000 * (i + 1))).size();
    QVERIFY(QDir().mkpath(path + QStringLiteral("/dentro")));
    open(prepare(Kind::New));
    QVERIFY(showFolder(path));
    QMetaObject::invokeMethod(m_composer.get(), "on_toolButtonAddAll_clicked");
    QMetaObject::invokeMethod(m_composer.get(), "on_actionFileSelectionAppendAll_triggered");
    QCOMPARE(filesModel()->rowCount(), 5);
    QCOMPARE(filesModel()->totalFilesSize(), quint64(total));
    QTRY_COMPARE(child<QLabel>(m_composer.get(), "labelSelectedFiles")->text(), QStringLiteral("File da inviare (5)"));
    // The browser's selection was cleared: "Aggiungi selezionati" has nothing to add.
    QVERIFY(!child<QToolButton>(m_composer.get(), "toolButtonAddSelected")->isEnabled());

    // The details view adds the same, once per file although it selects every column.
    m_answerer->answer(QMessageBox::Yes);
    QMetaObject::invokeMethod(m_composer.get(), "on_toolButtonRemoveAll_clicked");
    QCOMPARE(filesModel()->rowCount(), 0);
    QMetaObject::invokeMethod(m_composer.get(), "fileSelectionSwitchLayout");
    QVERIFY(child<QTableView>(m_composer.get(), "tableViewFileSelection")->isVisible());
    QMetaObject::invokeMethod(m_composer.get(), "on_toolButtonAddAll_clicked");
    QCOMPARE(filesModel()->rowCount(), 5);
}

void TestFileComposer::folderChangeDropsTheFilter()
{
    const QString first = folder(QStringLiteral("uno"));
    const QString second = folder(QStringLiteral("due"));
    for (const QString &f : {first + "/a.txt", first + "/b.dat", second + "/c.txt", second + "/d.dat"}) {
        QFile file(f);
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    open(prepare(Kind::New));
    QVERIFY(showFolder(first));
    auto *filtra = child<QLineEdit>(m_composer.get(), "lineEditFiltra");
    filtra->setFocus(Qt::MouseFocusReason);
    filtra->setText(QStringLiteral("txt"));
    QTRY_COMPARE(browserNames(), QStringList({"a.txt"}));
    QVERIFY(showFolder(second));
    QCOMPARE(browserNames(), QStringList({"c.txt", "d.dat"}));
    QCOMPARE(filtra->text(), QStringLiteral("Filtra file ..."));
    QVERIFY(filtra->font().italic());

    // A path that is not a folder is reported and changes nothing.
    m_answerer->answer(QMessageBox::Ok);
    child<QLineEdit>(m_composer.get(), "lineEditCurrentPath")->setText(second + QStringLiteral("/c.txt"));
    QMetaObject::invokeMethod(m_composer.get(), "on_lineEditCurrentPath_returnPressed");
    QCOMPARE(m_answerer->last().title, QStringLiteral("Esplora risorse"));
    QCOMPARE(m_answerer->last().text, QStringLiteral("Impossibile trovare '%1', verificare che il percorso sia corretto e riprovare.")
                                          .arg(second + QStringLiteral("/c.txt")));
    QCOMPARE(browserNames(), QStringList({"c.txt", "d.dat"}));
}

// ---------------------------------------------------------------------------------------------

void TestFileComposer::dropsOnTheLists()
{
    const QString listed = m_fixture->bytesFile(QStringLiteral("Già Listato.txt"), 10);
    const QString one = m_fixture->bytesFile(QStringLiteral("primo file.txt"), 10);
    const QString two = m_fixture->bytesFile(QStringLiteral("secondo.txt"), 10);
    OrdiniLocal::OrdineLocal ordine = EngineFixture::order();
    ordine.righeFile << EngineFixture::fileRow(listed);
    open(ordine);
    QTRY_COMPARE(filesModel()->rowCount(), 1);

    // From the file manager: a folder, two files and a listed file in other letter case.
    auto *list = child<QListView>(m_composer.get(), "listViewSelectedFiles");
    QMimeData urls;
    urls.setUrls({QUrl::fromLocalFile(m_fixture->filesFolder()), QUrl::fromLocalFile(two), QUrl::fromLocalFile(one),
                  QUrl::fromLocalFile(QFileInfo(listed).absolutePath() + QStringLiteral("/già listato.TXT"))});
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &urls, Qt::LeftButton, Qt::NoModifier);
    drop.ignore();
    deliverToView(list, &drop);
    QVERIFY(drop.isAccepted());
    QCOMPARE(names(filesModel()->fileList()), QStringList({"Già Listato.txt", "secondo.txt", "primo file.txt"}));

    // Rows dragged back onto the browser are removed without a question.
    list->selectionModel()->select(filesModel()->index(1, 0), QItemSelectionModel::ClearAndSelect);
    QMimeData remove;
    remove.setProperty("Operation", QStringLiteral("REMOVE_FILES"));
    QDropEvent back(QPointF(10, 10), Qt::MoveAction, &remove, Qt::LeftButton, Qt::NoModifier);
    back.ignore();
    deliverToView(child<QListView>(m_composer.get(), "listViewFileSelection"), &back);
    QVERIFY(back.isAccepted());
    QCOMPARE(names(filesModel()->fileList()), QStringList({"Già Listato.txt", "primo file.txt"}));
    QCOMPARE(m_answerer->count(), 0);

    // A drag of the stand-alone table is taken by no view.
    QMimeData other;
    other.setProperty("Operation", QStringLiteral("DROP_DATA"));
    for (const char *name : {"listViewSelectedFiles", "tableViewSelectedFiles", "listViewFileSelection", "tableViewFileSelection"}) {
        QDropEvent refused(QPointF(10, 10), Qt::MoveAction, &other, Qt::LeftButton, Qt::NoModifier);
        refused.ignore();
        deliverToView(child<QAbstractItemView>(m_composer.get(), name), &refused);
        QVERIFY2(!refused.isAccepted(), name);
    }
    QCOMPARE(filesModel()->rowCount(), 2);
}

// ---------------------------------------------------------------------------------------------

void TestFileComposer::simpleDialog_data()
{
    QTest::addColumn<QString>("situation");
    QTest::newRow("saved and queued") << "ok";
    QTest::newRow("failed save") << "full";
    QTest::newRow("listed file deleted") << "deleted";
    QTest::newRow("no rows") << "empty";
}

void TestFileComposer::simpleDialog()
{
    QFETCH(QString, situation);
    ArticoloInvioFileComposerTest dialog;
    dialog.show();
    auto *list = child<QListWidget>(&dialog, "listWidget");
    const QString a = m_fixture->bytesFile(QStringLiteral("semplice uno.bin"), 100);
    const QString b = m_fixture->bytesFile(QStringLiteral("semplice due.bin"), 200);
    if (situation != QLatin1String("empty"))
        list->addItems({a, b});
    if (situation == QLatin1String("ok"))
        saveShot(&dialog, QStringLiteral("simplefiledialog"));
    if (situation == QLatin1String("deleted"))
        QVERIFY(QFile::remove(b));

    // The worker's first call is held by the laboratory, so that the queue can be read before
    // the order is sent; let go at the end.
    QVERIFY(m_fixture->lab().holdAnswer(QStringLiteral("ottieniImpostazioniServerFTP")));
    const auto release = qScopeGuard([this] { m_fixture->lab().resetKnobs(); });
    std::unique_ptr<FileSizeLimit> limit;
    if (situation == QLatin1String("deleted"))
        m_answerer->answer(QMessageBox::Ok);
    if (situation == QLatin1String("empty")) {
        m_answerer->answer(QMessageBox::Ok);
    } else {
        m_answerer->answer(QMessageBox::Yes);
        if (situation == QLatin1String("full")) {
            m_answerer->answerWith([&limit](QWidget *box) {
                limit.reset();
                qobject_cast<QMessageBox *>(box)->button(QMessageBox::Ok)->click();
            });
            limit = std::make_unique<FileSizeLimit>(64);
            QVERIFY(limit->ok());
        }
    }
    QMetaObject::invokeMethod(&dialog, "on_sendOrder_clicked");
    limit.reset();

    const QStringList files = m_fixture->orderFiles();
    if (situation == QLatin1String("ok") || situation == QLatin1String("deleted")) {
        QVERIFY(!dialog.isVisible());
        QCOMPARE(files.size(), 1);
        OrdiniLocal::OrdineLocal onDisk;
        QVERIFY(m_fixture->load(QFileInfo(files.first()).completeBaseName(), onDisk));
        QCOMPARE(onDisk.righeFile.size(), situation == QLatin1String("ok") ? 2 : 1);
        QCOMPARE(onDisk.righeFile.first().FilePath, a);
        QCOMPARE(onDisk.righeFile.first().Descrizione, QStringLiteral("Invio File"));
        QVERIFY(onDisk.Attivo);
        QCOMPARE(KorvexGlobals::ordineUpload->queueSize(), 1);
        if (situation == QLatin1String("deleted")) {
            QCOMPARE(m_answerer->boxes().first().icon, QMessageBox::Warning);
            QVERIFY(m_answerer->boxes().first().text.contains(b));
        }
    } else {
        QVERIFY(dialog.isVisible());
        QCOMPARE(files, QStringList());
        QCOMPARE(KorvexGlobals::ordineUpload->queueSize(), 0);
        QCOMPARE(m_answerer->last().icon, QMessageBox::Warning);
        if (situation == QLatin1String("full"))
            QVERIFY2(m_answerer->last().text.contains(QStringLiteral("Impossibile scrivere il file")),
                     qPrintable(m_answerer->last().text));
    }
}

// ---------------------------------------------------------------------------------------------

void TestFileComposer::composedOrderIsSent()
{
    const QString path = folder(QStringLiteral("da inviare"));
    QStringList created;
    created << m_fixture->bytesFile(QStringLiteral("da inviare/foto della festa.jpg"), 150000, 7)
            << m_fixture->bytesFile(QStringLiteral("da inviare/perché così.txt"), 4000, 8);
    {
        QFile empty(path + QStringLiteral("/vuoto.dat"));
        QVERIFY(empty.open(QIODevice::WriteOnly));
        created << QFileInfo(empty).absoluteFilePath();
    }
    // An order saved earlier whose file has moved since.
    const QString moved = m_fixture->bytesFile(QStringLiteral("spostato è.bin"), 2500, 9);
    OrdiniLocal::OrdineLocal ordine = EngineFixture::order();
    ordine.righeFile << EngineFixture::fileRow(folder(QStringLiteral("prima")) + QStringLiteral("/spostato è.bin"));
    QVERIFY(m_fixture->save(ordine));

    m_answerer->answer(QStringLiteral("Continua"));
    open(ordine);
    QVERIFY(m_answerer->waitForCount(1));
    QVERIFY(showFolder(path));
    QTest::qWait(200);
    saveShot(m_composer.get(), QStringLiteral("filecomposer-missing"));
    QVERIFY(m_composer->changeFile(filesModel()->index(0, 0), moved, true));
    QMetaObject::invokeMethod(m_composer.get(), "on_toolButtonAddAll_clicked");
    QCOMPARE(filesModel()->rowCount(), 4);
    QTest::qWait(200);
    saveShot(m_composer.get(), QStringLiteral("filecomposer-files"));
    QMetaObject::invokeMethod(m_composer.get(), "fileSelectionSwitchLayout");
    QMetaObject::invokeMethod(m_composer.get(), "selectedFilesSwitchLayout");
    QTest::qWait(200);
    saveShot(m_composer.get(), QStringLiteral("filecomposer-details"));
    QMetaObject::invokeMethod(m_composer.get(), "on_toolButtonAvanti_clicked");
    QCOMPARE(child<QStackedWidget>(m_composer.get(), "pages")->currentIndex(), 1);
    QTest::qWait(200);
    saveShot(m_composer.get(), QStringLiteral("filecomposer-summary"));

    QSignalSpy finished(KorvexGlobals::ordineUpload, &OrdineUpload::finishedProcessingQueue);
    QMetaObject::invokeMethod(m_composer.get(), "on_toolButtonUpload_clicked");
    QVERIFY(waitClosed());
    QVERIFY(finished.wait(60000));
    QTRY_VERIFY_WITH_TIMEOUT(!m_fixture->orderFileExists(ordine.Uuid), 60000);

    const EngineFixture::LabState lab = m_fixture->labState();
    QCOMPARE(lab.orders.size(), 1);
    QCOMPARE(lab.orders.first().rows.size(), 4);
    QCOMPARE(lab.orders.first().clienteFinale, ordine.ClienteFinale);
    QCOMPARE(lab.files.size(), 4);
    QStringList expected = created;
    expected << moved;
    for (const QString &local : expected) {
        int found = 0;
        for (const EngineFixture::LabFile &file : lab.files) {
            if (file.nomeFile != QFileInfo(local).fileName())
                continue;
            ++found;
            QCOMPARE(file.dimensione, QFileInfo(local).size());
            QCOMPARE(fileBytes(m_fixture->ftpLocalPath(file.id)), fileBytes(local));
        }
        QVERIFY2(found == 1, qPrintable(local));
    }
    QCOMPARE(m_fixture->checkNoDuplicateOrOrphan(), QString());
}

QTEST_MAIN(TestFileComposer)
#include "tst_filecomposer.moc"
