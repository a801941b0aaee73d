#include "ordinerigastampa.h"

#include "ordinerigacall.h"

OrdineRigaStampa::OrdineRigaStampaException::OrdineRigaStampaException(std::string code,
                                                                       std::string message)
    : Korvex2Exception(std::move(code), std::move(message))
{
}

OrdineRigaStampa::OrdineRigaStampa(Ordine *ordine) : OrdineRiga(ordine, 2) {}

OrdineRigaStampa::~OrdineRigaStampa() = default;

OrdineRigaStampa &OrdineRigaStampa::operator=(const OrdineRigaStampa &other)
{
    if (this == &other)
        return *this;
    OrdineRiga::operator=(other);
    file = other.file;
    stampa = other.stampa;
    return *this;
}

void OrdineRigaStampa::bindTo(ordini__OrdineRigaStampaRequest *riga) const
{
    OrdineRiga::bindTo(riga);
    riga->id_file = file.Getid();
    riga->id_stampa = stampa.Getid();
}

void OrdineRigaStampa::bindFrom(const ordini__OrdineRigaStampa *riga)
{
    if (!riga)
        return;
    OrdineRiga::bindFrom(riga);
    file.bindFrom(riga->file);
    stampa.bindFrom(riga->stampa);
}

bool OrdineRigaStampa::inserisci()
{
    ordini__OrdineRigaStampaRequest riga;
    bindTo(&riga);
    return inserisciRiga<OrdineRigaStampaException>(&riga);
}

bool OrdineRigaStampa::modifica()
{
    ordini__OrdineRigaStampaRequest riga;
    bindTo(&riga);
    return modificaRiga<OrdineRigaStampaException>(&riga);
}

bool OrdineRigaStampa::cancella()
{
    return cancellaRiga<OrdineRigaStampaException>();
}
