# Cross toolchain for 64-bit Windows with Debian's mingw-w64 (posix thread
# model: the win32 model lacks std::thread and std::mutex). Libraries come
# from the mingw sysroot and from the private dependency prefix that
# scripts/build-windows-deps fills; programs (nasm, code generators) from the
# host. Test executables run through scripts/wine-run.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(PIXLANE_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${PIXLANE_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${PIXLANE_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${PIXLANE_MINGW_TRIPLE}-windres)
# windres reads resource scripts as Windows-1252 unless told otherwise.
set(CMAKE_RC_FLAGS_INIT "-c 65001")

# The dependency prefix: PIXLANE_WINDOWS_DEPS (CMake or environment
# variable), else the per-user cache that scripts/build-windows-deps uses by
# default. Kept outside the source tree on purpose.
if(NOT PIXLANE_WINDOWS_DEPS)
  if(DEFINED ENV{PIXLANE_WINDOWS_DEPS} AND NOT "$ENV{PIXLANE_WINDOWS_DEPS}" STREQUAL "")
    set(PIXLANE_WINDOWS_DEPS "$ENV{PIXLANE_WINDOWS_DEPS}")
  elseif(DEFINED ENV{XDG_CACHE_HOME} AND NOT "$ENV{XDG_CACHE_HOME}" STREQUAL "")
    set(PIXLANE_WINDOWS_DEPS "$ENV{XDG_CACHE_HOME}/pixlane/windows-deps")
  else()
    set(PIXLANE_WINDOWS_DEPS "$ENV{HOME}/.cache/pixlane/windows-deps")
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

# Runs the .exe files (tests, test discovery) under Wine with a private,
# warmed-up prefix.
get_filename_component(_pixlane_source_root "${CMAKE_CURRENT_LIST_DIR}/.." ABSOLUTE)
set(CMAKE_CROSSCOMPILING_EMULATOR "${_pixlane_source_root}/scripts/wine-run")
unset(_pixlane_source_root)
