# The main state's tests: the test music writer needs libvorbisenc, and the end-to-end tests
# run the real program under a private Xvfb, driven by xdotool.
pkg_check_modules(STATE_VORBISENC REQUIRED IMPORTED_TARGET vorbisenc vorbis ogg)
if(TARGET test_state)
  target_link_libraries(test_state PRIVATE PkgConfig::STATE_VORBISENC)
  target_include_directories(test_state PRIVATE ${CMAKE_SOURCE_DIR})
endif()

# make_tone PATH SECONDS [HZ]: the short test music of the end-to-end tests.
add_executable(make_tone ${CMAKE_SOURCE_DIR}/tools/make_tone.cpp)
target_include_directories(make_tone PRIVATE ${CMAKE_SOURCE_DIR})
target_link_libraries(make_tone PRIVATE PkgConfig::STATE_VORBISENC)
target_compile_options(make_tone PRIVATE ${TUMELORA_WARNINGS})

# The libFuzzer harness of the checks an actor picture passes before it is decoded.
tumelora_add_fuzzer(picture_check fuzz/picture_check_fuzzer.cpp ${CMAKE_SOURCE_DIR}/fuzz/corpus/picture_check)
# The libFuzzer harnesses of the scene settings file and of the drawing order's journal.
tumelora_add_fuzzer(scene_settings fuzz/scene_settings_fuzzer.cpp ${CMAKE_SOURCE_DIR}/fuzz/corpus/scene_settings)
tumelora_add_fuzzer(drawing_order fuzz/drawing_order_fuzzer.cpp ${CMAKE_SOURCE_DIR}/fuzz/corpus/drawing_order)
