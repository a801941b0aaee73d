#include "updateinstaller.h"

#include <QApplication>
#include <QFileInfo>
#include <QMessageBox>

#include "korvexglobals.h"
#include "ordineupload.h"
#include "session.h"
#include "updatepackage.h"
#include "updatesdownloader.h"
#include "waitingdialog.h"

namespace UpdateInstaller {

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("UpdateInstaller", text);
}

const char productName[] = "Korvex2";

QString failureText(const QString &reason)
{
    QString text = tr("<h3 style='color:#D16C6C'>Si è verificato un errore durante l'aggiornamento!</h3><span "
                      "style='color:#00557F'>Si prega di riprovare in un secondo momento e se l'errore dovesse "
                      "persistere una nuova installazione potrebbe risolvere il problema.</span>");
    if (!reason.isEmpty())
        text += QStringLiteral("<p>%1</p>").arg(reason.toHtmlEscaped());
    return text;
}

QString successText()
{
    return tr("<h3 style='color:#00557F'>Download dell'aggiornamento terminato con successo!</h3>");
}

QString restartNotice()
{
    return tr("<span style='color:#00557F'>Il programma verrà riavviato al fine di applicare le modifiche</span>");
}

// Stops the upload queue and waits for its end with the waiting box up, then starts the
// new program with these arguments and ends this one. When the new program does not start,
// this one goes on, and so does the queue if it was sending.
bool handOver(QWidget *parent, const QString &program, const QStringList &arguments, const QString &workingDir)
{
    OrdineUpload *queue = KorvexGlobals::ordineUpload;
    const bool wasSending = queue && queue->processingUploads();
    {
        WaitingDialog waiting(parent);
        waiting.setWindowModality(Qt::ApplicationModal);
        waiting.show();
        QCoreApplication::processEvents();
        Session::stopUploads();
    }
    UpdatePackage::Launcher *launcher = UpdatePackage::Launcher::instance();
    if (!launcher->startDetached(program, arguments, workingDir)) {
        if (wasSending && KorvexGlobals::utente)
            queue->restartUpload();
        QMessageBox::warning(parent, tr("Aggiornamento Applicazione"),
                             failureText(tr("Impossibile avviare il programma %1.").arg(program)), QMessageBox::Ok);
        return false;
    }
    launcher->quitProgram();
    return true;
}

} // namespace

Outcome offer(QWidget *parent, korvex2__IdComponenteType type, const AggiornamentoItem &item,
              const std::function<void()> &catalogueInstalled)
{
    const bool program = type == korvex2__IdComponenteType__InstallatoreProgramma
                         || type == korvex2__IdComponenteType__Programma;
    QMessageBox::StandardButton answer = QMessageBox::No;
    if (program) {
        answer = QMessageBox::information(
            parent, tr("Aggiornamento Applicazione"),
            tr("<h3 style='color:#D16C6C'>E' disponibile una nuova versione dell'applicazione</h3><p "
               "style='color:#00557F'>Procedere con il download e l'installazione di <b>%1 %2.%3.%4</b>?</p>")
                .arg(QString::fromLatin1(productName))
                .arg(item.major)
                .arg(item.minor)
                .arg(item.build),
            QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes);
    } else if (type == korvex2__IdComponenteType__DatiServizio) {
        answer = QMessageBox::information(
            parent, tr("Aggiornamento Dati"),
            tr("<h3 style='color:#D16C6C'>E' disponibile un nuovo aggiornamento dei dati del servizio.</h3><p "
               "style='color:#00557F'>Questo aggiornamento comprende la lista dei prodotti disponibili e il listino "
               "prezzi aggiornato.</p><p style='color:#00557F'>E' possibile tralasciare l'aggiornamento ma in questo "
               "caso i nuovi ordini potrebbero riferirsi a prodotti non più esistenti e i prezzi potrebbero non "
               "essere allineati.</p><p style='color:#00557F'>Procedere con il download e l'installazione "
               "dell'aggiornamento?</p>"),
            QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes);
    } else {
        return Outcome::Ignored;
    }
    if (answer != QMessageBox::Yes)
        return Outcome::Declined;

    QString downloaded;
    {
        auto *downloader = new UpdatesDownloader(QString::fromStdString(item.url), parent);
        const int result = downloader->exec();
        downloaded = downloader->downloadedFile();
        delete downloader;
        if (result != QDialog::Accepted || downloaded.isEmpty())
            return Outcome::NotInstalled;
    }
    const QString folder = QFileInfo(downloaded).absolutePath();
    QString error;

    if (type == korvex2__IdComponenteType__Programma) {
        QString name = QFileInfo(downloaded).fileName();
        name.chop(4);
        bool timedOut = false;
        const QString started = UpdatePackage::unpackProgram(downloaded, name, &error, &timedOut);
        if (started.isEmpty()) {
            // The program runs on; the new one is not started.
            QMessageBox::warning(parent, tr("Aggiornamento Apllicazione"), timedOut ? error : failureText(error),
                                 QMessageBox::Ok);
            return Outcome::NotInstalled;
        }
        QMessageBox::information(parent, tr("Download Terminato"), successText() + restartNotice(), QMessageBox::Ok);
        // The new program gets this one's arguments: it opens the same profile (the first).
        return handOver(parent, started, QCoreApplication::arguments().mid(1), QFileInfo(started).absolutePath())
                   ? Outcome::ProgramStarted
                   : Outcome::NotInstalled;
    }
    if (type == korvex2__IdComponenteType__InstallatoreProgramma) {
        if (!UpdatePackage::makeExecutable(downloaded, &error)) {
            QMessageBox::warning(parent, tr("Aggiornamento Applicazione"), failureText(error), QMessageBox::Ok);
            return Outcome::NotInstalled;
        }
        QMessageBox::information(parent, tr("Download Terminato"), successText() + restartNotice(), QMessageBox::Ok);
        // An installer, not the program: started as it was downloaded.
        return handOver(parent, downloaded, {}, folder) ? Outcome::ProgramStarted : Outcome::NotInstalled;
    }

    QApplication::setOverrideCursor(Qt::WaitCursor);
    const bool installed = UpdatePackage::installCatalogue(downloaded, &error);
    QApplication::restoreOverrideCursor();
    if (!installed) {
        QMessageBox::warning(parent, tr("Errore"), failureText(error), QMessageBox::Ok);
        return Outcome::NotInstalled;
    }
    if (catalogueInstalled)
        catalogueInstalled();
    QMessageBox::information(parent, tr("Download Terminato"), successText(), QMessageBox::Ok);
    return Outcome::CatalogueInstalled;
}

} // namespace UpdateInstaller
