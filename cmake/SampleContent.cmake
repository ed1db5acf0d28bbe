# The bundled sample encyclopedia goes beside the executables as inside/ and res/, so the
# reader runs straight from the build folder.
file(GLOB_RECURSE KV_CONTENT_FILES CONFIGURE_DEPENDS
  ${PROJECT_SOURCE_DIR}/content/inside/* ${PROJECT_SOURCE_DIR}/content/res/*)
set(KV_CONTENT_STAMP ${CMAKE_BINARY_DIR}/sample_content.stamp)
add_custom_command(OUTPUT ${KV_CONTENT_STAMP}
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/inside
          ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/res
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/inside
          ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/res
  COMMAND ${CMAKE_COMMAND} -E copy_directory ${PROJECT_SOURCE_DIR}/content/inside
          ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/inside
  COMMAND ${CMAKE_COMMAND} -E copy_directory ${PROJECT_SOURCE_DIR}/content/res
          ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/res
  COMMAND ${CMAKE_COMMAND} -E touch ${KV_CONTENT_STAMP}
  DEPENDS ${KV_CONTENT_FILES}
  COMMENT "Placing the sample encyclopedia beside the executables")
add_custom_target(sample_content ALL DEPENDS ${KV_CONTENT_STAMP})
