# The Windows install: DriverPanel.exe, the console tool ldctl.exe, the command prompt's script
# and the README in one folder; the setup program that puts it under Program Files for every
# user of the machine, and the same folder as a .zip.
foreach(program DriverPanel ldctl)
    if(TARGET ${program})
        install(TARGETS ${program} RUNTIME DESTINATION .)
    endif()
endforeach()
install(FILES ${PROJECT_SOURCE_DIR}/README.md ${CMAKE_CURRENT_SOURCE_DIR}/windows/ldctl-prompt.cmd
        DESTINATION .)

set(CPACK_GENERATOR NSIS ZIP)
set(CPACK_PACKAGE_FILE_NAME ${CPACK_PACKAGE_NAME}-${PROJECT_VERSION}-win64)
set(CPACK_PACKAGE_INSTALL_DIRECTORY "${DRIVERPANEL_PRODUCT_NAME}")
set(CPACK_PACKAGE_INSTALL_REGISTRY_KEY ${CPACK_PACKAGE_NAME})

# The program is 64-bit, and so is the setup: a 32-bit one would land in the 32-bit Program
# Files and registry view (and does not run under a 64-bit-only Wine).
set(CPACK_NSIS_EXECUTABLE ${CMAKE_CURRENT_SOURCE_DIR}/windows/makensis-amd64.sh)
set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
set(CPACK_NSIS_DISPLAY_NAME "${DRIVERPANEL_PRODUCT_NAME}")
set(CPACK_NSIS_PACKAGE_NAME "${DRIVERPANEL_PRODUCT_NAME}")
set(CPACK_NSIS_MUI_ICON ${PROJECT_SOURCE_DIR}/resources/driverpanel.ico)
set(CPACK_NSIS_MUI_UNIICON ${PROJECT_SOURCE_DIR}/resources/driverpanel.ico)
set(CPACK_NSIS_INSTALLED_ICON_NAME DriverPanel.exe)
set(CPACK_NSIS_ENABLE_UNINSTALL_BEFORE_INSTALL ON)
# The Start-menu entry: DriverPanel.exe under the product's name, with the program's own icon.
set(CPACK_PACKAGE_EXECUTABLES DriverPanel "${DRIVERPANEL_PRODUCT_NAME}")
set(CPACK_NSIS_EXECUTABLES_DIRECTORY .)

# A second Start-menu entry opens a command prompt with the install folder on its PATH, so that
# `ldctl list` works at once. The setup leaves the machine's PATH alone: NSIS rewrites it through
# a fixed-size string buffer, and a long PATH comes back truncated, which breaks the user's other
# programs. The prompt's script (ldctl-prompt.cmd) takes the folder it sits in, so the .zip's
# copy, run in a command prompt, does the same wherever the .zip was unpacked.
set(prompt_link "$SMPROGRAMS\\$STARTMENU_FOLDER\\${DRIVERPANEL_PRODUCT_NAME} command prompt.lnk")
# cmd strips the outer pair of quotes after /k and keeps the inner pair around the path, whatever
# characters the install folder holds. (The NSIS lines go to CPack's configuration as written.)
set(CPACK_VERBATIM_VARIABLES ON)
set(prompt_command "/k \"\"$INSTDIR\\ldctl-prompt.cmd\"\"")
set(CPACK_NSIS_CREATE_ICONS_EXTRA
    "  CreateShortCut \"${prompt_link}\" \"$SYSDIR\\cmd.exe\" '${prompt_command}'")
set(CPACK_NSIS_DELETE_ICONS_EXTRA
    "  Delete \"$SMPROGRAMS\\$MUI_TEMP\\${DRIVERPANEL_PRODUCT_NAME} command prompt.lnk\"")
