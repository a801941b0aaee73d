#include <QApplication>

#include "allocatorsettings.h"
#include "korvexglobals.h"
#include "magickimage.h"
#include "profilelock.h"
#include "startup.h"

int main(int argc, char *argv[])
{
    // First of all: the upload worker's rendering thread keeps its memory between prints.
    AllocatorSettings::keepImageBuffers();
    Q_INIT_RESOURCE(application);
    QApplication app(argc, argv);
    // Once, before any thread of the program reads an image.
    MagickImage::initialise();
    Startup::configureApplication(app, QCoreApplication::arguments());
    Startup::loadQtTranslations(app);
    // Held until the process ends: the profile's settings, database and orders are this
    // copy's alone.
    ProfileLock lock(KorvexGlobals::appDataPath);
    int code = 0;
    if (!Startup::lockProfile(lock, &code))
        return code;
    return Startup::runMainWindow(app);
}
