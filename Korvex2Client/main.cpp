#include <QApplication>

#include <Magick++.h>

#include "startup.h"

int main(int argc, char *argv[])
{
    Q_INIT_RESOURCE(application);
    QApplication app(argc, argv);
    Magick::InitializeMagick(argv[0]);
    Startup::configureApplication(app, QCoreApplication::arguments());
    return Startup::runMainWindow(app);
}
