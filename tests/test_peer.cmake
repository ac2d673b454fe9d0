# The scriptable stand-in for the other program, used by the message-layer and
# monitor tests (started with QProcess from HKT75_BIN_DIR).
add_executable(hkt-test-peer "${CMAKE_CURRENT_SOURCE_DIR}/peer/hkt-test-peer.cpp")
target_link_libraries(hkt-test-peer PRIVATE hkt_platform Qt6::Core)
foreach(t test_platform test_core test_app test_monitor)
  if(TARGET ${t})
    add_dependencies(${t} hkt-test-peer)
  endif()
endforeach()
# The monitor's end-to-end tests start the real programs (the window too).
if(TARGET test_monitor)
  foreach(t HKT75MON hkt75-vmouse HKT75 kwHook)
    if(TARGET ${t})
      add_dependencies(test_monitor ${t})
    endif()
  endforeach()
endif()
# scripts/start-suite's choice of mouse is tested on the real tool.
if(TARGET test_sim AND TARGET hkt75-findmouse)
  add_dependencies(test_sim hkt75-findmouse hkt75-vmouse)
endif()
