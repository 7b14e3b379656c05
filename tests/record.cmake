# The record tests: its pure parts on the host; loading and saving as a Windows .exe that ctest
# runs under Wine against real files.
if(WIN32)
  add_executable(record_tests
    record_format_tests.cpp
    record_level_tests.cpp
    record_path_tests.cpp
    record_os_tests.cpp
    record_save_tests.cpp
    record_win32_sweep_tests.cpp
    record_outside_tests.cpp
  )
else()
  add_executable(record_tests
    record_level_tests.cpp
    record_path_tests.cpp
    unique_any_tests.cpp
  )
endif()
if(WIN32)
  # Its own entry point, which can hide the functions newer than XP.
  target_sources(record_tests PRIVATE record_main.cpp)
  target_link_libraries(record_tests PRIVATE velmora_record gtest)
else()
  target_link_libraries(record_tests PRIVATE velmora_record gtest_main)
endif()
# The committed sample records.
target_compile_definitions(record_tests PRIVATE VELMORA_RECORD_DATA="${CMAKE_CURRENT_SOURCE_DIR}/data")

if(WIN32)
  # A small tmpfs, an immutable file and symbolic links, made by a script because a test under
  # Wine cannot.
  set(record_fixtures ${CMAKE_CURRENT_BINARY_DIR}/record_fixtures)
  add_test(NAME record_fixtures_setup
    COMMAND sh ${CMAKE_CURRENT_SOURCE_DIR}/record_fixture.sh setup ${record_fixtures})
  add_test(NAME record_fixtures_cleanup
    COMMAND sh ${CMAKE_CURRENT_SOURCE_DIR}/record_fixture.sh cleanup ${record_fixtures})
  set_tests_properties(record_fixtures_setup PROPERTIES FIXTURES_SETUP record_fixtures)
  set_tests_properties(record_fixtures_cleanup PROPERTIES FIXTURES_CLEANUP record_fixtures)
  # A file the user may not write, saved as another user than its owner.
  add_test(NAME record_as_another_user
    COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/as_another_user.sh $<TARGET_FILE:record_tests>
            ${CMAKE_CURRENT_BINARY_DIR}/as_another_user)
  set_tests_properties(record_as_another_user PROPERTIES SKIP_RETURN_CODE 77)
  # Two programs in two Wine prefixes saving one file at the same instant.
  add_test(NAME record_two_prefixes
    COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/two_prefixes.sh $<TARGET_FILE:record_tests>
            ${CMAKE_CURRENT_BINARY_DIR}/two_prefixes)
  velmora_add_test_program(record_tests)
  set_tests_properties(record_tests PROPERTIES
    FIXTURES_REQUIRED record_fixtures
    ENVIRONMENT VELMORA_RECORD_FIXTURES=${record_fixtures})
else()
  velmora_add_test_program(record_tests)
endif()
