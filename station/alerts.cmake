# station_alerts: the alert evaluator and the diagnostic log (Qt Core only)
add_library(station_alerts STATIC
  ${CMAKE_CURRENT_LIST_DIR}/alert_engine.cpp
  ${CMAKE_CURRENT_LIST_DIR}/diagnostic_log.cpp
  ${CMAKE_CURRENT_LIST_DIR}/alerts_setup.cpp)
target_link_libraries(station_alerts PUBLIC station core Qt6::Core)
