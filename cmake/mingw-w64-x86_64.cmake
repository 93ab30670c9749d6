# Cross-builds Windows executables with mingw-w64 (the POSIX-threads variant, for std::thread)
# and runs them under Wine wherever CMake runs a target (ctest, test discovery).

set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)

# The Windows libraries scripts/windows-deps builds from Debian's source packages (static, one
# prefix per recipe set, keyed by this checkout's recipes): every set built so far is used.
# -DMELO_WINDOWS_PREFIXES= (empty) builds without them: melo-dsu then cannot convert or find
# loops. Try-compile projects get the list from here instead of asking the script again.
if(NOT DEFINED MELO_WINDOWS_PREFIXES)
  execute_process(COMMAND ${CMAKE_CURRENT_LIST_DIR}/../scripts/windows-deps --print-prefix
    OUTPUT_VARIABLE MELO_WINDOWS_PREFIXES OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
  string(REPLACE "\n" ";" MELO_WINDOWS_PREFIXES "${MELO_WINDOWS_PREFIXES}")
endif()
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES MELO_WINDOWS_PREFIXES)
# A rebuilt set lies in a new folder: whatever was found in an old one (pkg-config's results,
# libraries, Qt's package folders) is looked up again.
if(MELO_WINDOWS_PREFIXES)
  list(GET MELO_WINDOWS_PREFIXES 0 melo_first)
  get_filename_component(melo_sets "${melo_first}" DIRECTORY)
  get_cmake_property(melo_cached CACHE_VARIABLES)
  set(melo_stale FALSE)
  foreach(melo_var IN LISTS melo_cached)
    # The entry's value without the sets in use: any set folder still named is an old one.
    set(melo_rest "$CACHE{${melo_var}}")
    foreach(melo_prefix IN LISTS MELO_WINDOWS_PREFIXES)
      string(REPLACE "${melo_prefix}" "" melo_rest "${melo_rest}")
    endforeach()
    string(FIND "${melo_rest}" "${melo_sets}/" melo_at)
    if(melo_at GREATER -1)
      unset(${melo_var} CACHE)
      set(melo_stale TRUE)
    endif()
  endforeach()
  if(melo_stale OR NOT "$CACHE{MELO_WINDOWS_PREFIXES_USED}" STREQUAL "${MELO_WINDOWS_PREFIXES}")
    foreach(melo_var IN LISTS melo_cached)
      if(melo_var MATCHES "^__pkg_config_checked_")
        unset(${melo_var} CACHE)
      endif()
    endforeach()
  endif()
endif()
set(MELO_WINDOWS_PREFIXES_USED "${MELO_WINDOWS_PREFIXES}" CACHE INTERNAL "")

set(CMAKE_FIND_ROOT_PATH ${MELO_WINDOWS_PREFIXES} /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Debian's wine64 package puts its loader outside PATH; the wine package adds /usr/bin/wine.
find_program(MELO_WINE NAMES wine64 wine HINTS /usr/lib/wine REQUIRED)
set(CMAKE_CROSSCOMPILING_EMULATOR ${MELO_WINE})

# pkg-config looks at the Windows libraries only, never at the build machine's Linux ones.
list(TRANSFORM CMAKE_FIND_ROOT_PATH APPEND /lib/pkgconfig OUTPUT_VARIABLE melo_pkgconfig_dirs)
string(JOIN ":" melo_pkgconfig_dirs ${melo_pkgconfig_dirs})
set(ENV{PKG_CONFIG_LIBDIR} "${melo_pkgconfig_dirs}")
set(ENV{PKG_CONFIG_PATH} "")
