# The macro manager and key dialog tests record through the real hook
# library, loaded from the bin folder.
if(TARGET test_app)
  add_dependencies(test_app kwHook)
endif()
