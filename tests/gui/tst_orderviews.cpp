// The views of a local order: the rows table model, the summary widget with its totals and
// row details, the row details dialogs on local and sent rows, the order card and the local
// order details window with their buttons and requests.

#include <QAbstractItemModelTester>
#include <QAction>
#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>
#include <QToolButton>
#include <QVBoxLayout>

#include <functional>
#include <memory>

#include "editedorderwriter.h"
#include "guifixture.h"
#include "korvexglobals.h"
#include "modalanswerer.h"
#include "ordine.h"
#include "ordinelocaldetails.h"
#include "ordinelocaldetailswidget.h"
#include "ordinerigafile.h"
#include "ordinerigastampa.h"
#include "ordineuploaditemwidget.h"
#include "righeordinefilelocaldetails.h"
#include "righeordinelocaltablemodel.h"
#include "righeordinestampalocaldetails.h"
#include "shots.h"
#include "utente.h"

namespace {

const QString euro = QString(QChar(0x20AC));

OrdiniLocal::OrdineRigaFileLocal fileRow(const QString &path, const QString &codice = QStringLiteral("artfile"))
{
    OrdiniLocal::OrdineRigaFileLocal riga;
    riga.Codice = codice;
    riga.Descrizione = QFileInfo(path).fileName();
    riga.TipoRiga = 1;
    riga.FilePath = path;
    riga.FileSize = 123;
    return riga;
}

OrdiniLocal::OrdineRigaStampaLocal printRow(const QString &path, int qta, double prezzo)
{
    OrdiniLocal::OrdineRigaStampaLocal riga;
    riga.Codice = QStringLiteral("ST1015");
    riga.Descrizione = QStringLiteral("Stampa 10x15 lucida");
    riga.FilePath = path;
    riga.Qta = qta;
    riga.Prezzo = prezzo;
    riga.IdStampa = 3;
    return riga;
}

OrdiniLocal::OrdineLocal order(int files, int prints, double spedizione = 0, const QString &cliente = QString())
{
    OrdiniLocal::OrdineLocal ordine;
    OrdiniLocal().initOrdineLocal(ordine);
    ordine.Uuid = QStringLiteral("{11111111-2222-3333-4444-555555555555}");
    ordine.Data = QDateTime(QDate(2026, 3, 7), QTime(9, 5, 30));
    ordine.ClienteFinale = cliente;
    ordine.Note = QStringLiteral("Consegna in negozio");
    ordine.Spedizione = spedizione;
    for (int i = 0; i < files; ++i)
        ordine.righeFile << fileRow(QStringLiteral("/dati/doc%1.pdf").arg(i));
    // Each print: 4 copies at 1.25 (5.00 a row).
    for (int i = 0; i < prints; ++i)
        ordine.righeStampa << printRow(QStringLiteral("/dati/foto%1.jpg").arg(i), 4, 1.25);
    return ordine;
}

template <class T>
T *child(QWidget *window, const char *name)
{
    T *w = window->findChild<T *>(QString::fromLatin1(name));
    if (!w)
        qWarning("no %s", name);
    return w;
}

QString text(QWidget *window, const char *name)
{
    if (auto *edit = window->findChild<QLineEdit *>(QString::fromLatin1(name)))
        return edit->text();
    if (auto *label = window->findChild<QLabel *>(QString::fromLatin1(name)))
        return label->text();
    return QStringLiteral("(missing)");
}

// The fields of a row details dialog, by object name, and which rows are shown.
QMap<QString, QString> rowDetails(QWidget *dialog)
{
    QMap<QString, QString> fields;
    for (const char *name : {"codice", "descrizione", "qta", "prezzo", "FileNome", "FilePercorso", "FileDimensione",
                             "FileDataModifica"}) {
        auto *edit = child<QLineEdit>(dialog, name);
        fields.insert(QString::fromLatin1(name), edit->isHidden() ? QStringLiteral("(hidden)") : edit->text());
        if (!edit->isHidden() && !edit->text().isEmpty() && edit->cursorPosition() != 0)
            fields.insert(QStringLiteral("cursor"), QString::number(edit->cursorPosition()));
        if (!edit->isReadOnly())
            fields.insert(QStringLiteral("editable"), QString::fromLatin1(name));
    }
    return fields;
}

} // namespace

using Fields = QMap<QString, QString>;

class TestOrderViews : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();

    void rowsModelColumns_data();
    void rowsModelColumns();
    void rowsModelShape();

    void summaryTotals_data();
    void summaryTotals();
    void summaryReadOnlyAndTexts();
    void summaryOpensRowDetails();

    void localRowDetails_data();
    void localRowDetails();
    void sentRowDetails_data();
    void sentRowDetails();

    void cardAndDetailsWindow_data();
    void cardAndDetailsWindow();
    void cardElidesTheCustomer();
    void requestsAfterTheWindowClosed_data();
    void requestsAfterTheWindowClosed();

private:
    std::unique_ptr<GuiFixture> fixture;
};

void TestOrderViews::initTestCase()
{
    Q_INIT_RESOURCE(application);
    QLocale::setDefault(QLocale(QLocale::Italian, QLocale::Italy));
    fixture = std::make_unique<GuiFixture>();
    fixture->storeSettings(QStringLiteral("http://127.0.0.1:9/"));
}

void TestOrderViews::cleanup()
{
    delete KorvexGlobals::utente;
    KorvexGlobals::utente = nullptr;
}

// ---------------------------------------------------------------------------------------
// Rows table model

void TestOrderViews::rowsModelColumns_data()
{
    QTest::addColumn<int>("kind"); // 1 file row, 2 print row
    QTest::addColumn<int>("tipoRiga");
    QTest::addColumn<int>("qta");
    QTest::addColumn<double>("prezzo");
    QTest::addColumn<QStringList>("cells");
    QTest::addColumn<double>("totale");

    QTest::newRow("file row") << 1 << 1 << 0 << 0.0
                              << QStringList{"artfile", "File", "doc.pdf", "1", "0,0000 " + euro} << 0.0;
    QTest::newRow("print row") << 2 << 2 << 3 << 0.5
                               << QStringList{"ST1015", "Stampa", "Stampa 10x15 lucida", "3", "1,5000 " + euro} << 1.5;
    QTest::newRow("thousands") << 2 << 2 << 1000 << 1.2345
                               << QStringList{"ST1015", "Stampa", "Stampa 10x15 lucida", "1000", "1.234,5000 " + euro}
                               << 1234.5;
    QTest::newRow("other row type") << 2 << 0 << 1 << 2.0
                                    << QStringList{"ST1015", "Altro", "Stampa 10x15 lucida", "1", "2,0000 " + euro} << 2.0;
    QTest::newRow("unknown row type") << 2 << 7 << 2 << 1.0
                                      << QStringList{"ST1015", "", "Stampa 10x15 lucida", "2", "2,0000 " + euro} << 2.0;
}

void TestOrderViews::rowsModelColumns()
{
    QFETCH(int, kind);
    QFETCH(int, tipoRiga);
    QFETCH(int, qta);
    QFETCH(double, prezzo);
    QFETCH(QStringList, cells);
    QFETCH(double, totale);

    RigheOrdineLocalTableModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    if (kind == 1) {
        OrdiniLocal::OrdineRigaFileLocal riga = fileRow(QStringLiteral("/dati/doc.pdf"));
        riga.TipoRiga = tipoRiga;
        model.SetVector(QList<OrdiniLocal::OrdineRigaFileLocal>{riga});
    } else {
        OrdiniLocal::OrdineRigaStampaLocal riga = printRow(QStringLiteral("/dati/foto.jpg"), qta, prezzo);
        riga.TipoRiga = tipoRiga;
        model.SetVector(QList<OrdiniLocal::OrdineRigaStampaLocal>{riga});
    }
    QCOMPARE(model.rowCount(), 1);
    QStringList shown;
    for (int c = 0; c < model.columnCount(); ++c)
        shown << model.index(0, c).data().toString();
    QCOMPARE(shown, cells);
    QCOMPARE(model.totale(), totale);
    for (int c = 0; c < 5; ++c) {
        const int alignment = model.index(0, c).data(Qt::TextAlignmentRole).toInt();
        QCOMPARE(alignment, int((c >= 3 ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter));
        QVERIFY(!model.index(0, c).data(Qt::ToolTipRole).isValid());
        QVERIFY(!(model.flags(model.index(0, c)) & Qt::ItemIsEditable));
    }
}

void TestOrderViews::rowsModelShape()
{
    RigheOrdineLocalTableModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QCOMPARE(model.rowCount(), 0);
    QCOMPARE(model.totale(), 0.0);
    QStringList titles;
    for (int c = 0; c < model.columnCount(); ++c)
        titles << model.headerData(c, Qt::Horizontal).toString();
    QCOMPARE(titles, (QStringList{"Cod. Articolo", "Tipo", "Descrizione", "Qta", "Prezzo"}));
    QVERIFY(!model.headerData(5, Qt::Horizontal).isValid());
    QVERIFY(!model.headerData(0, Qt::Horizontal, Qt::ToolTipRole).isValid());

    model.SetVector(QList<OrdiniLocal::OrdineRigaFileLocal>{fileRow("/a.pdf"), fileRow("/b.pdf")});
    QCOMPARE(model.rowCount(), 2);
    // A flat table: no row is a parent.
    QCOMPARE(model.rowCount(model.index(0, 0)), 0);
    QCOMPARE(model.columnCount(model.index(0, 0)), 0);
    QCOMPARE(model.headerData(0, Qt::Vertical).toString(), QStringLiteral("1"));

    // Each call replaces every row.
    model.SetVector(QList<OrdiniLocal::OrdineRigaStampaLocal>{printRow("/c.jpg", 2, 1.0), printRow("/d.jpg", 1, 3.0),
                                                              printRow("/e.jpg", 5, 0.1)});
    QCOMPARE(model.rowCount(), 3);
    QCOMPARE(model.index(0, 1).data().toString(), QStringLiteral("Stampa"));
    QCOMPARE(model.totale(), 5.5);
    QVERIFY(!model.index(3, 0).data().isValid());
    QVERIFY(!model.index(0, 5).data().isValid());
    QVERIFY(!model.data(QModelIndex()).isValid());

    QVERIFY(!model.removeRows(-1, 1));
    QVERIFY(!model.removeRows(0, 0));
    QVERIFY(!model.removeRows(2, 2));
    QVERIFY(model.removeRows(1, 2));
    QCOMPARE(model.rowCount(), 1);
    QCOMPARE(model.totale(), 2.0);
}

// ---------------------------------------------------------------------------------------
// Summary widget

void TestOrderViews::summaryTotals_data()
{
    QTest::addColumn<OrdiniLocal::OrdineLocal>("ordine");
    QTest::addColumn<bool>("afterPrints"); // shown after an order of prints
    QTest::addColumn<int>("rows");
    QTest::addColumn<QString>("firstType");
    QTest::addColumn<QString>("totale");
    QTest::addColumn<QString>("spedizione");
    QTest::addColumn<QString>("files");

    QTest::newRow("prints and shipping") << order(0, 2, 2.5) << false << 2 << "Stampa" << "12,50" + euro
                                         << "2,50" + euro << "2 file da inviare";
    QTest::newRow("prints, no shipping") << order(0, 1) << false << 1 << "Stampa" << "5,00" + euro << "0,00" + euro
                                         << "1 file da inviare";
    QTest::newRow("files only, shipping not added") << order(2, 0, 7.5) << false << 2 << "File" << "0,00" + euro
                                                    << "0,00" + euro << "2 file da inviare";
    QTest::newRow("both kinds list the files") << order(1, 2, 2.5) << false << 1 << "File" << "0,00" + euro
                                               << "0,00" + euro << "3 file da inviare";
    QTest::newRow("no rows after prints") << order(0, 0, 2.5) << true << 0 << "" << "0,00" + euro << "0,00" + euro
                                          << "0 file da inviare";
}

void TestOrderViews::summaryTotals()
{
    QFETCH(OrdiniLocal::OrdineLocal, ordine);
    QFETCH(bool, afterPrints);
    QFETCH(int, rows);
    QFETCH(QString, firstType);
    QFETCH(QString, totale);
    QFETCH(QString, spedizione);
    QFETCH(QString, files);

    std::unique_ptr<OrdineLocalDetailsWidget> summary;
    if (afterPrints) {
        OrdiniLocal::OrdineLocal prints = order(0, 3, 1.0);
        summary = std::make_unique<OrdineLocalDetailsWidget>(prints);
        summary->setOrdine(ordine);
    } else {
        summary = std::make_unique<OrdineLocalDetailsWidget>(ordine);
    }
    auto *table = child<QTableView>(summary.get(), "tableViewRighe");
    QCOMPARE(table->model()->rowCount(), rows);
    if (rows > 0)
        QCOMPARE(table->model()->index(0, 1).data().toString(), firstType);
    QCOMPARE(text(summary.get(), "labelTotale"), totale);
    QCOMPARE(text(summary.get(), "labelTotale2"), totale);
    QCOMPARE(text(summary.get(), "labelSpedizione"), spedizione);
    const QStringList lines = text(summary.get(), "labelTopDescriptionRiepilogo").split(QStringLiteral("\r\n"));
    QCOMPARE(lines.value(0), QStringLiteral("Ordine del 7 marzo 2026 alle 09:05"));
    QCOMPARE(lines.value(1), files);
    QCOMPARE(lines.size(), 2);
    // The caller's record is never changed.
    QCOMPARE(ordine.Note, QStringLiteral("Consegna in negozio"));
}

void TestOrderViews::summaryReadOnlyAndTexts()
{
    const QString longName = QStringLiteral("Fotostudio Rossi & Figli di Bartolomeo Rossi, Via Lunga 1234");
    OrdiniLocal::OrdineLocal ordine = order(0, 1, 0, longName);
    OrdineLocalDetailsWidget summary(ordine);
    summary.show();
    QVERIFY(QTest::qWaitForWindowExposed(&summary));
    auto *cliente = child<QLineEdit>(&summary, "clienteFinale");
    auto *note = child<QPlainTextEdit>(&summary, "note");

    // The title block cuts the customer to 200 pixels; the field keeps the whole text.
    const QStringList lines = text(&summary, "labelTopDescriptionRiepilogo").split(QStringLiteral("\r\n"));
    QCOMPARE(lines.size(), 3);
    QVERIFY(lines.at(2).startsWith(QStringLiteral("Cliente Finale: Fotostudio")));
    QVERIFY(lines.at(2).endsWith(QChar(0x2026)));
    QVERIFY(QFontMetrics(summary.font()).horizontalAdvance(lines.at(2).mid(16)) <= 200);
    QCOMPARE(cliente->text(), longName);

    // Texts as typed, not trimmed.
    const QString originalCliente = cliente->styleSheet();
    const QString originalNote = note->styleSheet();
    QVERIFY(!cliente->isReadOnly() && !note->isReadOnly());
    cliente->setText(QStringLiteral("  Bianchi  "));
    note->setPlainText(QStringLiteral("riga 1\n riga 2 "));
    QCOMPARE(summary.clienteFinale(), QStringLiteral("  Bianchi  "));
    QCOMPARE(summary.note(), QStringLiteral("riga 1\n riga 2 "));

    summary.setReadOnly(true);
    summary.setReadOnly(true);
    QVERIFY(cliente->isReadOnly() && note->isReadOnly());
    QCOMPARE(cliente->styleSheet().count(QStringLiteral("rgb(246,246,246); }")), 1);
    QCOMPARE(note->styleSheet().count(QStringLiteral("rgb(246,246,246); }")), 1);
    summary.setReadOnly(false);
    QVERIFY(!cliente->isReadOnly() && !note->isReadOnly());
    QCOMPARE(cliente->styleSheet(), originalCliente);
    QCOMPARE(note->styleSheet(), originalNote);

    // setOrdine shows the order's values again.
    summary.setOrdine(ordine);
    QCOMPARE(summary.clienteFinale(), longName);

    // Tabbing into the widget puts the cursor in the end-customer field.
    QWidget outer;
    QLineEdit before(&outer);
    OrdineLocalDetailsWidget inner(ordine, &outer);
    inner.setFocusPolicy(Qt::TabFocus);
    auto *layout = new QVBoxLayout(&outer);
    layout->addWidget(&before);
    layout->addWidget(&inner);
    QWidget::setTabOrder(&before, &inner);
    outer.show();
    QVERIFY(QTest::qWaitForWindowActive(&outer));
    before.setFocus();
    QTest::keyClick(&before, Qt::Key_Tab);
    QTRY_COMPARE(QApplication::focusWidget(), child<QLineEdit>(&inner, "clienteFinale"));
}

void TestOrderViews::summaryOpensRowDetails()
{
    OrdiniLocal::OrdineLocal prints = order(0, 2);
    prints.righeStampa[1].Qta = 3;
    prints.righeStampa[1].Prezzo = 0.5;
    OrdineLocalDetailsWidget summary(prints);
    summary.resize(799, 567);
    summary.show();
    QVERIFY(QTest::qWaitForWindowExposed(&summary));
    saveShot(&summary, QStringLiteral("order-summary"));
    auto *table = child<QTableView>(&summary, "tableViewRighe");

    ModalAnswerer answerer;
    QStringList opened;
    Fields fields;
    auto record = [&](QWidget *dialog) {
        opened << QString::fromLatin1(dialog->metaObject()->className());
        fields = rowDetails(dialog);
        dialog->close();
    };

    // With no current row the context action opens nothing.
    QAction *dettagli = summary.findChild<QAction *>(QStringLiteral("actionDettagli"));
    QVERIFY(dettagli);
    QVERIFY(table->actions().contains(dettagli));
    dettagli->trigger();
    QTest::qWait(50);
    QCOMPARE(answerer.count(), 0);

    // A right-button double click opens nothing; a left one the row's details.
    const QRect cell = table->visualRect(table->model()->index(1, 0));
    QTest::mouseDClick(table->viewport(), Qt::RightButton, Qt::NoModifier, cell.center());
    QTest::qWait(50);
    QCOMPARE(answerer.count(), 0);
    answerer.answerWith(record);
    QTest::mouseDClick(table->viewport(), Qt::LeftButton, Qt::NoModifier, cell.center());
    QVERIFY(answerer.waitForCount(1));
    QCOMPARE(opened, QStringList{"RigheOrdineStampaLocalDetails"});
    QCOMPARE(fields.value("qta"), QStringLiteral("3"));
    QCOMPARE(fields.value("prezzo"), "0,50 " + euro);

    // The context action on the current row; a file order opens the file row's details.
    OrdiniLocal::OrdineLocal files = order(2, 1);
    summary.setOrdine(files);
    table->setCurrentIndex(table->model()->index(1, 2));
    answerer.answerWith(record);
    dettagli->trigger();
    QVERIFY(answerer.waitForCount(2));
    QCOMPARE(opened.last(), QStringLiteral("RigheOrdineFileLocalDetails"));
    QCOMPARE(fields.value("FileNome"), QStringLiteral("doc1.pdf"));
    QCOMPARE(answerer.unexpected(), 0);
}

// ---------------------------------------------------------------------------------------
// Row details dialogs

void TestOrderViews::localRowDetails_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<bool>("deleted");
    QTest::addColumn<QString>("descrizione");
    QTest::addColumn<Fields>("expected");

    const QString folder = QStringLiteral("(folder)");
    QTest::newRow("file row, file on disk")
        << 1 << false << "Relazione.pdf"
        << Fields{{"codice", "artfile"}, {"qta", "1"}, {"prezzo", "0" + euro}, {"FileNome", "relazione.pdf"},
                  {"FilePercorso", folder}, {"FileDimensione", "4.77 MB"}, {"FileDataModifica", "(date)"}};
    QTest::newRow("file row, file deleted")
        << 1 << true << "Relazione.pdf"
        << Fields{{"codice", "artfile"}, {"qta", "1"}, {"prezzo", "0" + euro}, {"FileNome", "relazione.pdf"},
                  {"FilePercorso", folder}, {"FileDimensione", "0 byte"}, {"FileDataModifica", ""}};
    QTest::newRow("print row, 3 at 0.50")
        << 2 << false << "Stampa 10x15 lucida"
        << Fields{{"codice", "ST1015"}, {"qta", "3"}, {"prezzo", "0,50 " + euro}, {"FileNome", "relazione.pdf"},
                  {"FilePercorso", folder}, {"FileDimensione", "4.77 MB"}, {"FileDataModifica", "(date)"}};
    QTest::newRow("print row, long description from its start")
        << 2 << false << QString(300, QLatin1Char('x')) + "fine"
        << Fields{{"codice", "ST1015"}, {"qta", "3"}, {"prezzo", "0,50 " + euro}, {"FileNome", "relazione.pdf"},
                  {"FilePercorso", folder}, {"FileDimensione", "4.77 MB"}, {"FileDataModifica", "(date)"}};
}

void TestOrderViews::localRowDetails()
{
    QFETCH(int, kind);
    QFETCH(bool, deleted);
    QFETCH(QString, descrizione);
    QFETCH(Fields, expected);

    const QString path = fixture->bytesFile(QStringLiteral("relazione.pdf"), 5000000);
    const QString date = QFileInfo(path).lastModified().toString(QStringLiteral("dd/MM/yyyy hh:mm:ss"));
    if (deleted)
        QVERIFY(QFile::remove(path));
    std::unique_ptr<QDialog> dialog;
    if (kind == 1) {
        OrdiniLocal::OrdineRigaFileLocal riga = fileRow(path);
        riga.Descrizione = descrizione;
        // The stored size is not what is shown.
        riga.FileSize = 99;
        dialog = std::make_unique<RigheOrdineFileLocalDetails>(riga);
    } else {
        OrdiniLocal::OrdineRigaStampaLocal riga = printRow(path, 3, 0.5);
        riga.Descrizione = descrizione;
        dialog = std::make_unique<RigheOrdineStampaLocalDetails>(riga);
    }
    Fields shown = rowDetails(dialog.get());
    expected.insert(QStringLiteral("descrizione"), descrizione);
    if (expected.value("FilePercorso") == QLatin1String("(folder)"))
        expected.insert(QStringLiteral("FilePercorso"), QFileInfo(path).absolutePath());
    if (expected.value("FileDataModifica") == QLatin1String("(date)"))
        expected.insert(QStringLiteral("FileDataModifica"), date);
    QCOMPARE(shown, expected);
    QCOMPARE(dialog->windowFlags() & Qt::WindowContextHelpButtonHint, Qt::WindowFlags());
    QCOMPARE(dialog->windowTitle(), kind == 1 ? QStringLiteral("Invio File - Dettagli")
                                              : QStringLiteral("Stampa Fotografica - Dettagli"));

    if (kind == 1 && !deleted) {
        dialog->show();
        QVERIFY(QTest::qWaitForWindowExposed(dialog.get()));
        saveShot(dialog.get(), QStringLiteral("row-details-file"));
    }
    // "Chiudi" closes the dialog.
    dialog->show();
    QTest::mouseClick(child<QToolButton>(dialog.get(), "toolButtonClose"), Qt::LeftButton);
    QVERIFY(dialog->isHidden());
}

void TestOrderViews::sentRowDetails_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QByteArray>("codice");
    QTest::addColumn<float>("prezzo");
    QTest::addColumn<qlonglong>("dimensione");
    QTest::addColumn<Fields>("expected");

    const QString hidden = QStringLiteral("(hidden)");
    QTest::newRow("file row")
        << 1 << QByteArray("INVIOFILE") << 0.0f << qlonglong(123456789)
        << Fields{{"codice", "INVIOFILE"}, {"descrizione", "Caffè & così"}, {"qta", "2"}, {"prezzo", "0,00 " + euro},
                  {"FileNome", "foto è.jpg"}, {"FilePercorso", hidden}, {"FileDimensione", "117.74 MB"},
                  {"FileDataModifica", hidden}};
    QTest::newRow("print row, thousands")
        << 2 << QByteArray("ST1015") << 1234.5f << qlonglong(1536)
        << Fields{{"codice", "ST1015"}, {"descrizione", "Caffè & così"}, {"qta", "2"}, {"prezzo", "1.234,50 " + euro},
                  {"FileNome", "foto è.jpg"}, {"FilePercorso", hidden}, {"FileDimensione", "1.5 KB"},
                  {"FileDataModifica", hidden}};
    QTest::newRow("text cut at its first NUL")
        << 2 << QByteArray("ST\0dopo", 7) << 0.5f << qlonglong(0)
        << Fields{{"codice", "ST"}, {"descrizione", "Caffè & così"}, {"qta", "2"}, {"prezzo", "0,50 " + euro},
                  {"FileNome", "foto è.jpg"}, {"FilePercorso", hidden}, {"FileDimensione", "0 byte"},
                  {"FileDataModifica", hidden}};
    QTest::newRow("negative size read as unsigned")
        << 1 << QByteArray("INVIOFILE") << 0.0f << qlonglong(-1)
        << Fields{{"codice", "INVIOFILE"}, {"descrizione", "Caffè & così"}, {"qta", "2"}, {"prezzo", "0,00 " + euro},
                  {"FileNome", "foto è.jpg"}, {"FilePercorso", hidden}, {"FileDimensione", "1.71799e+10 GB"},
                  {"FileDataModifica", hidden}};
}

void TestOrderViews::sentRowDetails()
{
    QFETCH(int, kind);
    QFETCH(QByteArray, codice);
    QFETCH(float, prezzo);
    QFETCH(qlonglong, dimensione);
    QFETCH(Fields, expected);

    Ordine ordine(nullptr);
    auto fill = [&](OrdineRiga &riga, File &file) {
        riga.codice_articolo = std::string(codice.constData(), size_t(codice.size()));
        riga.descrizione = QStringLiteral("Caffè & così").toStdString();
        riga.quantita = 2;
        riga.prezzo = prezzo;
        file.nome_file = QStringLiteral("foto è.jpg").toStdString();
        file.dimensione = dimensione;
    };
    std::unique_ptr<QDialog> dialog;
    OrdineRigaFile rigaFile(&ordine);
    OrdineRigaStampa rigaStampa(&ordine);
    if (kind == 1) {
        fill(rigaFile, rigaFile.file);
        dialog = std::make_unique<RigheOrdineFileLocalDetails>(&rigaFile);
    } else {
        fill(rigaStampa, rigaStampa.file);
        dialog = std::make_unique<RigheOrdineStampaLocalDetails>(&rigaStampa);
    }
    QCOMPARE(rowDetails(dialog.get()), expected);
    QVERIFY(child<QLabel>(dialog.get(), "labelFilePercorso")->isHidden());
    QVERIFY(child<QLabel>(dialog.get(), "labelFileDataModifica")->isHidden());
    // The row stays the caller's and is not changed.
    dialog.reset();
    QCOMPARE(rigaFile.quantita + rigaStampa.quantita, 2);
}

// ---------------------------------------------------------------------------------------
// Order card and local order details window

void TestOrderViews::cardAndDetailsWindow_data()
{
    QTest::addColumn<int>("files");
    QTest::addColumn<int>("prints");
    QTest::addColumn<bool>("attivo");
    QTest::addColumn<bool>("loggedIn");
    QTest::addColumn<QString>("icon");
    QTest::addColumn<QString>("price");

    const struct {
        const char *name;
        int files;
        int prints;
        const char *icon;
        const char *price;
    } kinds[] = {
        {"file rows", 2, 0, ":/Resource/256x256/file.png", "0,00"},
        {"print rows", 0, 2, ":/Resource/256x256/photo.png", "12,50"},
        {"both", 1, 2, ":/Resource/256x256/GenericOrder.png", "12,50"},
        {"no rows", 0, 0, ":/Resource/256x256/GenericOrder.png", "0,00"},
    };
    for (const auto &k : kinds) {
        for (bool attivo : {true, false}) {
            for (bool loggedIn : {true, false}) {
                QTest::newRow(qPrintable(QStringLiteral("%1, %2, %3")
                                             .arg(QString::fromLatin1(k.name), attivo ? "queued" : "saved",
                                                  loggedIn ? "logged in" : "nobody logged in")))
                    << k.files << k.prints << attivo << loggedIn << QString::fromLatin1(k.icon)
                    << QString::fromLatin1(k.price) + euro;
            }
        }
    }
}

void TestOrderViews::cardAndDetailsWindow()
{
    QFETCH(int, files);
    QFETCH(int, prints);
    QFETCH(bool, attivo);
    QFETCH(bool, loggedIn);
    QFETCH(QString, icon);
    QFETCH(QString, price);

    if (loggedIn)
        KorvexGlobals::utente = new Utente();
    // Shipping 2.50 counts only for an order with a positive price.
    OrdiniLocal::OrdineLocal ordine = order(files, prints, 2.5);
    ordine.Attivo = attivo;

    OrdineUploadItemWidget card(ordine);
    QCOMPARE(card.getOrdineNumFiles(), files + prints);
    QCOMPARE(text(&card, "labelText"), QStringLiteral("Ordine del 07/03/2026 - 09:05:30"));
    QCOMPARE(text(&card, "labelDescription"), QStringLiteral("File da inviare: %1").arg(files + prints));
    QCOMPARE(text(&card, "labelPrice"), price);
    QCOMPARE(child<QLabel>(&card, "label")->pixmap(Qt::ReturnByValue).toImage(), QPixmap(icon).toImage());

    auto shown = [](QWidget *window, const char *name) { return !child<QToolButton>(window, name)->isHidden(); };
    auto enabled = [](QWidget *window, const char *name) { return child<QToolButton>(window, name)->isEnabled(); };
    QCOMPARE(shown(&card, "toolButtonAnnulla"), attivo);
    QCOMPARE(shown(&card, "toolButtonUpload"), !attivo);
    QCOMPARE(shown(&card, "toolButtonEdit"), !attivo);
    QVERIFY(shown(&card, "toolButtonDetails") && shown(&card, "toolButtonRemove"));
    QCOMPARE(enabled(&card, "toolButtonUpload"), loggedIn);
    QVERIFY(enabled(&card, "toolButtonEdit"));

    OrdineLocalDetails details(ordine);
    QCOMPARE(shown(&details, "toolButtonAnnulla"), attivo);
    QCOMPARE(shown(&details, "toolButtonUpload"), !attivo);
    // A queued order is edited only once its sending is cancelled, as on the card.
    QCOMPARE(shown(&details, "toolButtonEdit"), !attivo);
    QVERIFY(shown(&details, "toolButtonRemove") && shown(&details, "toolButtonClose"));
    QCOMPARE(enabled(&details, "toolButtonUpload"), loggedIn);
    QVERIFY(child<QLineEdit>(&details, "clienteFinale")->isReadOnly());
    QVERIFY(child<QPlainTextEdit>(&details, "note")->isReadOnly());
    QCOMPARE(text(&details, "labelTotale"), prints && !files ? price : "0,00" + euro);

    if (files == 1 && prints == 2 && attivo && loggedIn) {
        card.resize(566, 94);
        card.show();
        QVERIFY(QTest::qWaitForWindowExposed(&card));
        saveShot(&card, QStringLiteral("order-card"));
    }
    if (files == 0 && prints == 2 && !attivo && loggedIn) {
        details.show();
        QVERIFY(QTest::qWaitForWindowExposed(&details));
        saveShot(&details, QStringLiteral("details-window"));
    }
}

void TestOrderViews::cardElidesTheCustomer()
{
    const QString longName = QStringLiteral("Fotostudio Rossi & Figli di Bartolomeo Rossi, Via Lunga 1234");
    OrdiniLocal::OrdineLocal ordine = order(0, 1, 0, longName);
    OrdineUploadItemWidget card(ordine);
    const QStringList lines = text(&card, "labelDescription").split(QStringLiteral("\r\n"));
    QCOMPARE(lines.size(), 2);
    QVERIFY(lines.at(0).startsWith(QStringLiteral("Cliente finale: Fotostudio")));
    QVERIFY(lines.at(0).endsWith(QChar(0x2026)));
    QVERIFY(QFontMetrics(card.font()).horizontalAdvance(lines.at(0).mid(16)) <= 165);
    QCOMPARE(lines.at(1), QStringLiteral("File da inviare: 1"));
    // Shown as typed, never as markup.
    QCOMPARE(child<QLabel>(&card, "labelDescription")->textFormat(), Qt::PlainText);
}

void TestOrderViews::requestsAfterTheWindowClosed_data()
{
    QTest::addColumn<bool>("inDetails"); // the button of the details window, else of the card
    QTest::addColumn<bool>("attivo");
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("request"); // empty: none

    QTest::newRow("card: cancel") << false << true << "toolButtonAnnulla" << "stop";
    QTest::newRow("card: send") << false << false << "toolButtonUpload" << "upload";
    QTest::newRow("card: edit") << false << false << "toolButtonEdit" << "edit";
    QTest::newRow("card: delete") << false << true << "toolButtonRemove" << "remove";
    QTest::newRow("details: cancel") << true << true << "toolButtonAnnulla" << "stop";
    QTest::newRow("details: send") << true << false << "toolButtonUpload" << "upload";
    QTest::newRow("details: edit") << true << false << "toolButtonEdit" << "edit";
    QTest::newRow("details: delete") << true << true << "toolButtonRemove" << "remove";
    QTest::newRow("details: close") << true << true << "toolButtonClose" << "";
    QTest::newRow("details: close box") << true << false << "(close box)" << "";
}

void TestOrderViews::requestsAfterTheWindowClosed()
{
    QFETCH(bool, inDetails);
    QFETCH(bool, attivo);
    QFETCH(QString, button);
    QFETCH(QString, request);

    KorvexGlobals::utente = new Utente();
    OrdiniLocal::OrdineLocal ordine = order(1, 1);
    ordine.Attivo = attivo;
    OrdineUploadItemWidget card(ordine);
    card.show();
    QVERIFY(QTest::qWaitForWindowExposed(&card));

    QStringList requests;
    bool detailsShownAtRequest = false;
    auto note = [&](const QString &kind) {
        return [&, kind](const QString &uuid) {
            requests << kind + QLatin1Char(' ') + uuid;
            for (QWidget *w : QApplication::topLevelWidgets()) {
                if (qobject_cast<OrdineLocalDetails *>(w) && w->isVisible())
                    detailsShownAtRequest = true;
            }
        };
    };
    connect(&card, &OrdineUploadItemWidget::stopOrderRequest, this, note("stop"));
    connect(&card, &OrdineUploadItemWidget::uploadOrderRequest, this, note("upload"));
    connect(&card, &OrdineUploadItemWidget::editOrderRequest, this, note("edit"));
    connect(&card, &OrdineUploadItemWidget::removeOrderRequest, this, note("remove"));

    if (inDetails) {
        ModalAnswerer answerer;
        answerer.answerWith([button](QWidget *window) {
            if (button == QLatin1String("(close box)"))
                window->close();
            else
                QTest::mouseClick(window->findChild<QToolButton *>(button), Qt::LeftButton);
        });
        QTest::mouseClick(child<QToolButton>(&card, "toolButtonDetails"), Qt::LeftButton);
        QCOMPARE(answerer.count(), 1);
        QCOMPARE(answerer.last().className, QStringLiteral("OrdineLocalDetails"));
        QCOMPARE(answerer.unexpected(), 0);
    } else {
        QTest::mouseClick(child<QToolButton>(&card, qPrintable(button)), Qt::LeftButton);
    }
    const QStringList expected = request.isEmpty() ? QStringList() : QStringList{request + QLatin1Char(' ') + ordine.Uuid};
    QCOMPARE(requests, expected);
    QVERIFY(!detailsShownAtRequest);
    // The details window deleted itself when closed.
    QTRY_VERIFY(card.findChildren<OrdineLocalDetails *>().isEmpty());
}

QTEST_MAIN(TestOrderViews)
#include "tst_orderviews.moc"
