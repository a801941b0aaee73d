#pragma once
// Internal to the library: one service call on an account's proxy.

#include "soapaccountSOAPProxy.h"
#include "soapcall.h"

// Lives for the duration of one operation. When it ends, everything the call left in the
// proxy's memory (answer records, the fault record, the header records WSinit attached)
// is released, so nothing piles up over many calls; copy the answer out before that.
class ServiceCall
{
public:
    explicit ServiceCall(accountSOAPProxy *proxy) : m_proxy(proxy) {}
    ~ServiceCall() { m_proxy->destroy(); }
    ServiceCall(const ServiceCall &) = delete;
    ServiceCall &operator=(const ServiceCall &) = delete;

    // Throws the account class's exception with the failure's code and message when the
    // proxy's result is not 0.
    template <typename Exception>
    void check(int result) const
    {
        if (result == SOAP_OK)
            return;
        korvexsoap::Failure failure = korvexsoap::describeFailure(m_proxy);
        throw Exception(std::move(failure.code), std::move(failure.message));
    }

private:
    accountSOAPProxy *m_proxy;
};
