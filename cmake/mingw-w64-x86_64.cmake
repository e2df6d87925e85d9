# Cross toolchain for 64-bit Windows with Debian's mingw-w64 (posix thread
# model: the win32 model lacks std::thread and std::mutex); the shared part
# is mingw-w64-common.cmake. Test executables run through scripts/wine-run.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(PIXLANE_MINGW_TRIPLE x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)

# Runs the .exe files (tests, test discovery) under Wine with a private,
# warmed-up prefix.
get_filename_component(_pixlane_source_root "${CMAKE_CURRENT_LIST_DIR}/.." ABSOLUTE)
set(CMAKE_CROSSCOMPILING_EMULATOR "${_pixlane_source_root}/scripts/wine-run")
unset(_pixlane_source_root)
