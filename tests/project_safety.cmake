# The project rules end to end: the real Kavrel.exe on a drive of its own per
# case, the files it leaves checked from the Linux side by the script.
add_executable(project_safety_e2e_tests e2e/project_safety_e2e_tests.cpp e2e/kavrel_driver.cpp)
target_link_libraries(project_safety_e2e_tests PRIVATE test_support)
add_dependencies(project_safety_e2e_tests Kavrel)
foreach(area KeptProjects OverlappingFolders SharedBackupDirs StoredPaths UnsavedSettings)
  add_test(NAME project_safety_e2e.${area}
    COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/e2e/project_safety.sh $<TARGET_FILE:project_safety_e2e_tests> ${area}.*)
  set_tests_properties(project_safety_e2e.${area} PROPERTIES RESOURCE_LOCK "kavrel;drive_k" TIMEOUT 600)
endforeach()
