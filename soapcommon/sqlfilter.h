#pragma once
// Selection conditions for the "filter" of the services' listing requests. Each library
// compiles its own copy (see soapcall.h); nothing here is exported.
//
// Values are quoted with their apostrophes doubled. A value holding a backslash is
// refused, since some SQL dialects read it as an escape and would undo the doubling, and
// so is a NUL byte, which would cut the text short on the wire. A field name must be an
// identifier: letters, digits and underscores, not starting with a digit.

#include <map>
#include <string>

namespace korvexsoap {

// A built condition, or the reason it was refused. The caller turns a refusal into its
// own class's exception.
struct SqlFilter
{
    std::string text;  // the condition; empty for "no condition"
    std::string error; // empty when the condition was built
    bool ok() const { return error.empty(); }
};

// "key LIKE 'value'" for each entry in the map's key order, joined by " AND "; an empty
// map gives the empty condition. Wildcards in the values are the caller's and pass as
// they are.
SqlFilter likeFilter(const std::map<std::string, std::string> &terms);

// "key = 'value'".
SqlFilter equalsFilter(const std::string &key, const std::string &value);

bool isSqlIdentifier(const std::string &name);

// Writes 'value' with its apostrophes doubled into *quoted; false, and nothing written,
// when the value holds a backslash or a NUL byte.
bool quoteSqlValue(const std::string &value, std::string *quoted);

} // namespace korvexsoap
