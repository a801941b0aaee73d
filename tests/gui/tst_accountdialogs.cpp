// Sign-up and password reset dialogs against the laboratory simulator.

#include <QApplication>
#include <QFrame>
#include <QJsonArray>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTcpServer>
#include <QTest>
#include <QToolButton>

#include <memory>

#include "anagrafica.h"
#include "guifixture.h"
#include "korvexglobals.h"
#include "labsimulator.h"
#include "modalanswerer.h"
#include "resetpassworddialog.h"
#include "signupdialog.h"

using Fields = QMap<QString, QString>;
Q_DECLARE_METATYPE(Fields)

namespace {

// A sign-up form that passes every check (the server is set by each test).
Fields validForm()
{
    return {{"username", "nuovo"},
            {"password", "segreta"},
            {"password2", "segreta"},
            {"ragione_sociale", QString::fromUtf8("Caffè & Foto")},
            {"nome", "Anna"},
            {"cognome", QString::fromUtf8("D'Amico")},
            {"indirizzo", "Via Verdi 3"},
            {"cap", "47121"},
            {"citta", QString::fromUtf8("Forlì")},
            {"provincia", "FC"},
            {"codice_fiscale", "DMCNNA80A41D704X"},
            {"partita_iva", ""},
            {"email", "anna@example.org"},
            {"fax", ""},
            {"tel_fisso", ""},
            {"tel_cell", "333 7654321"}};
}

void fill(QWidget *dialog, const Fields &fields)
{
    for (auto it = fields.constBegin(); it != fields.constEnd(); ++it)
        GuiFixture::edit(dialog, it.key().toLatin1().constData())->setText(it.value());
}

quint16 closedPort()
{
    QTcpServer server;
    server.listen(QHostAddress::LocalHost);
    return server.serverPort();
}

QString closedServer()
{
    return QStringLiteral("http://127.0.0.1:%1/").arg(closedPort());
}

QJsonObject customer(const LabSimulator &sim, const QString &username)
{
    const QJsonArray customers =
        sim.status().value("data").toObject().value("customers").toArray();
    for (const QJsonValue &value : customers) {
        if (value.toObject().value("username").toString() == username)
            return value.toObject();
    }
    return {};
}

int mailCount(const LabSimulator &sim)
{
    return sim.status().value("counts").toObject().value("mails").toInt();
}

QString lastMailBody(const LabSimulator &sim)
{
    const QJsonArray mails = sim.status().value("data").toObject().value("mails").toArray();
    return mails.isEmpty() ? QString() : mails.last().toObject().value("body").toString();
}

} // namespace

class TestAccountDialogs : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void signupValidation_data();
    void signupValidation();
    void signupRegistersOnTheTypedServer();
    void signupFailure_data();
    void signupFailure();

    void resetEmptyFieldsDoNothing();
    void resetBothStepsWithTheMailedCode();
    void resetRefusedOrFailed_data();
    void resetRefusedOrFailed();

private:
    std::unique_ptr<GuiFixture> fixture;
    std::unique_ptr<LabSimulator> sim;
};

void TestAccountDialogs::initTestCase()
{
    Q_INIT_RESOURCE(application);
    fixture = std::make_unique<GuiFixture>();
    sim = std::make_unique<LabSimulator>();
    QVERIFY2(sim->start(), qPrintable(sim->errorString()));
}

void TestAccountDialogs::init()
{
    QVERIFY(sim->resetKnobs());
    KorvexGlobals::WsEndpoint = sim->baseUrl();
}

// ---------------------------------------------------------------------------------------
// Sign-up

void TestAccountDialogs::signupValidation_data()
{
    QTest::addColumn<Fields>("changes");
    QTest::addColumn<QString>("message"); // empty: the form passes
    QTest::addColumn<QString>("focus");

    const QString trial = QStringLiteral("Impossibile effettuare la registrazione sul server di prova.");
    QTest::newRow("trial short name") << Fields{{"endpoint", "prova"}} << trial << "endpoint";
    QTest::newRow("trial host") << Fields{{"endpoint", "prova.kvx2.test"}} << trial << "endpoint";
    QTest::newRow("trial url") << Fields{{"endpoint", "http://prova.kvx2.test/"}} << trial << "endpoint";
    QTest::newRow("no server") << Fields{{"endpoint", ""}, {"username", ""}}
                               << "Il campo <b>Server</b> è obbligatorio." << "endpoint";
    QTest::newRow("first empty wins") << Fields{{"username", ""}, {"ragione_sociale", ""}}
                                      << "Il campo <b>Username</b> è obbligatorio" << "username";
    QTest::newRow("ragione sociale") << Fields{{"ragione_sociale", ""}}
                                     << "Il campo <b>Rag. Sociale</b> è obbligatorio" << "ragione_sociale";
    QTest::newRow("indirizzo") << Fields{{"indirizzo", ""}} << "Il campo <b>Indirizzo</b> è obbligatorio"
                               << "indirizzo";
    QTest::newRow("cap") << Fields{{"cap", ""}} << "Il campo <b>Cap</b> è obbligatorio" << "cap";
    QTest::newRow("citta") << Fields{{"citta", ""}} << "Il campo <b>Citt&agrave;</b> è obbligatorio" << "citta";
    QTest::newRow("provincia") << Fields{{"provincia", ""}} << "Il campo <b>Provincia</b> è obbligatorio"
                               << "provincia";
    QTest::newRow("codice fiscale") << Fields{{"codice_fiscale", ""}}
                                    << "Il campo <b>Codice Fiscale</b> è obbligatorio" << "codice_fiscale";
    QTest::newRow("email before password") << Fields{{"email", ""}, {"password", ""}}
                                           << "Il campo <b>Email</b> è obbligatorio" << "email";
    QTest::newRow("repeated password missing")
        << Fields{{"password2", ""}} << "I campi <b>Passowrd</b> e <b>Ripeti Password</b> sono obbligatori"
        << "password";
    QTest::newRow("passwords differ in case")
        << Fields{{"password2", "Segreta"}}
        << "Le password digitate nei campi <b>Passowrd</b> e <b>Ripeti Password</b> devono coincidere"
        << "password";
    QTest::newRow("blanks pass") << Fields{{"username", " "}, {"cap", " "}, {"email", " "}} << QString()
                                 << QString();
    QTest::newRow("optional fields empty") << Fields{{"nome", ""}, {"cognome", ""}, {"tel_cell", ""}} << QString()
                                           << QString();
}

void TestAccountDialogs::signupValidation()
{
    QFETCH(Fields, changes);
    QFETCH(QString, message);
    QFETCH(QString, focus);

    SignupDialog dialog;
    dialog.setEndpoint(sim->baseUrl());
    fill(&dialog, validForm());
    fill(&dialog, changes);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));

    ModalAnswerer answerer;
    answerer.answer(QMessageBox::Ok);
    bool valid = false;
    QVERIFY(QMetaObject::invokeMethod(&dialog, "validaForm", Q_RETURN_ARG(bool, valid)));
    if (message.isEmpty()) {
        QVERIFY(valid);
        QCOMPARE(answerer.count(), 0);
        return;
    }
    QVERIFY(!valid);
    QCOMPARE(answerer.count(), 1);
    QCOMPARE(answerer.last().title, QStringLiteral("Errore"));
    QCOMPARE(answerer.last().icon, QMessageBox::Warning);
    QVERIFY2(answerer.last().text.startsWith(message), qPrintable(answerer.last().text));
    QCOMPARE(answerer.last().buttons, QStringList{QStringLiteral("OK")});
    QCOMPARE(dialog.focusWidget(), static_cast<QWidget *>(GuiFixture::edit(&dialog, focus.toLatin1().constData())));
}

void TestAccountDialogs::signupRegistersOnTheTypedServer()
{
    const int customers = sim->counts().customers;
    // The program's own server is another one: the sign-up goes to the typed server.
    const QString programServer = closedServer();
    KorvexGlobals::WsEndpoint = programServer;

    SignupDialog dialog;
    dialog.setEndpoint(sim->baseUrl());
    fill(&dialog, validForm());
    dialog.show();
    ModalAnswerer answerer;
    answerer.answer(QMessageBox::Ok);
    QTest::mouseClick(dialog.findChild<QPushButton *>("pushButtonSignup"), Qt::LeftButton);

    QCOMPARE(answerer.count(), 1);
    QCOMPARE(answerer.last().title, QStringLiteral("Registrazione Utente"));
    QCOMPARE(answerer.last().icon, QMessageBox::Information);
    QVERIFY(answerer.last().text.contains(QStringLiteral("Registrazione avvenuta con successo !")));
    QVERIFY(!dialog.isVisible());
    QCOMPARE(dialog.result(), int(QDialog::Rejected));

    QCOMPARE(sim->counts().customers, customers + 1);
    const QJsonObject record = customer(*sim, QStringLiteral("nuovo"));
    QCOMPARE(record.value("citta").toString(), QString::fromUtf8("Forlì"));
    QCOMPARE(record.value("ragione_sociale").toString(), QString::fromUtf8("Caffè & Foto"));
    QCOMPARE(record.value("cognome").toString(), QStringLiteral("D'Amico"));
    QCOMPARE(record.value("cf").toString(), QStringLiteral("DMCNNA80A41D704X"));
    QCOMPARE(record.value("tel_cell").toString(), QStringLiteral("333 7654321"));
    QCOMPARE(record.value("notifiche").toInt(), 0x7FF);
    QCOMPARE(KorvexGlobals::WsEndpoint, programServer);
    QCOMPARE(QString::fromStdString(Anagrafica::WsEndpoint), sim->baseUrl());
}

void TestAccountDialogs::signupFailure_data()
{
    QTest::addColumn<QString>("server");  // empty: the simulator
    QTest::addColumn<QString>("username");
    QTest::addColumn<QString>("knob");    // "false": the service answers false
    QTest::addColumn<QString>("detail");  // what follows the fixed sentence, if anything

    QTest::newRow("user name taken") << QString() << "demo" << QString()
                                     << QString::fromUtf8("Il nome utente 'demo' è già in uso");
    QTest::newRow("service fault") << QString() << "altro" << "fault"
                                   << QString::fromUtf8("Archivio non disponibile: è in manutenzione");
    // The library itself reports an answer without an id as a failure.
    QTest::newRow("answer false") << QString() << "altro2" << "false" << "?";
    QTest::newRow("server unreachable") << closedServer() << "altro3" << QString() << "?";
}

void TestAccountDialogs::signupFailure()
{
    QFETCH(QString, server);
    QFETCH(QString, username);
    QFETCH(QString, knob);
    QFETCH(QString, detail);
    if (knob == QLatin1String("fault"))
        QVERIFY(sim->injectFault("registrazioneUtente", detail));
    if (knob == QLatin1String("false"))
        QVERIFY(sim->answerFalse("registrazioneUtente"));
    const int customers = sim->counts().customers;

    SignupDialog dialog;
    dialog.setEndpoint(server.isEmpty() ? sim->baseUrl() : server);
    Fields form = validForm();
    form["username"] = username;
    fill(&dialog, form);
    dialog.show();
    ModalAnswerer answerer;
    answerer.answer(QMessageBox::Ok);
    QTest::mouseClick(dialog.findChild<QPushButton *>("pushButtonSignup"), Qt::LeftButton);

    QCOMPARE(answerer.count(), 1);
    QCOMPARE(answerer.last().title, QStringLiteral("Registrazione Utente"));
    QCOMPARE(answerer.last().icon, QMessageBox::Warning);
    const QString sentence = QStringLiteral("Errore in fase di registrazione del nuovo account utente");
    if (detail.isEmpty())
        QCOMPARE(answerer.last().text, sentence);
    else if (detail == QLatin1String("?"))
        QVERIFY(answerer.last().text.startsWith(sentence + QStringLiteral("\r\n")));
    else
        QCOMPARE(answerer.last().text, sentence + QStringLiteral("\r\n") + detail);

    // The dialog stays as the customer left it.
    QVERIFY(dialog.isVisible());
    QVERIFY(dialog.findChild<QWidget *>("widgetButtons")->isEnabled());
    QCOMPARE(GuiFixture::edit(&dialog, "username")->text(), username);
    QCOMPARE(GuiFixture::edit(&dialog, "citta")->text(), QString::fromUtf8("Forlì"));
    QCOMPARE(sim->counts().customers, customers);
    QVERIFY(!QApplication::overrideCursor());
}

// ---------------------------------------------------------------------------------------
// Password reset

void TestAccountDialogs::resetEmptyFieldsDoNothing()
{
    const int mails = mailCount(*sim);
    ResetPasswordDialog dialog;
    dialog.show();
    QTest::mouseClick(dialog.findChild<QToolButton *>("toolButtonRequestCode"), Qt::LeftButton);
    QTest::mouseClick(dialog.findChild<QToolButton *>("toolButtonResetPassword"), Qt::LeftButton);
    for (const char *name : {"labelInvioCodiceConferma", "labelResetPasswordConferma", "labelInvioCodiceErrore",
                             "labelResetPasswordErrore"})
        QVERIFY2(dialog.findChild<QLabel *>(name)->isHidden(), name);
    QVERIFY(dialog.findChild<QFrame *>("frameInvioCodice")->isVisible());
    QCOMPARE(mailCount(*sim), mails);
}

void TestAccountDialogs::resetBothStepsWithTheMailedCode()
{
    // A customer of this test's own, so that the demo account keeps its password.
    {
        SignupDialog signup;
        signup.setEndpoint(sim->baseUrl());
        Fields form = validForm();
        form["username"] = QStringLiteral("smemorato");
        fill(&signup, form);
        ModalAnswerer answerer;
        answerer.answer(QMessageBox::Ok);
        signup.show();
        QTest::mouseClick(signup.findChild<QPushButton *>("pushButtonSignup"), Qt::LeftButton);
        QVERIFY(!customer(*sim, QStringLiteral("smemorato")).isEmpty());
    }

    ResetPasswordDialog dialog;
    dialog.show();
    GuiFixture::edit(&dialog, "username")->setText(QStringLiteral("smemorato"));
    QTest::mouseClick(dialog.findChild<QToolButton *>("toolButtonRequestCode"), Qt::LeftButton);
    QVERIFY(dialog.findChild<QLabel *>("labelInvioCodiceConferma")->isVisible());
    QVERIFY(dialog.findChild<QFrame *>("frameInvioCodice")->isHidden());
    // Step 2 stays open.
    QVERIFY(dialog.findChild<QFrame *>("frameResetPassword")->isVisible());

    const QString mail = lastMailBody(*sim);
    const QString code = mail.section(QLatin1Char(' '), -1);
    QVERIFY2(mail.contains(QStringLiteral("codice di recupero")), qPrintable(mail));
    GuiFixture::edit(&dialog, "codice")->setText(code);
    QTest::mouseClick(dialog.findChild<QToolButton *>("toolButtonResetPassword"), Qt::LeftButton);
    QVERIFY(dialog.findChild<QLabel *>("labelResetPasswordConferma")->isVisible());
    QVERIFY(dialog.findChild<QFrame *>("frameResetPassword")->isHidden());
    QVERIFY(customer(*sim, QStringLiteral("smemorato")).value("password").toString() != QStringLiteral("segreta"));
    QVERIFY(dialog.cursor().shape() != Qt::WaitCursor);
}

void TestAccountDialogs::resetRefusedOrFailed_data()
{
    QTest::addColumn<QString>("field");   // "username" (step 1) or "codice" (step 2)
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("fault");   // fault string the service answers with, if any
    QTest::addColumn<QString>("expected");

    const QString generic = QString::fromUtf8("Si è verificato un errore, si prega di riprovare");
    const QString accented = QString::fromUtf8("Servizio già occupato: riprova più tardi");
    QTest::newRow("unknown user: service answers false") << "username" << "nessuno" << QString() << generic;
    QTest::newRow("wrong code: service answers false") << "codice" << "ZZZZ" << QString() << generic;
    QTest::newRow("fault text step 1") << "username" << "demo" << accented << accented;
    QTest::newRow("fault text step 2") << "codice" << "ABCD" << accented << accented;
    const QString markup = QStringLiteral("Codice <b>ABCD</b> scaduto: <i>richiedine</i> un altro & riprova");
    QTest::newRow("fault text with markup") << "codice" << "ABCD" << markup << markup;
}

void TestAccountDialogs::resetRefusedOrFailed()
{
    QFETCH(QString, field);
    QFETCH(QString, value);
    QFETCH(QString, fault);
    QFETCH(QString, expected);
    if (!fault.isEmpty())
        QVERIFY(sim->injectFault("recuperaPasswordUtente", fault));

    ResetPasswordDialog dialog;
    dialog.show();
    const bool first = field == QLatin1String("username");
    GuiFixture::edit(&dialog, field.toLatin1().constData())->setText(value);
    QTest::mouseClick(dialog.findChild<QToolButton *>(first ? "toolButtonRequestCode" : "toolButtonResetPassword"),
                      Qt::LeftButton);

    auto *error = dialog.findChild<QLabel *>(first ? "labelInvioCodiceErrore" : "labelResetPasswordErrore");
    QVERIFY(error->isVisible());
    QCOMPARE(error->text(), expected);
    // The service's words are shown as they are, never read as markup.
    QCOMPARE(error->textFormat(), Qt::PlainText);
    QVERIFY(dialog.findChild<QLabel *>(first ? "labelInvioCodiceConferma" : "labelResetPasswordConferma")->isHidden());
    QVERIFY(dialog.findChild<QFrame *>(first ? "frameInvioCodice" : "frameResetPassword")->isVisible());
    QVERIFY(GuiFixture::edit(&dialog, field.toLatin1().constData())->isEnabled());
}

QTEST_MAIN(TestAccountDialogs)
#include "tst_accountdialogs.moc"
