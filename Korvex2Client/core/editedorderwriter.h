#pragma once

#include <QMetaType>
#include <QObject>
#include <QPointer>
#include <QString>

#include "ordinilocal.h"

class OrdineUpload;

// Writes an order that a window has edited (a composer, the order manager) back to the orders
// folder, one write at a time:
//
//  1. when the queue's worker is sending that order, the queue is stopped and the write goes on
//     once the worker's thread has ended (stopProcessingQueue); the event loop runs meanwhile,
//     with a wait cursor, and a second write is refused (isBusy());
//  2. the order file is read again under the engine's order-file lock. Nothing is written for an
//     order that the queue reported sent (SentMeanwhile), nor for one whose file is gone
//     otherwise: it was removed meanwhile (RemovedMeanwhile), nor over a file that cannot be
//     read (Failed, naming the file and the reason; the file is kept as it is);
//  3. each row keeps the upload state (WsFileId, Inviata) of the file's row only when it is the
//     same row: same path and size, and for prints the same product and transformation; the
//     order keeps the file's WsId;
//  4. the file is written over atomically; on failure the reason is given and nothing is queued;
//  5. an active order goes into the queue, an inactive one out of it;
//  6. the queue goes on if it was running (the same run: restartUpload).
//
// The result comes with finished(), never from inside write().
class EditedOrderWriter : public QObject
{
    Q_OBJECT

public:
    enum Outcome { Saved, SentMeanwhile, Failed, RemovedMeanwhile };
    Q_ENUM(Outcome)

    // queue: the upload queue to keep in step (KorvexGlobals::ordineUpload when null at the
    // time of the write; none at all is allowed).
    explicit EditedOrderWriter(OrdineUpload *queue = nullptr, QObject *parent = nullptr);
    ~EditedOrderWriter() override;

    // existingOrder: the order was read from the orders folder (false for a new order, which
    // gets a Uuid if it has none). Returns false, doing nothing, while a write is under way.
    bool write(const OrdiniLocal::OrdineLocal &ordine, bool existingOrder);
    bool isBusy() const { return m_busy; }

    // Step 3 on its own: edited takes over the upload state of onDisk's equal rows.
    static void carryUploadState(OrdiniLocal::OrdineLocal &edited, const OrdiniLocal::OrdineLocal &onDisk);

signals:
    // ordine: as written (its Uuid set); error: the reason of a failure, for the user.
    void finished(EditedOrderWriter::Outcome outcome, const OrdiniLocal::OrdineLocal &ordine,
                  const QString &error);

private:
    OrdineUpload *queue() const;
    void onQueueStopped();
    void writeNow();
    void finish(Outcome outcome, const QString &error = QString());
    void setWaitCursor(bool on);

    QPointer<OrdineUpload> m_queue;
    bool m_busy = false;
    bool m_existing = false;
    bool m_wasRunning = false;
    bool m_waitCursor = false;
    QMetaObject::Connection m_stopConnection;
    OrdiniLocal::OrdineLocal m_ordine;
};

Q_DECLARE_METATYPE(OrdiniLocal::OrdineLocal)
