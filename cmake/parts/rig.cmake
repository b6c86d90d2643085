# The rig: the libFuzzer harness of the rig file reader, with its seed corpus.
tumelora_add_fuzzer(rig fuzz/rig_fuzzer.cpp ${CMAKE_SOURCE_DIR}/fuzz/corpus/rig)

# A take recorded on the bundled dancer in the real program's editing mode (the right button
# turning the upper arm during "Rec"), checked by replaying the saved tracks through the
# player's easing: rig_take_check measures every joint in every frame.
add_executable(rig_take_check ${CMAKE_SOURCE_DIR}/tests/e2e/tool/rig_take_check.cpp)
target_link_libraries(rig_take_check PRIVATE tumelora_core)
target_compile_options(rig_take_check PRIVATE ${TUMELORA_WARNINGS})
add_test(NAME e2e_rig_take
  COMMAND bash ${CMAKE_SOURCE_DIR}/tests/e2e/rig_take.sh $<TARGET_FILE:tumelora>
    $<TARGET_FILE:e2e_tool> $<TARGET_FILE:make_tone> ${CMAKE_SOURCE_DIR} $<TARGET_FILE:rig_take_check>)
set_tests_properties(e2e_rig_take PROPERTIES TIMEOUT 900 SKIP_RETURN_CODE 77)
