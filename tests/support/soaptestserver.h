#pragma once

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QMutex>
#include <QString>

#include <memory>

// A loopback HTTP server for the SOAP tests. It runs on a thread of its own, binds
// 127.0.0.1 on a free port, answers every request with the next scripted reply (or the
// default one) and records each request.
class SoapTestServer
{
public:
    struct Reply
    {
        int status = 200;
        QByteArray contentType = "text/xml; charset=utf-8";
        QByteArray body;
        int delayMs = 0;          // wait before answering
        int closeAfterBytes = -1; // send only this many bytes of the answer, then close
        bool silent = false;      // never answer; keep the connection open
    };

    struct Request
    {
        QByteArray method;
        QByteArray path;
        QMap<QByteArray, QByteArray> headers; // names in lower case
        QByteArray body;

        QByteArray header(const QByteArray &name) const { return headers.value(name.toLower()); }
        QByteArray soapAction() const;        // without the surrounding quotes
    };

    SoapTestServer();
    ~SoapTestServer();
    SoapTestServer(const SoapTestServer &) = delete;
    SoapTestServer &operator=(const SoapTestServer &) = delete;

    quint16 port() const;
    QString baseUrl() const; // "http://127.0.0.1:<port>/"

    void enqueue(const Reply &reply);
    void enqueueXml(const QByteArray &body, int status = 200);
    void setDefaultReply(const Reply &reply);

    QList<Request> requests() const;
    Request lastRequest() const;
    int requestCount() const;
    void clear();

    // Called by the server thread.
    Reply takeReply();
    void record(const Request &request);

private:
    class Thread;
    std::unique_ptr<Thread> m_thread;
    mutable QMutex m_mutex;
    QList<Reply> m_replies;
    Reply m_defaultReply;
    QList<Request> m_requests;
};

// SOAP 1.1 envelope around body content, with the usual prefixes bound (SOAP-ENV, xsi,
// xsd) plus the extra namespace declarations given.
QByteArray soapEnvelope(const QByteArray &bodyContent, const QByteArray &extraNamespaces = {},
                        const QByteArray &header = {});
// SOAP 1.1 fault with the given code (QName) and string.
QByteArray soapFault(const QByteArray &code, const QByteArray &string);
