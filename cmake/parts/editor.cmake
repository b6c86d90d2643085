# The editing mode's tests: test_editor reuses the main state's test support (a real device,
# test music written with libvorbisenc) and reads pixels back through OpenGL, and the end-to-end test drives the real program in
# its editing mode under a display and reads its window back.
pkg_check_modules(EDITOR_VORBISENC REQUIRED IMPORTED_TARGET vorbisenc vorbis ogg)
find_package(OpenGL REQUIRED)
if(TARGET test_editor)
  target_link_libraries(test_editor PRIVATE PkgConfig::EDITOR_VORBISENC OpenGL::GL)
  target_include_directories(test_editor PRIVATE ${CMAKE_SOURCE_DIR})
endif()

add_test(NAME e2e_editor_mode
  COMMAND bash ${CMAKE_SOURCE_DIR}/tests/e2e/editor_mode.sh $<TARGET_FILE:tumelora>
          $<TARGET_FILE:make_tone> $<TARGET_FILE:e2e_tool> ${CMAKE_SOURCE_DIR})
# It starts an X server of its own (the 1366 x 768 screen it needs).
set_tests_properties(e2e_editor_mode PROPERTIES TIMEOUT 1800 SKIP_RETURN_CODE 77)

# --dance end to end: a small rigged project danced without a display, its previous tracks kept
# and its joints checked through the player's easing.
add_test(NAME e2e_dance
  COMMAND bash ${CMAKE_SOURCE_DIR}/tests/e2e/dance.sh $<TARGET_FILE:tumelora> $<TARGET_FILE:make_tone>
    ${CMAKE_SOURCE_DIR} $<TARGET_FILE:rig_take_check>)
set_tests_properties(e2e_dance PROPERTIES TIMEOUT 300)
