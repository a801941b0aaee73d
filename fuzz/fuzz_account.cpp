// The account service's answers: login of a customer and of an operator, and the lists of
// customers and operators. The first byte of the input selects the operation; the rest is
// the body of the service's answer. Every answer must end as the call's result or as the
// library's exception.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "korvex2exception.h"
#include "operatore.h"
#include "soapfeed.h"
#include "utente.h"

namespace {

void release(const std::vector<Account *> &accounts)
{
    for (Account *account : accounts)
        delete account;
}

// One customer and one operator for the whole run, as the program keeps its accounts: every
// call starts from what the previous answer left in the proxy.
Utente *utente = nullptr;
Operatore *operatore = nullptr;

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    Anagrafica::WsEndpoint = soapfeed::unreachableEndpoint;
    Anagrafica::WsUsername = "operatore";
    Anagrafica::WsPassword = "segreta";
    soapfeed::install();
    utente = new Utente;
    operatore = new Operatore;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size < 1)
        return 0;
    soapfeed::setAnswer(data + 1, size - 1);
    try {
        switch (data[0] % 4) {
        case 0:
            utente->login("mario.rossi", "segreta");
            break;
        case 1:
            operatore->login("banco", "segreta");
            break;
        case 2:
            release(utente->listaSQL(0, 20, "username LIKE '%'", "id"));
            break;
        case 3:
            release(operatore->listaSQL(0, 20, "username LIKE '%'", "id"));
            break;
        }
    } catch (const Korvex2Exception &) {
    }
    return 0;
}
