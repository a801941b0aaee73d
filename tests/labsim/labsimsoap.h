#pragma once

// Hand-written SOAP messages for the simulator's own tests: they play a client so that
// the tests can send exactly the right wire form, or exactly the wrong one.

#include "labsimulator.h"

#include <QByteArray>
#include <QString>
#include <QXmlStreamReader>

namespace labsimsoap {

const QByteArray AccountNs = "http://ws.korvex2.example/account/";
const QByteArray OrdiniNs = "http://ws.korvex2.example/ordini/";
const QByteArray ProdottiNs = "http://ws.korvex2.example/prodotti/";
const QByteArray Korvex2Ns = "http://ws.korvex2.example/korvex2/";

// A SOAP 1.1 envelope with the prefixes the services use bound (account, prodotti, ordini,
// korvex2), the optional header content and the body content.
inline QByteArray envelope(const QByteArray &body, const QByteArray &header = {})
{
    QByteArray xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                     "<SOAP-ENV:Envelope"
                     " xmlns:SOAP-ENV=\"http://schemas.xmlsoap.org/soap/envelope/\""
                     " xmlns:SOAP-ENC=\"http://schemas.xmlsoap.org/soap/encoding/\""
                     " xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\""
                     " xmlns:xsd=\"http://www.w3.org/2001/XMLSchema\""
                     " xmlns:account=\"" + AccountNs + "\""
                     " xmlns:prodotti=\"" + ProdottiNs + "\""
                     " xmlns:ordini=\"" + OrdiniNs + "\""
                     " xmlns:korvex2=\"" + Korvex2Ns + "\">\n";
    if (!header.isNull())
        xml += "<SOAP-ENV:Header>" + header + "</SOAP-ENV:Header>\n";
    xml += "<SOAP-ENV:Body>" + body + "</SOAP-ENV:Body>\n</SOAP-ENV:Envelope>\n";
    return xml;
}

// The Authentication header entry of a service, by its prefix ("ordini", "account", ...).
inline QByteArray authentication(const QByteArray &prefix, const QByteArray &user,
                                 const QByteArray &password)
{
    return "<" + prefix + ":Authentication><isOperator>false</isOperator><username>" + user
        + "</username><password>" + password + "</password></" + prefix + ":Authentication>";
}

inline LabSimulator::HttpReply post(const LabSimulator &sim, const QString &script,
                                    const QByteArray &soapAction, const QByteArray &xml)
{
    return sim.request("POST", script, xml,
                       {{"Content-Type", "text/xml; charset=utf-8"},
                        {"SOAPAction", "\"" + soapAction + "\""}});
}

// One operation of a service, posted to its script with its own SOAPAction: `content` is
// what goes inside the operation element.
inline LabSimulator::HttpReply call(const LabSimulator &sim, const QString &script,
                                    const QByteArray &prefix, const QByteArray &ns,
                                    const QByteArray &operation, const QByteArray &content,
                                    const QByteArray &header = QByteArray())
{
    const QByteArray body = "<" + prefix + ":" + operation + ">" + content + "</" + prefix + ":"
        + operation + ">";
    return post(sim, script, ns + operation, envelope(body, header));
}

inline LabSimulator::HttpReply account(const LabSimulator &sim, const QByteArray &operation,
                                       const QByteArray &content, const QByteArray &header = QByteArray())
{
    return call(sim, QStringLiteral("account.php"), "account", AccountNs, operation, content, header);
}

// An orders operation with the given customer's credentials.
inline LabSimulator::HttpReply ordini(const LabSimulator &sim, const QByteArray &operation,
                                      const QByteArray &content,
                                      const QByteArray &user = LabSimulator::DemoUser,
                                      const QByteArray &password = LabSimulator::DemoPassword)
{
    return call(sim, QStringLiteral("ordini.php"), "ordini", OrdiniNs, operation, content,
                authentication("ordini", user, password));
}

// The clients carry their UTF-8 texts one byte per character; this is the text a client
// reads from the characters of an answer.
inline QString fromWire(const QString &characters)
{
    for (const QChar c : characters) {
        if (c.unicode() > 0xFF)
            return characters;
    }
    return QString::fromUtf8(characters.toLatin1());
}

// The text of the first element with this local name that holds no element of its own
// (an answer's wrapper and its child share a name: this gives the child), or a null string.
inline QString text(const QByteArray &xml, const QString &localName)
{
    QXmlStreamReader reader(xml);
    bool inside = false;
    QString content;
    while (!reader.atEnd()) {
        reader.readNext();
        if (reader.isStartElement()) {
            inside = reader.name() == localName;
            content.clear();
        } else if (reader.isCharacters() && inside) {
            content += reader.text();
        } else if (reader.isEndElement()) {
            if (inside && reader.name() == localName)
                return fromWire(content);
            inside = false;
        }
    }
    return QString();
}

inline int count(const QByteArray &xml, const QString &localName)
{
    QXmlStreamReader reader(xml);
    int n = 0;
    while (!reader.atEnd()) {
        reader.readNext();
        if (reader.isStartElement() && reader.name() == localName)
            ++n;
    }
    return n;
}

inline QString faultString(const QByteArray &xml) { return text(xml, QStringLiteral("faultstring")); }
inline QString faultCode(const QByteArray &xml) { return text(xml, QStringLiteral("faultcode")); }

inline QByteArray loginRequest(const QByteArray &user, const QByteArray &password)
{
    return "<loginRequest><isOperator>false</isOperator><username>" + user + "</username><password>"
        + password + "</password></loginRequest>";
}

// A file record to insert.
inline QByteArray fileRecord(const QByteArray &name, qint64 size)
{
    return "<inserisciFileRequest><id></id><dimensione>" + QByteArray::number(size)
        + "</dimensione><percorso></percorso><scaricato>false</scaricato><nome_file>" + name
        + "</nome_file><nome_file_scaricato></nome_file_scaricato><compresso>false</compresso>"
          "</inserisciFileRequest>";
}

// An order with one file row for the given file record, for the customer `userId`.
inline QByteArray orderWithFileRow(int userId, const QByteArray &fileId, int stato = 2)
{
    return "<inserisciOrdineRequest><OrdineRequest><id_utente>" + QByteArray::number(userId)
        + "</id_utente><id></id><cliente_finale>Cliente</cliente_finale>"
          "<data>2024-05-01T10:00:00Z</data><note></note><numero>0</numero><stato>"
        + QByteArray::number(stato)
        + "</stato><righe_ordine xsi:type=\"ordini:OrdineRigaFileRequest\"><id_ordine></id_ordine>"
          "<id></id><codice_articolo>artfile</codice_articolo><descrizione>Invio File a.jpg"
          "</descrizione><prezzo>0</prezzo><quantita>1</quantita><id_file>"
        + fileId + "</id_file></righe_ordine></OrdineRequest></inserisciOrdineRequest>";
}

} // namespace labsimsoap
