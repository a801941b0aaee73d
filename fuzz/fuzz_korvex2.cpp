// The settings-and-updates service's answers: the FTP server settings and the update
// information of a component. The first byte of the input selects the operation; the rest
// is the body of the service's answer. Every answer must end as the call's result or as
// the library's exception.

#include <cstddef>
#include <cstdint>

#include "aggiornamento.h"
#include "impostazione.h"
#include "korvex2.h"
#include "korvex2exception.h"
#include "soapfeed.h"

// One of each for the whole run: every call starts from what the previous answer left in
// their proxies.
static Impostazione *impostazione = nullptr;
static Aggiornamento *aggiornamento = nullptr;

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    korvex2::WsEndpoint = soapfeed::unreachableEndpoint;
    korvex2::WsUsername = "mario.rossi";
    korvex2::WsPassword = "segreta";
    soapfeed::install();
    impostazione = new Impostazione;
    aggiornamento = new Aggiornamento;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size < 1)
        return 0;
    soapfeed::setAnswer(data + 1, size - 1);
    try {
        if (data[0] % 2 == 0)
            impostazione->ottieniImpostazioniServerFTP();
        else
            aggiornamento->ottieniAggiornamento(korvex2__IdComponenteType__Programma);
    } catch (const Korvex2Exception &) {
    }
    return 0;
}
