#include "aggiornamento.h"

#include <utility>

#include "korvex2call.h"
#include "soapcall.h"
#include "soapkorvex2SOAPProxy.h"

Aggiornamento::AggiornamentoException::AggiornamentoException(std::string code, std::string message)
    : Korvex2Exception(std::move(code), std::move(message))
{
}

// Indented requests, and texts on the wire as the laboratory's other services carry them:
// each byte of the UTF-8 text as one character.
Aggiornamento::Aggiornamento()
    : m_proxy(std::make_unique<korvex2SOAPProxy>(SOAP_XML_INDENT))
{
}

Aggiornamento::~Aggiornamento() = default;

AggiornamentoItem Aggiornamento::ottieniAggiornamento(korvex2__IdComponenteType componente)
{
    const korvex2call::Settings settings = korvex2call::currentSettings();
    korvex2call::prepare(*m_proxy, settings);

    korvex2__ottieniAggiornamentoResponse response;
    if (m_proxy->ottieniAggiornamento(settings.endpoint.c_str(), nullptr,
                                      static_cast<int>(componente), response)
        != SOAP_OK) {
        const korvexsoap::Failure failure = korvexsoap::describeFailure(m_proxy.get());
        m_proxy->destroy();
        throw AggiornamentoException(failure.code, failure.message);
    }

    const korvex2__Aggiornamento *answer = response.ottieniAggiornamentoResponse;
    if (!answer) {
        m_proxy->destroy();
        throw AggiornamentoException(std::string(),
                                     "Il servizio non ha restituito le informazioni sull'aggiornamento");
    }

    AggiornamentoItem item;
    item.componente = static_cast<korvex2__IdComponenteType>(answer->componente);
    item.major = answer->major;
    item.minor = answer->minor;
    item.build = answer->build;
    item.url = answer->url;
    m_proxy->destroy();
    return item;
}
