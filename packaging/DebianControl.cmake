# Run by CPack after it has built the Debian packages (CPACK_POST_BUILD_SCRIPTS)
# to finish their control parts where CPack cannot:
# - fields CPack has no variable for (Multi-Arch), from
#   CPACK_DEBIAN_EXTRA_FIELDS, entries "package=Field: value";
# - Depends names each package once: where an explicit ">=" dependency and
#   one found by dpkg-shlibdeps name the same package, the higher version stays;
# - a package with a shared library activates dpkg's ldconfig trigger instead
#   of calling ldconfig from postinst and postrm scripts.
# Each package is unpacked and built again with dpkg-deb.
find_program(QUARN_DPKG_DEB dpkg-deb REQUIRED)
find_program(QUARN_DPKG dpkg REQUIRED)

function(quarn_run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${ARGN}: ${status}\n${out}${err}")
  endif()
endfunction()

# Depends without repeated ">=" entries for one package.
function(quarn_merge_depends depends out_var)
  string(REPLACE ", " ";" entries "${depends}")
  set(names "")
  foreach(entry IN LISTS entries)
    if(entry MATCHES "^([^ ]+) \\(>= ([^)]+)\\)$")
      set(name ${CMAKE_MATCH_1})
      set(version ${CMAKE_MATCH_2})
      if(NOT name IN_LIST names)
        list(APPEND names ${name})
        set(version_${name} ${version})
      else()
        execute_process(COMMAND ${QUARN_DPKG} --compare-versions ${version} gt ${version_${name}}
          RESULT_VARIABLE lower)
        if(lower EQUAL 0)
          set(version_${name} ${version})
        endif()
      endif()
    else()
      list(APPEND names "=${entry}")
    endif()
  endforeach()
  set(merged "")
  foreach(name IN LISTS names)
    if(name MATCHES "^=(.*)$")
      list(APPEND merged "${CMAKE_MATCH_1}")
    else()
      list(APPEND merged "${name} (>= ${version_${name}})")
    endif()
  endforeach()
  list(JOIN merged ", " merged)
  set(${out_var} "${merged}" PARENT_SCOPE)
endfunction()

foreach(deb IN LISTS CPACK_PACKAGE_FILES)
  if(NOT deb MATCHES "\\.deb$")
    continue()
  endif()
  set(tree "${deb}.control")
  file(REMOVE_RECURSE "${tree}")
  quarn_run(${QUARN_DPKG_DEB} --raw-extract ${deb} ${tree})
  file(READ "${tree}/DEBIAN/control" control)
  string(REGEX MATCH "(^|\n)Package: ([^\n]+)" _ "${control}")
  set(name "${CMAKE_MATCH_2}")

  set(fields "")
  foreach(entry IN LISTS CPACK_DEBIAN_EXTRA_FIELDS)
    if(entry MATCHES "^([^=]+)=(.+)$" AND CMAKE_MATCH_1 STREQUAL name)
      string(APPEND fields "\n${CMAKE_MATCH_2}")
    endif()
  endforeach()
  # The new fields follow Architecture, where Debian's own packages have them.
  string(REGEX REPLACE "(^|\n)(Architecture: [^\n]*)" "\\1\\2${fields}" control "${control}")

  if(control MATCHES "(^|\n)Depends: ([^\n]+)")
    set(depends "${CMAKE_MATCH_2}")
    quarn_merge_depends("${depends}" merged)
    string(REPLACE "Depends: ${depends}" "Depends: ${merged}" control "${control}")
  endif()
  file(WRITE "${tree}/DEBIAN/control" "${control}")

  if(EXISTS "${tree}/DEBIAN/shlibs")
    file(REMOVE "${tree}/DEBIAN/postinst" "${tree}/DEBIAN/postrm")
    file(WRITE "${tree}/DEBIAN/triggers" "activate-noawait ldconfig\n")
  endif()

  quarn_run(${QUARN_DPKG_DEB} --root-owner-group --build ${tree} ${deb})
  file(REMOVE_RECURSE "${tree}")
endforeach()
