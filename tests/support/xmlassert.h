#pragma once

#include <QByteArray>
#include <QDomDocument>
#include <QDomElement>
#include <QList>
#include <QString>

// Namespace-aware reading of a request written by a client, for assertions.
namespace xmlassert {

constexpr const char *soapEnvelopeUri = "http://schemas.xmlsoap.org/soap/envelope/";
constexpr const char *xsiUri = "http://www.w3.org/2001/XMLSchema-instance";

class Message
{
public:
    explicit Message(const QByteArray &xml);

    bool isValid() const { return m_valid; }
    QString parseError() const { return m_error; }
    QDomElement envelope() const { return m_doc.documentElement(); }
    QDomElement header() const;   // null when absent
    QDomElement body() const;
    QDomElement operation() const; // the single element of the body
    int bodyElementCount() const;
    // prefix -> URI of the namespace declarations on the envelope
    QList<QPair<QString, QString>> envelopeNamespaces() const { return m_envelopeNamespaces; }
    // the URI that a QName's prefix (as in an xsi:type value) is bound to on the envelope
    QString uriOfQName(const QString &qname) const;

private:
    QDomDocument m_doc;
    bool m_valid = false;
    QString m_error;
    QList<QPair<QString, QString>> m_envelopeNamespaces;
};

QList<QDomElement> children(const QDomElement &parent);
// first child element with this local name (and namespace URI when given; "" = no namespace)
QDomElement child(const QDomElement &parent, const QString &localName);
QDomElement child(const QDomElement &parent, const QString &namespaceUri, const QString &localName);
QStringList childNames(const QDomElement &parent);
QString xsiType(const QDomElement &element); // raw attribute value
bool isNil(const QDomElement &element);

} // namespace xmlassert
