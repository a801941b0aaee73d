#pragma once

#include <string>

#include "file.h"
#include "ordineriga.h"
#include "ordini_export.h"
#include "stampa.h"

class ordini__OrdineRigaStampa;
class ordini__OrdineRigaStampaRequest;

// A row that prints an image file as a print product of the catalogue.
class ORDINI_EXPORT OrdineRigaStampa : public OrdineRiga
{
public:
    class ORDINI_EXPORT OrdineRigaStampaException : public Korvex2Exception
    {
    public:
        OrdineRigaStampaException(std::string code, std::string message);
    };

    explicit OrdineRigaStampa(Ordine *ordine);
    ~OrdineRigaStampa() override;
    bool cancella() override;
    bool inserisci() override;
    bool modifica() override;

    OrdineRigaStampa(const OrdineRigaStampa &) = delete;
    // Takes the row's data, the file record's data and the product.
    OrdineRigaStampa &operator=(const OrdineRigaStampa &other);

    void bindTo(ordini__OrdineRigaStampaRequest *riga) const;
    void bindFrom(const ordini__OrdineRigaStampa *riga);

    File file;
    Stampa stampa;
};
