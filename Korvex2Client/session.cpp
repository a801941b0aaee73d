#include "session.h"

#include <QEventLoop>
#include <QTimer>

#include "korvexglobals.h"
#include "ordineupload.h"
#include "utente.h"

namespace Session {

bool stopUploads(int timeoutMs)
{
    OrdineUpload *queue = KorvexGlobals::ordineUpload;
    if (!queue)
        return true;
    queue->terminateUpload();
    // The queue counts as stopped once its worker's thread has ended.
    if (queue->processingUploads()) {
        QEventLoop loop;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
            if (!queue->processingUploads())
                loop.quit();
        });
        poll.start(20);
        QTimer limit;
        if (timeoutMs >= 0) {
            limit.setSingleShot(true);
            QObject::connect(&limit, &QTimer::timeout, &loop, &QEventLoop::quit);
            limit.start(timeoutMs);
        }
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    }
    return !queue->processingUploads();
}

void replaceUtente(Utente *utente)
{
    Utente *previous = KorvexGlobals::utente;
    if (previous == utente)
        return;
    if (previous)
        stopUploads();
    KorvexGlobals::utente = utente;
    delete previous;
}

void releaseUtente()
{
    replaceUtente(nullptr);
}

} // namespace Session
