#pragma once

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

// Shows the main window and runs the event loop. Returns the loop's exit code, or -1 when
// the settings or the local database could not be loaded. Before the main window goes, an
// order being sent is stopped (it resumes at the next start) and the upload queue deleted.
int runMainWindow(QApplication &app);

// Stops the upload queue, waits for its worker thread and deletes the queue.
void shutdownUploadQueue();

} // namespace Startup
