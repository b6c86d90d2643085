# The libFuzzer harness of the actor data file reader, and the generator of its seed corpus.
tumelora_add_fuzzer(actor_data fuzz/actor_data_fuzzer.cpp ${CMAKE_SOURCE_DIR}/fuzz/corpus/actor_data)

add_executable(actor_corpus tools/actor_corpus.cpp)
target_compile_options(actor_corpus PRIVATE ${TUMELORA_WARNINGS})
add_test(NAME actor_corpus_up_to_date
  COMMAND actor_corpus --check ${CMAKE_SOURCE_DIR}/fuzz/corpus/actor_data)
