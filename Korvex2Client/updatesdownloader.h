#pragma once

#include <QDialog>
#include <QNetworkReply>
#include <QString>
#include <QTimer>

#include <memory>

class QNetworkAccessManager;
class QSaveFile;

namespace Ui {
class UpdatesDownloader;
}

// Fetches one update file over HTTP(S) into a new private folder under the temporary
// location while it shows the progress. exec() gives Accepted once the whole file is
// written (downloadedFile() then names it), Rejected when the download failed (the dialog
// has told the user) or the user stopped it.
class UpdatesDownloader final : public QDialog
{
    Q_OBJECT

public:
    UpdatesDownloader(const QString &url, QWidget *parent = nullptr);
    ~UpdatesDownloader() override;

    QNetworkReply *CurrentDownload() const;
    // The downloaded file after an accepted download; empty otherwise.
    QString downloadedFile() const;

    // Seconds without data after which a transfer ends in an error (60; the environment
    // variable KORVEX2_DOWNLOAD_TIMEOUT shortens it for the tests).
    static int idleTimeoutSeconds();

public slots:
    void done(int result) override;

signals:
    void localError(const QString &message);
    void downloadFinished();

private slots:
    void startDownload();
    void onDownloadProgress(qint64 received, qint64 total);
    void onError(QNetworkReply::NetworkError code);
    void onLocalError(const QString &message);
    void onReadyRead();
    void onFinished();
    void onIdle();

private:
    void abortTransfer();
    void releaseReply();
    void discardFile();
    void fail(const QString &title, const QString &text);

    std::unique_ptr<Ui::UpdatesDownloader> ui;
    QNetworkAccessManager *manager;
    QNetworkReply *currentDownload = nullptr;
    QString url;
    bool downloadEnded = true;
    bool closed = false; // the dialog has ended: no request starts any more
    std::unique_ptr<QSaveFile> file;
    QString folder;
    QString finishedFile;
    QTimer idle;
};
