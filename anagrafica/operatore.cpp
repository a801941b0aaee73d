#include "operatore.h"

#include <memory>
#include <utility>

#include "accountlist.h"
#include "servicecall.h"
#include "soapaccountSOAPProxy.h"
#include "sqlfilter.h"

namespace {

const char *const notFoundMessage = "Impossibile inizializzare operatore.\nUsername not found.";
const char *const loginMessage = "Impossibile effettuare il login.\nAccount operatore non trovato.";
const char *const noIdMessage = "Impossibile salvare operatore.\nIl servizio non ha restituito un id.";

} // namespace

Operatore::OperatoreException::OperatoreException(std::string code, std::string message)
    : Korvex2Exception(std::move(code), std::move(message))
{
}

Operatore::Operatore() = default;

Operatore::Operatore(std::string username)
{
    if (!init(std::move(username)))
        throw OperatoreException(std::string(), notFoundMessage);
}

Operatore::~Operatore() = default;

void Operatore::copyDataFrom(const Operatore &other)
{
    password = other.password;
    stato_account = other.stato_account;
    username = other.username;
    autorizzazioni = other.autorizzazioni;
    Setid(other.Getid());
    codice_operatore = other.codice_operatore;
    cognome = other.cognome;
    email = other.email;
    nome = other.nome;
    tel_cell = other.tel_cell;
    tel_fisso = other.tel_fisso;
}

bool Operatore::login(std::string username, std::string password)
{
    WSinit();
    account__Authentication request;
    request.isOperator = true;
    request.username = std::move(username);
    request.password = std::move(password);
    account__loginResponse response;

    ServiceCall call(proxy);
    call.check<OperatoreException>(proxy->login(&request, response));
    // No account, a bare account or a customer is a failed login.
    const account__Account *account = response.loginResponse;
    if (!account || account->soap_type() != SOAP_TYPE_account__Operatore)
        throw OperatoreException(std::string(), loginMessage);
    bindFrom(static_cast<const account__Operatore *>(account));
    return true;
}

bool Operatore::inserisci()
{
    WSinit();
    {
        account__Operatore record;
        bindTo(&record);
        account__inserisciOperatoreRequestType request;
        request.Operatore = &record;
        account__inserisciOperatoreResponse response;

        ServiceCall call(proxy);
        call.check<OperatoreException>(proxy->inserisciOperatore(&request, response));
        if (response.inserisciOperatoreResponse <= 0)
            throw OperatoreException(std::string(), noIdMessage);
        Setid(response.inserisciOperatoreResponse);
    }
    // The operator is in; a failure to advance the code counter still throws, with the
    // new id kept.
    incrementaCodiceOperatore();
    return true;
}

bool Operatore::modifica()
{
    WSinit();
    account__Operatore record;
    bindTo(&record);
    account__modificaOperatoreRequestType request;
    request.Operatore = &record;
    account__modificaOperatoreResponse response;

    ServiceCall call(proxy);
    call.check<OperatoreException>(proxy->modificaOperatore(&request, response));
    return response.modificaOperatoreResponse;
}

bool Operatore::cancella()
{
    WSinit();
    account__cancellaOperatoreResponse response;

    ServiceCall call(proxy);
    call.check<OperatoreException>(proxy->cancellaOperatore(Getid(), response));
    return response.cancellaOperatoreResponse;
}

bool Operatore::esiste(std::string valore)
{
    WSinit();
    account__esisteOperatoreResponse response;

    ServiceCall call(proxy);
    call.check<OperatoreException>(proxy->esisteOperatore(valore, response));
    return response.esisteOperatoreResponse;
}

int Operatore::prossimoCodiceOperatore()
{
    WSinit();
    account__prossimoCodiceOperatoreResponse response;

    ServiceCall call(proxy);
    call.check<OperatoreException>(proxy->prossimoCodiceOperatore(response));
    return response.prossimoCodiceOperatoreResponse;
}

bool Operatore::incrementaCodiceOperatore()
{
    WSinit();
    account__incrementaCodiceOperatoreResponse response;

    ServiceCall call(proxy);
    call.check<OperatoreException>(proxy->incrementaCodiceOperatore(response));
    return response.incrementaCodiceOperatoreResponse;
}

std::vector<Account *> Operatore::listaSQL(int offset, int length, std::string filter,
                                           std::string order)
{
    WSinit();
    account__listaOperatoriRequestType request;
    request.offset = offset;
    request.length = length;
    request.filter = std::move(filter);
    request.order = std::move(order);
    account__listaOperatoriResponse response;

    ServiceCall call(proxy);
    call.check<OperatoreException>(proxy->listaOperatori(&request, response));

    // An answer without its list is an empty result.
    const account__listaOperatoriResponseType *list = response.listaOperatoriResponse;
    return list ? accountlist::fromRecords<Operatore>(list->Operatori) : std::vector<Account *>();
}

std::vector<Account *> Operatore::lista(std::map<std::string, std::string> campi)
{
    korvexsoap::SqlFilter filter = korvexsoap::likeFilter(campi);
    if (!filter.ok())
        throw OperatoreException(std::string(), std::move(filter.error));
    return listaSQL(0, 0, std::move(filter.text), std::string());
}

bool Operatore::init(std::string username)
{
    // LIKE also matches patterns and, on some servers, other letter case: take the
    // operator whose user name is this very one.
    const std::unique_ptr<Operatore> match =
        accountlist::withUsername<Operatore>(lista({{"username", username}}), username);
    if (!match)
        return false;
    copyDataFrom(*match);
    return true;
}

void Operatore::bindFrom(const account__Operatore *record)
{
    if (!record)
        return;
    Setid(record->id);
    username = record->username;
    password = record->password;
    stato_account = record->stato_account;
    autorizzazioni = record->autorizzazioni;
    codice_operatore = record->codice_operatore;
    nome = record->nome;
    cognome = record->cognome;
    email = record->email;
    tel_fisso = record->tel_fisso;
    tel_cell = record->tel_cell;
}

void Operatore::bindTo(account__Operatore *record) const
{
    if (!record)
        return;
    record->id = Getid();
    record->username = username;
    record->password = password;
    record->stato_account = stato_account;
    record->autorizzazioni = autorizzazioni;
    record->codice_operatore = codice_operatore;
    record->nome = nome;
    record->cognome = cognome;
    record->email = email;
    record->tel_fisso = tel_fisso;
    record->tel_cell = tel_cell;
}
