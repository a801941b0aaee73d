#pragma once

#include <memory>
#include <string>

#include "korvex2.h"
#include "korvex2_export.h"
#include "korvex2exception.h"

class korvex2SOAPProxy;

// The latest version of one component that the update service offers.
struct AggiornamentoItem
{
    korvex2__IdComponenteType componente = korvex2__IdComponenteType__InstallatoreProgramma;
    int major = 0;
    int minor = 0;
    int build = 0;
    std::string url; // download address of the update file (UTF-8)
};

// Client of the updates part of the settings-and-updates service (korvex2:: globals).
class KORVEX2_EXPORT Aggiornamento
{
public:
    class KORVEX2_EXPORT AggiornamentoException : public Korvex2Exception
    {
    public:
        AggiornamentoException(std::string code, std::string message);
    };

    Aggiornamento();
    ~Aggiornamento();
    Aggiornamento(const Aggiornamento &) = delete;
    Aggiornamento &operator=(const Aggiornamento &) = delete;

    // Asks the service for the latest update of the component. The answer names the
    // component it describes, which may differ from the one asked for. Throws
    // AggiornamentoException as Impostazione::ottieniImpostazioniServerFTP does.
    AggiornamentoItem ottieniAggiornamento(korvex2__IdComponenteType componente);

private:
    std::unique_ptr<korvex2SOAPProxy> m_proxy;
};
