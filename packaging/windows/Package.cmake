# The Windows download: a ZIP of the programs, the substitute controller's
# example line files and a README for Windows users, all at the top of one
# folder (controller-tools-VERSION-windows-x64). `cpack -G ZIP` in a Windows
# build tree (scripts/package.sh --windows).
set(CT_INSTALL_COMPONENT Runtime)
set(programs controller-cli controller-sim)
if(TARGET controller-tools)
    # Against the static Qt for Windows: one .exe, no Qt DLLs beside it.
    list(APPEND programs controller-tools)
endif()
install(TARGETS ${programs} RUNTIME DESTINATION . COMPONENT ${CT_INSTALL_COMPONENT})
file(GLOB sim_examples CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/sim/examples/*.ini)
install(FILES ${sim_examples} DESTINATION examples COMPONENT ${CT_INSTALL_COMPONENT})
install(FILES ${CMAKE_CURRENT_LIST_DIR}/README.txt DESTINATION . COMPONENT ${CT_INSTALL_COMPONENT})

set(CPACK_PACKAGE_NAME controller-tools)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_FILE_NAME controller-tools-${PROJECT_VERSION}-windows-x64)
set(CPACK_GENERATOR ZIP)
set(CPACK_STRIP_FILES ON)
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
set(CPACK_INSTALL_CMAKE_PROJECTS "${CMAKE_BINARY_DIR};${PROJECT_NAME};${CT_INSTALL_COMPONENT};/")
include(CPack)
