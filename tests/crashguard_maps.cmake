kavrel_unit_test(process_map_tests SOURCES unit/process_map_tests.cpp LIBS crashguard)
# Each case needs a process whose map is not made yet.
kavrel_process_test(published_map_tests SOURCES unit/published_map_tests.cpp LIBS crashguard)
kavrel_unit_test(guard_options_tests SOURCES unit/guard_options_tests.cpp LIBS crashguard)
kavrel_unit_test(call_stack_tests SOURCES unit/call_stack_tests.cpp LIBS crashguard)
kavrel_process_test(fault_report_tests SOURCES unit/fault_report_tests.cpp LIBS crashguard LOCK crash_box)
