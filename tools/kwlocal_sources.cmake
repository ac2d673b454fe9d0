# The reverse of kwlocal_build: a kw.local saved by the translation editor back
# into the text sources of data/lang/. A developer tool; nothing runs it at
# build time.
add_executable(kwlocal_sources "${CMAKE_CURRENT_LIST_DIR}/kwlocal_sources.cpp"
  "${CMAKE_SOURCE_DIR}/config/ui/kwLanguageStream.cpp")
target_include_directories(kwlocal_sources PRIVATE "${CMAKE_SOURCE_DIR}")
target_link_libraries(kwlocal_sources PRIVATE Qt6::Core)
set_target_properties(kwlocal_sources PROPERTIES RUNTIME_OUTPUT_DIRECTORY "${CMAKE_BINARY_DIR}/tools")
