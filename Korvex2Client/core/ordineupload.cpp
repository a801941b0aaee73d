#include "ordineupload.h"

#include <algorithm>

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QMutexLocker>
#include <QTimer>

#include "korvexglobals.h"
#include "ordinefile.h"
#include "ordineuploadthread.h"
#include "utente.h"

namespace {

// Gives the order file at path, named otherwise, the name of its order's file: true once it has
// it. False, with no reason, for a copy of an order that has its file, or that the queue sent
// or is sending (copyOfSent): the file is left as it is, since sending it would send the order
// again. False, with the reason, for a file that cannot take the name; it stays where it is.
bool placeUnderItsUuid(const QString &path, const QString &uuid, bool copyOfSent, QString *reason)
{
    reason->clear();
    const QString name = QFileInfo(path).fileName();
    const QFileInfo target(OrdineFile::path(QFileInfo(path).absolutePath(), uuid));
    if (target.fileName() != uuid + QStringLiteral(".kv2")) {
        // That name would lead out of the orders folder.
        *reason = QStringLiteral("l'identificativo dell'ordine non è un nome di file valido");
        return false;
    }
    QMutexLocker lock(&OrdineFile::orderFileMutex());
    if (copyOfSent || target.exists() || target.isSymLink()) {
        qWarning().noquote() << QStringLiteral("%1: copia dell'ordine %2, non inviata").arg(name, uuid);
        return false;
    }
    QFile file(path);
    if (!file.rename(target.filePath())) {
        *reason = QStringLiteral("impossibile rinominarlo in %1: %2").arg(target.fileName(), file.errorString());
        return false;
    }
    qDebug().noquote() << QStringLiteral("%1: rinominato in %2").arg(name, target.fileName());
    return true;
}

} // namespace

OrdineUpload::OrdineUpload(QObject *parent)
    : QObject(parent),
      progressTimer(new QTimer(this))
{
    connect(progressTimer, &QTimer::timeout, this, &OrdineUpload::emitProgress);
    progressTimer->setInterval(1000);
    qRegisterMetaType<QMap<QString, QString>>();
}

OrdineUpload::~OrdineUpload()
{
    progressTimer->stop();
    if (worker) {
        disconnect(worker, nullptr, this, nullptr);
        worker->requestStop();
        // At the end of the program a worker gets a short while to reach a safe point; one
        // still in a service call then is left to the process's end, never freed running.
        if (worker->wait(2000))
            delete worker;
        worker = nullptr;
    }
    emit stopProcessingQueue();
    qDebug().noquote() << QStringLiteral("Upload file terminato");
}

bool OrdineUpload::sortOrdineLocalByCreationTime(OrdiniLocal::OrdineLocal a, OrdiniLocal::OrdineLocal b)
{
    return a.Data < b.Data;
}

bool OrdineUpload::sortOrdineLocalByPriority(OrdiniLocal::OrdineLocal a, OrdiniLocal::OrdineLocal b)
{
    if (a.Priorita < 0)
        return b.Priorita >= 0;
    return b.Priorita >= 0 && a.Priorita < b.Priorita;
}

void OrdineUpload::loadQueue()
{
    queue.clear();
    const QDir folder(KorvexGlobals::ordersQueuePath());
    if (folder.exists() && KorvexGlobals::utente) {
        const int userId = KorvexGlobals::utente->Getid();
        const QStringList names = folder.entryList(QDir::Files | QDir::Hidden | QDir::NoSymLinks,
                                                   QDir::Name | QDir::IgnoreCase);
        OrdiniLocal store;
        QMap<QString, QString> unreadable;
        for (const QString &name : names) {
            if (!name.endsWith(QStringLiteral(".kv2")))
                continue;
            OrdiniLocal::OrdineLocal ordine;
            QString error;
            const QString path = folder.absoluteFilePath(name);
            if (!OrdineFile::read(path, store, ordine, &error)) {
                // A damaged order is never sent; its file stays where it is. (No error: the
                // file went after the listing.)
                if (!error.isEmpty()) {
                    qWarning().noquote() << QStringLiteral("%1: %2").arg(name, error);
                    unreadable.insert(path, error);
                }
                continue;
            }
            if (!ordine.Attivo || (ordine.Utente != 0 && ordine.Utente != userId))
                continue;
            if (ordine.Uuid.isEmpty()) {
                const QString reason = QStringLiteral("l'ordine non ha un identificativo");
                qWarning().noquote() << QStringLiteral("%1: %2").arg(name, reason);
                unreadable.insert(path, reason);
                continue;
            }
            if (m_skippedThisRun.contains(ordine.Uuid))
                continue;
            // Removed while its worker ends: the file goes once the worker has ended.
            const auto removed = std::find_if(m_deleteAfterWorker.cbegin(), m_deleteAfterWorker.cend(),
                                              [&](const OrdiniLocal::OrdineLocal &o) { return o.Uuid == ordine.Uuid; });
            if (removed != m_deleteAfterWorker.cend())
                continue;
            // The order's file is the one named after its Uuid, which is how the worker, the
            // windows and the removal find it: a file under another name takes that name.
            if (name != ordine.Uuid + QStringLiteral(".kv2")) {
                const bool copyOfSent = m_sentUuids.contains(ordine.Uuid) || isSending(ordine.Uuid);
                if (!placeUnderItsUuid(path, ordine.Uuid, copyOfSent, &error)) {
                    if (!error.isEmpty()) {
                        qWarning().noquote() << QStringLiteral("%1: %2").arg(name, error);
                        unreadable.insert(path, error);
                    }
                    continue;
                }
            }
            // A file renamed in place after the listing is met twice.
            if (index(ordine.Uuid) >= 0)
                continue;
            queue.append(ordine);
        }
        std::stable_sort(queue.begin(), queue.end(),
                         [](const OrdiniLocal::OrdineLocal &a, const OrdiniLocal::OrdineLocal &b) {
                             if (sortOrdineLocalByPriority(a, b))
                                 return true;
                             if (sortOrdineLocalByPriority(b, a))
                                 return false;
                             return sortOrdineLocalByCreationTime(a, b);
                         });
        if (!unreadable.isEmpty())
            emit unreadableOrderFiles(unreadable);
    }
    keepCurrentOrderAtHead();
}

void OrdineUpload::keepCurrentOrderAtHead()
{
    // While a worker sends an order, that order is entry 0, whatever a reload found.
    if (!worker || m_stopping || m_currentUuid.isEmpty())
        return;
    const int at = index(m_currentUuid);
    if (at > 0)
        queue.move(at, 0);
    else if (at < 0)
        queue.prepend(m_current);
}

bool OrdineUpload::append(OrdiniLocal::OrdineLocal ordine)
{
    if (!ordine.Attivo)
        return false;
    const int at = index(ordine.Uuid);
    if (at < 0) {
        queue.append(ordine);
    } else if (worker && !m_stopping && ordine.Uuid == m_currentUuid) {
        // The order being sent has changed: its worker stops, and the run goes on from the
        // order files once it has.
        terminateUpload();
        queue[at] = ordine;
        restartUpload();
    } else {
        queue[at] = ordine;
    }
    emit queueChanged(queue.size());
    return true;
}

void OrdineUpload::startUpload()
{
    // A new run, unless one is going on; one asked for while the worker ends begins once it
    // has ended.
    if (!worker || m_stopping)
        m_newRunPending = true;
    startNext();
}

void OrdineUpload::restartUpload()
{
    startNext();
}

void OrdineUpload::startNext()
{
    if (!worker && m_newRunPending) {
        // What earlier runs skipped or sent is forgotten.
        m_newRunPending = false;
        m_skippedThisRun.clear();
        m_sentThisRun = false;
    }
    loadQueue();
    if (worker) {
        if (m_stopping)
            m_startPending = true;
        return;
    }
    if (queue.isEmpty())
        return;

    progressTimer->start();
    running = true;
    m_current = queue.first();
    m_currentUuid = m_current.Uuid;
    worker = new OrdineUploadThread(m_current);
    connect(worker, &OrdineUploadThread::filesNotFound, this, &OrdineUpload::onFilesNotFound);
    connect(worker, &OrdineUploadThread::errorOccurred, this, &OrdineUpload::onErrorOccurred);
    connect(worker, &OrdineUploadThread::fileTerminated, this, &OrdineUpload::onFileTerminated);
    connect(worker, &OrdineUploadThread::orderTerminated, this, &OrdineUpload::onOrderTerminated);
    connect(worker, &QThread::finished, this, &OrdineUpload::stopUpload);
    connect(worker, &OrdineUploadThread::fileProgress, this, &OrdineUpload::onCurrentOrderFileProgress);
    connect(worker, &OrdineUploadThread::globalFileProgress, this,
            &OrdineUpload::onCurrentOrderGlobalFileProgress);
    connect(worker, &OrdineUploadThread::currentProcessingFileChanged, this,
            &OrdineUpload::onCurrentProcessingFileChanged);
    worker->start();
    emit startProcessingQueue();
    qDebug().noquote() << QStringLiteral("Upload file iniziato");
}

void OrdineUpload::resetProgress()
{
    orderBytesSent = 0;
    fileBytesSent = 0;
    orderBytesTotal = 0;
    fileBytesTotal = 0;
}

void OrdineUpload::stopUpload()
{
    if (!worker)
        return;
    if (sender() ? sender() != worker : !worker->isFinished())
        return;
    OrdineUploadThread *ended = worker;
    disconnect(ended, nullptr, this, nullptr);
    // finished() came from the thread's last steps: this wait ends at once.
    ended->wait();
    ended->deleteLater();
    worker = nullptr;
    running = false;
    m_currentUuid.clear();
    progressTimer->stop();
    resetProgress();

    // Files of orders removed while their worker could still write them.
    for (const OrdiniLocal::OrdineLocal &ordine : qAsConst(m_deleteAfterWorker))
        deleteOrderFile(ordine);
    m_deleteAfterWorker.clear();
    qDebug().noquote() << QStringLiteral("Upload file fermato");

    if (m_stopping) {
        m_stopping = false;
        emit stopProcessingQueue();
        qDebug().noquote() << QStringLiteral("Upload file terminato");
    }
    const AfterWorker after = m_afterWorker;
    m_afterWorker = AfterWorker::Nothing;
    if (m_startPending) {
        m_startPending = false;
        startNext();
    } else if (after != AfterWorker::Nothing) {
        // The order files say what is left: orders queued since the last one ended, while its
        // worker was still ending, go out too.
        startNext();
        if (!worker)
            emit finishedProcessingQueue();
    }
}

void OrdineUpload::terminateUpload()
{
    progressTimer->stop();
    resetProgress();
    m_startPending = false;
    m_afterWorker = AfterWorker::Nothing;
    if (worker) {
        // Counts as stopped once the worker's thread has ended (stopUpload).
        if (!m_stopping) {
            m_stopping = true;
            worker->requestStop();
        }
        return;
    }
    running = false;
    emit stopProcessingQueue();
    qDebug().noquote() << QStringLiteral("Upload file terminato");
}

void OrdineUpload::clearUploads()
{
    if (worker)
        terminateUpload();
    queue.clear();
    emit finishedProcessingQueue();
    qDebug().noquote() << QStringLiteral("Coda di invio terminata");
}

bool OrdineUpload::removeItem(QString Uuid, bool deleteFile)
{
    const int at = [&] {
        for (int i = 0; i < queue.size(); ++i) {
            if (queue.at(i).Uuid == Uuid)
                return i;
        }
        return -1;
    }();
    if (at < 0)
        return false;

    const OrdiniLocal::OrdineLocal removed = queue.takeAt(at);
    if (worker && Uuid == m_currentUuid) {
        // Its worker may still write the order file until its thread ends.
        const bool restart = !m_stopping;
        terminateUpload();
        if (deleteFile)
            m_deleteAfterWorker.append(removed);
        if (restart)
            restartUpload();
    } else if (deleteFile) {
        deleteOrderFile(removed);
    }

    if (!queue.isEmpty())
        emit queueChanged(queue.size());
    else
        emit finishedProcessingQueue();
    return true;
}

QList<OrdiniLocal::OrdineLocal> OrdineUpload::items() const
{
    return queue;
}

int OrdineUpload::index(QString Uuid) const
{
    for (int i = queue.size() - 1; i >= 0; --i) {
        if (queue.at(i).Uuid == Uuid)
            return i;
    }
    return -1;
}

int OrdineUpload::index(OrdiniLocal::OrdineLocal &ordine) const
{
    return index(ordine.Uuid);
}

OrdiniLocal::OrdineLocal OrdineUpload::ordineAtIndex(int i) const
{
    if (i >= 0 && i < queue.size())
        return queue.at(i);
    OrdiniLocal::OrdineLocal ordine;
    OrdiniLocal().initOrdineLocal(ordine);
    return ordine;
}

int OrdineUpload::queueSize() const
{
    return queue.size();
}

bool OrdineUpload::processingUploads() const
{
    return running;
}

int OrdineUpload::currentProcessingFileQueueSize() const
{
    if (!running)
        return 0;
    return m_current.righeFile.size() + m_current.righeStampa.size();
}

int OrdineUpload::aggiornaPrioritaCodaDownload()
{
    // Only Priorita changes, on each order file as it is on disk: the queue's copies predate
    // what the worker has recorded since (rows sent, the order id).
    QMutexLocker lock(&OrdineFile::orderFileMutex());
    const QString folder = KorvexGlobals::ordersQueuePath();
    OrdiniLocal store;
    for (int i = 0; i < queue.size(); ++i) {
        OrdiniLocal::OrdineLocal onDisk;
        if (!OrdineFile::read(OrdineFile::path(folder, queue.at(i).Uuid), store, onDisk))
            continue;
        onDisk.Priorita = i;
        store.SaveXML(onDisk, folder);
    }
    return queue.size();
}

bool OrdineUpload::deleteOrderFile(const OrdiniLocal::OrdineLocal &ordine, QString *error)
{
    QMutexLocker lock(&OrdineFile::orderFileMutex());
    QString reason;
    OrdiniLocal().DeleteXML(ordine, KorvexGlobals::ordersQueuePath(), &reason);
    if (error)
        *error = reason;
    return reason.isEmpty();
}

void OrdineUpload::onOrderTerminated()
{
    auto *ended = qobject_cast<OrdineUploadThread *>(sender());
    if (!ended)
        ended = worker;
    const QString uuid = ended ? ended->uuid() : QString();
    const bool sent = ended && ended->ordineInviato();
    if (ended && !sent)
        m_skippedThisRun.insert(uuid);

    OrdiniLocal::OrdineLocal taken;
    taken.Uuid = uuid;
    for (int i = 0; i < queue.size(); ++i) {
        if (!uuid.isEmpty() && queue.at(i).Uuid == uuid) {
            taken = queue.takeAt(i);
            break;
        }
    }
    const int left = queue.size();
    if (sent) {
        m_sentThisRun = true;
        m_sentUuids.insert(uuid);
    }
    emit orderTerminated(left);
    // A skipped order keeps its file; a sent one is gone from the queue for good.
    QString reason;
    if (sent && !deleteOrderFile(taken, &reason)) {
        // Its file would bring it back at every reload, and the worker would skip it as sent
        // again and again: it stays out of this run.
        m_skippedThisRun.insert(uuid);
        qWarning().noquote() << QStringLiteral("Ordine n: %1 - File non eliminato (%2)").arg(uuid, reason);
        emit orderFileNotRemoved(uuid, OrdineFile::path(KorvexGlobals::ordersQueuePath(), uuid), reason);
    }
    emit queueChanged(left);

    AfterWorker after = AfterWorker::Nothing;
    if (!m_stopping)
        after = left > 0 ? AfterWorker::StartNext : AfterWorker::Finished;
    if (worker) {
        // The next order starts once this worker's thread has ended.
        m_afterWorker = after;
    } else if (after == AfterWorker::StartNext) {
        startNext();
    } else if (after == AfterWorker::Finished) {
        emit finishedProcessingQueue();
    }
}

void OrdineUpload::onFileTerminated(int current, int total)
{
    if (m_stopping)
        return;
    emit fileTerminated(current, total);
}

void OrdineUpload::onErrorOccurred(QString errmessage)
{
    if (m_stopping)
        return;
    emit errorOccurred(errmessage);
}

void OrdineUpload::onFilesNotFound(QString orderUuid, QList<QFileInfo> files)
{
    if (m_stopping)
        return;
    emit filesNotFound(orderUuid, files);
}

void OrdineUpload::onCurrentOrderFileProgress(qint64 byteTransferred, qint64 totalBytes)
{
    if (m_stopping)
        return;
    fileBytesSent = byteTransferred;
    fileBytesTotal = totalBytes;
    emit CurrentOrderCurrentFileProgress(byteTransferred, totalBytes);
}

void OrdineUpload::onCurrentOrderGlobalFileProgress(qint64 byteTransferred, qint64 totalBytes)
{
    if (m_stopping)
        return;
    orderBytesSent = byteTransferred;
    orderBytesTotal = totalBytes;
    emit CurrentOrderGlobalFileProgress(byteTransferred, totalBytes);
}

void OrdineUpload::emitProgress()
{
    if (!running || m_stopping)
        return;
    if (fileBytesSent > 0 && fileBytesTotal > 0)
        emit CurrentOrderCurrentFileProgress(fileBytesSent, fileBytesTotal);
    if (orderBytesSent > 0 && orderBytesTotal > 0)
        emit CurrentOrderGlobalFileProgress(orderBytesSent, orderBytesTotal);
}

void OrdineUpload::onCurrentProcessingFileChanged(QFileInfo file)
{
    if (m_stopping)
        return;
    emit currentProcessingFileChanged(file);
}

QString OrdineUpload::currentUuid() const
{
    return worker ? m_currentUuid : QString();
}

bool OrdineUpload::isSending(const QString &uuid) const
{
    return !uuid.isEmpty() && worker && m_currentUuid == uuid;
}

bool OrdineUpload::isStopping() const
{
    return worker && m_stopping;
}

bool OrdineUpload::isRecordingOrder() const
{
    return worker && worker->recordingOrder();
}

bool OrdineUpload::orderSentThisRun() const
{
    return m_sentThisRun;
}

bool OrdineUpload::wasSent(const QString &uuid) const
{
    return !uuid.isEmpty() && m_sentUuids.contains(uuid);
}
