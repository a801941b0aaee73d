// Primitive types whose readers accept empty and nil content as the default value
// (0 or false), as the laboratory's services sometimes send them. Serializers are in
// soapcommon/lenient.cpp, compiled into each binding.

extern typedef int xsd__int;
extern typedef bool xsd__boolean;
extern typedef long long xsd__long;
