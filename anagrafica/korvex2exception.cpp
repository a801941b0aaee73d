#include "korvex2exception.h"

#include <utility>

Korvex2Exception::Korvex2Exception(std::string code, std::string message)
    : code(std::move(code)), message(std::move(message))
{
}
