# The application's extra test wiring: the pixel read-back of the render tests calls
# OpenGL directly, and the end-to-end runs of the real program under a display.
find_package(OpenGL REQUIRED)
if(TARGET test_render)
  target_link_libraries(test_render PRIVATE OpenGL::GL)
endif()
