# End-to-end tests of the real program: each script runs build/tumelora in a window on an X
# server of its own (tests/e2e/e2e_lib.sh), drives it with xdotool, plays into SDL's disk
# audio driver, and checks what it drew (window pixels), played (the captured samples) and
# saved (the data files). e2e_tool writes their test pictures and tracks and reads the
# results back. Every script waits for what it checks; the end-to-end tests' CTest limits
# leave room for the sanitizer build on a busy machine (several times its time there).
add_executable(e2e_tool ${CMAKE_SOURCE_DIR}/tests/e2e/tool/e2e_tool.cpp)
target_link_libraries(e2e_tool PRIVATE tumelora_core)
target_compile_options(e2e_tool PRIVATE ${TUMELORA_WARNINGS})

foreach(script playback scene editing recording failures)
  add_test(NAME e2e_${script}
    COMMAND bash ${CMAKE_SOURCE_DIR}/tests/e2e/${script}.sh $<TARGET_FILE:tumelora>
      $<TARGET_FILE:e2e_tool> $<TARGET_FILE:make_tone> ${CMAKE_SOURCE_DIR})
  set_tests_properties(e2e_${script} PROPERTIES TIMEOUT 900 SKIP_RETURN_CODE 77)
endforeach()
