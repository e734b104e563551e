# The Linux install: the programs, the desktop entry, icons, AppStream metadata, manual pages
# and documentation under the usual FHS places; the Debian package made of them.
include(GNUInstallDirs)

set(doc_dir ${CMAKE_INSTALL_DATADIR}/doc/${CPACK_PACKAGE_NAME})
set(generated ${CMAKE_CURRENT_BINARY_DIR})
set(linux ${CMAKE_CURRENT_SOURCE_DIR}/linux)

# Each program with its manual page (the programs built here: the panel only with its window).
set(programs)
foreach(program driverpanel driverpanel-sim ldctl)
    if(TARGET ${program})
        install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
        list(APPEND programs ${program})
    endif()
endforeach()

# The date of this version, for the changelog's entry: RFC 2822, as Debian writes it.
execute_process(COMMAND date -u -R -d "${DRIVERPANEL_RELEASE_DATE} 12:00"
                OUTPUT_VARIABLE DRIVERPANEL_RELEASE_DATE_RFC2822
                OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)

configure_file(${linux}/driverpanel.desktop.in ${generated}/${DRIVERPANEL_APP_ID}.desktop @ONLY)
configure_file(${linux}/driverpanel.metainfo.xml.in
               ${generated}/${DRIVERPANEL_APP_ID}.metainfo.xml @ONLY)
configure_file(${linux}/copyright.in ${generated}/copyright @ONLY)
configure_file(${linux}/changelog.in ${generated}/changelog @ONLY)
install(FILES ${generated}/${DRIVERPANEL_APP_ID}.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${generated}/${DRIVERPANEL_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/resources/icons/hicolor
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons)

# Manual pages and the changelog go out compressed, as Debian keeps them; gzip -n leaves out
# the build's time and file name, so the same sources give the same package.
set(compressed)
set(manual_pages)
foreach(program IN LISTS programs)
    configure_file(${linux}/${program}.1.in ${generated}/${program}.1 @ONLY)
    list(APPEND compressed ${program}.1)
    list(APPEND manual_pages ${generated}/${program}.1.gz)
endforeach()
list(APPEND compressed changelog)
set(compressed_files)
foreach(file IN LISTS compressed)
    add_custom_command(OUTPUT ${generated}/${file}.gz
                       COMMAND gzip -9nc ${generated}/${file} > ${generated}/${file}.gz
                       DEPENDS ${generated}/${file} VERBATIM)
    list(APPEND compressed_files ${generated}/${file}.gz)
endforeach()
add_custom_target(driverpanel_compressed_docs ALL DEPENDS ${compressed_files})
install(FILES ${manual_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${PROJECT_SOURCE_DIR}/README.md ${linux}/README.Debian ${generated}/copyright
              ${generated}/changelog.gz
        DESTINATION ${doc_dir})

# The Debian package: driverpanel_<version>_<arch>.deb, installed under /usr.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${DRIVERPANEL_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Libraries from the binaries themselves; the panel's fonts by name, since no binary links them:
# the dialog is laid out for Cambria, whose metrics Caladea has, and the step buttons' full-width
# brackets come from a CJK fallback font (Droid Sans Fallback, or Noto CJK), without which they
# show as empty boxes.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-crosextra-caladea, fonts-droid-fallback | fonts-noto-cjk")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
# CPack keeps the description's lines as they are: each stays within lintian's 80 columns.
set(CPACK_PACKAGE_DESCRIPTION
    "The control panel through which a lab operator drives a laser-diode driver
module on a serial port: it reads the module's configuration, shows and sets
the drive-current setpoint (typed, on a slider or stepped), and polls the diode
temperature and the optical power. The current changes only when the operator
asks, and never beyond zero and the module's maximum. The module simulator
driverpanel-sim lets the panel be tried without hardware.

Opening a serial port needs membership of the dialout group: see
/usr/share/doc/driverpanel/README.Debian.")

# LaserDiodeDriver, the Tango device server, goes in a package of its own, driverpanel-tango, so
# the panel's package does not pull in Tango and omniORB. The panel's files are CPack's unnamed
# component, which keeps its package name and contents; the server's are the component "tango".
if(TARGET LaserDiodeDriver)
    set(tango_doc_dir ${CMAKE_INSTALL_DATADIR}/doc/driverpanel-tango)
    file(READ ${generated}/changelog panel_changelog)
    string(REPLACE "driverpanel (" "driverpanel-tango (" tango_changelog "${panel_changelog}")
    file(WRITE ${generated}/tango/changelog "${tango_changelog}")
    configure_file(${linux}/LaserDiodeDriver.1.in ${generated}/LaserDiodeDriver.1 @ONLY)
    set(tango_compressed)
    foreach(file LaserDiodeDriver.1 tango/changelog)
        add_custom_command(OUTPUT ${generated}/${file}.gz
                           COMMAND gzip -9nc ${generated}/${file} > ${generated}/${file}.gz
                           DEPENDS ${generated}/${file} VERBATIM)
        list(APPEND tango_compressed ${generated}/${file}.gz)
    endforeach()
    add_custom_target(driverpanel_tango_docs ALL DEPENDS ${tango_compressed})

    install(TARGETS LaserDiodeDriver RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT tango)
    install(FILES ${generated}/LaserDiodeDriver.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1
            COMPONENT tango)
    install(FILES ${linux}/driverpanel-tango@.service DESTINATION lib/systemd/system
            COMPONENT tango)
    install(FILES ${generated}/copyright ${generated}/tango/changelog.gz
            DESTINATION ${tango_doc_dir} COMPONENT tango)

    set(CPACK_DEB_COMPONENT_INSTALL ON)
    set(CPACK_COMPONENTS_ALL Unspecified tango)
    set(CPACK_DEBIAN_UNSPECIFIED_PACKAGE_NAME driverpanel)
    set(CPACK_DEBIAN_UNSPECIFIED_DESCRIPTION "${CPACK_PACKAGE_DESCRIPTION}")
    set(CPACK_DEBIAN_TANGO_PACKAGE_NAME driverpanel-tango)
    # Its libraries from the binary; the user the systemd unit runs as (tango) from tango-common.
    set(CPACK_DEBIAN_TANGO_PACKAGE_DEPENDS "tango-common")
    set(CPACK_DEBIAN_TANGO_PACKAGE_RECOMMENDS "tango-starter")
    set(CPACK_DEBIAN_TANGO_DESCRIPTION
        "Tango device server for the laser-diode driver module
LaserDiodeDriver runs the laser-diode driver panel's own core as a Tango
device server: one device per module on a serial port, with the drive current
(read/write, never beyond zero and the module's maximum), its maximum, the
diode temperature and the optical power as attributes, change and archive
events, and a read-only mode. Every Tango client (python3-tango, Taurus, the
archiver) then reaches every module on every machine.

A systemd unit runs a registered server instance; see LaserDiodeDriver(1).")
endif()
