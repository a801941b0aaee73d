#include "serviceclient.h"

#include <mutex>

#include "ordini.h"
#include "soapcall.h"
#include "soapordiniSOAPProxy.h"
#include "wssettingslock.h"

namespace ordiniws {

const char *const unknownErrorMessage = "Si è verificato un errore sconosciuto sul webservice";

std::unique_ptr<ordiniSOAPProxy> newProxy()
{
    return std::make_unique<ordiniSOAPProxy>(SOAP_XML_INDENT);
}

void prepare(ordiniSOAPProxy &proxy, std::unique_ptr<std::string> &endpoint)
{
    std::string base;
    std::string username;
    std::string password;
    bool operatorAuth = false;
    {
        std::lock_guard<std::mutex> lock(korvexWsSettingsMutex());
        base = Ordini::WsEndpoint;
        username = Ordini::WsUsername;
        password = Ordini::WsPassword;
        operatorAuth = Ordini::WsOperatorAuth;
    }

    if (!base.empty()) {
        endpoint = std::make_unique<std::string>(korvexsoap::serviceEndpoint(base, "ordini.php"));
        proxy.soap_endpoint = endpoint->c_str();
    }
    if (!username.empty() && !password.empty()) {
        auto *authentication = soap_new_ordini__Authentication(&proxy);
        authentication->isOperator = operatorAuth;
        authentication->username = username;
        authentication->password = password;
        proxy.soap_header(authentication);
    } else {
        proxy.soap_noheader();
    }
    korvexsoap::applyTimeouts(&proxy);
}

Failure failure(ordiniSOAPProxy &proxy, const char *unknownCode, bool endOfInputIsUnknown)
{
    const bool endOfInput = proxy.error == SOAP_EOF;
    const korvexsoap::Failure described = korvexsoap::describeFailure(&proxy);
    release(proxy);
    if (described.notSoap || (endOfInputIsUnknown && endOfInput))
        return {unknownCode, unknownErrorMessage};
    return {described.code, described.message};
}

void release(ordiniSOAPProxy &proxy)
{
    proxy.destroy();
}

} // namespace ordiniws
