#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "korvex2_export.h"
#include "korvex2exception.h"

class korvex2SOAPProxy;

// The FTP server to which the logged-in customer's files are uploaded. Strings are UTF-8.
struct ImpostazioniServerFTPItem
{
    std::string host;
    std::uint16_t porta = 0;
    std::string cartella;     // absolute, or relative to the login folder; empty: the login folder
    std::string username;
    std::string password;
    bool sovrascrivi = true;  // an upload replaces a remote file of the same name
    bool passivo = true;      // the server takes passive data connections
};

// Client of the settings part of the settings-and-updates service (korvex2:: globals).
class KORVEX2_EXPORT Impostazione
{
public:
    class KORVEX2_EXPORT ImpostazioneException : public Korvex2Exception
    {
    public:
        ImpostazioneException(std::string code, std::string message);
    };

    Impostazione();
    ~Impostazione();
    Impostazione(const Impostazione &) = delete;
    Impostazione &operator=(const Impostazione &) = delete;

    // Asks the service for the FTP server settings of the customer whose credentials are
    // in korvex2::WsUsername and WsPassword. Throws ImpostazioneException: the fault code
    // and string of a service fault, "SOAP-ENV:Client" and the runtime's text for a
    // transport failure, an empty code for an answer that cannot be used.
    ImpostazioniServerFTPItem ottieniImpostazioniServerFTP();

private:
    std::unique_ptr<korvex2SOAPProxy> m_proxy;
};
