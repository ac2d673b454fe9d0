# The hook tests load libkwHook.so from the bin folder, and two stand-in
# libraries built from one fixture: a scripted one and one that lacks an entry
# point.
if(TARGET test_hook)
  add_dependencies(test_hook kwHook)
  set(_fixture "${CMAKE_CURRENT_SOURCE_DIR}/hook_fixtures/kwHookScripted.cpp")
  add_library(kwHookScripted SHARED "${_fixture}")
  add_library(kwHookWithoutDisableMouse SHARED "${_fixture}")
  target_compile_definitions(kwHookWithoutDisableMouse PRIVATE KWHOOK_FIXTURE_WITHOUT_DISABLE_MOUSE)
  foreach(t kwHookScripted kwHookWithoutDisableMouse)
    target_include_directories(${t} PRIVATE "${CMAKE_SOURCE_DIR}")
    add_dependencies(test_hook ${t})
  endforeach()
endif()

# The key dialogs of the configuration program record through the real library.
if(TARGET test_app)
  add_dependencies(test_app kwHook)
endif()
