# Alerts and the diagnostic log.
tarnwick_test(alerts_tests
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/alerts_engine_test.cpp
          ${CMAKE_CURRENT_LIST_DIR}/alerts_log_test.cpp
          ${CMAKE_SOURCE_DIR}/tests/common/core_test_main.cpp
  LIBS station_alerts)

# The real wave player lives with the setup dialog.
if(TARGET setup_dialog)
  tarnwick_test(alerts_player_tests
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/alerts_player_test.cpp
            ${CMAKE_SOURCE_DIR}/tests/common/gui_test_main.cpp
    LIBS station_alerts setup_dialog)
endif()
