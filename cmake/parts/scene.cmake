# The bundled scene: the generators of its pictures and tracks, the check that the committed
# data/actors/ is exactly what they make, and the real program playing it under a display.
# To remake the scene after changing tools/scene/, from the repository root:
#   build/make_scene_pictures data/actors
#   build/make_scene_tracks data/lumokari2_tumelora_voices.beats data/lumokari2_tumelora_voices.ogg data/actors
# and the README's screenshot: SCENE_SHOT_PNG=$PWD/docs/scene.png ctest --test-dir build -R e2e_scene_plays
pkg_check_modules(SCENE_CAIRO REQUIRED IMPORTED_TARGET cairo)
find_package(JPEG REQUIRED)
find_package(PNG REQUIRED)

# make_scene_pictures OUTDIR: the backdrop (JPEG) and every actor picture (PNG).
add_executable(make_scene_pictures ${CMAKE_SOURCE_DIR}/tools/scene/make_scene_pictures.cpp)
target_include_directories(make_scene_pictures PRIVATE ${CMAKE_SOURCE_DIR})
target_link_libraries(make_scene_pictures PRIVATE PkgConfig::SCENE_CAIRO JPEG::JPEG)
target_compile_options(make_scene_pictures PRIVATE ${TUMELORA_WARNINGS})

# make_scene_tracks BEATS MUSIC OUTDIR: every actor's data file, choreographed to the beat list.
add_executable(make_scene_tracks ${CMAKE_SOURCE_DIR}/tools/scene/make_scene_tracks.cpp)
target_link_libraries(make_scene_tracks PRIVATE tumelora_core)
target_compile_options(make_scene_tracks PRIVATE ${TUMELORA_WARNINGS})

# scene_shot: turns an X window dump into a PNG and checks a frame of the playing scene.
add_executable(scene_shot ${CMAKE_SOURCE_DIR}/tools/scene/scene_shot.cpp)
target_include_directories(scene_shot PRIVATE ${CMAKE_SOURCE_DIR})
target_link_libraries(scene_shot PRIVATE PNG::PNG JPEG::JPEG)
target_compile_options(scene_shot PRIVATE ${TUMELORA_WARNINGS})

add_test(NAME scene_regenerates_exactly
  COMMAND bash ${CMAKE_SOURCE_DIR}/tools/scene/check_scene.sh $<TARGET_FILE:make_scene_pictures>
    $<TARGET_FILE:make_scene_tracks> ${CMAKE_SOURCE_DIR}/data)
set_tests_properties(scene_regenerates_exactly PROPERTIES TIMEOUT 120)

# The real program plays the bundled scene with its music and ends by itself when the music does.
add_test(NAME e2e_scene_plays
  COMMAND bash ${CMAKE_SOURCE_DIR}/tests/scene/scene_plays.sh $<TARGET_FILE:tumelora>
    $<TARGET_FILE:scene_shot> ${CMAKE_SOURCE_DIR})
set_tests_properties(e2e_scene_plays PROPERTIES TIMEOUT 900 SKIP_RETURN_CODE 77)

# scene_proof ACTORDIR OUT.png FRAME...: frames of the scene drawn offline, for choreography work.
add_executable(scene_proof ${CMAKE_SOURCE_DIR}/tools/scene/scene_proof.cpp)
target_link_libraries(scene_proof PRIVATE tumelora_core PkgConfig::SCENE_CAIRO JPEG::JPEG)
target_compile_options(scene_proof PRIVATE ${TUMELORA_WARNINGS})
