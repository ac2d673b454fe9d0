# Helpers that let each folder grow file by file without touching shared lists.

# hkt_folder_library(<name> <dir> [EXCLUDE file...] [LIBS lib...])
# A static library of every .cpp in <dir> (not recursive). When the folder has
# no sources yet the target is an INTERFACE library, so dependents still link.
# An excluded unit's header goes too (its moc output belongs to the library
# that builds the unit).
function(hkt_folder_library name dir)
  cmake_parse_arguments(A "" "" "EXCLUDE;LIBS" ${ARGN})
  file(GLOB srcs CONFIGURE_DEPENDS "${dir}/*.cpp")
  file(GLOB hdrs CONFIGURE_DEPENDS "${dir}/*.h")
  foreach(x IN LISTS A_EXCLUDE)
    list(REMOVE_ITEM srcs "${dir}/${x}")
    string(REGEX REPLACE "\\.cpp$" ".h" x_header "${x}")
    list(REMOVE_ITEM hdrs "${dir}/${x_header}")
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

# hkt_forbid_widgets(<target>)
# Keeps a target display-free by the build: a Qt Widgets header reached from
# any of its sources stops the compile (a shadow of the header every Widgets
# header includes, searched first), and Qt Widgets among the libraries it
# links, directly or through another library, stops the configure step. The
# link check runs once every target of the tree is defined.
function(hkt_forbid_widgets target)
  target_include_directories(${target} BEFORE PRIVATE "${CMAKE_SOURCE_DIR}/cmake/no-widgets")
  target_compile_definitions(${target} PRIVATE HKT75_DISPLAY_FREE=1)
  cmake_language(EVAL CODE "cmake_language(DEFER DIRECTORY \"${CMAKE_SOURCE_DIR}\" CALL _hkt_check_no_widgets ${target})")
endfunction()

function(_hkt_collect_links item out_var)
  set(seen ${${out_var}})
  string(REGEX REPLACE "^\\$<LINK_ONLY:(.*)>$" "\\1" item "${item}")
  if(item IN_LIST seen OR item MATCHES "^\\$<" OR item MATCHES "^-")
    return()
  endif()
  list(APPEND seen "${item}")
  if(TARGET "${item}")
    get_target_property(aliased "${item}" ALIASED_TARGET)
    if(aliased)
      list(APPEND seen "${aliased}")
      set(item "${aliased}")
    endif()
    get_target_property(type "${item}" TYPE)
    set(links "")
    if(NOT type STREQUAL "INTERFACE_LIBRARY")
      get_target_property(direct "${item}" LINK_LIBRARIES)
      if(direct)
        list(APPEND links ${direct})
      endif()
    endif()
    get_target_property(iface "${item}" INTERFACE_LINK_LIBRARIES)
    if(iface)
      list(APPEND links ${iface})
    endif()
    foreach(l IN LISTS links)
      _hkt_collect_links("${l}" seen)
    endforeach()
  endif()
  set(${out_var} ${seen} PARENT_SCOPE)
endfunction()

function(_hkt_check_no_widgets target)
  set(all "")
  _hkt_collect_links(${target} all)
  foreach(l IN LISTS all)
    if(l MATCHES "^Qt[0-9]*::Widgets" OR l MATCHES "Qt[0-9]*Widgets")
      message(FATAL_ERROR "${target} must stay display-free, but links ${l} (through: ${all})")
    endif()
  endforeach()
endfunction()
