// The operator account: every operation on the wire and back.

#include <QtTest>

#include <memory>

#include "accountanswers.h"
#include "operatore.h"
#include "soaptestserver.h"
#include "xmlassert.h"

using namespace accounttest;

namespace {

const QStringList operatorElements = {"id",        "username", "password", "autorizzazioni",
                                      "stato_account", "codice_operatore", "nome", "cognome",
                                      "email",     "tel_fisso", "tel_cell"};

void fill(Operatore &operatore)
{
    operatore.Setid(8);
    operatore.username = "abianchi";
    operatore.password = "pw";
    operatore.autorizzazioni = 6;
    operatore.stato_account = 1;
    operatore.codice_operatore = "OP8";
    operatore.nome = "Anna";
    operatore.cognome = "Bianchi";
    operatore.email = "a@example.invalid";
    operatore.tel_fisso = "051 1";
    operatore.tel_cell = "347 2";
}

// Values of operatorFields().
void verifyOperator(const Operatore &operatore, int id, const std::string &username)
{
    QCOMPARE(operatore.Getid(), id);
    QCOMPARE(operatore.username, username);
    QCOMPARE(operatore.password, "pw-" + username);
    QCOMPARE(operatore.autorizzazioni, 6);
    QCOMPARE(operatore.stato_account, 1);
    QCOMPARE(operatore.codice_operatore, "OP" + std::to_string(id));
    QCOMPARE(operatore.nome, std::string("Anna"));
    QCOMPARE(operatore.cognome, std::string("Bianchi"));
    QCOMPARE(operatore.email, std::string("a@example.invalid"));
    QCOMPARE(operatore.tel_fisso, std::string("051 1"));
    QCOMPARE(operatore.tel_cell, std::string("347 2"));
}

QByteArray operatorsAnswer(const QList<QByteArray> &records)
{
    return listAnswer("listaOperatori", records);
}

QByteArray anOperator(int id, const QByteArray &username)
{
    return record("Operatori", "acc:Operatore", operatorFields(id, username));
}

} // namespace

class TestOperatore : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanupTestCase();

    void login_data();
    void login();
    void inserisci();
    void inserisciFailures();
    void modifica();
    void cancellaAndEsiste();
    void operatorCodes();
    void listaSQL();
    void lista();
    void initTakesTheExactUsername();
    void constructorByUsername();

private:
    SoapTestServer m_server;
};

void TestOperatore::init()
{
    m_server.clear();
    setSettings(m_server.baseUrl());
}

void TestOperatore::cleanupTestCase()
{
    setSettings(QString());
}

void TestOperatore::login_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<bool>("success");

    QTest::newRow("operator")
        << answer("login", record("loginResponse", "acc:Operatore", operatorFields(3, "abianchi")))
        << true;
    QTest::newRow("customer")
        << answer("login", record("loginResponse", "acc:Utente", customerFields(3, "abianchi")))
        << false;
    QTest::newRow("bare account")
        << answer("login", record("loginResponse", QByteArray(), operatorFields(3, "abianchi")))
        << false;
    QTest::newRow("nil") << answer("login", "<loginResponse xsi:nil=\"true\"/>") << false;
    QTest::newRow("no account") << answer("login", QByteArray()) << false;
}

void TestOperatore::login()
{
    QFETCH(QByteArray, reply);
    QFETCH(bool, success);

    // the header says "customer"; the login record says "operator" all the same
    setSettings(m_server.baseUrl(), "ws", "secret", false);
    m_server.enqueueXml(reply);
    Operatore operatore;
    if (success) {
        QVERIFY(operatore.login("abianchi", "pw"));
        verifyOperator(operatore, 3, "abianchi");
    } else {
        try {
            operatore.login("abianchi", "pw");
            QFAIL("login succeeded");
        } catch (const Operatore::OperatoreException &e) {
            QVERIFY(e.code.empty());
            QVERIFY(!e.message.empty());
        }
        QVERIFY(operatore.username.empty());
        QCOMPARE(operatore.Getid(), 0);
    }

    const xmlassert::Message message(m_server.lastRequest().body);
    const QDomElement header =
        xmlassert::child(message.header(), QLatin1String(accountUri), "Authentication");
    QCOMPARE(text(header, "isOperator"), QStringLiteral("false"));
    const QDomElement request =
        xmlassert::child(operationOf(m_server.lastRequest(), "login"), "loginRequest");
    QCOMPARE(text(request, "isOperator"), QStringLiteral("true"));
    QCOMPARE(text(request, "username"), QStringLiteral("abianchi"));
    QCOMPARE(text(request, "password"), QStringLiteral("pw"));
}

void TestOperatore::inserisci()
{
    m_server.enqueueXml(valueAnswer("inserisciOperatore", "77"));
    m_server.enqueueXml(valueAnswer("incrementaCodiceOperatore", "true"));
    Operatore operatore;
    fill(operatore);
    QVERIFY(operatore.inserisci());
    QCOMPARE(operatore.Getid(), 77);

    const QList<SoapTestServer::Request> requests = m_server.requests();
    QCOMPARE(requests.size(), 2);
    const QDomElement record = xmlassert::child(
        xmlassert::child(operationOf(requests[0], "inserisciOperatore"),
                         "inserisciOperatoreRequest"),
        "Operatore");
    QCOMPARE(xmlassert::childNames(record), operatorElements);
    const QString type = xmlassert::xsiType(record);
    QCOMPARE(xmlassert::Message(requests[0].body).uriOfQName(type), QLatin1String(accountUri));
    QCOMPARE(type.section(':', 1), QStringLiteral("Operatore"));
    QCOMPARE(text(record, "id"), QStringLiteral("8"));
    QCOMPARE(text(record, "codice_operatore"), QStringLiteral("OP8"));
    QCOMPARE(text(record, "tel_cell"), QStringLiteral("347 2"));
    QVERIFY(xmlassert::children(operationOf(requests[1], "incrementaCodiceOperatore")).isEmpty());
}

void TestOperatore::inserisciFailures()
{
    Operatore operatore;
    fill(operatore);

    m_server.enqueueXml(valueAnswer("inserisciOperatore", ""));
    try {
        operatore.inserisci();
        QFAIL("insert without id succeeded");
    } catch (const Operatore::OperatoreException &e) {
        QVERIFY(e.code.empty());
    }
    QCOMPARE(operatore.Getid(), 8);
    QCOMPARE(m_server.requestCount(), 1);

    m_server.enqueueXml(valueAnswer("inserisciOperatore", "78"));
    m_server.enqueueXml(soapFault("SOAP-ENV:Server", "contatore"), 500);
    try {
        operatore.inserisci();
        QFAIL("no exception");
    } catch (const Operatore::OperatoreException &e) {
        QCOMPARE(e.code, std::string("SOAP-ENV:Server"));
        QCOMPARE(e.message, std::string("contatore"));
    }
    QCOMPARE(operatore.Getid(), 78);
}

void TestOperatore::modifica()
{
    m_server.enqueueXml(valueAnswer("modificaOperatore", "true"));
    Operatore operatore;
    fill(operatore);
    QVERIFY(operatore.modifica());
    const QDomElement record = xmlassert::child(
        xmlassert::child(operationOf(m_server.lastRequest(), "modificaOperatore"),
                         "modificaOperatoreRequest"),
        "Operatore");
    QCOMPARE(xmlassert::childNames(record), operatorElements);
    QCOMPARE(text(record, "username"), QStringLiteral("abianchi"));
    QCOMPARE(text(record, "email"), QStringLiteral("a@example.invalid"));
}

void TestOperatore::cancellaAndEsiste()
{
    m_server.enqueueXml(valueAnswer("cancellaOperatore", "true"));
    m_server.enqueueXml(valueAnswer("esisteOperatore", "0"));
    Operatore operatore;
    operatore.Setid(-3);
    QVERIFY(operatore.cancella());
    QVERIFY(!operatore.esiste("abianchi"));

    const QList<SoapTestServer::Request> requests = m_server.requests();
    QCOMPARE(text(operationOf(requests[0], "cancellaOperatore"), "cancellaOperatoreRequest"),
             QStringLiteral("-3"));
    QCOMPARE(text(operationOf(requests[1], "esisteOperatore"), "esisteOperatoreRequest"),
             QStringLiteral("abianchi"));
}

void TestOperatore::operatorCodes()
{
    m_server.enqueueXml(valueAnswer("prossimoCodiceOperatore", "101"));
    m_server.enqueueXml(valueAnswer("incrementaCodiceOperatore", "1"));
    Operatore operatore;
    QCOMPARE(operatore.prossimoCodiceOperatore(), 101);
    QVERIFY(operatore.incrementaCodiceOperatore());
    const QList<SoapTestServer::Request> requests = m_server.requests();
    QVERIFY(xmlassert::children(operationOf(requests[0], "prossimoCodiceOperatore")).isEmpty());
    QCOMPARE(requests[1].soapAction(),
             QByteArray("http://ws.korvex2.example/account/incrementaCodiceOperatore"));
}

void TestOperatore::listaSQL()
{
    m_server.enqueueXml(operatorsAnswer(
        {anOperator(1, "anna"), "<Operatori xsi:nil=\"true\"/>", anOperator(2, "bea")}));
    m_server.enqueueXml(answer("listaOperatori", QByteArray()));
    Operatore operatore;
    const std::vector<Account *> found = operatore.listaSQL(0, 20, "nome LIKE 'A%'", "id");
    const std::vector<std::unique_ptr<Account>> owned(found.begin(), found.end());
    QCOMPARE(found.size(), std::size_t(2));
    const auto *first = dynamic_cast<const Operatore *>(found[0]);
    const auto *second = dynamic_cast<const Operatore *>(found[1]);
    QVERIFY(first && second);
    verifyOperator(*first, 1, "anna");
    verifyOperator(*second, 2, "bea");

    const QDomElement request = xmlassert::child(
        operationOf(m_server.lastRequest(), "listaOperatori"), "listaOperatoriRequest");
    QCOMPARE(xmlassert::childNames(request), QStringList({"offset", "length", "filter", "order"}));
    QCOMPARE(text(request, "length"), QStringLiteral("20"));
    QCOMPARE(text(request, "filter"), QStringLiteral("nome LIKE 'A%'"));
    QCOMPARE(text(request, "order"), QStringLiteral("id"));

    QVERIFY(operatore.listaSQL(0, 0, std::string(), std::string()).empty());
}

void TestOperatore::lista()
{
    m_server.enqueueXml(operatorsAnswer({}));
    Operatore operatore;
    QVERIFY(operatore.lista({{"username", "O'Neil"}}).empty());
    QCOMPARE(text(xmlassert::child(operationOf(m_server.lastRequest(), "listaOperatori"),
                                   "listaOperatoriRequest"),
                  "filter"),
             QStringLiteral("username LIKE 'O''Neil'"));

    QVERIFY_EXCEPTION_THROWN(operatore.lista({{"nome", "a\\b"}}), Operatore::OperatoreException);
    QVERIFY_EXCEPTION_THROWN(operatore.lista({{"nome;", "a"}}), Operatore::OperatoreException);
    QCOMPARE(m_server.requestCount(), 1);
}

void TestOperatore::initTakesTheExactUsername()
{
    m_server.enqueueXml(operatorsAnswer({anOperator(1, "Abianchi"), anOperator(2, "abianchi")}));
    m_server.enqueueXml(operatorsAnswer({anOperator(1, "Abianchi")}));
    Operatore operatore;
    QVERIFY(operatore.init("abianchi"));
    verifyOperator(operatore, 2, "abianchi");

    Operatore other;
    other.nome = "prima";
    QVERIFY(!other.init("abianchi"));
    QCOMPARE(other.nome, std::string("prima"));
}

void TestOperatore::constructorByUsername()
{
    m_server.enqueueXml(operatorsAnswer({anOperator(4, "abianchi")}));
    const Operatore found("abianchi");
    verifyOperator(found, 4, "abianchi");

    m_server.enqueueXml(operatorsAnswer({}));
    try {
        const Operatore missing("nessuno");
        QFAIL("constructed");
    } catch (const Operatore::OperatoreException &e) {
        QCOMPARE(e.code, std::string());
        QCOMPARE(e.message,
                 std::string("Impossibile inizializzare operatore.\nUsername not found."));
    }
}

QTEST_GUILESS_MAIN(TestOperatore)
#include "tst_operatore.moc"
