// The catalogue service's answer to the request of one print product. The whole input is
// the body of the service's answer, which must end as the call's result or as the
// library's exception.

#include <cstddef>
#include <cstdint>

#include "korvex2exception.h"
#include "prodotti.h"
#include "soapfeed.h"
#include "stampa.h"

// One product for the whole run: every call starts from what the previous answer left in
// its proxy.
static Stampa *stampa = nullptr;

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    Prodotti::WsEndpoint = soapfeed::unreachableEndpoint;
    Prodotti::WsUsername = "mario.rossi";
    Prodotti::WsPassword = "segreta";
    soapfeed::install();
    stampa = new Stampa;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    soapfeed::setAnswer(data, size);
    try {
        stampa->init(12);
    } catch (const Korvex2Exception &) {
    }
    return 0;
}
