#include "editedorderwriter.h"

#include <QCursor>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QMutexLocker>
#include <QTimer>

#include "korvexglobals.h"
#include "ordinefile.h"
#include "ordineupload.h"

namespace {

bool sameTransformation(const OrdiniLocal::StampaLocalTransformation &a,
                        const OrdiniLocal::StampaLocalTransformation &b)
{
    return a.Type == b.Type && a.CropRect == b.CropRect;
}

bool sameRow(const OrdiniLocal::OrdineRigaFileLocal &a, const OrdiniLocal::OrdineRigaFileLocal &b)
{
    return a.FilePath == b.FilePath && a.FileSize == b.FileSize;
}

bool sameRow(const OrdiniLocal::OrdineRigaStampaLocal &a, const OrdiniLocal::OrdineRigaStampaLocal &b)
{
    return a.FilePath == b.FilePath && a.FileSize == b.FileSize && a.IdStampa == b.IdStampa
           && sameTransformation(a.Transformation, b.Transformation);
}

// Each old row lends its state to one edited row at most; among equal old rows the ones
// already sent go first, so that a photo ordered twice is not sent a third time.
template <typename Row>
void carryRows(QList<Row> &edited, const QList<Row> &onDisk)
{
    QVector<bool> used(onDisk.size(), false);
    for (Row &row : edited) {
        int match = -1;
        for (int i = 0; i < onDisk.size(); ++i) {
            if (used.at(i) || !sameRow(row, onDisk.at(i)))
                continue;
            if (match < 0 || (onDisk.at(i).Inviata && !onDisk.at(match).Inviata))
                match = i;
        }
        if (match < 0) {
            row.WsFileId.clear();
            row.Inviata = false;
            continue;
        }
        used[match] = true;
        row.WsFileId = onDisk.at(match).WsFileId;
        row.Inviata = onDisk.at(match).Inviata;
    }
}

} // namespace

EditedOrderWriter::EditedOrderWriter(OrdineUpload *queue, QObject *parent)
    : QObject(parent), m_queue(queue)
{
    qRegisterMetaType<OrdiniLocal::OrdineLocal>();
    qRegisterMetaType<EditedOrderWriter::Outcome>();
}

EditedOrderWriter::~EditedOrderWriter()
{
    setWaitCursor(false);
}

OrdineUpload *EditedOrderWriter::queue() const
{
    return m_queue ? m_queue.data() : KorvexGlobals::ordineUpload;
}

void EditedOrderWriter::carryUploadState(OrdiniLocal::OrdineLocal &edited, const OrdiniLocal::OrdineLocal &onDisk)
{
    carryRows(edited.righeFile, onDisk.righeFile);
    carryRows(edited.righeStampa, onDisk.righeStampa);
    edited.WsId = onDisk.WsId;
}

bool EditedOrderWriter::write(const OrdiniLocal::OrdineLocal &ordine, bool existingOrder)
{
    if (m_busy)
        return false;
    m_busy = true;
    m_ordine = ordine;
    m_existing = existingOrder && !ordine.Uuid.isEmpty();

    OrdineUpload *q = queue();
    m_wasRunning = q && q->processingUploads();
    if (m_existing && q && q->isSending(ordine.Uuid)) {
        // The worker could write the order file until its thread has ended.
        setWaitCursor(true);
        m_stopConnection = connect(q, &OrdineUpload::stopProcessingQueue, this, &EditedOrderWriter::onQueueStopped);
        q->terminateUpload();
        return true;
    }
    QTimer::singleShot(0, this, &EditedOrderWriter::writeNow);
    return true;
}

void EditedOrderWriter::onQueueStopped()
{
    disconnect(m_stopConnection);
    writeNow();
}

void EditedOrderWriter::writeNow()
{
    OrdineUpload *q = queue();
    if (m_existing && q && q->isSending(m_ordine.Uuid)) {
        // A start asked for elsewhere while the queue stopped picked the order up again.
        m_stopConnection = connect(q, &OrdineUpload::stopProcessingQueue, this, &EditedOrderWriter::onQueueStopped);
        setWaitCursor(true);
        q->terminateUpload();
        return;
    }

    OrdiniLocal store;
    QString error;
    bool saved = false;
    {
        QMutexLocker lock(&OrdineFile::orderFileMutex());
        if (m_existing) {
            const QString path = OrdineFile::path(KorvexGlobals::ordersQueuePath(), m_ordine.Uuid);
            // A sent order whose file could not be removed is not written either: it would go
            // to the laboratory a second time.
            const bool sent = q && q->wasSent(m_ordine.Uuid);
            if (sent || !QFile::exists(path)) {
                lock.unlock();
                if (q) {
                    q->removeItem(m_ordine.Uuid, false);
                    if (m_wasRunning && !q->processingUploads())
                        q->restartUpload();
                }
                finish(sent ? SentMeanwhile : RemovedMeanwhile);
                return;
            }
            OrdiniLocal::OrdineLocal onDisk;
            QString readError;
            if (!OrdineFile::read(path, store, onDisk, &readError)) {
                // Its upload state (the order's id at the laboratory, the rows sent) cannot be
                // known: written over, the order would go out again as a new one. The file
                // stays as it is, as the queue and the order manager leave a damaged file.
                lock.unlock();
                if (q && m_wasRunning && !q->processingUploads())
                    q->restartUpload();
                finish(Failed, tr("Il file dell'ordine %1 non si può leggere (%2): non è stato modificato.")
                                   .arg(QDir::toNativeSeparators(path),
                                        readError.isEmpty() ? tr("file non trovato") : readError));
                return;
            }
            carryUploadState(m_ordine, onDisk);
        }
        saved = store.SaveXML(m_ordine, QString(), &error);
    }

    if (q) {
        if (saved) {
            if (m_ordine.Attivo)
                q->append(m_ordine);
            else
                q->removeItem(m_ordine.Uuid, false);
        }
        if (m_wasRunning && !q->processingUploads())
            q->restartUpload();
    }
    finish(saved ? Saved : Failed, error);
}

void EditedOrderWriter::finish(Outcome outcome, const QString &error)
{
    setWaitCursor(false);
    m_busy = false;
    const OrdiniLocal::OrdineLocal ordine = m_ordine;
    emit finished(outcome, ordine, error);
}

void EditedOrderWriter::setWaitCursor(bool on)
{
    if (on == m_waitCursor || !qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        return;
    m_waitCursor = on;
    if (on)
        QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
    else
        QGuiApplication::restoreOverrideCursor();
}
