#pragma once
// Answers the SOAP calls of the binding linked into a fuzz target from memory: the bytes
// given are the body of an HTTP 200 answer, read by the binding's own runtime and
// serializers. No socket is opened and the request goes nowhere.

#include <cstddef>
#include <cstdint>

namespace soapfeed {

// Puts the feed in place of the network for every later call of the binding.
void install();

// The body of the answer that the next calls receive.
void setAnswer(const std::uint8_t *data, std::size_t size);

// An address for the library settings that is never reached: the feed replaces the
// connection, and without it the call would fail on the discard port of loopback.
extern const char *const unreachableEndpoint;

} // namespace soapfeed
