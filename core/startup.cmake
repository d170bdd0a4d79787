# Included from the top level once every module's target exists.
# startup: Main, shutdown and the command line; links every module
add_library(startup STATIC core/startup.cpp core/command_line.cpp core/config_command.cpp)
target_link_libraries(startup PUBLIC core core_gui windows Qt6::Network)
foreach(lib station station_serial station_alerts focuser focuser_window upload upload_window)
  if(TARGET ${lib})
    target_link_libraries(startup PUBLIC ${lib})
  endif()
endforeach()

add_executable(tarnwick core/main.cpp)
target_link_libraries(tarnwick PRIVATE startup)
