#include "account.h"

#include <algorithm>
#include <mutex>

#include "servicecall.h"
#include "soapaccountSOAPProxy.h"
#include "soapcall.h"
#include "wssettingslock.h"

namespace {
constexpr std::size_t maskEntries = 8;
}

Account::Account() : proxy(new accountSOAPProxy(SOAP_XML_INDENT))
{
}

Account::~Account()
{
    delete proxy;
    delete endpoint;
}

bool Account::revocaAutorizzazione(Anagrafica::Autorizzazione autorizzazione)
{
    autorizzazioni &= ~autorizzazione;
    return true;
}

void Account::WSinit()
{
    std::string base;
    std::string user;
    std::string pass;
    bool operatorAuth = false;
    {
        std::lock_guard<std::mutex> lock(korvexWsSettingsMutex());
        base = Anagrafica::WsEndpoint;
        user = Anagrafica::WsUsername;
        pass = Anagrafica::WsPassword;
        operatorAuth = Anagrafica::WsOperatorAuth;
    }

    if (!base.empty()) {
        auto *built = new std::string(korvexsoap::serviceEndpoint(base, "account.php"));
        delete endpoint;
        endpoint = built;
        proxy->soap_endpoint = endpoint->c_str();
    }
    korvexsoap::applyTimeouts(proxy);

    // A header left by an earlier call must not carry stale credentials.
    proxy->soap_noheader();
    if (!user.empty() && !pass.empty()) {
        // Both records belong to the proxy's memory and go with the call's answer.
        account__Authentication *authentication = soap_new_account__Authentication(proxy);
        authentication->username = user;
        authentication->password = pass;
        authentication->isOperator = operatorAuth;
        proxy->soap_header(authentication);
    }
}

bool Account::aggiungiAutorizzazione(Anagrafica::Autorizzazione autorizzazione)
{
    autorizzazioni |= autorizzazione;
    return true;
}

bool Account::controllaAutorizzazione(Anagrafica::Autorizzazione autorizzazione) const
{
    return (autorizzazioni & autorizzazione) == autorizzazione;
}

bool Account::impostaAutorizzazioni(const Anagrafica::Autorizzazione *valori, std::size_t count)
{
    if (!valori)
        return false;
    int mask = 0;
    for (std::size_t i = 0; i < std::min(count, maskEntries); ++i)
        mask |= valori[i];
    autorizzazioni = mask;
    return true;
}

int Account::Getid() const
{
    return id;
}

void Account::Setid(int newId)
{
    id = newId;
}
