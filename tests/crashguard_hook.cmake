kavrel_unit_test(api_hook_tests
  SOURCES unit/instruction_decoder_tests.cpp unit/api_hook_tests.cpp LIBS crashguard)
