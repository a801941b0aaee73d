#pragma once

#include <functional>

class ProfileLock;
class QApplication;
class QStringList;

// The steps of main() after the application object exists, kept here so that the tests
// run them as the program does.
namespace Startup {

// Library paths, organisation, application name with the optional profile suffix (the
// first argument after the program), version, data folder and colour profile.
void configureApplication(QApplication &app, const QStringList &arguments);

// Qt's own texts in Italian, as the program's: the standard buttons of the message boxes
// ("Sì", "No", "Mostra dettagli..."), the file dialogs, the context menus of the fields.
// Read from Qt's translations folder; without them the texts stay English, and false.
bool loadQtTranslations(QApplication &app);

// Takes the profile's lock (one running copy per profile) before anything of the profile is
// read. A copy that another running copy holds the lock against tells the customer so and
// ends with exit code 0; a lock that cannot be made is told with its reason, exit code -1.
// False in both cases, with the code in *exitCode. A program started by an update to
// replace this one waits a while for its predecessor to let the lock go.
bool lockProfile(ProfileLock &lock, int *exitCode);

// How long the program's end waits for the worker of an order being sent to stop.
constexpr int endOfProgramWaitMs = 5000;

// Shows the main window and runs the event loop. Returns the loop's exit code, or -1 when
// the settings or the local database could not be loaded. Before the main window goes, an
// order being sent is stopped (it resumes at the next start) and the upload queue deleted.
// A worker still inside a call of the laboratory after endOfProgramWaitMs is not waited for
// any longer, unless the call is an order record (ending under it could send the order twice): *workerLeftRunning is then set and the queue, the customer and the window are
// left as they are, for the process's end (see run).
int runMainWindow(QApplication &app, bool *workerLeftRunning = nullptr);

// Stops the upload queue, waits for its worker thread (at most waitMs; -1: until it ends;
// while the worker waits for an order record's answer, until that call ends) and deletes the
// queue. False, with the queue left as it is, when the worker did not end.
bool shutdownUploadQueue(int waitMs = -1);

// The program, as main() runs it once the allocator and the resources are set up: the
// application object, its identity, Qt's texts, the profile's lock, the main window. The lock
// is let go last, after the application object (which waits for the thumbnails being read)
// and the local database connection. When the worker of an order being sent does not stop in
// time, the process ends at once, as after a kill: the order resumes at the next start.
// applicationReady, when given, runs once the application object exists (the tests watch the
// program from there).
int run(int &argc, char **argv, const std::function<void(QApplication &)> &applicationReady = {});

} // namespace Startup
