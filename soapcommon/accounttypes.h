// The account records, declared once for the two bindings that carry them: the account
// service writes their children unqualified, the orders service qualified (each binding's
// interface header sets the account schema's elementForm).

class account__Account
{
public:
    xsd__int id 1;
    std::string username 1;
    std::string password 1;
    xsd__int autorizzazioni 1;
    xsd__int stato_account `stato_account` 1;
    struct soap *soap;
};

class account__Utente : public account__Account
{
public:
    std::string codice_utente `codice_utente` 1;
    std::string nome 1;
    std::string cognome 1;
    std::string ragione_sociale `ragione_sociale` 1;
    std::string cap 1;
    std::string cf 1;
    std::string citta 1;
    std::string email 1;
    std::string fax 1;
    std::string indirizzo 1;
    std::string piva 1;
    std::string provincia 1;
    std::string tel_fisso `tel_fisso` 1;
    std::string tel_cell `tel_cell` 1;
    xsd__int notifiche 1;
    xsd__int pagamento 1;
    float spedizione 1;
};

class account__Operatore : public account__Account
{
public:
    std::string codice_operatore `codice_operatore` 1;
    std::string nome 1;
    std::string cognome 1;
    std::string email 1;
    std::string tel_fisso `tel_fisso` 1;
    std::string tel_cell `tel_cell` 1;
};
