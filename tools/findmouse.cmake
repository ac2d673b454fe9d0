# hkt75-findmouse: whether a mouse of this suite is reachable (scripts/run
# chooses the simulated mouse when not). Beside the programs, so it reads
# their config.ini; never installed.
add_executable(hkt75-findmouse "${CMAKE_CURRENT_SOURCE_DIR}/hkt75-findmouse.cpp")
target_link_libraries(hkt75-findmouse PRIVATE hkt_core)
