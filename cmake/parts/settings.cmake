# The libFuzzer harness of the user's settings file reader (platform/UserSettings).
tumelora_add_fuzzer(settings fuzz/settings_fuzzer.cpp ${CMAKE_SOURCE_DIR}/fuzz/corpus/settings)
