kavrel_unit_test(api_hook_tests
  SOURCES unit/instruction_decoder_tests.cpp unit/api_hook_tests.cpp LIBS crashguard)
kavrel_unit_test(low_level_memory_tests SOURCES unit/low_level_memory_tests.cpp LIBS crashguard)
