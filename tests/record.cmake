# The record tests, built natively and as a Windows .exe that ctest runs under Wine.
add_executable(record_tests
  record_level_tests.cpp
  record_io_tests.cpp
  record_fault_tests.cpp
  record_os_tests.cpp
  record_format_tests.cpp
  record_save_tests.cpp
  unique_any_tests.cpp
)
if(WIN32)
  # Its own entry point, which can hide the functions newer than XP.
  target_sources(record_tests PRIVATE record_main.cpp)
  target_link_libraries(record_tests PRIVATE velmora_record gtest)
else()
  target_link_libraries(record_tests PRIVATE velmora_record gtest_main)
endif()
# The committed sample records.
target_compile_definitions(record_tests PRIVATE VELMORA_RECORD_DATA="${CMAKE_CURRENT_SOURCE_DIR}/data")

# A small tmpfs, an immutable file and a symbolic link, made by a script because a test under
# Wine cannot.
set(record_fixtures ${CMAKE_CURRENT_BINARY_DIR}/record_fixtures)
add_test(NAME record_fixtures_setup
  COMMAND sh ${CMAKE_CURRENT_SOURCE_DIR}/record_fixture.sh setup ${record_fixtures})
add_test(NAME record_fixtures_cleanup
  COMMAND sh ${CMAKE_CURRENT_SOURCE_DIR}/record_fixture.sh cleanup ${record_fixtures})
set_tests_properties(record_fixtures_setup PROPERTIES FIXTURES_SETUP record_fixtures)
set_tests_properties(record_fixtures_cleanup PROPERTIES FIXTURES_CLEANUP record_fixtures)

if(WIN32)
  set(record_discovery_timeout 120)
else()
  set(record_discovery_timeout 10)
endif()
gtest_discover_tests(record_tests
  DISCOVERY_TIMEOUT ${record_discovery_timeout}
  PROPERTIES
    FIXTURES_REQUIRED record_fixtures
    ENVIRONMENT VELMORA_RECORD_FIXTURES=${record_fixtures}
)
