# The Windows install: DriverPanel.exe and the README in one folder; the setup program that
# puts it under Program Files for every user of the machine, and the same folder as a .zip.
if(TARGET DriverPanel)
    install(TARGETS DriverPanel RUNTIME DESTINATION .)
endif()
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION .)

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
