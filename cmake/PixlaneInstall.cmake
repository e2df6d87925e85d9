# `cmake --install` on Linux: bin/pixlane, its manual page and bash
# completion (both generated at build time from the program's own --help
# text, so they list exactly the options it takes), and share/doc/pixlane
# with the README, the HTML help pages and the licence texts of the
# libraries listed in packaging/licenses (Debian's copyright files).
include(GNUInstallDirs)
find_package(Python3 REQUIRED COMPONENTS Interpreter)

set(pixlane_pkg_dir ${PROJECT_BINARY_DIR}/packaging)
set(pixlane_help_text ${pixlane_pkg_dir}/pixlane-help.txt)
set(pixlane_manpage ${pixlane_pkg_dir}/pixlane.1)
set(pixlane_completion ${pixlane_pkg_dir}/pixlane.bash)
add_custom_command(
  OUTPUT ${pixlane_help_text} ${pixlane_manpage} ${pixlane_completion}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${pixlane_pkg_dir}
  COMMAND sh -c "\"$1\" --help >\"$2\"" sh $<TARGET_FILE:pixlane> ${pixlane_help_text}
  COMMAND sh -c "\"$1\" \"$2\" \"$3\" <\"$4\" >\"$5\""
    sh ${Python3_EXECUTABLE} ${PROJECT_SOURCE_DIR}/packaging/linux/make_manpage.py
    ${PROJECT_VERSION} ${pixlane_help_text} ${pixlane_manpage}
  COMMAND sh -c "\"$1\" \"$2\" <\"$3\" >\"$4\""
    sh ${Python3_EXECUTABLE} ${PROJECT_SOURCE_DIR}/packaging/linux/make_completion.py
    ${pixlane_help_text} ${pixlane_completion}
  DEPENDS pixlane
    ${PROJECT_SOURCE_DIR}/packaging/linux/make_manpage.py
    ${PROJECT_SOURCE_DIR}/packaging/linux/make_completion.py
  COMMENT "Generating the manual page and bash completion from pixlane --help"
  VERBATIM)
add_custom_target(pixlane_manpage ALL DEPENDS ${pixlane_manpage} ${pixlane_completion})

set(pixlane_doc_dir ${CMAKE_INSTALL_DATADIR}/doc/pixlane)
install(TARGETS pixlane RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${pixlane_manpage} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${pixlane_completion} RENAME pixlane
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${pixlane_doc_dir})
file(GLOB pixlane_help_pages ${PROJECT_SOURCE_DIR}/docs/help/*.htm)
install(FILES ${pixlane_help_pages} ${PROJECT_SOURCE_DIR}/docs/help/help.css
        DESTINATION ${pixlane_doc_dir}/help)

# One licence a line of packaging/licenses: "name windows-package linux-package".
file(STRINGS ${PROJECT_SOURCE_DIR}/packaging/licenses pixlane_license_lines REGEX "^[^#]")
foreach(line IN LISTS pixlane_license_lines)
  string(REGEX REPLACE "[ \t]+" ";" fields "${line}")
  list(GET fields 0 name)
  list(GET fields 2 package)
  set(copyright /usr/share/doc/${package}/copyright)
  if(NOT EXISTS ${copyright})
    message(FATAL_ERROR "No licence text for ${name}: ${copyright} is missing (Debian package ${package})")
  endif()
  install(FILES ${copyright} RENAME ${name}.txt DESTINATION ${pixlane_doc_dir}/licenses)
endforeach()
