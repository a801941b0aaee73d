#include "signupdialog.h"

#include <QApplication>
#include <QMessageBox>

#include <mutex>

#include "anagrafica.h"
#include "korvexglobals.h"
#include "ui_signupdialog.h"
#include "utente.h"
#include "wssettingslock.h"

namespace {

QString endpointOf(const QString &server)
{
    return KorvexGlobals::endpointUrlCompleted(KorvexGlobals::endpointUrlPurged(server));
}

} // namespace

SignupDialog::SignupDialog(QWidget *parent)
    : QDialog(parent)
    , ui(std::make_unique<Ui::SignupDialog>())
{
    ui->setupUi(this);
}

SignupDialog::~SignupDialog() = default;

void SignupDialog::setEndpoint(const QString &endpoint)
{
    ui->endpoint->setText(endpoint);
}

bool SignupDialog::validaForm()
{
    struct Check
    {
        bool failed;
        QString message;
        QWidget *focus;
    };
    const Check checks[] = {
        {endpointOf(ui->endpoint->text()) == KorvexGlobals::WsEndpointDemo,
         tr("Impossibile effettuare la registrazione sul server di prova.<br>Il campo <b>Server</b> indica il "
            "nome/url del gestore del servizio di stampa. Se non sei in possesso di questo dato contatta il "
            "laboratorio di stampa fornitore del servizio."),
         ui->endpoint},
        {ui->endpoint->text().isEmpty(),
         tr("Il campo <b>Server</b> è obbligatorio.<br>Questo campo indica il nome/url del gestore del servizio "
            "di stampa. Se non sei in possesso di questo dato contatta il laboratorio di stampa fornitore del "
            "servizio."),
         ui->endpoint},
        {ui->username->text().isEmpty(), tr("Il campo <b>Username</b> è obbligatorio"), ui->username},
        {ui->ragione_sociale->text().isEmpty(), tr("Il campo <b>Rag. Sociale</b> è obbligatorio"),
         ui->ragione_sociale},
        {ui->indirizzo->text().isEmpty(), tr("Il campo <b>Indirizzo</b> è obbligatorio"), ui->indirizzo},
        {ui->cap->text().isEmpty(), tr("Il campo <b>Cap</b> è obbligatorio"), ui->cap},
        {ui->citta->text().isEmpty(), tr("Il campo <b>Citt&agrave;</b> è obbligatorio"), ui->citta},
        {ui->provincia->text().isEmpty(), tr("Il campo <b>Provincia</b> è obbligatorio"), ui->provincia},
        {ui->codice_fiscale->text().isEmpty(), tr("Il campo <b>Codice Fiscale</b> è obbligatorio"),
         ui->codice_fiscale},
        {ui->email->text().isEmpty(), tr("Il campo <b>Email</b> è obbligatorio"), ui->email},
        {ui->password->text().isEmpty() || ui->password2->text().isEmpty(),
         tr("I campi <b>Passowrd</b> e <b>Ripeti Password</b> sono obbligatori"), ui->password},
        {ui->password->text() != ui->password2->text(),
         tr("Le password digitate nei campi <b>Passowrd</b> e <b>Ripeti Password</b> devono coincidere"),
         ui->password},
    };
    for (const Check &check : checks) {
        if (check.failed) {
            QMessageBox::warning(this, tr("Errore"), check.message, QMessageBox::Ok, QMessageBox::NoButton);
            check.focus->setFocus();
            return false;
        }
    }
    return true;
}

void SignupDialog::form2utente(Utente &utente)
{
    utente.username = ui->username->text().toStdString();
    utente.password = ui->password->text().toStdString();
    utente.nome = ui->nome->text().toStdString();
    utente.cognome = ui->cognome->text().toStdString();
    utente.ragione_sociale = ui->ragione_sociale->text().toStdString();
    utente.cap = ui->cap->text().toStdString();
    utente.cf = ui->codice_fiscale->text().toStdString();
    utente.citta = ui->citta->text().toStdString();
    utente.email = ui->email->text().toStdString();
    utente.fax = ui->fax->text().toStdString();
    utente.indirizzo = ui->indirizzo->text().toStdString();
    utente.piva = ui->partita_iva->text().toStdString();
    utente.provincia = ui->provincia->text().toStdString();
    utente.tel_fisso = ui->tel_fisso->text().toStdString();
    utente.tel_cell = ui->tel_cell->text().toStdString();
}

void SignupDialog::on_pushButtonSignup_clicked()
{
    if (!validaForm())
        return;
    ui->widgetButtons->setEnabled(false);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    QCoreApplication::processEvents();

    const QString failure = tr("Errore in fase di registrazione del nuovo account utente");
    QString error;
    bool registered = false;
    {
        std::lock_guard<std::mutex> lock(korvexWsSettingsMutex());
        Anagrafica::WsEndpoint = endpointOf(ui->endpoint->text()).toStdString();
    }
    Utente utente;
    form2utente(utente);
    try {
        registered = utente.registraUtente();
        if (!registered)
            error = failure;
    } catch (const Utente::UtenteException &e) {
        error = failure + QStringLiteral("\r\n") + QString::fromStdString(e.message);
    } catch (...) {
        error = failure;
    }

    QApplication::restoreOverrideCursor();
    ui->widgetButtons->setEnabled(true);

    if (registered) {
        hide();
        QMessageBox::information(
            this, tr("Registrazione Utente"),
            tr("<h3 style='color:#D16C6C'>Registrazione avvenuta con successo !</h3><p style='color:#00557F'>La "
               "richiesta di registrazione di un nuovo account è stata inviata con successo, <br>riceverai presto "
               "una email di conferma quando il tuo account sarà attivato.</p>"),
            QMessageBox::Ok, QMessageBox::NoButton);
        close();
        return;
    }
    QMessageBox::warning(this, tr("Registrazione Utente"), error, QMessageBox::Ok, QMessageBox::NoButton);
}

void SignupDialog::on_pushButtonEsci_clicked()
{
    close();
}
