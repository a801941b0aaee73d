// The order manager window against the laboratory simulator: saved orders read from real order
// files (ownership, date and keyword filters, send, edit, removal), the real upload queue, and
// the sent orders searched on the simulator's orders service, with their details.

#include <QtTest>

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDateEdit>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QJsonArray>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSortFilterProxyModel>
#include <QStackedWidget>
#include <QTableView>
#include <QToolButton>

#include <memory>

#include "editedorderwriter.h"
#include "enginefixture.h"
#include "filesizelimit.h"
#include "gestioneordini.h"
#include "ordineuploaddialog.h"
#include "korvexglobals.h"
#include "labsimulator.h"
#include "modalanswerer.h"
#include "ordinilocal.h"
#include "ordineupload.h"
#include "ordineuploaditemwidget.h"
#include "utente.h"

namespace {

// A widget of the order manager's own pages (the embedded queue window has names of its own
// that are the same).
template <class T> T *child(QWidget *window, const char *name)
{
    for (T *widget : window->findChildren<T *>(QString::fromLatin1(name))) {
        bool queueWindow = false;
        for (QObject *o = widget->parent(); o && o != window; o = o->parent())
            queueWindow = queueWindow || o->inherits("OrdineUploadDialog") || o->inherits("OrdineUploadItemWidget");
        if (!queueWindow)
            return widget;
    }
    qFatal("no widget %s", name);
    return nullptr;
}

// A picture of the window, for the look at it, when KORVEX_SCREENSHOT_DIR names a folder.
void screenshot(QWidget *window, const QString &name)
{
    const QString folder = qEnvironmentVariable("KORVEX_SCREENSHOT_DIR");
    if (folder.isEmpty())
        return;
    QDir().mkpath(folder);
    window->grab().save(folder + QLatin1Char('/') + name + QStringLiteral(".png"));
}

QStringList cardNames(GestioneOrdini *window)
{
    auto *list = child<QListWidget>(window, "listWidgetOrdiniUpload");
    QStringList names;
    for (int i = 0; i < list->count(); ++i) {
        if (auto *card = qobject_cast<OrdineUploadItemWidget *>(list->itemWidget(list->item(i))))
            names << card->Ordine().ClienteFinale;
    }
    names.sort();
    return names;
}

OrdineUploadItemWidget *cardOf(GestioneOrdini *window, const QString &clienteFinale)
{
    auto *list = child<QListWidget>(window, "listWidgetOrdiniUpload");
    for (int i = 0; i < list->count(); ++i) {
        auto *card = qobject_cast<OrdineUploadItemWidget *>(list->itemWidget(list->item(i)));
        if (card && card->Ordine().ClienteFinale == clienteFinale)
            return card;
    }
    return nullptr;
}

QListWidgetItem *itemOf(GestioneOrdini *window, const QString &clienteFinale)
{
    auto *list = child<QListWidget>(window, "listWidgetOrdiniUpload");
    for (int i = 0; i < list->count(); ++i) {
        auto *card = qobject_cast<OrdineUploadItemWidget *>(list->itemWidget(list->item(i)));
        if (card && card->Ordine().ClienteFinale == clienteFinale)
            return list->item(i);
    }
    return nullptr;
}

QStringList texts(const QJsonArray &values)
{
    QStringList list;
    for (const QJsonValue &v : values)
        list << QString::number(v.toInt());
    return list;
}

} // namespace

class TestGestioneOrdini : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();

    void savedOrdersOwnership_data();
    void savedOrdersOwnership();
    void withoutUserOnlySavedOrders();
    void emptyFolderAndCounts_data();
    void emptyFolderAndCounts();
    void dateFilter_data();
    void dateFilter();
    void keywordFilter_data();
    void keywordFilter();
    void damagedOrderFilesAreSkippedAndTold();
    void damagedOrderFilesToldOncePerPageLoad();

    void sendQueuesBehindAndArrives();
    void sendWhenTheWriteFails();
    void sendSelected();
    void editInComposer_data();
    void editInComposer();
    void editWithoutRows();
    void remove_data();
    void remove();
    void removeSelected();
    void removeFromDetailsWindow();
    void rightDoubleClickOnCardOpensNothing();

    void searchStates_data();
    void searchStates();
    void searchDatesAndEndCustomer();
    void searchFaultThenList();
    void searchRefusedPort();
    void pageSwitchEmptiesTheList();
    void detailsAfterSorting_data();
    void detailsAfterSorting();
    void detailsOfOtherButtonOrMissingOrder();

    void screenshots();

private:
    GestioneOrdini *open();
    // A saved order of one file row, written to the orders folder.
    QString saveOrder(int utente, bool attivo, const QString &clienteFinale, const QString &note = QString(),
                      const QDateTime &data = QDateTime::currentDateTime());
    bool loadOrder(const QString &uuid, OrdiniLocal::OrdineLocal &ordine) const;
    void loginAs(int id);
    QString seed(const QDate &date, int stato, const QString &clienteFinale, double totale = 10);
    void search(GestioneOrdini *window);
    QJsonObject lastSearch() const;
    // Order files that cannot be read, in the orders folder: name -> content.
    QMap<QString, QByteArray> writeDamagedFiles(const QStringList &kinds);

    std::unique_ptr<EngineFixture> fixture;
    std::unique_ptr<ModalAnswerer> answerer;
    GestioneOrdini *window = nullptr;
    int fileCounter = 0;
};

void TestGestioneOrdini::initTestCase()
{
    Q_INIT_RESOURCE(application);
    fixture = std::make_unique<EngineFixture>();
    QVERIFY2(fixture->isValid(), qPrintable(fixture->errorString()));
    QVERIFY2(fixture->startLab(), qPrintable(fixture->errorString()));
    KorvexGlobals::ordineUpload = new OrdineUpload;
}

void TestGestioneOrdini::cleanupTestCase()
{
    delete KorvexGlobals::ordineUpload;
    KorvexGlobals::ordineUpload = nullptr;
    fixture.reset();
}

void TestGestioneOrdini::init()
{
    KorvexGlobals::WsEndpoint = fixture->lab().baseUrl();
    QVERIFY(fixture->login());
    KorvexGlobals::statusMap.clear();
    QVERIFY(fixture->lab().resetKnobs());
    QVERIFY(fixture->lab().clearRequests());
    answerer = std::make_unique<ModalAnswerer>();
}

void TestGestioneOrdini::cleanup()
{
    delete window;
    window = nullptr;
    OrdineUpload *queue = KorvexGlobals::ordineUpload;
    queue->terminateUpload();
    QTRY_VERIFY_WITH_TIMEOUT(!queue->processingUploads(), 30000);
    queue->clearUploads();
    OrdineUploadDialog::setComposerOpener(1, nullptr);
    QDir(KorvexGlobals::ordersQueuePath()).removeRecursively();
    QCOMPARE(answerer->unexpected(), 0);
    answerer.reset();
    // The orders the laboratory holds go with each test.
    const EngineFixture::LabState state = fixture->labState();
    for (const EngineFixture::LabOrder &o : state.orders)
        fixture->lab().deleteOrder(o.id);
}

GestioneOrdini *TestGestioneOrdini::open()
{
    window = new GestioneOrdini;
    window->show();
    if (!QTest::qWaitForWindowExposed(window))
        qWarning("the order manager was not shown");
    return window;
}

QString TestGestioneOrdini::saveOrder(int utente, bool attivo, const QString &clienteFinale, const QString &note,
                                      const QDateTime &data)
{
    OrdiniLocal::OrdineLocal ordine = EngineFixture::order();
    ordine.Utente = utente;
    ordine.Attivo = attivo;
    ordine.ClienteFinale = clienteFinale;
    ordine.Note = note;
    ordine.Data = data;
    ++fileCounter;
    ordine.righeFile << EngineFixture::fileRow(
        fixture->bytesFile(QStringLiteral("file%1.bin").arg(fileCounter), 2000 + fileCounter));
    if (!fixture->save(ordine))
        return QString();
    return ordine.Uuid;
}

bool TestGestioneOrdini::loadOrder(const QString &uuid, OrdiniLocal::OrdineLocal &ordine) const
{
    return fixture->load(uuid, ordine);
}

void TestGestioneOrdini::loginAs(int id)
{
    if (id < 0) {
        fixture->logout();
        return;
    }
    QVERIFY(fixture->login());
    KorvexGlobals::utente->Setid(id);
}

QString TestGestioneOrdini::seed(const QDate &date, int stato, const QString &clienteFinale, double totale)
{
    return fixture->lab().seedOrder({{QStringLiteral("data"), date.toString(QStringLiteral("yyyy-MM-dd 12:00"))},
                                     {QStringLiteral("stato"), stato},
                                     {QStringLiteral("cliente_finale"), clienteFinale},
                                     {QStringLiteral("totale"), totale}});
}

void TestGestioneOrdini::search(GestioneOrdini *w)
{
    child<QListWidget>(w, "listWidget")->setCurrentRow(2);
    child<QPushButton>(w, "pushButtonCerca")->click();
}

QJsonObject TestGestioneOrdini::lastSearch() const
{
    const QJsonArray calls = fixture->lab().requests(QStringLiteral("listaOrdiniIntestazione"));
    return calls.isEmpty() ? QJsonObject() : calls.last().toObject();
}

// ---------------------------------------------------------------------------------------
// Saved orders

void TestGestioneOrdini::savedOrdersOwnership_data()
{
    QTest::addColumn<int>("logged"); // -1: nobody
    QTest::addColumn<int>("utente");
    QTest::addColumn<bool>("attivo");
    QTest::addColumn<bool>("listed");

    QTest::newRow("nobody, user 0, saved") << -1 << 0 << false << true;
    QTest::newRow("nobody, user 0, queued") << -1 << 0 << true << true;
    QTest::newRow("nobody, user 7, saved") << -1 << 7 << false << false;
    QTest::newRow("nobody, user 9, queued") << -1 << 9 << true << false;
    QTest::newRow("7, user 0, saved") << 7 << 0 << false << true;
    QTest::newRow("7, user 0, queued") << 7 << 0 << true << false;
    QTest::newRow("7, user 7, saved") << 7 << 7 << false << true;
    QTest::newRow("7, user 7, queued") << 7 << 7 << true << false;
    QTest::newRow("7, user 9, saved") << 7 << 9 << false << false;
    QTest::newRow("7, user 9, queued") << 7 << 9 << true << false;
}

void TestGestioneOrdini::savedOrdersOwnership()
{
    QFETCH(int, logged);
    QFETCH(int, utente);
    QFETCH(bool, attivo);
    QFETCH(bool, listed);

    loginAs(logged);
    QVERIFY(!saveOrder(utente, attivo, QStringLiteral("Ordine")).isEmpty());
    open();
    child<QListWidget>(window, "listWidget")->setCurrentRow(1);
    QCOMPARE(cardNames(window), listed ? QStringList{QStringLiteral("Ordine")} : QStringList());
    QCOMPARE(child<QLabel>(window, "labelEmptyQueue")->isVisible(), !listed);
}

void TestGestioneOrdini::withoutUserOnlySavedOrders()
{
    loginAs(-1);
    open();
    auto *pages = child<QListWidget>(window, "listWidget");
    QCOMPARE(pages->currentRow(), 1);
    QCOMPARE(child<QStackedWidget>(window, "stackedWidget")->currentIndex(), 1);
    QCOMPARE(pages->item(0)->flags(), Qt::NoItemFlags);
    QCOMPARE(pages->item(2)->flags(), Qt::NoItemFlags);
    QVERIFY(pages->item(1)->flags() & Qt::ItemIsEnabled);
    QTest::mouseClick(pages->viewport(), Qt::LeftButton, {}, pages->visualItemRect(pages->item(2)).center());
    QCOMPARE(pages->currentRow(), 1);
}

void TestGestioneOrdini::emptyFolderAndCounts_data()
{
    QTest::addColumn<int>("orders");
    QTest::addColumn<QString>("count"); // empty: the label is hidden

    QTest::newRow("none") << 0 << QString();
    QTest::newRow("one") << 1 << QStringLiteral("Trovato <b>1</b> ordine");
    QTest::newRow("three") << 3 << QStringLiteral("Trovati <b>3</b> ordini");
}

void TestGestioneOrdini::emptyFolderAndCounts()
{
    QFETCH(int, orders);
    QFETCH(QString, count);

    QDir(KorvexGlobals::ordersQueuePath()).removeRecursively();
    for (int i = 0; i < orders; ++i)
        QVERIFY(!saveOrder(1, false, QStringLiteral("Cliente %1").arg(i)).isEmpty());
    open();
    child<QListWidget>(window, "listWidget")->setCurrentRow(1);
    auto *label = child<QLabel>(window, "labelOrdiniSalvatiCount");
    QCOMPARE(cardNames(window).size(), orders);
    QCOMPARE(child<QFrame>(window, "frame")->isVisible(), orders > 0);
    QCOMPARE(child<QLabel>(window, "labelEmptyQueue")->isVisible(), orders == 0);
    QVERIFY(!child<QLabel>(window, "labelNoResults")->isVisible());
    QCOMPARE(label->isVisible(), !count.isEmpty());
    if (!count.isEmpty())
        QCOMPARE(label->text(), count);
}

void TestGestioneOrdini::dateFilter_data()
{
    QTest::addColumn<QDate>("da");
    QTest::addColumn<QDate>("a");
    QTest::addColumn<QDate>("data");
    QTest::addColumn<bool>("listed");

    const QDate start(2024, 3, 1), end(2024, 3, 31);
    QTest::newRow("on the start") << start << end << start << true;
    QTest::newRow("on the end") << start << end << end << true;
    QTest::newRow("between") << start << end << QDate(2024, 3, 15) << true;
    QTest::newRow("the day before") << start << end << start.addDays(-1) << false;
    QTest::newRow("the day after") << start << end << end.addDays(1) << false;
    QTest::newRow("start after end") << end << start << QDate(2024, 3, 15) << false;
    QTest::newRow("start after end, on the start") << end << start << end << false;
}

void TestGestioneOrdini::dateFilter()
{
    QFETCH(QDate, da);
    QFETCH(QDate, a);
    QFETCH(QDate, data);
    QFETCH(bool, listed);

    QVERIFY(!saveOrder(1, false, QStringLiteral("Datato"), QString(), QDateTime(data, QTime(23, 30))).isEmpty());
    open();
    child<QListWidget>(window, "listWidget")->setCurrentRow(1);
    // Each date change reloads the page.
    child<QDateEdit>(window, "dateEditOrdiniSalvatiDa")->setDate(QDate(2000, 1, 1));
    child<QDateEdit>(window, "dateEditOrdiniSalvatiA")->setDate(a);
    child<QDateEdit>(window, "dateEditOrdiniSalvatiDa")->setDate(da);
    QCOMPARE(cardNames(window), listed ? QStringList{QStringLiteral("Datato")} : QStringList());
    QCOMPARE(child<QLabel>(window, "labelNoResults")->isVisible(), !listed);
    QVERIFY(!child<QLabel>(window, "labelEmptyQueue")->isVisible());
}

void TestGestioneOrdini::keywordFilter_data()
{
    QTest::addColumn<QString>("keywords");
    QTest::addColumn<QStringList>("listed");

    const QString rossi = QStringLiteral("Mario Rossi"), bianchi = QStringLiteral("Bianchi Luca"),
                  verdi = QStringLiteral("Verdi"), studio = QStringLiteral("Studio c++");
    QTest::newRow("one word, any case") << "rossi" << QStringList{rossi};
    QTest::newRow("either word") << "Rossi bianchi" << QStringList{bianchi, rossi};
    QTest::newRow("a double space") << "rossi  bianchi" << QStringList{bianchi, rossi};
    QTest::newRow("spaces only") << "   " << QStringList{bianchi, rossi, studio, verdi};
    QTest::newRow("plus signs") << "c++" << QStringList{studio};
    QTest::newRow("an open bracket") << "(roma" << QStringList{verdi};
    QTest::newRow("a word only in the note") << "CENTRO" << QStringList{verdi};
    QTest::newRow("no match") << "gialli" << QStringList();
}

void TestGestioneOrdini::keywordFilter()
{
    QFETCH(QString, keywords);
    QFETCH(QStringList, listed);

    QVERIFY(!saveOrder(1, false, QStringLiteral("Mario Rossi")).isEmpty());
    QVERIFY(!saveOrder(1, false, QStringLiteral("Bianchi Luca"), QStringLiteral("ritiro in sede")).isEmpty());
    QVERIFY(!saveOrder(1, false, QStringLiteral("Verdi"), QStringLiteral("consegna a (Roma centro)")).isEmpty());
    QVERIFY(!saveOrder(1, false, QStringLiteral("Studio c++")).isEmpty());
    open();
    child<QListWidget>(window, "listWidget")->setCurrentRow(1);
    auto *edit = child<QLineEdit>(window, "lineEditOrdiniSalvatiSearchKeywords");
    edit->setText(keywords);
    QTest::keyClick(edit, Qt::Key_Return);
    QCOMPARE(cardNames(window), listed);
    QCOMPARE(child<QLabel>(window, "labelNoResults")->isVisible(), listed.isEmpty());
}

QMap<QString, QByteArray> TestGestioneOrdini::writeDamagedFiles(const QStringList &kinds)
{
    OrdiniLocal::OrdineLocal sample = EngineFixture::order();
    sample.Uuid = QStringLiteral("{00000000-0000-4000-8000-000000000000}");
    sample.righeFile << EngineFixture::fileRow(QStringLiteral("/nessuno/foto.jpg"));
    const QByteArray whole = OrdiniLocal().ToXML(sample).toUtf8();
    QByteArray junk;
    for (int i = 0; i < 700; ++i)
        junk.append(char(1 + (i * 73 + 41) % 255));

    QMap<QString, QByteArray> files;
    static int n = 0;
    for (const QString &kind : kinds) {
        const QString name = QStringLiteral("{00000000-0000-4000-8000-%1}.kv2").arg(++n, 12, 10, QLatin1Char('0'));
        QByteArray bytes;
        if (kind == QLatin1String("truncated"))
            bytes = whole.left(whole.size() / 2);
        else if (kind == QLatin1String("junk"))
            bytes = junk;
        QFile file(KorvexGlobals::ordersQueuePath() + QLatin1Char('/') + name);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
            qWarning("damaged file not written");
        files.insert(name, bytes);
    }
    return files;
}

void TestGestioneOrdini::damagedOrderFilesAreSkippedAndTold()
{
    // Without a customer the saved orders load as the window opens.
    loginAs(-1);
    QVERIFY(!saveOrder(0, false, QStringLiteral("Primo")).isEmpty());
    QVERIFY(!saveOrder(0, false, QStringLiteral("Secondo")).isEmpty());
    const QMap<QString, QByteArray> damaged =
        writeDamagedFiles({QStringLiteral("truncated"), QStringLiteral("empty"), QStringLiteral("junk")});

    answerer->answer(QMessageBox::Ok);
    open();
    QVERIFY(answerer->waitForCount(1));
    QCOMPARE(answerer->last().title, QStringLiteral("Ordini non leggibili"));
    QCOMPARE(answerer->last().icon, QMessageBox::Warning);
    for (const QString &name : damaged.keys())
        QVERIFY2(answerer->last().text.contains(name), qPrintable(answerer->last().text));
    QCOMPARE(cardNames(window), (QStringList{QStringLiteral("Primo"), QStringLiteral("Secondo")}));
    QCOMPARE(child<QLabel>(window, "labelOrdiniSalvatiCount")->text(), QStringLiteral("Trovati <b>2</b> ordini"));
    // The files are left as they were.
    for (auto it = damaged.cbegin(); it != damaged.cend(); ++it) {
        QFile file(KorvexGlobals::ordersQueuePath() + QLatin1Char('/') + it.key());
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), it.value());
    }
}

void TestGestioneOrdini::damagedOrderFilesToldOncePerPageLoad()
{
    QVERIFY(!saveOrder(0, false, QStringLiteral("Buono")).isEmpty());
    const QString truncated = writeDamagedFiles({QStringLiteral("truncated")}).firstKey();
    open();
    auto *pages = child<QListWidget>(window, "listWidget");
    QCOMPARE(pages->currentRow(), 0);

    answerer->answer(QMessageBox::Ok);
    pages->setCurrentRow(1);
    QVERIFY(answerer->waitForCount(1));
    QVERIFY2(answerer->last().text.contains(truncated), qPrintable(answerer->last().text));
    QCOMPARE(cardNames(window), QStringList{QStringLiteral("Buono")});

    // The page reloads at every change of the queue: a file already told is not told again,
    // a new one is.
    emit KorvexGlobals::ordineUpload->queueChanged(0);
    const QString empty = writeDamagedFiles({QStringLiteral("empty"), QStringLiteral("junk")}).firstKey();
    answerer->answer(QMessageBox::Ok);
    emit KorvexGlobals::ordineUpload->queueChanged(0);
    QVERIFY(answerer->waitForCount(2));
    QVERIFY2(answerer->last().text.contains(empty), qPrintable(answerer->last().text));
    QVERIFY2(!answerer->last().text.contains(truncated), qPrintable(answerer->last().text));

    // Coming back to the page tells them all again, in one box.
    answerer->answer(QMessageBox::Ok);
    pages->setCurrentRow(0);
    pages->setCurrentRow(1);
    QVERIFY(answerer->waitForCount(3));
    QVERIFY2(answerer->last().text.contains(empty), qPrintable(answerer->last().text));
    QVERIFY2(answerer->last().text.contains(truncated), qPrintable(answerer->last().text));
    QCOMPARE(cardNames(window), QStringList{QStringLiteral("Buono")});
}

// ---------------------------------------------------------------------------------------
// Actions on saved orders

void TestGestioneOrdini::sendQueuesBehindAndArrives()
{
    OrdineUpload *queue = KorvexGlobals::ordineUpload;
    for (const QString &name : {QStringLiteral("Primo"), QStringLiteral("Secondo")}) {
        const QString uuid = saveOrder(1, true, name);
        OrdiniLocal::OrdineLocal queued;
        QVERIFY(loadOrder(uuid, queued));
        QVERIFY(queue->append(queued));
    }
    const QString uuid = saveOrder(1, false, QStringLiteral("Salvato"));
    // The worker's first call, held by the laboratory, keeps the queue as it is while it is
    // looked at.
    QVERIFY(fixture->lab().holdAnswer(QStringLiteral("ottieniImpostazioniServerFTP")));
    open();
    auto *pages = child<QListWidget>(window, "listWidget");
    pages->setCurrentRow(1);
    QCOMPARE(cardNames(window), QStringList{QStringLiteral("Salvato")});

    child<QToolButton>(cardOf(window, QStringLiteral("Salvato")), "toolButtonUpload")->click();
    QTRY_COMPARE(pages->currentRow(), 0);
    OrdiniLocal::OrdineLocal written;
    QVERIFY(loadOrder(uuid, written));
    QVERIFY(written.Attivo);
    QCOMPARE(written.Priorita, 2);
    QCOMPARE(queue->index(uuid), 2);
    QVERIFY(queue->processingUploads());
    QCOMPARE(answerer->count(), 0);
    pages->setCurrentRow(1);
    QVERIFY(cardNames(window).isEmpty());

    // All three reach the laboratory.
    QVERIFY(fixture->lab().resetKnobs());
    QTRY_VERIFY_WITH_TIMEOUT(!queue->processingUploads() && queue->queueSize() == 0, 60000);
    QStringList arrived;
    for (const EngineFixture::LabOrder &o : fixture->labState().orders)
        arrived << o.clienteFinale;
    arrived.sort();
    QCOMPARE(arrived, (QStringList{QStringLiteral("Primo"), QStringLiteral("Salvato"), QStringLiteral("Secondo")}));
}

void TestGestioneOrdini::sendWhenTheWriteFails()
{
    const QString uuid = saveOrder(1, false, QStringLiteral("Salvato"));
    open();
    auto *pages = child<QListWidget>(window, "listWidget");
    pages->setCurrentRow(1);
    answerer->answer(QMessageBox::Ok);
    {
        FileSizeLimit limit(64);
        QVERIFY(limit.ok());
        child<QToolButton>(cardOf(window, QStringLiteral("Salvato")), "toolButtonUpload")->click();
        QVERIFY(answerer->waitForCount(1));
    }
    QCOMPARE(answerer->last().icon, QMessageBox::Warning);
    QVERIFY2(answerer->last().text.contains(QStringLiteral("Impossibile scrivere il file")), qPrintable(answerer->last().text));
    QCOMPARE(KorvexGlobals::ordineUpload->queueSize(), 0);
    OrdiniLocal::OrdineLocal onDisk;
    QVERIFY(loadOrder(uuid, onDisk));
    QVERIFY(!onDisk.Attivo);
    QCOMPARE(pages->currentRow(), 1);
    QCOMPARE(cardNames(window), QStringList{QStringLiteral("Salvato")});
}

void TestGestioneOrdini::sendSelected()
{
    QVERIFY(!saveOrder(1, false, QStringLiteral("Uno")).isEmpty());
    QVERIFY(!saveOrder(1, false, QStringLiteral("Due")).isEmpty());
    const QString kept = saveOrder(1, false, QStringLiteral("Tre"));
    // The worker's first call, held by the laboratory, keeps the queue as it is while it is
    // looked at.
    QVERIFY(fixture->lab().holdAnswer(QStringLiteral("ottieniImpostazioniServerFTP")));
    open();
    auto *pages = child<QListWidget>(window, "listWidget");
    pages->setCurrentRow(1);
    auto *send = child<QToolButton>(window, "toolButtonUploadSelected");
    QVERIFY(!send->isEnabled());
    itemOf(window, QStringLiteral("Uno"))->setSelected(true);
    itemOf(window, QStringLiteral("Due"))->setSelected(true);
    QVERIFY(send->isEnabled());
    QVERIFY(child<QToolButton>(window, "toolButtonRemoveSelected")->isEnabled());
    send->click();
    QCOMPARE(pages->currentRow(), 0);
    QTRY_COMPARE(KorvexGlobals::ordineUpload->queueSize(), 2);
    pages->setCurrentRow(1);
    QCOMPARE(cardNames(window), QStringList{QStringLiteral("Tre")});
    OrdiniLocal::OrdineLocal rest;
    QVERIFY(loadOrder(kept, rest));
    QVERIFY(!rest.Attivo);
    QVERIFY(fixture->lab().resetKnobs());
    QTRY_VERIFY_WITH_TIMEOUT(!KorvexGlobals::ordineUpload->processingUploads(), 60000);
    QCOMPARE(fixture->labState().orders.size(), 2);
}

void TestGestioneOrdini::editInComposer_data()
{
    QTest::addColumn<bool>("logged");
    QTest::addColumn<bool>("attivo"); // of the saved order

    QTest::newRow("with a user") << true << false;
    // Without a user the queued orders of nobody are listed too: the card's copy is active.
    QTest::newRow("without a user") << false << true;
}

void TestGestioneOrdini::editInComposer()
{
    QFETCH(bool, logged);
    QFETCH(bool, attivo);

    if (!logged)
        loginAs(-1);
    const int utente = logged ? KorvexGlobals::utente->Getid() : 0;
    const QString uuid = saveOrder(utente, attivo, QStringLiteral("Prima"));
    OrdineUpload *queue = KorvexGlobals::ordineUpload;
    if (attivo) {
        OrdiniLocal::OrdineLocal queued;
        QVERIFY(loadOrder(uuid, queued));
        QVERIFY(queue->append(queued));
    }

    // A composer as the real ones behave: it writes and queues its result itself.
    int opened = 0;
    OrdineUploadDialog::setComposerOpener(1, [&](const OrdiniLocal::OrdineLocal &ordine, QWidget *parent) {
        ++opened;
        QVERIFY(parent);
        OrdiniLocal::OrdineLocal edited = ordine;
        edited.ClienteFinale = QStringLiteral("Dopo");
        edited.Attivo = true;
        EditedOrderWriter writer(queue);
        QSignalSpy done(&writer, &EditedOrderWriter::finished);
        QVERIFY(writer.write(edited, true));
        QVERIFY(done.wait(10000));
        QCOMPARE(done.first().first().value<EditedOrderWriter::Outcome>(), EditedOrderWriter::Saved);
    });
    open();
    child<QListWidget>(window, "listWidget")->setCurrentRow(1);
    child<QToolButton>(cardOf(window, QStringLiteral("Prima")), "toolButtonEdit")->click();
    QCOMPARE(opened, 1);

    OrdiniLocal::OrdineLocal onDisk;
    QVERIFY(loadOrder(uuid, onDisk));
    QCOMPARE(onDisk.ClienteFinale, QStringLiteral("Dopo"));
    QVERIFY(onDisk.Attivo);
    QCOMPARE(queue->index(uuid), 0);
    QCOMPARE(queue->ordineAtIndex(0).ClienteFinale, QStringLiteral("Dopo"));
    QCOMPARE(queue->queueSize(), 1);
    // Listed again only where the queued orders of nobody show.
    QCOMPARE(cardNames(window), logged ? QStringList() : QStringList{QStringLiteral("Dopo")});
}

void TestGestioneOrdini::editWithoutRows()
{
    OrdiniLocal::OrdineLocal empty = EngineFixture::order();
    empty.Utente = 1;
    empty.Attivo = false;
    empty.ClienteFinale = QStringLiteral("Vuoto");
    QVERIFY(fixture->save(empty));
    int opened = 0;
    OrdineUploadDialog::setComposerOpener(1, [&](const OrdiniLocal::OrdineLocal &, QWidget *) { ++opened; });
    open();
    child<QListWidget>(window, "listWidget")->setCurrentRow(1);
    answerer->answer(QMessageBox::Ok);
    child<QToolButton>(cardOf(window, QStringLiteral("Vuoto")), "toolButtonEdit")->click();
    QCOMPARE(answerer->count(), 1);
    QCOMPARE(answerer->last().title, QStringLiteral("Modifica Ordine"));
    QCOMPARE(answerer->last().text,
             QStringLiteral("Impossibile avviare la modifica dell'ordine. Tipologia di ordine sconosciuta"));
    QCOMPARE(opened, 0);
}

void TestGestioneOrdini::remove_data()
{
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("removed");

    QTest::newRow("No") << int(QMessageBox::No) << false;
    QTest::newRow("Yes") << int(QMessageBox::Yes) << true;
}

void TestGestioneOrdini::remove()
{
    QFETCH(int, answer);
    QFETCH(bool, removed);

    const QString uuid = saveOrder(1, false, QStringLiteral("Da togliere"));
    open();
    child<QListWidget>(window, "listWidget")->setCurrentRow(1);
    answerer->answer(QMessageBox::StandardButton(answer));
    child<QToolButton>(cardOf(window, QStringLiteral("Da togliere")), "toolButtonRemove")->click();
    QCOMPARE(answerer->count(), 1);
    QCOMPARE(answerer->last().title, QStringLiteral("Rimuovi"));
    QCOMPARE(answerer->last().text, QStringLiteral("Sicuro di voler rimuovere questo ordine?"));
    QCOMPARE(answerer->last().defaultButton, QStringLiteral("No"));
    QCOMPARE(fixture->orderFileExists(uuid), !removed);
    QCOMPARE(cardNames(window).isEmpty(), removed);
}

void TestGestioneOrdini::removeSelected()
{
    const QString one = saveOrder(1, false, QStringLiteral("Uno"));
    const QString two = saveOrder(1, false, QStringLiteral("Due"));
    const QString three = saveOrder(1, false, QStringLiteral("Tre"));
    open();
    child<QListWidget>(window, "listWidget")->setCurrentRow(1);
    itemOf(window, QStringLiteral("Uno"))->setSelected(true);
    itemOf(window, QStringLiteral("Tre"))->setSelected(true);
    answerer->answer(QMessageBox::No);
    child<QToolButton>(window, "toolButtonRemoveSelected")->click();
    QCOMPARE(answerer->count(), 1);
    QCOMPARE(answerer->last().title, QStringLiteral("Rimuovi Selezionati"));
    QVERIFY(fixture->orderFileExists(one) && fixture->orderFileExists(three));

    answerer->answer(QMessageBox::Yes);
    child<QToolButton>(window, "toolButtonRemoveSelected")->click();
    QCOMPARE(answerer->count(), 2); // one question for all
    QVERIFY(!fixture->orderFileExists(one));
    QVERIFY(!fixture->orderFileExists(three));
    QVERIFY(fixture->orderFileExists(two));
    QCOMPARE(cardNames(window), QStringList{QStringLiteral("Due")});
    QVERIFY(!child<QToolButton>(window, "toolButtonRemoveSelected")->isEnabled());
}

void TestGestioneOrdini::removeFromDetailsWindow()
{
    const QString uuid = saveOrder(1, false, QStringLiteral("Dettagliato"));
    open();
    child<QListWidget>(window, "listWidget")->setCurrentRow(1);
    QString detailsClass;
    answerer->answerWith([&](QWidget *box) {
        detailsClass = QString::fromLatin1(box->metaObject()->className());
        QTimer::singleShot(0, box->findChild<QToolButton *>(QStringLiteral("toolButtonRemove")), &QToolButton::click);
    });
    answerer->answer(QMessageBox::Yes);
    auto *list = child<QListWidget>(window, "listWidgetOrdiniUpload");
    QTRY_VERIFY(list->visualItemRect(list->item(0)).height() > 0);
    const QPoint at = list->visualItemRect(list->item(0)).center();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
    QTRY_COMPARE(answerer->count(), 2);
    QCOMPARE(detailsClass, QStringLiteral("OrdineLocalDetails"));
    QCOMPARE(answerer->last().text, QStringLiteral("Sicuro di voler rimuovere questo ordine?"));
    QVERIFY(!fixture->orderFileExists(uuid));
    QVERIFY(cardNames(window).isEmpty());
    // The card goes once its details window has returned.
    QTRY_VERIFY(!window->findChild<OrdineUploadItemWidget *>());
}

void TestGestioneOrdini::rightDoubleClickOnCardOpensNothing()
{
    QVERIFY(!saveOrder(1, false, QStringLiteral("Dettagliato")).isEmpty());
    open();
    child<QListWidget>(window, "listWidget")->setCurrentRow(1);
    auto *list = child<QListWidget>(window, "listWidgetOrdiniUpload");
    QTRY_VERIFY(list->visualItemRect(list->item(0)).height() > 0);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(0)).center());
    QTest::mouseDClick(list->viewport(), Qt::RightButton, {}, list->visualItemRect(list->item(0)).center());
    QTest::qWait(100);
    QCOMPARE(answerer->count(), 0);
    // The same with the left button opens the details.
    answerer->answerWith([](QWidget *box) { static_cast<QDialog *>(box)->reject(); });
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(0)).center());
    QTRY_COMPARE(answerer->count(), 1);
    QCOMPARE(answerer->last().className, QStringLiteral("OrdineLocalDetails"));
}

// ---------------------------------------------------------------------------------------
// Sent orders

void TestGestioneOrdini::searchStates_data()
{
    QTest::addColumn<QString>("state"); // text of the combo's item; empty: "(Tutti)"
    QTest::addColumn<QStringList>("sent");
    QTest::addColumn<QStringList>("listed");

    // The combo in label order without "Non Inviato": Annullato 4, Evaso 7, In Coda 6,
    // In attesa di pagamento 8, In lavorazione 5, Pendente 2, Ricevuto 3.
    QTest::newRow("(Tutti)") << QString() << QStringList{"-1", "4", "7", "6", "8", "5", "2", "3"}
                             << QStringList{"Evaso", "In lavorazione", "Pendente"};
    QTest::newRow("one state") << QStringLiteral("In lavorazione") << QStringList{"5"} << QStringList{"In lavorazione"};
    QTest::newRow("a state of no order") << QStringLiteral("Annullato") << QStringList{"4"} << QStringList();
}

void TestGestioneOrdini::searchStates()
{
    QFETCH(QString, state);
    QFETCH(QStringList, sent);
    QFETCH(QStringList, listed);

    const QDate today = QDate::currentDate();
    QVERIFY(!seed(today, 2, QStringLiteral("Pendente")).isEmpty());
    QVERIFY(!seed(today, 5, QStringLiteral("In lavorazione")).isEmpty());
    QVERIFY(!seed(today, 7, QStringLiteral("Evaso")).isEmpty());
    open();
    auto *combo = child<QComboBox>(window, "comboBoxStato");
    QCOMPARE(combo->itemText(0), QStringLiteral("(Tutti)"));
    if (!state.isEmpty())
        combo->setCurrentText(state);
    QCOMPARE(fixture->lab().requests(QStringLiteral("listaOrdiniIntestazione")).size(), 0); // no search yet
    search(window);

    const QJsonObject request = lastSearch();
    QCOMPARE(texts(request.value(QStringLiteral("stati")).toArray()), sent);
    QCOMPARE(request.value(QStringLiteral("username")).toString(), QStringLiteral("demo"));
    auto *table = child<QTableView>(window, "tableViewOrdiniInviati");
    QStringList shown;
    for (int r = 0; r < table->model()->rowCount(); ++r)
        shown << table->model()->index(r, 4).data().toString();
    shown.sort();
    QCOMPARE(shown, listed);
    QCOMPARE(child<QFrame>(window, "frameOrdiniInviati")->isVisible(), !listed.isEmpty());
    QCOMPARE(child<QFrame>(window, "frameEmptyQueue_2")->isVisible(), listed.isEmpty());
    QVERIFY(!child<QFrame>(window, "frameLoading")->isVisible());
    if (listed.size() == 1)
        QCOMPARE(child<QLabel>(window, "labelOrdiniTrovati")->text(), QStringLiteral("Trovato <b>1</b> ordine"));
    else if (!listed.isEmpty())
        QCOMPARE(child<QLabel>(window, "labelOrdiniTrovati")->text(), QStringLiteral("Trovati <b>%1</b> ordini").arg(listed.size()));
}

void TestGestioneOrdini::searchDatesAndEndCustomer()
{
    QVERIFY(!seed(QDate(2026, 1, 10), 2, QStringLiteral("Città di Castello")).isEmpty());
    QVERIFY(!seed(QDate(2026, 1, 11), 2, QStringLiteral("Roma")).isEmpty());
    QVERIFY(!seed(QDate(2026, 2, 10), 2, QStringLiteral("Città fuori periodo")).isEmpty());
    open();
    child<QDateEdit>(window, "dateEditOrdiniInviatiDa")->setDate(QDate(2026, 1, 1));
    child<QDateEdit>(window, "dateEditOrdiniInviatiA")->setDate(QDate(2026, 1, 31));
    auto *keywords = child<QLineEdit>(window, "lineEditOrdiniInviatiSearchKeywords");
    keywords->setText(QStringLiteral("Città"));
    child<QListWidget>(window, "listWidget")->setCurrentRow(2);
    QTest::keyClick(keywords, Qt::Key_Return);

    QJsonObject request = lastSearch();
    QCOMPARE(request.value(QStringLiteral("dataDa")).toString(), QStringLiteral("2026-01-01"));
    QCOMPARE(request.value(QStringLiteral("dataA")).toString(), QStringLiteral("2026-01-31"));
    QCOMPARE(request.value(QStringLiteral("endUser")).toString(), QStringLiteral("Città"));
    QCOMPARE(request.value(QStringLiteral("cliente")).toString(), QString());
    auto *table = child<QTableView>(window, "tableViewOrdiniInviati");
    QCOMPARE(table->model()->rowCount(), 1);
    QCOMPARE(table->model()->index(0, 4).data().toString(), QStringLiteral("Città di Castello"));

    // Reversed dates go out as they are; changing them searches nothing by itself.
    child<QDateEdit>(window, "dateEditOrdiniInviatiDa")->setDate(QDate(2026, 3, 5));
    child<QDateEdit>(window, "dateEditOrdiniInviatiA")->setDate(QDate(2026, 2, 1));
    child<QComboBox>(window, "comboBoxStato")->setCurrentIndex(2);
    QCOMPARE(fixture->lab().requests(QStringLiteral("listaOrdiniIntestazione")).size(), 1);
    child<QPushButton>(window, "pushButtonCerca")->click();
    request = lastSearch();
    QCOMPARE(request.value(QStringLiteral("dataDa")).toString(), QStringLiteral("2026-03-05"));
    QCOMPARE(request.value(QStringLiteral("dataA")).toString(), QStringLiteral("2026-02-01"));
    QCOMPARE(table->model()->rowCount(), 0);
    QVERIFY(child<QFrame>(window, "frameEmptyQueue_2")->isVisible());
}

void TestGestioneOrdini::searchFaultThenList()
{
    QVERIFY(!seed(QDate::currentDate(), 2, QStringLiteral("Rossi")).isEmpty());
    QVERIFY(fixture->lab().injectFault(QStringLiteral("listaOrdiniIntestazione"), QStringLiteral("Archivio non disponibile")));
    open();
    answerer->answer(QMessageBox::Ok);
    search(window);
    QCOMPARE(answerer->count(), 1);
    QCOMPARE(answerer->last().title, QStringLiteral("Errore"));
    QCOMPARE(answerer->last().text, QStringLiteral("Impossibile ottenere la lista degli ordini!\r\n\r\nArchivio non disponibile"));
    QVERIFY(child<QFrame>(window, "frameEmptyQueue_2")->isVisible());
    QVERIFY(!child<QFrame>(window, "frameOrdiniInviati")->isVisible());
    QVERIFY(!child<QFrame>(window, "frameLoading")->isVisible());
    QVERIFY(!QApplication::overrideCursor());

    child<QPushButton>(window, "pushButtonCerca")->click();
    QCOMPARE(answerer->count(), 1);
    QCOMPARE(child<QTableView>(window, "tableViewOrdiniInviati")->model()->rowCount(), 1);
    QVERIFY(child<QFrame>(window, "frameOrdiniInviati")->isVisible());
}

void TestGestioneOrdini::searchRefusedPort()
{
    open();
    // A port nobody listens on: set right before the call, from the program's endpoint.
    KorvexGlobals::WsEndpoint = QStringLiteral("http://127.0.0.1:9/");
    answerer->answer(QMessageBox::Ok);
    // Refused at once, not after the tests' 60 s time-out: a bound a busy machine stays well
    // under.
    QElapsedTimer timer;
    timer.start();
    search(window);
    QVERIFY2(timer.elapsed() < 30000, qPrintable(QString::number(timer.elapsed())));
    QCOMPARE(answerer->count(), 1);
    QVERIFY(answerer->last().text.startsWith(QStringLiteral("Impossibile ottenere la lista degli ordini!")));
    QVERIFY(child<QFrame>(window, "frameEmptyQueue_2")->isVisible());
}

void TestGestioneOrdini::pageSwitchEmptiesTheList()
{
    QVERIFY(!seed(QDate::currentDate(), 2, QStringLiteral("Rossi")).isEmpty());
    open();
    search(window);
    auto *table = child<QTableView>(window, "tableViewOrdiniInviati");
    QCOMPARE(table->model()->rowCount(), 1);
    auto *pages = child<QListWidget>(window, "listWidget");
    pages->setCurrentRow(1);
    pages->setCurrentRow(2);
    QCOMPARE(table->model()->rowCount(), 0);
    QVERIFY(child<QFrame>(window, "frameWaithForUser")->isVisible());
    QVERIFY(!child<QFrame>(window, "frameOrdiniInviati")->isVisible());
    QVERIFY(!child<QLabel>(window, "labelOrdiniTrovati")->isVisible());
}

void TestGestioneOrdini::detailsAfterSorting_data()
{
    QTest::addColumn<int>("column");
    QTest::addColumn<int>("order");
    QTest::addColumn<QString>("first"); // end customer of the first row

    // Totals 9.5, 120, 30; dates 3, 1, 2 days ago: as texts both would sort otherwise.
    QTest::newRow("Totale, descending") << 7 << int(Qt::DescendingOrder) << "Cento";
    QTest::newRow("Totale, ascending") << 7 << int(Qt::AscendingOrder) << "Nove";
    QTest::newRow("Data, ascending") << 1 << int(Qt::AscendingOrder) << "Nove";
    QTest::newRow("Data, descending") << 1 << int(Qt::DescendingOrder) << "Cento";
}

void TestGestioneOrdini::detailsAfterSorting()
{
    QFETCH(int, column);
    QFETCH(int, order);
    QFETCH(QString, first);

    const QDate today = QDate::currentDate();
    QMap<QString, int> numbers;
    for (const auto &o : {std::make_tuple("Nove", 3, 9.5), std::make_tuple("Cento", 0, 120.0),
                          std::make_tuple("Trenta", 1, 30.0)}) {
        const QString name = QString::fromLatin1(std::get<0>(o));
        QVERIFY(!seed(today.addDays(-std::get<1>(o)), 3, name, std::get<2>(o)).isEmpty());
    }
    const QJsonArray orders = fixture->lab().status().value(QStringLiteral("data")).toObject().value(QStringLiteral("orders")).toArray();
    for (const QJsonValue &v : orders)
        numbers[v.toObject().value(QStringLiteral("cliente_finale")).toString()] = v.toObject().value(QStringLiteral("numero")).toInt();

    open();
    child<QDateEdit>(window, "dateEditOrdiniInviatiDa")->setDate(today.addDays(-5));
    search(window);
    auto *table = child<QTableView>(window, "tableViewOrdiniInviati");
    QCOMPARE(table->model()->rowCount(), 3);
    table->sortByColumn(column, Qt::SortOrder(order));
    QCOMPARE(table->model()->index(0, 4).data().toString(), first);

    QString title;
    int rows = -1;
    answerer->answerWith([&](QWidget *box) {
        title = box->windowTitle();
        rows = box->findChild<QTableView *>(QStringLiteral("tableViewRighe"))->model()->rowCount();
        screenshot(box, QStringLiteral("ordinedetails"));
        static_cast<QDialog *>(box)->reject();
    });
    const QRect cell = table->visualRect(table->model()->index(0, 0));
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, cell.center());
    QTest::mouseDClick(table->viewport(), Qt::LeftButton, {}, cell.center());
    QTRY_COMPARE(answerer->count(), 1);
    QCOMPARE(title, QStringLiteral("Dettaglio ordine n° %1").arg(numbers.value(first)));
    QCOMPARE(rows, 0);
    QVERIFY(table->hasFocus() || !window->isActiveWindow());
}

void TestGestioneOrdini::detailsOfOtherButtonOrMissingOrder()
{
    const QString id = fixture->lab().seedOrder(
        {{QStringLiteral("stato"), 2},
         {QStringLiteral("cliente_finale"), QStringLiteral("Rossi")},
         {QStringLiteral("rows"), QJsonArray{QJsonObject{{QStringLiteral("tipo_riga"), 1},
                                                         {QStringLiteral("nome_file"), QStringLiteral("a.pdf")},
                                                         {QStringLiteral("dimensione"), 1234}}}}});
    QVERIFY(!id.isEmpty());
    open();
    search(window);
    auto *table = child<QTableView>(window, "tableViewOrdiniInviati");
    const QRect cell = table->visualRect(table->model()->index(0, 0));
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, cell.center());

    QTest::mouseDClick(table->viewport(), Qt::RightButton, {}, cell.center());
    QTest::qWait(100);
    QCOMPARE(answerer->count(), 0);

    // From the context menu, with its rows loaded.
    int rows = -1;
    answerer->answerWith([&](QWidget *box) {
        rows = box->findChild<QTableView *>(QStringLiteral("tableViewRighe"))->model()->rowCount();
        static_cast<QDialog *>(box)->reject();
    });
    window->findChild<QAction *>(QStringLiteral("actionOrdiniInviatiDettaglio"))->trigger();
    QTRY_COMPARE(answerer->count(), 1);
    QCOMPARE(rows, 1);

    QVERIFY(fixture->lab().deleteOrder(id));
    answerer->answer(QMessageBox::Ok);
    window->findChild<QAction *>(QStringLiteral("actionOrdiniInviatiDettaglio"))->trigger();
    QTRY_COMPARE(answerer->count(), 2);
    QCOMPARE(answerer->last().className, QStringLiteral("QMessageBox"));
    QCOMPARE(answerer->last().title, QStringLiteral("I Tuoi Ordini"));
    QVERIFY2(answerer->last().text.contains(QStringLiteral("non è stato trovato")), qPrintable(answerer->last().text));

    // A fault of the service while loading.
    QVERIFY(fixture->lab().injectFault(QStringLiteral("listaOrdini"), QStringLiteral("Servizio sospeso")));
    answerer->answer(QMessageBox::Ok);
    window->findChild<QAction *>(QStringLiteral("actionOrdiniInviatiDettaglio"))->trigger();
    QTRY_COMPARE(answerer->count(), 3);
    QCOMPARE(answerer->last().text, QStringLiteral("Impossibile caricare le informazioni dell'ordine:\r\nServizio sospeso"));
    QVERIFY(!QApplication::overrideCursor());
}

void TestGestioneOrdini::screenshots()
{
    OrdineUpload *queue = KorvexGlobals::ordineUpload;
    const QString queued = saveOrder(1, true, QStringLiteral("In coda"));
    OrdiniLocal::OrdineLocal q;
    QVERIFY(loadOrder(queued, q));
    QVERIFY(queue->append(q));
    QVERIFY(!saveOrder(1, false, QStringLiteral("Mario Rossi"), QStringLiteral("Consegna in sede")).isEmpty());
    QVERIFY(!saveOrder(1, false, QStringLiteral("Studio Bianchi")).isEmpty());
    QVERIFY(!seed(QDate::currentDate(), 5, QStringLiteral("Foto Verdi"), 42.5).isEmpty());
    QVERIFY(!seed(QDate::currentDate(), 7, QStringLiteral("Città di Castello"), 12.345).isEmpty());
    open();
    auto *pages = child<QListWidget>(window, "listWidget");
    QCOMPARE(pages->currentRow(), 0);
    QTest::qWait(100);
    screenshot(window, QStringLiteral("gestioneordini-coda"));
    pages->setCurrentRow(1);
    QCOMPARE(cardNames(window).size(), 2);
    QTest::qWait(100);
    screenshot(window, QStringLiteral("gestioneordini-dainviare"));
    pages->setCurrentRow(2);
    QTest::qWait(100);
    screenshot(window, QStringLiteral("gestioneordini-cerca"));
    child<QPushButton>(window, "pushButtonCerca")->click();
    QCOMPARE(child<QTableView>(window, "tableViewOrdiniInviati")->model()->rowCount(), 2);
    QTest::qWait(100);
    screenshot(window, QStringLiteral("gestioneordini-inviati"));
}

QTEST_MAIN(TestGestioneOrdini)
#include "tst_gestioneordini.moc"
