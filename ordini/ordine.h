#pragma once

#include <ctime>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "korvex2exception.h"
#include "ordini.h"
#include "ordini_export.h"

class OrdineRiga;
class Utente;
class ordini__Ordine;
class ordini__OrdineRequest;
class ordiniSOAPProxy;

// An order of a customer held on the laboratory's server: header, customer and rows.
class ORDINI_EXPORT Ordine : public Ordini
{
public:
    class ORDINI_EXPORT OrdineException : public Korvex2Exception
    {
    public:
        OrdineException(std::string code, std::string message);
    };

    struct StatoOrdineLabel
    {
        int stato;
        std::string label;
    };

    // An order of a copy of this customer (a default customer when null); the caller
    // keeps its own record.
    explicit Ordine(Utente *utente);
    virtual ~Ordine();
    Ordine(const Ordine &) = delete;
    // Takes the header, the customer's data and copies of the rows; the target keeps its
    // own service client.
    Ordine &operator=(const Ordine &other);

    bool inserisci();
    bool modifica();
    bool cancella();
    bool init(std::string guid);
    // New orders, owned by the caller.
    std::vector<Ordine *> listaSQL(int offset, int length, std::string filter, std::string order);
    std::vector<Ordine *> lista(std::map<std::string, std::string> campi);
    std::vector<Ordine *> listaIntestazioni(std::string username, std::string cliente,
                                            int numeroDa, int numeroA, std::string dataDa,
                                            std::string dataA, std::vector<int> stati,
                                            int limiteDa, int limiteA, std::string endUser);
    // Changes stato and data_ultima_modifica only when the service answers true.
    bool impostaStato(Ordini::StatoOrdine stato);
    std::vector<StatoOrdineLabel> listaEtichetteStatiOrdine();

    // Fills the request and appends one new request row per row, which the caller deletes.
    void bindTo(ordini__OrdineRequest *request) const;
    void bindFrom(const ordini__Ordine *ordine);

    // ISO 8601 text to seconds since 1970. A "Z" or a numeric offset after the time is
    // honoured; a text without one is local time. The empty text gives 0; any other text
    // under 19 characters throws std::out_of_range.
    static time_t stringToTimestamp(std::string text);
    // Local time of these seconds as "yyyy-MM-ddTHH:mm:ss" followed by the offset in force
    // at that instant, "+HH:MM" or "-HH:MM"; the empty text when the time cannot be shown.
    static std::string timestampToString(long seconds);

    std::string Getguid() const;
    void Setguid(std::string guid);

    void WSinit();

    std::string cliente_finale;
    time_t data;
    time_t data_ultima_modifica;
    std::string note;
    int numero = 0;
    std::vector<OrdineRiga *> righe; // owned
    int stato = Ordini::Nuovo;
    Utente *utente;                  // owned, never null
    float spedizione = 0;
    float totale = 0;

private:
    std::unique_ptr<std::string> endpoint;

public:
    std::string guid;

private:
    void deleteRighe();

    std::unique_ptr<ordiniSOAPProxy> proxy;
};
