#include <QtGlobal>

#include "allocatorsettings.h"
#include "startup.h"

int main(int argc, char *argv[])
{
    // First of all: the upload worker's rendering thread keeps its memory between prints.
    AllocatorSettings::keepImageBuffers();
    Q_INIT_RESOURCE(application);
    return Startup::run(argc, argv);
}
