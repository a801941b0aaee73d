// What every account object shares: where its calls go, the credentials header, the
// time-outs, how failures become exceptions, and the authorisation mask.

#include <QtTest>

#include <QElapsedTimer>
#include <QTcpServer>

#include <type_traits>

#include "accountanswers.h"
#include "operatore.h"
#include "soaptestserver.h"
#include "utente.h"
#include "xmlassert.h"

using namespace accounttest;

Q_DECLARE_METATYPE(SoapTestServer::Reply)

// Each account owns its proxy and endpoint text: no copy may share them. Only the
// customer has an assignment, which copies data.
static_assert(!std::is_copy_constructible_v<Utente>);
static_assert(!std::is_copy_constructible_v<Operatore>);
static_assert(!std::is_copy_assignable_v<Operatore>);
static_assert(!std::is_copy_assignable_v<Account>);
static_assert(std::is_copy_assignable_v<Utente>);

namespace {

// A loopback port on which nothing listens.
quint16 closedPort()
{
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost, 0))
        return 0;
    const quint16 port = probe.serverPort();
    probe.close();
    return port;
}

QDomElement authenticationOf(const SoapTestServer::Request &request)
{
    const xmlassert::Message message(request.body);
    return xmlassert::child(message.header(), QLatin1String(accountUri),
                            QStringLiteral("Authentication"));
}

} // namespace

class TestAccount : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanupTestCase();

    void endpointIsBasePlusScript_data();
    void endpointIsBasePlusScript();
    void emptyEndpointKeepsTheLastOne();

    void credentialsHeader_data();
    void credentialsHeader();
    void clearedCredentialsSendNoHeader_data();
    void clearedCredentialsSendNoHeader();

    void failures_data();
    void failures();
    void failureTextsAreThisCallsOwn();
    void silentServerTimesOut();
    void baseHandlerCatchesBothSubclasses();

    void authorisationMask();
    void impostaAutorizzazioni_data();
    void impostaAutorizzazioni();

private:
    SoapTestServer m_server;
};

void TestAccount::initTestCase()
{
    // the calls' time-outs, shortened as the test runner does
    if (qEnvironmentVariableIsEmpty("KORVEX2_WS_TIMEOUT"))
        qputenv("KORVEX2_WS_TIMEOUT", "60");
}

void TestAccount::init()
{
    m_server.clear();
    setSettings(m_server.baseUrl());
}

void TestAccount::cleanupTestCase()
{
    setSettings(QString());
}

void TestAccount::endpointIsBasePlusScript_data()
{
    QTest::addColumn<QString>("base");
    QTest::addColumn<QByteArray>("path");

    const QString root = QStringLiteral("http://127.0.0.1:%1").arg(m_server.port());
    QTest::newRow("with slash") << root + "/" << QByteArray("/account.php");
    QTest::newRow("without slash") << root << QByteArray("/account.php");
    QTest::newRow("folder") << root + "/ws" << QByteArray("/ws/account.php");
    QTest::newRow("folder with slash") << root + "/ws/" << QByteArray("/ws/account.php");
}

void TestAccount::endpointIsBasePlusScript()
{
    QFETCH(QString, base);
    QFETCH(QByteArray, path);

    setSettings(base);
    m_server.enqueueXml(valueAnswer("esisteUtente", "true"));
    Utente utente;
    QVERIFY(utente.esiste("mrossi"));

    const SoapTestServer::Request request = m_server.lastRequest();
    QCOMPARE(request.method, QByteArray("POST"));
    QCOMPARE(request.path, path);
    QCOMPARE(request.soapAction(), QByteArray("http://ws.korvex2.example/account/esisteUtente"));
}

void TestAccount::emptyEndpointKeepsTheLastOne()
{
    SoapTestServer other;
    setSettings(other.baseUrl());
    other.enqueueXml(valueAnswer("esisteUtente", "true"));
    other.enqueueXml(valueAnswer("esisteUtente", "false"));

    Utente utente;
    QVERIFY(utente.esiste("a"));
    setSettings(QString());
    QVERIFY(!utente.esiste("b"));

    QCOMPARE(other.requestCount(), 2);
    QCOMPARE(m_server.requestCount(), 0);
}

void TestAccount::credentialsHeader_data()
{
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("pass");
    QTest::addColumn<bool>("operatorAuth");
    QTest::addColumn<bool>("header");

    QTest::newRow("none") << QString() << QString() << false << false;
    QTest::newRow("user only") << "ws" << QString() << true << false;
    QTest::newRow("password only") << QString() << "secret" << false << false;
    QTest::newRow("customer") << "ws" << "secret" << false << true;
    QTest::newRow("operator flag") << "ws" << "s&<cret" << true << true;
}

void TestAccount::credentialsHeader()
{
    QFETCH(QString, user);
    QFETCH(QString, pass);
    QFETCH(bool, operatorAuth);
    QFETCH(bool, header);

    setSettings(m_server.baseUrl(), user.toStdString(), pass.toStdString(), operatorAuth);
    m_server.enqueueXml(valueAnswer("esisteUtente", "true"));
    Utente utente; // the flag comes from the settings, never from the account's class
    QVERIFY(utente.esiste("x"));

    const xmlassert::Message message(m_server.lastRequest().body);
    QVERIFY2(message.isValid(), qPrintable(message.parseError()));
    QCOMPARE(message.bodyElementCount(), 1);
    if (!header) {
        QVERIFY(message.header().isNull());
        return;
    }
    const QDomElement authentication = authenticationOf(m_server.lastRequest());
    QVERIFY(!authentication.isNull());
    QCOMPARE(xmlassert::childNames(authentication),
             QStringList({"isOperator", "username", "password"}));
    QCOMPARE(xmlassert::child(authentication, "username").text(), user);
    QCOMPARE(xmlassert::child(authentication, "password").text(), pass);
    QCOMPARE(xmlassert::child(authentication, "isOperator").text(),
             operatorAuth ? QStringLiteral("true") : QStringLiteral("false"));
}

void TestAccount::clearedCredentialsSendNoHeader_data()
{
    QTest::addColumn<bool>("firstCallFails");

    QTest::newRow("after an answered call") << false;
    QTest::newRow("after a refused connection") << true;
}

void TestAccount::clearedCredentialsSendNoHeader()
{
    QFETCH(bool, firstCallFails);

    Utente utente;
    if (firstCallFails) {
        setSettings(QStringLiteral("http://127.0.0.1:%1/").arg(closedPort()), "ws", "secret");
        QVERIFY_EXCEPTION_THROWN(utente.esiste("x"), Utente::UtenteException);
    } else {
        setSettings(m_server.baseUrl(), "ws", "secret");
        m_server.enqueueXml(valueAnswer("esisteUtente", "true"));
        QVERIFY(utente.esiste("x"));
        QVERIFY(!authenticationOf(m_server.lastRequest()).isNull());
    }

    setSettings(m_server.baseUrl(), std::string(), "secret");
    m_server.enqueueXml(valueAnswer("esisteUtente", "true"));
    QVERIFY(utente.esiste("x"));
    QVERIFY(xmlassert::Message(m_server.lastRequest().body).header().isNull());
}

void TestAccount::failures_data()
{
    QTest::addColumn<SoapTestServer::Reply>("reply");
    QTest::addColumn<bool>("refused");
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("message"); // "*": the runtime's own text, whatever it says

    const QByteArray foreignPrefixFault =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
        "<e:Envelope xmlns:e=\"http://schemas.xmlsoap.org/soap/envelope/\"><e:Body><e:Fault>"
        "<faultcode>e:Server</faultcode><faultstring>x</faultstring>"
        "</e:Fault></e:Body></e:Envelope>";
    SoapTestServer::Reply reply;

    reply.status = 500;
    reply.body = foreignPrefixFault;
    QTest::newRow("fault") << reply << false << "SOAP-ENV:Server" << "x";

    reply.status = 200;
    reply.body = soapFault("SOAP-ENV:Client", "Utente non autorizzato");
    QTest::newRow("client fault with 200")
        << reply << false << "SOAP-ENV:Client" << "Utente non autorizzato";

    reply.status = 200;
    reply.contentType = "text/html";
    reply.body = "<html><body>Manutenzione</body></html>";
    QTest::newRow("html page") << reply << false << "SOAP-ENV:Client" << "*";

    reply.status = 500;
    reply.body = "Internal Server Error";
    QTest::newRow("http 500") << reply << false << "SOAP-ENV:Client" << "*";

    reply = SoapTestServer::Reply();
    reply.body = valueAnswer("esisteOperatore", "true");
    QTest::newRow("wrong wrapper") << reply << false << "SOAP-ENV:Client" << "*";

    reply.body = valueAnswer("cancellaUtente", "forse");
    QTest::newRow("malformed boolean") << reply << false << "SOAP-ENV:Client" << "*";

    reply.body = valueAnswer("cancellaUtente", "true");
    reply.closeAfterBytes = 60;
    QTest::newRow("early close") << reply << false << "SOAP-ENV:Client" << "*";

    QTest::newRow("refused") << SoapTestServer::Reply() << true << "SOAP-ENV:Client" << "*";
}

void TestAccount::failures()
{
    QFETCH(SoapTestServer::Reply, reply);
    QFETCH(bool, refused);
    QFETCH(QString, code);
    QFETCH(QString, message);

    if (refused)
        setSettings(QStringLiteral("http://127.0.0.1:%1/").arg(closedPort()));
    else
        m_server.enqueue(reply);

    Utente utente;
    utente.Setid(7);
    try {
        utente.cancella();
        QFAIL("no exception");
    } catch (const Utente::UtenteException &e) {
        QCOMPARE(QString::fromStdString(e.code), code);
        if (message == QLatin1String("*"))
            QVERIFY(!e.message.empty());
        else
            QCOMPARE(QString::fromStdString(e.message), message);
    }
    QCOMPARE(utente.Getid(), 7);

    Operatore operatore;
    if (!refused) {
        reply.body.replace("cancellaUtente", "cancellaOperatore");
        m_server.enqueue(reply);
    }
    try {
        operatore.cancella();
        QFAIL("no exception");
    } catch (const Operatore::OperatoreException &e) {
        QCOMPARE(QString::fromStdString(e.code), code);
        QVERIFY(!e.message.empty());
    }
}

void TestAccount::failureTextsAreThisCallsOwn()
{
    Utente utente;
    m_server.enqueueXml(soapFault("SOAP-ENV:Server", "primo errore"), 500);
    QVERIFY_EXCEPTION_THROWN(utente.esiste("x"), Utente::UtenteException);

    m_server.enqueueXml("<html>not soap</html>");
    try {
        utente.esiste("x");
        QFAIL("no exception");
    } catch (const Utente::UtenteException &e) {
        QCOMPARE(e.code, std::string("SOAP-ENV:Client"));
        QVERIFY(e.message != "primo errore");
    }
}

void TestAccount::silentServerTimesOut()
{
    SoapTestServer::Reply silent;
    silent.silent = true;
    m_server.enqueue(silent);

    // KORVEX2_WS_TIMEOUT shortens the 120 s to a second: the call ends then, not after the
    // 120 s (a generous bound well under those).
    const QByteArray timeout = qgetenv("KORVEX2_WS_TIMEOUT");
    qputenv("KORVEX2_WS_TIMEOUT", "1");
    const auto restore = qScopeGuard([&timeout] { qputenv("KORVEX2_WS_TIMEOUT", timeout); });
    Utente utente;
    QElapsedTimer timer;
    timer.start();
    QVERIFY_EXCEPTION_THROWN(utente.esiste("x"), Utente::UtenteException);
    QVERIFY2(timer.elapsed() < 60000, qPrintable(QString::number(timer.elapsed())));
}

void TestAccount::baseHandlerCatchesBothSubclasses()
{
    m_server.enqueueXml(soapFault("SOAP-ENV:Server", "u"), 500);
    m_server.enqueueXml(soapFault("SOAP-ENV:Server", "o"), 500);
    Utente utente;
    Operatore operatore;
    Account *accounts[] = {&utente, &operatore};
    QStringList messages;
    for (Account *account : accounts) {
        try {
            account->modifica();
        } catch (const Korvex2Exception &e) {
            QCOMPARE(e.code, std::string("SOAP-ENV:Server"));
            messages << QString::fromStdString(e.message);
        }
    }
    QCOMPARE(messages, QStringList({"u", "o"}));

    // a subclass handler does not catch the other subclass
    bool caughtAsOperatore = false;
    try {
        try {
            throw Utente::UtenteException("c", "m");
        } catch (const Operatore::OperatoreException &) {
            caughtAsOperatore = true;
        }
    } catch (const Utente::UtenteException &e) {
        QCOMPARE(e.code, std::string("c"));
        QCOMPARE(e.message, std::string("m"));
    }
    QVERIFY(!caughtAsOperatore);
}

void TestAccount::authorisationMask()
{
    Utente utente;
    QCOMPARE(utente.autorizzazioni, 0);
    QVERIFY(utente.controllaAutorizzazione(Anagrafica::Autorizzazione(0)));

    utente.autorizzazioni = 0x5;
    QVERIFY(utente.aggiungiAutorizzazione(Anagrafica::Autorizzazione(0x2)));
    QCOMPARE(utente.autorizzazioni, 0x7);
    QVERIFY(utente.controllaAutorizzazione(Anagrafica::Autorizzazione(0x3)));
    QVERIFY(utente.revocaAutorizzazione(Anagrafica::Autorizzazione(0x2)));
    QCOMPARE(utente.autorizzazioni, 0x5);
    QVERIFY(!utente.controllaAutorizzazione(Anagrafica::Autorizzazione(0x3)));
    QVERIFY(utente.controllaAutorizzazione(Anagrafica::Autorizzazione(0x1)));
}

void TestAccount::impostaAutorizzazioni_data()
{
    QTest::addColumn<QList<int>>("values");
    QTest::addColumn<int>("count");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<int>("mask");

    const QList<int> ten = {1, 2, 4, 8, 16, 32, 64, 128, 256, 512};
    QTest::newRow("first eight of ten") << ten << 10 << true << 0xFF;
    QTest::newRow("three") << QList<int>({1, 0, 16}) << 3 << true << 0x11;
    QTest::newRow("none") << QList<int>() << 0 << true << 0;
    QTest::newRow("null array") << QList<int>() << 8 << false << 0x40;
}

void TestAccount::impostaAutorizzazioni()
{
    QFETCH(QList<int>, values);
    QFETCH(int, count);
    QFETCH(bool, accepted);
    QFETCH(int, mask);

    Operatore operatore;
    operatore.autorizzazioni = 0x40;
    // exactly as many entries as the caller passes: ASan sees any read past them
    std::unique_ptr<Anagrafica::Autorizzazione[]> array;
    if (accepted) {
        array.reset(new Anagrafica::Autorizzazione[std::max(1, values.size())]);
        for (int i = 0; i < values.size(); ++i)
            array[i] = Anagrafica::Autorizzazione(values[i]);
    }
    QCOMPARE(operatore.impostaAutorizzazioni(array.get(), std::size_t(count)), accepted);
    QCOMPARE(operatore.autorizzazioni, mask);
}

QTEST_GUILESS_MAIN(TestAccount)
#include "tst_account.moc"
