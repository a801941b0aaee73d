#include "ordineriga.h"

#include "ordine.h"
#include "ordinerigacall.h"

OrdineRiga::OrdineRigaException::OrdineRigaException(std::string code, std::string message)
    : Korvex2Exception(std::move(code), std::move(message))
{
}

OrdineRiga::OrdineRiga(Ordine *ordine) : OrdineRiga(ordine, 0) {}

OrdineRiga::OrdineRiga(Ordine *parent, int tipoRiga)
    : ordine(parent), tipo_riga(tipoRiga), proxy(ordiniws::newProxy())
{
}

OrdineRiga::~OrdineRiga() = default;

OrdineRiga &OrdineRiga::operator=(const OrdineRiga &other)
{
    if (this == &other)
        return *this;
    codice_articolo = other.codice_articolo;
    descrizione = other.descrizione;
    guid = other.guid;
    prezzo = other.prezzo;
    quantita = other.quantita;
    return *this;
}

void OrdineRiga::WSinit()
{
    ordiniws::prepare(*proxy, endpoint);
}

std::string OrdineRiga::Getguid() const
{
    return guid;
}

void OrdineRiga::Setguid(std::string newGuid)
{
    guid = std::move(newGuid);
}

int OrdineRiga::GetTipoRiga() const
{
    return tipo_riga;
}

void OrdineRiga::bindTo(ordini__OrdineRigaRequest *riga) const
{
    riga->codice_articolo = codice_articolo;
    riga->descrizione = descrizione;
    riga->id = guid;
    // a row not yet given to an order sends an empty order id
    riga->id_ordine = ordine ? ordine->Getguid() : std::string();
    riga->prezzo = prezzo;
    riga->quantita = quantita;
}

void OrdineRiga::bindFrom(const ordini__OrdineRiga *riga)
{
    if (!riga)
        return;
    codice_articolo = riga->codice_articolo;
    descrizione = riga->descrizione;
    guid = riga->id;
    prezzo = riga->prezzo;
    quantita = riga->quantita;
}

bool OrdineRiga::inserisci()
{
    ordini__OrdineRigaRequest riga;
    bindTo(&riga);
    return inserisciRiga<OrdineRigaException>(&riga);
}

bool OrdineRiga::modifica()
{
    ordini__OrdineRigaRequest riga;
    bindTo(&riga);
    return modificaRiga<OrdineRigaException>(&riga);
}

bool OrdineRiga::cancella()
{
    return cancellaRiga<OrdineRigaException>();
}
