# Skin generator: draws the skin pictures, the icon and the style file into
# ${HKT75_OUT_DIR}/images at build time. The painting routines are the ones the
# widget kit uses for its fallback look, so both always match.
add_executable(skingen "${CMAKE_CURRENT_LIST_DIR}/skingen.cpp" "${CMAKE_SOURCE_DIR}/config/ui/kwSkinPaint.cpp")
target_include_directories(skingen PRIVATE "${CMAKE_SOURCE_DIR}")
target_link_libraries(skingen PRIVATE Qt6::Gui)
# A developer tool: kept out of the folder that ships.
set_target_properties(skingen PROPERTIES RUNTIME_OUTPUT_DIRECTORY "${CMAKE_BINARY_DIR}/tools")

set(HKT75_SKIN_STAMP "${CMAKE_BINARY_DIR}/tools/skingen.stamp")
add_custom_command(
  OUTPUT "${HKT75_SKIN_STAMP}"
  COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen $<TARGET_FILE:skingen> "${HKT75_OUT_DIR}/images"
          "${HKT75_ICON_THEME_DIR}"
  COMMAND ${CMAKE_COMMAND} -E touch "${HKT75_SKIN_STAMP}"
  DEPENDS skingen
  COMMENT "Drawing the skin pictures"
  VERBATIM)
add_custom_target(skin_images ALL DEPENDS "${HKT75_SKIN_STAMP}")
