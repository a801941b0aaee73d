// The order file text: its layout, exact round trip, lenient reading of hand-edited files
// and the refusal of damaged ones.

#include <QLocale>
#include <QTest>
#include <QXmlStreamReader>

#include "korvex2exception.h"
#include "orderfixture.h"
#include "ordinilocal.h"

class TestOrderFile : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void writesTheDocumentLayout();
    void roundTripKeepsEveryField();
    void numbersRoundTripExactly_data();
    void numbersRoundTripExactly();
    void readsHandEditedFiles_data();
    void readsHandEditedFiles();
    void damagedTextIsReported_data();
    void damagedTextIsReported();
};

namespace {

OrdiniLocal::OrdineLocal parse(const QString &xml)
{
    OrdiniLocal store;
    return store.FromXML(xml);
}

QString orderDocument(const QString &body)
{
    return QStringLiteral("<?xml version=\"1.0\"?>\n<Ordine>\n") + body + QStringLiteral("</Ordine>\n");
}

} // namespace

void TestOrderFile::initTestCase()
{
    // Numbers must not follow the user's locale: a decimal comma would not read back.
    QLocale::setDefault(QLocale(QLocale::Italian, QLocale::Italy));
}

void TestOrderFile::writesTheDocumentLayout()
{
    OrdiniLocal store;
    OrdiniLocal::OrdineLocal o;
    store.initOrdineLocal(o);
    o.Uuid = QStringLiteral("{00000000-0000-4000-8000-000000000001}");
    o.Attivo = true;
    o.Utente = 5;
    o.Data = QDateTime(QDate(2023, 1, 2), QTime(3, 4, 5, 678));
    o.DataUltimaModifica = QDateTime();
    o.Note = QStringLiteral("a]]>b");
    o.Spedizione = 12.5;
    OrdiniLocal::OrdineRigaFileLocal f;
    f.Codice = QStringLiteral("F");
    f.FilePath = QStringLiteral("/a & b");
    f.FileSize = 5000000000LL;
    o.righeFile.append(f);
    OrdiniLocal::OrdineRigaStampaLocal s;
    store.initOrdineRigaStampaLocal(s);
    s.Prezzo = 0.1;
    s.IdStampa = 3;
    s.Transformation.Type = 2;
    s.Transformation.CropRect = QRectF(10.5, 0, 300, 400.25);
    o.righeStampa.append(s);

    const QString expected = QStringLiteral(
        "<?xml version=\"1.0\"?>\n"
        "<Ordine>\n"
        "    <Uuid>{00000000-0000-4000-8000-000000000001}</Uuid>\n"
        "    <Attivo>1</Attivo>\n"
        "    <Utente>5</Utente>\n"
        "    <WsId><![CDATA[]]></WsId>\n"
        "    <Data><![CDATA[2023-01-02T03:04:05]]></Data>\n"
        "    <DataUltimaModifica><![CDATA[]]></DataUltimaModifica>\n"
        "    <Inviato>0</Inviato>\n"
        "    <Note><![CDATA[a]]]]><![CDATA[>b]]></Note>\n"
        "    <ClienteFinale><![CDATA[]]></ClienteFinale>\n"
        "    <Priorita>-1</Priorita>\n"
        "    <Spedizione>12.5</Spedizione>\n"
        "    <Righe>\n"
        "        <Riga TipoRiga=\"1\">\n"
        "            <WsFileId><![CDATA[]]></WsFileId>\n"
        "            <Codice><![CDATA[F]]></Codice>\n"
        "            <Descrizione><![CDATA[]]></Descrizione>\n"
        "            <FilePath><![CDATA[/a & b]]></FilePath>\n"
        "            <FileSize>5000000000</FileSize>\n"
        "            <Inviata>0</Inviata>\n"
        "        </Riga>\n"
        "        <Riga TipoRiga=\"2\">\n"
        "            <WsFileId><![CDATA[]]></WsFileId>\n"
        "            <Codice><![CDATA[]]></Codice>\n"
        "            <Descrizione><![CDATA[]]></Descrizione>\n"
        "            <Prezzo>0.1</Prezzo>\n"
        "            <FilePath><![CDATA[]]></FilePath>\n"
        "            <FileSize>0</FileSize>\n"
        "            <Inviata>0</Inviata>\n"
        "            <IdStampa>3</IdStampa>\n"
        "            <Transformation>\n"
        "                <Type>2</Type>\n"
        "                <CropRect>10.5|0|300|400.25</CropRect>\n"
        "            </Transformation>\n"
        "            <FormatoDesc><![CDATA[]]></FormatoDesc>\n"
        "            <CartaDesc><![CDATA[]]></CartaDesc>\n"
        "            <Qta>1</Qta>\n"
        "        </Riga>\n"
        "    </Righe>\n"
        "</Ordine>\n");
    QCOMPARE(store.ToXML(o), expected);

    OrdiniLocal::OrdineLocal empty;
    store.initOrdineLocal(empty);
    QVERIFY(store.ToXML(empty).contains(QLatin1String("\n    <Righe/>\n</Ordine>\n")));
    const OrdiniLocal::OrdineLocal back = parse(store.ToXML(empty));
    QVERIFY(back.righeFile.isEmpty());
    QVERIFY(back.righeStampa.isEmpty());
}

void TestOrderFile::roundTripKeepsEveryField()
{
    OrdiniLocal store;
    const OrdiniLocal::OrdineLocal original = orderfixture::fullOrder();
    const OrdiniLocal::OrdineLocal back = store.FromXML(store.ToXML(original));
    const QString diff = orderfixture::differences(original, back);
    QVERIFY2(diff.isEmpty(), qPrintable(diff));

    // A null date-time stays null; milliseconds are not kept.
    OrdiniLocal::OrdineLocal timed = original;
    timed.Data = QDateTime();
    timed.DataUltimaModifica = QDateTime(QDate(2024, 5, 6), QTime(7, 8, 9, 999));
    const OrdiniLocal::OrdineLocal timedBack = store.FromXML(store.ToXML(timed));
    QVERIFY(timedBack.Data.isNull());
    QCOMPARE(timedBack.DataUltimaModifica, QDateTime(QDate(2024, 5, 6), QTime(7, 8, 9)));

    // Carriage returns, alone or before a line feed, in plain and in CDATA texts: a reader
    // turns a written CR into a line feed unless it goes out as a reference.
    OrdiniLocal::OrdineLocal returns = original;
    returns.Uuid = QStringLiteral("{0f8fad5b}\r");
    returns.Note = QStringLiteral("prima riga\r\nseconda\rterza\r\r");
    returns.ClienteFinale = QStringLiteral("\r");
    returns.righeFile[0].FilePath = QStringLiteral("C:/Foto\r\n]]>x.zip");
    returns.righeStampa[0].Descrizione = QStringLiteral("\r\n10x15");
    const QString returnsDiff = orderfixture::differences(returns, store.FromXML(store.ToXML(returns)));
    QVERIFY2(returnsDiff.isEmpty(), qPrintable(returnsDiff));
}

void TestOrderFile::numbersRoundTripExactly_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("written");
    QTest::newRow("12.5") << 12.5 << "12.5";
    QTest::newRow("0.1") << 0.1 << "0.1";
    QTest::newRow("1234567.8") << 1234567.8 << "1234567.8";
    QTest::newRow("one third") << 1.0 / 3.0 << "0.3333333333333333";
    QTest::newRow("tiny") << 1e-7 << "1e-07";
    QTest::newRow("large") << 5e9 << "5e+09";
    QTest::newRow("negative") << -2.75 << "-2.75";
    QTest::newRow("zero") << 0.0 << "0";
}

void TestOrderFile::numbersRoundTripExactly()
{
    QFETCH(double, value);
    QFETCH(QString, written);
    OrdiniLocal store;
    OrdiniLocal::OrdineLocal o;
    store.initOrdineLocal(o);
    o.Spedizione = value;
    OrdiniLocal::OrdineRigaStampaLocal s;
    store.initOrdineRigaStampaLocal(s);
    s.Prezzo = value;
    s.Transformation.CropRect = QRectF(value, value, value, value);
    o.righeStampa.append(s);

    const QString xml = store.ToXML(o);
    QVERIFY2(xml.contains(QStringLiteral("<Spedizione>%1</Spedizione>").arg(written)), qPrintable(xml));
    QVERIFY(xml.contains(QStringLiteral("<Prezzo>%1</Prezzo>").arg(written)));
    QVERIFY(xml.contains(QStringLiteral("<CropRect>%1|%1|%1|%1</CropRect>").arg(written)));

    const OrdiniLocal::OrdineLocal back = store.FromXML(xml);
    QCOMPARE(back.Spedizione, value);
    QCOMPARE(back.righeStampa.value(0).Prezzo, value);
    const QRectF rect = back.righeStampa.value(0).Transformation.CropRect;
    QCOMPARE(rect.x(), value);
    QCOMPARE(rect.height(), value);
}

void TestOrderFile::readsHandEditedFiles_data()
{
    QTest::addColumn<QString>("xml");
    QTest::addColumn<bool>("attivo");
    QTest::addColumn<int>("fileRows");
    QTest::addColumn<int>("printRows");
    QTest::addColumn<QString>("note");
    QTest::addColumn<QRectF>("cropRect");

    const QString printRow = QStringLiteral(
        "<Riga TipoRiga=\"2\"><Transformation><Type>2</Type><CropRect>%1</CropRect></Transformation></Riga>");

    QTest::newRow("Attivo 2 reads true") << orderDocument(QStringLiteral("<Attivo>2</Attivo>")) << true << 0 << 0
                                         << QString() << QRectF();
    QTest::newRow("Attivo yes reads false")
        << orderDocument(QStringLiteral("<Attivo>yes</Attivo>")) << false << 0 << 0 << QString() << QRectF();
    QTest::newRow("rows of kind 3 or without kind are dropped")
        << orderDocument(QStringLiteral("<Righe><Riga TipoRiga=\"3\"><Codice>in riga</Codice></Riga>"
                                        "<Riga><Codice>x</Codice></Riga><Riga TipoRiga=\"1\"/>%1</Righe>")
                             .arg(printRow.arg(QStringLiteral("1|2|3|4"))))
        << false << 1 << 1 << QString() << QRectF(1, 2, 3, 4);
    QTest::newRow("rows and fields at any depth and order")
        << orderDocument(QStringLiteral("<Riga TipoRiga=\"2\"/><Altro><Note>n</Note><Attivo>1</Attivo>"
                                        "<Riga TipoRiga=\"1\"></Riga></Altro>"))
        << true << 1 << 1 << QStringLiteral("n") << QRectF();
    QTest::newRow("a field given twice: the last counts")
        << orderDocument(QStringLiteral("<Note>uno</Note><Note>due</Note>")) << false << 0 << 0
        << QStringLiteral("due") << QRectF();
    QTest::newRow("split CDATA and plain text read whole")
        << orderDocument(QStringLiteral("<Note><![CDATA[a]]]]><![CDATA[>b]]> &amp; c</Note>")) << false << 0 << 0
        << QStringLiteral("a]]>b & c") << QRectF();
    QTest::newRow("three-part crop rectangle is empty")
        << orderDocument(QStringLiteral("<Righe>%1</Righe>").arg(printRow.arg(QStringLiteral("10.7|20.2|300"))))
        << false << 0 << 1 << QString() << QRectF(0, 0, 0, 0);
    QTest::newRow("crop rectangle keeps fractions")
        << orderDocument(QStringLiteral("<Righe>%1</Righe>").arg(printRow.arg(QStringLiteral("10.7|20.2|300|400.9"))))
        << false << 0 << 1 << QString() << QRectF(10.7, 20.2, 300, 400.9);
    QTest::newRow("no Ordine element: defaults")
        << QStringLiteral("<?xml version=\"1.0\"?><Altro><Attivo>1</Attivo></Altro>") << false << 0 << 0 << QString()
        << QRectF();
}

void TestOrderFile::readsHandEditedFiles()
{
    QFETCH(QString, xml);
    QFETCH(bool, attivo);
    QFETCH(int, fileRows);
    QFETCH(int, printRows);
    QFETCH(QString, note);
    QFETCH(QRectF, cropRect);

    const OrdiniLocal::OrdineLocal o = parse(xml);
    QCOMPARE(o.Attivo, attivo);
    QCOMPARE(o.righeFile.size(), fileRows);
    QCOMPARE(o.righeStampa.size(), printRows);
    QCOMPARE(o.Note, note);
    QCOMPARE(o.Priorita, -1);
    if (printRows > 0) {
        const QRectF r = o.righeStampa.constLast().Transformation.CropRect;
        QCOMPARE(r.x(), cropRect.x());
        QCOMPARE(r.y(), cropRect.y());
        QCOMPARE(r.width(), cropRect.width());
        QCOMPARE(r.height(), cropRect.height());
    }
}

void TestOrderFile::damagedTextIsReported_data()
{
    QTest::addColumn<QString>("xml");

    OrdiniLocal store;
    const QString whole = store.ToXML(orderfixture::fullOrder());
    const int insideFirstPrintRow = whole.indexOf(QLatin1String("<Prezzo>"));
    QVERIFY(insideFirstPrintRow > 0);

    QTest::newRow("empty file") << QString();
    QTest::newRow("cut after the declaration") << whole.left(whole.indexOf(QLatin1Char('\n')) + 1);
    QTest::newRow("cut inside a print row") << whole.left(insideFirstPrintRow);
    QTest::newRow("cut before the closing tag") << whole.left(whole.lastIndexOf(QLatin1String("</Ordine>")));
    QTest::newRow("cut inside the closing tag") << whole.left(whole.size() - 4);
    QTest::newRow("half of it") << whole.left(whole.size() / 2);
    QTest::newRow("mismatched tag") << orderDocument(QStringLiteral("<Note>x</Nota>"));
    QTest::newRow("text after the root") << whole + QStringLiteral("<Ordine/>");
    QTest::newRow("not XML") << QStringLiteral("PK\x03\x04 not an order file");
}

void TestOrderFile::damagedTextIsReported()
{
    QFETCH(QString, xml);

    QXmlStreamReader reference(xml);
    while (!reference.atEnd())
        reference.readNext();
    QVERIFY(reference.hasError());

    OrdiniLocal store;
    try {
        store.FromXML(xml);
        QFAIL("a damaged order was returned");
    } catch (const Korvex2Exception &e) {
        QVERIFY(e.code.empty());
        QCOMPARE(QString::fromStdString(e.message), reference.errorString());
    }
}

QTEST_GUILESS_MAIN(TestOrderFile)
#include "tst_orderfile.moc"
