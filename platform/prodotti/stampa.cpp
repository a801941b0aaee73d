#include "stampa.h"

#include <mutex>

#include "soapcall.h"
#include "soapprodottiSOAPProxy.h"
#include "wssettingslock.h"

namespace {

const char *const unknownError = "Si è verificato un errore sconosciuto sul webservice";

} // namespace

Stampa::StampaException::StampaException(std::string code, std::string message)
    : Korvex2Exception(std::move(code), std::move(message))
{
}

Stampa::Stampa() = default;

Stampa::~Stampa() = default;

Stampa &Stampa::operator=(const Stampa &other)
{
    if (this == &other)
        return *this;
    id = other.id;
    nome = other.nome;
    descrizione = other.descrizione;
    prezzo = other.prezzo;
    codice_stampa = other.codice_stampa;
    archiviato = other.archiviato;
    carta = other.carta;
    formato = other.formato;
    reparto = other.reparto;
    return *this;
}

void Stampa::WSinit()
{
    if (!m_proxy)
        m_proxy = std::make_unique<prodottiSOAPProxy>(SOAP_XML_INDENT);

    std::string base;
    std::string username;
    std::string password;
    bool operatorAuth = false;
    {
        std::lock_guard<std::mutex> lock(korvexWsSettingsMutex());
        base = Prodotti::WsEndpoint;
        username = Prodotti::WsUsername;
        password = Prodotti::WsPassword;
        operatorAuth = Prodotti::WsOperatorAuth;
    }

    if (!base.empty()) {
        m_endpoint = korvexsoap::serviceEndpoint(base, "prodotti.php");
        m_proxy->soap_endpoint = m_endpoint.c_str();
    }
    if (!username.empty() && !password.empty()) {
        auto *authentication = soap_new_prodotti__Authentication(m_proxy.get());
        authentication->isOperator = operatorAuth;
        authentication->username = username;
        authentication->password = password;
        m_proxy->soap_header(authentication);
    } else {
        m_proxy->soap_noheader();
    }
    korvexsoap::applyTimeouts(m_proxy.get());
}

bool Stampa::init(int id)
{
    WSinit();
    prodotti__ottieniStampaResponse answer;
    if (m_proxy->ottieniStampa(id, answer) != SOAP_OK) {
        const korvexsoap::Failure failure = korvexsoap::describeFailure(m_proxy.get());
        m_proxy->destroy();
        if (failure.notSoap)
            throw StampaException(std::string(), unknownError);
        throw StampaException(failure.code, failure.message);
    }
    const prodotti__Stampa *product = answer.ottieniStampaResponse;
    const bool found = product != nullptr;
    const bool available = found && !product->archiviato;
    if (found)
        bindFrom(product);
    m_proxy->destroy();
    return available;
}

void Stampa::bindFrom(const prodotti__Stampa *stampa)
{
    if (!stampa)
        return;
    id = stampa->id;
    codice_stampa = stampa->codice_stampa;
    nome = stampa->nome;
    descrizione = stampa->descrizione;
    archiviato = stampa->archiviato;
    prezzo = stampa->prezzo;

    if (stampa->carta)
        carta = Carta{stampa->carta->id, stampa->carta->codice_carta, stampa->carta->nome};
    else
        carta.reset();

    if (const prodotti__Formato *f = stampa->formato)
        formato = Formato{f->id, f->codice_formato, f->nome, f->larghezza, f->altezza, f->dpi};
    else
        formato.reset();

    if (const prodotti__Reparto *r = stampa->reparto)
        reparto = Reparto{r->id, r->nome, r->percorso, r->tipo, r->canale_numero};
    else
        reparto.reset();
}
