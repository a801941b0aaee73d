#include "ordine.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

#include "ordineriga.h"
#include "ordinerigafile.h"
#include "ordinerigastampa.h"
#include "serviceclient.h"
#include "soapordiniSOAPProxy.h"
#include "sqlfilter.h"
#include "utente.h"

namespace {

// Result codes that the unknown-error text stands for, by operation.
const char *const codeOfInsertAndLists = "";
const char *const codeOfChanges = "GSOAP200";
const char *const codeOfStateLabels = "0000";

[[noreturn]] void raise(ordiniSOAPProxy &proxy, const char *unknownCode, bool endOfInputIsUnknown)
{
    const ordiniws::Failure failure = ordiniws::failure(proxy, unknownCode, endOfInputIsUnknown);
    throw Ordine::OrdineException(failure.code, failure.message);
}

// New orders, each with a default customer, filled from the listed elements.
std::vector<Ordine *> ordersFrom(const ordini__listaOrdiniResponseType *list)
{
    std::vector<std::unique_ptr<Ordine>> orders;
    if (list) {
        for (const ordini__Ordine *element : list->Ordini) {
            if (!element)
                continue;
            orders.push_back(std::make_unique<Ordine>(nullptr));
            orders.back()->bindFrom(element);
        }
    }
    std::vector<Ordine *> result;
    result.reserve(orders.size());
    for (auto &order : orders)
        result.push_back(order.release());
    return result;
}

} // namespace

Ordine::OrdineException::OrdineException(std::string code, std::string message)
    : Korvex2Exception(std::move(code), std::move(message))
{
}

Ordine::Ordine(Utente *cliente) : utente(new Utente()), proxy(ordiniws::newProxy())
{
    if (cliente)
        *utente = *cliente;
    data = std::time(nullptr);
    data_ultima_modifica = std::time(nullptr);
}

Ordine::~Ordine()
{
    proxy.reset();
    endpoint.reset();
    delete utente;
    deleteRighe();
}

void Ordine::deleteRighe()
{
    for (OrdineRiga *riga : righe)
        delete riga;
    righe.clear();
}

Ordine &Ordine::operator=(const Ordine &other)
{
    if (this == &other)
        return *this;
    cliente_finale = other.cliente_finale;
    guid = other.guid;
    note = other.note;
    numero = other.numero;
    stato = other.stato;

    deleteRighe();
    for (const OrdineRiga *source : other.righe) {
        if (!source)
            continue;
        switch (source->GetTipoRiga()) {
        case 2: {
            auto riga = std::make_unique<OrdineRigaStampa>(this);
            *riga = static_cast<const OrdineRigaStampa &>(*source);
            righe.push_back(riga.release());
            break;
        }
        case 1: {
            auto riga = std::make_unique<OrdineRigaFile>(this);
            *riga = static_cast<const OrdineRigaFile &>(*source);
            righe.push_back(riga.release());
            break;
        }
        case 0: {
            auto riga = std::make_unique<OrdineRiga>(this);
            *riga = *source;
            righe.push_back(riga.release());
            break;
        }
        default:
            break;
        }
    }

    *utente = *other.utente;
    data = other.data;
    data_ultima_modifica = other.data_ultima_modifica;
    spedizione = other.spedizione;
    totale = other.totale;
    return *this;
}

void Ordine::WSinit()
{
    ordiniws::prepare(*proxy, endpoint);
}

std::string Ordine::Getguid() const
{
    return guid;
}

void Ordine::Setguid(std::string newGuid)
{
    guid = std::move(newGuid);
}

void Ordine::bindTo(ordini__OrdineRequest *request) const
{
    request->cliente_finale = cliente_finale;
    request->id = guid;
    request->note = note;
    request->numero = numero;
    request->stato = stato;
    request->id_utente = utente->Getid();
    request->data = data;
    for (const OrdineRiga *riga : righe) {
        if (!riga)
            continue;
        switch (riga->GetTipoRiga()) {
        case 2: {
            auto *row = new ordini__OrdineRigaStampaRequest();
            request->righe_ordine.push_back(row);
            static_cast<const OrdineRigaStampa *>(riga)->bindTo(row);
            break;
        }
        case 1: {
            auto *row = new ordini__OrdineRigaFileRequest();
            request->righe_ordine.push_back(row);
            static_cast<const OrdineRigaFile *>(riga)->bindTo(row);
            break;
        }
        default: {
            auto *row = new ordini__OrdineRigaRequest();
            request->righe_ordine.push_back(row);
            riga->bindTo(row);
            break;
        }
        }
    }
}

void Ordine::bindFrom(const ordini__Ordine *element)
{
    if (!element)
        return;
    cliente_finale = element->cliente_finale;
    note = element->note;
    numero = element->numero;
    data = element->data;
    stato = element->stato;
    data_ultima_modifica = element->data_ultima_modifica;
    spedizione = element->spedizione;
    totale = element->totale;
    guid = element->id;
    if (element->utente)
        utente->bindFrom(element->utente);

    if (element->righe_ordine.empty())
        return;
    deleteRighe();
    for (const ordini__OrdineRiga *row : element->righe_ordine) {
        if (!row)
            continue;
        // The row's class follows its xsi:type; a kind that its class does not carry
        // yields no row.
        switch (row->tipo_riga) {
        case 2:
            if (row->soap_type() == SOAP_TYPE_ordini__OrdineRigaStampa) {
                auto riga = std::make_unique<OrdineRigaStampa>(this);
                riga->bindFrom(static_cast<const ordini__OrdineRigaStampa *>(row));
                righe.push_back(riga.release());
            }
            break;
        case 1:
            if (row->soap_type() == SOAP_TYPE_ordini__OrdineRigaFile) {
                auto riga = std::make_unique<OrdineRigaFile>(this);
                riga->bindFrom(static_cast<const ordini__OrdineRigaFile *>(row));
                righe.push_back(riga.release());
            }
            break;
        case 0: {
            auto riga = std::make_unique<OrdineRiga>(this);
            riga->bindFrom(row);
            righe.push_back(riga.release());
            break;
        }
        default:
            break;
        }
    }
}

namespace {

// An order request with its rows, which the request owns.
struct OrderRequest
{
    ordini__OrdineRequest order;
    ordini__OrdineRequestType wrapper;

    OrderRequest() { wrapper.OrdineRequest = &order; }
    ~OrderRequest()
    {
        for (ordini__OrdineRigaRequest *row : order.righe_ordine)
            delete row;
    }
    OrderRequest(const OrderRequest &) = delete;
    OrderRequest &operator=(const OrderRequest &) = delete;
};

} // namespace

bool Ordine::inserisci()
{
    OrderRequest request;
    bindTo(&request.order);
    WSinit();
    ordini__inserisciOrdineResponse answer;
    if (proxy->inserisciOrdine(&request.wrapper, answer) != SOAP_OK)
        raise(*proxy, codeOfInsertAndLists, false);
    const std::string newGuid = answer.inserisciOrdineResponse;
    ordiniws::release(*proxy);
    // an order without an id could never be found again: report it as the failure it is
    if (newGuid.empty())
        throw OrdineException(std::string(), ordiniws::unknownErrorMessage);
    guid = newGuid;
    return true;
}

bool Ordine::modifica()
{
    OrderRequest request;
    bindTo(&request.order);
    WSinit();
    ordini__modificaOrdineResponse answer;
    if (proxy->modificaOrdine(&request.wrapper, answer) != SOAP_OK)
        raise(*proxy, codeOfChanges, true);
    const bool result = answer.modificaOrdineResponse;
    ordiniws::release(*proxy);
    return result;
}

bool Ordine::cancella()
{
    WSinit();
    ordini__cancellaOrdineResponse answer;
    if (proxy->cancellaOrdine(guid, answer) != SOAP_OK)
        raise(*proxy, codeOfInsertAndLists, false);
    const bool result = answer.cancellaOrdineResponse;
    ordiniws::release(*proxy);
    return result;
}

std::vector<Ordine *> Ordine::listaSQL(int offset, int length, std::string filter,
                                       std::string order)
{
    ordini__listaRequestType request;
    request.offset = offset;
    request.length = length;
    request.filter = std::move(filter);
    request.order = std::move(order);
    WSinit();
    ordini__listaOrdiniResponse answer;
    if (proxy->listaOrdini(&request, answer) != SOAP_OK)
        raise(*proxy, codeOfInsertAndLists, false);
    std::vector<Ordine *> result = ordersFrom(answer.listaOrdiniResponse);
    ordiniws::release(*proxy);
    return result;
}

std::vector<Ordine *> Ordine::lista(std::map<std::string, std::string> campi)
{
    const korvexsoap::SqlFilter filter = korvexsoap::likeFilter(campi);
    if (!filter.ok())
        throw OrdineException(std::string(), filter.error);
    return listaSQL(0, 0, filter.text, std::string());
}

bool Ordine::init(std::string id)
{
    const korvexsoap::SqlFilter filter = korvexsoap::equalsFilter("id", id);
    if (!filter.ok())
        throw OrdineException(std::string(), filter.error);

    std::vector<std::unique_ptr<Ordine>> found;
    for (Ordine *order : listaSQL(0, 1, filter.text, std::string()))
        found.emplace_back(order);
    if (found.empty())
        return false;

    Ordine &first = *found.front();
    data = first.data;
    cliente_finale = first.cliente_finale;
    guid = first.guid;
    note = first.note;
    numero = first.numero;
    stato = first.stato;
    data_ultima_modifica = first.data_ultima_modifica;
    spedizione = first.spedizione;
    totale = first.totale;

    // The rows pass to this order: the listed order gives them up before it is deleted.
    deleteRighe();
    righe.swap(first.righe);
    for (OrdineRiga *riga : righe)
        riga->ordine = this;
    return true;
}

std::vector<Ordine *> Ordine::listaIntestazioni(std::string username, std::string cliente,
                                                int numeroDa, int numeroA, std::string dataDa,
                                                std::string dataA, std::vector<int> stati,
                                                int limiteDa, int limiteA, std::string endUser)
{
    ordini__listaOrdiniIntestazioneRequestType request;
    request.username = std::move(username);
    request.cliente = std::move(cliente);
    request.numeroDa = numeroDa;
    request.numeroA = numeroA;
    request.dataDa = std::move(dataDa);
    request.dataA = std::move(dataA);
    request.stati = std::move(stati);
    request.limiteDa = limiteDa;
    request.limiteA = limiteA;
    request.endUser = std::move(endUser);
    WSinit();
    ordini__listaOrdiniIntestazioneResponse answer;
    if (proxy->listaOrdiniIntestazione(&request, answer) != SOAP_OK)
        raise(*proxy, codeOfInsertAndLists, false);
    std::vector<Ordine *> result = ordersFrom(answer.listaOrdiniIntestazioneResponse);
    ordiniws::release(*proxy);
    return result;
}

bool Ordine::impostaStato(Ordini::StatoOrdine nuovoStato)
{
    ordini__impostaStatoOrdineRequestType request;
    request.IdOrdine = guid;
    request.Stato = static_cast<int>(nuovoStato);
    WSinit();
    ordini__impostaStatoOrdineResponse answer;
    if (proxy->impostaStatoOrdine(&request, answer) != SOAP_OK)
        raise(*proxy, codeOfChanges, true);
    const bool result = answer.impostaStatoOrdineResponse;
    ordiniws::release(*proxy);
    if (result) {
        stato = static_cast<int>(nuovoStato);
        data_ultima_modifica = std::time(nullptr);
    }
    return result;
}

std::vector<Ordine::StatoOrdineLabel> Ordine::listaEtichetteStatiOrdine()
{
    WSinit();
    ordini__listaStatiOrdineResponse answer;
    if (proxy->listaStatiOrdine(answer) != SOAP_OK)
        raise(*proxy, codeOfStateLabels, true);
    std::vector<StatoOrdineLabel> labels;
    if (answer.listaStatiOrdineResponse) {
        for (const ordini__StatoOrdine *entry : answer.listaStatiOrdineResponse->statiOrdine) {
            if (entry)
                labels.push_back({entry->stato, entry->label});
        }
    }
    ordiniws::release(*proxy);
    return labels;
}

// Date and time texts

namespace {

bool isSeparator(char c)
{
    return c != '\0' && std::strchr(" -:/\\T+", c) != nullptr;
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Reads up to maxDigits decimal digits at text[*pos]; -1 when there is none.
int readNumber(const std::string &text, std::size_t *pos, std::size_t maxDigits)
{
    std::size_t start = *pos;
    int value = 0;
    while (*pos < text.size() && *pos - start < maxDigits && isDigit(text[*pos]))
        value = value * 10 + (text[(*pos)++] - '0');
    return *pos == start ? -1 : value;
}

// The zone designator after the seconds: "Z", or a sign with hours and optional minutes
// ("+02:00", "-0530", "+02"). Returns false when the text names none.
bool readOffset(const std::string &text, std::size_t pos, long *offsetSeconds)
{
    // a fraction of a second is skipped
    if (pos < text.size() && (text[pos] == '.' || text[pos] == ',')) {
        ++pos;
        while (pos < text.size() && isDigit(text[pos]))
            ++pos;
    }
    while (pos < text.size() && text[pos] == ' ')
        ++pos;
    if (pos >= text.size())
        return false;
    if (text[pos] == 'Z' || text[pos] == 'z') {
        *offsetSeconds = 0;
        return true;
    }
    if (text[pos] != '+' && text[pos] != '-')
        return false;
    const int sign = text[pos] == '-' ? -1 : 1;
    ++pos;
    const int hours = readNumber(text, &pos, 2);
    if (hours < 0)
        return false;
    if (pos < text.size() && text[pos] == ':')
        ++pos;
    const int minutes = readNumber(text, &pos, 2);
    *offsetSeconds = sign * (hours * 3600L + (minutes < 0 ? 0 : minutes) * 60L);
    return true;
}

} // namespace

time_t Ordine::stringToTimestamp(std::string text)
{
    if (text.empty())
        return 0;
    if (text.size() < 19)
        throw std::out_of_range("Ordine::stringToTimestamp: \"" + text + "\" is not a date and time");

    // year, month, day, hour, minute, second: digit runs between separators
    int fields[6] = {};
    std::size_t pos = 0;
    for (int &field : fields) {
        while (pos < text.size() && isSeparator(text[pos]))
            ++pos;
        const int value = readNumber(text, &pos, 9);
        field = value < 0 ? 0 : value;
        if (&field != &fields[5]) {
            while (pos < text.size() && !isSeparator(text[pos]))
                ++pos;
        }
    }

    struct tm broken = {};
    broken.tm_year = fields[0] - 1900;
    broken.tm_mon = fields[1] - 1;
    broken.tm_mday = fields[2];
    broken.tm_hour = fields[3];
    broken.tm_min = fields[4];
    broken.tm_sec = fields[5];

    long offsetSeconds = 0;
    if (readOffset(text, pos, &offsetSeconds))
        return timegm(&broken) - offsetSeconds;
    broken.tm_isdst = -1; // the C library knows whether daylight saving is in force
    return std::mktime(&broken);
}

std::string Ordine::timestampToString(long seconds)
{
    const time_t when = static_cast<time_t>(seconds);
    struct tm broken = {};
    if (!localtime_r(&when, &broken))
        return std::string();
    char text[64];
    if (std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &broken) == 0)
        return std::string();

    long offset = broken.tm_gmtoff; // seconds east of UTC in force at that instant
    const char sign = offset < 0 ? '-' : '+';
    if (offset < 0)
        offset = -offset;
    char zone[48];
    std::snprintf(zone, sizeof zone, "%c%02ld:%02ld", sign, offset / 3600, (offset % 3600) / 60);
    return std::string(text) + zone;
}
