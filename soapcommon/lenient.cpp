// Serializers of the lenient primitive types declared in lenient.h. They write exactly
// what the runtime's own int, boolean and long writers write; they read empty and nil
// content as the default value instead of failing with SOAP_EMPTY, and otherwise keep
// the runtime's rules (surrounding white space allowed, anything after the number, or a
// word other than true/false/0/1, is a type mismatch).

#include "soapH.h"

namespace {

// Reads the text of a simple element into *p with convert(), giving the default value
// for empty or nil content. Follows the runtime's own reader for references ("href").
template <typename T, typename Convert>
T *readLenient(struct soap *soap, const char *tag, T *p, const char *type, int typeNumber,
               const char *const *acceptedTypes, Convert convert)
{
    if (soap_element_begin_in(soap, tag, 1, nullptr))
        return nullptr;
    if (*soap->type && soap_match_tag(soap, soap->type, type)) {
        bool accepted = false;
        for (const char *const *t = acceptedTypes; *t && !accepted; ++t)
            accepted = !soap_match_tag(soap, soap->type, *t);
        if (!accepted) {
            soap->error = SOAP_TYPE;
            soap_revert(soap);
            return nullptr;
        }
    }
    p = static_cast<T *>(soap_id_enter(soap, soap->id, p, typeNumber, sizeof(T), nullptr,
                                       nullptr, nullptr, nullptr));
    if (!p)
        return nullptr;
    if (*soap->href == '#') {
        p = static_cast<T *>(soap_id_forward(soap, soap->href, p, 0, typeNumber, typeNumber,
                                             sizeof(T), 0, nullptr, nullptr));
        if (soap->body && soap_element_end_in(soap, tag))
            return nullptr;
        return p;
    }
    *p = T();
    if (soap->body) {
        const char *text = soap_value(soap);
        if (text && *text && convert(soap, text, p))
            return nullptr;
        if (soap_element_end_in(soap, tag))
            return nullptr;
    }
    return p;
}

const char *const intTypes[] = {":int", ":short", ":byte", nullptr};
const char *const boolTypes[] = {":boolean", nullptr};
const char *const longTypes[] = {":long", ":int", ":short", ":byte", nullptr};

} // namespace

// xsd:int

SOAP_FMAC3 void SOAP_FMAC4 soap_default_xsd__int(struct soap *, int *a) { *a = 0; }

SOAP_FMAC3S const char *SOAP_FMAC4S soap_xsd__int2s(struct soap *soap, int n)
{
    return soap_int2s(soap, n);
}

SOAP_FMAC3S int SOAP_FMAC4S soap_s2xsd__int(struct soap *soap, const char *s, int *a)
{
    if (s && !*s) {
        *a = 0;
        return SOAP_OK;
    }
    return soap_s2int(soap, s, a);
}

SOAP_FMAC3 int SOAP_FMAC4 soap_out_xsd__int(struct soap *soap, const char *tag, int id,
                                            const int *a, const char *type)
{
    return soap_outint(soap, tag, id, a, type, SOAP_TYPE_xsd__int);
}

SOAP_FMAC3 int *SOAP_FMAC4 soap_in_xsd__int(struct soap *soap, const char *tag, int *a,
                                            const char *type)
{
    return readLenient(soap, tag, a, type, SOAP_TYPE_xsd__int, intTypes,
                       [](struct soap *s, const char *t, int *v) { return soap_s2int(s, t, v); });
}

// xsd:boolean

SOAP_FMAC3 void SOAP_FMAC4 soap_default_xsd__boolean(struct soap *, bool *a) { *a = false; }

SOAP_FMAC3S const char *SOAP_FMAC4S soap_xsd__boolean2s(struct soap *, bool n)
{
    return n ? "true" : "false";
}

namespace {
int parseBoolean(struct soap *soap, const char *s, bool *a)
{
    // white space around the word is allowed, as for numbers
    const auto blank = [](char c) { return c > 0 && c <= 32; };
    while (*s && blank(*s))
        ++s;
    std::string word(s);
    while (!word.empty() && blank(word.back()))
        word.pop_back();
    if (word.empty() || word == "false" || word == "0") {
        *a = false;
        return SOAP_OK;
    }
    if (word == "true" || word == "1") {
        *a = true;
        return SOAP_OK;
    }
    return soap->error = SOAP_TYPE;
}
} // namespace

SOAP_FMAC3S int SOAP_FMAC4S soap_s2xsd__boolean(struct soap *soap, const char *s, bool *a)
{
    if (!s)
        return soap->error;
    return parseBoolean(soap, s, a);
}

SOAP_FMAC3 int SOAP_FMAC4 soap_out_xsd__boolean(struct soap *soap, const char *tag, int id,
                                                const bool *a, const char *type)
{
    if (soap_element_begin_out(soap, tag, soap_embedded_id(soap, id, a, SOAP_TYPE_xsd__boolean),
                               type)
        || soap_string_out(soap, *a ? "true" : "false", 0))
        return soap->error;
    return soap_element_end_out(soap, tag);
}

SOAP_FMAC3 bool *SOAP_FMAC4 soap_in_xsd__boolean(struct soap *soap, const char *tag, bool *a,
                                                 const char *type)
{
    return readLenient(soap, tag, a, type, SOAP_TYPE_xsd__boolean, boolTypes, parseBoolean);
}

// xsd:long (LONG64, as the generated declarations spell it: long on LP64 systems)

SOAP_FMAC3 void SOAP_FMAC4 soap_default_xsd__long(struct soap *, LONG64 *a) { *a = 0; }

SOAP_FMAC3S const char *SOAP_FMAC4S soap_xsd__long2s(struct soap *soap, LONG64 n)
{
    return soap_LONG642s(soap, n);
}

SOAP_FMAC3S int SOAP_FMAC4S soap_s2xsd__long(struct soap *soap, const char *s, LONG64 *a)
{
    if (s && !*s) {
        *a = 0;
        return SOAP_OK;
    }
    return soap_s2LONG64(soap, s, a);
}

SOAP_FMAC3 int SOAP_FMAC4 soap_out_xsd__long(struct soap *soap, const char *tag, int id,
                                             const LONG64 *a, const char *type)
{
    return soap_outLONG64(soap, tag, id, a, type, SOAP_TYPE_xsd__long);
}

SOAP_FMAC3 LONG64 *SOAP_FMAC4 soap_in_xsd__long(struct soap *soap, const char *tag, LONG64 *a,
                                                const char *type)
{
    return readLenient(soap, tag, a, type, SOAP_TYPE_xsd__long, longTypes,
                       [](struct soap *s, const char *t, LONG64 *v) { return soap_s2LONG64(s, t, v); });
}
