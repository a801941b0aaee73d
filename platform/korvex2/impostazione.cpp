#include "impostazione.h"

#include <utility>

#include "korvex2call.h"
#include "soapcall.h"
#include "soapkorvex2SOAPProxy.h"

Impostazione::ImpostazioneException::ImpostazioneException(std::string code, std::string message)
    : Korvex2Exception(std::move(code), std::move(message))
{
}

// Indented requests, and texts on the wire as the laboratory's other services carry them:
// each byte of the UTF-8 text as one character.
Impostazione::Impostazione()
    : m_proxy(std::make_unique<korvex2SOAPProxy>(SOAP_XML_INDENT))
{
}

Impostazione::~Impostazione() = default;

ImpostazioniServerFTPItem Impostazione::ottieniImpostazioniServerFTP()
{
    const korvex2call::Settings settings = korvex2call::currentSettings();
    korvex2call::prepare(*m_proxy, settings);

    korvex2__ottieniImpostazioniServerFTPResponse response;
    if (m_proxy->ottieniImpostazioniServerFTP(settings.endpoint.c_str(), nullptr, response)
        != SOAP_OK) {
        const korvexsoap::Failure failure = korvexsoap::describeFailure(m_proxy.get());
        m_proxy->destroy();
        throw ImpostazioneException(failure.code, failure.message);
    }

    const korvex2__ImpostazioniServerFTP *answer = response.ottieniImpostazioniServerFTPResponse;
    if (!answer) {
        m_proxy->destroy();
        throw ImpostazioneException(std::string(),
                                    "Il servizio non ha restituito le impostazioni del server FTP");
    }
    if (answer->porta < 1 || answer->porta > 65535) {
        const std::string message = "Porta del server FTP non valida: " + std::to_string(answer->porta);
        m_proxy->destroy();
        throw ImpostazioneException(std::string(), message);
    }

    ImpostazioniServerFTPItem item;
    item.host = answer->host;
    item.porta = static_cast<std::uint16_t>(answer->porta);
    item.cartella = answer->cartella;
    item.username = answer->username;
    item.password = answer->password;
    item.sovrascrivi = answer->sovrascrivi;
    item.passivo = answer->passivo;
    m_proxy->destroy();
    return item;
}
