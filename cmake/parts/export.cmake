# The video export's tests drive the real program and ffmpeg under a display and check the
# files with ffprobe.

# export_test_tool: writes the test actors and compares pictures for the end-to-end tests.
add_executable(export_test_tool ${CMAKE_SOURCE_DIR}/tests/export/tools/ExportTestTool.cpp)
target_link_libraries(export_test_tool PRIVATE tumelora_core)
target_compile_options(export_test_tool PRIVATE ${TUMELORA_WARNINGS})

# The frame comparison test writes its music with libvorbisenc (as the main state's tests do).
if(TARGET test_export)
  target_link_libraries(test_export PRIVATE PkgConfig::STATE_VORBISENC)
endif()

# End-to-end: the real program exports a small test animation; ffprobe checks the files.
set(TUMELORA_EXPORT_E2E_ARGS $<TARGET_FILE:tumelora> $<TARGET_FILE:export_test_tool>
  $<TARGET_FILE:make_tone> ${CMAKE_SOURCE_DIR})
foreach(name video player_frame errors)
  add_test(NAME e2e_export_${name}
    COMMAND bash ${CMAKE_SOURCE_DIR}/tests/e2e/export_${name}.sh ${TUMELORA_EXPORT_E2E_ARGS})
  set_tests_properties(e2e_export_${name} PROPERTIES TIMEOUT 1800 SKIP_RETURN_CODE 77)
endforeach()
