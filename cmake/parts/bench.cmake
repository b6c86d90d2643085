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
