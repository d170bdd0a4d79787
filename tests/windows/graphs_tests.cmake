tarnwick_test(graph_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/graph_sampling_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/graph_window_test.cpp
          ${CMAKE_SOURCE_DIR}/tests/common/gui_test_main.cpp
  LIBS windows graph_windows)
