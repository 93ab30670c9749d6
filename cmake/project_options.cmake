# Compiler warnings and sanitizers live on INTERFACE targets that every
# target of the project links, so presets switch them without global flags.

add_library(melo_options INTERFACE)
target_compile_options(melo_options INTERFACE
  -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Wcast-align
  -Wunused -Woverloaded-virtual -Wnull-dereference -Wimplicit-fallthrough
  # GCC 12 reports impossible overlaps in inlined std::string concatenation (its bug 105651).
  $<$<CXX_COMPILER_ID:GNU>:-Wno-restrict>)
if(WIN32)
  # Wide-character Windows API throughout; <windows.h> without its min/max macros; M_PI as on
  # Linux. Every executable carries its C++ and thread runtimes, so it runs on a bare Windows.
  target_compile_definitions(melo_options INTERFACE
    UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0A00 _USE_MATH_DEFINES)
  target_link_options(melo_options INTERFACE $<$<NOT:$<CXX_COMPILER_ID:MSVC>>:-static>)
endif()
if(MELO_WERROR)
  target_compile_options(melo_options INTERFACE -Werror)
endif()

if(MELO_SANITIZE)
  target_compile_options(melo_options INTERFACE
    -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  target_link_options(melo_options INTERFACE -fsanitize=address,undefined)
endif()

if(MELO_FUZZ)
  target_compile_options(melo_options INTERFACE
    -fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer
    # Undefined behaviour stops the run like any other finding instead of scrolling past.
    -fno-sanitize-recover=all)
  target_link_options(melo_options INTERFACE -fsanitize=address,undefined -fno-sanitize-recover=all)
endif()
