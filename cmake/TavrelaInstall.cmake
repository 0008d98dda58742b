# What `cmake --install` puts under the prefix, in the places the FHS gives them, and the
# Debian package made from that tree by CPack (scripts/package).
include(GNUInstallDirs)

set(_dist ${PROJECT_SOURCE_DIR}/dist)

foreach(_program tavrela tavrela-tag)
    if(TARGET ${_program})
        install(TARGETS ${_program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    endif()
endforeach()

# Manual pages: the version filled in, compressed as Debian keeps them.
set(_man_pages)
foreach(_page tavrela.1 tavrela-tag.1)
    set(_page_file ${PROJECT_BINARY_DIR}/man/${_page})
    configure_file(${_dist}/man/${_page}.in ${_page_file} @ONLY)
    add_custom_command(OUTPUT ${_page_file}.gz
        COMMAND sh -c "gzip -9 -n -c \"$1\" > \"$2\"" sh ${_page_file} ${_page_file}.gz
        DEPENDS ${_page_file} ${_dist}/man/${_page}.in
        COMMENT "Compressing the manual page ${_page}" VERBATIM)
    list(APPEND _man_pages ${_page_file}.gz)
endforeach()
add_custom_target(tavrela_man_pages ALL DEPENDS ${_man_pages})
install(FILES ${_man_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# The desktop's menu entry, its icon and the software centres' description.
install(FILES ${_dist}/tavrela.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${_dist}/tavrela.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${_dist}/br.com.zelvo.tavrela.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

# The machine's settings, read by an installed program from /etc/tavrela (the executable's
# folder holds none). A /usr install puts them there, as Debian does; any other prefix keeps
# its own etc/ and the file there is an example to copy to /etc/tavrela.
if(CMAKE_INSTALL_PREFIX STREQUAL "/usr")
    set(_settings_dir /etc/tavrela)
else()
    set(_settings_dir ${CMAKE_INSTALL_SYSCONFDIR}/tavrela)
endif()
install(FILES ${_dist}/BaseZelvo.ini DESTINATION ${_settings_dir})

# The Debian package.
if(NOT TAVRELA_PACKAGE_MAINTAINER)
    execute_process(COMMAND git config user.name WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
                    OUTPUT_VARIABLE _name OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
    execute_process(COMMAND git config user.email WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
                    OUTPUT_VARIABLE _email OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
    if(_name AND _email)
        set(_maintainer "${_name} <${_email}>")
    else()
        set(_maintainer "Tavrela maintainers <root@localhost>")
    endif()
    set(TAVRELA_PACKAGE_MAINTAINER "${_maintainer}" CACHE STRING
        "Maintainer field of the Debian package (default: git's user.name and user.email)")
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tavrela)
set(CPACK_PACKAGE_VENDOR "Zelvo Sistemas")
set(CPACK_PACKAGE_CONTACT "${TAVRELA_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "cue-marker editor for radio playout")
# The long description, in lines of the control file's width.
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
    "Tavrela opens one MP3 or WAV file and shows its waveform. The operator places"
    "the cue markers a playout host uses (start and end of audio, intro, chorus"
    "start and end, mix point, and a stamp that plays a jingle over the music) and"
    "a comment, previews them by ear, and saves them in the file's ID3v2 tag."
    "Jingles for a stamp are listed from the station's Firebird database."
    "The package also holds tavrela-tag, which shows and writes the markers from"
    "scripts.")
set(CPACK_STRIP_FILES ON)
# /etc/tavrela is an absolute destination: the staging tree is filled through DESTDIR.
set(CPACK_SET_DESTDIR ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Shared libraries are found by dpkg-shlibdeps (Qt's X11 platform plugin comes with
# libqt6gui6); what is loaded at run time is declared: the Qt SQL driver of the jingle database
# with its Firebird client.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6sql6-ibase, libfbclient2")
# The interface font, the fall-back face and software OpenGL for machines without a GPU.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-wine, fonts-dejavu-core, libgl1-mesa-dri")
# The embedded Firebird engine, for a jingle database named by a local path.
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "firebird3.0-server-core")
# The settings file is the station engineer's: dpkg keeps their edits on upgrade and removal.
if(IS_ABSOLUTE ${_settings_dir})
    file(WRITE ${PROJECT_BINARY_DIR}/debian/conffiles "${_settings_dir}/BaseZelvo.ini\n")
    set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${PROJECT_BINARY_DIR}/debian/conffiles)
    set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
endif()
include(CPack)
