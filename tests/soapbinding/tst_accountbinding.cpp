// The account service binding on the wire: requests as the laboratory's service reads
// them, and answers read leniently, against the loopback SOAP test server.

#include <QElapsedTimer>
#include <QTcpServer>
#include <QtTest>

#include <functional>
#include <vector>

#include "soapH.h"
#include "soapaccountSOAPProxy.h"
#include "soapcall.h"

#include "soaptestserver.h"
#include "xmlassert.h"

using xmlassert::Message;

Q_DECLARE_METATYPE(SoapTestServer::Reply)

namespace {

const QString accountNs = QStringLiteral("http://ws.korvex2.example/account/");
const QString envelopeNs = QStringLiteral("http://schemas.xmlsoap.org/soap/envelope/");
const QByteArray accountNsDecl = "xmlns:account=\"http://ws.korvex2.example/account/\"";

// An answer of the account service: the response wrapper of the operation holding content.
QByteArray answer(const QByteArray &operation, const QByteArray &content)
{
    return soapEnvelope("<account:" + operation + "Response>" + content + "</account:" + operation
                            + "Response>",
                        accountNsDecl);
}

// A proxy as the account objects set it up: indented output, endpoint, time-outs.
struct Client
{
    explicit Client(const SoapTestServer &server, const char *script = "account.php")
        : proxy(SOAP_XML_INDENT),
          endpoint(korvexsoap::serviceEndpoint(server.baseUrl().toStdString(), script))
    {
        proxy.soap_endpoint = endpoint.c_str();
        korvexsoap::applyTimeouts(&proxy);
    }
    accountSOAPProxy proxy;
    std::string endpoint;
};

// One operation of the service: what it sends and how its answer is read back.
struct Operation
{
    const char *name;
    const char *requestChild; // nullptr: an empty wrapper
    QByteArray answerContent;
    // performs the call; writes a short text of what was read into `read`
    std::function<int(accountSOAPProxy &, QString &read)> call;
    QString expectedRead;
};

account__Utente *sampleCustomer()
{
    auto *u = new account__Utente;
    u->id = 7;
    u->username = "mrossi";
    u->nome = "Mario";
    u->spedizione = 1500;
    return u;
}

const std::vector<Operation> &operations()
{
    static const std::vector<Operation> ops = {
        {"listaUtenti", "listaUtentiRequest",
         "<listaUtentiResponse><Utenti xsi:type=\"account:Utente\"><id>3</id></Utenti></listaUtentiResponse>",
         [](accountSOAPProxy &p, QString &read) {
             account__listaUtentiRequestType request;
             account__listaUtentiResponse response;
             const int rc = p.listaUtenti(&request, response);
             if (!rc && response.listaUtentiResponse)
                 read = QString::number(response.listaUtentiResponse->Utenti.at(0)->id);
             return rc;
         },
         "3"},
        {"inserisciUtente", "inserisciUtenteRequest", "<inserisciUtenteResponse>41</inserisciUtenteResponse>",
         [](accountSOAPProxy &p, QString &read) {
             account__inserisciUtenteRequestType request;
             request.Utente = sampleCustomer();
             account__inserisciUtenteResponse response;
             const int rc = p.inserisciUtente(&request, response);
             delete request.Utente;
             read = QString::number(response.inserisciUtenteResponse);
             return rc;
         },
         "41"},
        {"modificaUtente", "modificaUtenteRequest", "<modificaUtenteResponse>true</modificaUtenteResponse>",
         [](accountSOAPProxy &p, QString &read) {
             account__modificaUtenteRequestType request;
             request.Utente = sampleCustomer();
             account__modificaUtenteResponse response;
             const int rc = p.modificaUtente(&request, response);
             delete request.Utente;
             read = response.modificaUtenteResponse ? "true" : "false";
             return rc;
         },
         "true"},
        {"esisteUtente", "esisteUtenteRequest", "<esisteUtenteResponse>1</esisteUtenteResponse>",
         [](accountSOAPProxy &p, QString &read) {
             account__esisteUtenteResponse response;
             const int rc = p.esisteUtente("a&b", response);
             read = response.esisteUtenteResponse ? "true" : "false";
             return rc;
         },
         "true"},
        {"cancellaUtente", "cancellaUtenteRequest", "<cancellaUtenteResponse>false</cancellaUtenteResponse>",
         [](accountSOAPProxy &p, QString &read) {
             account__cancellaUtenteResponse response;
             const int rc = p.cancellaUtente(12, response);
             read = response.cancellaUtenteResponse ? "true" : "false";
             return rc;
         },
         "false"},
        {"listaOperatori", "listaOperatoriRequest",
         "<listaOperatoriResponse><Operatori><codice_operatore>OP1</codice_operatore></Operatori>"
         "<Operatori><codice_operatore>OP2</codice_operatore></Operatori></listaOperatoriResponse>",
         [](accountSOAPProxy &p, QString &read) {
             account__listaOperatoriRequestType request;
             account__listaOperatoriResponse response;
             const int rc = p.listaOperatori(&request, response);
             if (!rc && response.listaOperatoriResponse)
                 for (auto *o : response.listaOperatoriResponse->Operatori)
                     read += QString::fromStdString(o->codice_operatore);
             return rc;
         },
         "OP1OP2"},
        {"inserisciOperatore", "inserisciOperatoreRequest",
         "<inserisciOperatoreResponse> 9 </inserisciOperatoreResponse>",
         [](accountSOAPProxy &p, QString &read) {
             account__inserisciOperatoreRequestType request;
             account__Operatore op;
             request.Operatore = &op;
             account__inserisciOperatoreResponse response;
             const int rc = p.inserisciOperatore(&request, response);
             read = QString::number(response.inserisciOperatoreResponse);
             return rc;
         },
         "9"},
        {"modificaOperatore", "modificaOperatoreRequest", "<modificaOperatoreResponse>true</modificaOperatoreResponse>",
         [](accountSOAPProxy &p, QString &read) {
             account__modificaOperatoreRequestType request;
             account__Operatore op;
             request.Operatore = &op;
             account__modificaOperatoreResponse response;
             const int rc = p.modificaOperatore(&request, response);
             read = response.modificaOperatoreResponse ? "true" : "false";
             return rc;
         },
         "true"},
        {"esisteOperatore", "esisteOperatoreRequest", "<esisteOperatoreResponse>0</esisteOperatoreResponse>",
         [](accountSOAPProxy &p, QString &read) {
             account__esisteOperatoreResponse response;
             const int rc = p.esisteOperatore("op", response);
             read = response.esisteOperatoreResponse ? "true" : "false";
             return rc;
         },
         "false"},
        {"cancellaOperatore", "cancellaOperatoreRequest", "<cancellaOperatoreResponse>true</cancellaOperatoreResponse>",
         [](accountSOAPProxy &p, QString &read) {
             account__cancellaOperatoreResponse response;
             const int rc = p.cancellaOperatore(5, response);
             read = response.cancellaOperatoreResponse ? "true" : "false";
             return rc;
         },
         "true"},
        {"prossimoCodiceUtente", nullptr, "<prossimoCodiceUtenteResponse>17</prossimoCodiceUtenteResponse>",
         [](accountSOAPProxy &p, QString &read) {
             account__prossimoCodiceUtenteResponse response;
             const int rc = p.prossimoCodiceUtente(response);
             read = QString::number(response.prossimoCodiceUtenteResponse);
             return rc;
         },
         "17"},
        {"prossimoCodiceOperatore", nullptr, "<prossimoCodiceOperatoreResponse>4</prossimoCodiceOperatoreResponse>",
         [](accountSOAPProxy &p, QString &read) {
             account__prossimoCodiceOperatoreResponse response;
             const int rc = p.prossimoCodiceOperatore(response);
             read = QString::number(response.prossimoCodiceOperatoreResponse);
             return rc;
         },
         "4"},
        {"incrementaCodiceUtente", nullptr, "<incrementaCodiceUtenteResponse>true</incrementaCodiceUtenteResponse>",
         [](accountSOAPProxy &p, QString &read) {
             account__incrementaCodiceUtenteResponse response;
             const int rc = p.incrementaCodiceUtente(response);
             read = response.incrementaCodiceUtenteResponse ? "true" : "false";
             return rc;
         },
         "true"},
        {"incrementaCodiceOperatore", nullptr,
         "<incrementaCodiceOperatoreResponse>true</incrementaCodiceOperatoreResponse>",
         [](accountSOAPProxy &p, QString &read) {
             account__incrementaCodiceOperatoreResponse response;
             const int rc = p.incrementaCodiceOperatore(response);
             read = response.incrementaCodiceOperatoreResponse ? "true" : "false";
             return rc;
         },
         "true"},
        {"login", "loginRequest",
         "<loginResponse xsi:type=\"account:Utente\"><id>5</id><username>mrossi</username></loginResponse>",
         [](accountSOAPProxy &p, QString &read) {
             account__Authentication credentials;
             credentials.username = "mrossi";
             credentials.password = "pw";
             account__loginResponse response;
             const int rc = p.login(&credentials, response);
             if (!rc && response.loginResponse)
                 read = QString::number(response.loginResponse->soap_type() == SOAP_TYPE_account__Utente)
                     + QString::fromStdString(response.loginResponse->username);
             return rc;
         },
         "1mrossi"},
        {"recuperaPasswordUtente", "recuperaPasswordUtenteRequest",
         "<recuperaPasswordUtenteResponse>true</recuperaPasswordUtenteResponse>",
         [](accountSOAPProxy &p, QString &read) {
             account__recuperaPasswordUtenteRequestType request;
             request.username = "mrossi";
             account__recuperaPasswordUtenteResponse response;
             const int rc = p.recuperaPasswordUtente(&request, response);
             read = response.recuperaPasswordUtenteResponse ? "true" : "false";
             return rc;
         },
         "true"},
        {"registrazioneUtente", "registrazioneUtenteRequest",
         "<registrazioneUtenteResponse>88</registrazioneUtenteResponse>",
         [](accountSOAPProxy &p, QString &read) {
             account__registrazioneUtenteRequestType request;
             request.username = "nuovo";
             account__registrazioneUtenteResponse response;
             const int rc = p.registrazioneUtente(&request, response);
             read = QString::number(response.registrazioneUtenteResponse);
             return rc;
         },
         "88"},
    };
    return ops;
}

} // namespace

class AccountBindingTest : public QObject
{
    Q_OBJECT

private slots:
    void requestWireForm_data();
    void requestWireForm();
    void authenticationHeader();
    void customerRecordOnTheWire();
    void nullRecordIsNil();
    void requestsStaySoap11AfterSoap12Answer();

    void customerListReadLeniently();
    void emptyAndNilPrimitives_data();
    void emptyAndNilPrimitives();
    void loginAnswerByXsiType_data();
    void loginAnswerByXsiType();
    void multiReferenceAnswer();
    void isoLatinStrings();

    void failures_data();
    void failures();
    void failureTextsDescribeTheirOwnCall();
    void receiveTimeout();
    void refusedPort();

private:
    SoapTestServer m_server;
};

void AccountBindingTest::requestWireForm_data()
{
    QTest::addColumn<int>("index");
    for (size_t i = 0; i < operations().size(); ++i)
        QTest::newRow(operations()[i].name) << int(i);
}

void AccountBindingTest::requestWireForm()
{
    QFETCH(int, index);
    const Operation &op = operations()[size_t(index)];
    m_server.clear();
    m_server.enqueueXml(answer(op.name, op.answerContent));

    Client client(m_server);
    QString read;
    QCOMPARE(op.call(client.proxy, read), SOAP_OK);
    QCOMPARE(read, op.expectedRead);

    QCOMPARE(m_server.requestCount(), 1);
    const SoapTestServer::Request request = m_server.lastRequest();
    QCOMPARE(request.method, QByteArray("POST"));
    QCOMPARE(request.path, QByteArray("/account.php"));
    QCOMPARE(request.soapAction(), (accountNs + QLatin1String(op.name)).toLatin1());
    QVERIFY(request.header("content-type").startsWith("text/xml; charset=utf-8"));

    const Message message(request.body);
    QVERIFY2(message.isValid(), qPrintable(message.parseError()));
    QCOMPARE(message.envelope().namespaceURI(), envelopeNs);
    const QList<QPair<QString, QString>> expectedNamespaces = {
        {"SOAP-ENV", envelopeNs},
        {"SOAP-ENC", "http://schemas.xmlsoap.org/soap/encoding/"},
        {"xsi", "http://www.w3.org/2001/XMLSchema-instance"},
        {"xsd", "http://www.w3.org/2001/XMLSchema"},
        {"account", accountNs},
    };
    QCOMPARE(message.envelopeNamespaces(), expectedNamespaces);
    QVERIFY(!request.body.contains("encodingStyle"));
    QVERIFY(!request.body.contains(" id=\"") && !request.body.contains("href="));
    QVERIFY(message.header().isNull());

    QCOMPARE(message.bodyElementCount(), 1);
    const QDomElement operation = message.operation();
    QCOMPARE(operation.namespaceURI(), accountNs);
    QCOMPARE(operation.localName(), QString::fromLatin1(op.name));
    QVERIFY(xmlassert::xsiType(operation).isEmpty());
    const QList<QDomElement> children = xmlassert::children(operation);
    if (!op.requestChild) {
        QVERIFY(children.isEmpty());
        return;
    }
    QCOMPARE(children.size(), 1);
    QCOMPARE(children[0].localName(), QString::fromLatin1(op.requestChild));
    QVERIFY2(children[0].namespaceURI().isEmpty(), "request children are unqualified");
}

void AccountBindingTest::authenticationHeader()
{
    m_server.clear();
    m_server.enqueueXml(answer("esisteUtente", "<esisteUtenteResponse>true</esisteUtenteResponse>"));
    m_server.enqueueXml(answer("esisteUtente", "<esisteUtenteResponse>true</esisteUtenteResponse>"));

    Client client(m_server);
    account__Authentication credentials;
    credentials.isOperator = true;
    credentials.username = "op";
    credentials.password = "sec<r>et";
    client.proxy.soap_header(&credentials);
    account__esisteUtenteResponse response;
    QCOMPARE(client.proxy.esisteUtente("x", response), SOAP_OK);

    const Message first(m_server.requests().at(0).body);
    const QDomElement auth = xmlassert::child(first.header(), accountNs, "Authentication");
    QVERIFY(!auth.isNull());
    QVERIFY(xmlassert::xsiType(auth).isEmpty());
    QVERIFY(!auth.hasAttributeNS(envelopeNs, "mustUnderstand"));
    QCOMPARE(xmlassert::childNames(auth), (QStringList{"isOperator", "username", "password"}));
    QCOMPARE(xmlassert::child(auth, "", "isOperator").text(), QString("true"));
    QCOMPARE(xmlassert::child(auth, "", "password").text(), QString("sec<r>et"));

    // reading the answer drops the header: the next call carries none unless attached again
    QCOMPARE(client.proxy.esisteUtente("x", response), SOAP_OK);
    const Message second(m_server.requests().at(1).body);
    QVERIFY(second.header().isNull());
}

void AccountBindingTest::customerRecordOnTheWire()
{
    m_server.clear();
    m_server.enqueueXml(answer("inserisciUtente", "<inserisciUtenteResponse>1</inserisciUtenteResponse>"));
    Client client(m_server);
    account__inserisciUtenteRequestType request;
    account__Utente customer; // every string empty
    customer.spedizione = 0.1f;
    request.Utente = &customer;
    account__inserisciUtenteResponse response;
    QCOMPARE(client.proxy.inserisciUtente(&request, response), SOAP_OK);

    const Message message(m_server.lastRequest().body);
    const QDomElement wrapper = xmlassert::child(message.operation(), "inserisciUtenteRequest");
    QVERIFY(xmlassert::xsiType(wrapper).isEmpty());
    const QDomElement utente = xmlassert::child(wrapper, "", "Utente");
    QVERIFY(!utente.isNull());
    const QString type = xmlassert::xsiType(utente);
    QCOMPARE(type.section(':', 1), QString("Utente"));
    QCOMPARE(message.uriOfQName(type), accountNs);
    const QStringList expected = {"id", "username", "password", "autorizzazioni", "stato_account",
                                  "codice_utente", "nome", "cognome", "ragione_sociale", "cap", "cf",
                                  "citta", "email", "fax", "indirizzo", "piva", "provincia",
                                  "tel_fisso", "tel_cell", "notifiche", "pagamento", "spedizione"};
    QCOMPARE(xmlassert::childNames(utente), expected);
    for (const QDomElement &c : xmlassert::children(utente)) {
        QVERIFY2(c.namespaceURI().isEmpty(), qPrintable(c.localName()));
        QVERIFY2(!c.hasAttributes(), qPrintable(c.localName()));
    }
    QCOMPARE(xmlassert::child(utente, "", "spedizione").text(), QString("0.100000001"));
    QCOMPARE(xmlassert::child(utente, "", "nome").text(), QString());
}

void AccountBindingTest::nullRecordIsNil()
{
    m_server.clear();
    m_server.enqueueXml(answer("modificaUtente", "<modificaUtenteResponse>false</modificaUtenteResponse>"));
    Client client(m_server);
    account__modificaUtenteRequestType request; // Utente left null
    account__modificaUtenteResponse response;
    QCOMPARE(client.proxy.modificaUtente(&request, response), SOAP_OK);
    const Message message(m_server.lastRequest().body);
    const QDomElement utente =
        xmlassert::child(xmlassert::child(message.operation(), "modificaUtenteRequest"), "", "Utente");
    QVERIFY(!utente.isNull());
    QVERIFY(xmlassert::isNil(utente));
    QVERIFY(!utente.hasChildNodes());
}

void AccountBindingTest::requestsStaySoap11AfterSoap12Answer()
{
    m_server.clear();
    m_server.enqueueXml(
        "<env:Envelope xmlns:env=\"http://www.w3.org/2003/05/soap-envelope\" " + accountNsDecl
        + "><env:Body><account:esisteUtenteResponse><esisteUtenteResponse>true</esisteUtenteResponse>"
          "</account:esisteUtenteResponse></env:Body></env:Envelope>");
    m_server.enqueueXml(answer("esisteUtente", "<esisteUtenteResponse>true</esisteUtenteResponse>"));
    Client client(m_server);
    account__esisteUtenteResponse response;
    QCOMPARE(client.proxy.esisteUtente("a", response), SOAP_OK);
    QVERIFY(response.esisteUtenteResponse);
    QCOMPARE(client.proxy.esisteUtente("a", response), SOAP_OK);
    const Message second(m_server.requests().at(1).body);
    QCOMPARE(second.envelope().namespaceURI(), envelopeNs);
}

// Children in any order, the first of two wins, unknown children skipped, missing children
// keep their defaults, a nil entry is a null pointer.
void AccountBindingTest::customerListReadLeniently()
{
    m_server.clear();
    m_server.enqueueXml(answer(
        "listaUtenti",
        "<listaUtentiResponse>"
        "<Utenti><spedizione>2.5</spedizione><nome>Anna</nome><nome>Second</nome>"
        "<unknown><deep>x</deep></unknown><id>1</id></Utenti>"
        "<other>skip me</other>"
        "<Utenti xsi:nil=\"true\"/>"
        "<Utenti xsi:type=\"account:Operatore\"><codice_operatore>OP</codice_operatore><id>2</id></Utenti>"
        "</listaUtentiResponse>"));
    Client client(m_server);
    account__listaUtentiRequestType request;
    account__listaUtentiResponse response;
    QCOMPARE(client.proxy.listaUtenti(&request, response), SOAP_OK);
    QVERIFY(response.listaUtentiResponse);
    const auto &list = response.listaUtentiResponse->Utenti;
    QCOMPARE(int(list.size()), 3);
    QCOMPARE(list[0]->nome, std::string("Anna"));
    QCOMPARE(list[0]->id, 1);
    QCOMPARE(list[0]->spedizione, 2.5f);
    QCOMPARE(list[0]->pagamento, 0);
    QCOMPARE(list[0]->cognome, std::string());
    QVERIFY(list[1] == nullptr);
    QCOMPARE(list[2]->soap_type(), long(SOAP_TYPE_account__Utente));
    QCOMPARE(list[2]->id, 2);

    // no list at all is an empty answer, not a failure
    m_server.enqueueXml(answer("listaUtenti", "<listaUtentiResponse/>"));
    QCOMPARE(client.proxy.listaUtenti(&request, response), SOAP_OK);
    QVERIFY(response.listaUtentiResponse);
    QVERIFY(response.listaUtentiResponse->Utenti.empty());
}

void AccountBindingTest::emptyAndNilPrimitives_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<int>("expectedRc");
    QTest::addColumn<int>("expectedValue");

    QTest::newRow("empty int") << QByteArray("<prossimoCodiceUtenteResponse></prossimoCodiceUtenteResponse>") << 0 << 0;
    QTest::newRow("self-closed int") << QByteArray("<prossimoCodiceUtenteResponse/>") << 0 << 0;
    QTest::newRow("nil int") << QByteArray("<prossimoCodiceUtenteResponse xsi:nil=\"true\"/>") << 0 << 0;
    QTest::newRow("missing int") << QByteArray() << 0 << 0;
    QTest::newRow("spaces around") << QByteArray("<prossimoCodiceUtenteResponse> 42 </prossimoCodiceUtenteResponse>") << 0 << 42;
    QTest::newRow("prefixed child") << QByteArray("<x:prossimoCodiceUtenteResponse xmlns:x=\"urn:any\">8</x:prossimoCodiceUtenteResponse>") << 0 << 8;
    QTest::newRow("twice: first wins") << QByteArray("<prossimoCodiceUtenteResponse>1</prossimoCodiceUtenteResponse><prossimoCodiceUtenteResponse>2</prossimoCodiceUtenteResponse>") << 0 << 1;
    QTest::newRow("letter after number") << QByteArray("<prossimoCodiceUtenteResponse>4a</prossimoCodiceUtenteResponse>") << int(SOAP_TYPE) << 0;
}

void AccountBindingTest::emptyAndNilPrimitives()
{
    QFETCH(QByteArray, content);
    QFETCH(int, expectedRc);
    QFETCH(int, expectedValue);
    m_server.clear();
    m_server.enqueueXml(answer("prossimoCodiceUtente", content));
    Client client(m_server);
    account__prossimoCodiceUtenteResponse response;
    const int rc = client.proxy.prossimoCodiceUtente(response);
    QCOMPARE(rc == SOAP_OK, expectedRc == SOAP_OK);
    if (rc == SOAP_OK)
        QCOMPARE(response.prossimoCodiceUtenteResponse, expectedValue);

    // the boolean readers follow the same rules
    m_server.enqueueXml(answer("esisteUtente", "<esisteUtenteResponse xsi:nil=\"true\"/>"));
    account__esisteUtenteResponse exists;
    exists.esisteUtenteResponse = true;
    QCOMPARE(client.proxy.esisteUtente("a", exists), SOAP_OK);
    QVERIFY(!exists.esisteUtenteResponse);
}

void AccountBindingTest::loginAnswerByXsiType_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<int>("expectedType"); // 0: null account
    QTest::addColumn<QString>("expectedName");

    QTest::newRow("customer") << QByteArray("<loginResponse xsi:type=\"account:Utente\"><id>5</id><nome>Anna</nome></loginResponse>")
                              << int(SOAP_TYPE_account__Utente) << "Anna";
    QTest::newRow("operator") << QByteArray("<loginResponse xsi:type=\"account:Operatore\"><id>6</id><nome>Op</nome></loginResponse>")
                              << int(SOAP_TYPE_account__Operatore) << "Op";
    QTest::newRow("no type: bare account") << QByteArray("<loginResponse><id>7</id><nome>Skipped</nome></loginResponse>")
                                           << int(SOAP_TYPE_account__Account) << "";
    QTest::newRow("customer type of another namespace")
        << QByteArray("<loginResponse xmlns:o=\"urn:other\" xsi:type=\"o:Utente\"><id>8</id></loginResponse>")
        << int(SOAP_TYPE_account__Account) << "";
    QTest::newRow("nil") << QByteArray("<loginResponse xsi:nil=\"true\"/>") << 0 << "";
}

void AccountBindingTest::loginAnswerByXsiType()
{
    QFETCH(QByteArray, content);
    QFETCH(int, expectedType);
    QFETCH(QString, expectedName);
    m_server.clear();
    m_server.enqueueXml(answer("login", content));
    Client client(m_server);
    account__Authentication credentials;
    account__loginResponse response;
    QCOMPARE(client.proxy.login(&credentials, response), SOAP_OK);
    if (expectedType == 0) {
        QVERIFY(response.loginResponse == nullptr);
        return;
    }
    QVERIFY(response.loginResponse);
    QCOMPARE(int(response.loginResponse->soap_type()), expectedType);
    if (expectedType == SOAP_TYPE_account__Utente)
        QCOMPARE(QString::fromStdString(static_cast<account__Utente *>(response.loginResponse)->nome), expectedName);
    if (expectedType == SOAP_TYPE_account__Operatore)
        QCOMPARE(QString::fromStdString(static_cast<account__Operatore *>(response.loginResponse)->nome), expectedName);
}

void AccountBindingTest::multiReferenceAnswer()
{
    m_server.clear();
    m_server.enqueueXml(soapEnvelope(
        "<account:loginResponse><loginResponse href=\"#ref1\"/></account:loginResponse>"
        "<multiRef id=\"ref1\" xsi:type=\"account:Utente\"><id>11</id><nome>Ref</nome></multiRef>",
        accountNsDecl));
    Client client(m_server);
    account__Authentication credentials;
    account__loginResponse response;
    QCOMPARE(client.proxy.login(&credentials, response), SOAP_OK);
    QVERIFY(response.loginResponse);
    QCOMPARE(int(response.loginResponse->soap_type()), int(SOAP_TYPE_account__Utente));
    QCOMPARE(response.loginResponse->id, 11);
}

// Strings are bytes read as ISO-8859-1: 0xE9 goes out as UTF-8 C3 A9 and comes back as one byte.
void AccountBindingTest::isoLatinStrings()
{
    m_server.clear();
    m_server.enqueueXml(answer("esisteUtente", "<esisteUtenteResponse>true</esisteUtenteResponse>"));
    Client client(m_server);
    account__esisteUtenteResponse response;
    QCOMPARE(client.proxy.esisteUtente(std::string("caf\xe9 & <co>"), response), SOAP_OK);
    const QByteArray body = m_server.lastRequest().body;
    QVERIFY(body.contains("caf\xc3\xa9 &amp; &lt;co&gt;"));

    m_server.enqueueXml(answer("login", "<loginResponse xsi:type=\"account:Utente\"><nome>Jos\xc3\xa9</nome></loginResponse>"));
    account__Authentication credentials;
    account__loginResponse login;
    QCOMPARE(client.proxy.login(&credentials, login), SOAP_OK);
    QCOMPARE(static_cast<account__Utente *>(login.loginResponse)->nome, std::string("Jos\xe9"));
}

// Failed calls: non-zero result, and the two texts of the failure describe this call.
void AccountBindingTest::failures_data()
{
    QTest::addColumn<SoapTestServer::Reply>("reply");
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("message"); // empty: any non-empty runtime text
    QTest::addColumn<bool>("notSoap");

    SoapTestServer::Reply r;
    r.body = soapEnvelope("<SOAP-ENV:Fault><faultcode xmlns:e=\"http://schemas.xmlsoap.org/soap/envelope/\">e:Server</faultcode>"
                          "<faultstring>x</faultstring></SOAP-ENV:Fault>");
    r.status = 500;
    QTest::newRow("SOAP 1.1 fault, foreign prefix") << r << "SOAP-ENV:Server" << "x" << false;

    r.body = "<env:Envelope xmlns:env=\"http://www.w3.org/2003/05/soap-envelope\"><env:Body><env:Fault>"
             "<env:Code><env:Value>env:Receiver</env:Value></env:Code>"
             "<env:Reason><env:Text xml:lang=\"it\">Errore interno</env:Text></env:Reason>"
             "</env:Fault></env:Body></env:Envelope>";
    QTest::newRow("SOAP 1.2 fault") << r << "SOAP-ENV:Receiver" << "Errore interno" << false;

    r.status = 200;
    r.contentType = "text/html";
    r.body = "<html><body>Pagina di manutenzione</body></html>";
    QTest::newRow("HTML page with 200") << r << "SOAP-ENV:Client" << "" << true;

    r.body = "<html><body>Not found</body></html>";
    r.status = 404;
    QTest::newRow("HTTP 404") << r << "SOAP-ENV:Client" << "" << false;

    r.status = 500;
    r.contentType = "text/plain";
    r.body = "Internal error";
    QTest::newRow("HTTP 500 without envelope") << r << "SOAP-ENV:Client" << "" << false;

    r = SoapTestServer::Reply();
    r.body = answer("esisteOperatore", "<esisteOperatoreResponse>true</esisteOperatoreResponse>");
    QTest::newRow("wrong wrapper") << r << "SOAP-ENV:Client" << "" << false;

    r.body = answer("esisteUtente", "<esisteUtenteResponse>true</esisteUtenteResponse>");
    r.closeAfterBytes = 330;
    QTest::newRow("truncated body") << r << "SOAP-ENV:Client" << "" << false;

    r = SoapTestServer::Reply();
    r.body = answer("esisteUtente", "<esisteUtenteResponse>maybe</esisteUtenteResponse>");
    QTest::newRow("malformed boolean") << r << "SOAP-ENV:Client" << "" << false;
}

void AccountBindingTest::failures()
{
    QFETCH(SoapTestServer::Reply, reply);
    QFETCH(QString, code);
    QFETCH(QString, message);
    QFETCH(bool, notSoap);
    m_server.clear();
    m_server.enqueue(reply);
    Client client(m_server);
    account__esisteUtenteResponse response;
    QVERIFY(client.proxy.esisteUtente("a", response) != SOAP_OK);
    const korvexsoap::Failure failure = korvexsoap::describeFailure(&client.proxy);
    QCOMPARE(QString::fromStdString(failure.code), code);
    if (message.isEmpty())
        QVERIFY2(!failure.message.empty(), "a runtime failure comes with the runtime's text");
    else
        QCOMPARE(QString::fromStdString(failure.message), message);
    QCOMPARE(failure.notSoap, notSoap);
}

// A failure after a fault on the same proxy carries its own texts, not the fault's.
void AccountBindingTest::failureTextsDescribeTheirOwnCall()
{
    m_server.clear();
    SoapTestServer::Reply fault;
    fault.status = 500;
    fault.body = soapFault("SOAP-ENV:Server", "old fault");
    m_server.enqueue(fault);
    SoapTestServer::Reply html;
    html.body = "<html/>";
    m_server.enqueue(html);
    Client client(m_server);
    account__esisteUtenteResponse response;
    QVERIFY(client.proxy.esisteUtente("a", response) != SOAP_OK);
    QCOMPARE(korvexsoap::describeFailure(&client.proxy).message, std::string("old fault"));
    client.proxy.destroy();
    QVERIFY(client.proxy.esisteUtente("a", response) != SOAP_OK);
    const korvexsoap::Failure second = korvexsoap::describeFailure(&client.proxy);
    QCOMPARE(second.code, std::string("SOAP-ENV:Client"));
    QVERIFY(second.message != "old fault");
    QVERIFY(!second.message.empty());
}

void AccountBindingTest::receiveTimeout()
{
    const QByteArray outer = qgetenv("KORVEX2_WS_TIMEOUT");
    qputenv("KORVEX2_WS_TIMEOUT", "1");
    const auto restore = qScopeGuard([&outer] { qputenv("KORVEX2_WS_TIMEOUT", outer); });
    m_server.clear();
    SoapTestServer::Reply silent;
    silent.silent = true;
    m_server.enqueue(silent);
    Client client(m_server);
    qputenv("KORVEX2_WS_TIMEOUT", outer);
    QCOMPARE(client.proxy.recv_timeout, 1);
    QElapsedTimer timer;
    timer.start();
    account__esisteUtenteResponse response;
    QVERIFY(client.proxy.esisteUtente("a", response) != SOAP_OK);
    // The proxy's own second, not a later value of the variable (the tests' 60 s): a bound
    // that a busy machine stays well under.
    QVERIFY2(timer.elapsed() < 30000, qPrintable(QString::number(timer.elapsed())));
    const korvexsoap::Failure failure = korvexsoap::describeFailure(&client.proxy);
    QCOMPARE(failure.code, std::string("SOAP-ENV:Client"));
    QVERIFY(!failure.message.empty());
}

void AccountBindingTest::refusedPort()
{
    quint16 port = 0;
    {
        QTcpServer probe;
        QVERIFY(probe.listen(QHostAddress::LocalHost, 0));
        port = probe.serverPort();
    }
    accountSOAPProxy proxy(SOAP_XML_INDENT);
    const std::string endpoint = "http://127.0.0.1:" + std::to_string(port) + "/account.php";
    proxy.soap_endpoint = endpoint.c_str();
    korvexsoap::applyTimeouts(&proxy);
    account__esisteUtenteResponse response;
    QVERIFY(proxy.esisteUtente("a", response) != SOAP_OK);
    const korvexsoap::Failure failure = korvexsoap::describeFailure(&proxy);
    QCOMPARE(failure.code, std::string("SOAP-ENV:Client"));
    QVERIFY(!failure.message.empty());
}


QTEST_GUILESS_MAIN(AccountBindingTest)
#include "tst_accountbinding.moc"
