#include "updateswatcher.h"

#include <mutex>

#include "korvexglobals.h"
#include "wssettingslock.h"

UpdatesWatcher::UpdatesWatcher(QObject *parent)
    : QObject(parent)
    , endpoint(KorvexGlobals::WsEndpoint.toStdString())
    , dataVersion(KorvexGlobals::ServiceDataDbVersion)
{
    qRegisterMetaType<korvex2__IdComponenteType>("korvex2__IdComponenteType");
}

bool UpdatesWatcher::isNewer(int major, int minor, int build, int refMajor, int refMinor, int refBuild)
{
    if (major != refMajor)
        return major > refMajor;
    if (minor != refMinor)
        return minor > refMinor;
    return build > refBuild;
}

AggiornamentoItem UpdatesWatcher::getAggiornamentoItem(korvex2__IdComponenteType componente)
{
    try {
        {
            // The upload worker writes the same statics from its thread.
            std::lock_guard<std::mutex> lock(korvexWsSettingsMutex());
            korvex2::WsEndpoint = endpoint;
            korvex2::WsOperatorAuth = false;
        }
        Aggiornamento aggiornamento;
        item = aggiornamento.ottieniAggiornamento(componente);
    } catch (const Aggiornamento::AggiornamentoException &) {
        throw;
    } catch (...) {
        throw Korvex2Exception(std::string(),
                               tr("Impossibile verificare gli aggiornamenti in seguito ad un errore imprevisto")
                                   .toUtf8()
                                   .toStdString());
    }
    emit requestTerminated();
    return item;
}

bool UpdatesWatcher::query(korvex2__IdComponenteType componente)
{
    try {
        getAggiornamentoItem(componente);
        return true;
    } catch (const Korvex2Exception &e) {
        // The libraries give their texts as UTF-8.
        emit errorOccurred(QString::fromUtf8(e.code.c_str()), QString::fromUtf8(e.message.c_str()));
    }
    return false;
}

bool UpdatesWatcher::checkForProgramUpdates()
{
    if (!query(korvex2__IdComponenteType__Programma))
        return false;
    const bool program = item.componente == korvex2__IdComponenteType__InstallatoreProgramma
                         || item.componente == korvex2__IdComponenteType__Programma;
    if (!program || !isNewer(item.major, item.minor, item.build, ProgramMajor, ProgramMinor, ProgramBuild))
        return false;
    emit newUpdateAvailable(item.componente);
    return true;
}

bool UpdatesWatcher::checkForServiceDataUpdates()
{
    if (!query(korvex2__IdComponenteType__DatiServizio))
        return false;
    if (item.componente == korvex2__IdComponenteType__DatiServizio
        && isNewer(item.major, item.minor, item.build, dataVersion, 0, 0)) {
        emit newUpdateAvailable(korvex2__IdComponenteType__DatiServizio);
        return true;
    }
    emit noUpdatesAvailable();
    return false;
}

bool UpdatesWatcher::checkForUpdates()
{
    if (checkForProgramUpdates())
        return true;
    return checkForServiceDataUpdates();
}

void releaseUpdatesCheck(QThread *thread, UpdatesWatcher *watcher)
{
    if (watcher)
        watcher->disconnect();
    if (!thread) {
        if (watcher && watcher->thread() == QThread::currentThread())
            delete watcher;
        else if (watcher)
            watcher->deleteLater();
        return;
    }
    QObject::disconnect(thread, &QThread::started, nullptr, nullptr);
    if (thread->isRunning()) {
        // The thread's own end deletes what lives on it; the thread object lives here.
        if (watcher)
            QObject::connect(thread, &QThread::finished, watcher, &QObject::deleteLater);
        QObject::connect(thread, &QThread::finished, thread, &QObject::deleteLater);
        thread->quit();
        return;
    }
    delete watcher;
    delete thread;
}
