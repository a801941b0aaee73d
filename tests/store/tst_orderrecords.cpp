// Local order records: their defaults, their kind and their total price.

#include <QTest>

#include "ordinilocal.h"

class TestOrderRecords : public QObject
{
    Q_OBJECT

private slots:
    void initialisersSetTheDefaults();
    void typeAndTotalPrice_data();
    void typeAndTotalPrice();
};

void TestOrderRecords::initialisersSetTheDefaults()
{
    OrdiniLocal store;
    OrdiniLocal::OrdineLocal o;
    o.Uuid = QStringLiteral("x");
    o.Attivo = o.Inviato = true;
    o.Priorita = 7;
    o.Spedizione = 3;
    o.righeFile.append(OrdiniLocal::OrdineRigaFileLocal());
    o.righeStampa.append(OrdiniLocal::OrdineRigaStampaLocal());
    const QDateTime before = QDateTime::currentDateTime();
    store.initOrdineLocal(o);
    QVERIFY(o.Uuid.isEmpty());
    QVERIFY(!o.Attivo && !o.Inviato);
    QCOMPARE(o.Utente, 0);
    QCOMPARE(o.Priorita, -1);
    QCOMPARE(o.Spedizione, 0.0);
    QVERIFY(o.righeFile.isEmpty() && o.righeStampa.isEmpty());
    QVERIFY(o.Data >= before && o.Data <= QDateTime::currentDateTime());
    QVERIFY(o.DataUltimaModifica >= o.Data);

    OrdiniLocal::OrdineRigaStampaLocal r;
    r.Qta = 0;
    r.TipoRiga = 0;
    r.Transformation.Type = 2;
    r.Transformation.CropRect = QRectF(1, 2, 3, 4);
    store.initOrdineRigaStampaLocal(r);
    QCOMPARE(r.Qta, 1);
    QCOMPARE(r.TipoRiga, 2);
    QCOMPARE(r.Transformation.Type, 0);
    QVERIFY(r.Transformation.CropRect.isNull());
    QVERIFY(!r.Inviata);
}

void TestOrderRecords::typeAndTotalPrice_data()
{
    QTest::addColumn<int>("fileRows");
    QTest::addColumn<QList<double>>("prices");
    QTest::addColumn<QList<int>>("copies");
    QTest::addColumn<double>("spedizione");
    QTest::addColumn<int>("type");
    QTest::addColumn<double>("total");

    QTest::newRow("empty") << 0 << QList<double>() << QList<int>() << 4.0 << 0 << 0.0;
    QTest::newRow("file rows only: no shipping") << 2 << QList<double>() << QList<int>() << 4.0 << 1 << 0.0;
    QTest::newRow("prints and shipping") << 0 << QList<double>{0.5, 1.25} << QList<int>{3, 2} << 4.0 << 2 << 8.0;
    QTest::newRow("a file row makes a file order") << 1 << QList<double>{0.5} << QList<int>{2} << 0.0 << 1 << 1.0;
    QTest::newRow("free prints: no shipping") << 0 << QList<double>{0.0} << QList<int>{5} << 4.0 << 2 << 0.0;
}

void TestOrderRecords::typeAndTotalPrice()
{
    QFETCH(int, fileRows);
    QFETCH(QList<double>, prices);
    QFETCH(QList<int>, copies);
    QFETCH(double, spedizione);
    QFETCH(int, type);
    QFETCH(double, total);

    OrdiniLocal store;
    OrdiniLocal::OrdineLocal o;
    store.initOrdineLocal(o);
    o.Spedizione = spedizione;
    for (int i = 0; i < fileRows; ++i)
        o.righeFile.append(OrdiniLocal::OrdineRigaFileLocal());
    for (int i = 0; i < prices.size(); ++i) {
        OrdiniLocal::OrdineRigaStampaLocal r;
        store.initOrdineRigaStampaLocal(r);
        r.Prezzo = prices.at(i);
        r.Qta = copies.at(i);
        o.righeStampa.append(r);
    }
    QCOMPARE(store.ordineType(o), type);
    QCOMPARE(store.ordineTotalPrice(o), total);
}

QTEST_GUILESS_MAIN(TestOrderRecords)
#include "tst_orderrecords.moc"
