#pragma once
// What the orders library's tests share: the services' namespaces, answers wrapped in an
// envelope that binds them, and the library's settings pointed at a test server.

#include <QByteArray>
#include <QString>
#include <QTcpServer>

#include <mutex>
#include <string>

#include "ordini.h"
#include "prodotti.h"
#include "soaptestserver.h"
#include "wssettingslock.h"

namespace ordinitest {

constexpr const char *ordiniUri = "http://ws.korvex2.example/ordini/";
constexpr const char *accountUri = "http://ws.korvex2.example/account/";
constexpr const char *prodottiUri = "http://ws.korvex2.example/prodotti/";
constexpr const char *unknownError = "Si è verificato un errore sconosciuto sul webservice";

inline QByteArray answer(const QByteArray &body)
{
    return soapEnvelope(body, "xmlns:ordini=\"http://ws.korvex2.example/ordini/\" "
                              "xmlns:account=\"http://ws.korvex2.example/account/\" "
                              "xmlns:prodotti=\"http://ws.korvex2.example/prodotti/\"");
}

// <ordini:opResponse><opResponse>content</opResponse></ordini:opResponse>
inline QByteArray response(const QByteArray &operation, const QByteArray &content)
{
    return answer("<ordini:" + operation + "Response><" + operation + "Response>" + content + "</"
                  + operation + "Response></ordini:" + operation + "Response>");
}

inline void setOrdini(const std::string &endpoint, const std::string &username = std::string(),
                      const std::string &password = std::string(), bool operatorAuth = false)
{
    std::lock_guard<std::mutex> lock(korvexWsSettingsMutex());
    Ordini::WsEndpoint = endpoint;
    Ordini::WsUsername = username;
    Ordini::WsPassword = password;
    Ordini::WsOperatorAuth = operatorAuth;
}

inline void setProdotti(const std::string &endpoint, const std::string &username = std::string(),
                        const std::string &password = std::string(), bool operatorAuth = false)
{
    std::lock_guard<std::mutex> lock(korvexWsSettingsMutex());
    Prodotti::WsEndpoint = endpoint;
    Prodotti::WsUsername = username;
    Prodotti::WsPassword = password;
    Prodotti::WsOperatorAuth = operatorAuth;
}

inline std::string baseUrlOf(const SoapTestServer &server)
{
    return server.baseUrl().toStdString();
}

// A loopback address on which nothing listens.
inline std::string refusedBaseUrl()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    const quint16 port = probe.serverPort();
    probe.close();
    return "http://127.0.0.1:" + std::to_string(port) + "/";
}

} // namespace ordinitest
