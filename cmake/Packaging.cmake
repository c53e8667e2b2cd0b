# Installing: the programs, the help file, the desktop entry, the icons, the
# manual pages and the shell completions in their standard places.  The Debian
# packages (debian/) split what these rules install between tavisk-cli and tavisk.
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
# Each shell completes tavisk-cli's options and arguments once its file is in
# the folder that shell searches for completions of packaged programs.
install(FILES ${TAVISK_PACKAGING_DIR}/tavisk-cli.bash-completion
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME tavisk-cli)
install(FILES ${TAVISK_PACKAGING_DIR}/_tavisk-cli DESTINATION ${CMAKE_INSTALL_DATADIR}/zsh/vendor-completions)
install(FILES ${TAVISK_PACKAGING_DIR}/tavisk-cli.fish DESTINATION ${CMAKE_INSTALL_DATADIR}/fish/vendor_completions.d)

# The JSON Schema of tavisk-cli's --json output, for drivers that check it.
set(TAVISK_CLI_SCHEMA ${PROJECT_SOURCE_DIR}/src/cli/tavisk-cli.schema.json)
if(EXISTS ${TAVISK_CLI_SCHEMA})
  install(FILES ${TAVISK_CLI_SCHEMA} DESTINATION ${CMAKE_INSTALL_DATADIR}/tavisk-cli)
endif()

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
