// A sending process killed (SIGKILL) at several points of an order: the next run sends the
// rest, and the laboratory ends up with the order once, each file once, and nothing left
// over.

#include <memory>

#include <QJsonObject>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>

#include "enginefixture.h"
#include "korvexglobals.h"
#include "labsimulator.h"
#include "ordineupload.h"
#include "utente.h"

class TestUploadCrash : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void killedAndResumed_data();
    void killedAndResumed();

private:
    QProcess::ExitStatus runChild(const QString &killAt, int *exitCode);
};

void TestUploadCrash::initTestCase()
{
    qRegisterMetaType<QList<QFileInfo>>("QList<QFileInfo>");
}

QProcess::ExitStatus TestUploadCrash::runChild(const QString &killAt, int *exitCode)
{
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_LOGGING_RULES"), QStringLiteral("*.debug=false"));
    child.setProcessEnvironment(environment);
    child.start(QStringLiteral(KORVEX_SENDCHILD),
                {QStringLiteral("--endpoint"), KorvexGlobals::WsEndpoint, QStringLiteral("--data"),
                 KorvexGlobals::appDataPath, QStringLiteral("--db"), KorvexGlobals::SqlDbHost,
                 QStringLiteral("--profile"), KorvexGlobals::iccColorProfileLocation, QStringLiteral("--user"),
                 QLatin1String(LabSimulator::DemoUser), QStringLiteral("--password"),
                 QLatin1String(LabSimulator::DemoPassword), QStringLiteral("--kill-at"), killAt});
    if (!child.waitForFinished(120000)) {
        child.kill();
        child.waitForFinished();
        *exitCode = -1;
        return QProcess::CrashExit;
    }
    *exitCode = child.exitCode();
    return child.exitStatus();
}

void TestUploadCrash::killedAndResumed_data()
{
    // Rows in sending order: two file rows (the second large), then two prints.
    QTest::addColumn<QString>("killAt");
    QTest::addColumn<QList<bool>>("sentAfterKill"); // rows marked sent in the order file
    QTest::addColumn<bool>("orderSentAfterKill");

    QTest::newRow("during an upload") << "upload:2" << QList<bool>{true, false, false, false} << false;
    QTest::newRow("between rows") << "row:3" << QList<bool>{true, true, true, false} << false;
    QTest::newRow("sent, before the file was removed") << "sent" << QList<bool>{true, true, true, true} << true;
}

void TestUploadCrash::killedAndResumed()
{
    QFETCH(QString, killAt);
    QFETCH(QList<bool>, sentAfterKill);
    QFETCH(bool, orderSentAfterKill);

    EngineFixture fixture;
    QVERIFY2(fixture.isValid(), qPrintable(fixture.errorString()));
    QVERIFY2(fixture.startLab(), qPrintable(fixture.errorString()));

    OrdiniLocal::OrdineLocal ordine = EngineFixture::order();
    ordine.righeFile << EngineFixture::fileRow(fixture.bytesFile(QStringLiteral("piccolo.bin"), 100000, 1));
    ordine.righeFile << EngineFixture::fileRow(fixture.bytesFile(QStringLiteral("grande.bin"), 64 << 20, 2));
    ordine.righeStampa << EngineFixture::printRow(fixture.photo(QStringLiteral("uno.jpg"), QSize(1600, 1200), 3));
    ordine.righeStampa << EngineFixture::printRow(fixture.photo(QStringLiteral("due.jpg"), QSize(1200, 1600), 4));
    QVERIFY(fixture.save(ordine));
    // The process kills itself once it has heard of the row or the progress; until then the
    // laboratory holds the worker: between rows in the catalogue call of the next print (a
    // call that changes nothing), during an upload by the upload's completion.
    if (killAt.startsWith(QLatin1String("row")))
        QVERIFY(fixture.lab().holdAnswer(QStringLiteral("ottieniStampa"), 1, 1));
    else if (killAt.startsWith(QLatin1String("upload")))
        QVERIFY(fixture.lab().holdFtpUploads(1, killAt.section(QLatin1Char(':'), 1).toInt() - 1));

    int exitCode = 0;
    QCOMPARE(runChild(killAt, &exitCode), QProcess::CrashExit);
    QCOMPARE(exitCode, 9);
    QVERIFY(fixture.lab().resetKnobs());

    OrdiniLocal::OrdineLocal onDisk;
    QVERIFY(fixture.load(ordine.Uuid, onDisk));
    const QList<bool> sent{onDisk.righeFile.at(0).Inviata, onDisk.righeFile.at(1).Inviata,
                           onDisk.righeStampa.at(0).Inviata, onDisk.righeStampa.at(1).Inviata};
    QCOMPARE(sent, sentAfterKill);
    QCOMPARE(onDisk.Inviato, orderSentAfterKill);
    QCOMPARE(fixture.lab().counts().orders, orderSentAfterKill ? 1 : 0);

    // The next run, in another process, finishes the order.
    QCOMPARE(runChild(QStringLiteral("none"), &exitCode), QProcess::NormalExit);
    QCOMPARE(exitCode, 0);
    QVERIFY(!fixture.orderFileExists(ordine.Uuid));
    const EngineFixture::LabState lab = fixture.labState();
    QCOMPARE(lab.orders.size(), 1);
    QCOMPARE(lab.orders.at(0).rows.size(), 4);
    QCOMPARE(lab.files.size(), 4);
    const QString fault = fixture.checkNoDuplicateOrOrphan();
    QVERIFY2(fault.isEmpty(), qPrintable(fault));
    const QString large = lab.orders.at(0).rows.at(1).idFile;
    QCOMPARE(QFileInfo(fixture.ftpLocalPath(large)).size(), qint64(64 << 20));
}

QTEST_GUILESS_MAIN(TestUploadCrash)
#include "tst_uploadcrash.moc"
