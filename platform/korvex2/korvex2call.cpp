#include "korvex2call.h"

#include <mutex>

#include "korvex2.h"
#include "soapcall.h"
#include "soapkorvex2SOAPProxy.h"
#include "wssettingslock.h"

namespace korvex2call {

Settings currentSettings()
{
    Settings settings;
    std::lock_guard<std::mutex> lock(korvexWsSettingsMutex());
    settings.endpoint = korvexsoap::serviceEndpoint(korvex2::WsEndpoint, "korvex2.php");
    settings.username = korvex2::WsUsername;
    settings.password = korvex2::WsPassword;
    settings.operatorAuth = korvex2::WsOperatorAuth;
    return settings;
}

void prepare(korvex2SOAPProxy &proxy, const Settings &settings)
{
    korvexsoap::applyTimeouts(&proxy);
    if (settings.username.empty() || settings.password.empty()) {
        proxy.soap_noheader();
        return;
    }
    auto *authentication = soap_new_korvex2__Authentication(&proxy);
    authentication->isOperator = settings.operatorAuth;
    authentication->username = settings.username;
    authentication->password = settings.password;
    proxy.soap_header(authentication);
}

} // namespace korvex2call
