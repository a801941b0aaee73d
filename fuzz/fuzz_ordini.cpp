// The orders service's answers: the list of orders, the list of order headings and the
// list of an order's files. The first byte of the input selects the operation; the rest is
// the body of the service's answer. Every answer must end as the call's result or as the
// library's exception.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "file.h"
#include "korvex2exception.h"
#include "ordine.h"
#include "ordini.h"
#include "soapfeed.h"

namespace {

template <typename T>
void release(const std::vector<T *> &records)
{
    for (T *record : records)
        delete record;
}

// One order and one file record for the whole run: every call starts from what the previous
// answer left in their proxies.
Ordine *ordine = nullptr;
File *file = nullptr;

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    Ordini::WsEndpoint = soapfeed::unreachableEndpoint;
    Ordini::WsUsername = "mario.rossi";
    Ordini::WsPassword = "segreta";
    soapfeed::install();
    ordine = new Ordine(nullptr);
    file = new File;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size < 1)
        return 0;
    soapfeed::setAnswer(data + 1, size - 1);
    try {
        switch (data[0] % 3) {
        case 0:
            release(ordine->listaSQL(0, 20, "id > 0", "id"));
            break;
        case 1:
            release(ordine->listaIntestazioni("mario.rossi", "", 0, 0, "2026-01-01", "2026-12-31",
                                              {1, 2, 3}, 0, 20, ""));
            break;
        case 2:
            release(file->listaSQL(0, 20, "", "id", "{6c1f6f3e-2b7c-4a59-9d0e-0f4d2a7c9b11}"));
            break;
        }
    } catch (const Korvex2Exception &) {
    }
    return 0;
}
