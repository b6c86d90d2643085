# The application's extra test wiring: the pixel read-back of the render tests calls
# OpenGL directly, and the end-to-end runs of the real program under a display.
find_package(OpenGL REQUIRED)
if(TARGET test_render)
  target_link_libraries(test_render PRIVATE OpenGL::GL)
endif()

# The real program under a display, driven by xdotool: window caption, error box, exit codes.
add_test(NAME e2e_program_window
  COMMAND bash ${CMAKE_SOURCE_DIR}/tests/e2e/program_window.sh $<TARGET_FILE:tumelora>)
set_tests_properties(e2e_program_window PROPERTIES TIMEOUT 600 SKIP_RETURN_CODE 77)
