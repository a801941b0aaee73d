#include "resetpassworddialog.h"

#include <QApplication>

#include <mutex>

#include "anagrafica.h"
#include "korvexglobals.h"
#include "ui_resetpassworddialog.h"
#include "utente.h"
#include "wssettingslock.h"

ResetPasswordDialog::ResetPasswordDialog(QWidget *parent)
    : QDialog(parent)
    , ui(std::make_unique<Ui::ResetPasswordDialog>())
{
    ui->setupUi(this);
    setStyleSheet(styleSheet() + KorvexGlobals::QToolButtonStyleSheet + KorvexGlobals::QToolButtonFocusStyleSheet);
    ui->labelInvioCodiceConferma->hide();
    ui->labelResetPasswordConferma->hide();
    ui->labelInvioCodiceErrore->hide();
    ui->labelResetPasswordErrore->hide();
}

ResetPasswordDialog::~ResetPasswordDialog() = default;

void ResetPasswordDialog::runStep(const Step &step,
                                  const std::function<bool(Utente &, const std::string &)> &call)
{
    if (step.field->text().isEmpty())
        return;
    setCursor(Qt::WaitCursor);
    step.field->setEnabled(false);
    step.button->setEnabled(false);
    step.error->hide();
    QCoreApplication::processEvents();

    QString error;
    {
        Utente utente;
        {
            std::lock_guard<std::mutex> lock(korvexWsSettingsMutex());
            Anagrafica::WsEndpoint = KorvexGlobals::WsEndpoint.toStdString();
        }
        try {
            if (!call(utente, step.field->text().toStdString()))
                error = tr("Si è verificato un errore, si prega di riprovare");
        } catch (const Utente::UtenteException &e) {
            error = QString::fromStdString(e.message);
        }
    }

    if (error.isEmpty()) {
        step.done->show();
        step.frame->hide();
    } else {
        step.error->setText(error);
        step.error->show();
    }
    step.field->setEnabled(true);
    step.field->setFocus();
    step.button->setEnabled(true);
    unsetCursor();
}

void ResetPasswordDialog::on_toolButtonRequestCode_clicked()
{
    runStep({ui->username, ui->toolButtonRequestCode, ui->frameInvioCodice, ui->labelInvioCodiceErrore,
             ui->labelInvioCodiceConferma},
            [](Utente &utente, const std::string &username) { return utente.richiestaResetPassword(username); });
}

void ResetPasswordDialog::on_toolButtonResetPassword_clicked()
{
    runStep({ui->codice, ui->toolButtonResetPassword, ui->frameResetPassword, ui->labelResetPasswordErrore,
             ui->labelResetPasswordConferma},
            [](Utente &utente, const std::string &codice) { return utente.resetPassword(codice); });
}

void ResetPasswordDialog::on_pushButtonEsci_clicked()
{
    close();
}
