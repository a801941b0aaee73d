#include "soapcall.h"

#include <cstdlib>

#include "soapH.h"
#include KORVEX_SOAP_NSMAP

namespace korvexsoap {

namespace {

bool isServiceFault(int error)
{
    switch (error) {
    case SOAP_FAULT:
    case SOAP_CLI_FAULT:
    case SOAP_SVR_FAULT:
    case SOAP_MUSTUNDERSTAND:
    case SOAP_VERSIONMISMATCH:
        return true;
    default:
        return false;
    }
}

TransportHook transportHook = nullptr;

std::string text(const char *const *slot)
{
    return slot && *slot ? std::string(*slot) : std::string();
}

} // namespace

Failure describeFailure(struct soap *context)
{
    Failure failure;
    const int error = context->error;
    // An answer with status 200 whose root was not an envelope: the runtime then reads it as
    // content of no SOAP version and fails on the first element it expected.
    failure.notSoap = context->status == 200 && context->version == 0 && error == SOAP_TAG_MISMATCH;

    if (isServiceFault(error) && context->fault) {
        const std::string code = text(soap_faultcode(context));
        if (!code.empty()) {
            failure.code = code;
            failure.message = text(soap_faultstring(context));
            return failure;
        }
    }

    // A failure of the runtime or of the transport. The fault record is reset at every
    // call, so a text in it now (a connection failure's) is this call's; otherwise
    // soap_set_fault() supplies the runtime's text for the error.
    soap_set_fault(context);
    failure.code = "SOAP-ENV:Client";
    failure.message = text(soap_faultstring(context));
    if (failure.message.empty())
        failure.message = "SOAP error " + std::to_string(error);
    return failure;
}

int callTimeoutSeconds()
{
    if (const char *value = std::getenv("KORVEX2_WS_TIMEOUT")) {
        const int seconds = std::atoi(value);
        if (seconds > 0)
            return seconds;
    }
    return 120;
}

void applyTimeouts(struct soap *context)
{
    const int seconds = callTimeoutSeconds();
    context->connect_timeout = seconds;
    context->send_timeout = seconds;
    context->recv_timeout = seconds;
    if (transportHook)
        transportHook(context);
}

void setTransportHook(TransportHook hook)
{
    transportHook = hook;
}

std::string serviceEndpoint(const std::string &base, const char *script)
{
    std::string endpoint = base;
    if (endpoint.empty() || endpoint.back() != '/')
        endpoint += '/';
    return endpoint + script;
}

} // namespace korvexsoap
