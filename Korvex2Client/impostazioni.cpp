#include "impostazioni.h"

#include <QApplication>
#include <QListWidgetItem>
#include <QMessageBox>
#include <QDebug>
#include <QMovie>
#include <QPointer>
#include <QThread>

#include <memory>
#include <mutex>

#include "anagrafica.h"
#include "korvex2exception.h"
#include "korvexglobals.h"
#include "resetpassworddialog.h"
#include "ui_impostazioni.h"
#include "updateinstaller.h"
#include "updateswatcher.h"
#include "utente.h"
#include "wssettingslock.h"

namespace {

const char productName[] = "Korvex2";

QString text(const std::string &utf8)
{
    return QString::fromUtf8(utf8.c_str());
}

std::string utf8(const QString &value)
{
    return value.toUtf8().toStdString();
}

} // namespace

Impostazioni::Impostazioni(QWidget *parent)
    : QDialog(parent)
    , ui(new Ui::Impostazioni)
{
    ui->setupUi(this);
    ui->listWidget->setAttribute(Qt::WA_MacShowFocusRect, false);

    updateFound = false;
    loaderMovie = new QMovie(static_cast<QObject *>(nullptr));
    loaderMovie->setFileName(QStringLiteral(":/Resource/ajax-loader2.gif"));
    ui->labelLoader->setMovie(loaderMovie);
    loaderMovie->start();
    updatesWatcher = nullptr;
    updatesThread = nullptr;

    ui->widgetCheckUpdatesInProgress->hide();
    ui->listWidget->setCurrentRow(0);

    if (KorvexGlobals::WsEndpoint.isEmpty())
        ui->toolButtonCheckUpdates->setEnabled(false);

    if (KorvexGlobals::JpegCompressionQuality >= 0) {
        ui->sliderJpegCompression->setValue(KorvexGlobals::JpegCompressionQuality);
        ui->labelJpegCompression->setText(QStringLiteral("%1").arg(KorvexGlobals::JpegCompressionQuality));
    }

    if (KorvexGlobals::utente) {
        utente2form(KorvexGlobals::utente);
    } else {
        ui->listWidget->item(1)->setFlags(Qt::NoItemFlags);
        ui->listWidget->item(2)->setFlags(Qt::NoItemFlags);
    }
}

Impostazioni::~Impostazioni()
{
    delete ui;
    releaseUpdatesCheck();
    delete loaderMovie;
}

// ---------------------------------------------------------------------------------------
// General options

void Impostazioni::on_listWidget_currentItemChanged(QListWidgetItem *current, QListWidgetItem *previous)
{
    QListWidgetItem *item = current ? current : previous;
    if (!item)
        return;
    const int row = ui->listWidget->row(item);
    ui->stackedWidget->setCurrentIndex(row);
    if (row == 0)
        updateGeneralSettings();
}

void Impostazioni::updateGeneralSettings()
{
    KorvexGlobals settings(nullptr);
    try {
        settings.loadSettings();
    } catch (const Korvex2Exception &e) {
        QMessageBox::warning(this, tr("Errore"),
                             tr("Impossibile caricare le impostazioni:\r\n%1").arg(text(e.message)),
                             QMessageBox::Ok);
    }
    ui->UploadAutostart->setChecked(KorvexGlobals::UploadsAutoStart);
    ui->CheckUpdatesAtStartup->setChecked(KorvexGlobals::CheckUpdatesAtStartup);
}

void Impostazioni::on_pushButtonSave_clicked()
{
    setCursor(Qt::WaitCursor);
    QCoreApplication::processEvents();
    KorvexGlobals settings(nullptr);
    KorvexGlobals::JpegCompressionQuality = ui->sliderJpegCompression->value();
    KorvexGlobals::UploadsAutoStart = ui->UploadAutostart->isChecked();
    KorvexGlobals::CheckUpdatesAtStartup = ui->CheckUpdatesAtStartup->isChecked();
    settings.saveSettings();
    try {
        const bool saved = saveUtente();
        unsetCursor();
        if (saved)
            close();
    } catch (const Utente::UtenteException &e) {
        unsetCursor();
        QMessageBox::warning(this, tr("Errore"),
                             tr("Impossibile modificare le informazioni utente a causa di un errore \r\n%1")
                                 .arg(text(e.message)),
                             QMessageBox::Ok);
    }
}

void Impostazioni::on_sliderJpegCompression_valueChanged(int value)
{
    ui->labelJpegCompression->setText(QStringLiteral("%1").arg(value));
}

void Impostazioni::on_toolButtonUndoJpegQuality_clicked()
{
    ui->sliderJpegCompression->setValue(KorvexGlobals::JpegCompressionQuality);
}

void Impostazioni::on_pushButtonClose_clicked()
{
    close();
}

// ---------------------------------------------------------------------------------------
// Account and notifications

namespace {

// The check boxes of the notifications page and their bits, in the order the mask is
// rebuilt.
struct NotificationBox
{
    QCheckBox *Ui::Impostazioni::*box;
    Anagrafica::Notifica bit;
};

const NotificationBox notificationBoxes[] = {
    {&Ui::Impostazioni::cbNotificheOrdineAnnullato, Anagrafica::NotificaOrdineAnnullato},
    {&Ui::Impostazioni::cbNotificheOrdineEvaso, Anagrafica::NotificaOrdineEvaso},
    {&Ui::Impostazioni::cbNotificheOrdineInLavorazione, Anagrafica::NotificaOrdineInLavorazione},
    {&Ui::Impostazioni::cbNotificheOrdineRiepilogo, Anagrafica::NotificaOrdineRiepilogo},
};

// The editable fields of the account page and the customer's fields they show.
struct AccountField
{
    QLineEdit *Ui::Impostazioni::*edit;
    std::string Utente::*field;
};

const AccountField editableFields[] = {
    {&Ui::Impostazioni::ragione_sociale, &Utente::ragione_sociale},
    {&Ui::Impostazioni::nome, &Utente::nome},
    {&Ui::Impostazioni::cognome, &Utente::cognome},
    {&Ui::Impostazioni::indirizzo, &Utente::indirizzo},
    {&Ui::Impostazioni::cap, &Utente::cap},
    {&Ui::Impostazioni::citta, &Utente::citta},
    {&Ui::Impostazioni::provincia, &Utente::provincia},
    {&Ui::Impostazioni::codice_fiscale, &Utente::cf},
    {&Ui::Impostazioni::partita_iva, &Utente::piva},
    {&Ui::Impostazioni::fax, &Utente::fax},
    {&Ui::Impostazioni::tel_fisso, &Utente::tel_fisso},
    {&Ui::Impostazioni::tel_cell, &Utente::tel_cell},
};

} // namespace

void Impostazioni::utente2form(Utente *utente)
{
    ui->username->setText(text(utente->username));
    ui->email->setText(text(utente->email));
    for (const AccountField &f : editableFields)
        (ui->*f.edit)->setText(text(utente->*f.field));
    for (const NotificationBox &n : notificationBoxes)
        (ui->*n.box)->setChecked(utente->controllaNotifica(n.bit));
}

void Impostazioni::form2utente(Utente *utente)
{
    for (const AccountField &f : editableFields)
        utente->*f.field = utf8((ui->*f.edit)->text());
    QList<Anagrafica::Notifica> checked;
    for (const NotificationBox &n : notificationBoxes) {
        if ((ui->*n.box)->isChecked())
            checked.append(n.bit);
    }
    utente->notifiche = 0;
    for (Anagrafica::Notifica bit : qAsConst(checked))
        utente->abilitaNotifica(bit);
}

bool Impostazioni::validateUtenteData()
{
    const struct
    {
        QLineEdit *field;
        const char *message;
    } required[] = {
        {ui->username, QT_TR_NOOP("Il campo <b>Username</b> è obbligatorio")},
        {ui->ragione_sociale, QT_TR_NOOP("Il campo <b>Rag. Sociale</b> è obbligatorio")},
        {ui->email, QT_TR_NOOP("Il campo <b>Email</b> è obbligatorio")},
    };
    for (const auto &r : required) {
        if (!r.field->text().isEmpty())
            continue;
        QMessageBox::warning(this, tr("Errore"), tr(r.message), QMessageBox::Ok);
        ui->listWidget->setCurrentRow(1);
        r.field->setFocus(Qt::OtherFocusReason);
        return false;
    }
    return true;
}

bool Impostazioni::saveUtente()
{
    Utente *logged = KorvexGlobals::utente;
    if (!logged)
        return false;
    if (!validateUtenteData())
        return false;
    auto copy = std::make_unique<Utente>();
    *copy = *logged;
    form2utente(copy.get());
    {
        std::lock_guard<std::mutex> lock(korvexWsSettingsMutex());
        Anagrafica::WsEndpoint = utf8(KorvexGlobals::WsEndpoint);
        Anagrafica::WsOperatorAuth = false;
        Anagrafica::WsUsername = logged->username;
        Anagrafica::WsPassword = logged->password;
    }
    bool saved = false;
    try {
        saved = copy->modifica();
    } catch (const Utente::UtenteException &e) {
        throw Utente::UtenteException(e.code, e.message);
    } catch (const Korvex2Exception &e) {
        throw Utente::UtenteException(e.code, e.message);
    }
    if (!saved) {
        unsetCursor();
        QMessageBox::warning(this, tr("Errore"),
                             tr("Il servizio non ha accettato le modifiche alle informazioni utente: i dati non "
                                "sono stati salvati."),
                             QMessageBox::Ok);
        return false;
    }
    *logged = *copy;
    return true;
}

void Impostazioni::on_tbRecuperaPassword_clicked()
{
    auto *dialog = new ResetPasswordDialog(this);
    dialog->exec();
    delete dialog;
}

// ---------------------------------------------------------------------------------------
// Update check

void Impostazioni::on_toolButtonCheckUpdates_clicked()
{
    ui->widgetCheckUpdatesInProgress->show();
    ui->toolButtonCheckUpdates->hide();
    checkForUpdates();
}

void Impostazioni::releaseUpdatesCheck()
{
    ::releaseUpdatesCheck(updatesThread, updatesWatcher);
    updatesThread = nullptr;
    updatesWatcher = nullptr;
}

void Impostazioni::checkForUpdates()
{
    releaseUpdatesCheck();
    updatesThread = new QThread(nullptr);
    updatesWatcher = new UpdatesWatcher(nullptr);
    updatesWatcher->moveToThread(updatesThread);

    connect(updatesThread, &QThread::started, updatesWatcher, &UpdatesWatcher::checkForUpdates);
    connect(updatesWatcher, &UpdatesWatcher::newUpdateAvailable, this, &Impostazioni::onNewUpdatesAvailable);
    connect(updatesWatcher, &UpdatesWatcher::requestTerminated, this, &Impostazioni::onNewUpdatesRequestTerminated);
    connect(updatesWatcher, &UpdatesWatcher::errorOccurred, this, &Impostazioni::onUpdatesErrorOccurred);

    updateFound = false;
    pendingQueries = 2;
    ui->labelLoader->setMovie(loaderMovie);
    ui->labelCheckUpdatesInProgress->setText(tr("Controllo aggiornamenti"));
    ui->widgetCheckUpdatesInProgress->setToolTip(QString());
    updatesThread->start(QThread::InheritPriority);
}

bool Impostazioni::lastQueryAnswered()
{
    if (pendingQueries > 0)
        --pendingQueries;
    return pendingQueries == 0;
}

void Impostazioni::onNewUpdatesRequestTerminated()
{
    if (sender() && sender() != updatesWatcher)
        return;
    if (sender())
        lastQueryAnswered();
    if (!updateFound) {
        ui->labelLoader->setMovie(nullptr);
        ui->labelLoader->setPixmap(QPixmap(QStringLiteral(":/Resource/OK_disabled.gif")));
        ui->labelCheckUpdatesInProgress->setText(tr("%1 è aggiornato").arg(QString::fromLatin1(productName)));
    } else {
        ui->toolButtonCheckUpdates->show();
        ui->widgetCheckUpdatesInProgress->hide();
    }
}

void Impostazioni::onUpdatesErrorOccurred(const QString &code, const QString &message)
{
    if (sender() != updatesWatcher)
        return;
    qDebug() << "Impostazioni::onUpdatesErrorOccurred" << code << message;
    if (!lastQueryAnswered())
        return;
    // A program query that failed is followed by a data query that answered: only the
    // failure of the check's last query is shown.
    ui->labelLoader->setMovie(nullptr);
    ui->labelLoader->setPixmap(QPixmap(QStringLiteral(":/Resource/removeAllFile.gif")));
    ui->labelCheckUpdatesInProgress->setText(tr("Impossibile verificare gli aggiornamenti"));
    ui->widgetCheckUpdatesInProgress->setToolTip(message);
    ui->toolButtonCheckUpdates->show();
}

void Impostazioni::onNewUpdatesAvailable(korvex2__IdComponenteType type)
{
    if (sender() != updatesWatcher || !updatesWatcher)
        return;
    pendingQueries = 0;
    updateFound = true;
    onNewUpdatesRequestTerminated();

    const AggiornamentoItem item = updatesWatcher->item;
    QPointer<Impostazioni> self(this);
    const UpdateInstaller::Outcome outcome =
        UpdateInstaller::offer(this, type, item, [self] {
            if (self)
                emit self->catalogueUpdated();
        });
    if (!self)
        return;
    const bool program = type == korvex2__IdComponenteType__InstallatoreProgramma
                         || type == korvex2__IdComponenteType__Programma;
    if (outcome == UpdateInstaller::Outcome::Declined && program && updatesWatcher) {
        // The data check runs on the check's thread, whose loop is still running.
        ui->toolButtonCheckUpdates->hide();
        ui->widgetCheckUpdatesInProgress->show();
        ui->labelLoader->setMovie(loaderMovie);
        ui->labelCheckUpdatesInProgress->setText(tr("Controllo aggiornamenti"));
        updateFound = false;
        pendingQueries = 1;
        QMetaObject::invokeMethod(updatesWatcher, &UpdatesWatcher::checkForServiceDataUpdates, Qt::QueuedConnection);
    }
}
