# Cross toolchain for 32-bit Windows with Debian's mingw-w64 (posix thread
# model), for users of 32-bit image input plug-ins; the shared part is
# mingw-w64-common.cmake. 32-bit programs cannot run on the build machines
# (their kernel refuses 32-bit executables, so Wine cannot start them): this
# build is compiled and linked, its tests are built and never run.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(PIXLANE_MINGW_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
