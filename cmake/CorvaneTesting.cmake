find_package(GTest REQUIRED)
include(GoogleTest)

# corvane_add_test(<name> [OWN_MAIN|CORE] SOURCES <files...> LIBS <libraries...>)
# One test executable per unit; it links the library under test and runs
# on Qt's offscreen platform so that no display is needed. OWN_MAIN: the
# sources bring their own main() (for a test of the application object).
# CORE: a core application and no widgets, for the libraries that have none.
# Each test is labelled with its folder under tests/, so that a check can
# pick folders (ctest -L serial) and build only their executables
# (the global property corvane_tests_<folder>).
function(corvane_add_test name)
  cmake_parse_arguments(ARG "OWN_MAIN;CORE" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  if(ARG_CORE)
    target_link_libraries(${name} PRIVATE corvane_coretestmain)
  elseif(NOT ARG_OWN_MAIN)
    target_link_libraries(${name} PRIVATE corvane_testmain)
  endif()
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gmock Qt6::Test)
  get_filename_component(folder ${CMAKE_CURRENT_SOURCE_DIR} NAME)
  set_property(GLOBAL APPEND PROPERTY corvane_tests_${folder} ${name})
  gtest_discover_tests(${name}
    DISCOVERY_TIMEOUT 60
    PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen" TIMEOUT 300 LABELS ${folder})
endfunction()
