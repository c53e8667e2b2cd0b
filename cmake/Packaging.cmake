# Installing and packaging: the programs, the help file, the desktop entry,
# the icons and the manual pages in their standard places, and a Debian
# package with `cpack -G DEB`.
include(GNUInstallDirs)

set(TAVISK_PACKAGING_DIR ${PROJECT_SOURCE_DIR}/packaging)

# Manual pages are installed compressed, as Debian wants them.
find_program(GZIP_PROGRAM gzip)
function(tavisk_install_manpage page)
  set(source ${TAVISK_PACKAGING_DIR}/${page})
  if(GZIP_PROGRAM)
    set(compressed ${CMAKE_BINARY_DIR}/packaging/${page}.gz)
    add_custom_command(OUTPUT ${compressed}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/packaging
      COMMAND ${GZIP_PROGRAM} -9nc ${source} > ${compressed}
      DEPENDS ${source}
      COMMENT "Compressing the manual page ${page}")
    string(MAKE_C_IDENTIFIER "tavisk_man_${page}" target)
    add_custom_target(${target} ALL DEPENDS ${compressed})
    install(FILES ${compressed} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  else()
    install(FILES ${source} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  endif()
endfunction()

tavisk_install_manpage(tavisk-cli.1)

# The desktop program's own files, only when it is built.
if(TARGET tavisk)
  tavisk_install_manpage(tavisk.1)
  install(FILES ${TAVISK_PACKAGING_DIR}/tavisk.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES ${TAVISK_PACKAGING_DIR}/tavisk.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
  foreach(size 48 128 256)
    install(FILES ${TAVISK_PACKAGING_DIR}/icons/tavisk-${size}.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps RENAME tavisk.png)
  endforeach()
endif()

# The Debian package.
set(CPACK_PACKAGE_NAME tavisk)
set(CPACK_PACKAGE_VENDOR Kestrine)
set(CPACK_PACKAGE_CONTACT "Kestrine <tavisk@kestrine.invalid>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_PACKAGE_DESCRIPTION "Tavisk edits many text files in one go under the control of a compact
script of single-letter commands that copy, skip, replace or insert text.
Each source file is streamed once and its edited copy is written under the
same name into a destination folder. The package holds the desktop program
tavisk, its help, and the command-line tool tavisk-cli.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION editors)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
find_program(DPKG_SHLIBDEPS_PROGRAM dpkg-shlibdeps)
if(DPKG_SHLIBDEPS_PROGRAM)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
else()
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "libc6, libstdc++6, libgcc-s1")
  if(TARGET tavisk)
    string(APPEND CPACK_DEBIAN_PACKAGE_DEPENDS ", libqt6core6, libqt6gui6, libqt6widgets6")
  endif()
endif()

include(CPack)
