#include <QtTest>

#include <memory>
#include <string>
#include <vector>

#include "file.h"
#include "ordine.h"
#include "ordinerigafile.h"
#include "ordinerigastampa.h"
#include "ordinitestsupport.h"
#include "utente.h"
#include "xmlassert.h"

using namespace ordinitest;
using xmlassert::child;
using xmlassert::childNames;

namespace {

template <class T> struct Owned
{
    std::vector<std::unique_ptr<T>> items;
    explicit Owned(const std::vector<T *> &raw)
    {
        for (T *item : raw)
            items.emplace_back(item);
    }
    std::size_t size() const { return items.size(); }
    T &operator[](std::size_t i) const { return *items[i]; }
};

QString text(const QDomElement &parent, const QString &name)
{
    return child(parent, name).text();
}

// The request element of the last request, after the checks every orders request passes:
// path, SOAPAction, the seven prefixes of the namespace table in order, one body element
// named after the operation in the orders namespace, literal style.
QDomElement requestOf(const SoapTestServer &server, const QString &operation,
                      xmlassert::Message *keep = nullptr)
{
    const SoapTestServer::Request request = server.lastRequest();
    xmlassert::Message message(request.body);
    if (!message.isValid()) {
        QTest::qFail(qPrintable("request not readable: " + message.parseError()), __FILE__, __LINE__);
        return {};
    }
    bool ok = request.method == "POST" && request.path.endsWith("/ordini.php")
        && request.soapAction() == QByteArray(ordiniUri) + operation.toLatin1()
        && request.header("content-type").startsWith("text/xml");
    QStringList prefixes;
    for (const auto &declaration : message.envelopeNamespaces())
        prefixes << declaration.first;
    ok = ok
        && prefixes == QStringList({"SOAP-ENV", "SOAP-ENC", "xsi", "xsd", "account", "prodotti", "ordini"})
        && message.bodyElementCount() == 1 && message.operation().localName() == operation
        && message.operation().namespaceURI() == QLatin1String(ordiniUri)
        && !request.body.contains("encodingStyle") && !request.body.contains("href=");
    if (!ok) {
        QTest::qFail(qPrintable(QStringLiteral("unexpected request for %1: %2 %3 %4")
                                    .arg(operation, QString::fromLatin1(request.path),
                                         QString::fromLatin1(request.soapAction()), prefixes.join(','))),
                     __FILE__, __LINE__);
        return {};
    }
    if (keep)
        *keep = message;
    return message.operation();
}

// The single unqualified child of an operation element.
QDomElement onlyChild(const QDomElement &operation, const QString &name)
{
    const QList<QDomElement> children = xmlassert::children(operation);
    if (children.size() != 1 || children.first().localName() != name
        || !children.first().namespaceURI().isEmpty()) {
        QTest::qFail(qPrintable("expected the one unqualified child " + name), __FILE__, __LINE__);
        return {};
    }
    return children.first();
}

bool allUnqualified(const QDomElement &element)
{
    for (const QDomElement &c : xmlassert::children(element))
        if (!c.namespaceURI().isEmpty())
            return false;
    return true;
}

const QByteArray fileXml =
    "<id>f-7</id><dimensione>6442450944</dimensione><percorso>/2024/05</percorso>"
    "<scaricato>true</scaricato><nome_file>IMG_0001.jpg</nome_file>"
    "<nome_file_scaricato>00001.jpg</nome_file_scaricato><compresso>1</compresso>";

} // namespace

class TestOrdiniWire : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void fileInsertAndModify();
    void fileDeleteAndListing();
    void fileLookupById();
    void rowOperations_data();
    void rowOperations();
    void orderInsertAndModify();
    void orderDelete();
    void orderListing();
    void productChildrenQualified_data();
    void productChildrenQualified();
    void orderHeaders_data();
    void orderHeaders();
    void orderStates();
    void authenticationHeader_data();
    void authenticationHeader();
    void endpoint_data();
    void endpoint();
    void emptyIdIsAFailure();

private:
    SoapTestServer m_server;
};

void TestOrdiniWire::init()
{
    m_server.clear();
    setOrdini(baseUrlOf(m_server), "negozio", "pw");
}

void TestOrdiniWire::fileInsertAndModify()
{
    File file;
    file.dimensione = 5000000000LL; // above 32 bits
    file.percorso = "/2024/05";
    file.scaricato = false;
    file.nome_file = "Foto d'estate.jpg";
    file.nome_file_scaricato = "";
    file.compresso = true;

    m_server.enqueueXml(response("inserisciFile", "f-100"));
    QVERIFY(file.inserisci());
    QCOMPARE(file.Getid(), std::string("f-100"));

    QDomElement record = onlyChild(requestOf(m_server, "inserisciFile"), "inserisciFileRequest");
    QVERIFY(!record.isNull());
    QCOMPARE(childNames(record), QStringList({"id", "dimensione", "percorso", "scaricato", "nome_file",
                                              "nome_file_scaricato", "compresso"}));
    QVERIFY(allUnqualified(record));
    QCOMPARE(text(record, "id"), QString()); // a new record sends its empty id
    QCOMPARE(text(record, "dimensione"), QStringLiteral("5000000000"));
    QCOMPARE(text(record, "scaricato"), QStringLiteral("false"));
    QCOMPARE(text(record, "compresso"), QStringLiteral("true"));
    QCOMPARE(text(record, "nome_file"), QStringLiteral("Foto d'estate.jpg"));

    for (const bool answer : {true, false}) {
        m_server.enqueueXml(response("modificaFile", answer ? "true" : "false"));
        QCOMPARE(file.modifica(), answer);
        record = onlyChild(requestOf(m_server, "modificaFile"), "modificaFileRequest");
        QCOMPARE(text(record, "id"), QStringLiteral("f-100"));
        QCOMPARE(text(record, "dimensione"), QStringLiteral("5000000000"));
    }
    QCOMPARE(file.Getid(), std::string("f-100"));
}

void TestOrdiniWire::fileDeleteAndListing()
{
    File file;
    file.Setid("f-1");
    m_server.enqueueXml(response("cancellaFile", "1"));
    QVERIFY(file.cancella());
    QCOMPARE(onlyChild(requestOf(m_server, "cancellaFile"), "cancellaFileRequest").text(), QStringLiteral("f-1"));
    QCOMPARE(file.Getid(), std::string("f-1"));

    // Files in two runs around an unknown element and a nil entry: all collected in order.
    m_server.enqueueXml(response("listaFile", "<Files>" + fileXml + "</Files><altro>x</altro>"
                                              "<Files xsi:nil=\"true\"/>"
                                              "<Files><nome_file>b.tif</nome_file><id>f-8</id></Files>"));
    Owned<File> found(file.listaSQL(5, 20, "nome_file LIKE 'a%'", "id DESC", ""));
    QDomElement selection = onlyChild(requestOf(m_server, "listaFile"), "listaFileRequest");
    QCOMPARE(childNames(selection), QStringList({"offset", "length", "filter", "order", "guid"}));
    QCOMPARE(text(selection, "offset"), QStringLiteral("5"));
    QCOMPARE(text(selection, "length"), QStringLiteral("20"));
    QCOMPARE(text(selection, "filter"), QStringLiteral("nome_file LIKE 'a%'"));
    QCOMPARE(text(selection, "order"), QStringLiteral("id DESC"));
    QCOMPARE(found.size(), std::size_t(2));
    QCOMPARE(found[0].Getid(), std::string("f-7"));
    QCOMPARE(found[0].dimensione, 6442450944LL);
    QCOMPARE(found[0].percorso, std::string("/2024/05"));
    QVERIFY(found[0].scaricato);
    QVERIFY(found[0].compresso);
    QCOMPARE(found[0].nome_file_scaricato, std::string("00001.jpg"));
    QCOMPARE(found[1].Getid(), std::string("f-8"));
    QCOMPARE(found[1].nome_file, std::string("b.tif"));
    QCOMPARE(found[1].dimensione, 0LL);
    QVERIFY(!found[1].scaricato);

    // An answer without its list is an empty result.
    m_server.enqueueXml(answer("<ordini:listaFileResponse/>"));
    QCOMPARE(file.listaSQL(0, 0, "", "", "").size(), std::size_t(0));

    // Filters by fields: keys in order, apostrophes doubled, nothing else sent.
    m_server.enqueueXml(response("listaFile", ""));
    QCOMPARE(file.lista({{"percorso", "/a"}, {"nome_file", "D'Amico%"}}).size(), std::size_t(0));
    selection = onlyChild(requestOf(m_server, "listaFile"), "listaFileRequest");
    QCOMPARE(text(selection, "filter"), QStringLiteral("nome_file LIKE 'D''Amico%' AND percorso LIKE '/a'"));
    QCOMPARE(text(selection, "offset"), QStringLiteral("0"));
    QCOMPARE(text(selection, "length"), QStringLiteral("0"));
    QCOMPARE(text(selection, "guid"), QString());

    const int before = m_server.requestCount();
    QVERIFY_EXCEPTION_THROWN(file.lista({{"nome_file OR 1=1", "x"}}), File::FileException);
    QVERIFY_EXCEPTION_THROWN(file.lista({{"nome_file", "x\\"}}), File::FileException);
    QCOMPARE(m_server.requestCount(), before);
}

void TestOrdiniWire::fileLookupById()
{
    File file;
    file.nome_file = "mio.jpg";
    file.Setid("vecchio");

    m_server.enqueueXml(response("listaFile", ""));
    QVERIFY(!file.init("f-404"));
    QDomElement selection = onlyChild(requestOf(m_server, "listaFile"), "listaFileRequest");
    QCOMPARE(text(selection, "guid"), QStringLiteral("f-404"));
    QCOMPARE(text(selection, "offset"), QStringLiteral("0"));
    QCOMPARE(text(selection, "length"), QStringLiteral("1"));
    QCOMPARE(text(selection, "filter"), QString());
    QCOMPARE(file.Getid(), std::string("vecchio"));
    QCOMPARE(file.nome_file, std::string("mio.jpg"));

    m_server.enqueueXml(response("listaFile", "<Files>" + fileXml + "</Files>"));
    QVERIFY(file.init("f-7"));
    QCOMPARE(file.Getid(), std::string("f-7"));
    QCOMPARE(file.nome_file, std::string("IMG_0001.jpg"));
    QCOMPARE(file.dimensione, 6442450944LL);
}

void TestOrdiniWire::rowOperations_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("xsiType");
    QTest::addColumn<QStringList>("children");

    const QStringList base = {"id_ordine", "id", "codice_articolo", "descrizione", "prezzo", "quantita"};
    QTest::newRow("plain row") << 0 << QString() << base;
    QTest::newRow("file row") << 1 << "ordini:OrdineRigaFileRequest" << base + QStringList{"id_file"};
    QTest::newRow("print row") << 2 << "ordini:OrdineRigaStampaRequest"
                               << base + QStringList{"id_file", "id_stampa"};
}

void TestOrdiniWire::rowOperations()
{
    QFETCH(int, kind);
    QFETCH(QString, xsiType);
    QFETCH(QStringList, children);

    Ordine ordine(nullptr);
    ordine.Setguid("o-55");
    std::unique_ptr<OrdineRiga> riga;
    if (kind == 2) {
        auto stampa = std::make_unique<OrdineRigaStampa>(&ordine);
        stampa->file.Setid("f-2");
        stampa->stampa.id = 314;
        riga = std::move(stampa);
    } else if (kind == 1) {
        auto file = std::make_unique<OrdineRigaFile>(&ordine);
        file->file.Setid("f-1");
        riga = std::move(file);
    } else {
        riga = std::make_unique<OrdineRiga>(&ordine);
    }
    QCOMPARE(riga->GetTipoRiga(), kind);
    riga->codice_articolo = "STAMPA10x15";
    riga->descrizione = "Stampa \xE8 lucida"; // a Latin-1 byte
    riga->prezzo = 0.1f;
    riga->quantita = 12;

    m_server.enqueueXml(response("inserisciRigaOrdine", "r-9"));
    QVERIFY(riga->inserisci());
    QCOMPARE(riga->Getguid(), std::string("r-9"));

    const QDomElement wrapper = onlyChild(requestOf(m_server, "inserisciRigaOrdine"), "inserisciRigaOrdineRequest");
    const QDomElement row = onlyChild(wrapper, "OrdineRigaRequest");
    QVERIFY(!row.isNull());
    QCOMPARE(xmlassert::xsiType(row), xsiType);
    if (!xsiType.isEmpty()) {
        xmlassert::Message message(m_server.lastRequest().body);
        QCOMPARE(message.uriOfQName(xsiType), QString::fromLatin1(ordiniUri));
    }
    QCOMPARE(childNames(row), children);
    QVERIFY(allUnqualified(row));
    QCOMPARE(text(row, "id_ordine"), QStringLiteral("o-55"));
    QCOMPARE(text(row, "id"), QString());
    QCOMPARE(text(row, "descrizione"), QStringLiteral("Stampa \u00E8 lucida"));
    QCOMPARE(text(row, "prezzo"), QStringLiteral("0.100000001"));
    QCOMPARE(text(row, "quantita"), QStringLiteral("12"));
    if (kind == 1)
        QCOMPARE(text(row, "id_file"), QStringLiteral("f-1"));
    if (kind == 2) {
        QCOMPARE(text(row, "id_file"), QStringLiteral("f-2"));
        QCOMPARE(text(row, "id_stampa"), QStringLiteral("314"));
    }

    // modify: the row's id goes out; a false answer is returned as such, nothing changes
    m_server.enqueueXml(response("modificaRigaOrdine", "false"));
    QVERIFY(!riga->modifica());
    QCOMPARE(text(onlyChild(onlyChild(requestOf(m_server, "modificaRigaOrdine"), "modificaRigaOrdineRequest"),
                            "OrdineRigaRequest"), "id"),
             QStringLiteral("r-9"));
    QCOMPARE(riga->Getguid(), std::string("r-9"));

    m_server.enqueueXml(response("cancellaRigaOrdine", "true"));
    QVERIFY(riga->cancella());
    QCOMPARE(onlyChild(requestOf(m_server, "cancellaRigaOrdine"), "cancellaRigaOrdineRequest").text(),
             QStringLiteral("r-9"));

    // a row that no order holds yet sends an empty order id
    riga->ordine = nullptr;
    m_server.enqueueXml(response("modificaRigaOrdine", "true"));
    QVERIFY(riga->modifica());
    QCOMPARE(text(onlyChild(onlyChild(requestOf(m_server, "modificaRigaOrdine"), "modificaRigaOrdineRequest"),
                            "OrdineRigaRequest"), "id_ordine"),
             QString());
}

void TestOrdiniWire::orderInsertAndModify()
{
    Utente cliente;
    cliente.Setid(77);
    Ordine ordine(&cliente);
    ordine.cliente_finale = "Studio Bianchi";
    ordine.note = "Consegna <urgente> & fragile";
    ordine.numero = 12;
    ordine.data = 1335859200; // 2012-05-01T08:00:00Z
    ordine.spedizione = 4.5f;

    auto *stampa = new OrdineRigaStampa(&ordine);
    stampa->stampa.id = 9;
    ordine.righe.push_back(stampa);
    auto *file = new OrdineRigaFile(&ordine);
    file->file.Setid("f-3");
    ordine.righe.push_back(file);
    ordine.righe.push_back(new OrdineRiga(&ordine));

    m_server.enqueueXml(response("inserisciOrdine", "o-900"));
    QVERIFY(ordine.inserisci());
    QCOMPARE(ordine.Getguid(), std::string("o-900"));
    QCOMPARE(stampa->Getguid(), std::string()); // rows are registered on their own

    QDomElement request = onlyChild(onlyChild(requestOf(m_server, "inserisciOrdine"), "inserisciOrdineRequest"),
                                    "OrdineRequest");
    QVERIFY(!request.isNull());
    QCOMPARE(xmlassert::xsiType(request), QString());
    QCOMPARE(childNames(request), QStringList({"id_utente", "id", "cliente_finale", "data", "note", "numero",
                                               "stato", "righe_ordine", "righe_ordine", "righe_ordine"}));
    QVERIFY(allUnqualified(request));
    QCOMPARE(text(request, "id_utente"), QStringLiteral("77"));
    QCOMPARE(text(request, "id"), QString());
    QCOMPARE(text(request, "data"), QStringLiteral("2012-05-01T08:00:00Z"));
    QCOMPARE(text(request, "note"), QStringLiteral("Consegna <urgente> & fragile"));
    QCOMPARE(text(request, "stato"), QStringLiteral("1"));
    const QList<QDomElement> rows = xmlassert::children(request).mid(7);
    QCOMPARE(xmlassert::xsiType(rows[0]), QStringLiteral("ordini:OrdineRigaStampaRequest"));
    QCOMPARE(text(rows[0], "id_stampa"), QStringLiteral("9"));
    QCOMPARE(xmlassert::xsiType(rows[1]), QStringLiteral("ordini:OrdineRigaFileRequest"));
    QCOMPARE(text(rows[1], "id_file"), QStringLiteral("f-3"));
    QCOMPARE(xmlassert::xsiType(rows[2]), QString());
    for (const QDomElement &row : rows) {
        QCOMPARE(text(row, "id_ordine"), QString()); // the order had no id yet when it was bound
        QVERIFY(child(row, "tipo_riga").isNull());
    }

    // modify sends the same request, now with the order's id; the answer is returned
    m_server.enqueueXml(response("modificaOrdine", "1"));
    QVERIFY(ordine.modifica());
    request = onlyChild(onlyChild(requestOf(m_server, "modificaOrdine"), "modificaOrdineRequest"), "OrdineRequest");
    QCOMPARE(text(request, "id"), QStringLiteral("o-900"));
    QCOMPARE(text(xmlassert::children(request).at(7), "id_ordine"), QStringLiteral("o-900"));

    // an answer without its child reads as false
    m_server.enqueueXml(answer("<ordini:modificaOrdineResponse/>"));
    QVERIFY(!ordine.modifica());
    QCOMPARE(ordine.Getguid(), std::string("o-900"));
}

void TestOrdiniWire::orderDelete()
{
    Ordine ordine(nullptr);
    m_server.enqueueXml(response("cancellaOrdine", "true"));
    QVERIFY(ordine.cancella()); // an empty id is sent as it is
    QCOMPARE(onlyChild(requestOf(m_server, "cancellaOrdine"), "cancellaOrdineRequest").text(), QString());

    ordine.Setguid("o-1");
    m_server.enqueueXml(response("cancellaOrdine", "false"));
    QVERIFY(!ordine.cancella());
    QCOMPARE(onlyChild(requestOf(m_server, "cancellaOrdine"), "cancellaOrdineRequest").text(), QStringLiteral("o-1"));
}

void TestOrdiniWire::orderListing()
{
    const QByteArray order =
        "<Ordini>"
        "<note>due righe</note><id>o-1</id><cliente_finale>Rossi</cliente_finale>"
        "<data>2012-05-01T10:00:00+02:00</data><numero>41</numero><stato>8</stato>"
        "<utente xsi:type=\"account:Utente\"><account:id>77</account:id><account:username>mrossi</account:username>"
        "<account:nome>Mario</account:nome><account:spedizione>4.5</account:spedizione></utente>"
        "<righe_ordine><id>r-0</id><codice_articolo>X</codice_articolo><tipo_riga>0</tipo_riga>"
        "<quantita>2</quantita><prezzo>1.5</prezzo></righe_ordine>"
        "<righe_ordine xsi:type=\"ordini:OrdineRigaFile\"><id>r-1</id><tipo_riga>1</tipo_riga>"
        "<file>" + fileXml + "</file></righe_ordine>"
        "<totale>99.5</totale>"
        "<righe_ordine xsi:type=\"ordini:OrdineRigaStampa\"><id>r-2</id><tipo_riga>2</tipo_riga>"
        "<file><id>f-9</id></file>"
        "<stampa><prodotti:id>314</prodotti:id><prodotti:codice_stampa>S10</prodotti:codice_stampa>"
        "<prodotti:nome>10x15 lucida</prodotti:nome><prodotti:archiviato>false</prodotti:archiviato>"
        "<prodotti:carta xsi:nil=\"true\"/>"
        "<prodotti:formato><prodotti:id>3</prodotti:id><prodotti:larghezza>1800</prodotti:larghezza></prodotti:formato>"
        "<prodotti:reparto><prodotti:canale_numero>07</prodotti:canale_numero></prodotti:reparto>"
        "<prodotti:prezzo>0.25</prodotti:prezzo></stampa></righe_ordine>"
        "<righe_ordine><id>r-7</id><tipo_riga>7</tipo_riga></righe_ordine>"
        "<righe_ordine><id>r-x</id><tipo_riga>2</tipo_riga></righe_ordine>"
        "<righe_ordine xsi:nil=\"true\"/>"
        "<data_ultima_modifica>2012-05-02T10:00:00Z</data_ultima_modifica><spedizione>4.5</spedizione>"
        "</Ordini>";
    m_server.enqueueXml(response("listaOrdini", order + "<Ordini xsi:nil=\"true\"/><Ordini><id>o-2</id><utente xsi:nil=\"true\"/></Ordini>"));

    Ordine query(nullptr);
    Owned<Ordine> found(query.listaSQL(10, 5, "stato = 8", "numero"));
    const QDomElement selection = onlyChild(requestOf(m_server, "listaOrdini"), "listaOrdiniRequest");
    QCOMPARE(childNames(selection), QStringList({"offset", "length", "filter", "order", "guid"}));
    QCOMPARE(text(selection, "offset"), QStringLiteral("10"));
    QCOMPARE(text(selection, "length"), QStringLiteral("5"));
    QCOMPARE(text(selection, "filter"), QStringLiteral("stato = 8"));
    QCOMPARE(text(selection, "order"), QStringLiteral("numero"));
    QCOMPARE(text(selection, "guid"), QString());

    QCOMPARE(found.size(), std::size_t(2));
    const Ordine &first = found[0];
    QCOMPARE(first.Getguid(), std::string("o-1"));
    QCOMPARE(first.cliente_finale, std::string("Rossi"));
    QCOMPARE(first.note, std::string("due righe"));
    QCOMPARE(first.numero, 41);
    QCOMPARE(first.stato, 8);
    QCOMPARE(first.data, time_t(1335859200)); // 08:00 UTC
    QCOMPARE(first.data_ultima_modifica, time_t(1335952800));
    QCOMPARE(first.totale, 99.5f);
    QCOMPARE(first.spedizione, 4.5f);
    QCOMPARE(first.utente->Getid(), 77);
    QCOMPARE(first.utente->username, std::string("mrossi"));
    QCOMPARE(first.utente->nome, std::string("Mario"));

    // kinds 0, 1, 2 give rows; kind 7 and a kind that its xsi:type does not carry give none
    QCOMPARE(first.righe.size(), std::size_t(3));
    for (OrdineRiga *riga : first.righe)
        QCOMPARE(riga->ordine, &first);
    QCOMPARE(first.righe[0]->GetTipoRiga(), 0);
    QCOMPARE(first.righe[0]->Getguid(), std::string("r-0"));
    QCOMPARE(first.righe[0]->quantita, 2);
    QCOMPARE(first.righe[0]->prezzo, 1.5f);
    QCOMPARE(first.righe[1]->GetTipoRiga(), 1);
    const auto *fileRow = static_cast<const OrdineRigaFile *>(first.righe[1]);
    QCOMPARE(fileRow->file.Getid(), std::string("f-7"));
    QCOMPARE(fileRow->file.dimensione, 6442450944LL);
    QCOMPARE(first.righe[2]->GetTipoRiga(), 2);
    const auto *printRow = static_cast<const OrdineRigaStampa *>(first.righe[2]);
    QCOMPARE(printRow->file.Getid(), std::string("f-9"));
    QCOMPARE(printRow->stampa.Getid(), 314);
    QCOMPARE(printRow->stampa.codice_stampa, std::string("S10"));
    QCOMPARE(printRow->stampa.prezzo, 0.25f);
    QVERIFY(!printRow->stampa.carta.has_value());
    QVERIFY(printRow->stampa.formato.has_value());
    QCOMPARE(printRow->stampa.formato->larghezza, 1800);
    QCOMPARE(printRow->stampa.formato->dpi, 0);
    QCOMPARE(printRow->stampa.reparto->canale_numero, std::string("07"));

    // a nil customer leaves the default one; an order without rows has none
    QCOMPARE(found[1].Getguid(), std::string("o-2"));
    QVERIFY(found[1].utente != nullptr);
    QCOMPARE(found[1].utente->Getid(), 0);
    QVERIFY(found[1].righe.empty());
    QCOMPARE(found[1].data, time_t(0));
}

void TestOrdiniWire::productChildrenQualified_data()
{
    QTest::addColumn<QByteArray>("stampa");
    QTest::addColumn<int>("id");
    QTest::newRow("prodotti prefix") << QByteArray("<stampa><prodotti:id>5</prodotti:id></stampa>") << 5;
    QTest::newRow("another prefix, same namespace")
        << QByteArray("<stampa xmlns:p=\"http://ws.korvex2.example/prodotti/\"><p:id>5</p:id></stampa>") << 5;
    QTest::newRow("default namespace") << QByteArray("<stampa><id xmlns=\"http://ws.korvex2.example/prodotti/\">5</id></stampa>") << 5;
    QTest::newRow("no namespace: not taken") << QByteArray("<stampa><id>5</id></stampa>") << 0;
}

void TestOrdiniWire::productChildrenQualified()
{
    QFETCH(QByteArray, stampa);
    QFETCH(int, id);

    m_server.enqueueXml(response("listaOrdini", "<Ordini><id>o-1</id><righe_ordine xsi:type=\"ordini:OrdineRigaStampa\">"
                                                "<tipo_riga>2</tipo_riga>" + stampa + "</righe_ordine></Ordini>"));
    Ordine query(nullptr);
    Owned<Ordine> found(query.listaSQL(0, 1, "", ""));
    QCOMPARE(found.size(), std::size_t(1));
    QCOMPARE(found[0].righe.size(), std::size_t(1));
    QCOMPARE(static_cast<const OrdineRigaStampa *>(found[0].righe[0])->stampa.Getid(), id);
}

void TestOrdiniWire::orderHeaders_data()
{
    QTest::addColumn<QList<int>>("stati");
    QTest::newRow("no states") << QList<int>();
    QTest::newRow("three states") << QList<int>({3, 5, 8});
}

void TestOrdiniWire::orderHeaders()
{
    QFETCH(QList<int>, stati);

    m_server.enqueueXml(response("listaOrdiniIntestazione",
                                 "<Ordini><id>o-5</id><numero>5</numero></Ordini><Ordini><id>o-6</id></Ordini>"));
    Ordine query(nullptr);
    Owned<Ordine> found(query.listaIntestazioni("mrossi", "Bianchi", 10, 20, "2024-05-01", "2024-05-31",
                                                std::vector<int>(stati.begin(), stati.end()), 1, 50, "Verdi"));
    QCOMPARE(found.size(), std::size_t(2));
    QCOMPARE(found[0].Getguid(), std::string("o-5"));
    QCOMPARE(found[0].numero, 5);
    QCOMPARE(found[1].Getguid(), std::string("o-6"));

    const QDomElement selection =
        onlyChild(requestOf(m_server, "listaOrdiniIntestazione"), "listaOrdiniIntestazioneRequest");
    QStringList expected = {"username", "cliente", "endUser", "numeroDa", "numeroA", "dataDa", "dataA"};
    for (int i = 0; i < stati.size(); ++i)
        expected << "stati";
    expected << "limiteDa" << "limiteA";
    QCOMPARE(childNames(selection), expected);
    QVERIFY(allUnqualified(selection));
    QStringList values;
    for (const QDomElement &c : xmlassert::children(selection))
        values << c.text();
    QStringList expectedValues = {"mrossi", "Bianchi", "Verdi", "10", "20", "2024-05-01", "2024-05-31"};
    for (int state : stati)
        expectedValues << QString::number(state);
    expectedValues << "1" << "50";
    QCOMPARE(values, expectedValues);
}

void TestOrdiniWire::orderStates()
{
    Ordine ordine(nullptr);
    ordine.Setguid("o-3");
    ordine.data_ultima_modifica = 1000;

    // false: the service refused, nothing changes
    m_server.enqueueXml(response("impostaStatoOrdine", "false"));
    QVERIFY(!ordine.impostaStato(static_cast<Ordini::StatoOrdine>(8)));
    QDomElement request = onlyChild(requestOf(m_server, "impostaStatoOrdine"), "impostaStatoOrdineRequest");
    QCOMPARE(childNames(request), QStringList({"IdOrdine", "Stato"}));
    QCOMPARE(text(request, "IdOrdine"), QStringLiteral("o-3"));
    QCOMPARE(text(request, "Stato"), QStringLiteral("8"));
    QCOMPARE(ordine.stato, 1);
    QCOMPARE(ordine.data_ultima_modifica, time_t(1000));

    const time_t before = std::time(nullptr);
    m_server.enqueueXml(response("impostaStatoOrdine", "true"));
    QVERIFY(ordine.impostaStato(static_cast<Ordini::StatoOrdine>(8)));
    QCOMPARE(ordine.stato, 8);
    QVERIFY(ordine.data_ultima_modifica >= before);

    m_server.enqueueXml(response("listaStatiOrdine",
                                 "<statiOrdine><stato>1</stato><label>Nuovo</label></statiOrdine>"
                                 "<statiOrdine xsi:nil=\"true\"/>"
                                 "<statiOrdine><label>In attesa di pagamento</label><label>x</label><stato>8</stato></statiOrdine>"));
    const std::vector<Ordine::StatoOrdineLabel> labels = ordine.listaEtichetteStatiOrdine();
    const QDomElement empty = requestOf(m_server, "listaStatiOrdine");
    QVERIFY(!empty.isNull());
    QVERIFY(!empty.hasChildNodes());
    QCOMPARE(labels.size(), std::size_t(2));
    QCOMPARE(labels[0].stato, 1);
    QCOMPARE(labels[0].label, std::string("Nuovo"));
    QCOMPARE(labels[1].stato, 8);
    QCOMPARE(labels[1].label, std::string("In attesa di pagamento"));
}

void TestOrdiniWire::authenticationHeader_data()
{
    QTest::addColumn<QString>("username");
    QTest::addColumn<QString>("password");
    QTest::addColumn<bool>("operatorAuth");
    QTest::addColumn<bool>("sent");

    QTest::newRow("customer") << "negozio" << "pw" << false << true;
    QTest::newRow("operator") << "banco" << "pw2" << true << true;
    QTest::newRow("no password") << "negozio" << "" << false << false;
    QTest::newRow("no user name") << "" << "pw" << true << false;
}

void TestOrdiniWire::authenticationHeader()
{
    QFETCH(QString, username);
    QFETCH(QString, password);
    QFETCH(bool, operatorAuth);
    QFETCH(bool, sent);

    File file;
    // a call with credentials first: clearing them must not leave the header behind
    m_server.enqueueXml(response("modificaFile", "true"));
    QVERIFY(file.modifica());
    setOrdini(baseUrlOf(m_server), username.toStdString(), password.toStdString(), operatorAuth);
    m_server.enqueueXml(response("modificaFile", "true"));
    QVERIFY(file.modifica());

    xmlassert::Message message(QByteArray{});
    QVERIFY(!requestOf(m_server, "modificaFile", &message).isNull());
    if (!sent) {
        QVERIFY(message.header().isNull());
        return;
    }
    const QDomElement authentication = child(message.header(), ordiniUri, "Authentication");
    QVERIFY(!authentication.isNull());
    QCOMPARE(xmlassert::children(message.header()).size(), 1);
    QCOMPARE(childNames(authentication), QStringList({"isOperator", "username", "password"}));
    QVERIFY(allUnqualified(authentication));
    QCOMPARE(text(authentication, "isOperator"), operatorAuth ? QStringLiteral("true") : QStringLiteral("false"));
    QCOMPARE(text(authentication, "username"), username);
    QCOMPARE(text(authentication, "password"), password);
}

void TestOrdiniWire::endpoint_data()
{
    QTest::addColumn<QString>("suffix");
    QTest::addColumn<QByteArray>("path");
    QTest::newRow("base ending in /") << "" << QByteArray("/ordini.php");
    QTest::newRow("base without /") << "ws" << QByteArray("/ws/ordini.php");
    QTest::newRow("folder ending in /") << "ws/" << QByteArray("/ws/ordini.php");
}

void TestOrdiniWire::endpoint()
{
    QFETCH(QString, suffix);
    QFETCH(QByteArray, path);

    std::string base = baseUrlOf(m_server) + suffix.toStdString();
    if (suffix.isEmpty())
        QVERIFY(base.back() == '/');
    else if (!suffix.endsWith('/'))
        QVERIFY(base.back() != '/');
    setOrdini(base);
    Ordine ordine(nullptr);
    m_server.enqueueXml(response("cancellaOrdine", "true"));
    QVERIFY(ordine.cancella());
    QCOMPARE(m_server.lastRequest().path, path);

    // an empty base address keeps the address that the object built last
    setOrdini("");
    m_server.enqueueXml(response("cancellaOrdine", "true"));
    QVERIFY(ordine.cancella());
    QCOMPARE(m_server.lastRequest().path, path);
    QCOMPARE(m_server.requestCount(), 2);
}

void TestOrdiniWire::emptyIdIsAFailure()
{
    const std::string unknown = unknownError;

    File file;
    file.Setid("f-old");
    m_server.enqueueXml(response("inserisciFile", ""));
    try {
        file.inserisci();
        QFAIL("an empty file id was accepted");
    } catch (const File::FileException &e) {
        QCOMPARE(e.code, std::string());
        QCOMPARE(e.message, unknown);
    }
    QCOMPARE(file.Getid(), std::string("f-old"));

    Ordine ordine(nullptr);
    OrdineRigaFile riga(&ordine);
    m_server.enqueueXml(response("inserisciRigaOrdine", ""));
    try {
        riga.inserisci();
        QFAIL("an empty row id was accepted");
    } catch (const OrdineRigaFile::OrdineRigaFileException &e) {
        QCOMPARE(e.code, std::string());
        QCOMPARE(e.message, unknown);
    }
    QCOMPARE(riga.Getguid(), std::string());

    ordine.Setguid("o-old");
    m_server.enqueueXml(answer("<ordini:inserisciOrdineResponse/>"));
    try {
        ordine.inserisci();
        QFAIL("an empty order id was accepted");
    } catch (const Ordine::OrdineException &e) {
        QCOMPARE(e.code, std::string());
        QCOMPARE(e.message, unknown);
    }
    QCOMPARE(ordine.Getguid(), std::string("o-old"));
}

QTEST_GUILESS_MAIN(TestOrdiniWire)
#include "tst_ordiniwire.moc"
