# Win32 tests: the real window and the system's dialogs, run under Wine in a virtual display.
add_executable(window_tests
  ${PROJECT_SOURCE_DIR}/app/message_loop.cpp  # the program's own loop
  window_main.cpp
  window_test_support.cpp
  window_tests.cpp
  window_status_tests.cpp
  window_command_tests.cpp
  window_command_strain_tests.cpp
  window_fallback_tests.cpp
  window_input_tests.cpp
  window_look_tests.cpp
  window_contrast_tests.cpp
  window_scheme_tests.cpp
)
target_include_directories(window_tests PRIVATE ${PROJECT_SOURCE_DIR})
# The resources bring the manifest (common controls 6), the glyphs and the logo.
target_link_libraries(window_tests PRIVATE velmora_ui velmora_resources GTest::gtest oleacc ole32 oleaut32)
velmora_add_test_program(window_tests)

# The clock's format and fit for three locales, taken from the environment as Wine takes it.
foreach(locale de en ru)
  if(locale STREQUAL "de")
    set(lc de_DE.UTF-8)
  elseif(locale STREQUAL "ru")
    set(lc ru_RU.UTF-8)
  else()
    set(lc en_US.UTF-8)
  endif()
  add_test(NAME window_clock_${locale}
           COMMAND window_tests --gtest_filter=Form1Status.ClockFollowsTheLocaleFromTheEnvironment:Form1Status.ClockTextClearsItsPanelsEdgesAtEveryDpi)
  set_tests_properties(window_clock_${locale} PROPERTIES
    ENVIRONMENT "LC_ALL=${lc};VELMORA_CLOCK_LOCALE=${locale}" TIMEOUT 120)
endforeach()

# Every text against its background on the screen, in dark and high-contrast schemes.
add_test(NAME window_colour_schemes COMMAND bash ${PROJECT_SOURCE_DIR}/tests/colour_schemes.sh
                                            $<TARGET_FILE:window_tests> ${CMAKE_CURRENT_BINARY_DIR}/colour_schemes)

# A DLL left beside the test programs under a name a system DLL imports; the test that looks for
# it runs as on Windows XP, where the search cannot be kept to the system folder.
add_library(planted_dbghelp SHARED ${PROJECT_SOURCE_DIR}/tests/planted_dll.c)
set_target_properties(planted_dbghelp PROPERTIES PREFIX "" OUTPUT_NAME dbghelp)
add_dependencies(window_tests planted_dbghelp)
add_test(NAME window_xp_dll_search COMMAND window_tests --gtest_filter=DllSearch.*)
set_tests_properties(window_xp_dll_search PROPERTIES TIMEOUT 120
                     ENVIRONMENT "VELMORA_HIDE_NEWER_FUNCTIONS=1;WINEDLLOVERRIDES=dbghelp=n,b")

# One window test at a time on the display: they read the screen and move the focus. The record
# tests, which show no window, run beside them.
set_tests_properties(window_tests window_clock_de window_clock_en window_clock_ru window_colour_schemes
                     PROPERTIES RESOURCE_LOCK display)
