// The tables of sent orders and of their rows, and the details window of one sent order: what
// they show of the orders service's records, in which types and formats, and their removals
// against the laboratory simulator.

#include <QtTest>

#include <QAbstractItemModelTester>
#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTableView>
#include <QTextDocument>
#include <QToolButton>

#include <memory>
#include <mutex>

#include "korvexglobals.h"
#include "labsimulator.h"
#include "modalanswerer.h"
#include "ordine.h"
#include "ordinedetails.h"
#include "ordinerigafile.h"
#include "ordinerigastampa.h"
#include "ordinetablemodel.h"
#include "ordini.h"
#include "righeordinetablemodel.h"
#include "utente.h"
#include "wssettingslock.h"

namespace {

// 2024-05-01T23:30:00Z: already 2 May east of Greenwich.
const time_t lateEvening = 1714606200;

std::unique_ptr<Ordine> order(int numero = 7, float totale = 12.5f)
{
    auto o = std::make_unique<Ordine>(nullptr);
    o->numero = numero;
    o->totale = totale;
    o->data = lateEvening;
    o->data_ultima_modifica = lateEvening + 86400;
    o->stato = 5;
    o->utente->username = "demo";
    return o;
}

void screenshot(QWidget *window, const QString &name)
{
    const QString folder = qEnvironmentVariable("KORVEX_SCREENSHOT_DIR");
    if (folder.isEmpty())
        return;
    QDir().mkpath(folder);
    window->grab().save(folder + QLatin1Char('/') + name + QStringLiteral(".png"));
}

} // namespace

class TestOrdiniDetails : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanupTestCase();

    void modelsUnderTester();
    void intestatario_data();
    void intestatario();
    void stateNames_data();
    void stateNames();
    void valuesKeepTheirTypes();
    void datesInLocalTime();
    void checkBoxes();
    void removeAllOfAnEmptyModel();
    void removeOrder_data();
    void removeOrder();

    void rowKinds_data();
    void rowKinds();
    void rowNumbers_data();
    void rowNumbers();
    void removeRow();

    void descriptionLines_data();
    void descriptionLines();
    void amountsAndState();
    void legendWithoutAState();
    void readOnlyTwice();
    void rowDoubleClicks_data();
    void rowDoubleClicks();
    void detailsActionWithoutClick();

private:
    // The demo customer's orders as the orders service lists them (owned by the caller).
    std::vector<Ordine *> listed();

    std::unique_ptr<LabSimulator> sim;
};

void TestOrdiniDetails::initTestCase()
{
    Q_INIT_RESOURCE(application);
    // Far east of Greenwich, so that a date taken in UTC shows the wrong day.
    qputenv("TZ", "Pacific/Kiritimati");
    tzset();
    sim = std::make_unique<LabSimulator>();
    QVERIFY2(sim->start(), qPrintable(sim->errorString()));
    std::lock_guard<std::mutex> lock(korvexWsSettingsMutex());
    Ordini::WsEndpoint = sim->baseUrl().toStdString();
    Ordini::WsUsername = LabSimulator::DemoUser;
    Ordini::WsPassword = LabSimulator::DemoPassword;
    Ordini::WsOperatorAuth = false;
}

void TestOrdiniDetails::init()
{
    QLocale::setDefault(QLocale::c());
    KorvexGlobals::statusMap.clear();
    QVERIFY(sim->resetKnobs());
}

void TestOrdiniDetails::cleanupTestCase()
{
    sim.reset();
}

std::vector<Ordine *> TestOrdiniDetails::listed()
{
    Ordine query(nullptr);
    return query.listaIntestazioni(LabSimulator::DemoUser, std::string(), 0, 0, std::string(), std::string(), {-1}, 0, 0,
                                   std::string());
}

// ---------------------------------------------------------------------------------------
// Sent orders table

void TestOrdiniDetails::modelsUnderTester()
{
    auto a = order(1), b = order(2);
    b->utente->ragione_sociale = "Foto Rossi";
    OrdineTableModel orders;
    QAbstractItemModelTester ordersTester(&orders, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QCOMPARE(orders.rowCount(), 0);
    QCOMPARE(orders.columnCount(), 8);
    QCOMPARE(orders.headerData(7, Qt::Horizontal).toString(), QStringLiteral("Totale \u20AC"));
    orders.SetVector({a.get(), b.get()});
    orders.selectionCheckboxEnabled(false);
    orders.removeAll();
    orders.SetVector({b.get()});

    auto *file = new OrdineRigaFile(a.get());
    a->righe.push_back(file);
    a->righe.push_back(new OrdineRiga(a.get()));
    RigheOrdineTableModel rows;
    QAbstractItemModelTester rowsTester(&rows, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QCOMPARE(rows.rowCount(), 0);
    QCOMPARE(rows.columnCount(), 5);
    rows.SetVector(a->righe);
    QCOMPARE(rows.rowCount(), 2);
    QCOMPARE(rows.rowCount(rows.index(0, 0)), 0);
    QCOMPARE(orders.columnCount(orders.index(0, 0)), 0);
}

void TestOrdiniDetails::intestatario_data()
{
    QTest::addColumn<QString>("ragioneSociale");
    QTest::addColumn<QString>("nome");
    QTest::addColumn<QString>("cognome");
    QTest::addColumn<QString>("shown");

    QTest::newRow("ragione sociale") << "Foto Rossi" << "Mario" << "Rossi" << "Foto Rossi";
    QTest::newRow("nome e cognome") << "" << "Mario" << "Rossi" << "Mario Rossi";
    QTest::newRow("accented") << "" << "Niccolò" << "Città" << "Niccolò Città";
    QTest::newRow("nothing") << "" << "" << "" << " ";
}

void TestOrdiniDetails::intestatario()
{
    QFETCH(QString, ragioneSociale);
    QFETCH(QString, nome);
    QFETCH(QString, cognome);
    QFETCH(QString, shown);

    auto o = order();
    o->utente->ragione_sociale = ragioneSociale.toStdString();
    o->utente->nome = nome.toStdString();
    o->utente->cognome = cognome.toStdString();
    OrdineTableModel model;
    model.SetVector({o.get()});
    QCOMPARE(model.index(0, 3).data().toString(), shown);
}

void TestOrdiniDetails::stateNames_data()
{
    QTest::addColumn<QVariantMap>("map"); // empty: the model's own
    QTest::addColumn<int>("stato");
    QTest::addColumn<QString>("name");

    QTest::newRow("default map") << QVariantMap() << 8 << "In attesa di pagamento";
    QTest::newRow("missing number") << QVariantMap() << 12 << "";
    QTest::newRow("two names for one number") << QVariantMap{{"Spedito", 7}, {"Consegnato", 7}} << 7 << "Consegnato";
    QTest::newRow("replaced, not merged") << QVariantMap{{"Pendente", 2}} << 5 << "";
    QTest::newRow("replaced map") << QVariantMap{{"Lavorazione", 5}} << 5 << "Lavorazione";
}

void TestOrdiniDetails::stateNames()
{
    QFETCH(QVariantMap, map);
    QFETCH(int, stato);
    QFETCH(QString, name);

    auto o = order();
    o->stato = stato;
    OrdineTableModel model;
    if (!map.isEmpty()) {
        QMap<QString, int> states;
        for (auto it = map.cbegin(); it != map.cend(); ++it)
            states.insert(it.key(), it.value().toInt());
        model.setStatusMap(states);
    }
    model.SetVector({o.get()});
    QCOMPARE(model.index(0, 5).data().toString(), name);
}

void TestOrdiniDetails::valuesKeepTheirTypes()
{
    auto a = order(9, 12.345f), b = order(10, 1234.5f);
    OrdineTableModel model;
    model.SetVector({a.get(), b.get()});
    QLocale::setDefault(QLocale(QLocale::Italian, QLocale::Italy));
    QCOMPARE(model.index(0, 7).data().type(), QVariant::Double);
    QCOMPARE(model.index(0, 7).data().toDouble(), 12.35);
    QCOMPARE(model.index(1, 7).data().toDouble(), 1234.5);
    QCOMPARE(model.index(0, 0).data().type(), QVariant::Int);
    QCOMPARE(model.index(0, 1).data().type(), QVariant::Date);
    QCOMPARE(model.index(0, 7).data(Qt::TextAlignmentRole).toInt(), int(Qt::AlignRight | Qt::AlignVCenter));
    QCOMPARE(model.index(0, 4).data(Qt::TextAlignmentRole).toInt(), int(Qt::AlignLeft | Qt::AlignVCenter));
    QVERIFY(!model.index(0, 8).data().isValid());
    QVERIFY(!model.index(2, 0).data().isValid());
    QCOMPARE(model.headerData(1, Qt::Vertical).toString(), QStringLiteral("2"));
    QVERIFY(!model.headerData(8, Qt::Horizontal).isValid());
}

void TestOrdiniDetails::datesInLocalTime()
{
    auto o = order();
    OrdineTableModel model;
    model.SetVector({o.get()});
    QCOMPARE(model.index(0, 1).data().toDate(), QDate(2024, 5, 2));
    QCOMPARE(model.index(0, 6).data().toDate(), QDate(2024, 5, 3));
}

void TestOrdiniDetails::checkBoxes()
{
    auto a = order(1), b = order(2);
    OrdineTableModel model;
    model.SetVector({a.get(), b.get()});
    QVERIFY(model.flags(model.index(0, 0)) & Qt::ItemIsUserCheckable);
    QVERIFY(model.setData(model.index(1, 0), Qt::Checked, Qt::CheckStateRole));
    QCOMPARE(model.getCheckedIndexes(), QList<int>{1});
    QVERIFY(!model.setData(model.index(1, 2), Qt::Checked, Qt::CheckStateRole));

    model.selectionCheckboxEnabled(false);
    QVERIFY(!model.index(0, 0).data(Qt::CheckStateRole).isValid());
    QVERIFY(!model.setData(model.index(0, 0), Qt::Checked, Qt::CheckStateRole));
    QVERIFY(!(model.flags(model.index(0, 0)) & Qt::ItemIsUserCheckable));
}

void TestOrdiniDetails::removeAllOfAnEmptyModel()
{
    OrdineTableModel model;
    QSignalSpy reset(&model, &QAbstractItemModel::modelReset);
    model.removeAll();
    QCOMPARE(reset.count(), 0);
}

void TestOrdiniDetails::removeOrder_data()
{
    QTest::addColumn<QString>("knob"); // "", "false", "fault"
    QTest::addColumn<int>("count");
    QTest::addColumn<bool>("removed");

    QTest::newRow("confirmed") << "" << 1 << true;
    QTest::newRow("the service says no") << "false" << 1 << false;
    QTest::newRow("a fault") << "fault" << 1 << false;
    QTest::newRow("two rows at once") << "" << 2 << false;
}

void TestOrdiniDetails::removeOrder()
{
    QFETCH(QString, knob);
    QFETCH(int, count);
    QFETCH(bool, removed);

    const QString first = sim->seedOrder({{QStringLiteral("cliente_finale"), QStringLiteral("Primo")}});
    const QString second = sim->seedOrder({{QStringLiteral("cliente_finale"), QStringLiteral("Secondo")}});
    QVERIFY(!first.isEmpty() && !second.isEmpty());
    std::vector<Ordine *> orders = listed();
    QCOMPARE(orders.size(), size_t(2));
    OrdineTableModel model;
    model.SetVector(orders);
    QSignalSpy before(&model, &QAbstractItemModel::rowsAboutToBeRemoved);
    QSignalSpy after(&model, &QAbstractItemModel::rowsRemoved);
    if (knob == QLatin1String("false"))
        QVERIFY(sim->answerFalse(QStringLiteral("cancellaOrdine")));
    if (knob == QLatin1String("fault"))
        QVERIFY(sim->injectFault(QStringLiteral("cancellaOrdine"), QStringLiteral("Ordine in lavorazione")));

    bool answer = false;
    bool threw = false;
    try {
        answer = model.removeRows(0, count);
    } catch (const Ordine::OrdineException &e) {
        threw = true;
        QCOMPARE(QString::fromStdString(e.message), QStringLiteral("Ordine in lavorazione"));
    }
    QCOMPARE(threw, knob == QLatin1String("fault"));
    QCOMPARE(answer, removed);
    QCOMPARE(model.rowCount(), removed ? 1 : 2);
    QCOMPARE(before.count(), removed ? 1 : 0);
    QCOMPARE(after.count(), removed ? 1 : 0);
    if (removed) {
        QCOMPARE(after.first().at(1).toInt(), 0);
        QCOMPARE(after.first().at(2).toInt(), 0);
        QCOMPARE(model.index(0, 4).data().toString(), QStringLiteral("Secondo"));
    }
    QCOMPARE(sim->counts().orders, removed ? 1 : 2);
    for (Ordine *o : orders)
        delete o;
    sim->deleteOrder(second);
    if (!removed)
        sim->deleteOrder(first);
}

// ---------------------------------------------------------------------------------------
// Rows table

void TestOrdiniDetails::rowKinds_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("name");

    QTest::newRow("plain") << 0 << "Altro";
    QTest::newRow("file") << 1 << "File";
    QTest::newRow("print") << 2 << "Stampa";
}

void TestOrdiniDetails::rowKinds()
{
    QFETCH(int, kind);
    QFETCH(QString, name);

    auto o = order();
    OrdineRiga *riga = kind == 1 ? new OrdineRigaFile(o.get()) : kind == 2 ? new OrdineRigaStampa(o.get()) : new OrdineRiga(o.get());
    o->righe.push_back(riga);
    RigheOrdineTableModel model;
    model.SetVector(o->righe);
    QCOMPARE(model.index(0, 1).data().toString(), name);
    QCOMPARE(model.tipoRiga(name), kind);
    QCOMPARE(model.tipoRiga(QStringLiteral("Sconosciuto")), 0);
}

void TestOrdiniDetails::rowNumbers_data()
{
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<QString>("price");

    QTest::newRow("it_IT") << QLocale(QLocale::Italian, QLocale::Italy) << QStringLiteral("0,1500 \u20AC");
    QTest::newRow("en_US") << QLocale(QLocale::English, QLocale::UnitedStates) << QStringLiteral("0.1500 \u20AC");
}

void TestOrdiniDetails::rowNumbers()
{
    QFETCH(QLocale, locale);
    QFETCH(QString, price);

    QLocale::setDefault(locale);
    auto o = order();
    auto *riga = new OrdineRiga(o.get());
    riga->prezzo = 0.15f;
    riga->quantita = 3;
    riga->codice_articolo = "ST10";
    riga->descrizione = "Stampa 10x15 lucida";
    o->righe.push_back(riga);
    RigheOrdineTableModel model;
    model.SetVector(o->righe);
    QCOMPARE(model.index(0, 4).data().toString(), price);
    QCOMPARE(model.index(0, 3).data().toString(), QStringLiteral("3"));
    QCOMPARE(model.index(0, 3).data(Qt::TextAlignmentRole).toInt(), int(Qt::AlignRight | Qt::AlignVCenter));
    QCOMPARE(model.index(0, 2).data(Qt::TextAlignmentRole).toInt(), int(Qt::AlignLeft | Qt::AlignVCenter));
    QCOMPARE(model.index(0, 2).data().toString(), QStringLiteral("Stampa 10x15 lucida"));
    QVERIFY(!model.index(0, 5).data().isValid());
}

void TestOrdiniDetails::removeRow()
{
    const QString id = sim->seedOrder(
        {{QStringLiteral("rows"), QJsonArray{QJsonObject{{QStringLiteral("descrizione"), QStringLiteral("uno")}},
                                             QJsonObject{{QStringLiteral("descrizione"), QStringLiteral("due")}}}}});
    QVERIFY(!id.isEmpty());
    Ordine ordine(nullptr);
    QVERIFY(ordine.init(id.toStdString()));
    QCOMPARE(ordine.righe.size(), size_t(2));
    RigheOrdineTableModel model;
    model.SetVector(ordine.righe);
    QSignalSpy after(&model, &QAbstractItemModel::rowsRemoved);

    QVERIFY(!model.removeRows(0, 2));
    QVERIFY(sim->answerFalse(QStringLiteral("cancellaRigaOrdine")));
    QVERIFY(!model.removeRows(0, 1));
    QCOMPARE(model.rowCount(), 2);
    QCOMPARE(after.count(), 0);

    QVERIFY(model.removeRows(1, 1));
    QCOMPARE(model.rowCount(), 1);
    QCOMPARE(after.count(), 1);
    QCOMPARE(after.first().at(1).toInt(), 1);
    QCOMPARE(model.index(0, 2).data().toString(), QStringLiteral("uno"));
    QCOMPARE(sim->counts().rows, 1);
    sim->deleteOrder(id);
}

// ---------------------------------------------------------------------------------------
// Details window

void TestOrdiniDetails::descriptionLines_data()
{
    QTest::addColumn<QString>("clienteFinale");
    QTest::addColumn<int>("rows");
    QTest::addColumn<QStringList>("lines");

    QTest::newRow("no end customer, no rows") << "" << 0 << QStringList{"Del 2 maggio 2024 alle 13:30", "0 file inviati"};
    QTest::newRow("end customer and rows")
        << "Rossi" << 2 << QStringList{"Del 2 maggio 2024 alle 13:30", "2 file inviati", "Cliente Finale: Rossi"};
}

void TestOrdiniDetails::descriptionLines()
{
    QFETCH(QString, clienteFinale);
    QFETCH(int, rows);
    QFETCH(QStringList, lines);

    QLocale::setDefault(QLocale(QLocale::Italian, QLocale::Italy));
    auto o = order();
    o->cliente_finale = clienteFinale.toStdString();
    o->note = "Consegna entro venerdì";
    for (int i = 0; i < rows; ++i)
        o->righe.push_back(new OrdineRiga(o.get()));
    OrdineDetails details(o.get());
    QCOMPARE(details.windowTitle(), QStringLiteral("Dettaglio ordine n° 7"));
    QCOMPARE(details.findChild<QLabel *>(QStringLiteral("labelTitle"))->text(), QStringLiteral("Ordine n° 7"));
    QCOMPARE(details.findChild<QLabel *>(QStringLiteral("labelTopDescriptionRiepilogo"))->text(), lines.join(QStringLiteral("\r\n")));
    QCOMPARE(details.findChild<QLineEdit *>(QStringLiteral("clienteFinale"))->text(), clienteFinale);
    QCOMPARE(details.findChild<QPlainTextEdit *>(QStringLiteral("note"))->toPlainText(), QStringLiteral("Consegna entro venerdì"));
    QCOMPARE(details.findChild<QTableView *>(QStringLiteral("tableViewRighe"))->model()->rowCount(), rows);
}

void TestOrdiniDetails::amountsAndState()
{
    QLocale::setDefault(QLocale(QLocale::Italian, QLocale::Italy));
    auto o = order(7, 1234.5f);
    o->spedizione = 5.0f;
    o->stato = 8;
    OrdineDetails details(o.get());
    QCOMPARE(details.findChild<QLabel *>(QStringLiteral("labelTotale"))->text(), QStringLiteral("1.234,50\u20AC"));
    QCOMPARE(details.findChild<QLabel *>(QStringLiteral("labelTotale2"))->text(), QStringLiteral("1.234,50\u20AC"));
    QCOMPARE(details.findChild<QLabel *>(QStringLiteral("labelSpedizione"))->text(), QStringLiteral("5,00\u20AC"));
    QCOMPARE(details.findChild<QLabel *>(QStringLiteral("labelStato"))->text(), QStringLiteral("In attesa di pagamento"));

    KorvexGlobals::statusMap = {{QStringLiteral("Da pagare"), 8}};
    details.setOrdine(o.get());
    QCOMPARE(details.findChild<QLabel *>(QStringLiteral("labelStato"))->text(), QStringLiteral("Da pagare"));
    o->stato = 3;
    details.setOrdine(o.get());
    QCOMPARE(details.findChild<QLabel *>(QStringLiteral("labelStato"))->text(), QString());
}

void TestOrdiniDetails::legendWithoutAState()
{
    KorvexGlobals::statusMap = {{QStringLiteral("Pendente"), 2}, {QStringLiteral("Ricevuto"), 3},
                                {QStringLiteral("In lavorazione"), 5}, {QStringLiteral("Evaso"), 7},
                                {QStringLiteral("In attesa di pagamento"), 8}};
    auto o = order();
    OrdineDetails details(o.get());
    auto *info = details.findChild<QToolButton *>(QStringLiteral("toolButtonOrderStatusInfo"));
    QTextDocument doc;
    doc.setHtml(info->toolTip());
    const QString text = doc.toPlainText();
    QVERIFY2(text.contains(QStringLiteral("\n: L'ordine è in attesa di essere scaricato dagli operatori")), qPrintable(text));
    QVERIFY(text.contains(QStringLiteral("Evaso: L'ordine è stato processato")));
    QVERIFY(text.contains(QStringLiteral("In attesa di pagamento: Ordine inviato e in attesa di pagamento")));
    QVERIFY(!text.contains(QLatin1Char('%')));
    details.setOrdine(o.get());
    QTextDocument again;
    again.setHtml(info->toolTip());
    QCOMPARE(again.toPlainText(), text);
}

void TestOrdiniDetails::readOnlyTwice()
{
    auto o = order();
    OrdineDetails details(o.get());
    auto *cliente = details.findChild<QLineEdit *>(QStringLiteral("clienteFinale"));
    auto *note = details.findChild<QPlainTextEdit *>(QStringLiteral("note"));
    const QString clienteStyle = cliente->styleSheet(), noteStyle = note->styleSheet();
    details.setReadOnly(true);
    details.setReadOnly(true);
    QCOMPARE(cliente->styleSheet().count(QStringLiteral("#clienteFinale { background-color: rgb(246,246,246); }")), 1);
    QCOMPARE(note->styleSheet().count(QStringLiteral("#note { background-color: rgb(246,246,246); }")), 1);
    QVERIFY(cliente->isReadOnly() && note->isReadOnly());
    details.setReadOnly(false);
    QCOMPARE(cliente->styleSheet(), clienteStyle);
    QCOMPARE(note->styleSheet(), noteStyle);
    QVERIFY(!cliente->isReadOnly() && !note->isReadOnly());
}

void TestOrdiniDetails::rowDoubleClicks_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("button");
    QTest::addColumn<QString>("opened"); // class of the window, empty: none

    QTest::newRow("file row") << 0 << int(Qt::LeftButton) << "RigheOrdineFileLocalDetails";
    QTest::newRow("print row") << 1 << int(Qt::LeftButton) << "RigheOrdineStampaLocalDetails";
    QTest::newRow("plain row") << 2 << int(Qt::LeftButton) << "";
    QTest::newRow("file row, right button") << 0 << int(Qt::RightButton) << "";
}

void TestOrdiniDetails::rowDoubleClicks()
{
    QFETCH(int, row);
    QFETCH(int, button);
    QFETCH(QString, opened);

    auto o = order();
    o->cliente_finale = "Studio Bianchi";
    o->note = "Stampe per la mostra";
    auto *file = new OrdineRigaFile(o.get());
    file->codice_articolo = "FILE";
    file->descrizione = "Invio file";
    file->file.nome_file = "catalogo.pdf";
    file->file.dimensione = 5000000;
    auto *print = new OrdineRigaStampa(o.get());
    print->codice_articolo = "ST10";
    print->descrizione = "Stampa 10x15 lucida";
    print->quantita = 4;
    print->prezzo = 0.15f;
    print->file.nome_file = "mare.jpg";
    o->righe = {file, print, new OrdineRiga(o.get())};
    OrdineDetails details(o.get());
    details.setReadOnly(true);
    details.show();
    QVERIFY(QTest::qWaitForWindowExposed(&details));
    ModalAnswerer answerer;
    QString seen;
    answerer.answerWith([&](QWidget *box) {
        seen = QString::fromLatin1(box->metaObject()->className());
        screenshot(box, QStringLiteral("riga-") + seen);
        static_cast<QDialog *>(box)->reject();
    });
    auto *table = details.findChild<QTableView *>(QStringLiteral("tableViewRighe"));
    const QRect cell = table->visualRect(table->model()->index(row, 0));
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, cell.center());
    QTest::mouseDClick(table->viewport(), Qt::MouseButton(button), {}, cell.center());
    if (opened.isEmpty())
        QTest::qWait(150); // nothing opens
    else
        QVERIFY(answerer.waitForCount(1));
    QCOMPARE(seen, opened);
    QCOMPARE(answerer.count(), opened.isEmpty() ? 0 : 1);
    if (row == 0 && button == Qt::LeftButton)
        screenshot(&details, QStringLiteral("ordinedetails-righe"));
}

void TestOrdiniDetails::detailsActionWithoutClick()
{
    auto o = order();
    o->righe.push_back(new OrdineRigaFile(o.get()));
    OrdineDetails details(o.get());
    details.show();
    auto *table = details.findChild<QTableView *>(QStringLiteral("tableViewRighe"));
    table->setCurrentIndex(table->model()->index(0, 0));
    ModalAnswerer answerer;
    QString seen;
    answerer.answerWith([&](QWidget *box) {
        seen = QString::fromLatin1(box->metaObject()->className());
        static_cast<QDialog *>(box)->reject();
    });
    QVERIFY(table->actions().contains(details.findChild<QAction *>(QStringLiteral("actionDettagli"))));
    details.findChild<QAction *>(QStringLiteral("actionDettagli"))->trigger();
    QTRY_COMPARE(answerer.count(), 1);
    QCOMPARE(seen, QStringLiteral("RigheOrdineFileLocalDetails"));
}

QTEST_MAIN(TestOrdiniDetails)
#include "tst_ordinidetails.moc"
