# [DESTDIR=...] cmake -DMANIFEST=<build>/install_manifest.txt -P Uninstall.cmake
# Removes every file that the last install from this build folder put in
# place, as its manifest lists them, under DESTDIR when it is set (the
# manifest leaves DESTDIR out). Folders stay: they may be shared with other
# programs.
if(NOT EXISTS "${MANIFEST}")
  message(STATUS "Nothing to uninstall: ${MANIFEST} does not exist")
  return()
endif()
file(STRINGS "${MANIFEST}" installed)
foreach(path IN LISTS installed)
  set(file "$ENV{DESTDIR}${path}")
  if(EXISTS "${file}" OR IS_SYMLINK "${file}")
    message(STATUS "Removing ${file}")
    file(REMOVE "${file}")
  endif()
endforeach()
file(REMOVE "${MANIFEST}")
