# Benchmarks (not tests): bench_render (scene frame cost, per-quad cost, start-up) and
# bench_program (music against picture, endurance). bench/run builds them in Release, runs
# them and prints one table. They export their symbols so that gl_count.cpp can stand in
# front of libGL and count the engine's draw calls.
find_package(OpenGL REQUIRED)
foreach(bench_name render program)
  add_executable(bench_${bench_name} ${CMAKE_SOURCE_DIR}/bench/${bench_name}_bench.cpp
    ${CMAKE_SOURCE_DIR}/bench/gl_count.cpp)
  target_link_libraries(bench_${bench_name} PRIVATE tumelora_core OpenGL::GL ${CMAKE_DL_LIBS})
  target_compile_options(bench_${bench_name} PRIVATE ${TUMELORA_WARNINGS})
  set_target_properties(bench_${bench_name} PROPERTIES ENABLE_EXPORTS ON)
endforeach()
# bench_program's sync figures record what a PulseAudio server plays (libpulse-simple), and it
# writes its click song with libvorbisenc.
pkg_check_modules(PULSE_SIMPLE REQUIRED IMPORTED_TARGET libpulse-simple)
pkg_check_modules(BENCH_VORBISENC REQUIRED IMPORTED_TARGET vorbisenc vorbis ogg)
target_link_libraries(bench_program PRIVATE PkgConfig::PULSE_SIMPLE PkgConfig::BENCH_VORBISENC)
# bench_takes plays the hand in the real editor: it moves the pointer and presses keys through
# the XTest extension (libxtst-dev), then reads the saved track back through the project's
# reader and lays the stage out with the editor's own layout code; it listens to the sound
# server's monitor (libpulse-simple) for when the music was heard.
pkg_check_modules(BENCH_XTST REQUIRED IMPORTED_TARGET x11 xtst)
add_executable(bench_takes ${CMAKE_SOURCE_DIR}/bench/takes_bench.cpp)
target_link_libraries(bench_takes PRIVATE tumelora_core PkgConfig::BENCH_XTST PkgConfig::PULSE_SIMPLE)
target_compile_options(bench_takes PRIVATE ${TUMELORA_WARNINGS})
# bench_dance dances the bundled scene as --dance does and measures it: beats against the
# root's lowest points, the motion's size against the song's loudness, the joints.
add_executable(bench_dance ${CMAKE_SOURCE_DIR}/bench/dance_bench.cpp)
target_link_libraries(bench_dance PRIVATE tumelora_core)
target_compile_options(bench_dance PRIVATE ${TUMELORA_WARNINGS})
