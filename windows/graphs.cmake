# graph_windows: the two strip-chart windows and their pure helpers (Qt Charts)
add_library(graph_windows STATIC
  ${CMAKE_CURRENT_LIST_DIR}/graph_sampling.cpp
  ${CMAKE_CURRENT_LIST_DIR}/graph_window.cpp
  ${CMAKE_CURRENT_LIST_DIR}/graphs_setup.cpp)
target_link_libraries(graph_windows PUBLIC core core_gui Qt6::Widgets Qt6::Charts)
target_link_libraries(windows PUBLIC graph_windows)
