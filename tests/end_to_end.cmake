# The configuration program's end-to-end tests start the real programs and
# watch their windows on a private X server through libxcb.
if(TARGET test_app)
  foreach(t HKT75 HKT75MON hkt75-vmouse)
    if(TARGET ${t})
      add_dependencies(test_app ${t})
    endif()
  endforeach()
  find_library(HKT75_XCB_LIBRARY xcb REQUIRED)
  target_link_libraries(test_app PRIVATE "${HKT75_XCB_LIBRARY}")
endif()
