#pragma once

#include <cstddef>
#include <map>
#include <string>
#include <vector>

#include "account.h"
#include "anagrafica_export.h"
#include "korvex2exception.h"

class account__Utente;
class account__registrazioneUtenteRequestType;

// The laboratory's customer: personal and contact data, notification choices, and the
// customer operations of the account service.
class ANAGRAFICA_EXPORT Utente : public Account
{
public:
    class ANAGRAFICA_EXPORT UtenteException : public Korvex2Exception
    {
    public:
        UtenteException(std::string code, std::string message);
    };

    Utente();
    // Loads the customer with this user name; throws UtenteException when there is none.
    explicit Utente(std::string username);
    ~Utente() override;
    Utente(const Utente &) = delete;
    // Copies the data fields only: this object keeps its own proxy and endpoint.
    Utente &operator=(const Utente &other);

    bool cancella() override;
    bool esiste(std::string valore) override;
    // Loads the customer whose user name is exactly this one.
    bool init(std::string username) override;
    bool inserisci() override;
    std::vector<Account *> lista(std::map<std::string, std::string> campi) override;
    std::vector<Account *> listaSQL(int offset, int length, std::string filter,
                                    std::string order) override;
    bool modifica() override;

    // Reads data members only: the record may come from another library's binding.
    virtual void bindFrom(const account__Utente *record);
    virtual void bindTo(account__Utente *record) const;
    virtual void bindTo(account__registrazioneUtenteRequestType *record) const;

    bool login(std::string username, std::string password);
    bool richiestaResetPassword(std::string username);
    bool resetPassword(std::string codiceRecupero);
    bool registraUtente();
    int prossimoCodiceUtente();
    bool incrementaCodiceUtente();

    bool abilitaNotifica(Anagrafica::Notifica notifica);
    bool disabilitaNotifica(Anagrafica::Notifica notifica);
    bool controllaNotifica(Anagrafica::Notifica notifica) const;
    // The mask becomes the OR of the first eight values (fewer when count is smaller).
    // false, and the mask unchanged, for a null array.
    bool impostaNotifiche(const Anagrafica::Notifica *valori, std::size_t count);

    std::string cap;
    std::string cf;
    std::string citta;
    std::string codice_utente;
    std::string cognome;
    std::string email;
    std::string fax;
    std::string indirizzo;
    std::string nome;
    std::string piva;
    std::string provincia;
    std::string ragione_sociale;
    std::string tel_cell;
    std::string tel_fisso;
    int notifiche = 0x7FF;
    int pagamento = 1;
    float spedizione = 0;
};
