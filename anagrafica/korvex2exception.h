#pragma once

#include <string>

#include "anagrafica_export.h"

// Failure reported by the laboratory's libraries: a code (the SOAP fault code for a failed
// service call, empty for a failure the library detects itself) and a message.
class ANAGRAFICA_EXPORT Korvex2Exception
{
public:
    Korvex2Exception(std::string code, std::string message);

    std::string code;
    std::string message;
};
