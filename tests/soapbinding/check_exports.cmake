# Fails when a library exports a symbol of its private SOAP binding: runtime and registry
# functions (soap_*), the namespace table, message classes or the proxy.
string(REPLACE "," ";" libraries "${LIBRARIES}")
foreach(library IN LISTS libraries)
  execute_process(COMMAND nm -D --defined-only -C ${library}
                  OUTPUT_VARIABLE symbols RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "nm failed on ${library}")
  endif()
  string(REPLACE "\n" ";" lines "${symbols}")
  set(leaks "")
  foreach(line IN LISTS lines)
    # "<address> <kind> <name>": keep the name
    string(REGEX REPLACE "^[0-9a-fA-F]* +[A-Za-z] +" "" name "${line}")
    # model functions may take message classes as parameters; the classes themselves
    # (members, vtables, typeinfo) and the proxy stay private
    string(REGEX REPLACE "^(vtable|typeinfo|typeinfo name|VTT|construction vtable) for " "" owner "${name}")
    if(owner MATCHES "^soap_" OR owner MATCHES "^namespaces$" OR owner MATCHES "^SOAP_ENV__"
       OR owner MATCHES "^(account|ordini|prodotti|korvex2)__" OR owner MATCHES "^[A-Za-z0-9_]*SOAPProxy")
      list(APPEND leaks "${name}")
    endif()
  endforeach()
  if(leaks)
    list(JOIN leaks "\n  " text)
    message(FATAL_ERROR "${library} exports SOAP runtime symbols:\n  ${text}")
  endif()
  list(LENGTH lines count)
  message(STATUS "${library}: ${count} exported symbols, none of the SOAP runtime")
endforeach()
