// The simulator checks each request against the services' wire form and refuses a wrong
// one with a SOAP fault that says what is wrong, without touching its state.

#include "labsimsoap.h"
#include "labsimulator.h"

#include <QTest>

using namespace labsimsoap;

class TestLabSimRequests : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void wellFormedRequestsAreServed();
    void malformedRequestIsRefused_data();
    void malformedRequestIsRefused();
    void refusedRequestsChangeNothing();

private:
    LabSimulator m_sim;
};

namespace {

const QByteArray Login = "<account:login>" + loginRequest("demo", "demo") + "</account:login>";
const QByteArray DemoHeader = authentication("ordini", "demo", "demo");

QByteArray loginWith(const QByteArray &request)
{
    return envelope("<account:login>" + request + "</account:login>");
}

QByteArray customerRecord(const QByteArray &typeAttribute)
{
    return "<modificaUtenteRequest><Utente" + typeAttribute
        + "><id>1</id><username>demo</username><password>demo</password><autorizzazioni>0"
          "</autorizzazioni><stato_account>1</stato_account><codice_utente>C0001</codice_utente>"
          "<nome>Mario</nome><cognome>Rossi</cognome><ragione_sociale></ragione_sociale><cap></cap>"
          "<cf></cf><citta></citta><email></email><fax></fax><indirizzo></indirizzo><piva></piva>"
          "<provincia></provincia><tel_fisso></tel_fisso><tel_cell></tel_cell><notifiche>3</notifiche>"
          "<pagamento>1</pagamento><spedizione>0</spedizione></Utente></modificaUtenteRequest>";
}

QByteArray ordiniBody(const QByteArray &operation, const QByteArray &content)
{
    return "<ordini:" + operation + ">" + content + "</ordini:" + operation + ">";
}

} // namespace

void TestLabSimRequests::initTestCase()
{
    QVERIFY2(m_sim.start(), qPrintable(m_sim.errorString()));
}

void TestLabSimRequests::wellFormedRequestsAreServed()
{
    // The prefixes are the sender's choice: only the namespaces count.
    QByteArray otherPrefix = envelope(Login);
    otherPrefix.replace("xmlns:account=", "xmlns:acc=").replace("account:login", "acc:login");
    for (const QByteArray &xml : {envelope(Login), otherPrefix}) {
        const LabSimulator::HttpReply reply = post(m_sim, QStringLiteral("account.php"), AccountNs + "login", xml);
        QCOMPARE(reply.status, 200);
        QCOMPARE(text(reply.body, QStringLiteral("username")), QStringLiteral("demo"));
    }

    // A login is not stopped by a header with stale credentials.
    const LabSimulator::HttpReply stale = post(m_sim, QStringLiteral("account.php"), AccountNs + "login",
        envelope(Login, authentication("account", "demo", "vecchia")));
    QCOMPARE(stale.status, 200);

    const LabSimulator::HttpReply modified = post(m_sim, QStringLiteral("account.php"), AccountNs + "modificaUtente",
        envelope("<account:modificaUtente>" + customerRecord(" xsi:type=\"account:Utente\"")
                     + "</account:modificaUtente>",
                 authentication("account", "demo", "demo")));
    QCOMPARE(modified.status, 200);
    QCOMPARE(text(modified.body, QStringLiteral("modificaUtenteResponse")), QStringLiteral("true"));
}

void TestLabSimRequests::malformedRequestIsRefused_data()
{
    QTest::addColumn<QString>("script");
    QTest::addColumn<QByteArray>("soapAction"); // "-": no SOAPAction header
    QTest::addColumn<QByteArray>("contentType");
    QTest::addColumn<QByteArray>("xml");
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("says");

    const QString acc = QStringLiteral("account.php");
    const QString ord = QStringLiteral("ordini.php");
    const QByteArray xmlType = "text/xml; charset=utf-8";
    const QByteArray login = AccountNs + "login";
    const QString client = QStringLiteral("SOAP-ENV:Client");

    // Transport: where and how the request is posted.
    QTest::newRow("unknown script") << QStringLiteral("acount.php") << login << xmlType << envelope(Login)
                                    << client << QStringLiteral("no service at the path '/acount.php'");
    QTest::newRow("operation posted to another service") << ord << login << xmlType << envelope(Login)
        << client << QStringLiteral("the operations of ordini.php are in http://ws.korvex2.example/ordini/");
    QTest::newRow("no SOAPAction") << acc << QByteArray("-") << xmlType << envelope(Login) << client
                                   << QStringLiteral("no SOAPAction header");
    QTest::newRow("SOAPAction of another operation") << acc << AccountNs + "esisteUtente" << xmlType
        << envelope(Login) << client << QStringLiteral("whose SOAPAction is \"http://ws.korvex2.example/account/login\"");
    QTest::newRow("SOAPAction in another namespace") << acc << OrdiniNs + "login" << xmlType << envelope(Login)
        << client << QStringLiteral("the SOAPAction is \"http://ws.korvex2.example/ordini/login\"");
    QTest::newRow("SOAP 1.2 content type") << acc << login << QByteArray("application/soap+xml")
        << envelope(Login) << client << QStringLiteral("SOAP 1.1 requests are text/xml");

    // Envelope and body.
    QTest::newRow("not XML") << acc << login << xmlType << QByteArray("<SOAP-ENV:Envelope") << client
                             << QStringLiteral("not well-formed XML");
    QTest::newRow("SOAP 1.2 envelope") << acc << login << xmlType
        << QByteArray(envelope(Login)).replace("http://schemas.xmlsoap.org/soap/envelope/",
                                               "http://www.w3.org/2003/05/soap-envelope")
        << QStringLiteral("SOAP-ENV:VersionMismatch") << QStringLiteral("SOAP 1.2");
    QTest::newRow("two operations in the body") << acc << login << xmlType << envelope(Login + Login)
        << client << QStringLiteral("the Body holds 2 elements");
    QTest::newRow("operation in no namespace") << acc << login << xmlType
        << envelope("<login>" + loginRequest("demo", "demo") + "</login>") << client
        << QStringLiteral("is in the namespace (none)");
    QTest::newRow("unknown operation") << acc << AccountNs + "accedi" << xmlType
        << envelope("<account:accedi/>") << client << QStringLiteral("account.php has no operation 'accedi'");
    QTest::newRow("encoding style") << acc << login << xmlType
        << envelope(QByteArray(Login).replace("<account:login>",
               "<account:login SOAP-ENV:encodingStyle=\"http://schemas.xmlsoap.org/soap/encoding/\">"))
        << client << QStringLiteral("encodingStyle");
    QTest::newRow("nil request") << acc << login << xmlType
        << loginWith("<loginRequest xsi:nil=\"true\"/>") << client << QStringLiteral("is marked nil");

    // Elements: names, qualification, order, occurrence, values.
    QTest::newRow("qualified request child") << acc << login << xmlType
        << loginWith("<account:loginRequest><isOperator>false</isOperator><username>demo</username>"
                     "<password>demo</password></account:loginRequest>")
        << client << QStringLiteral("must be unqualified");
    QTest::newRow("qualified member") << acc << login << xmlType
        << loginWith("<loginRequest><isOperator>false</isOperator><account:username>demo</account:username>"
                     "<password>demo</password></loginRequest>")
        << client << QStringLiteral("<account:username> (line 3) must be unqualified");
    QTest::newRow("missing member") << acc << login << xmlType
        << loginWith("<loginRequest><isOperator>false</isOperator><username>demo</username></loginRequest>")
        << client << QStringLiteral("lacks the element <password>");
    QTest::newRow("members out of order") << acc << login << xmlType
        << loginWith("<loginRequest><isOperator>false</isOperator><password>demo</password>"
                     "<username>demo</username></loginRequest>")
        << client << QStringLiteral("comes out of order");
    QTest::newRow("unknown member") << acc << login << xmlType
        << loginWith("<loginRequest><isOperator>false</isOperator><username>demo</username>"
                     "<password>demo</password><email>x</email></loginRequest>")
        << client << QStringLiteral("<email> (line 3) is not an element of");
    QTest::newRow("repeated member") << acc << login << xmlType
        << loginWith("<loginRequest><isOperator>false</isOperator><username>demo</username>"
                     "<username>demo</username><password>demo</password></loginRequest>")
        << client << QStringLiteral("is repeated");
    QTest::newRow("malformed boolean") << acc << login << xmlType
        << loginWith("<loginRequest><isOperator>no</isOperator><username>demo</username>"
                     "<password>demo</password></loginRequest>")
        << client << QStringLiteral("holds 'no', which is not an xsd:boolean");
    QTest::newRow("malformed int") << acc << AccountNs + "cancellaUtente" << xmlType
        << envelope("<account:cancellaUtente><cancellaUtenteRequest>7a</cancellaUtenteRequest>"
                    "</account:cancellaUtente>")
        << client << QStringLiteral("holds '7a', which is not an xsd:int");
    QTest::newRow("customer without xsi:type") << acc << AccountNs + "modificaUtente" << xmlType
        << envelope("<account:modificaUtente>" + customerRecord("") + "</account:modificaUtente>")
        << client << QStringLiteral("<Utente> (line 3) lacks xsi:type");
    QTest::newRow("customer typed as operator") << acc << AccountNs + "modificaUtente" << xmlType
        << envelope("<account:modificaUtente>" + customerRecord(" xsi:type=\"account:Operatore\"")
                    + "</account:modificaUtente>")
        << client << QStringLiteral("which is not {http://ws.korvex2.example/account/}Utente");
    QTest::newRow("multi-reference") << acc << AccountNs + "modificaUtente" << xmlType
        << envelope("<account:modificaUtente><modificaUtenteRequest><Utente href=\"#_1\"/>"
                    "</modificaUtenteRequest></account:modificaUtente>")
        << client << QStringLiteral("multi-reference attribute 'href'");

    // Header and credentials.
    QTest::newRow("orders call without credentials") << ord << OrdiniNs + "listaStatiOrdine" << xmlType
        << envelope("<ordini:listaStatiOrdine/>") << client
        << QStringLiteral("Autenticazione richiesta: listaStatiOrdine");
    QTest::newRow("wrong password") << ord << OrdiniNs + "listaStatiOrdine" << xmlType
        << envelope("<ordini:listaStatiOrdine/>", authentication("ordini", "demo", "sbagliata"))
        << client << QStringLiteral("Autenticazione fallita");
    QTest::newRow("credentials of another service") << ord << OrdiniNs + "listaStatiOrdine" << xmlType
        << envelope("<ordini:listaStatiOrdine/>", authentication("account", "demo", "demo"))
        << client << QStringLiteral("expects its Authentication entry in http://ws.korvex2.example/ordini/");
    QTest::newRow("qualified credentials") << ord << OrdiniNs + "listaStatiOrdine" << xmlType
        << envelope("<ordini:listaStatiOrdine/>",
                    "<ordini:Authentication><isOperator>false</isOperator><ordini:username>demo"
                    "</ordini:username><password>demo</password></ordini:Authentication>")
        << client << QStringLiteral("<ordini:username> (line 3) must be unqualified");
    QTest::newRow("header entry to be understood") << ord << OrdiniNs + "listaStatiOrdine" << xmlType
        << envelope("<ordini:listaStatiOrdine/>",
                    DemoHeader + "<ordini:Sessione SOAP-ENV:mustUnderstand=\"1\">x</ordini:Sessione>")
        << QStringLiteral("SOAP-ENV:MustUnderstand") << QStringLiteral("mustUnderstand");

    // Orders: row kinds, dates and what the records refer to.
    QTest::newRow("file row without its xsi:type") << ord << OrdiniNs + "inserisciOrdine" << xmlType
        << envelope(ordiniBody("inserisciOrdine",
                               orderWithFileRow(1, "F1").replace(" xsi:type=\"ordini:OrdineRigaFileRequest\"", "")),
                    DemoHeader)
        << client << QStringLiteral("<id_file> (line 4) is not an element of {http://ws.korvex2.example/ordini/}OrdineRigaRequest");
    QTest::newRow("malformed date") << ord << OrdiniNs + "inserisciOrdine" << xmlType
        << envelope(ordiniBody("inserisciOrdine",
                               orderWithFileRow(1, "F1").replace("2024-05-01T10:00:00Z", "01/05/2024 10:00")),
                    DemoHeader)
        << client << QStringLiteral("which is not an xsd:dateTime");
    QTest::newRow("order of another customer") << ord << OrdiniNs + "inserisciOrdine" << xmlType
        << envelope(ordiniBody("inserisciOrdine", orderWithFileRow(2, "F1")), DemoHeader)
        << client << QStringLiteral("intestato all'utente 2, ma la richiesta è dell'utente 1");
    QTest::newRow("row of an unknown file") << ord << OrdiniNs + "inserisciOrdine" << xmlType
        << envelope(ordiniBody("inserisciOrdine", orderWithFileRow(1, "F424242")), DemoHeader)
        << client << QStringLiteral("indica il file F424242, che non esiste");
}

void TestLabSimRequests::malformedRequestIsRefused()
{
    QFETCH(QString, script);
    QFETCH(QByteArray, soapAction);
    QFETCH(QByteArray, contentType);
    QFETCH(QByteArray, xml);
    QFETCH(QString, code);
    QFETCH(QString, says);

    QMap<QByteArray, QByteArray> headers{{"Content-Type", contentType}};
    if (soapAction != "-")
        headers.insert("SOAPAction", "\"" + soapAction + "\"");
    const LabSimulator::HttpReply reply = m_sim.request("POST", script, xml, headers);
    QCOMPARE(reply.status, 500);
    QVERIFY(reply.headers.value("content-type").startsWith("text/xml"));
    QCOMPARE(faultCode(reply.body), code);
    QVERIFY2(faultString(reply.body).contains(says), qPrintable(faultString(reply.body)));
}

void TestLabSimRequests::refusedRequestsChangeNothing()
{
    const LabSimulator::Counts counts = m_sim.counts();
    QCOMPARE(counts.orders, 0);
    QCOMPARE(counts.rows, 0);
    QCOMPARE(counts.fileRecords, 0);
    QCOMPARE(counts.customers, 2);
    // The customer record that the one well-formed change wrote is intact.
    const LabSimulator::HttpReply login = account(m_sim, "login", loginRequest("demo", "demo"));
    QCOMPARE(text(login.body, QStringLiteral("nome")), QStringLiteral("Mario"));
}

QTEST_GUILESS_MAIN(TestLabSimRequests)
#include "tst_labsimrequests.moc"
