#pragma once

#include <string>

#include "anagrafica_export.h"

// Scope of the account library's flag values and connection settings. The program writes
// the settings holding korvexWsSettingsMutex() (wssettingslock.h); every service call of
// the library reads them afresh.
class ANAGRAFICA_EXPORT Anagrafica
{
public:
    // E-mail notifications a customer receives: single bits of Utente::notifiche.
    enum Notifica : int {
        NotificaOrdineRiepilogo = 1,
        NotificaOrdineInLavorazione = 2,
        NotificaOrdineEvaso = 4,
        NotificaOrdineAnnullato = 8
    };

    // Authorisations: single bits of Account::autorizzazioni, assigned by the service.
    // The library names none of them.
    enum Autorizzazione : int {};

    // Base address of the web services ("account.php" is appended per call).
    static std::string WsEndpoint;
    // Credentials of the Authentication header; sent only when both are set.
    static std::string WsUsername;
    static std::string WsPassword;
    static bool WsOperatorAuth;
};
