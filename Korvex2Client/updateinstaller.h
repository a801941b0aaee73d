#pragma once

#include <functional>

#include "aggiornamento.h"
#include "korvex2.h"

class QWidget;

// Offers an announced update to the customer, downloads it and installs it: the one
// installation that the main window's check and the settings window's check share.
namespace UpdateInstaller {

enum class Outcome {
    Ignored,            // a component this program does not install
    Declined,           // the customer answered No
    NotInstalled,       // download stopped or failed, or the installation failed (told)
    ProgramStarted,     // the new program runs; this one is ending
    CatalogueInstalled, // the new catalogue database is in use
};

// Asks, downloads and installs. `catalogueInstalled` runs after a catalogue update was
// installed, before the success box (the owner rebuilds what shows the catalogue). A new
// program starts only once the upload queue has stopped, with this program's arguments (so on
// its profile; an installer with none); this program then ends through its event loop.
Outcome offer(QWidget *parent, korvex2__IdComponenteType type, const AggiornamentoItem &item,
              const std::function<void()> &catalogueInstalled = {});

} // namespace UpdateInstaller
