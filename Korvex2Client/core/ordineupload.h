#pragma once

#include <QFileInfo>
#include <QList>
#include <QMap>
#include <QObject>
#include <QSet>
#include <QString>

#include "ordinilocal.h"

class OrdineUploadThread;
class QTimer;

// The program's one upload queue: the active local orders of the logged-in customer, in
// sending order, sent one after another by an upload worker (OrdineUploadThread).
//
// The queue, its list and its timer belong to the GUI thread, and no operation of the queue
// waits for a worker. Stopping the queue asks the worker to stop; the queue counts as stopped
// once the worker's thread has ended (stopProcessingQueue), and a start asked for meanwhile
// takes effect then. The order being sent is tracked by its Uuid.
class OrdineUpload : public QObject
{
    Q_OBJECT

public:
    explicit OrdineUpload(QObject *parent = nullptr);
    ~OrdineUpload() override;

    // Reads the queue from the orders folder. An order's file is the one named after its Uuid:
    // a file of an order found under another name takes that name, unless the order has its
    // file already or this queue sent it, when the file is a copy, left as it is and not queued.
    void loadQueue();
    bool append(OrdiniLocal::OrdineLocal ordine);
    // A run asked for by the customer or by the program (login, automatic start, "Start", a
    // window's send): reloads the queue and starts sending when idle. A new run forgets what
    // earlier runs skipped and sent.
    void startUpload();
    // Goes on with the run that a stop interrupted (an edit or an update stopped the order
    // being sent): as startUpload, keeping what this run skipped and sent.
    void restartUpload();
    void terminateUpload();
    void clearUploads();
    bool removeItem(QString Uuid, bool deleteFile);
    QList<OrdiniLocal::OrdineLocal> items() const;
    int index(QString Uuid) const;
    int index(OrdiniLocal::OrdineLocal &ordine) const;
    OrdiniLocal::OrdineLocal ordineAtIndex(int i) const;
    int queueSize() const;
    bool processingUploads() const;
    // The Uuid of the order a worker is sending now (empty when none), and whether it is uuid.
    QString currentUuid() const;
    bool isSending(const QString &uuid) const;
    // A stop was asked for and the worker's thread has not ended yet (processingUploads()
    // stays true until then).
    bool isStopping() const;
    // The worker waits for the laboratory's answer to an order record (see
    // OrdineUploadThread::recordingOrder).
    bool isRecordingOrder() const;
    // An order went to the laboratory in this run (since startUpload last began one).
    bool orderSentThisRun() const;
    // Since the queue was made, a worker of it sent the order or found it sent before.
    bool wasSent(const QString &uuid) const;
    int currentProcessingFileQueueSize() const;
    int aggiornaPrioritaCodaDownload();

    static bool sortOrdineLocalByCreationTime(OrdiniLocal::OrdineLocal a, OrdiniLocal::OrdineLocal b);
    static bool sortOrdineLocalByPriority(OrdiniLocal::OrdineLocal a, OrdiniLocal::OrdineLocal b);

signals:
    void fileTerminated(int current, int total);
    void orderTerminated(int total);
    void errorOccurred(QString errmessage);
    void filesNotFound(QString orderUuid, QList<QFileInfo> files);
    void startProcessingQueue();
    void stopProcessingQueue();
    void finishedProcessingQueue();
    void queueChanged(int queueSize);
    void CurrentOrderGlobalFileProgress(qint64 byteTransferred, qint64 totalBytes);
    void CurrentOrderCurrentFileProgress(qint64 byteTransferred, qint64 totalBytes);
    void currentProcessingFileChanged(QFileInfo file);
    // Order files that a reload could not read, or could not give their order's name (none, or
    // a failed rename), by path, with the reason; they stay in the folder and are never sent.
    void unreadableOrderFiles(QMap<QString, QString> reasons);
    // The order was sent but its order file could not be removed: it is kept out of the rest
    // of the run, and the worker skips it as sent whenever it meets it again.
    void orderFileNotRemoved(QString uuid, QString filePath, QString reason);

public slots:
    void onFileTerminated(int current, int total);
    void onOrderTerminated();
    void onErrorOccurred(QString errmessage);
    void onFilesNotFound(QString orderUuid, QList<QFileInfo> files);
    void onCurrentOrderFileProgress(qint64 byteTransferred, qint64 totalBytes);
    void onCurrentOrderGlobalFileProgress(qint64 byteTransferred, qint64 totalBytes);
    void emitProgress();
    void onCurrentProcessingFileChanged(QFileInfo file);
    // The worker's thread has ended.
    void stopUpload();

protected:
    // Removes the order's file from the orders folder. False, with the reason, when the file
    // is still there afterwards. Virtual so that a test can make it fail: tests run as root,
    // who may remove any file.
    virtual bool deleteOrderFile(const OrdiniLocal::OrdineLocal &ordine, QString *error = nullptr);

private:
    // What happens once the worker's thread has ended.
    enum class AfterWorker { Nothing, StartNext, Finished };

    void startNext();
    void resetProgress();
    void keepCurrentOrderAtHead();

    QList<OrdiniLocal::OrdineLocal> queue;
    bool running = false;
    OrdineUploadThread *worker = nullptr;
    qint64 orderBytesSent = 0;
    qint64 fileBytesSent = 0;
    qint64 orderBytesTotal = 0;
    qint64 fileBytesTotal = 0;
    QTimer *progressTimer = nullptr;

    // Uuid and copy of the order the worker sends (empty when none).
    QString m_currentUuid;
    OrdiniLocal::OrdineLocal m_current;
    bool m_stopping = false;         // the worker was asked to stop
    bool m_startPending = false;     // a start asked for while the worker ends
    bool m_newRunPending = false;    // the next start begins a new run
    AfterWorker m_afterWorker = AfterWorker::Nothing;
    QList<OrdiniLocal::OrdineLocal> m_deleteAfterWorker; // files removed once the worker ended
    // In this run: orders skipped by a worker, or sent with an order file
    // that could not be removed; a reload leaves them out.
    QSet<QString> m_skippedThisRun;
    bool m_sentThisRun = false;
    QSet<QString> m_sentUuids; // reported sent since the queue was made
};
