#include <QtTest>

#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "anagrafica.h"
#include "ordine.h"
#include "ordinitestsupport.h"
#include "utente.h"
#include "xmlassert.h"

using namespace ordinitest;

namespace {

// Every element of an account record, in order, with a value of its own.
const std::vector<std::pair<QByteArray, QByteArray>> customerFields = {
    {"id", "42"}, {"username", "mrossi"}, {"password", "segreta"}, {"autorizzazioni", "3"},
    {"stato_account", "1"}, {"codice_utente", "C0042"}, {"nome", "Mario"}, {"cognome", "Rossi"},
    {"ragione_sociale", "Foto Rossi"}, {"cap", "00100"}, {"cf", "RSSMRA80A01H501U"},
    {"citta", "Roma"}, {"email", "m@rossi.example"}, {"fax", "06 1"}, {"indirizzo", "Via Roma 1"},
    {"piva", "01234567890"}, {"provincia", "RM"}, {"tel_fisso", "06 2"}, {"tel_cell", "333 3"},
    {"notifiche", "5"}, {"pagamento", "2"}, {"spedizione", "7.5"}};

QByteArray customerXml(const QByteArray &prefix)
{
    QByteArray xml;
    for (const auto &field : customerFields)
        xml += "<" + prefix + field.first + ">" + field.second + "</" + prefix + field.first + ">";
    return xml;
}

void checkComplete(const Utente &u)
{
    QCOMPARE(u.Getid(), 42);
    QCOMPARE(u.username, std::string("mrossi"));
    QCOMPARE(u.password, std::string("segreta"));
    QCOMPARE(u.autorizzazioni, 3);
    QCOMPARE(u.stato_account, 1);
    QCOMPARE(u.codice_utente, std::string("C0042"));
    QCOMPARE(u.nome, std::string("Mario"));
    QCOMPARE(u.cognome, std::string("Rossi"));
    QCOMPARE(u.ragione_sociale, std::string("Foto Rossi"));
    QCOMPARE(u.cap, std::string("00100"));
    QCOMPARE(u.cf, std::string("RSSMRA80A01H501U"));
    QCOMPARE(u.citta, std::string("Roma"));
    QCOMPARE(u.email, std::string("m@rossi.example"));
    QCOMPARE(u.fax, std::string("06 1"));
    QCOMPARE(u.indirizzo, std::string("Via Roma 1"));
    QCOMPARE(u.piva, std::string("01234567890"));
    QCOMPARE(u.provincia, std::string("RM"));
    QCOMPARE(u.tel_fisso, std::string("06 2"));
    QCOMPARE(u.tel_cell, std::string("333 3"));
    QCOMPARE(u.notifiche, 5);
    QCOMPARE(u.pagamento, 2);
    QCOMPARE(u.spedizione, 7.5f);
}

QByteArray accountAnswer(const QByteArray &body)
{
    return soapEnvelope(body, "xmlns:account=\"http://ws.korvex2.example/account/\"");
}

QByteArray orderWithCustomer(const QByteArray &prefix)
{
    return response("listaOrdini", "<Ordini><id>o-1</id><utente xsi:type=\"account:Utente\">" + customerXml(prefix)
                                       + "</utente></Ordini>");
}

void setAnagrafica(const std::string &endpoint)
{
    std::lock_guard<std::mutex> lock(korvexWsSettingsMutex());
    Anagrafica::WsEndpoint = endpoint;
    Anagrafica::WsUsername = "negozio";
    Anagrafica::WsPassword = "pw";
    Anagrafica::WsOperatorAuth = false;
}

} // namespace

class TestDueLibrerie : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void eachLibraryWithItsOwnRegistry();

private:
    SoapTestServer m_server;
};

void TestDueLibrerie::init()
{
    m_server.clear();
    setAnagrafica(baseUrlOf(m_server));
    setOrdini(baseUrlOf(m_server), "negozio", "pw");
}

void TestDueLibrerie::eachLibraryWithItsOwnRegistry()
{
    // orders library first: the account records of an order are read qualified, and the
    // whole customer reaches the account library's binding
    Ordine query(nullptr);
    m_server.enqueueXml(orderWithCustomer("account:"));
    std::unique_ptr<Ordine> listed;
    {
        std::vector<Ordine *> found = query.listaSQL(0, 1, "", "");
        QCOMPARE(found.size(), std::size_t(1));
        listed.reset(found.front());
    }
    checkComplete(*listed->utente);

    // account library: writes the customer's children unqualified, in the account header
    Utente cliente;
    cliente = *listed->utente;
    checkComplete(cliente);
    m_server.enqueueXml(accountAnswer("<account:modificaUtenteResponse><modificaUtenteResponse>true"
                                      "</modificaUtenteResponse></account:modificaUtenteResponse>"));
    QVERIFY(cliente.modifica());
    {
        const SoapTestServer::Request request = m_server.lastRequest();
        QVERIFY(request.path.endsWith("/account.php"));
        xmlassert::Message message(request.body);
        QVERIFY(!xmlassert::child(message.header(), accountUri, "Authentication").isNull());
        QCOMPARE(message.operation().localName(), QStringLiteral("modificaUtente"));
        const QDomElement record =
            xmlassert::child(xmlassert::child(message.operation(), "modificaUtenteRequest"), "Utente");
        QCOMPARE(xmlassert::children(record).size(), int(customerFields.size()));
        for (const QDomElement &c : xmlassert::children(record))
            QVERIFY2(c.namespaceURI().isEmpty(), qPrintable(c.tagName()));
        QCOMPARE(xmlassert::child(record, "codice_utente").text(), QStringLiteral("C0042"));
    }

    // account library reads its answers unqualified...
    Utente loaded;
    m_server.enqueueXml(accountAnswer("<account:listaUtentiResponse><listaUtentiResponse><Utenti>" + customerXml("")
                                      + "</Utenti></listaUtentiResponse></account:listaUtentiResponse>"));
    QVERIFY(loaded.init("mrossi"));
    checkComplete(loaded);

    // ...while the orders library, called again in between, still wants them qualified
    m_server.enqueueXml(orderWithCustomer(""));
    {
        std::vector<Ordine *> found = query.listaSQL(0, 1, "", "");
        QCOMPARE(found.size(), std::size_t(1));
        listed.reset(found.front());
    }
    QCOMPARE(listed->utente->Getid(), 0);
    QCOMPARE(listed->utente->username, std::string());

    // and writes its own header element, with the customer's id from the account library
    Ordine ordine(&loaded);
    m_server.enqueueXml(response("inserisciOrdine", "o-2"));
    QVERIFY(ordine.inserisci());
    {
        xmlassert::Message message(m_server.lastRequest().body);
        QVERIFY(m_server.lastRequest().path.endsWith("/ordini.php"));
        QVERIFY(!xmlassert::child(message.header(), ordiniUri, "Authentication").isNull());
        QVERIFY(xmlassert::child(message.header(), accountUri, "Authentication").isNull());
        const QDomElement request = xmlassert::child(
            xmlassert::child(message.operation(), "inserisciOrdineRequest"), "OrdineRequest");
        QCOMPARE(xmlassert::child(request, "id_utente").text(), QStringLiteral("42"));
    }
}

QTEST_GUILESS_MAIN(TestDueLibrerie)
#include "tst_duelibrerie.moc"
