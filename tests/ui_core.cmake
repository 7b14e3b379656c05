# Pure ui helpers: built and run on the host, and again as a Windows .exe under Wine.
add_executable(ui_core_tests
  ${CMAKE_CURRENT_LIST_DIR}/ui_core_tests.cpp
  ${CMAKE_CURRENT_LIST_DIR}/layout_tests.cpp
  ${CMAKE_CURRENT_LIST_DIR}/save_rule_tests.cpp
)
target_link_libraries(ui_core_tests PRIVATE velmora_ui_core GTest::gtest_main)
velmora_add_test_program(ui_core_tests)
