#include "xmlassert.h"

#include <QXmlStreamReader>

namespace xmlassert {

Message::Message(const QByteArray &xml)
{
    int line = 0;
    int column = 0;
    m_valid = m_doc.setContent(xml, true, &m_error, &line, &column);
    if (!m_valid)
        m_error += QStringLiteral(" at %1:%2").arg(line).arg(column);
    // QDom hides xmlns attributes when processing namespaces: read them with the stream reader.
    QXmlStreamReader reader(xml);
    while (!reader.atEnd()) {
        if (reader.readNext() == QXmlStreamReader::StartElement) {
            for (const QXmlStreamNamespaceDeclaration &d : reader.namespaceDeclarations())
                m_envelopeNamespaces.append({d.prefix().toString(), d.namespaceUri().toString()});
            break;
        }
    }
}

QDomElement Message::header() const
{
    return child(envelope(), QLatin1String(soapEnvelopeUri), QStringLiteral("Header"));
}

QDomElement Message::body() const
{
    return child(envelope(), QLatin1String(soapEnvelopeUri), QStringLiteral("Body"));
}

QDomElement Message::operation() const
{
    return body().firstChildElement();
}

int Message::bodyElementCount() const
{
    return children(body()).size();
}

QList<QDomElement> children(const QDomElement &parent)
{
    QList<QDomElement> result;
    for (QDomElement e = parent.firstChildElement(); !e.isNull(); e = e.nextSiblingElement())
        result.append(e);
    return result;
}

QDomElement child(const QDomElement &parent, const QString &localName)
{
    for (QDomElement e = parent.firstChildElement(); !e.isNull(); e = e.nextSiblingElement())
        if (e.localName() == localName)
            return e;
    return {};
}

QDomElement child(const QDomElement &parent, const QString &namespaceUri, const QString &localName)
{
    for (QDomElement e = parent.firstChildElement(); !e.isNull(); e = e.nextSiblingElement())
        if (e.localName() == localName && e.namespaceURI() == namespaceUri)
            return e;
    return {};
}

QStringList childNames(const QDomElement &parent)
{
    QStringList names;
    for (const QDomElement &e : children(parent))
        names.append(e.localName());
    return names;
}

QString xsiType(const QDomElement &element)
{
    return element.attributeNS(QLatin1String(xsiUri), QStringLiteral("type"));
}

bool isNil(const QDomElement &element)
{
    const QString nil = element.attributeNS(QLatin1String(xsiUri), QStringLiteral("nil"));
    return nil == QLatin1String("true") || nil == QLatin1String("1");
}

QString Message::uriOfQName(const QString &qname) const
{
    const int colon = qname.indexOf(QLatin1Char(':'));
    const QString prefix = colon < 0 ? QString() : qname.left(colon);
    for (const auto &declaration : m_envelopeNamespaces)
        if (declaration.first == prefix)
            return declaration.second;
    return {};
}

} // namespace xmlassert
