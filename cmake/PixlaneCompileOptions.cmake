# One warning set and one set of code-generation flags for every Pixlane
# target, native and cross-compiled. Targets opt in with
# pixlane_target_defaults(<target>).
add_library(pixlane_options INTERFACE)
target_compile_options(pixlane_options INTERFACE
  -Wall -Wextra -Wconversion -Wshadow -Wno-sign-conversion
  # GCC 12 reports string concatenations as overlapping copies (a known
  # false positive of -Wrestrict at -O2 and above).
  $<$<CXX_COMPILER_ID:GNU>:-Wno-restrict>)
if(PIXLANE_WARNINGS_AS_ERRORS)
  target_compile_options(pixlane_options INTERFACE -Werror)
endif()
if(WIN32)
  # Unicode Win32 API and UTF-8 sources (wide literals become correct UTF-16).
  target_compile_definitions(pixlane_options INTERFACE
    UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601)
  target_compile_options(pixlane_options INTERFACE -finput-charset=UTF-8)
  # Standalone executables: no libgcc, libstdc++ or winpthread DLLs.
  target_link_options(pixlane_options INTERFACE -static)
endif()
if(PIXLANE_SANITIZE)
  target_compile_options(pixlane_options INTERFACE
    -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  target_link_options(pixlane_options INTERFACE -fsanitize=address,undefined)
endif()

function(pixlane_target_defaults target)
  target_link_libraries(${target} PRIVATE pixlane_options)
endfunction()
