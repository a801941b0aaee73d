# The fuzz build: the libraries, the window-free core and the libFuzzer targets, compiled by
# clang with the fuzzer's coverage instrumentation and the address and undefined-behaviour
# sanitizers. It lives in a build folder of its own (scripts/fuzz.sh makes it).
if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang" OR NOT CMAKE_C_COMPILER_ID STREQUAL "Clang")
  message(FATAL_ERROR "KORVEX_FUZZ needs clang: configure with CC=clang CXX=clang++")
endif()
add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined
                    -fno-omit-frame-pointer -gline-tables-only
                    -fsanitize-coverage-ignorelist=${CMAKE_SOURCE_DIR}/fuzz/coverage-ignore.txt)
add_link_options(-fsanitize=address,undefined)

# The sanitizers' runtime lives in the program only: the libraries leave its symbols to it.
function(korvex_fuzz_allow_runtime_symbols)
  foreach(library ${ARGN})
    get_target_property(options ${library} LINK_OPTIONS)
    if(options)
      list(REMOVE_ITEM options -Wl,--no-undefined)
      set_target_properties(${library} PROPERTIES LINK_OPTIONS "${options}")
    endif()
  endforeach()
endfunction()

# korvex_fuzz_static_copy(<copy> <library>)
# The sources of a shared library compiled once more into a static library <copy>, linked
# with what the library links (its private binding included). A fuzz target links the copy
# so that it reaches the binding's transport hook, which the shared library keeps hidden.
function(korvex_fuzz_static_copy copy library)
  get_target_property(sources ${library} SOURCES)
  get_target_property(source_dir ${library} SOURCE_DIR)
  get_target_property(binary_dir ${library} BINARY_DIR)
  get_target_property(libraries ${library} LINK_LIBRARIES)
  set(absolute)
  foreach(source ${sources})
    if(IS_ABSOLUTE ${source})
      list(APPEND absolute ${source})
    else()
      list(APPEND absolute ${source_dir}/${source})
    endif()
  endforeach()
  add_library(${copy} STATIC ${absolute})
  add_dependencies(${copy} ${library}) # its export header
  target_include_directories(${copy} PUBLIC ${source_dir} ${binary_dir})
  target_link_libraries(${copy} PUBLIC ${libraries})
  set_target_properties(${copy} PROPERTIES AUTOMOC OFF AUTOUIC OFF AUTORCC OFF)
endfunction()
