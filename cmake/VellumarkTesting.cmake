# vellumark_add_test(NAME <name> SOURCES <files...> [UI] [LIBS <libs...>])
# One GoogleTest program per source folder. UI tests link vellumark_ui and run offscreen;
# they are skipped in the core-only (sanitizer) configuration.
function(vellumark_add_test)
  cmake_parse_arguments(T "UI" "NAME" "SOURCES;LIBS" ${ARGN})
  if(T_UI AND VELLUMARK_CORE_ONLY)
    return()
  endif()
  add_executable(${T_NAME} ${T_SOURCES} ${PROJECT_SOURCE_DIR}/tests/common/TestMain.cpp
                 ${PROJECT_SOURCE_DIR}/tests/common/TestSupport.cpp)
  target_include_directories(${T_NAME} PRIVATE ${PROJECT_SOURCE_DIR}/tests/common)
  if(T_UI)
    target_link_libraries(${T_NAME} PRIVATE vellumark_ui)
    target_compile_definitions(${T_NAME} PRIVATE VELLUMARK_TEST_UI=1)
  else()
    target_link_libraries(${T_NAME} PRIVATE vellumark_core)
  endif()
  target_link_libraries(${T_NAME} PRIVATE GTest::gtest GTest::gmock Qt6::Test ${T_LIBS})
  target_compile_definitions(${T_NAME} PRIVATE
    VELLUMARK_SOURCE_DIR="${PROJECT_SOURCE_DIR}" VELLUMARK_BINARY_DIR="${PROJECT_BINARY_DIR}")
  gtest_discover_tests(${T_NAME} DISCOVERY_MODE PRE_TEST
    PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen;OMP_NUM_THREADS=1;OMP_WAIT_POLICY=passive;LSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/fuzz/lsan.supp")
endfunction()
