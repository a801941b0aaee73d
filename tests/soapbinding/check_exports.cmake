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
    if(name MATCHES "^soap_" OR name MATCHES "^namespaces$" OR name MATCHES "SOAP_ENV__"
       OR name MATCHES "(account|ordini|prodotti|korvex2)__" OR name MATCHES "SOAPProxy")
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
