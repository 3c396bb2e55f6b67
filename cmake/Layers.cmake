# Each library exposes only its own headers: a library's include path holds one folder whose
# only entry is a link named after the library to its sources, so "runtime/file.h" is found by
# whatever links pelorin_runtime and "ui/form1.h" by nothing below the window.
function(pelorin_expose_headers target folder)
  set(root ${PROJECT_BINARY_DIR}/exposed/${folder})
  file(MAKE_DIRECTORY ${root})
  file(CREATE_LINK ${CMAKE_CURRENT_SOURCE_DIR} ${root}/${folder} SYMBOLIC)
  target_include_directories(${target} PUBLIC ${root})
endfunction()
