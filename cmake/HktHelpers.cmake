# Helpers that let each folder grow file by file without touching shared lists.

# hkt_folder_library(<name> <dir> [EXCLUDE file...] [LIBS lib...])
# A static library of every .cpp in <dir> (not recursive). When the folder has
# no sources yet the target is an INTERFACE library, so dependents still link.
function(hkt_folder_library name dir)
  cmake_parse_arguments(A "" "" "EXCLUDE;LIBS" ${ARGN})
  file(GLOB srcs CONFIGURE_DEPENDS "${dir}/*.cpp")
  file(GLOB hdrs CONFIGURE_DEPENDS "${dir}/*.h")
  foreach(x IN LISTS A_EXCLUDE)
    list(REMOVE_ITEM srcs "${dir}/${x}")
  endforeach()
  if(srcs)
    add_library(${name} STATIC ${srcs} ${hdrs})
    target_include_directories(${name} PUBLIC "${CMAKE_SOURCE_DIR}")
    target_link_libraries(${name} PUBLIC ${A_LIBS})
    set_target_properties(${name} PROPERTIES AUTOMOC ON)
    # A header that joins the glob later must reach moc in an existing build
    # folder too. With Ninja, autogen only re-runs for headers it has seen, so
    # when the header list changes its timestamp is removed to force a run.
    set(hdr_list "${CMAKE_CURRENT_BINARY_DIR}/${name}_headers.txt")
    set(old_hdrs "")
    if(EXISTS "${hdr_list}")
      file(READ "${hdr_list}" old_hdrs)
    endif()
    if(NOT old_hdrs STREQUAL "${hdrs}")
      file(WRITE "${hdr_list}" "${hdrs}")
      file(REMOVE "${CMAKE_CURRENT_BINARY_DIR}/${name}_autogen/timestamp")
    endif()
  else()
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE "${CMAKE_SOURCE_DIR}")
    target_link_libraries(${name} INTERFACE ${A_LIBS})
  endif()
endfunction()

# hkt_test_area(<area> MAIN <core|gui> LIBS lib...)
# One GoogleTest executable per folder under tests/, every .cpp in it, each
# test registered with CTest. Qt-using tests run on the offscreen platform.
function(hkt_test_area area)
  cmake_parse_arguments(A "" "MAIN" "LIBS" ${ARGN})
  file(GLOB srcs CONFIGURE_DEPENDS "${CMAKE_CURRENT_SOURCE_DIR}/${area}/*.cpp")
  if(NOT srcs)
    return()
  endif()
  set(exe test_${area})
  if(A_MAIN STREQUAL "gui")
    set(main_src "${CMAKE_SOURCE_DIR}/tests/support/gtest_gui_main.cpp")
    set(main_libs Qt6::Widgets Qt6::Test)
  else()
    set(main_src "${CMAKE_SOURCE_DIR}/tests/support/gtest_core_main.cpp")
    set(main_libs Qt6::Core)
  endif()
  add_executable(${exe} ${srcs} ${main_src})
  set_target_properties(${exe} PROPERTIES AUTOMOC ON RUNTIME_OUTPUT_DIRECTORY "${HKT75_OUT_DIR}")
  target_include_directories(${exe} PRIVATE "${CMAKE_SOURCE_DIR}" "${CMAKE_SOURCE_DIR}/tests")
  target_link_libraries(${exe} PRIVATE ${A_LIBS} ${main_libs} GTest::gtest GTest::gmock Threads::Threads)
  target_compile_definitions(${exe} PRIVATE
    HKT75_SOURCE_DIR="${CMAKE_SOURCE_DIR}" HKT75_BIN_DIR="${HKT75_OUT_DIR}")
  gtest_discover_tests(${exe}
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 60
    WORKING_DIRECTORY "${HKT75_OUT_DIR}"
    PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen;HKT75_TEST=1" TIMEOUT 300)
endfunction()
