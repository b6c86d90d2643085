# Text: the bundled-font generator, the check that the committed font is its output, and the
# font-file fuzzer.
find_package(Freetype REQUIRED)
find_package(PNG REQUIRED)

add_executable(make_font tools/make_font.cpp)
target_link_libraries(make_font PRIVATE Freetype::Freetype PNG::PNG)
target_include_directories(make_font PRIVATE ${CMAKE_SOURCE_DIR})
target_compile_options(make_font PRIVATE ${TUMELORA_WARNINGS})

set(TUMELORA_FONT_FACE /usr/share/fonts/truetype/open-sans/OpenSans-Regular.ttf)
add_test(NAME text_font_data_regenerates
  COMMAND ${CMAKE_SOURCE_DIR}/tools/check_font_data.sh $<TARGET_FILE:make_font>
    ${TUMELORA_FONT_FACE} ${CMAKE_SOURCE_DIR}/data)

tumelora_add_fuzzer(font fuzz/font_fuzzer.cpp ${CMAKE_SOURCE_DIR}/fuzz/corpus/font)

# The text tests read the frame buffer back with glReadPixels.
find_package(OpenGL REQUIRED)
if(TARGET test_text)
  target_link_libraries(test_text PRIVATE OpenGL::GL)
endif()
