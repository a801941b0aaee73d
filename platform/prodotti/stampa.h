#pragma once

#include <memory>
#include <optional>
#include <string>

#include "articolo.h"
#include "korvex2exception.h"
#include "prodotti_export.h"

class prodotti__Stampa;
class prodottiSOAPProxy;

// A print product of the catalogue: a format on a paper, printed by a department.
class PRODOTTI_EXPORT Stampa : public Articolo
{
public:
    class PRODOTTI_EXPORT StampaException : public Korvex2Exception
    {
    public:
        StampaException(std::string code, std::string message);
    };

    struct Carta
    {
        int id = 0;
        std::string codice_carta;
        std::string nome;
    };

    struct Formato
    {
        int id = 0;
        std::string codice_formato;
        std::string nome;
        int larghezza = 0;
        int altezza = 0;
        int dpi = 0;
    };

    struct Reparto
    {
        int id = 0;
        std::string nome;
        std::string percorso;
        std::string tipo;
        std::string canale_numero;
    };

    Stampa();
    ~Stampa();
    Stampa(const Stampa &) = delete;
    // Copies the product's data; each object keeps its own service client.
    Stampa &operator=(const Stampa &other);

    // Loads the product with this id from the catalogue service. Returns whether it can
    // be ordered: false for an id the service does not know (nothing changes) and for a
    // withdrawn (archived) product, which is loaded all the same. A failed call throws
    // StampaException with the fault code and string.
    bool init(int id);

    // Takes the product's data from a catalogue record (null leaves it unchanged).
    void bindFrom(const prodotti__Stampa *stampa);

    std::string codice_stampa;
    bool archiviato = false;
    std::optional<Carta> carta;
    std::optional<Formato> formato;
    std::optional<Reparto> reparto;

private:
    void WSinit();

    std::unique_ptr<prodottiSOAPProxy> m_proxy; // made at the first call
    std::string m_endpoint;
};
