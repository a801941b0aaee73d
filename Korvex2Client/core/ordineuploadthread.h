#pragma once

#include <atomic>
#include <future>
#include <memory>
#include <string>

#include <QFileInfo>
#include <QList>
#include <QMutex>
#include <QSet>
#include <QString>
#include <QThread>
#include <QThreadPool>
#include <QWaitCondition>

#include "ordinilocal.h"
#include "printimagerenderer.h"

class FtpCourier;
class Ordine;
class Utente;

// Sends one local order: the upload worker. The queue creates one worker for the order at
// its head, connects to its signals and starts its thread; a worker runs once.
//
// The worker object lives on the thread that made it (the GUI thread); run() and the row
// uploads execute on the worker's own thread, on what the constructor copied: the order, the
// service endpoint, the logged-in customer, the FTP buffer size, the JPEG quality, the colour
// profile, the orders folder and the catalogue file. Its signals reach the queue as queued
// calls, in the order emitted.
//
// What keeps the two threads apart: the worker's thread reads only what the constructor
// copied and what the worker owns (its FTP client, its rendering thread and what that
// renders, its catalogue connection); never a static of KorvexGlobals, which the GUI thread
// writes without a lock. Shared statics that a run must read are written only before the
// worker starts, or under the lock the run reads them with: the connection settings of the
// laboratory libraries under korvexWsSettingsMutex(), the order files under
// OrdineFile::orderFileMutex().
//
// Every run ends with exactly one of orderTerminated, errorOccurred, filesNotFound and
// uploadStopped, and no exception leaves it. An order whose file another program removed
// before the laboratory took it ends as skipped, with nothing more sent. requestStop() asks the run to end at its next
// safe point (between rows, between upload attempts; an FTP transfer in progress is
// aborted); a stop never falls between an answer of the laboratory and the order-file save
// that records it.
class OrdineUploadThread : public QThread
{
    Q_OBJECT

public:
    explicit OrdineUploadThread(OrdiniLocal::OrdineLocal &ordine, QObject *parent = nullptr);
    ~OrdineUploadThread() override;
    Q_DISABLE_COPY(OrdineUploadThread)

    // Bytes of all the order's files as the file system reports them now (0 for a missing file).
    qint64 calucaleTotalFilesSize();
    // True when every row's file exists; otherwise emits filesNotFound and returns false.
    bool checkFiles();

    // Any thread; returns at once.
    void requestStop();
    bool stopRequested() const;

    // The Uuid of the order this worker sends.
    QString uuid() const;
    // After orderTerminated: true when the order was sent by this run or had been sent
    // before; false when it was skipped.
    bool ordineInviato() const;
    // The order record is on its way to the laboratory, and the order file does not say yet
    // whether the laboratory took it: a process ended now would insert the order again at its
    // next start.
    bool recordingOrder() const;

signals:
    void errorOccurred(QString errmessage);
    void filesNotFound(QString orderUuid, QList<QFileInfo> files);
    void orderTerminated();
    // The run ended early because requestStop() asked it to.
    void uploadStopped();
    void fileTerminated(int current, int total);
    void fileProgress(qint64 byteTransferred, qint64 totalBytes);
    void globalFileProgress(qint64 byteTransferred, qint64 totalBytes);
    void currentProcessingFileChanged(QFileInfo file);

public slots:
    // Fed by the FTP client: the size of the file being uploaded, then the bytes sent so far.
    void onFtpFileProgress(qint64 fileSize, qint64 bytesTransferred);

protected:
    void run() override;

private:
    enum class RowKind { File, Stampa };
    enum class Outcome { None, Sent, Skipped, Error, FilesMissing, Stopped };

    // A rendering made on another thread: its file, or the failure to pass on.
    struct RenderResult
    {
        QString path;
        bool failed = false;
        std::string code;
        std::string message;
    };
    static RenderResult renderInto(const PrintImageRenderer::Job &job);
    // Hands a rendering to the rendering thread.
    std::future<RenderResult> queueRender(const PrintImageRenderer::Job &job);

    void runOrder();
    void uploadOrdineRigaFile(Ordine *ordine);
    void uploadOrdineRigaStampa(Ordine *ordine);
    void uploadRows(Ordine *ordine, RowKind kind);
    void uploadFileWithRetry(std::string localPath, std::string remoteName);
    void sendOrderRecord(Ordine *ordine);
    PrintImageRenderer::Job renderJob(const OrdiniLocal::OrdineRigaStampaLocal &riga,
                                      const OrdiniLocal::FormatoLocal &formato) const;
    // The rendering of print row `row`: the one queued ahead for it, or a new one. The next
    // print to send is queued behind it before it is waited for.
    QString renderStampa(int row, const OrdiniLocal::OrdineRigaStampaLocal &riga,
                         const OrdiniLocal::FormatoLocal &formato);
    void renderNextStampa(int after);
    void dropNextRender();

    void createFtpCourier();
    void dropFtpCourier();
    QList<QFileInfo> missingFiles() const;
    void throwIfStopRequested() const;
    // The order file must still be there while the order is not yet the laboratory's.
    void throwIfOrderFileRemoved() const;
    void pauseBeforeAttempt(int attempt);
    void saveProgress();
    void finish(Outcome outcome, const QString &message = QString(),
                const QList<QFileInfo> &files = QList<QFileInfo>());

    // The worker's own copy of the order and of the settings it works with.
    OrdiniLocal::OrdineLocal ordineLocal;
    const QString m_uuid;
    const std::string m_endpoint;
    const QString m_ordersFolder;
    const int m_ftpBufferSize;
    const int m_jpegQuality;
    const QString m_iccProfilePath;
    const QString m_catalogueFile;
    std::unique_ptr<Utente> m_utente; // null when nobody was logged in

    // From the FTP settings record.
    QString ftpUsername;
    QString ftpPassword;
    QString ftpHost;
    quint16 ftpPort = 0;
    QString ftpWorkingDir;
    bool ftpUploadFlag = true;

    // The FTP client of this run: made and replaced on the worker's thread, aborted from
    // any thread, both under m_ftpMutex.
    FtpCourier *ftpCourier = nullptr;
    QMutex m_ftpMutex;

    std::atomic<qint64> totalFilesSize{0};
    std::atomic<qint64> sentFilesSize{0};

    std::atomic<bool> m_stopRequested{false};
    mutable QMutex m_pauseMutex;
    QWaitCondition m_pauseCondition;

    // What this run changed in its copy of the order: the only fields its saves write.
    QSet<int> m_touchedFileRows;
    QSet<int> m_touchedStampaRows;
    bool m_orderRecorded = false;

    // The thread that renders the prints, one after another, and the print queued ahead (to be
    // rendered while the previous row goes over the network), with its row (-1: none). Each
    // rendering is waited for through a future of its own: a pool task that is waited for
    // before it has started would run on the waiting thread instead.
    QThreadPool m_renderPool;
    std::future<RenderResult> m_nextRender;
    int m_nextRenderRow = -1;

    std::atomic<bool> m_ordineInviato{false};
    std::atomic<bool> m_recordingOrder{false};
    Outcome m_outcome = Outcome::None;
};
