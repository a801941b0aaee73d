#pragma once
// Answers of the account service for the tests, the settings every test writes, and
// readers of the requests the tests record.

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

#include <mutex>
#include <string>

#include "anagrafica.h"
#include "soaptestserver.h"
#include "wssettingslock.h"
#include "xmlassert.h"

namespace accounttest {

constexpr const char *accountUri = "http://ws.korvex2.example/account/";

using Fields = QList<QPair<QByteArray, QByteArray>>;

// Writes the four connection settings as the program does: holding the settings lock.
inline void setSettings(const QString &endpoint, const std::string &user = {},
                        const std::string &pass = {}, bool operatorAuth = false)
{
    std::lock_guard<std::mutex> lock(korvexWsSettingsMutex());
    Anagrafica::WsEndpoint = endpoint.toStdString();
    Anagrafica::WsUsername = user;
    Anagrafica::WsPassword = pass;
    Anagrafica::WsOperatorAuth = operatorAuth;
}

// An envelope whose body holds "acc:<operation>Response" with this content.
inline QByteArray answer(const QByteArray &operation, const QByteArray &content)
{
    const QByteArray wrapper = "acc:" + operation + "Response";
    return soapEnvelope("<" + wrapper + ">" + content + "</" + wrapper + ">",
                        QByteArray("xmlns:acc=\"") + accountUri + "\"");
}

// An answer whose single child, named after the wrapper, holds a simple value.
inline QByteArray valueAnswer(const QByteArray &operation, const QByteArray &value)
{
    const QByteArray child = operation + "Response";
    return answer(operation, "<" + child + ">" + value + "</" + child + ">");
}

// The answer of a list operation ("listaUtenti", "listaOperatori") with these entries.
inline QByteArray listAnswer(const QByteArray &operation, const QList<QByteArray> &entries)
{
    QByteArray list;
    for (const QByteArray &entry : entries)
        list += entry;
    const QByteArray child = operation + "Response";
    return answer(operation, "<" + child + ">" + list + "</" + child + ">");
}

// <tag xsi:type="..."> with the fields as unqualified children (no xsi:type when empty).
inline QByteArray record(const QByteArray &tag, const QByteArray &xsiType, const Fields &fields)
{
    QByteArray xml = "<" + tag;
    if (!xsiType.isEmpty())
        xml += " xsi:type=\"" + xsiType + "\"";
    xml += ">";
    for (const auto &field : fields)
        xml += "<" + field.first + ">" + field.second + "</" + field.first + ">";
    return xml + "</" + tag + ">";
}

// A customer with every one of its 22 elements set to a value of its own.
inline Fields customerFields(int id, const QByteArray &username)
{
    return {{"id", QByteArray::number(id)},   {"username", username},
            {"password", "pw-" + username},   {"autorizzazioni", "5"},
            {"stato_account", "2"},           {"codice_utente", "C" + QByteArray::number(id)},
            {"nome", "Mario"},                {"cognome", "Rossi"},
            {"ragione_sociale", "Foto Rossi"}, {"cap", "47121"},
            {"cf", "RSSMRA80A01D704X"},       {"citta", "Forl\xC3\xAC"},
            {"email", "m@example.invalid"},   {"fax", "0543 1"},
            {"indirizzo", "Via Roma 1"},      {"piva", "01234567890"},
            {"provincia", "FC"},              {"tel_fisso", "0543 2"},
            {"tel_cell", "333 3"},            {"notifiche", "9"},
            {"pagamento", "3"},               {"spedizione", "7.5"}};
}

inline Fields operatorFields(int id, const QByteArray &username)
{
    return {{"id", QByteArray::number(id)}, {"username", username},
            {"password", "pw-" + username}, {"autorizzazioni", "6"},
            {"stato_account", "1"},         {"codice_operatore", "OP" + QByteArray::number(id)},
            {"nome", "Anna"},               {"cognome", "Bianchi"},
            {"email", "a@example.invalid"}, {"tel_fisso", "051 1"},
            {"tel_cell", "347 2"}};
}

// The operation element of a recorded request, checked to be "account:<name>".
inline QDomElement operationOf(const SoapTestServer::Request &request, const QString &name)
{
    const xmlassert::Message message(request.body);
    if (!message.isValid())
        qWarning("request is not XML: %s", qPrintable(message.parseError()));
    const QDomElement operation = message.operation();
    if (operation.localName() != name || operation.namespaceURI() != QLatin1String(accountUri)) {
        qWarning("expected account:%s, got {%s}%s", qPrintable(name),
                 qPrintable(operation.namespaceURI()), qPrintable(operation.localName()));
        return {};
    }
    return operation;
}

// The text of an element's child.
inline QString text(const QDomElement &parent, const QString &child)
{
    return xmlassert::child(parent, child).text();
}

} // namespace accounttest
