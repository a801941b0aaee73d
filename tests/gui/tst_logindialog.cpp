// The login dialog against the laboratory simulator: server names, the trial server,
// remembered credentials, failed attempts.

#include <QApplication>
#include <QCheckBox>
#include <QCommandLinkButton>
#include <QFrame>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTest>

#include <memory>

#include "guifixture.h"
#include "korvexglobals.h"
#include "labsimulator.h"
#include "logindialog.h"
#include "modalanswerer.h"
#include "resetpassworddialog.h"
#include "signupdialog.h"
#include "utente.h"

namespace {

QString closedServer()
{
    QTcpServer server;
    server.listen(QHostAddress::LocalHost);
    return QStringLiteral("127.0.0.1:%1").arg(server.serverPort());
}

// The bare server name of an endpoint, as the login dialog's field shows it.
QString shortName(const QString &endpoint)
{
    return KorvexGlobals::endpointUrlPurged(endpoint);
}

int loginCalls(const LabSimulator &sim)
{
    return sim.status().value("calls").toObject().value("login").toInt();
}

} // namespace

class TestLoginDialog : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void serverNamesOfTheSameServer_data();
    void serverNamesOfTheSameServer();
    void anotherServerIsStoredWithDataVersionOne();
    void trialServerFillsTheDemoAccount();
    void opensOnTheFirstEmptyField_data();
    void opensOnTheFirstEmptyField();
    void emptyFieldsGoOnWithoutLogin();
    void rememberedCredentials_data();
    void rememberedCredentials();
    void failedLogin_data();
    void failedLogin();
    void validateLoginLeavesTheFormAlone();
    void linksOpenSignupAndReset();

private:
    void storeSettings(const QString &endpoint, int dataVersion, const QString &user, const QString &password)
    {
        fixture->storeSettings(endpoint, user, password, false, dataVersion);
    }
    QString storedSetting(const QString &key) const { return fixture->storedSetting(key); }
    void pressLogin(LoginDialog &dialog, const QString &user, const QString &password, const QString &server,
                    bool remember = false);

    std::unique_ptr<GuiFixture> fixture;
    std::unique_ptr<LabSimulator> sim;
};

void TestLoginDialog::initTestCase()
{
    Q_INIT_RESOURCE(application);
    fixture = std::make_unique<GuiFixture>();
    sim = std::make_unique<LabSimulator>();
    QVERIFY2(sim->start(), qPrintable(sim->errorString()));
}

void TestLoginDialog::init()
{
    fixture->reset();
    storeSettings(sim->baseUrl(), 7, QString(), QString());
}

void TestLoginDialog::cleanup()
{
    fixture->reset();
}

void TestLoginDialog::pressLogin(LoginDialog &dialog, const QString &user, const QString &password,
                                 const QString &server, bool remember)
{
    GuiFixture::edit(&dialog, "lineEditUsername")->setText(user);
    GuiFixture::edit(&dialog, "lineEditPassword")->setText(password);
    GuiFixture::edit(&dialog, "lineEditServer")->setText(server);
    dialog.findChild<QCheckBox *>("checkBoxRicorda")->setChecked(remember);
    QTest::mouseClick(dialog.findChild<QPushButton *>("pushButtonLogin"), Qt::LeftButton);
}

void TestLoginDialog::serverNamesOfTheSameServer_data()
{
    QTest::addColumn<QString>("server");
    const QString base = sim->baseUrl(); // "http://127.0.0.1:<port>/"
    QTest::newRow("short name") << shortName(base);
    QTest::newRow("address without slash") << base.chopped(1);
    QTest::newRow("whole address") << base;
}

void TestLoginDialog::serverNamesOfTheSameServer()
{
    QFETCH(QString, server);
    LoginDialog dialog;
    QCOMPARE(GuiFixture::edit(&dialog, "lineEditServer")->text(), shortName(sim->baseUrl()));
    QVERIFY(dialog.findChild<QCommandLinkButton *>("commandLinkButtonSignup")->isEnabled());
    dialog.show();
    QSignalSpy accepted(&dialog, &QDialog::accepted);

    pressLogin(dialog, "demo", "demo", server);

    QCOMPARE(accepted.count(), 1);
    QVERIFY(!dialog.isVisible());
    QVERIFY(KorvexGlobals::utente);
    QCOMPARE(KorvexGlobals::utente, dialog.getUtente());
    QCOMPARE(QString::fromStdString(KorvexGlobals::utente->username), QStringLiteral("demo"));
    // The same server: not a change, so the catalogue data version stays.
    QCOMPARE(KorvexGlobals::WsEndpoint, sim->baseUrl());
    QCOMPARE(KorvexGlobals::ServiceDataDbVersion, 7);
}

void TestLoginDialog::anotherServerIsStoredWithDataVersionOne()
{
    storeSettings(QStringLiteral("http://altro.kvx2.test/"), 7, QString(), QString());
    Utente *previous = new Utente;
    KorvexGlobals::utente = previous;

    LoginDialog dialog;
    QCOMPARE(GuiFixture::edit(&dialog, "lineEditServer")->text(), QStringLiteral("altro.kvx2.test"));
    dialog.show();
    pressLogin(dialog, "demo", "demo", sim->baseUrl());

    QVERIFY(KorvexGlobals::utente && KorvexGlobals::utente != previous);
    QCOMPARE(KorvexGlobals::WsEndpoint, sim->baseUrl());
    QCOMPARE(KorvexGlobals::ServiceDataDbVersion, 1);
    // Saved: the next start reads them back from the local database.
    KorvexGlobals::WsEndpoint.clear();
    KorvexGlobals::ServiceDataDbVersion = 0;
    KorvexGlobals().loadSettings();
    QCOMPARE(KorvexGlobals::WsEndpoint, sim->baseUrl());
    QCOMPARE(KorvexGlobals::ServiceDataDbVersion, 1);
}

void TestLoginDialog::trialServerFillsTheDemoAccount()
{
    KorvexGlobals::WsEndpoint = KorvexGlobals::WsEndpointDemo;
    LoginDialog dialog;
    auto *signup = dialog.findChild<QCommandLinkButton *>("commandLinkButtonSignup");
    auto *server = GuiFixture::edit(&dialog, "lineEditServer");
    QCOMPARE(server->text(), QStringLiteral("prova.kvx2.test"));
    QCOMPARE(GuiFixture::edit(&dialog, "lineEditUsername")->text(), QStringLiteral("prova"));
    QCOMPARE(GuiFixture::edit(&dialog, "lineEditPassword")->text(), QStringLiteral("tarn"));
    QVERIFY(!signup->isEnabled());
    // The placeholder names the trial server.
    QCOMPARE(server->placeholderText(), QStringLiteral("es.: ") + QUrl(KorvexGlobals::WsEndpointDemo).host());

    server->setText(shortName(sim->baseUrl()));
    QVERIFY(signup->isEnabled());
    server->setText(QStringLiteral("http://prova.kvx2.test"));
    QVERIFY(!signup->isEnabled());
    server->setText(QStringLiteral("prova"));
    QVERIFY(!signup->isEnabled());
}

void TestLoginDialog::opensOnTheFirstEmptyField_data()
{
    QTest::addColumn<bool>("trial");
    QTest::addColumn<QString>("focused");
    QTest::newRow("laboratory's server") << false << "lineEditUsername";
    // The trial account fills all three: Enter or Space logs in at once.
    QTest::newRow("trial server") << true << "pushButtonLogin";
}

void TestLoginDialog::opensOnTheFirstEmptyField()
{
    QFETCH(bool, trial);
    QFETCH(QString, focused);
    if (trial)
        KorvexGlobals::WsEndpoint = KorvexGlobals::WsEndpointDemo;
    LoginDialog dialog;
    dialog.show();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    QVERIFY(QApplication::focusWidget());
    QCOMPARE(QApplication::focusWidget()->objectName(), focused);
}

void TestLoginDialog::emptyFieldsGoOnWithoutLogin()
{
    storeSettings(sim->baseUrl(), 7, QStringLiteral("demo"), QStringLiteral("demo"));
    const int calls = loginCalls(*sim);
    LoginDialog dialog;
    dialog.show();
    QSignalSpy rejected(&dialog, &QDialog::rejected);
    ModalAnswerer answerer;
    answerer.answer(QMessageBox::Ok);

    pressLogin(dialog, QString(), QString(), shortName(sim->baseUrl()));

    QCOMPARE(answerer.count(), 1);
    QCOMPARE(answerer.last().title, QStringLiteral("Accesso senza autenticazione"));
    QCOMPARE(answerer.last().text,
             QString::fromUtf8("Accedendo al programma senza effettuare il login non potrai inviare ordini al "
                               "laboratorio o visualizzare lo stato degli ordini già inviati."));
    QCOMPARE(answerer.last().icon, QMessageBox::Warning);
    QCOMPARE(rejected.count(), 1);
    QCOMPARE(loginCalls(*sim), calls);
    QVERIFY(!KorvexGlobals::utente);
    QCOMPARE(storedSetting("WsUsername"), QStringLiteral("demo"));
    QCOMPARE(storedSetting("WsPassword"), QStringLiteral("demo"));
}

void TestLoginDialog::rememberedCredentials_data()
{
    QTest::addColumn<bool>("remember");
    QTest::newRow("remember") << true;
    QTest::newRow("do not remember") << false;
}

void TestLoginDialog::rememberedCredentials()
{
    QFETCH(bool, remember);
    storeSettings(sim->baseUrl(), 7, QStringLiteral("vecchio"), QStringLiteral("vecchia"));
    LoginDialog dialog;
    dialog.show();
    pressLogin(dialog, QStringLiteral("paga"), QStringLiteral("paga"), shortName(sim->baseUrl()), remember);

    QVERIFY(KorvexGlobals::utente);
    QCOMPARE(KorvexGlobals::utente->pagamento, 2);
    QCOMPARE(storedSetting("WsUsername"), remember ? QStringLiteral("paga") : QString());
    QCOMPARE(storedSetting("WsPassword"), remember ? QStringLiteral("paga") : QString());
    QCOMPARE(KorvexGlobals::WsUsername, remember ? QStringLiteral("paga") : QString());
}

void TestLoginDialog::failedLogin_data()
{
    QTest::addColumn<QString>("server");   // empty: the simulator
    QTest::addColumn<QString>("password");
    QTest::addColumn<bool>("keepsRemembered");

    QTest::newRow("wrong password") << QString() << "sbagliata" << false;
    QTest::newRow("server unreachable") << closedServer() << "demo" << true;
}

void TestLoginDialog::failedLogin()
{
    QFETCH(QString, server);
    QFETCH(QString, password);
    QFETCH(bool, keepsRemembered);
    // The stored server is another one, so that the attempt changes endpoint and version.
    storeSettings(QStringLiteral("http://altro.kvx2.test/"), 7, QStringLiteral("demo"), QStringLiteral("demo"));
    Utente *previous = new Utente;
    previous->username = "chi_era";
    KorvexGlobals::utente = previous;

    LoginDialog dialog;
    dialog.show();
    QSignalSpy finished(&dialog, &QDialog::finished);
    pressLogin(dialog, QStringLiteral("demo"), password, server.isEmpty() ? sim->baseUrl() : server, true);

    QCOMPARE(finished.count(), 0);
    QVERIFY(dialog.isVisible());
    auto *error = dialog.findChild<QLabel *>("labelLoginError");
    QVERIFY(error->isVisible());
    QCOMPARE(error->text(), QStringLiteral("Username o password errati !"));
    QCOMPARE(dialog.height(), 288);
    QVERIFY(GuiFixture::edit(&dialog, "lineEditUsername")->styleSheet().contains("rgb(211, 0, 0)"));
    QVERIFY(dialog.findChild<QFrame *>("frameLogin")->isEnabled());
    QVERIFY(dialog.findChild<QPushButton *>("pushButtonLogin")->isEnabled());
    QVERIFY(dialog.findChild<QCommandLinkButton *>("commandLinkButtonSignup")->isEnabled());
    QCOMPARE(dialog.focusWidget(), static_cast<QWidget *>(GuiFixture::edit(&dialog, "lineEditUsername")));

    // Nothing changed hands: the customer logged in before stays, endpoint and data
    // version are those stored.
    QCOMPARE(KorvexGlobals::utente, previous);
    QVERIFY(!dialog.getUtente());
    QCOMPARE(KorvexGlobals::WsEndpoint, QStringLiteral("http://altro.kvx2.test/"));
    QCOMPARE(KorvexGlobals::ServiceDataDbVersion, 7);
    // The service refused them: they go. The network failed: they stay for the next start.
    QCOMPARE(storedSetting("WsUsername"), keepsRemembered ? QStringLiteral("demo") : QString());
    QCOMPARE(storedSetting("WsPassword"), keepsRemembered ? QStringLiteral("demo") : QString());

    // The next attempt clears the error look; the height stays.
    pressLogin(dialog, QStringLiteral("demo"), QStringLiteral("demo"), sim->baseUrl());
    QCOMPARE(finished.count(), 1);
    QVERIFY(error->isHidden());
    QVERIFY(GuiFixture::edit(&dialog, "lineEditUsername")->styleSheet().isEmpty());
    QCOMPARE(dialog.height(), 288);
    QCOMPARE(QString::fromStdString(KorvexGlobals::utente->username), QStringLiteral("demo"));
}

void TestLoginDialog::validateLoginLeavesTheFormAlone()
{
    LoginDialog dialog;
    const QString server = GuiFixture::edit(&dialog, "lineEditServer")->text();
    QVERIFY(dialog.validateLogin(QStringLiteral("demo"), QStringLiteral("demo")));
    std::unique_ptr<Utente> utente(dialog.getUtente());
    QVERIFY(utente);
    QCOMPARE(utente->Getid(), 1);
    QVERIFY(!KorvexGlobals::utente);

    bool thrown = false;
    try {
        dialog.validateLogin(QStringLiteral("demo"), QStringLiteral("no"));
    } catch (const Utente::UtenteException &e) {
        thrown = true;
        QVERIFY(!e.message.empty());
    }
    QVERIFY(thrown);
    QVERIFY(!dialog.getUtente());
    QCOMPARE(GuiFixture::edit(&dialog, "lineEditServer")->text(), server);
    QVERIFY(dialog.findChild<QLabel *>("labelLoginError")->isHidden());
}

void TestLoginDialog::linksOpenSignupAndReset()
{
    LoginDialog dialog;
    dialog.show();
    GuiFixture::edit(&dialog, "lineEditServer")->setText(QStringLiteral("laboratorio"));
    ModalAnswerer answerer;
    answerer.ignore(&dialog);
    QString endpointField;
    answerer.answerWith([&](QWidget *box) {
        endpointField = GuiFixture::edit(box, "endpoint")->text();
        static_cast<QDialog *>(box)->reject();
    });
    answerer.answerWith([](QWidget *box) { static_cast<QDialog *>(box)->reject(); });
    QTest::mouseClick(dialog.findChild<QCommandLinkButton *>("commandLinkButtonSignup"), Qt::LeftButton);
    QTest::mouseClick(dialog.findChild<QCommandLinkButton *>("commandLinkButton"), Qt::LeftButton);

    QCOMPARE(answerer.count(), 2);
    QCOMPARE(answerer.boxes().at(0).className, QStringLiteral("SignupDialog"));
    QCOMPARE(endpointField, QStringLiteral("laboratorio")); // passed on as typed
    QCOMPARE(answerer.boxes().at(1).className, QStringLiteral("ResetPasswordDialog"));
    QVERIFY(dialog.isVisible());
}

QTEST_MAIN(TestLoginDialog)
#include "tst_logindialog.moc"
