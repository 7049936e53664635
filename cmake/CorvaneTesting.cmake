find_package(GTest REQUIRED)
include(GoogleTest)

# corvane_add_test(<name> SOURCES <files...> LIBS <libraries...>)
# One test executable per unit; it links the library under test and runs
# on Qt's offscreen platform so that no display is needed.
function(corvane_add_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} corvane_testmain GTest::gtest GTest::gmock Qt6::Test)
  gtest_discover_tests(${name}
    DISCOVERY_TIMEOUT 60
    PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen" TIMEOUT 300)
endfunction()
