#include <QApplication>

#include "allocatorsettings.h"
#include "magickimage.h"
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
    return Startup::runMainWindow(app);
}
