#pragma once

#include <cstddef>
#include <map>
#include <string>
#include <vector>

#include "anagrafica.h"
#include "anagrafica_export.h"

class accountSOAPProxy;

// An account of the laboratory's account service: a data record and, through its own
// proxy, a client of the service. Each service operation of a subclass runs WSinit()
// and then one call of the proxy.
class ANAGRAFICA_EXPORT Account : public Anagrafica
{
public:
    Account();
    virtual ~Account();
    // The proxy and the endpoint text are this object's own: never shared with a copy.
    Account(const Account &) = delete;
    Account &operator=(const Account &) = delete;

    virtual bool cancella() = 0;
    virtual bool esiste(std::string valore) = 0;
    virtual bool init(std::string username) = 0;
    virtual bool inserisci() = 0;
    virtual std::vector<Account *> lista(std::map<std::string, std::string> campi) = 0;
    // The caller owns the returned accounts.
    virtual std::vector<Account *> listaSQL(int offset, int length, std::string filter,
                                            std::string order) = 0;
    virtual bool modifica() = 0;
    virtual bool revocaAutorizzazione(Anagrafica::Autorizzazione autorizzazione);

    // Points the proxy at the configured service (Anagrafica::WsEndpoint + "account.php",
    // or the last endpoint built when it is empty), sets the time-outs and attaches the
    // Authentication header when both user name and password are set, no header otherwise.
    void WSinit();

    bool aggiungiAutorizzazione(Anagrafica::Autorizzazione autorizzazione);
    bool controllaAutorizzazione(Anagrafica::Autorizzazione autorizzazione) const;
    // The mask becomes the OR of the first eight values (fewer when count is smaller).
    // false, and the mask unchanged, for a null array.
    bool impostaAutorizzazioni(const Anagrafica::Autorizzazione *valori, std::size_t count);

    int Getid() const;
    void Setid(int id);

    std::string password;
    int stato_account = 0;
    std::string username;
    int autorizzazioni = 0;
    int id = 0;

protected:
    accountSOAPProxy *proxy;
    std::string *endpoint = nullptr;
};
