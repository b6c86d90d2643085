# The libFuzzer harness of the editor's recovery file reader, with its seed files.
tumelora_add_fuzzer(recovery fuzz/recovery_fuzzer.cpp ${CMAKE_SOURCE_DIR}/fuzz/corpus/recovery)
