#pragma once

#include <string>

#include "prodotti_export.h"

// Connection settings of the catalogue client, written by the program (holding
// korvexWsSettingsMutex()) and read at every call.
class PRODOTTI_EXPORT Prodotti
{
public:
    static std::string WsEndpoint;     // base address; "prodotti.php" is appended
    static std::string WsUsername;
    static std::string WsPassword;
    static bool WsOperatorAuth;
};
