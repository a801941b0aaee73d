#pragma once

#include <string>

#include "prodotti.h"
#include "prodotti_export.h"

// An article of the laboratory's catalogue.
class PRODOTTI_EXPORT Articolo : public Prodotti
{
public:
    int Getid() const;

    int id = 0;
    std::string nome;
    std::string descrizione;
    float prezzo = 0;
};
