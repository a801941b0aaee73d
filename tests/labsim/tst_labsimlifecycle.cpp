// The simulator's life: it comes up on free ports and says where, stops cleanly, and keeps
// its state across a restart and across a crash.

#include "labsimsoap.h"
#include "labsimulator.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTcpSocket>
#include <QTest>

using namespace labsimsoap;

class TestLabSimLifecycle : public QObject
{
    Q_OBJECT

private slots:
    void startsOnFreePortsAndStopsCleanly();
    void stateSurvivesRestartAndCrash();
    void payingCustomersOrdersAwaitPayment();
    void paymentPage();
};

namespace {

QByteArray ftpGreeting(const QString &host, quint16 port)
{
    QTcpSocket socket;
    socket.connectToHost(host, port);
    if (!socket.waitForConnected(5000) || !socket.waitForReadyRead(5000))
        return {};
    return socket.readLine();
}

// Inserts a file record and an order with one file row for the customer; returns the order id.
QString sendOrder(const LabSimulator &sim, const QByteArray &user, const QByteArray &password, int userId,
                  const QByteArray &date = "2024-05-01T10:00:00Z")
{
    const LabSimulator::HttpReply file = ordini(sim, "inserisciFile", fileRecord("a.jpg", 1234), user, password);
    const QByteArray fileId = text(file.body, QStringLiteral("inserisciFileResponse")).toUtf8();
    const LabSimulator::HttpReply order = ordini(
        sim, "inserisciOrdine", orderWithFileRow(userId, fileId).replace("2024-05-01T10:00:00Z", date),
        user, password);
    if (order.status != 200)
        qWarning() << order.body;
    return text(order.body, QStringLiteral("inserisciOrdineResponse"));
}

QByteArray listaOrdiniById(const QString &id)
{
    return "<listaOrdiniRequest><offset>0</offset><length>1</length><filter>id = '" + id.toUtf8()
        + "'</filter><order></order><guid></guid></listaOrdiniRequest>";
}

} // namespace

void TestLabSimLifecycle::startsOnFreePortsAndStopsCleanly()
{
    LabSimulator first;
    LabSimulator second;
    QVERIFY2(first.start(), qPrintable(first.errorString()));
    QVERIFY2(second.start(), qPrintable(second.errorString()));

    QVERIFY(QRegularExpression(QStringLiteral("^http://127\\.0\\.0\\.1:\\d+/$")).match(first.baseUrl()).hasMatch());
    QVERIFY(first.baseUrl() != second.baseUrl());
    QCOMPARE(first.ftpHost(), QStringLiteral("127.0.0.1"));
    QVERIFY(first.ftpPort() != second.ftpPort());
    QVERIFY(ftpGreeting(first.ftpHost(), first.ftpPort()).startsWith("220"));

    const LabSimulator::Counts counts = first.counts();
    QCOMPARE(counts.customers, 2);
    QCOMPARE(counts.orders, 0);
    QCOMPARE(counts.fileRecords, 0);
    QCOMPARE(counts.ftpFiles, 0);

    // The settings service points the program at this simulator's FTP server.
    const LabSimulator::HttpReply settings = call(
        first, QStringLiteral("korvex2.php"), "korvex2", Korvex2Ns, "ottieniImpostazioniServerFTP", {},
        authentication("korvex2", LabSimulator::DemoUser, LabSimulator::DemoPassword));
    QCOMPARE(settings.status, 200);
    QCOMPARE(text(settings.body, QStringLiteral("host")), first.ftpHost());
    QCOMPARE(text(settings.body, QStringLiteral("porta")).toInt(), int(first.ftpPort()));

    const quint16 port = quint16(QUrl(first.baseUrl()).port());
    QVERIFY2(first.stop(), qPrintable(first.errorString()));
    QVERIFY(!first.isRunning());
    QTcpSocket socket;
    socket.connectToHost(QStringLiteral("127.0.0.1"), port);
    QVERIFY(!socket.waitForConnected(2000));
    QVERIFY(second.isRunning());
}

void TestLabSimLifecycle::stateSurvivesRestartAndCrash()
{
    LabSimulator sim;
    QVERIFY2(sim.start(), qPrintable(sim.errorString()));
    const QString base = sim.baseUrl();

    const LabSimulator::HttpReply registered = account(
        sim, "registrazioneUtente",
        "<registrazioneUtenteRequest><username>nuovo</username><password>segreta</password>"
        "<nome>Nuovo</nome><cognome>Cliente</cognome><ragione_sociale></ragione_sociale><cap></cap>"
        "<cf></cf><citta></citta><email>nuovo@example.org</email><fax></fax><indirizzo></indirizzo>"
        "<piva></piva><provincia></provincia><tel_fisso></tel_fisso><tel_cell></tel_cell>"
        "<notifiche>3</notifiche></registrazioneUtenteRequest>");
    QCOMPARE(registered.status, 200);
    const QString orderId = sendOrder(sim, LabSimulator::DemoUser, LabSimulator::DemoPassword, 1);
    QVERIFY(!orderId.isEmpty());
    const LabSimulator::Counts before = sim.counts();
    QCOMPARE(before.customers, 3);
    QCOMPARE(before.orders, 1);
    QCOMPARE(before.rows, 1);
    QCOMPARE(before.fileRecords, 1);

    QVERIFY2(sim.restart(), qPrintable(sim.errorString()));
    QCOMPARE(sim.baseUrl(), base); // same address: clients keep working across the restart
    sim.kill();
    QVERIFY2(sim.start(), qPrintable(sim.errorString()));

    const LabSimulator::Counts after = sim.counts();
    QCOMPARE(after.customers, before.customers);
    QCOMPARE(after.orders, before.orders);
    QCOMPARE(after.rows, before.rows);
    QCOMPARE(after.fileRecords, before.fileRecords);
    const LabSimulator::HttpReply login = account(sim, "login", loginRequest("nuovo", "segreta"));
    QCOMPARE(login.status, 200);
    QCOMPARE(text(login.body, QStringLiteral("nome")), QStringLiteral("Nuovo"));
    const LabSimulator::HttpReply listed = ordini(sim, "listaOrdini", listaOrdiniById(orderId));
    QCOMPARE(listed.status, 200);
    QCOMPARE(count(listed.body, QStringLiteral("Ordini")), 1);
    QCOMPARE(count(listed.body, QStringLiteral("righe_ordine")), 1);
    QCOMPARE(text(listed.body, QStringLiteral("dimensione")), QStringLiteral("1234"));

    // A new order after the restart takes a new id.
    const QString second = sendOrder(sim, LabSimulator::DemoUser, LabSimulator::DemoPassword, 1);
    QVERIFY(!second.isEmpty());
    QVERIFY(second != orderId);
}

void TestLabSimLifecycle::payingCustomersOrdersAwaitPayment()
{
    LabSimulator sim;
    QVERIFY2(sim.start(), qPrintable(sim.errorString()));

    const QString paying = sendOrder(sim, LabSimulator::PayingUser, LabSimulator::PayingPassword, 2);
    const QString demo = sendOrder(sim, LabSimulator::DemoUser, LabSimulator::DemoPassword, 1);
    QVERIFY(!paying.isEmpty());
    QVERIFY(!demo.isEmpty());

    const LabSimulator::HttpReply payingOrder = ordini(sim, "listaOrdini", listaOrdiniById(paying),
                                                       LabSimulator::PayingUser, LabSimulator::PayingPassword);
    QCOMPARE(text(payingOrder.body, QStringLiteral("stato")), QStringLiteral("8"));
    const LabSimulator::HttpReply demoOrder = ordini(sim, "listaOrdini", listaOrdiniById(demo));
    QCOMPARE(text(demoOrder.body, QStringLiteral("stato")), QStringLiteral("2"));

    // Each customer sees only his own orders.
    const LabSimulator::HttpReply foreign = ordini(sim, "listaOrdini", listaOrdiniById(paying));
    QCOMPARE(foreign.status, 200);
    QCOMPARE(count(foreign.body, QStringLiteral("Ordini")), 0);

    // The header query of the day's orders awaiting payment finds the paying customer's order.
    const QByteArray today = QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd")).toUtf8();
    const QString todays = sendOrder(sim, LabSimulator::PayingUser, LabSimulator::PayingPassword, 2,
                                     QDateTime::currentDateTimeUtc().toString(Qt::ISODate).toUtf8());
    QVERIFY(!todays.isEmpty());
    const LabSimulator::HttpReply headers = ordini(sim, "listaOrdiniIntestazione",
        "<listaOrdiniIntestazioneRequest><username>paga</username><cliente></cliente><endUser></endUser>"
        "<numeroDa>0</numeroDa><numeroA>0</numeroA><dataDa>" + today + "</dataDa><dataA>" + today
        + "</dataA><stati>8</stati><limiteDa>0</limiteDa><limiteA>0</limiteA></listaOrdiniIntestazioneRequest>",
        LabSimulator::PayingUser, LabSimulator::PayingPassword);
    QCOMPARE(headers.status, 200);
    QCOMPARE(count(headers.body, QStringLiteral("Ordini")), 1);
    QCOMPARE(text(headers.body, QStringLiteral("id")), todays);
    QCOMPARE(count(headers.body, QStringLiteral("righe_ordine")), 0);
}

void TestLabSimLifecycle::paymentPage()
{
    LabSimulator sim;
    QVERIFY2(sim.start(), qPrintable(sim.errorString()));
    const QString id = sendOrder(sim, LabSimulator::PayingUser, LabSimulator::PayingPassword, 2);

    const LabSimulator::HttpReply page = sim.request("GET", QStringLiteral("paypal.php?id=") + id);
    QCOMPARE(page.status, 200);
    QVERIFY(page.headers.value("content-type").startsWith("text/html"));
    QVERIFY(page.body.contains(id.toUtf8()));
    QCOMPARE(sim.counts().paymentPageVisits, 1);

    QCOMPARE(sim.request("GET", QStringLiteral("paypal.php?id=O999999")).status, 404);
    QCOMPARE(sim.counts().paymentPageVisits, 1);
}

QTEST_GUILESS_MAIN(TestLabSimLifecycle)
#include "tst_labsimlifecycle.moc"
