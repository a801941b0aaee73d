#include "updatesdownloader.h"

#include <QCoreApplication>
#include <QDir>
#include <QMessageBox>
#include <QNetworkAccessManager>
#include <QNetworkRequest>
#include <QSaveFile>
#include <QUrl>

#include <limits>

#include "ui_updatesdownloader.h"
#include "updatepackage.h"

UpdatesDownloader::UpdatesDownloader(const QString &url, QWidget *parent)
    : QDialog(parent)
    , ui(std::make_unique<Ui::UpdatesDownloader>())
    , manager(new QNetworkAccessManager(this))
    , url(url)
{
    ui->setupUi(this);
    setWindowFlags(Qt::Tool);
    downloadEnded = true;
    connect(this, &UpdatesDownloader::localError, this, &UpdatesDownloader::onLocalError);
    idle.setSingleShot(true);
    idle.setInterval(idleTimeoutSeconds() * 1000);
    connect(&idle, &QTimer::timeout, this, &UpdatesDownloader::onIdle);
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    QTimer::singleShot(200, this, &UpdatesDownloader::startDownload);
}

UpdatesDownloader::~UpdatesDownloader()
{
    // The reply goes before the manager that owns it.
    if (currentDownload) {
        currentDownload->disconnect(this);
        currentDownload->abort();
        delete currentDownload;
        currentDownload = nullptr;
    }
    discardFile();
}

int UpdatesDownloader::idleTimeoutSeconds()
{
    bool ok = false;
    const int seconds = qEnvironmentVariableIntValue("KORVEX2_DOWNLOAD_TIMEOUT", &ok);
    return ok && seconds > 0 ? seconds : 60;
}

QNetworkReply *UpdatesDownloader::CurrentDownload() const
{
    return currentDownload;
}

QString UpdatesDownloader::downloadedFile() const
{
    return finishedFile;
}

void UpdatesDownloader::fail(const QString &title, const QString &text)
{
    downloadEnded = true;
    abortTransfer();
    discardFile();
    QMessageBox::critical(this, title, text, QMessageBox::Ok);
    reject();
}

void UpdatesDownloader::startDownload()
{
    if (closed || !downloadEnded || currentDownload || !finishedFile.isEmpty())
        return;
    if (!isVisible()) {
        // Not shown yet: the request starts once exec() shows the dialog.
        QTimer::singleShot(200, this, &UpdatesDownloader::startDownload);
        return;
    }
    const QUrl address(url, QUrl::TolerantMode);
    const QString scheme = address.scheme().toLower();
    if (!address.isValid() || (scheme != QLatin1String("http") && scheme != QLatin1String("https"))) {
        fail(tr("Errore"), tr("Errore durante il download dell'aggiornamento") + QStringLiteral("\r\n")
                               + tr("L'indirizzo dell'aggiornamento non è valido: %1").arg(url));
        return;
    }
    const QString name = UpdatePackage::fileNameOf(url);
    folder = UpdatePackage::makePrivateFolder();
    const QString destination = folder + QLatin1Char('/') + name;
    if (!UpdatePackage::acceptableFileName(name) || folder.isEmpty()) {
        downloadEnded = true;
        emit localError(tr("Impossibile aprire il file locale '%1' per la scrittura").arg(destination));
        return;
    }
    file = std::make_unique<QSaveFile>(destination);
    if (!file->open(QIODevice::WriteOnly)) {
        downloadEnded = true;
        emit localError(tr("Impossibile aprire il file locale '%1' per la scrittura").arg(destination) +
                        QStringLiteral(": ") + file->errorString());
        return;
    }

    QNetworkRequest request(address);
    // Redirects stay on http(s) and never go from https to http.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    currentDownload = manager->get(request);
    downloadEnded = false;
    connect(currentDownload, &QNetworkReply::downloadProgress, this, &UpdatesDownloader::onDownloadProgress);
    connect(currentDownload, &QNetworkReply::errorOccurred, this, &UpdatesDownloader::onError);
    connect(currentDownload, &QNetworkReply::readyRead, this, &UpdatesDownloader::onReadyRead);
    connect(currentDownload, &QNetworkReply::finished, this, &UpdatesDownloader::onFinished);
    idle.start();
}

void UpdatesDownloader::onDownloadProgress(qint64 received, qint64 total)
{
    idle.start();
    if (total <= 0) {
        ui->progressBar->setRange(0, 0);
        return;
    }
    if (total <= std::numeric_limits<int>::max()) {
        ui->progressBar->setRange(0, static_cast<int>(total));
        ui->progressBar->setValue(static_cast<int>(qMin(received, total)));
        return;
    }
    // Past 2 GiB the bar counts per mille.
    ui->progressBar->setRange(0, 1000);
    ui->progressBar->setValue(static_cast<int>(qMin(received, total) * 1000 / total));
}

void UpdatesDownloader::onReadyRead()
{
    if (!currentDownload || !file || downloadEnded)
        return;
    idle.start();
    const QByteArray data = currentDownload->readAll();
    if (!data.isEmpty() && file->write(data) != data.size()) {
        const QString reason = file->errorString();
        emit localError(tr("Impossibile scrivere il file locale '%1': %2").arg(file->fileName(), reason));
    }
}

void UpdatesDownloader::onError(QNetworkReply::NetworkError code)
{
    if (downloadEnded || !currentDownload)
        return;
    const QString text = currentDownload->errorString();
    fail(tr("Errore %1").arg(static_cast<int>(code)), text);
}

void UpdatesDownloader::onLocalError(const QString &message)
{
    fail(tr("Errore"), tr("Errore durante il download dell'aggiornamento") + QStringLiteral("\r\n") + message);
}

void UpdatesDownloader::onIdle()
{
    if (downloadEnded || !currentDownload)
        return;
    fail(tr("Errore"), tr("Errore durante il download dell'aggiornamento") + QStringLiteral("\r\n")
                           + tr("Il server non ha inviato dati per %1 secondi.").arg(idleTimeoutSeconds()));
}

void UpdatesDownloader::onFinished()
{
    idle.stop();
    if (downloadEnded || !currentDownload) {
        releaseReply();
        return;
    }
    onReadyRead();
    if (downloadEnded)
        return;
    const int status = currentDownload->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    const QString finalScheme = currentDownload->url().scheme().toLower();
    if (currentDownload->error() != QNetworkReply::NoError) {
        onError(currentDownload->error());
        return;
    }
    if (status < 200 || status > 299 || (finalScheme != QLatin1String("http") && finalScheme != QLatin1String("https"))) {
        const QString reason = currentDownload->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString();
        fail(tr("Errore %1").arg(status), tr("Il server ha risposto %1 %2").arg(status).arg(reason));
        return;
    }
    if (!file->commit()) {
        const QString reason = file->errorString();
        file.reset();
        emit localError(tr("Impossibile scrivere il file locale '%1': %2").arg(folder, reason));
        return;
    }
    finishedFile = file->fileName();
    file.reset();
    releaseReply();
    ui->progressBar->setRange(0, 100);
    ui->progressBar->setValue(100);
    downloadEnded = true;
    emit downloadFinished();
    accept();
}

void UpdatesDownloader::abortTransfer()
{
    idle.stop();
    if (!currentDownload)
        return;
    QNetworkReply *reply = currentDownload;
    if (reply->error() != QNetworkReply::NoError || reply->isFinished())
        return; // ended already
    disconnect(reply, &QNetworkReply::errorOccurred, this, &UpdatesDownloader::onError);
    reply->abort();
    // The abort's finished() may have released the reply already.
    if (currentDownload == reply)
        connect(reply, &QNetworkReply::errorOccurred, this, &UpdatesDownloader::onError);
}

void UpdatesDownloader::releaseReply()
{
    if (!currentDownload)
        return;
    currentDownload->disconnect(this);
    currentDownload->deleteLater();
    currentDownload = nullptr;
}

void UpdatesDownloader::discardFile()
{
    if (file) {
        file->cancelWriting();
        file.reset();
    }
    if (!folder.isEmpty() && finishedFile.isEmpty()) {
        QDir(folder).removeRecursively();
        folder.clear();
    }
}

void UpdatesDownloader::done(int result)
{
    if (!downloadEnded && result == QDialog::Rejected) {
        const auto answer =
            QMessageBox::question(this, tr("Chiudi"), tr("Sicuro di voler interrompere il download dell'aggiornamento?"),
                                  QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
        if (answer != QMessageBox::Yes)
            return;
        // The transfer ended while the question was shown: its own end closed the dialog.
        if (downloadEnded)
            return;
        downloadEnded = true;
        closed = true;
        abortTransfer();
        releaseReply();
        discardFile();
        QDialog::done(QDialog::Rejected);
        return;
    }
    closed = true;
    if (result == QDialog::Rejected) {
        releaseReply();
        discardFile();
    }
    QDialog::done(result);
}
