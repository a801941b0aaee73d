#include "utente.h"

#include <algorithm>
#include <memory>
#include <utility>

#include "accountlist.h"
#include "servicecall.h"
#include "soapaccountSOAPProxy.h"
#include "sqlfilter.h"

namespace {

constexpr std::size_t maskEntries = 8;

const char *const notFoundMessage = "Impossibile inizializzare utente.\nUsername not found.";
const char *const loginMessage = "Impossibile effettuare il login.\nAccount utente non trovato.";
const char *const noIdMessage = "Impossibile salvare utente.\nIl servizio non ha restituito un id.";

} // namespace

Utente::UtenteException::UtenteException(std::string code, std::string message)
    : Korvex2Exception(std::move(code), std::move(message))
{
}

Utente::Utente() = default;

Utente::Utente(std::string username)
{
    if (!init(std::move(username)))
        throw UtenteException(std::string(), notFoundMessage);
}

Utente::~Utente() = default;

Utente &Utente::operator=(const Utente &other)
{
    password = other.password;
    stato_account = other.stato_account;
    username = other.username;
    autorizzazioni = other.autorizzazioni;
    Setid(other.Getid());
    cap = other.cap;
    cf = other.cf;
    citta = other.citta;
    codice_utente = other.codice_utente;
    cognome = other.cognome;
    email = other.email;
    fax = other.fax;
    indirizzo = other.indirizzo;
    nome = other.nome;
    piva = other.piva;
    provincia = other.provincia;
    ragione_sociale = other.ragione_sociale;
    tel_cell = other.tel_cell;
    tel_fisso = other.tel_fisso;
    notifiche = other.notifiche;
    pagamento = other.pagamento;
    spedizione = other.spedizione;
    return *this;
}

bool Utente::login(std::string username, std::string password)
{
    WSinit();
    account__Authentication request;
    request.isOperator = false;
    request.username = std::move(username);
    request.password = std::move(password);
    account__loginResponse response;

    ServiceCall call(proxy);
    call.check<UtenteException>(proxy->login(&request, response));
    // The record is our own binding's: its class tells whether the service answered with
    // a customer. No account, a bare account or an operator is a failed login.
    const account__Account *account = response.loginResponse;
    if (!account || account->soap_type() != SOAP_TYPE_account__Utente)
        throw UtenteException(std::string(), loginMessage);
    bindFrom(static_cast<const account__Utente *>(account));
    return true;
}

bool Utente::richiestaResetPassword(std::string username)
{
    WSinit();
    account__recuperaPasswordUtenteRequestType request;
    request.username = std::move(username);
    account__recuperaPasswordUtenteResponse response;

    ServiceCall call(proxy);
    call.check<UtenteException>(proxy->recuperaPasswordUtente(&request, response));
    return response.recuperaPasswordUtenteResponse;
}

bool Utente::resetPassword(std::string codiceRecupero)
{
    WSinit();
    account__recuperaPasswordUtenteRequestType request;
    request.codice_recupero = std::move(codiceRecupero);
    account__recuperaPasswordUtenteResponse response;

    ServiceCall call(proxy);
    call.check<UtenteException>(proxy->recuperaPasswordUtente(&request, response));
    return response.recuperaPasswordUtenteResponse;
}

bool Utente::registraUtente()
{
    WSinit();
    account__registrazioneUtenteRequestType request;
    bindTo(&request);
    account__registrazioneUtenteResponse response;

    ServiceCall call(proxy);
    call.check<UtenteException>(proxy->registrazioneUtente(&request, response));
    if (response.registrazioneUtenteResponse <= 0)
        throw UtenteException(std::string(), noIdMessage);
    Setid(response.registrazioneUtenteResponse);
    return true;
}

bool Utente::inserisci()
{
    WSinit();
    {
        account__Utente record;
        bindTo(&record);
        account__inserisciUtenteRequestType request;
        request.Utente = &record;
        account__inserisciUtenteResponse response;

        ServiceCall call(proxy);
        call.check<UtenteException>(proxy->inserisciUtente(&request, response));
        if (response.inserisciUtenteResponse <= 0)
            throw UtenteException(std::string(), noIdMessage);
        Setid(response.inserisciUtenteResponse);
    }
    // The customer is in; a failure to advance the code counter still throws, with the
    // new id kept.
    incrementaCodiceUtente();
    return true;
}

bool Utente::modifica()
{
    WSinit();
    account__Utente record;
    bindTo(&record);
    account__modificaUtenteRequestType request;
    request.Utente = &record;
    account__modificaUtenteResponse response;

    ServiceCall call(proxy);
    call.check<UtenteException>(proxy->modificaUtente(&request, response));
    return response.modificaUtenteResponse;
}

bool Utente::cancella()
{
    WSinit();
    account__cancellaUtenteResponse response;

    ServiceCall call(proxy);
    call.check<UtenteException>(proxy->cancellaUtente(Getid(), response));
    return response.cancellaUtenteResponse;
}

bool Utente::esiste(std::string valore)
{
    WSinit();
    account__esisteUtenteResponse response;

    ServiceCall call(proxy);
    call.check<UtenteException>(proxy->esisteUtente(valore, response));
    return response.esisteUtenteResponse;
}

int Utente::prossimoCodiceUtente()
{
    WSinit();
    account__prossimoCodiceUtenteResponse response;

    ServiceCall call(proxy);
    call.check<UtenteException>(proxy->prossimoCodiceUtente(response));
    return response.prossimoCodiceUtenteResponse;
}

bool Utente::incrementaCodiceUtente()
{
    WSinit();
    account__incrementaCodiceUtenteResponse response;

    ServiceCall call(proxy);
    call.check<UtenteException>(proxy->incrementaCodiceUtente(response));
    return response.incrementaCodiceUtenteResponse;
}

std::vector<Account *> Utente::listaSQL(int offset, int length, std::string filter,
                                        std::string order)
{
    WSinit();
    account__listaUtentiRequestType request;
    request.offset = offset;
    request.length = length;
    request.filter = std::move(filter);
    request.order = std::move(order);
    account__listaUtentiResponse response;

    ServiceCall call(proxy);
    call.check<UtenteException>(proxy->listaUtenti(&request, response));

    // An answer without its list is an empty result.
    const account__listaUtentiResponseType *list = response.listaUtentiResponse;
    return list ? accountlist::fromRecords<Utente>(list->Utenti) : std::vector<Account *>();
}

std::vector<Account *> Utente::lista(std::map<std::string, std::string> campi)
{
    korvexsoap::SqlFilter filter = korvexsoap::likeFilter(campi);
    if (!filter.ok())
        throw UtenteException(std::string(), std::move(filter.error));
    return listaSQL(0, 0, std::move(filter.text), std::string());
}

bool Utente::init(std::string username)
{
    // LIKE also matches patterns and, on some servers, other letter case: take the
    // customer whose user name is this very one.
    const std::unique_ptr<Utente> match =
        accountlist::withUsername<Utente>(lista({{"username", username}}), username);
    if (!match)
        return false;
    *this = *match;
    return true;
}

void Utente::bindFrom(const account__Utente *record)
{
    if (!record)
        return;
    Setid(record->id);
    username = record->username;
    password = record->password;
    autorizzazioni = record->autorizzazioni;
    stato_account = record->stato_account;
    codice_utente = record->codice_utente;
    nome = record->nome;
    cognome = record->cognome;
    ragione_sociale = record->ragione_sociale;
    cap = record->cap;
    cf = record->cf;
    citta = record->citta;
    email = record->email;
    fax = record->fax;
    indirizzo = record->indirizzo;
    piva = record->piva;
    provincia = record->provincia;
    tel_fisso = record->tel_fisso;
    tel_cell = record->tel_cell;
    notifiche = record->notifiche;
    pagamento = record->pagamento;
    spedizione = record->spedizione;
}

void Utente::bindTo(account__Utente *record) const
{
    if (!record)
        return;
    record->id = Getid();
    record->username = username;
    record->password = password;
    record->autorizzazioni = autorizzazioni;
    record->stato_account = stato_account;
    record->codice_utente = codice_utente;
    record->nome = nome;
    record->cognome = cognome;
    record->ragione_sociale = ragione_sociale;
    record->cap = cap;
    record->cf = cf;
    record->citta = citta;
    record->email = email;
    record->fax = fax;
    record->indirizzo = indirizzo;
    record->piva = piva;
    record->provincia = provincia;
    record->tel_fisso = tel_fisso;
    record->tel_cell = tel_cell;
    record->notifiche = notifiche;
    record->pagamento = pagamento;
    record->spedizione = spedizione;
}

void Utente::bindTo(account__registrazioneUtenteRequestType *record) const
{
    if (!record)
        return;
    record->username = username;
    record->password = password;
    record->nome = nome;
    record->cognome = cognome;
    record->ragione_sociale = ragione_sociale;
    record->cap = cap;
    record->cf = cf;
    record->citta = citta;
    record->email = email;
    record->fax = fax;
    record->indirizzo = indirizzo;
    record->piva = piva;
    record->provincia = provincia;
    record->tel_fisso = tel_fisso;
    record->tel_cell = tel_cell;
    record->notifiche = notifiche;
}

bool Utente::abilitaNotifica(Anagrafica::Notifica notifica)
{
    notifiche |= notifica;
    return true;
}

bool Utente::disabilitaNotifica(Anagrafica::Notifica notifica)
{
    notifiche &= ~notifica;
    return true;
}

bool Utente::controllaNotifica(Anagrafica::Notifica notifica) const
{
    return (notifiche & notifica) == notifica;
}

bool Utente::impostaNotifiche(const Anagrafica::Notifica *valori, std::size_t count)
{
    if (!valori)
        return false;
    int mask = 0;
    for (std::size_t i = 0; i < std::min(count, maskEntries); ++i)
        mask |= valori[i];
    notifiche = mask;
    return true;
}
