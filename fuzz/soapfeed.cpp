#include "soapfeed.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "soapH.h"
#include "soapcall.h"

namespace soapfeed {

const char *const unreachableEndpoint = "http://127.0.0.1:9/";

namespace {

std::string answer;
std::size_t offset = 0;

// The runtime gets the answer in pieces of this size, so that a longer body also crosses
// the refills of its input buffer.
constexpr std::size_t pieceSize = 256;

int connect(struct soap *, const char *, const char *, int)
{
    offset = 0;
    return SOAP_OK;
}

int send(struct soap *, const char *, std::size_t)
{
    return SOAP_OK;
}

std::size_t receive(struct soap *, char *buffer, std::size_t length)
{
    const std::size_t count = std::min({length, answer.size() - offset, pieceSize});
    std::memcpy(buffer, answer.data() + offset, count);
    offset += count;
    return count;
}

void attach(struct soap *context)
{
    context->fconnect = connect;
    context->fsend = send;
    context->frecv = receive;
}

} // namespace

void install()
{
    korvexsoap::setTransportHook(attach);
}

void setAnswer(const std::uint8_t *data, std::size_t size)
{
    answer = "HTTP/1.1 200 OK\r\n"
             "Content-Type: text/xml; charset=utf-8\r\n"
             "Content-Length: "
        + std::to_string(size)
        + "\r\n"
          "Connection: close\r\n\r\n";
    answer.append(reinterpret_cast<const char *>(data), size);
    offset = 0;
}

} // namespace soapfeed
