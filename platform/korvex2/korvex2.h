#pragma once

#include <string>

#include "korvex2_export.h"

// Identifier of a component that the update service knows. The service may name other
// ids; any int value converts to this type.
enum korvex2__IdComponenteType : int
{
    korvex2__IdComponenteType__InstallatoreProgramma = 0,
    korvex2__IdComponenteType__DatiServizio = 2,
    korvex2__IdComponenteType__Programma = 3,
};

// Connection settings of the settings-and-updates service, read at every call. Write them
// holding korvexWsSettingsMutex() (wssettingslock.h).
namespace korvex2 {
KORVEX2_EXPORT extern std::string WsEndpoint; // base address; the call adds "korvex2.php"
KORVEX2_EXPORT extern std::string WsUsername;
KORVEX2_EXPORT extern std::string WsPassword;
KORVEX2_EXPORT extern bool WsOperatorAuth;
} // namespace korvex2
