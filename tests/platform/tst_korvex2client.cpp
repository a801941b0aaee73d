// The settings-and-updates client against the loopback SOAP server: what goes on the wire,
// how answers are read, and how failures come out.

#include <QtTest>
#include <QTcpServer>

#include <mutex>

#include "aggiornamento.h"
#include "impostazione.h"
#include "korvex2.h"
#include "soaptestserver.h"
#include "wssettingslock.h"
#include "xmlassert.h"

namespace {

const char *const k2Ns = "http://ws.korvex2.example/korvex2/";

void setConnection(const std::string &endpoint, const std::string &user = {},
                   const std::string &password = {}, bool operatorAuth = false)
{
    std::lock_guard<std::mutex> lock(korvexWsSettingsMutex());
    korvex2::WsEndpoint = endpoint;
    korvex2::WsUsername = user;
    korvex2::WsPassword = password;
    korvex2::WsOperatorAuth = operatorAuth;
}

QByteArray k2Answer(const QByteArray &content)
{
    return soapEnvelope(content, QByteArray("xmlns:korvex2=\"") + k2Ns + "\"");
}

QByteArray ftpAnswer(const QByteArray &record)
{
    return k2Answer("<korvex2:ottieniImpostazioniServerFTPResponse>" + record
                    + "</korvex2:ottieniImpostazioniServerFTPResponse>");
}

QByteArray ftpRecord(const QByteArray &children)
{
    return "<ottieniImpostazioniServerFTPResponse>" + children + "</ottieniImpostazioniServerFTPResponse>";
}

QByteArray updateAnswer(const QByteArray &children)
{
    return k2Answer("<korvex2:ottieniAggiornamentoResponse><ottieniAggiornamentoResponse>" + children
                    + "</ottieniAggiornamentoResponse></korvex2:ottieniAggiornamentoResponse>");
}

const QByteArray plainFtpRecord = ftpRecord(
    "<host>127.0.0.1</host><porta>2121</porta><cartella>in</cartella>"
    "<username>u</username><password>p</password><sovrascrivi>true</sovrascrivi><passivo>true</passivo>");

QString text(const std::string &s) { return QString::fromStdString(s); }

} // namespace

class TestKorvex2Client : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void requestWireForm_data();
    void requestWireForm();
    void authenticationHeader_data();
    void authenticationHeader();
    void readsFtpSettings();
    void refusesUnusableFtpSettings_data();
    void refusesUnusableFtpSettings();
    void readsUpdate_data();
    void readsUpdate();
    void failures_data();
    void failures();
    void timeOut();

private:
    SoapTestServer m_server;
};

void TestKorvex2Client::init()
{
    m_server.clear();
    setConnection(m_server.baseUrl().toStdString());
}

void TestKorvex2Client::requestWireForm_data()
{
    QTest::addColumn<QString>("base");           // %1 = server port
    QTest::addColumn<QByteArray>("path");
    QTest::addColumn<int>("component");          // -1: the settings operation

    QTest::newRow("settings") << "http://127.0.0.1:%1/" << QByteArray("/korvex2.php") << -1;
    QTest::newRow("settings, base without slash")
        << "http://127.0.0.1:%1/korvex2ws" << QByteArray("/korvex2ws/korvex2.php") << -1;
    QTest::newRow("program update") << "http://127.0.0.1:%1/" << QByteArray("/korvex2.php") << 3;
    QTest::newRow("data update") << "http://127.0.0.1:%1/ws/" << QByteArray("/ws/korvex2.php") << 2;
    QTest::newRow("installer") << "http://127.0.0.1:%1/" << QByteArray("/korvex2.php") << 0;
}

void TestKorvex2Client::requestWireForm()
{
    QFETCH(QString, base);
    QFETCH(QByteArray, path);
    QFETCH(int, component);
    setConnection(base.arg(m_server.port()).toStdString());

    if (component < 0) {
        m_server.enqueueXml(ftpAnswer(plainFtpRecord));
        Impostazione().ottieniImpostazioniServerFTP();
    } else {
        m_server.enqueueXml(updateAnswer("<componente>3</componente><major>1</major><minor>0</minor>"
                                         "<build>0</build><url>http://x/y.zip</url>"));
        Aggiornamento().ottieniAggiornamento(static_cast<korvex2__IdComponenteType>(component));
    }

    QCOMPARE(m_server.requestCount(), 1);
    const SoapTestServer::Request request = m_server.lastRequest();
    QCOMPARE(request.method, QByteArray("POST"));
    QCOMPARE(request.path, path);
    const QString operation = component < 0 ? "ottieniImpostazioniServerFTP" : "ottieniAggiornamento";
    QCOMPARE(QString::fromLatin1(request.soapAction()), k2Ns + operation);

    const xmlassert::Message message(request.body);
    QVERIFY2(message.isValid(), qPrintable(message.parseError()));
    QCOMPARE(message.bodyElementCount(), 1);
    const QDomElement op = message.operation();
    QCOMPARE(op.namespaceURI(), QString(k2Ns));
    QCOMPARE(op.localName(), operation);
    QVERIFY(message.header().isNull()
            || xmlassert::children(message.header()).isEmpty()); // no credentials set
    if (component < 0) {
        QVERIFY(xmlassert::children(op).isEmpty());
    } else {
        QCOMPARE(xmlassert::childNames(op), QStringList{"ottieniAggiornamentoRequest"});
        const QDomElement value = xmlassert::child(op, "", "ottieniAggiornamentoRequest");
        QVERIFY2(!value.isNull(), "the request child must be unqualified");
        QCOMPARE(value.text().trimmed(), QString::number(component));
    }
}

void TestKorvex2Client::authenticationHeader_data()
{
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("password");
    QTest::addColumn<bool>("operatorAuth");
    QTest::addColumn<bool>("expected");

    QTest::newRow("customer") << "mario" << "s3gr3t<&>" << false << true;
    QTest::newRow("operator") << "op" << "pw" << true << true;
    QTest::newRow("utf-8") << QString::fromUtf8("cliente€") << QString::fromUtf8("pässwörd") << false << true;
    QTest::newRow("user only") << "mario" << "" << false << false;
    QTest::newRow("password only") << "" << "pw" << true << false;
    QTest::newRow("neither") << "" << "" << false << false;
}

void TestKorvex2Client::authenticationHeader()
{
    QFETCH(QString, user);
    QFETCH(QString, password);
    QFETCH(bool, operatorAuth);
    QFETCH(bool, expected);
    setConnection(m_server.baseUrl().toStdString(), user.toUtf8().toStdString(),
                  password.toUtf8().toStdString(), operatorAuth);

    // Two calls on one object: the second must carry the header again (or still none).
    m_server.enqueueXml(ftpAnswer(plainFtpRecord));
    m_server.enqueueXml(updateAnswer("<componente>2</componente><major>1</major><minor>0</minor>"
                                     "<build>0</build><url>u</url>"));
    Impostazione().ottieniImpostazioniServerFTP();
    Aggiornamento().ottieniAggiornamento(korvex2__IdComponenteType__DatiServizio);

    const QList<SoapTestServer::Request> requests = m_server.requests();
    QCOMPARE(requests.size(), 2);
    for (const SoapTestServer::Request &request : requests) {
        const xmlassert::Message message(request.body);
        QVERIFY2(message.isValid(), qPrintable(message.parseError()));
        const QDomElement auth = xmlassert::child(message.header(), k2Ns, "Authentication");
        QCOMPARE(!auth.isNull(), expected);
        if (!expected)
            continue;
        // each byte of the UTF-8 text travels as one character
        QCOMPARE(xmlassert::child(auth, "", "username").text(), QString::fromLatin1(user.toUtf8()));
        QCOMPARE(xmlassert::child(auth, "", "password").text(), QString::fromLatin1(password.toUtf8()));
        QCOMPARE(xmlassert::child(auth, "", "isOperator").text(),
                 operatorAuth ? QString("true") : QString("false"));
    }
}

void TestKorvex2Client::readsFtpSettings()
{
    // Children in another order than written, an unknown one, accented text (each byte of
    // its UTF-8 form as one character) and a flag as 0.
    const auto wire = [](const char *utf8) { return QString::fromLatin1(utf8).toUtf8(); };
    m_server.enqueueXml(ftpAnswer(ftpRecord(
        "<password>" + wire("pässword") + "</password><porta> 65535 </porta><host>ftp.lab.local</host>"
        "<altro>x</altro><cartella>/upload/ordini/</cartella><username>" + wire("cliente€") + "</username>"
        "<sovrascrivi>0</sovrascrivi><passivo>true</passivo>")));
    const ImpostazioniServerFTPItem item = Impostazione().ottieniImpostazioniServerFTP();
    QCOMPARE(text(item.host), QString("ftp.lab.local"));
    QCOMPARE(item.porta, std::uint16_t(65535));
    QCOMPARE(text(item.cartella), QString("/upload/ordini/"));
    QCOMPARE(text(item.username), QString::fromUtf8("cliente€"));
    QCOMPARE(text(item.password), QString::fromUtf8("pässword"));
    QCOMPARE(item.sovrascrivi, false);
    QCOMPARE(item.passivo, true);

    // An empty folder and empty flags: the login folder, both flags off.
    m_server.enqueueXml(ftpAnswer(ftpRecord(
        "<host>h</host><porta>21</porta><cartella/><username>u</username><password>p</password>"
        "<sovrascrivi/><passivo xsi:nil=\"true\"/>")));
    const ImpostazioniServerFTPItem bare = Impostazione().ottieniImpostazioniServerFTP();
    QCOMPARE(bare.porta, std::uint16_t(21));
    QVERIFY(bare.cartella.empty());
    QCOMPARE(bare.sovrascrivi, false);
    QCOMPARE(bare.passivo, false);
}

void TestKorvex2Client::refusesUnusableFtpSettings_data()
{
    QTest::addColumn<QByteArray>("answer");

    QTest::newRow("no record") << ftpAnswer(QByteArray());
    QTest::newRow("nil record") << ftpAnswer("<ottieniImpostazioniServerFTPResponse xsi:nil=\"true\"/>");
    QTest::newRow("port 0") << ftpAnswer(ftpRecord("<host>h</host><porta>0</porta>"));
    QTest::newRow("empty port") << ftpAnswer(ftpRecord("<host>h</host><porta/>"));
    QTest::newRow("port 65536") << ftpAnswer(ftpRecord("<host>h</host><porta>65536</porta>"));
    QTest::newRow("negative port") << ftpAnswer(ftpRecord("<host>h</host><porta>-21</porta>"));
}

void TestKorvex2Client::refusesUnusableFtpSettings()
{
    QFETCH(QByteArray, answer);
    m_server.enqueueXml(answer);
    try {
        Impostazione().ottieniImpostazioniServerFTP();
        QFAIL("no exception");
    } catch (const Impostazione::ImpostazioneException &e) {
        QVERIFY2(e.code.empty(), e.code.c_str());
        QVERIFY(!e.message.empty());
    }
}

void TestKorvex2Client::readsUpdate_data()
{
    QTest::addColumn<int>("asked");
    QTest::addColumn<QByteArray>("children");
    QTest::addColumn<int>("componente");
    QTest::addColumn<int>("major");
    QTest::addColumn<int>("minor");
    QTest::addColumn<int>("build");
    QTest::addColumn<QString>("url");

    QTest::newRow("program")
        << 3 << QByteArray("<componente>3</componente><major>2</major><minor>1</minor><build>14</build>"
                           "<url>http://127.0.0.1:8080/aggiornamenti/Korvex2-2.1.14.zip</url>")
        << 3 << 2 << 1 << 14 << "http://127.0.0.1:8080/aggiornamenti/Korvex2-2.1.14.zip";
    QTest::newRow("answer names another component")
        << 3 << QByteArray("<componente>0</componente><major>3</major><minor>0</minor><build>0</build>"
                           "<url>http://h/setup.exe</url>")
        << 0 << 3 << 0 << 0 << "http://h/setup.exe";
    QTest::newRow("data, negative numbers, unknown id")
        << 2 << QByteArray("<componente>7</componente><major>5</major><minor>-1</minor><build>-2</build>"
                           "<url>http://h/korvex.s3db</url>")
        << 7 << 5 << -1 << -2 << "http://h/korvex.s3db";
    QTest::newRow("empty values")
        << 2 << QByteArray("<componente/><major/><minor/><build/><url/>") << 0 << 0 << 0 << 0 << "";
}

void TestKorvex2Client::readsUpdate()
{
    QFETCH(int, asked);
    QFETCH(QByteArray, children);
    QFETCH(int, componente);
    QFETCH(int, major);
    QFETCH(int, minor);
    QFETCH(int, build);
    QFETCH(QString, url);

    m_server.enqueueXml(updateAnswer(children));
    const AggiornamentoItem item =
        Aggiornamento().ottieniAggiornamento(static_cast<korvex2__IdComponenteType>(asked));
    QCOMPARE(int(item.componente), componente);
    QCOMPARE(item.major, major);
    QCOMPARE(item.minor, minor);
    QCOMPARE(item.build, build);
    QCOMPARE(text(item.url), url);
}

void TestKorvex2Client::failures_data()
{
    QTest::addColumn<bool>("settings"); // else the update operation
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("code");    // "*": any
    QTest::addColumn<QString>("message"); // empty: any non-empty text

    const QByteArray fault = soapFault("SOAP-ENV:Server", "Utente non abilitato all'invio di file");
    QTest::newRow("settings fault") << true << 500 << fault << "SOAP-ENV:Server"
                                    << "Utente non abilitato all'invio di file";
    QTest::newRow("update fault") << false << 500 << soapFault("SOAP-ENV:Client", "Componente sconosciuto")
                                  << "SOAP-ENV:Client" << "Componente sconosciuto";
    QTest::newRow("settings, html page") << true << 200 << QByteArray("<html><body>Not here</body></html>")
                                         << "SOAP-ENV:Client" << "";
    QTest::newRow("update, http 404") << false << 404 << QByteArray("not found") << "SOAP-ENV:Client" << "";
    QTest::newRow("update, no record")
        << false << 200 << k2Answer("<korvex2:ottieniAggiornamentoResponse/>") << "" << "";
    QTest::newRow("settings, no server listening") << true << -1 << QByteArray() << "SOAP-ENV:Client" << "";
    QTest::newRow("settings, bad number")
        << true << 200 << ftpAnswer(ftpRecord("<host>h</host><porta>ventuno</porta>")) << "SOAP-ENV:Client" << "";
}

void TestKorvex2Client::failures()
{
    QFETCH(bool, settings);
    QFETCH(int, status);
    QFETCH(QByteArray, body);
    QFETCH(QString, code);
    QFETCH(QString, message);

    if (status < 0) {
        quint16 closedPort = 0;
        {
            QTcpServer probe;
            QVERIFY(probe.listen(QHostAddress::LocalHost, 0));
            closedPort = probe.serverPort();
        }
        setConnection(QStringLiteral("http://127.0.0.1:%1/").arg(closedPort).toStdString());
    } else {
        m_server.enqueueXml(body, status);
        m_server.enqueueXml(body, status);
    }
    // Caught through the common base, then checked for the operation's own class.
    try {
        if (settings)
            Impostazione().ottieniImpostazioniServerFTP();
        else
            Aggiornamento().ottieniAggiornamento(korvex2__IdComponenteType__Programma);
        QFAIL("no exception");
    } catch (const Korvex2Exception &e) {
        if (code != "*")
            QCOMPARE(text(e.code), code);
        if (message.isEmpty())
            QVERIFY(!e.message.empty());
        else
            QCOMPARE(text(e.message), message);
    }
    bool ownClass = false;
    try {
        if (settings)
            Impostazione().ottieniImpostazioniServerFTP();
        else
            Aggiornamento().ottieniAggiornamento(korvex2__IdComponenteType__Programma);
    } catch (const Impostazione::ImpostazioneException &) {
        ownClass = settings;
    } catch (const Aggiornamento::AggiornamentoException &) {
        ownClass = !settings;
    }
    QVERIFY(ownClass);
}

void TestKorvex2Client::timeOut()
{
    // A server that never answers: the call ends after the time-out with a transport failure,
    // the variable's second and not the tests' 60 s (a bound a busy machine stays well under).
    const QByteArray outer = qgetenv("KORVEX2_WS_TIMEOUT");
    qputenv("KORVEX2_WS_TIMEOUT", "1");
    const auto restore = qScopeGuard([&outer] { qputenv("KORVEX2_WS_TIMEOUT", outer); });
    SoapTestServer::Reply silent;
    silent.silent = true;
    m_server.enqueue(silent);
    QElapsedTimer clock;
    clock.start();
    try {
        Impostazione().ottieniImpostazioniServerFTP();
        QFAIL("no exception");
    } catch (const Impostazione::ImpostazioneException &e) {
        QCOMPARE(text(e.code), QString("SOAP-ENV:Client"));
    }
    QVERIFY2(clock.elapsed() < 30000, qPrintable(QString::number(clock.elapsed())));
}

QTEST_GUILESS_MAIN(TestKorvex2Client)
#include "tst_korvex2client.moc"
