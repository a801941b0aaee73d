#pragma once
// What the two service classes share: the copy of the connection settings that one call
// works with, and the preparation of the proxy for it. Not exported.

#include <string>

class korvex2SOAPProxy;

namespace korvex2call {

struct Settings
{
    std::string endpoint; // base address + "/" when missing + script name
    std::string username;
    std::string password;
    bool operatorAuth = false;
};

// Copies the korvex2:: globals once, holding the settings lock.
Settings currentSettings();

// Applies the time-outs to the proxy and attaches the Authentication header when user
// name and password are both set; the caller passes settings.endpoint to the operation.
void prepare(korvex2SOAPProxy &proxy, const Settings &settings);

} // namespace korvex2call
