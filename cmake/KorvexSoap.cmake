# SOAP bindings: each library generates its binding with soapcpp2 at build time and
# compiles its own private copy of the runtime, so that two bindings in one process
# never reach each other's registry or namespace table.

find_program(KORVEX_SOAPCPP2 soapcpp2 REQUIRED)
set(KORVEX_GSOAP_IMPORT_DIR /usr/share/gsoap/import)
set(KORVEX_SOAPCOMMON_DIR ${CMAKE_SOURCE_DIR}/soapcommon)

if(NOT EXISTS "${KORVEX_GSOAP_RUNTIME_DIR}/stdsoap2.cpp")
  message(FATAL_ERROR "stdsoap2.cpp not found in ${KORVEX_GSOAP_RUNTIME_DIR}: "
                      "run scripts/fetch-gsoap-runtime.sh ${KORVEX_GSOAP_RUNTIME_DIR}")
endif()

# The runtime as this program needs it, in a copy in the build folder; the fetched source
# stays as Debian ships it. Each change replaces one exact text of the stock source, and the
# configuration stops when the text is missing (another runtime version).
set(KORVEX_GSOAP_RUNTIME ${CMAKE_BINARY_DIR}/gsoap-runtime/stdsoap2.cpp)
file(READ ${KORVEX_GSOAP_RUNTIME_DIR}/stdsoap2.cpp korvex_runtime_source)
macro(korvex_mend_runtime stock mended)
  string(FIND "${korvex_runtime_source}" "${stock}" korvex_stock_at)
  if(korvex_stock_at EQUAL -1)
    message(FATAL_ERROR "stdsoap2.cpp: \"${stock}\" not found (runtime version changed?)")
  endif()
  string(REPLACE "${stock}" "${mended}" korvex_runtime_source "${korvex_runtime_source}")
endmacro()

# As the laboratory's services need it read: an unqualified member name matches an element
# of that local name whatever prefix the sender gave it (the stock runtime matches it only
# when namespaces are ignored altogether).
korvex_mend_runtime(
  "if (!(soap->mode & SOAP_XML_IGNORENS) || SOAP_STRCMP(s + 1, tag2)) /* always fails (except when ignoring ns) */"
  "if (SOAP_STRCMP(s + 1, tag2)) /* unqualified name: match the local name in any namespace */")
# The blank test of the XML scanner as it means it, without its signed overflow: a
# character that an over-long byte sequence decodes to 0x7FFFFFFF made "(c)+1" overflow.
korvex_mend_runtime(
  "#define soap_coblank(c)         ((c)+1 > 0 && (c) <= 32)"
  "#define soap_coblank(c)         ((c) >= 0 && (c) <= 32)")
# An answer that defines one id twice (or with two types) failed with a copy of the id onto
# itself, an overlapping strncpy: the id read from the element is already in soap->id.
korvex_mend_runtime(
  "soap_strcpy(soap->id, sizeof(soap->id), id);"
  "if (id != soap->id) soap_strcpy(soap->id, sizeof(soap->id), id);")
file(CONFIGURE OUTPUT ${KORVEX_GSOAP_RUNTIME} CONTENT "${korvex_runtime_source}" @ONLY)
unset(korvex_runtime_source)

# korvex_soap_binding(<target> INTERFACE <header> SERVICE <service name> [DEPENDS files...])
# Makes the static library <target>: the binding of <header> generated into the build
# folder, the runtime, the lenient primitive serializers, the failure helpers and the
# listing filters, all compiled with the same macros and hidden visibility. A shared
# library links it privately (see korvex_isolate_shared_library); the binding's tests
# link it directly.
function(korvex_soap_binding target)
  cmake_parse_arguments(ARG "" "INTERFACE;SERVICE" "DEPENDS" ${ARGN})
  set(out ${CMAKE_CURRENT_BINARY_DIR}/soap)
  set(generated
    ${out}/soapC.cpp ${out}/soapH.h ${out}/soapStub.h
    ${out}/soap${ARG_SERVICE}Proxy.cpp ${out}/soap${ARG_SERVICE}Proxy.h
    ${out}/${ARG_SERVICE}.nsmap)
  add_custom_command(
    OUTPUT ${generated}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${out}
    COMMAND ${KORVEX_SOAPCPP2} -i -C -L -x -w -1 -d ${out}
            -I${KORVEX_GSOAP_IMPORT_DIR} -I${KORVEX_SOAPCOMMON_DIR} ${ARG_INTERFACE}
    COMMAND ${CMAKE_COMMAND} -DSOURCE=${out}/soapC.cpp
            -P ${CMAKE_SOURCE_DIR}/cmake/KorvexSoapDerivedTypes.cmake
    DEPENDS ${ARG_INTERFACE} ${ARG_DEPENDS}
            ${CMAKE_SOURCE_DIR}/cmake/KorvexSoapDerivedTypes.cmake
            ${KORVEX_SOAPCOMMON_DIR}/lenient.h ${KORVEX_SOAPCOMMON_DIR}/accounttypes.h
    COMMENT "Generating the SOAP binding of ${target}"
    VERBATIM)

  set(third_party
    ${KORVEX_GSOAP_RUNTIME}
    ${out}/soapC.cpp
    ${out}/soap${ARG_SERVICE}Proxy.cpp)
  # Generated code and the runtime are not ours: keep their warnings out of the build log.
  set_source_files_properties(${third_party} PROPERTIES COMPILE_OPTIONS "-w" SKIP_AUTOGEN ON)
  set_source_files_properties(${generated} PROPERTIES GENERATED ON SKIP_AUTOGEN ON)

  add_library(${target} STATIC)
  target_sources(${target} PRIVATE
    ${third_party}
    ${KORVEX_SOAPCOMMON_DIR}/lenient.cpp
    ${KORVEX_SOAPCOMMON_DIR}/soapcall.cpp
    ${KORVEX_SOAPCOMMON_DIR}/soapcall.h
    ${KORVEX_SOAPCOMMON_DIR}/sqlfilter.cpp
    ${KORVEX_SOAPCOMMON_DIR}/sqlfilter.h)
  target_include_directories(${target} PUBLIC ${out} ${KORVEX_SOAPCOMMON_DIR})
  target_compile_definitions(${target} PRIVATE KORVEX_SOAP_NSMAP="${ARG_SERVICE}.nsmap")
  target_link_libraries(${target} PRIVATE korvex_common)
  set_target_properties(${target} PROPERTIES
    POSITION_INDEPENDENT_CODE ON
    CXX_VISIBILITY_PRESET hidden
    VISIBILITY_INLINES_HIDDEN ON)
endfunction()

# A shared library that carries a private binding: only what its export macro marks is
# exported, and its own calls bind to its own functions whatever else the process loads.
# (-Bsymbolic-functions, not -Bsymbolic: exported data must stay interposable.)
function(korvex_isolate_shared_library target)
  set_target_properties(${target} PROPERTIES
    CXX_VISIBILITY_PRESET hidden
    VISIBILITY_INLINES_HIDDEN ON)
  target_link_options(${target} PRIVATE -Wl,-Bsymbolic-functions -Wl,--exclude-libs,ALL)
endfunction()
