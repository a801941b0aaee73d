#include "session.h"

#include <QEventLoop>
#include <QTimer>

#include "korvexglobals.h"
#include "ordineupload.h"
#include "utente.h"

namespace Session {

void stopUploads()
{
    OrdineUpload *queue = KorvexGlobals::ordineUpload;
    if (!queue)
        return;
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
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    }
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
