# build-windows/pelorin-<version>-windows-x64.zip: the Windows programs, a short README.txt and
# the licence, LICENSE.txt, both with Windows' line ends.
set(PELORIN_WINDOWS_ZIP ${CMAKE_BINARY_DIR}/pelorin-${PROJECT_VERSION}-windows-x64.zip)
# The programs that go in.
set(zipPrograms Pelorin pelorin-cli)

configure_file(${PROJECT_SOURCE_DIR}/src/win32/README.txt.in ${CMAKE_BINARY_DIR}/README.txt @ONLY
               NEWLINE_STYLE CRLF)
configure_file(${PROJECT_SOURCE_DIR}/LICENSE ${CMAKE_BINARY_DIR}/LICENSE.txt @ONLY
               NEWLINE_STYLE CRLF)
set(zipFiles README.txt LICENSE.txt)
set(zipDepends ${CMAKE_BINARY_DIR}/README.txt ${CMAKE_BINARY_DIR}/LICENSE.txt)
foreach(program IN LISTS zipPrograms)
  list(APPEND zipFiles $<TARGET_FILE_NAME:${program}>)
  list(APPEND zipDepends ${program})
endforeach()
add_custom_command(OUTPUT ${PELORIN_WINDOWS_ZIP}
  COMMAND ${CMAKE_COMMAND} -E rm -f ${PELORIN_WINDOWS_ZIP}
  COMMAND ${CMAKE_COMMAND} -E tar cf ${PELORIN_WINDOWS_ZIP} --format=zip -- ${zipFiles}
  WORKING_DIRECTORY ${CMAKE_BINARY_DIR}
  DEPENDS ${zipDepends}
  COMMENT "Packing pelorin-${PROJECT_VERSION}-windows-x64.zip")
add_custom_target(pelorin_windows_zip ALL DEPENDS ${PELORIN_WINDOWS_ZIP})
