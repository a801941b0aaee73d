# Warning flags and common definitions shared by every target of the project.
option(KORVEX_WERROR "Treat warnings of the project's own code as errors" OFF)
add_library(korvex_common INTERFACE)
target_compile_options(korvex_common INTERFACE
  -Wall -Wextra -Wpedantic $<$<CXX_COMPILER_ID:GNU>:-Wshadow=local> -Wnon-virtual-dtor -Woverloaded-virtual
  $<$<BOOL:${KORVEX_WERROR}>:-Werror>)
target_compile_definitions(korvex_common INTERFACE
  QT_NO_FOREACH QT_DISABLE_DEPRECATED_BEFORE=0x050F00)
if(KORVEX_ASAN)
  target_compile_options(korvex_common INTERFACE -fsanitize=address,undefined -fno-omit-frame-pointer)
  target_link_options(korvex_common INTERFACE -fsanitize=address,undefined)
endif()
