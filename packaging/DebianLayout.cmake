# Run by CPack on the staged install, before it packs: turns what `cmake --install` lays out
# for a source install into Debian's layout. The programs lose their symbols and the
# compiler's notes, as Debian's own are stripped; manual pages are compressed; the license text
# gives way to the machine-readable copyright file that points at Debian's copy of the GPL;
# the changelog names the release with the date the AppStream metainfo gives it, so that the
# version stays written in one place (project() in CMakeLists.txt) and a release that the
# metainfo does not list is not packaged.
set(root ${CPACK_TEMPORARY_DIRECTORY}${CPACK_PACKAGING_INSTALL_PREFIX})
set(docdir ${root}/${CPACK_QV_DOCDIR})
set(version ${CPACK_PACKAGE_VERSION})

function(compress file)
  # -n: no name or time stamp inside, so the same files give the same package.
  execute_process(COMMAND gzip -9nf ${file} RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "gzip ${file} failed: ${rc}")
  endif()
endfunction()

file(GLOB programs RELATIVE ${root}/bin ${root}/bin/*)
foreach(program IN LISTS programs)
  execute_process(COMMAND ${CPACK_QV_STRIP} --remove-section=.comment --remove-section=.note
                          ${root}/bin/${program} RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "strip ${program} failed: ${rc}")
  endif()
endforeach()

# Every program has its page (quorvane-cli's is made by help2man at build time).
foreach(program IN LISTS programs)
  if(NOT EXISTS ${root}/${CPACK_QV_MANDIR}/man1/${program}.1)
    message(FATAL_ERROR "no manual page for ${program}: is help2man installed?")
  endif()
endforeach()
file(GLOB pages ${root}/${CPACK_QV_MANDIR}/man*/*.[1-9])
foreach(page IN LISTS pages)
  compress(${page})
endforeach()

file(REMOVE ${docdir}/LICENSE)
file(COPY_FILE ${CPACK_QV_SOURCE_DIR}/packaging/copyright ${docdir}/copyright)
file(CHMOD ${docdir}/copyright PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)

set(metainfo ${CPACK_QV_SOURCE_DIR}/app/org.quorvane.Quorvane.metainfo.xml)
file(READ ${metainfo} releases)
string(REPLACE "." "\\." pattern ${version})
if(NOT releases MATCHES "<release version=\"${pattern}\" date=\"([0-9-]+)\"")
  message(FATAL_ERROR "${metainfo} lists no release ${version} with its date")
endif()
execute_process(COMMAND date -u -R -d ${CMAKE_MATCH_1} OUTPUT_VARIABLE date
                OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "the release date ${CMAKE_MATCH_1} of ${metainfo} is not a date")
endif()
file(WRITE ${docdir}/changelog "quorvane (${version}) unstable; urgency=medium

  * Release ${version}.

 -- ${CPACK_PACKAGE_CONTACT}  ${date}
")
file(CHMOD ${docdir}/changelog PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
compress(${docdir}/changelog)
