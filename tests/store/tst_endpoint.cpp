// Turning a typed server name into the service endpoint and back, and file paths for the
// FTP client.

#include <QTest>

#include "korvexglobals.h"

class TestEndpoint : public QObject
{
    Q_OBJECT

private slots:
    void purged_data();
    void purged();
    void completed_data();
    void completed();
    void storedEndpointsComeBackUnchanged_data();
    void storedEndpointsComeBackUnchanged();
    void sanitizedFilePathIsUtf8();
};


void TestEndpoint::purged_data()
{
    const QString S = KorvexGlobals::laboratoryDomainSuffix;
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    QTest::newRow("empty") << QString() << QString();
    QTest::newRow("endpoint of a bare name") << QStringLiteral("HTTP://lab/") << QStringLiteral("lab");
    QTest::newRow("name and suffix") << QStringLiteral("lab") + S << QStringLiteral("lab");
    QTest::newRow("stored endpoint keeps the suffix") << QStringLiteral("http://lab") + S + QStringLiteral("/")
                                                       << QStringLiteral("lab") + S;
    QTest::newRow("https is kept") << QStringLiteral("https://lab") + S + QStringLiteral("/")
                                   << QStringLiteral("https://lab") + S;
    QTest::newRow("address and port") << QStringLiteral("http://127.0.0.1:8080/") << QStringLiteral("127.0.0.1:8080");
}

void TestEndpoint::purged()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QCOMPARE(KorvexGlobals::endpointUrlPurged(text), expected);
}

void TestEndpoint::completed_data()
{
    const QString S = KorvexGlobals::laboratoryDomainSuffix;
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    const QString labEndpoint = QStringLiteral("http://lab") + S + QStringLiteral("/");
    QTest::newRow("empty") << QString() << QString();
    QTest::newRow("bare name") << QStringLiteral("lab") << labEndpoint;
    QTest::newRow("name and suffix") << QStringLiteral("lab") + S << labEndpoint;
    QTest::newRow("name, suffix and slash") << QStringLiteral("lab") + S + QStringLiteral("/") << labEndpoint;
    QTest::newRow("prefix kept as typed") << QStringLiteral("Http://lab") << QStringLiteral("Http://lab") + S + "/";
    QTest::newRow("suffix in other case is not recognised")
        << QStringLiteral("lab") + S.toUpper() << QStringLiteral("http://lab") + S.toUpper() + S + QStringLiteral("/");
    QTest::newRow("https name") << QStringLiteral("https://lab") << QStringLiteral("https://lab") + S + "/";
    QTest::newRow("HTTPS name and suffix") << QStringLiteral("HTTPS://lab") + S << QStringLiteral("HTTPS://lab") + S + "/";
    QTest::newRow("IPv4 address") << QStringLiteral("192.168.1.20") << QStringLiteral("http://192.168.1.20/");
    QTest::newRow("IPv4 address and port") << QStringLiteral("127.0.0.1:8080") << QStringLiteral("http://127.0.0.1:8080/");
    QTest::newRow("IPv6 address and port") << QStringLiteral("[::1]:8080") << QStringLiteral("http://[::1]:8080/");
    QTest::newRow("localhost") << QStringLiteral("localhost") << QStringLiteral("http://localhost/");
    QTest::newRow("localhost in capitals, port") << QStringLiteral("LocalHost:8080")
                                                 << QStringLiteral("http://LocalHost:8080/");
    QTest::newRow("name and port") << QStringLiteral("lab:8080") << QStringLiteral("http://lab:8080/");
    QTest::newRow("address, port and path") << QStringLiteral("127.0.0.1:8080/ws")
                                            << QStringLiteral("http://127.0.0.1:8080/ws/");
    QTest::newRow("name that only looks numeric") << QStringLiteral("lab2") << QStringLiteral("http://lab2") + S + "/";
}

void TestEndpoint::completed()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QCOMPARE(KorvexGlobals::endpointUrlCompleted(text), expected);
}

void TestEndpoint::storedEndpointsComeBackUnchanged_data()
{
    const QString S = KorvexGlobals::laboratoryDomainSuffix;
    QTest::addColumn<QString>("endpoint");
    QTest::newRow("laboratory name") << QStringLiteral("http://lab") + S + QStringLiteral("/");
    QTest::newRow("trial server") << KorvexGlobals::WsEndpointDemo;
    QTest::newRow("https") << QStringLiteral("https://lab") + S + QStringLiteral("/");
    QTest::newRow("IPv4 and port") << QStringLiteral("http://127.0.0.1:8080/");
    QTest::newRow("IPv4") << QStringLiteral("http://192.168.1.20/");
    QTest::newRow("localhost") << QStringLiteral("http://localhost/");
    QTest::newRow("https localhost and port") << QStringLiteral("https://localhost:8443/");
    QTest::newRow("name and port") << QStringLiteral("http://lab:8080/");
}

void TestEndpoint::storedEndpointsComeBackUnchanged()
{
    QFETCH(QString, endpoint);
    // What the login dialog does with the server it shows.
    QCOMPARE(KorvexGlobals::endpointUrlCompleted(KorvexGlobals::endpointUrlPurged(endpoint)), endpoint);
}

void TestEndpoint::sanitizedFilePathIsUtf8()
{
    const QString path = QStringLiteral("/home/utente/Foto città/perché ü €.jpg");
    const std::string bytes = KorvexGlobals::sanitizedFilePath(path);
    QCOMPARE(QByteArray::fromStdString(bytes), path.toUtf8());
    QCOMPARE(QString::fromUtf8(bytes.c_str()), path);
}

QTEST_GUILESS_MAIN(TestEndpoint)
#include "tst_endpoint.moc"
