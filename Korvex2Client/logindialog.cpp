#include "logindialog.h"

#include <QApplication>
#include <QMessageBox>
#include <QTcpSocket>
#include <QTimer>
#include <QUrl>

#include <mutex>

#include "anagrafica.h"
#include "korvexglobals.h"
#include "resetpassworddialog.h"
#include "session.h"
#include "signupdialog.h"
#include "ui_logindialog.h"
#include "utente.h"
#include "wssettingslock.h"

namespace {

QString endpointOf(const QString &server)
{
    return KorvexGlobals::endpointUrlCompleted(KorvexGlobals::endpointUrlPurged(server));
}

// Whether the account service's server takes connections: a failed login there was the
// service's answer, not the network's.
bool serverReachable(const QString &endpoint)
{
    const QUrl url(endpoint);
    if (url.host().isEmpty())
        return false;
    QTcpSocket socket;
    const int defaultPort = url.scheme() == QLatin1String("https") ? 443 : 80;
    socket.connectToHost(url.host(), static_cast<quint16>(url.port(defaultPort)));
    return socket.waitForConnected(3000);
}

} // namespace

LoginDialog::LoginDialog(QWidget *parent)
    : QDialog(parent)
    , ui(std::make_unique<Ui::LoginDialog>())
{
    ui->setupUi(this);
    resetForm();
    ui->lineEditServer->setText(KorvexGlobals::endpointUrlPurged(KorvexGlobals::WsEndpoint));
    if (KorvexGlobals::WsEndpoint == KorvexGlobals::WsEndpointDemo) {
        ui->lineEditUsername->setText(KorvexGlobals::WsUsernameDemo);
        ui->lineEditPassword->setText(KorvexGlobals::WsPasswordDemo);
    }
    // Once the caller has set the window flags (which take the focus away again) and shown
    // the dialog.
    QTimer::singleShot(0, this, &LoginDialog::focusFirstEmptyField);
}

void LoginDialog::focusFirstEmptyField()
{
    // The customer starts typing where the form needs him. With all three fields filled in,
    // "Accedi" keeps the focus that the dialog gives its default button.
    for (QLineEdit *field : {ui->lineEditUsername, ui->lineEditPassword, ui->lineEditServer}) {
        if (field->text().isEmpty()) {
            field->setFocus(Qt::OtherFocusReason);
            return;
        }
    }
}

LoginDialog::~LoginDialog() = default;

Utente *LoginDialog::getUtente() const
{
    return utente;
}

void LoginDialog::resetForm()
{
    ui->lineEditPassword->setStyleSheet(QString());
    ui->lineEditUsername->setStyleSheet(QString());
    ui->labelLoginError->hide();
}

void LoginDialog::showLoginError()
{
    const QString border = QStringLiteral("border: 1px solid; border-color: rgb(211, 0, 0);");
    ui->lineEditPassword->setStyleSheet(border);
    ui->lineEditUsername->setStyleSheet(border);
    ui->labelLoginError->show();
    setMinimumHeight(288);
    setMaximumHeight(288);
}

bool LoginDialog::validateLogin(const QString &username, const QString &password)
{
    {
        std::lock_guard<std::mutex> lock(korvexWsSettingsMutex());
        Anagrafica::WsEndpoint = KorvexGlobals::WsEndpoint.toStdString();
    }
    utente = new Utente();
    try {
        if (utente->login(username.toStdString(), password.toStdString()))
            return true;
    } catch (const Utente::UtenteException &e) {
        delete utente;
        utente = nullptr;
        throw Utente::UtenteException(e.code, e.message);
    } catch (...) {
    }
    delete utente;
    utente = nullptr;
    throw Utente::UtenteException(
        std::string(), tr("Impossibile validare il login in seguito ad un errore sconosciuto.").toStdString());
}

void LoginDialog::setChecking(bool checking)
{
    ui->pushButtonLogin->setEnabled(!checking);
    ui->frameLogin->setEnabled(!checking);
    ui->commandLinkButton->setEnabled(!checking);
    ui->commandLinkButtonSignup->setEnabled(!checking);
    if (checking) {
        setCursor(Qt::WaitCursor);
        QCoreApplication::processEvents();
    } else {
        ui->lineEditUsername->setFocus();
        unsetCursor();
    }
}

void LoginDialog::on_pushButtonLogin_clicked()
{
    const QString username = ui->lineEditUsername->text();
    const QString password = ui->lineEditPassword->text();
    if (username.isEmpty() && password.isEmpty()) {
        QMessageBox::warning(this, tr("Accesso senza autenticazione"),
                             tr("Accedendo al programma senza effettuare il login non potrai inviare ordini al "
                                "laboratorio o visualizzare lo stato degli ordini già inviati."),
                             QMessageBox::Ok);
        reject();
        close();
        return;
    }

    resetForm();
    setChecking(true);

    KorvexGlobals settings(nullptr);
    try {
        settings.loadSettings();
    } catch (const Korvex2Exception &) {
        // The attempt goes on with the values in memory.
    }

    // A failed attempt puts back the server and the catalogue data version it changed.
    const QString previousEndpoint = KorvexGlobals::WsEndpoint;
    const int previousDataVersion = KorvexGlobals::ServiceDataDbVersion;
    const QString endpoint = endpointOf(ui->lineEditServer->text());
    if (endpoint != KorvexGlobals::WsEndpoint) {
        KorvexGlobals::WsEndpoint = endpoint;
        KorvexGlobals::ServiceDataDbVersion = 1;
    }

    bool loggedIn = false;
    bool answered = true;
    try {
        loggedIn = validateLogin(username, password);
    } catch (const Utente::UtenteException &) {
        answered = serverReachable(KorvexGlobals::WsEndpoint);
    }

    if (loggedIn) {
        Session::replaceUtente(utente);
        const bool remember = ui->checkBoxRicorda->isChecked();
        KorvexGlobals::WsUsername = remember ? username : QString();
        KorvexGlobals::WsPassword = remember ? password : QString();
        settings.saveSettings();
        setChecking(false);
        accept();
        close();
        return;
    }

    KorvexGlobals::WsEndpoint = previousEndpoint;
    KorvexGlobals::ServiceDataDbVersion = previousDataVersion;
    if (answered) {
        // The service refused the credentials: the remembered ones go too. A failure of the
        // network keeps them for the next start.
        KorvexGlobals::WsUsername.clear();
        KorvexGlobals::WsPassword.clear();
        settings.saveSettings();
    }
    showLoginError();
    setChecking(false);
}

void LoginDialog::on_commandLinkButton_clicked()
{
    ResetPasswordDialog dialog(this);
    dialog.exec();
}

void LoginDialog::on_commandLinkButtonSignup_clicked()
{
    SignupDialog dialog(this);
    dialog.setEndpoint(ui->lineEditServer->text());
    dialog.exec();
}

void LoginDialog::on_lineEditServer_textChanged(const QString &arg1)
{
    ui->commandLinkButtonSignup->setEnabled(endpointOf(arg1) != KorvexGlobals::WsEndpointDemo);
}
