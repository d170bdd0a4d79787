# The setup dialog, its setup procedure and the wave player it hosts.
add_library(setup_dialog STATIC
  ${CMAKE_CURRENT_LIST_DIR}/setup_fields.cpp
  ${CMAKE_CURRENT_LIST_DIR}/setup_dialog.cpp
  ${CMAKE_CURRENT_LIST_DIR}/run_setup_dialog.cpp
  ${CMAKE_CURRENT_LIST_DIR}/mm_control.cpp)
target_link_libraries(setup_dialog PUBLIC core core_gui focuser Qt6::Widgets Qt6::SerialPort Qt6::Multimedia)
target_link_libraries(windows PUBLIC setup_dialog)
