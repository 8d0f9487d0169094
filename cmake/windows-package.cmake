# The Windows release: egbbprobe.dll (no "lib" prefix, as Windows programs expect) and
# vrk-win64.zip with the engine, the data it reads at start-up and a short README.
if(TARGET egbbprobe)
  set_target_properties(egbbprobe PROPERTIES PREFIX "")
endif()

file(GLOB VRK_DATA_TABLES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/data/*.bin)
set(VRK_ZIP_FILES ${VRK_DATA_TABLES} ${CMAKE_SOURCE_DIR}/data/vrk.rc)
set(VRK_ZIP_DIR ${CMAKE_BINARY_DIR}/vrk-win64)
add_custom_command(
  OUTPUT ${CMAKE_BINARY_DIR}/vrk-win64.zip
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${VRK_ZIP_DIR} vrk-win64.zip
  COMMAND ${CMAKE_COMMAND} -E make_directory ${VRK_ZIP_DIR}
  COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:vrk> ${VRK_ZIP_FILES} ${VRK_ZIP_DIR}
  COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_CURRENT_LIST_DIR}/windows-README.txt ${VRK_ZIP_DIR}/README.txt
  COMMAND ${CMAKE_COMMAND} -E tar cf vrk-win64.zip --format=zip vrk-win64
  WORKING_DIRECTORY ${CMAKE_BINARY_DIR}
  DEPENDS vrk ${VRK_ZIP_FILES} ${CMAKE_CURRENT_LIST_DIR}/windows-README.txt
  VERBATIM)
add_custom_target(vrk-zip ALL DEPENDS ${CMAKE_BINARY_DIR}/vrk-win64.zip)
