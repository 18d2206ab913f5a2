kavrel_unit_test(api_hook_tests
  SOURCES unit/instruction_decoder_tests.cpp unit/api_hook_tests.cpp LIBS crashguard)
kavrel_unit_test(low_level_memory_tests SOURCES unit/low_level_memory_tests.cpp LIBS crashguard)
# The decoder's lengths against the cross toolchain's disassembler, over a
# generated table of every opcode and over the exports of Wine's own libraries.
add_executable(decode_lengths support/decode_lengths.cpp)
target_link_libraries(decode_lengths PRIVATE crashguard)
set(WINE_DLL_DIR /usr/lib/i386-linux-gnu/wine/i386-windows CACHE PATH "Wine's 32-bit system libraries")
add_test(NAME decoder_differential
  COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_SOURCE_DIR}/tools/decoder_differential.py
    ${CMAKE_OBJDUMP} ${WINE_DLL_DIR} -- ${CMAKE_SOURCE_DIR}/tools/wine-run $<TARGET_FILE:decode_lengths>)
set_tests_properties(decoder_differential PROPERTIES TIMEOUT 1200)
