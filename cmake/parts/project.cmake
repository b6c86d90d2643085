# Projects: the program finds its own files beside the installed program or, for a build
# that is not installed, in the source tree.

include(GNUInstallDirs)
set(TUMELORA_INSTALL_DATADIR ${CMAKE_INSTALL_DATADIR}/tumelora)
# The installed files, seen from the installed program (the same under any --prefix).
file(RELATIVE_PATH TUMELORA_DATA_FROM_BINARY /prefix/${CMAKE_INSTALL_BINDIR}
  /prefix/${TUMELORA_INSTALL_DATADIR})
set_property(SOURCE ${CMAKE_SOURCE_DIR}/project/ProjectPaths.cpp APPEND PROPERTY COMPILE_DEFINITIONS
  TUMELORA_INSTALLED_DATA_FROM_BINARY="${TUMELORA_DATA_FROM_BINARY}"
  TUMELORA_SOURCE_DATA_DIR="${CMAKE_SOURCE_DIR}/data"
  TUMELORA_SOURCE_PROJECT_DIR="${CMAKE_SOURCE_DIR}/project")

# cmake --install BUILD --prefix PREFIX: the program, its own files with the bundled scene
# and the Photoshop import helper, a desktop entry and an icon.
install(TARGETS tumelora RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(DIRECTORY ${CMAKE_SOURCE_DIR}/data/ DESTINATION ${TUMELORA_INSTALL_DATADIR})
install(PROGRAMS ${CMAKE_SOURCE_DIR}/project/psd-import DESTINATION ${TUMELORA_INSTALL_DATADIR})
install(FILES ${CMAKE_SOURCE_DIR}/project/install/tumelora.desktop
  DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_SOURCE_DIR}/project/install/tumelora.svg
  DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

tumelora_add_fuzzer(openraster fuzz/openraster_fuzzer.cpp ${CMAKE_SOURCE_DIR}/fuzz/corpus/openraster)

# End to end: a project made from an MP3, two PNG pictures, three layers exported one per file
# and a layered file, exported and edited from another folder, by the build and by the
# installed program; and the bad inputs.
add_test(NAME e2e_project
  COMMAND bash ${CMAKE_SOURCE_DIR}/tests/e2e/project.sh $<TARGET_FILE:tumelora>
    $<TARGET_FILE:e2e_tool> $<TARGET_FILE:make_tone> ${CMAKE_SOURCE_DIR} ${CMAKE_BINARY_DIR})
set_tests_properties(e2e_project PROPERTIES TIMEOUT 1200 SKIP_RETURN_CODE 77)
add_test(NAME e2e_project_errors
  COMMAND bash ${CMAKE_SOURCE_DIR}/tests/e2e/project_errors.sh $<TARGET_FILE:tumelora>
    ${CMAKE_SOURCE_DIR})
set_tests_properties(e2e_project_errors PROPERTIES TIMEOUT 900)
