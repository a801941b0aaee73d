#include <QtTest>

#include <string>

#include "ordinitestsupport.h"
#include "stampa.h"
#include "xmlassert.h"

using namespace ordinitest;

namespace {

QByteArray catalogueAnswer(const QByteArray &content)
{
    return soapEnvelope("<prodotti:ottieniStampaResponse>" + content + "</prodotti:ottieniStampaResponse>",
                        "xmlns:prodotti=\"http://ws.korvex2.example/prodotti/\"");
}

const QByteArray product =
    "<ottieniStampaResponse><prodotti:id>314</prodotti:id><prodotti:codice_stampa>S10</prodotti:codice_stampa>"
    "<prodotti:nome>10x15 lucida</prodotti:nome><prodotti:descrizione>Stampa \xC3\xA8 bella</prodotti:descrizione>"
    "<prodotti:archiviato>%1</prodotti:archiviato>"
    "<prodotti:carta><prodotti:id>2</prodotti:id><prodotti:codice_carta>LUC</prodotti:codice_carta>"
    "<prodotti:nome>Lucida</prodotti:nome></prodotti:carta>"
    "<prodotti:formato><prodotti:id>3</prodotti:id><prodotti:codice_formato>10x15</prodotti:codice_formato>"
    "<prodotti:nome>10 x 15</prodotti:nome><prodotti:larghezza>1800</prodotti:larghezza>"
    "<prodotti:altezza>1200</prodotti:altezza><prodotti:dpi>300</prodotti:dpi></prodotti:formato>"
    "<prodotti:reparto xsi:nil=\"true\"/><prodotti:prezzo>0.25</prodotti:prezzo></ottieniStampaResponse>";

QByteArray productWith(const char *archived)
{
    return QByteArray(product).replace("%1", archived);
}

} // namespace

class TestStampa : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void loadsTheProduct();
    void withdrawnProduct();
    void unknownProduct_data();
    void unknownProduct();
    void credentials();
    void failures();
    void assignmentCopiesData();

private:
    SoapTestServer m_server;
};

void TestStampa::init()
{
    m_server.clear();
    setProdotti(baseUrlOf(m_server) + "ws");
}

void TestStampa::loadsTheProduct()
{
    m_server.enqueueXml(catalogueAnswer(productWith("false")));
    Stampa stampa;
    QVERIFY(stampa.init(314));

    const SoapTestServer::Request request = m_server.lastRequest();
    QCOMPARE(request.path, QByteArray("/ws/prodotti.php"));
    QCOMPARE(request.soapAction(), QByteArray(prodottiUri) + "ottieniStampa");
    xmlassert::Message message(request.body);
    QVERIFY2(message.isValid(), qPrintable(message.parseError()));
    QCOMPARE(message.operation().localName(), QStringLiteral("ottieniStampa"));
    QCOMPARE(message.operation().namespaceURI(), QString::fromLatin1(prodottiUri));
    const QList<QDomElement> children = xmlassert::children(message.operation());
    QCOMPARE(children.size(), 1);
    QCOMPARE(children[0].localName(), QStringLiteral("ottieniStampaRequest"));
    QVERIFY(children[0].namespaceURI().isEmpty());
    QCOMPARE(children[0].text(), QStringLiteral("314"));
    QVERIFY(message.header().isNull());

    QCOMPARE(stampa.Getid(), 314);
    QCOMPARE(stampa.codice_stampa, std::string("S10"));
    QCOMPARE(stampa.nome, std::string("10x15 lucida"));
    QCOMPARE(stampa.descrizione, std::string("Stampa \xE8 bella"));
    QVERIFY(!stampa.archiviato);
    QCOMPARE(stampa.prezzo, 0.25f);
    QVERIFY(stampa.carta.has_value());
    QCOMPARE(stampa.carta->codice_carta, std::string("LUC"));
    QVERIFY(stampa.formato.has_value());
    QCOMPARE(stampa.formato->larghezza, 1800);
    QCOMPARE(stampa.formato->altezza, 1200);
    QCOMPARE(stampa.formato->dpi, 300);
    QVERIFY(!stampa.reparto.has_value());
}

void TestStampa::withdrawnProduct()
{
    m_server.enqueueXml(catalogueAnswer(productWith("true")));
    Stampa stampa;
    QVERIFY(!stampa.init(314));
    QCOMPARE(stampa.Getid(), 314); // loaded all the same
    QVERIFY(stampa.archiviato);
}

void TestStampa::unknownProduct_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::newRow("no product") << QByteArray();
    QTest::newRow("nil product") << QByteArray("<ottieniStampaResponse xsi:nil=\"true\"/>");
}

void TestStampa::unknownProduct()
{
    QFETCH(QByteArray, content);

    Stampa stampa;
    stampa.id = 7;
    stampa.nome = "prima";
    m_server.enqueueXml(catalogueAnswer(content));
    QVERIFY(!stampa.init(404));
    QCOMPARE(stampa.Getid(), 7);
    QCOMPARE(stampa.nome, std::string("prima"));
}

void TestStampa::credentials()
{
    setProdotti(baseUrlOf(m_server), "negozio", "pw", true);
    m_server.enqueueXml(catalogueAnswer(productWith("false")));
    Stampa stampa;
    QVERIFY(stampa.init(314));
    xmlassert::Message message(m_server.lastRequest().body);
    const QDomElement authentication = xmlassert::child(message.header(), prodottiUri, "Authentication");
    QVERIFY(!authentication.isNull());
    QCOMPARE(xmlassert::childNames(authentication), QStringList({"isOperator", "username", "password"}));
    for (const QDomElement &c : xmlassert::children(authentication))
        QVERIFY(c.namespaceURI().isEmpty());
    QCOMPARE(xmlassert::child(authentication, "isOperator").text(), QStringLiteral("true"));
    QCOMPARE(xmlassert::child(authentication, "username").text(), QStringLiteral("negozio"));
    QCOMPARE(xmlassert::child(authentication, "password").text(), QStringLiteral("pw"));

    // without a password the next call carries no header
    setProdotti(baseUrlOf(m_server), "negozio", "");
    m_server.enqueueXml(catalogueAnswer(productWith("false")));
    QVERIFY(stampa.init(314));
    QVERIFY(xmlassert::Message(m_server.lastRequest().body).header().isNull());
}

void TestStampa::failures()
{
    Stampa stampa;
    m_server.enqueue({500, "text/xml; charset=utf-8", soapFault("SOAP-ENV:Server", "Catalogo chiuso"), 0, -1, false});
    try {
        stampa.init(1);
        QFAIL("a fault was not reported");
    } catch (const Stampa::StampaException &e) {
        QCOMPARE(e.code, std::string("SOAP-ENV:Server"));
        QCOMPARE(e.message, std::string("Catalogo chiuso"));
    }

    m_server.enqueue({200, "text/html", "<html><body>Manutenzione</body></html>", 0, -1, false});
    try {
        stampa.init(1);
        QFAIL("an HTML page was not reported");
    } catch (const Stampa::StampaException &e) {
        QCOMPARE(e.code, std::string());
        QCOMPARE(e.message, std::string(unknownError));
    }

    setProdotti(refusedBaseUrl());
    QVERIFY_EXCEPTION_THROWN(stampa.init(1), Korvex2Exception);
    QCOMPARE(stampa.Getid(), 0);
}

void TestStampa::assignmentCopiesData()
{
    m_server.enqueueXml(catalogueAnswer(productWith("false")));
    Stampa source;
    QVERIFY(source.init(314));
    Stampa target;
    target = source;
    QCOMPARE(target.Getid(), 314);
    QCOMPARE(target.codice_stampa, std::string("S10"));
    QCOMPARE(target.formato->dpi, 300);
    QVERIFY(!target.reparto.has_value());

    // the copy has a client of its own and the settings are untouched
    m_server.enqueueXml(catalogueAnswer(productWith("true")));
    QVERIFY(!target.init(314));
    QVERIFY(target.archiviato);
    QVERIFY(!source.archiviato);
    QCOMPARE(Prodotti::WsEndpoint, baseUrlOf(m_server) + "ws");
}

QTEST_GUILESS_MAIN(TestStampa)
#include "tst_stampa.moc"
