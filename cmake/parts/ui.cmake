# The widget pictures of the editor panel: their generator, and a test that regenerates
# them into a temporary folder and compares them byte for byte with the committed ones.
add_executable(make_skins ${CMAKE_SOURCE_DIR}/tools/make_skins.cpp)
target_include_directories(make_skins SYSTEM PRIVATE ${IRRLICHT_INCLUDE_DIR})
target_link_libraries(make_skins PRIVATE ${IRRLICHT_LIBRARY} ${X11_LIBRARIES})
target_compile_options(make_skins PRIVATE ${TUMELORA_WARNINGS})

set(TUMELORA_SKIN_PICTURES button.png button-hot.png button-active.png button-hot-active.png
  slider-base.png slider-thumb.png slider-thumb-active.png checkbox.png checkbox-active.png
  checkbox-check.png)
add_test(NAME skin_pictures_regenerate
  COMMAND ${CMAKE_SOURCE_DIR}/tools/check-generated $<TARGET_FILE:make_skins>
    ${CMAKE_SOURCE_DIR}/data ${TUMELORA_SKIN_PICTURES})

# The skin render test reads the frame back with glReadPixels.
find_package(OpenGL REQUIRED)
if(TARGET test_ui)
  target_link_libraries(test_ui PRIVATE OpenGL::GL)
endif()
