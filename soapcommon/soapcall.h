#pragma once
// Helpers shared by the SOAP bindings of the libraries. Each library compiles its own
// copy against its own generated binding; nothing here is exported.

#include <string>

struct soap;

namespace korvexsoap {

// The two texts a failed call reports: the service's fault code and fault string when the
// answer carried a SOAP fault, otherwise "SOAP-ENV:Client" and the runtime's own text.
struct Failure
{
    std::string code;
    std::string message;
    // the answer had HTTP status 200 but was not a SOAP envelope (an HTML page, say)
    bool notSoap = false;
};

// Describes the failure of the call that just ended on the context. Copy it out before
// the context's memory is released.
Failure describeFailure(struct soap *context);

// Connect, send and receive time-outs of every call: 120 seconds. The environment
// variable KORVEX2_WS_TIMEOUT (seconds) shortens them for the tests.
// Every call of the libraries passes here just before it starts.
void applyTimeouts(struct soap *context);
int callTimeoutSeconds();

// A stand-in for the network, for a program that links a binding itself (the fuzz targets
// answer every call from memory): when set, applyTimeouts() hands it the context last, and
// it may replace the context's transport callbacks. The libraries never set it.
using TransportHook = void (*)(struct soap *context);
void setTransportHook(TransportHook hook);

// Base address + "/" when missing + script name.
std::string serviceEndpoint(const std::string &base, const char *script);

} // namespace korvexsoap
