# `make package`: a Debian package of the installed files, its run-time dependencies worked out
# by dpkg-shlibdeps from the programs themselves.
set(PELORIN_MAINTAINER "The Pelorin developers <pelorin@example.org>"
    CACHE STRING "The Debian package's Maintainer field")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME pelorin)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Pelorin developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "see what a WAV file's header says and how long its sound plays")
# The extended description: lines under 80 characters, as Debian's tools read them.
set(CPACK_PACKAGE_DESCRIPTION
    "Pelorin reads the header of a RIFF/WAVE sound file and shows what it says:
format tag, channels, sample rate, bits per sample, the size of the sound data
and the length of the sound in seconds. Pick a file in its window, open WAV
files with it from the file manager or drop them on the window; pelorin-cli
gives the same reports as text, JSON or tab-separated lines, for whole folders
and sample libraries.")
set(CPACK_PACKAGE_CONTACT "${PELORIN_MAINTAINER}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# A stripped program still carries the compilers' version strings in .comment, which Debian's
# packages leave out; the package's install strips it too.
install(CODE "
  if(CMAKE_INSTALL_DO_STRIP)
    foreach(program pelorin pelorin-cli)
      set(file \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/\${program}\")
      if(EXISTS \"\${file}\")
        execute_process(COMMAND \"${CMAKE_STRIP}\" --remove-section=.comment \"\${file}\"
                        COMMAND_ERROR_IS_FATAL ANY)
      endif()
    endforeach()
  endif()")
include(CPack)
