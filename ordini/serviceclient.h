#pragma once
// What the library's classes share around a call of the orders service. Not exported.

#include <memory>
#include <string>

class ordiniSOAPProxy;

namespace ordiniws {

extern const char *const unknownErrorMessage;

// The proxy every model object owns: indented output, nothing else.
std::unique_ptr<ordiniSOAPProxy> newProxy();

// Set-up before each call: the endpoint (base address + "ordini.php"; an empty base
// address keeps the last one), the credentials header when user name and password are
// both set (none otherwise), and the time-outs. The settings are copied once under
// korvexWsSettingsMutex().
void prepare(ordiniSOAPProxy &proxy, std::unique_ptr<std::string> &endpoint);

// The two texts of a failed call. An answer with HTTP status 200 that is not a SOAP
// envelope gives unknownCode and the unknown-error message; so does an exchange that
// ended without an answer when endOfInputIsUnknown is set. Otherwise the fault code and
// string. The answer's memory is released.
struct Failure
{
    std::string code;
    std::string message;
};
Failure failure(ordiniSOAPProxy &proxy, const char *unknownCode, bool endOfInputIsUnknown);

// Releases what the last answer left in the proxy's memory, once its data is copied out.
void release(ordiniSOAPProxy &proxy);

} // namespace ordiniws
