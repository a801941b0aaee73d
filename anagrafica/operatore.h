#pragma once

#include <map>
#include <string>
#include <vector>

#include "account.h"
#include "anagrafica_export.h"
#include "korvex2exception.h"

class account__Operatore;

// A member of the laboratory's staff, with the operator operations of the account service.
class ANAGRAFICA_EXPORT Operatore : public Account
{
public:
    class ANAGRAFICA_EXPORT OperatoreException : public Korvex2Exception
    {
    public:
        OperatoreException(std::string code, std::string message);
    };

    Operatore();
    // Loads the operator with this user name; throws OperatoreException when there is none.
    explicit Operatore(std::string username);
    ~Operatore() override;

    bool cancella() override;
    bool esiste(std::string valore) override;
    // Loads the operator whose user name is exactly this one.
    bool init(std::string username) override;
    bool inserisci() override;
    std::vector<Account *> lista(std::map<std::string, std::string> campi) override;
    std::vector<Account *> listaSQL(int offset, int length, std::string filter,
                                    std::string order) override;
    bool modifica() override;

    virtual void bindFrom(const account__Operatore *record);
    virtual void bindTo(account__Operatore *record) const;

    bool login(std::string username, std::string password);
    int prossimoCodiceOperatore();
    bool incrementaCodiceOperatore();

    std::string codice_operatore;
    std::string cognome;
    std::string email;
    std::string nome;
    std::string tel_cell;
    std::string tel_fisso;

private:
    void copyDataFrom(const Operatore &other);
};
