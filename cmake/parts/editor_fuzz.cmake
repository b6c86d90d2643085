# The libFuzzer harnesses of the editor's readers: the recovery file and the beats file.
tumelora_add_fuzzer(recovery fuzz/recovery_fuzzer.cpp ${CMAKE_SOURCE_DIR}/fuzz/corpus/recovery)
# The libFuzzer harness of the beats file reader.
tumelora_add_fuzzer(beats fuzz/beats_fuzzer.cpp ${CMAKE_SOURCE_DIR}/fuzz/corpus/beats)
