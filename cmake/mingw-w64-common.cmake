# The part of the mingw-w64 cross toolchains that both widths share; the
# including file sets CMAKE_SYSTEM_PROCESSOR and PIXLANE_MINGW_TRIPLE.
# Libraries come from the mingw sysroot and from the private dependency
# prefix that scripts/build-windows-deps fills; programs (nasm, code
# generators) from the host.
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER ${PIXLANE_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${PIXLANE_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${PIXLANE_MINGW_TRIPLE}-windres)
# windres reads resource scripts as Windows-1252 unless told otherwise.
set(CMAKE_RC_FLAGS_INIT "-c 65001")

# The dependency prefix of this build, PIXLANE_WINDOWS_DEPS inside CMake.
# x86_64: the PIXLANE_WINDOWS_DEPS environment variable, else the per-user
# cache that scripts/build-windows-deps uses by default. i686: the
# PIXLANE_WINDOWS_DEPS_I686 environment variable, else the x86_64 prefix
# with "-i686" appended. Kept outside the source tree on purpose.
if(NOT PIXLANE_WINDOWS_DEPS)
  if(DEFINED ENV{PIXLANE_WINDOWS_DEPS} AND NOT "$ENV{PIXLANE_WINDOWS_DEPS}" STREQUAL "")
    set(PIXLANE_WINDOWS_DEPS "$ENV{PIXLANE_WINDOWS_DEPS}")
  elseif(DEFINED ENV{XDG_CACHE_HOME} AND NOT "$ENV{XDG_CACHE_HOME}" STREQUAL "")
    set(PIXLANE_WINDOWS_DEPS "$ENV{XDG_CACHE_HOME}/pixlane/windows-deps")
  else()
    set(PIXLANE_WINDOWS_DEPS "$ENV{HOME}/.cache/pixlane/windows-deps")
  endif()
  if(PIXLANE_MINGW_TRIPLE STREQUAL "i686-w64-mingw32")
    if(DEFINED ENV{PIXLANE_WINDOWS_DEPS_I686} AND NOT "$ENV{PIXLANE_WINDOWS_DEPS_I686}" STREQUAL "")
      set(PIXLANE_WINDOWS_DEPS "$ENV{PIXLANE_WINDOWS_DEPS_I686}")
    else()
      set(PIXLANE_WINDOWS_DEPS "${PIXLANE_WINDOWS_DEPS}-i686")
    endif()
  endif()
endif()
# try_compile projects re-read this file; hand them the same prefix.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES PIXLANE_WINDOWS_DEPS PIXLANE_BUILDING_WINDOWS_DEPS)
if(NOT PIXLANE_BUILDING_WINDOWS_DEPS AND NOT EXISTS "${PIXLANE_WINDOWS_DEPS}/pixlane-deps.stamp")
  message(WARNING "No Windows dependencies in ${PIXLANE_WINDOWS_DEPS}: "
                  "run scripts/build-windows-deps (as root) first.")
endif()

set(CMAKE_FIND_ROOT_PATH /usr/${PIXLANE_MINGW_TRIPLE} "${PIXLANE_WINDOWS_DEPS}")
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
