# A preload library that makes every flush to disk slow, for the end-to-end
# rows that run the real programs on a busy disk.
if(TARGET test_monitor)
  add_library(hkt-slow-fsync MODULE "${CMAKE_CURRENT_SOURCE_DIR}/support/SlowFsync.c")
  target_link_libraries(hkt-slow-fsync PRIVATE ${CMAKE_DL_LIBS})
  add_dependencies(test_monitor hkt-slow-fsync)
  target_compile_definitions(test_monitor PRIVATE HKT75_SLOW_FSYNC_LIBRARY="$<TARGET_FILE:hkt-slow-fsync>")
endif()
