#pragma once

#include <QObject>
#include <QThread>

#include <string>
#include <QString>

#include "aggiornamento.h"
#include "korvex2.h"

Q_DECLARE_METATYPE(korvex2__IdComponenteType)

// Asks the laboratory's update service whether a newer program or newer catalogue data
// exist. Its owner moves it to a thread of its own and starts checkForUpdates() from the
// thread's started(); the signals reach the owner queued. `item` holds the answer of the
// last successful query; the owner reads it after newUpdateAvailable.
class UpdatesWatcher : public QObject
{
    Q_OBJECT

public:
    // The program's own version.
    static constexpr int ProgramMajor = 2;
    static constexpr int ProgramMinor = 1;
    static constexpr int ProgramBuild = 13;

    // Takes the service address and the local data version of this moment: the check's
    // thread never reads the program's settings while the GUI thread may change them.
    explicit UpdatesWatcher(QObject *parent = nullptr);

    // One query for the component; throws Korvex2Exception (the service's own
    // Aggiornamento::AggiornamentoException passes unchanged).
    AggiornamentoItem getAggiornamentoItem(korvex2__IdComponenteType componente);

    // (major, minor, build) above (refMajor, refMinor, refBuild), in that order of weight.
    static bool isNewer(int major, int minor, int build, int refMajor, int refMinor, int refBuild);

    AggiornamentoItem item;

public slots:
    bool checkForProgramUpdates();
    bool checkForServiceDataUpdates();
    bool checkForUpdates();

signals:
    void errorOccurred(const QString &errCode, const QString &errMessage);
    void requestTerminated();
    void newUpdateAvailable(korvex2__IdComponenteType type);
    void noUpdatesAvailable();

private:
    // The query, its failure reported through errorOccurred; false when it failed.
    bool query(korvex2__IdComponenteType componente);

    std::string endpoint;
    int dataVersion = 0;
};

// Ends a check's thread and its watcher without waiting: the watcher's signals are cut off,
// the thread's event loop is asked to quit, and both delete themselves once the thread has
// ended (a query still running finishes within its time-out first). Never-started ones
// go at once. Null arguments are allowed.
void releaseUpdatesCheck(QThread *thread, UpdatesWatcher *watcher);
