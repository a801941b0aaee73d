#pragma once

#include <string>

#include "ordini_export.h"

// Scope of the orders library's connection settings, which the program writes (holding
// korvexWsSettingsMutex()) before it uses the library; every call reads them afresh.
class ORDINI_EXPORT Ordini
{
public:
    // Order states. The numbers are the service's (Ordine::listaEtichetteStatiOrdine lists
    // them with their labels); a new order is in state 1.
    enum StatoOrdine : int {
        Nuovo = 1,
    };

    static std::string WsEndpoint; // base address; "ordini.php" is appended
    static std::string WsUsername;
    static std::string WsPassword;
    static bool WsOperatorAuth;
};
