# The music generator and the check that the committed music is exactly what it makes.
pkg_check_modules(VORBISENC REQUIRED IMPORTED_TARGET vorbisenc vorbis ogg)
add_executable(make_music ${CMAKE_SOURCE_DIR}/tools/make_music.cpp)
target_link_libraries(make_music PRIVATE PkgConfig::VORBISENC)
target_include_directories(make_music PRIVATE ${CMAKE_SOURCE_DIR})
target_compile_options(make_music PRIVATE ${TUMELORA_WARNINGS})
# The synthesis is heavy: optimise it in every build type (the output does not depend on it).
target_compile_options(make_music PRIVATE -O2)
add_test(NAME music_regenerates_exactly
  COMMAND ${CMAKE_SOURCE_DIR}/tools/check_music.sh $<TARGET_FILE:make_music> ${CMAKE_SOURCE_DIR}/data)
set_tests_properties(music_regenerates_exactly PROPERTIES TIMEOUT 300)

# The sound tests write their own Ogg Vorbis test files.
if(TARGET test_sound)
  target_link_libraries(test_sound PRIVATE PkgConfig::VORBISENC)
endif()

# The music loader's fuzzer; its seeds (small tones) are written into the build folder.
if(TUMELORA_FUZZ)
  add_executable(make_sound_seeds ${CMAKE_SOURCE_DIR}/tools/make_sound_seeds.cpp)
  target_include_directories(make_sound_seeds PRIVATE ${CMAKE_SOURCE_DIR})
  target_link_libraries(make_sound_seeds PRIVATE PkgConfig::VORBISENC)
  target_compile_options(make_sound_seeds PRIVATE ${TUMELORA_WARNINGS})
  set(sound_seeds ${CMAKE_BINARY_DIR}/fuzz-seeds/sound)
  add_custom_command(OUTPUT ${sound_seeds}/mono-8000.ogg
    COMMAND ${CMAKE_COMMAND} -E make_directory ${sound_seeds}
    COMMAND make_sound_seeds ${sound_seeds}
    DEPENDS make_sound_seeds)
  add_custom_target(sound_seeds ALL DEPENDS ${sound_seeds}/mono-8000.ogg)
  tumelora_add_fuzzer(sound_stream_open ${CMAKE_SOURCE_DIR}/fuzz/sound_stream_open.cpp ${sound_seeds})
  add_dependencies(fuzz_sound_stream_open sound_seeds)
endif()

# Benchmark of the sound layer (not a test): bench_sound [MUSIC.ogg].
add_executable(bench_sound ${CMAKE_SOURCE_DIR}/bench/sound_bench.cpp)
target_link_libraries(bench_sound PRIVATE tumelora_core)
target_compile_options(bench_sound PRIVATE ${TUMELORA_WARNINGS})
