#include "sqlfilter.h"

namespace korvexsoap {

namespace {

bool isLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Appends "key <op> 'value'"; returns the reason when the term is refused.
std::string appendTerm(std::string *text, const std::string &key, const char *op,
                       const std::string &value)
{
    if (!isSqlIdentifier(key))
        return "Filtro di ricerca non valido.\nNome di campo non ammesso: \"" + key + "\"";
    std::string quoted;
    if (!quoteSqlValue(value, &quoted))
        return "Filtro di ricerca non valido.\nCarattere non ammesso nel valore di " + key;
    *text += key;
    *text += op;
    *text += quoted;
    return std::string();
}

} // namespace

bool isSqlIdentifier(const std::string &name)
{
    if (name.empty() || !isLetter(name.front()))
        return false;
    for (char c : name) {
        if (!isLetter(c) && !isDigit(c))
            return false;
    }
    return true;
}

bool quoteSqlValue(const std::string &value, std::string *quoted)
{
    if (value.find('\\') != std::string::npos || value.find('\0') != std::string::npos)
        return false;
    std::string out;
    out.reserve(value.size() + 2);
    out += '\'';
    for (char c : value) {
        if (c == '\'')
            out += '\'';
        out += c;
    }
    out += '\'';
    *quoted = std::move(out);
    return true;
}

SqlFilter likeFilter(const std::map<std::string, std::string> &terms)
{
    SqlFilter filter;
    for (const auto &[key, value] : terms) {
        if (!filter.text.empty())
            filter.text += " AND ";
        filter.error = appendTerm(&filter.text, key, " LIKE ", value);
        if (!filter.ok()) {
            filter.text.clear();
            break;
        }
    }
    return filter;
}

SqlFilter equalsFilter(const std::string &key, const std::string &value)
{
    SqlFilter filter;
    filter.error = appendTerm(&filter.text, key, " = ", value);
    if (!filter.ok())
        filter.text.clear();
    return filter;
}

} // namespace korvexsoap
