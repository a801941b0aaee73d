// The customer account: every operation on the wire and back.

#include <QtTest>

#include <QFile>

#include <memory>
#include <unistd.h>

#include "accountanswers.h"
#include "soaptestserver.h"
#include "utente.h"
#include "xmlassert.h"

using namespace accounttest;

using Terms = std::map<std::string, std::string>;
Q_DECLARE_METATYPE(Terms)

namespace {

const QStringList customerElements = {
    "id",    "username", "password",  "autorizzazioni", "stato_account", "codice_utente",
    "nome",  "cognome",  "ragione_sociale", "cap",      "cf",            "citta",
    "email", "fax",      "indirizzo", "piva",           "provincia",     "tel_fisso",
    "tel_cell", "notifiche", "pagamento", "spedizione"};

void fill(Utente &utente)
{
    utente.Setid(12);
    utente.username = "mrossi";
    utente.password = "segreta";
    utente.autorizzazioni = 3;
    utente.stato_account = 1;
    utente.codice_utente = "C12";
    utente.nome = "Nicol\xF2";      // ISO-8859-1 bytes, as the library holds them
    utente.cognome = "D'Amico & C";
    utente.ragione_sociale = "Foto <Rossi>";
    utente.cap = "47121";
    utente.cf = "RSSMRA80A01D704X";
    utente.citta = "Forl\xEC";
    utente.email = "m@example.invalid";
    utente.fax = "0543 1";
    utente.indirizzo = "Via Roma 1";
    utente.piva = "01234567890";
    utente.provincia = "FC";
    utente.tel_fisso = "0543 2";
    utente.tel_cell = "333 3";
    utente.notifiche = 5;
    utente.pagamento = 2;
    utente.spedizione = 7.5f;
}

// The customer record as fill() made it, read back from a request element.
void verifyFilledRecord(const QDomElement &record)
{
    QCOMPARE(text(record, "id"), QStringLiteral("12"));
    QCOMPARE(text(record, "username"), QStringLiteral("mrossi"));
    QCOMPARE(text(record, "password"), QStringLiteral("segreta"));
    QCOMPARE(text(record, "autorizzazioni"), QStringLiteral("3"));
    QCOMPARE(text(record, "stato_account"), QStringLiteral("1"));
    QCOMPARE(text(record, "codice_utente"), QStringLiteral("C12"));
    QCOMPARE(text(record, "nome"), QString::fromUtf8("Nicolò"));
    QCOMPARE(text(record, "cognome"), QStringLiteral("D'Amico & C"));
    QCOMPARE(text(record, "ragione_sociale"), QStringLiteral("Foto <Rossi>"));
    QCOMPARE(text(record, "citta"), QString::fromUtf8("Forlì"));
    QCOMPARE(text(record, "tel_cell"), QStringLiteral("333 3"));
    QCOMPARE(text(record, "notifiche"), QStringLiteral("5"));
    QCOMPARE(text(record, "pagamento"), QStringLiteral("2"));
    QCOMPARE(text(record, "spedizione"), QStringLiteral("7.5"));
}

// Values of customerFields(), as the library holds them.
void verifyCustomer(const Utente &utente, int id, const std::string &username)
{
    QCOMPARE(utente.Getid(), id);
    QCOMPARE(utente.username, username);
    QCOMPARE(utente.password, "pw-" + username);
    QCOMPARE(utente.autorizzazioni, 5);
    QCOMPARE(utente.stato_account, 2);
    QCOMPARE(utente.codice_utente, "C" + std::to_string(id));
    QCOMPARE(utente.nome, std::string("Mario"));
    QCOMPARE(utente.cognome, std::string("Rossi"));
    QCOMPARE(utente.ragione_sociale, std::string("Foto Rossi"));
    QCOMPARE(utente.cap, std::string("47121"));
    QCOMPARE(utente.cf, std::string("RSSMRA80A01D704X"));
    QCOMPARE(utente.citta, std::string("Forl\xEC"));
    QCOMPARE(utente.email, std::string("m@example.invalid"));
    QCOMPARE(utente.fax, std::string("0543 1"));
    QCOMPARE(utente.indirizzo, std::string("Via Roma 1"));
    QCOMPARE(utente.piva, std::string("01234567890"));
    QCOMPARE(utente.provincia, std::string("FC"));
    QCOMPARE(utente.tel_fisso, std::string("0543 2"));
    QCOMPARE(utente.tel_cell, std::string("333 3"));
    QCOMPARE(utente.notifiche, 9);
    QCOMPARE(utente.pagamento, 3);
    QCOMPARE(utente.spedizione, 7.5f);
}

QByteArray customersAnswer(const QList<QByteArray> &records)
{
    return listAnswer("listaUtenti", records);
}

QByteArray customer(int id, const QByteArray &username)
{
    return record("Utenti", "acc:Utente", customerFields(id, username));
}

qint64 residentBytes()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return -1;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.value(1).toLongLong() * sysconf(_SC_PAGESIZE);
}

} // namespace

class TestUtente : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanupTestCase();

    void defaults();
    void notificationMask();
    void impostaNotifiche_data();
    void impostaNotifiche();

    void login_data();
    void login();
    void passwordRecovery();
    void registraUtente_data();
    void registraUtente();
    void inserisci();
    void inserisciWithoutId();
    void inserisciKeepsIdWhenIncrementFails();
    void modifica();
    void cancellaAndEsiste();
    void customerCodes();

    void listaSQL();
    void listWithoutEntries_data();
    void listWithoutEntries();
    void listaFilters_data();
    void listaFilters();
    void initTakesTheExactUsername();
    void constructorByUsername();

    void assignmentCopiesDataOnly();
    void answersDoNotPileUp();

private:
    SoapTestServer m_server;
};

void TestUtente::init()
{
    m_server.clear();
    setSettings(m_server.baseUrl());
}

void TestUtente::cleanupTestCase()
{
    setSettings(QString());
}

void TestUtente::defaults()
{
    const Utente utente;
    QCOMPARE(utente.Getid(), 0);
    QCOMPARE(utente.notifiche, 0x7FF);
    QCOMPARE(utente.pagamento, 1);
    QCOMPARE(utente.spedizione, 0.0f);
    QCOMPARE(utente.autorizzazioni, 0);
    QCOMPARE(utente.stato_account, 0);
    QVERIFY(utente.username.empty() && utente.password.empty() && utente.nome.empty()
            && utente.codice_utente.empty() && utente.tel_fisso.empty());
}

void TestUtente::notificationMask()
{
    Utente utente;
    QVERIFY(utente.disabilitaNotifica(Anagrafica::NotificaOrdineInLavorazione));
    QCOMPARE(utente.notifiche, 0x7FD);
    QVERIFY(!utente.controllaNotifica(Anagrafica::Notifica(3)));
    QVERIFY(utente.controllaNotifica(Anagrafica::NotificaOrdineRiepilogo));
    QVERIFY(utente.abilitaNotifica(Anagrafica::NotificaOrdineInLavorazione));
    QCOMPARE(utente.notifiche, 0x7FF);
    QVERIFY(utente.controllaNotifica(Anagrafica::Notifica(3)));

    // how the settings window saves the choices
    utente.notifiche = 0;
    utente.abilitaNotifica(Anagrafica::NotificaOrdineEvaso);
    utente.abilitaNotifica(Anagrafica::NotificaOrdineAnnullato);
    QCOMPARE(utente.notifiche, 12);
    QVERIFY(!utente.controllaNotifica(Anagrafica::NotificaOrdineRiepilogo));
}

void TestUtente::impostaNotifiche_data()
{
    QTest::addColumn<QList<int>>("values");
    QTest::addColumn<bool>("nullArray");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<int>("mask");

    QTest::newRow("first eight of nine")
        << QList<int>({1, 2, 4, 8, 16, 32, 64, 128, 1024}) << false << true << 0xFF;
    QTest::newRow("two") << QList<int>({1, 8}) << false << true << 9;
    QTest::newRow("empty") << QList<int>() << false << true << 0;
    QTest::newRow("null") << QList<int>() << true << false << 0x7FF;
}

void TestUtente::impostaNotifiche()
{
    QFETCH(QList<int>, values);
    QFETCH(bool, nullArray);
    QFETCH(bool, accepted);
    QFETCH(int, mask);

    // exactly as many entries as passed: AddressSanitizer sees a read past them
    std::unique_ptr<Anagrafica::Notifica[]> array(
        new Anagrafica::Notifica[std::max(1, values.size())]);
    for (int i = 0; i < values.size(); ++i)
        array[i] = Anagrafica::Notifica(values[i]);

    Utente utente;
    QCOMPARE(utente.impostaNotifiche(nullArray ? nullptr : array.get(), std::size_t(values.size())),
             accepted);
    QCOMPARE(utente.notifiche, mask);
}

void TestUtente::login_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<int>("status");
    QTest::addColumn<bool>("success");
    QTest::addColumn<QString>("code");

    QTest::newRow("customer")
        << answer("login", record("loginResponse", "acc:Utente", customerFields(4, "mrossi")))
        << 200 << true << QString();
    QTest::newRow("operator")
        << answer("login", record("loginResponse", "acc:Operatore", operatorFields(4, "mrossi")))
        << 200 << false << QString();
    QTest::newRow("bare account")
        << answer("login", record("loginResponse", QByteArray(), customerFields(4, "mrossi")))
        << 200 << false << QString();
    QTest::newRow("customer type of another namespace")
        << soapEnvelope("<acc:loginResponse>"
                        + record("loginResponse", "x:Utente", customerFields(4, "mrossi"))
                        + "</acc:loginResponse>",
                        QByteArray("xmlns:acc=\"") + accountUri + "\" xmlns:x=\"urn:other\"")
        << 200 << false << QString();
    QTest::newRow("nil") << answer("login", "<loginResponse xsi:nil=\"true\"/>") << 200 << false
                         << QString();
    QTest::newRow("no account") << answer("login", QByteArray()) << 200 << false << QString();
    QTest::newRow("fault") << soapFault("SOAP-ENV:Server", "Credenziali errate") << 500 << false
                           << "SOAP-ENV:Server";
}

void TestUtente::login()
{
    QFETCH(QByteArray, reply);
    QFETCH(int, status);
    QFETCH(bool, success);
    QFETCH(QString, code);

    setSettings(m_server.baseUrl(), std::string(), std::string(), true);
    m_server.enqueueXml(reply, status);
    Utente utente;
    if (success) {
        QVERIFY(utente.login("mrossi", "pw&1"));
        verifyCustomer(utente, 4, "mrossi");
    } else {
        try {
            utente.login("mrossi", "pw&1");
            QFAIL("login succeeded");
        } catch (const Utente::UtenteException &e) {
            QCOMPARE(QString::fromStdString(e.code), code);
            QVERIFY(!e.message.empty());
        }
        QVERIFY(utente.username.empty());
        QCOMPARE(utente.Getid(), 0);
    }

    const QDomElement operation = operationOf(m_server.lastRequest(), "login");
    const QDomElement request = xmlassert::child(operation, "loginRequest");
    QCOMPARE(xmlassert::childNames(request), QStringList({"isOperator", "username", "password"}));
    QCOMPARE(text(request, "isOperator"), QStringLiteral("false"));
    QCOMPARE(text(request, "username"), QStringLiteral("mrossi"));
    QCOMPARE(text(request, "password"), QStringLiteral("pw&1"));
    QCOMPARE(m_server.lastRequest().soapAction(), QByteArray("http://ws.korvex2.example/account/login"));
}

void TestUtente::passwordRecovery()
{
    m_server.enqueueXml(valueAnswer("recuperaPasswordUtente", "true"));
    m_server.enqueueXml(valueAnswer("recuperaPasswordUtente", "false"));
    Utente utente;
    QVERIFY(utente.richiestaResetPassword("mrossi"));
    QVERIFY(!utente.resetPassword("AB12"));

    const QList<SoapTestServer::Request> requests = m_server.requests();
    QCOMPARE(requests.size(), 2);
    const QDomElement first = xmlassert::child(operationOf(requests[0], "recuperaPasswordUtente"),
                                               "recuperaPasswordUtenteRequest");
    QCOMPARE(xmlassert::childNames(first), QStringList({"codice_recupero", "username"}));
    QCOMPARE(text(first, "codice_recupero"), QString());
    QCOMPARE(text(first, "username"), QStringLiteral("mrossi"));
    const QDomElement second = xmlassert::child(operationOf(requests[1], "recuperaPasswordUtente"),
                                                "recuperaPasswordUtenteRequest");
    QCOMPARE(text(second, "codice_recupero"), QStringLiteral("AB12"));
    QCOMPARE(text(second, "username"), QString());
}

void TestUtente::registraUtente_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<int>("status");
    QTest::addColumn<int>("id"); // 0: the registration fails
    QTest::addColumn<QString>("code");

    QTest::newRow("new id") << valueAnswer("registrazioneUtente", "42") << 200 << 42 << QString();
    QTest::newRow("id 0") << valueAnswer("registrazioneUtente", "0") << 200 << 0 << QString();
    QTest::newRow("empty id") << valueAnswer("registrazioneUtente", "") << 200 << 0 << QString();
    QTest::newRow("no id") << answer("registrazioneUtente", QByteArray()) << 200 << 0 << QString();
    QTest::newRow("negative id") << valueAnswer("registrazioneUtente", "-1") << 200 << 0 << QString();
    QTest::newRow("fault") << soapFault("SOAP-ENV:Server", "Username esistente") << 500 << 0
                           << "SOAP-ENV:Server";
}

void TestUtente::registraUtente()
{
    QFETCH(QByteArray, reply);
    QFETCH(int, status);
    QFETCH(int, id);
    QFETCH(QString, code);

    m_server.enqueueXml(reply, status);
    Utente utente;
    fill(utente);
    if (id) {
        QVERIFY(utente.registraUtente());
    } else {
        try {
            utente.registraUtente();
            QFAIL("registration succeeded");
        } catch (const Utente::UtenteException &e) {
            QCOMPARE(QString::fromStdString(e.code), code);
            QVERIFY(!e.message.empty());
        }
    }
    QCOMPARE(utente.Getid(), id ? id : 12);
    QCOMPARE(m_server.requestCount(), 1); // the customer code counter is not advanced

    const QDomElement request = xmlassert::child(
        operationOf(m_server.lastRequest(), "registrazioneUtente"), "registrazioneUtenteRequest");
    QCOMPARE(xmlassert::childNames(request),
             QStringList({"username", "password", "nome", "cognome", "ragione_sociale", "cap",
                          "cf", "citta", "email", "fax", "indirizzo", "piva", "provincia",
                          "tel_fisso", "tel_cell", "notifiche"}));
    QVERIFY(xmlassert::xsiType(request).isEmpty());
    QCOMPARE(text(request, "username"), QStringLiteral("mrossi"));
    QCOMPARE(text(request, "nome"), QString::fromUtf8("Nicolò"));
    QCOMPARE(text(request, "cognome"), QStringLiteral("D'Amico & C"));
    QCOMPARE(text(request, "notifiche"), QStringLiteral("5"));
}

void TestUtente::inserisci()
{
    m_server.enqueueXml(valueAnswer("inserisciUtente", "42"));
    m_server.enqueueXml(valueAnswer("incrementaCodiceUtente", "false")); // its result is ignored
    Utente utente;
    fill(utente);
    QVERIFY(utente.inserisci());
    QCOMPARE(utente.Getid(), 42);
    QCOMPARE(utente.codice_utente, std::string("C12")); // never written by the library

    const QList<SoapTestServer::Request> requests = m_server.requests();
    QCOMPARE(requests.size(), 2);
    const xmlassert::Message message(requests[0].body);
    const QDomElement record = xmlassert::child(
        xmlassert::child(operationOf(requests[0], "inserisciUtente"), "inserisciUtenteRequest"),
        "Utente");
    QCOMPARE(xmlassert::childNames(record), customerElements);
    const QString type = xmlassert::xsiType(record);
    QCOMPARE(message.uriOfQName(type), QLatin1String(accountUri));
    QCOMPARE(type.section(':', 1), QStringLiteral("Utente"));
    verifyFilledRecord(record);
    // the raw bytes of the accented letters: UTF-8 on the wire
    QVERIFY(requests[0].body.contains("Nicol\xC3\xB2"));

    const QDomElement increment = operationOf(requests[1], "incrementaCodiceUtente");
    QVERIFY(!increment.isNull());
    QVERIFY(xmlassert::children(increment).isEmpty());
}

void TestUtente::inserisciWithoutId()
{
    m_server.enqueueXml(valueAnswer("inserisciUtente", "0"));
    Utente utente;
    fill(utente);
    try {
        utente.inserisci();
        QFAIL("insert succeeded");
    } catch (const Utente::UtenteException &e) {
        QVERIFY(e.code.empty());
        QVERIFY(!e.message.empty());
    }
    QCOMPARE(utente.Getid(), 12);
    QCOMPARE(m_server.requestCount(), 1);
}

void TestUtente::inserisciKeepsIdWhenIncrementFails()
{
    m_server.enqueueXml(valueAnswer("inserisciUtente", "43"));
    m_server.enqueueXml(soapFault("SOAP-ENV:Server", "contatore bloccato"), 500);
    Utente utente;
    try {
        utente.inserisci();
        QFAIL("no exception");
    } catch (const Utente::UtenteException &e) {
        QCOMPARE(e.code, std::string("SOAP-ENV:Server"));
        QCOMPARE(e.message, std::string("contatore bloccato"));
    }
    QCOMPARE(utente.Getid(), 43);
}

void TestUtente::modifica()
{
    m_server.enqueueXml(valueAnswer("modificaUtente", "true"));
    m_server.enqueueXml(valueAnswer("modificaUtente", "false"));
    m_server.enqueueXml(soapFault("SOAP-ENV:Server", "x"), 500);
    Utente utente;
    fill(utente);
    QVERIFY(utente.modifica());
    QVERIFY(!utente.modifica());

    const QDomElement record = xmlassert::child(
        xmlassert::child(operationOf(m_server.lastRequest(), "modificaUtente"),
                         "modificaUtenteRequest"),
        "Utente");
    QCOMPARE(xmlassert::childNames(record), customerElements);
    verifyFilledRecord(record);

    try {
        utente.modifica();
        QFAIL("no exception");
    } catch (const Utente::UtenteException &e) {
        QCOMPARE(e.code, std::string("SOAP-ENV:Server"));
        QCOMPARE(e.message, std::string("x"));
    }
    QCOMPARE(utente.nome, std::string("Nicol\xF2"));
    QCOMPARE(utente.Getid(), 12);
}

void TestUtente::cancellaAndEsiste()
{
    m_server.enqueueXml(valueAnswer("cancellaUtente", "1"));
    m_server.enqueueXml(valueAnswer("esisteUtente", ""));
    Utente utente;
    utente.Setid(1234);
    QVERIFY(utente.cancella());
    QVERIFY(!utente.esiste("rossi & figli"));

    const QList<SoapTestServer::Request> requests = m_server.requests();
    QCOMPARE(text(operationOf(requests[0], "cancellaUtente"), "cancellaUtenteRequest"),
             QStringLiteral("1234"));
    QCOMPARE(text(operationOf(requests[1], "esisteUtente"), "esisteUtenteRequest"),
             QStringLiteral("rossi & figli"));
    QVERIFY(requests[1].body.contains("rossi &amp; figli"));
}

void TestUtente::customerCodes()
{
    m_server.enqueueXml(valueAnswer("prossimoCodiceUtente", " 17 "));
    m_server.enqueueXml(valueAnswer("incrementaCodiceUtente", "true"));
    Utente utente;
    QCOMPARE(utente.prossimoCodiceUtente(), 17);
    QVERIFY(utente.incrementaCodiceUtente());

    const QList<SoapTestServer::Request> requests = m_server.requests();
    const QDomElement next = operationOf(requests[0], "prossimoCodiceUtente");
    QVERIFY(!next.isNull());
    QVERIFY(xmlassert::children(next).isEmpty());
    QCOMPARE(requests[0].soapAction(),
             QByteArray("http://ws.korvex2.example/account/prossimoCodiceUtente"));
    QVERIFY(!operationOf(requests[1], "incrementaCodiceUtente").isNull());
}

void TestUtente::listaSQL()
{
    m_server.enqueueXml(customersAnswer(
        {customer(1, "anna"), "<Utenti xsi:nil=\"true\"/>", "<ignota>x</ignota>",
         customer(2, "bruno")}));
    Utente utente;
    const std::vector<Account *> found = utente.listaSQL(10, 5, "cognome LIKE 'R%'", "cognome");
    std::vector<std::unique_ptr<Account>> owned(found.begin(), found.end());

    QCOMPARE(found.size(), std::size_t(2));
    const auto *first = dynamic_cast<const Utente *>(found[0]);
    const auto *second = dynamic_cast<const Utente *>(found[1]);
    QVERIFY(first && second);
    verifyCustomer(*first, 1, "anna");
    verifyCustomer(*second, 2, "bruno");

    const QDomElement request = xmlassert::child(
        operationOf(m_server.lastRequest(), "listaUtenti"), "listaUtentiRequest");
    QCOMPARE(xmlassert::childNames(request), QStringList({"offset", "length", "filter", "order"}));
    QCOMPARE(text(request, "offset"), QStringLiteral("10"));
    QCOMPARE(text(request, "length"), QStringLiteral("5"));
    QCOMPARE(text(request, "filter"), QStringLiteral("cognome LIKE 'R%'"));
    QCOMPARE(text(request, "order"), QStringLiteral("cognome"));
}

void TestUtente::listWithoutEntries_data()
{
    QTest::addColumn<QByteArray>("reply");

    QTest::newRow("no list") << answer("listaUtenti", QByteArray());
    QTest::newRow("nil list") << answer("listaUtenti", "<listaUtentiResponse xsi:nil=\"true\"/>");
    QTest::newRow("empty list") << customersAnswer({});
    QTest::newRow("only nil entries")
        << customersAnswer({"<Utenti xsi:nil=\"true\"/>", "<Utenti xsi:nil=\"true\"/>"});
}

void TestUtente::listWithoutEntries()
{
    QFETCH(QByteArray, reply);

    m_server.enqueueXml(reply);
    Utente utente;
    QVERIFY(utente.listaSQL(0, 0, std::string(), std::string()).empty());
}

void TestUtente::listaFilters_data()
{
    QTest::addColumn<Terms>("terms");
    QTest::addColumn<QString>("filter"); // null: refused before any request

    QTest::newRow("no terms") << Terms{} << "";
    QTest::newRow("one term") << Terms{{"username", "mrossi"}} << "username LIKE 'mrossi'";
    QTest::newRow("two terms in key order")
        << Terms{{"cognome", "X"}, {"citta", "Y"}} << "citta LIKE 'Y' AND cognome LIKE 'X'";
    QTest::newRow("apostrophe") << Terms{{"cognome", "D'Amico"}} << "cognome LIKE 'D''Amico'";
    QTest::newRow("percent") << Terms{{"cognome", "Ros%"}} << "cognome LIKE 'Ros%'";
    QTest::newRow("backslash") << Terms{{"cognome", "x\\' OR 1=1 -- "}} << QString();
    QTest::newRow("bad key") << Terms{{"cognome='' OR nome", "x"}} << QString();
}

void TestUtente::listaFilters()
{
    QFETCH(Terms, terms);
    QFETCH(QString, filter);

    m_server.enqueueXml(customersAnswer({}));
    Utente utente;
    if (filter.isNull()) {
        try {
            utente.lista(terms);
            QFAIL("filter accepted");
        } catch (const Utente::UtenteException &e) {
            QVERIFY(e.code.empty());
            QVERIFY(!e.message.empty());
        }
        QCOMPARE(m_server.requestCount(), 0);
        return;
    }
    QVERIFY(utente.lista(terms).empty());
    const QDomElement request = xmlassert::child(
        operationOf(m_server.lastRequest(), "listaUtenti"), "listaUtentiRequest");
    QCOMPARE(text(request, "filter"), filter);
    QCOMPARE(text(request, "offset"), QStringLiteral("0"));
    QCOMPARE(text(request, "length"), QStringLiteral("0"));
    QCOMPARE(text(request, "order"), QString());
}

void TestUtente::initTakesTheExactUsername()
{
    // "_" is a LIKE wildcard: the service answers both names
    m_server.enqueueXml(customersAnswer({customer(1, "mXrossi"), customer(2, "m_rossi")}));
    m_server.enqueueXml(customersAnswer({customer(1, "mXrossi")}));
    Utente utente;
    QVERIFY(utente.init("m_rossi"));
    verifyCustomer(utente, 2, "m_rossi");
    QCOMPARE(text(xmlassert::child(operationOf(m_server.lastRequest(), "listaUtenti"),
                                   "listaUtentiRequest"),
                  "filter"),
             QStringLiteral("username LIKE 'm_rossi'"));

    Utente other;
    other.nome = "prima";
    QVERIFY(!other.init("m_rossi"));
    QCOMPARE(other.nome, std::string("prima"));
    QCOMPARE(other.Getid(), 0);
}

void TestUtente::constructorByUsername()
{
    m_server.enqueueXml(customersAnswer({customer(5, "mrossi")}));
    const Utente found("mrossi");
    verifyCustomer(found, 5, "mrossi");

    m_server.enqueueXml(customersAnswer({}));
    try {
        const Utente missing("nessuno");
        QFAIL("constructed");
    } catch (const Utente::UtenteException &e) {
        QCOMPARE(e.code, std::string());
        QCOMPARE(e.message, std::string("Impossibile inizializzare utente.\nUsername not found."));
    }
}

void TestUtente::assignmentCopiesDataOnly()
{
    SoapTestServer other;
    Utente target;
    m_server.enqueueXml(valueAnswer("esisteUtente", "true"));
    QVERIFY(target.esiste("x")); // target's endpoint: m_server

    Utente source;
    fill(source);
    setSettings(other.baseUrl());
    other.enqueueXml(valueAnswer("esisteUtente", "true"));
    QVERIFY(source.esiste("x")); // source's endpoint: other

    target = source;
    QCOMPARE(target.Getid(), 12);
    QCOMPARE(target.nome, source.nome);
    QCOMPARE(target.spedizione, 7.5f);
    QCOMPARE(target.notifiche, 5);
    QCOMPARE(target.pagamento, 2);

    // with no endpoint configured each keeps calling its own
    setSettings(QString());
    m_server.enqueueXml(valueAnswer("esisteUtente", "true"));
    other.enqueueXml(valueAnswer("esisteUtente", "true"));
    QVERIFY(target.esiste("y"));
    QVERIFY(source.esiste("y"));
    QCOMPARE(m_server.requestCount(), 2);
    QCOMPARE(other.requestCount(), 2);
}

void TestUtente::answersDoNotPileUp()
{
#if defined(__SANITIZE_ADDRESS__)
    QSKIP("AddressSanitizer keeps freed memory in quarantine");
#endif
    QList<QByteArray> records;
    for (int i = 1; i <= 100; ++i) {
        Fields fields = customerFields(i, "utente" + QByteArray::number(i));
        fields.append({"indirizzo", QByteArray(400, 'v')}); // skipped: the first one wins
        fields[6].second = QByteArray(300, 'n');
        records << record("Utenti", "acc:Utente", fields);
    }
    SoapTestServer::Reply reply;
    reply.body = customersAnswer(records);
    m_server.setDefaultReply(reply);

    Utente utente;
    const auto listOnce = [&utente]() {
        for (Account *account : utente.listaSQL(0, 0, std::string(), std::string()))
            delete account;
    };
    for (int i = 0; i < 20; ++i)
        listOnce();
    const qint64 before = residentBytes();
    for (int i = 0; i < 200; ++i)
        listOnce();
    const qint64 growth = residentBytes() - before;
    m_server.setDefaultReply(SoapTestServer::Reply());
    // kept answers would take some 200 x 100 records of half a kilobyte and more
    QVERIFY2(growth < 8 * 1024 * 1024, qPrintable(QString::number(growth)));
}

QTEST_GUILESS_MAIN(TestUtente)
#include "tst_utente.moc"
