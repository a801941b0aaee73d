#pragma once

#include <mutex>

#include "anagrafica_export.h"

// The one lock that guards the connection settings of every laboratory library
// (Anagrafica::*, Ordini::*, Prodotti::*, korvex2::*). Callers write the settings holding
// it; each library call copies the settings it needs once, holding it, and releases it
// before going on the network, so that no caller waits for another's service call.
ANAGRAFICA_EXPORT std::mutex &korvexWsSettingsMutex();
