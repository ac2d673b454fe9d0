# kw.local, built from the text sources in data/lang/ by kwlocal_build, which
# compiles the language component's own stream writer.
add_executable(kwlocal_build "${CMAKE_CURRENT_SOURCE_DIR}/kwlocal_build.cpp"
  "${CMAKE_SOURCE_DIR}/config/ui/kwLanguageStream.cpp")
target_include_directories(kwlocal_build PRIVATE "${CMAKE_SOURCE_DIR}")
target_link_libraries(kwlocal_build PRIVATE Qt6::Core)
# A developer tool: kept out of the folder that ships.
set_target_properties(kwlocal_build PROPERTIES RUNTIME_OUTPUT_DIRECTORY "${CMAKE_BINARY_DIR}/tools")

file(GLOB HKT75_LANG_SOURCES CONFIGURE_DEPENDS "${CMAKE_SOURCE_DIR}/data/lang/*")
add_custom_command(OUTPUT "${HKT75_OUT_DIR}/kw.local"
  COMMAND kwlocal_build "${CMAKE_SOURCE_DIR}/data/lang" "${HKT75_OUT_DIR}/kw.local"
  DEPENDS kwlocal_build ${HKT75_LANG_SOURCES}
  COMMENT "Building kw.local from data/lang"
  VERBATIM)
add_custom_target(kwlocal ALL DEPENDS "${HKT75_OUT_DIR}/kw.local")
