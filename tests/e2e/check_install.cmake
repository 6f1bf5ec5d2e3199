# Installs into a scratch prefix and checks that the program and quorvane-cli, the desktop
# entry, icon and metainfo, the manual pages, the user guide and the license land where a
# Linux desktop looks for them. (scripts/test.sh validates the desktop entry and the metainfo.)
file(REMOVE_RECURSE ${PREFIX})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD} --prefix ${PREFIX}
                RESULT_VARIABLE rc OUTPUT_QUIET)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "cmake --install failed: ${rc}")
endif()
foreach(f bin/quorvane bin/quorvane-cli share/applications/quorvane.desktop
          share/icons/hicolor/scalable/apps/quorvane.svg share/doc/quorvane/user-guide.md
          share/doc/quorvane/simulator.md share/doc/quorvane/screenshots/main-window.png
          share/metainfo/org.quorvane.Quorvane.metainfo.xml share/man/man1/quorvane.1
          share/doc/quorvane/LICENSE)
  if(NOT EXISTS ${PREFIX}/${f})
    message(FATAL_ERROR "not installed: ${f}")
  endif()
endforeach()
file(READ ${PREFIX}/share/applications/quorvane.desktop entry)
foreach(key "Exec=quorvane" "Icon=quorvane" "Type=Application")
  string(FIND "${entry}" "${key}" at)
  if(at LESS 0)
    message(FATAL_ERROR "desktop entry lacks ${key}")
  endif()
endforeach()
