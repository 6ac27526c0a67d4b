# Puts the sample Vellomar.ini beside the executable unless one is there already,
# so a user's own file is never overwritten by a build.
if(NOT EXISTS "${DESTINATION}")
  configure_file("${SOURCE}" "${DESTINATION}" COPYONLY)
endif()
