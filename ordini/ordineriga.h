#pragma once

#include <memory>
#include <string>

#include "korvex2exception.h"
#include "ordini.h"
#include "ordini_export.h"

class Ordine;
class ordini__OrdineRiga;
class ordini__OrdineRigaRequest;
class ordiniSOAPProxy;

// A plain row of an order; base of the file row and the print row.
class ORDINI_EXPORT OrdineRiga : public Ordini
{
public:
    class ORDINI_EXPORT OrdineRigaException : public Korvex2Exception
    {
    public:
        OrdineRigaException(std::string code, std::string message);
    };

    // The row belongs to this order (not owned; may be null) and is not added to it.
    explicit OrdineRiga(Ordine *ordine);
    virtual ~OrdineRiga();
    virtual bool cancella();
    virtual bool inserisci();
    virtual bool modifica();

    OrdineRiga(const OrdineRiga &) = delete;
    // Takes the row's data; the target keeps its own order, kind and service client.
    OrdineRiga &operator=(const OrdineRiga &other);

    void WSinit();
    std::string Getguid() const;
    void Setguid(std::string guid);
    int GetTipoRiga() const;
    void bindTo(ordini__OrdineRigaRequest *riga) const;
    void bindFrom(const ordini__OrdineRiga *riga);

    std::string codice_articolo;
    std::string descrizione;
    Ordine *ordine;
    float prezzo = 0;
    int quantita = 0;

protected:
    OrdineRiga(Ordine *ordine, int tipoRiga);

    // One call of the row operations, failing with the exception class E.
    template <class E> bool inserisciRiga(ordini__OrdineRigaRequest *riga);
    template <class E> bool modificaRiga(ordini__OrdineRigaRequest *riga);
    template <class E> bool cancellaRiga();

    int tipo_riga;

private:
    std::unique_ptr<std::string> endpoint;

public:
    std::string guid;

private:
    std::unique_ptr<ordiniSOAPProxy> proxy;
};
