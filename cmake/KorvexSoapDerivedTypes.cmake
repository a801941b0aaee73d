# Script run on a generated soapC.cpp: cmake -DSOURCE=<file> -P KorvexSoapDerivedTypes.cmake
#
# soapcpp2 makes the writer of a derived class write its own xsi:type only when its caller
# passes no type at all, but the generated parents pass "" for plain members, so a customer
# record inside a request would go out without xsi:type="account:Utente". A record of a
# derived class must always name its class: its writer takes an empty type as "none".
file(READ "${SOURCE}" text)
string(REGEX REPLACE
  "(soap_element_begin_out\\(soap, tag, soap_embedded_id\\(soap, id, a, SOAP_TYPE_[A-Za-z0-9_]+\\)), type \\? type : (\"[^\"]+\")\\)"
  "\\1, type && *type ? type : \\2)"
  patched "${text}")
if(NOT patched STREQUAL text)
  file(WRITE "${SOURCE}" "${patched}")
endif()
