# The rig: the libFuzzer harness of the rig file reader, with its seed corpus.
tumelora_add_fuzzer(rig fuzz/rig_fuzzer.cpp ${CMAKE_SOURCE_DIR}/fuzz/corpus/rig)
