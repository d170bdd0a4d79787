tarnwick_test(setup_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/setup_fields_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/setup_dialog_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/setup_procedure_test.cpp
          ${CMAKE_SOURCE_DIR}/tests/common/gui_test_main.cpp
  LIBS setup_dialog)
