// What a screen reader reads of the prints of the print composer, of the thumbnails of both
// composers' file browsers and of the rows of an order's summary: the models' accessible
// texts and descriptions, then the same texts as Qt's accessibility layer hands them to the
// reader (QAccessible::queryAccessibleInterface on the views, offscreen).

#include <QAccessible>
#include <QDir>
#include <QFile>
#include <QListView>
#include <QLocale>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>
#include <QThreadPool>

#include <functional>
#include <memory>
#include <vector>

#include "articoloinviofilecomposer.h"
#include "articolostampafotograficacomposer.h"
#include "articolostampafotograficafileselectionmodel.h"
#include "articolostampafotograficafotoprintmodel.h"
#include "korvexglobals.h"
#include "modalanswerer.h"
#include "ordine.h"
#include "ordinedetails.h"
#include "ordinelocaldetailswidget.h"
#include "ordineriga.h"
#include "ordinerigafile.h"
#include "ordinerigastampa.h"
#include "ordineupload.h"
#include "printeditfixture.h"
#include "righeordinelocaltablemodel.h"
#include "righeordinetablemodel.h"
#include "shots.h"

using PrintModel = ArticoloStampaFotograficaFotoPrintModel;
using BrowserModel = ArticoloStampaFotograficaFileSelectionModel;
using Row = OrdiniLocal::OrdineRigaStampaLocal;

namespace {

// One item of a model, with what keeps the model (and what it reads) alive.
struct Probe
{
    std::vector<std::shared_ptr<void>> keep;
    QModelIndex index;
};
using ProbeMaker = std::function<Probe(PrintEditFixture &)>;

} // namespace

Q_DECLARE_METATYPE(ProbeMaker)

namespace {

const QString tooSmall = QStringLiteral(
    "La stampa non è ottimale. Le dimensioni dell'immagine originale sono inferiori a quelle del formato "
    "sclelto, quindi l'immagine verrà ridimensionata.");
const QString missing = QStringLiteral("Il file non esiste, fai doppio click per sostituirlo");
const QString unavailable = QStringLiteral(
    "Le impostazioni di stampa scelte non sono attualmente disponibili, reimpostare il formato e la carta per "
    "continuare");

QString native(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

// A print list of one row, once its thumbnail job has read the image's size (the too-small
// rule waits for it) or has found that there is no image.
Probe onePrint(const Row &riga)
{
    auto model = std::make_shared<PrintModel>();
    model->addStampa(riga);
    model->loadThumbs();
    if (!QTest::qWaitFor([&] { return !model->isLoadingThumbs(); }, 60000))
        qWarning("the thumbnail batch never ended");
    QCoreApplication::sendPostedEvents();
    return Probe{{model}, model->index(0, 0)};
}

// The print composer's browser on a folder that holds a photo and a folder, folders shown.
Probe browserItem(PrintEditFixture &fx, const QString &name)
{
    const QString dir = fx.path(QStringLiteral("cartella-browser"));
    QDir().mkpath(dir + QStringLiteral("/Vacanze"));
    fx.solid(QStringLiteral("cartella-browser/mare.jpg"), QSize(300, 200), Qt::blue);
    auto model = std::make_shared<BrowserModel>();
    model->setFilter(QDir::AllDirs | QDir::Files | QDir::NoDotAndDotDot);
    model->setRootPath(dir);
    const QString path = dir + QLatin1Char('/') + name;
    if (!QTest::qWaitFor([&] { return model->index(path).isValid(); }, 60000))
        qWarning("the browser never listed %s", qPrintable(path));
    return Probe{{model}, model->index(path)};
}

} // namespace

class TestAccessibleNames : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void modelTexts_data();
    void modelTexts();
    void printListReadByEachPrint();
    void browsersReadByFileName();
    void orderRowsReadWithFileAndArticle();

private:
    std::unique_ptr<PrintEditFixture> m_fixture;
    std::unique_ptr<ModalAnswerer> m_answerer;
};

void TestAccessibleNames::initTestCase()
{
    Q_INIT_RESOURCE(application);
    qRegisterMetaType<QList<QFileInfo>>("QList<QFileInfo>");
    QLocale::setDefault(QLocale(QLocale::Italian, QLocale::Italy));
}

void TestAccessibleNames::init()
{
    m_fixture = std::make_unique<PrintEditFixture>();
    QVERIFY2(m_fixture->ok(), qPrintable(m_fixture->error()));
    KorvexGlobals::ordineUpload = new OrdineUpload(nullptr);
    m_answerer = std::make_unique<ModalAnswerer>();
}

void TestAccessibleNames::cleanup()
{
    delete KorvexGlobals::ordineUpload;
    KorvexGlobals::ordineUpload = nullptr;
    const int unexpected = m_answerer->unexpected();
    m_answerer.reset();
    QThreadPool::globalInstance()->waitForDone();
    m_fixture.reset();
    QCOMPARE(unexpected, 0);
}

void TestAccessibleNames::modelTexts_data()
{
    QTest::addColumn<ProbeMaker>("make");
    QTest::addColumn<QString>("name");
    // The path, relative to the fixture's image folder; "-" for no description.
    QTest::addColumn<QString>("description");

    QTest::newRow("print, fit") << ProbeMaker([](PrintEditFixture &fx) {
        return onePrint(PrintEditFixture::row(fx.solid("adatta.jpg", QSize(2000, 1300), Qt::red), 1, 1));
    }) << "adatta.jpg, 10x15 orizzontale Lucida, 1 copia, adattamento"
       << "adatta.jpg";
    QTest::newRow("print, crop, 3 copies") << ProbeMaker([](PrintEditFixture &fx) {
        return onePrint(PrintEditFixture::row(fx.solid("ritaglia.jpg", QSize(2400, 1600), Qt::green), 3, 2,
                                              QRectF(100, 100, 1800, 1200), 3));
    }) << "ritaglia.jpg, 10x15 orizzontale Opaca, 3 copie, ritaglio"
       << "ritaglia.jpg";
    QTest::newRow("print, image too small") << ProbeMaker([](PrintEditFixture &fx) {
        return onePrint(PrintEditFixture::row(fx.solid("piccola.png", QSize(900, 600), Qt::blue), 1, 2));
    }) << "piccola.png, 10x15 orizzontale Lucida, 1 copia, ritaglio; " + tooSmall
       << "piccola.png";
    QTest::newRow("print, file missing") << ProbeMaker([](PrintEditFixture &fx) {
        return onePrint(PrintEditFixture::row(fx.path("sparita.jpg"), 5, 1, QRectF(), 2));
    }) << "sparita.jpg, 20x15 Lucida, 2 copie, adattamento; " + missing
       << "sparita.jpg";
    QTest::newRow("print, product gone") << ProbeMaker([](PrintEditFixture &fx) {
        return onePrint(PrintEditFixture::row(fx.solid("orfana.jpg", QSize(2000, 1300), Qt::gray), 99, 1));
    }) << "orfana.jpg, 1 copia, adattamento; " + unavailable
       << "orfana.jpg";

    QTest::newRow("browser, photo") << ProbeMaker([](PrintEditFixture &fx) {
        return browserItem(fx, QStringLiteral("mare.jpg"));
    }) << "mare.jpg"
       << "cartella-browser/mare.jpg";
    QTest::newRow("browser, folder") << ProbeMaker([](PrintEditFixture &fx) {
        return browserItem(fx, QStringLiteral("Vacanze"));
    }) << "Vacanze, cartella"
       << "cartella-browser/Vacanze";

    // The summary of a local order: two prints of one product and a file row.
    const auto summary = [](int row, int column) {
        return ProbeMaker([row, column](PrintEditFixture &fx) {
            auto model = std::make_shared<RigheOrdineLocalTableModel>();
            if (row < 2) {
                QList<Row> righe{PrintEditFixture::row(fx.path("IMG_0042.jpg"), 1, 2, QRectF(), 2),
                                 PrintEditFixture::row(fx.path("IMG_0043.jpg"), 1, 2, QRectF(), 2)};
                model->SetVector(righe);
            } else {
                OrdiniLocal::OrdineRigaFileLocal file;
                file.Codice = QStringLiteral("artfile");
                file.Descrizione = QStringLiteral("Invio File catalogo.pdf");
                file.FilePath = fx.path("catalogo.pdf");
                model->SetVector(QList<OrdiniLocal::OrdineRigaFileLocal>{file});
            }
            return Probe{{model}, model->index(row < 2 ? row : 0, column)};
        });
    };
    QTest::newRow("summary, print row, Qta") << summary(0, 3) << "Qta: 2; IMG_0042.jpg, ST1015L Stampa 10x15 su carta lucida"
                                             << "IMG_0042.jpg";
    QTest::newRow("summary, other print row, Qta")
        << summary(1, 3) << "Qta: 2; IMG_0043.jpg, ST1015L Stampa 10x15 su carta lucida"
        << "IMG_0043.jpg";
    QTest::newRow("summary, print row, Prezzo")
        << summary(1, 4) << QString::fromUtf8("Prezzo: 0,5000 €; IMG_0043.jpg, ST1015L Stampa 10x15 su carta lucida")
        << "IMG_0043.jpg";
    // The description already names the file: it is not said twice.
    QTest::newRow("summary, file row, Tipo") << summary(2, 1) << "Tipo: File; artfile Invio File catalogo.pdf"
                                             << "catalogo.pdf";

    // The rows of a sent order, as the orders service recorded them: no folder.
    const auto sent = [](int row, int column) {
        return ProbeMaker([row, column](PrintEditFixture &) {
            auto ordine = std::make_shared<Ordine>(nullptr);
            auto *file = new OrdineRigaFile(ordine.get());
            file->codice_articolo = "FILE";
            file->descrizione = "Invio file";
            file->file.nome_file = "catalogo.pdf";
            auto *print = new OrdineRigaStampa(ordine.get());
            print->codice_articolo = "ST10";
            print->descrizione = "Stampa 10x15 lucida";
            print->quantita = 4;
            print->file.nome_file = "mare.jpg";
            auto *plain = new OrdineRiga(ordine.get());
            plain->codice_articolo = "SPED";
            plain->descrizione = "Spedizione";
            ordine->righe = {file, print, plain};
            auto model = std::make_shared<RigheOrdineTableModel>();
            model->SetVector(ordine->righe);
            return Probe{{ordine, model}, model->index(row, column)};
        });
    };
    QTest::newRow("sent, file row, Cod. Articolo") << sent(0, 0) << "Cod. Articolo: FILE; catalogo.pdf, FILE Invio file"
                                                   << "-";
    QTest::newRow("sent, print row, Qta") << sent(1, 3) << "Qta: 4; mare.jpg, ST10 Stampa 10x15 lucida" << "-";
    QTest::newRow("sent, plain row, Descrizione") << sent(2, 2) << "Descrizione: Spedizione; SPED Spedizione"
                                                  << "-";
}

// Each item's Qt::AccessibleTextRole and Qt::AccessibleDescriptionRole; the print list's
// caption, display text and tooltip stay what they were.
void TestAccessibleNames::modelTexts()
{
    QFETCH(ProbeMaker, make);
    QFETCH(QString, name);
    QFETCH(QString, description);
    const Probe probe = make(*m_fixture);
    QVERIFY(probe.index.isValid());
    QCOMPARE(probe.index.data(Qt::AccessibleTextRole).toString(), name);
    const QString path = description == QLatin1String("-") ? QString() : native(m_fixture->path(description));
    QCOMPARE(probe.index.data(Qt::AccessibleDescriptionRole).toString(), path);
    if (qobject_cast<const PrintModel *>(probe.index.model())) {
        QVERIFY(!probe.index.data(Qt::DisplayRole).isValid());
        QVERIFY(probe.index.data(Qt::ToolTipRole).toString().contains(QStringLiteral("<i>Nome</i>")));
    }
}

// The print composer's list as a screen reader meets it: one list item for each print, named
// by its file, product, copies, fit or crop and warning, described by its path; a warning
// that comes with the thumbnail job is read once it has come.
void TestAccessibleNames::printListReadByEachPrint()
{
    PrintEditFixture &fx = *m_fixture;
    const QString gone = fx.path(QStringLiteral("sparita.jpg"));
    OrdiniLocal::OrdineLocal ordine;
    ordine.righeStampa << PrintEditFixture::row(fx.solid("adatta.jpg", QSize(2000, 1300), Qt::red), 1, 1)
                       << PrintEditFixture::row(fx.solid("ritaglia.jpg", QSize(2400, 1600), Qt::green), 1, 2,
                                                QRectF(), 2)
                       << PrintEditFixture::row(fx.solid("piccola.jpg", QSize(900, 600), Qt::blue), 3, 2)
                       << PrintEditFixture::row(gone, 1, 1);
    const QStringList expected{
        "adatta.jpg, 10x15 orizzontale Lucida, 1 copia, adattamento",
        "ritaglia.jpg, 10x15 orizzontale Lucida, 2 copie, ritaglio",
        "piccola.jpg, 10x15 orizzontale Opaca, 1 copia, ritaglio; " + tooSmall,
        "sparita.jpg, 10x15 orizzontale Lucida, 1 copia, adattamento; " + missing,
    };

    m_answerer->answer(QStringLiteral("Continua")); // "File non trovati"
    ArticoloStampaFotograficaComposer composer(ordine, nullptr);
    composer.show();
    QVERIFY(QTest::qWaitForWindowExposed(&composer));
    auto *list = composer.findChild<QListView *>(QStringLiteral("listViewFotoPrint"));
    QVERIFY(list);
    QTRY_COMPARE_WITH_TIMEOUT(list->model()->rowCount(), 4, 60000);
    QVERIFY(m_answerer->waitForCount(1));
    QCOMPARE(m_answerer->last().title, QStringLiteral("File non trovati"));

    QAccessibleInterface *view = QAccessible::queryAccessibleInterface(list);
    QVERIFY(view);
    QCOMPARE(view->role(), QAccessible::List);
    const auto names = [view] {
        QStringList read;
        for (int i = 0; i < view->childCount(); ++i)
            read << view->child(i)->text(QAccessible::Name);
        return read;
    };
    // The too-small warning waits for the thumbnail job that reads the photo's size.
    QTRY_COMPARE_WITH_TIMEOUT(names(), expected, 60000);
    for (int i = 0; i < view->childCount(); ++i) {
        QAccessibleInterface *item = view->child(i);
        QCOMPARE(item->role(), QAccessible::ListItem);
        QCOMPARE(item->text(QAccessible::Description), native(ordine.righeStampa.at(i).FilePath));
    }
    // The painted caption and the tooltip are as before: no display text, the HTML tooltip.
    QVERIFY(!list->model()->index(0, 0).data(Qt::DisplayRole).isValid());
    QVERIFY(list->model()->index(3, 0).data(Qt::ToolTipRole).toString().startsWith("<h4>" + missing + "</h4>"));
    saveShot(&composer, QStringLiteral("accessible-prints"));
    composer.setResult(0);
}

// The thumbnails of both browsers are read by their file names, described (where the browser
// says) by their paths.
void TestAccessibleNames::browsersReadByFileName()
{
    PrintEditFixture &fx = *m_fixture;
    const QString dir = fx.path(QStringLiteral("foto"));
    QDir().mkpath(dir + QStringLiteral("/sotto"));
    const QStringList photos{"IMG_0042.jpg", "IMG_0043.jpg", "porto.png"};
    for (const QString &name : photos)
        fx.solid(QStringLiteral("foto/") + name, QSize(300, 200), Qt::darkYellow);
    const auto names = [](QListView *list) {
        QStringList read;
        QAccessibleInterface *view = QAccessible::queryAccessibleInterface(list);
        if (!view)
            return read;
        for (int i = 0; i < view->childCount(); ++i) {
            QAccessibleInterface *item = view->child(i);
            read << (item ? item->text(QAccessible::Name) : QStringLiteral("(no item %1)").arg(i));
        }
        read.sort();
        return read;
    };

    {
        OrdiniLocal::OrdineLocal ordine;
        ArticoloStampaFotograficaComposer composer(ordine, nullptr);
        composer.show();
        composer.setRootPath(dir);
        auto *browser = composer.findChild<QListView *>(QStringLiteral("listViewFileSelection"));
        QVERIFY(browser);
        QTRY_COMPARE_WITH_TIMEOUT(names(browser), photos, 60000);
        QAccessibleInterface *view = QAccessible::queryAccessibleInterface(browser);
        QCOMPARE(view->role(), QAccessible::List);
        for (int i = 0; i < view->childCount(); ++i) {
            QAccessibleInterface *item = view->child(i);
            QCOMPARE(item->role(), QAccessible::ListItem);
            QCOMPARE(item->text(QAccessible::Description),
                     native(dir + QLatin1Char('/') + item->text(QAccessible::Name)));
            // One item for one file, asked again or found back.
            QCOMPARE(view->child(i), item);
            QCOMPARE(view->indexOfChild(item), i);
            QCOMPARE(item->parent(), view);
        }
        // The reader follows the current file.
        const QModelIndex second = static_cast<BrowserModel *>(browser->model())->index(dir + "/IMG_0043.jpg");
        browser->setCurrentIndex(second);
        QVERIFY(view->focusChild());
        QCOMPARE(view->focusChild()->text(QAccessible::Name), QStringLiteral("IMG_0043.jpg"));
        QVERIFY(view->focusChild()->state().focused);
        QVERIFY(view->focusChild()->state().selected);
        // Another folder: its own files, none of the first folder's.
        composer.setRootPath(dir + QStringLiteral("/sotto"));
        QTRY_COMPARE_WITH_TIMEOUT(view->childCount(), 0, 60000);
        QVERIFY(!view->child(0));
        composer.setResult(0);
    }
    {
        OrdiniLocal::OrdineLocal ordine;
        ArticoloInvioFileComposer composer(ordine);
        composer.show();
        composer.setRootPath(dir);
        auto *browser = composer.findChild<QListView *>(QStringLiteral("listViewFileSelection"));
        QVERIFY(browser);
        QTRY_COMPARE_WITH_TIMEOUT(names(browser), photos, 60000);
        composer.setResult(0);
    }
}

// The rows table of a local order's summary and of a sent order's details: every cell a
// reader lands on names the row's file and article, so two prints of one product differ.
void TestAccessibleNames::orderRowsReadWithFileAndArticle()
{
    PrintEditFixture &fx = *m_fixture;
    const auto cellNames = [](QTableView *table, int column) {
        QStringList read;
        QAccessibleInterface *view = QAccessible::queryAccessibleInterface(table);
        QAccessibleTableInterface *cells = view ? view->tableInterface() : nullptr;
        if (!cells)
            return read;
        for (int row = 0; row < cells->rowCount(); ++row)
            read << cells->cellAt(row, column)->text(QAccessible::Name);
        return read;
    };

    OrdiniLocal::OrdineLocal ordine;
    ordine.righeStampa << PrintEditFixture::row(fx.path("IMG_0042.jpg"), 1, 2, QRectF(), 2)
                       << PrintEditFixture::row(fx.path("IMG_0043.jpg"), 1, 2, QRectF(), 1);
    OrdineLocalDetailsWidget summary(ordine);
    summary.resize(800, 560);
    summary.show();
    QVERIFY(QTest::qWaitForWindowExposed(&summary));
    auto *rows = summary.findChild<QTableView *>(QStringLiteral("tableViewRighe"));
    QVERIFY(rows);
    QCOMPARE(cellNames(rows, 3), (QStringList{"Qta: 2; IMG_0042.jpg, ST1015L Stampa 10x15 su carta lucida",
                                              "Qta: 1; IMG_0043.jpg, ST1015L Stampa 10x15 su carta lucida"}));
    QCOMPARE(cellNames(rows, 1), (QStringList{"Tipo: Stampa; IMG_0042.jpg, ST1015L Stampa 10x15 su carta lucida",
                                              "Tipo: Stampa; IMG_0043.jpg, ST1015L Stampa 10x15 su carta lucida"}));
    saveShot(&summary, QStringLiteral("accessible-summary"));

    Ordine sentOrder(nullptr);
    for (const char *name : {"mare.jpg", "porto.jpg"}) {
        auto *print = new OrdineRigaStampa(&sentOrder);
        print->codice_articolo = "ST10";
        print->descrizione = "Stampa 10x15 lucida";
        print->quantita = 1;
        print->file.nome_file = name;
        sentOrder.righe.push_back(print);
    }
    OrdineDetails details(&sentOrder);
    details.setReadOnly(true);
    details.show();
    QVERIFY(QTest::qWaitForWindowExposed(&details));
    auto *sentRows = details.findChild<QTableView *>(QStringLiteral("tableViewRighe"));
    QVERIFY(sentRows);
    QCOMPARE(cellNames(sentRows, 0), (QStringList{"Cod. Articolo: ST10; mare.jpg, ST10 Stampa 10x15 lucida",
                                                  "Cod. Articolo: ST10; porto.jpg, ST10 Stampa 10x15 lucida"}));
}

QTEST_MAIN(TestAccessibleNames)
#include "tst_accessiblenames.moc"
