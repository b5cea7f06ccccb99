# What a host developer gets: `cmake --install` and the CPack ZIP hold the public
# headers, AdWarden.dll with its import library, the window layouts, the licence
# and a CMake package (find_package(AdWarden CONFIG) gives AdWarden::AdWarden).
# The stand-ins of the host's and the engine's libraries are never installed.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(ADW_PACKAGE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/AdWarden)
# The layouts sit beside the DLL, as they will sit beside the host program.
set(ADW_LAYOUT_INSTALL_DIR ${CMAKE_INSTALL_BINDIR}/layout)

target_include_directories(AdWarden INTERFACE $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)
install(TARGETS AdWarden EXPORT AdWardenTargets
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(FILES
    include/AdWardenExport.h
    include/BlockingRecordModel.h
    include/IOperationQueue.h
    include/IPopUpBlockingCallback.h
    include/IPopUpBlockingClient.h
    include/PopUpBlockingClientFactory.h
    ${ADW_GENERATED_INCLUDE}/AdWardenVersion.h
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(DIRECTORY layout/ DESTINATION ${ADW_LAYOUT_INSTALL_DIR})
install(FILES LICENSE DESTINATION ${CMAKE_INSTALL_DOCDIR})

install(EXPORT AdWardenTargets NAMESPACE AdWarden:: DESTINATION ${ADW_PACKAGE_DIR})
configure_package_config_file(cmake/AdWardenConfig.cmake.in
  ${CMAKE_BINARY_DIR}/generated/AdWardenConfig.cmake
  INSTALL_DESTINATION ${ADW_PACKAGE_DIR}
  PATH_VARS ADW_LAYOUT_INSTALL_DIR)
# The DLL's C++ interface binds a host to a compatible build: same major version.
write_basic_package_version_file(${CMAKE_BINARY_DIR}/generated/AdWardenConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES
    ${CMAKE_BINARY_DIR}/generated/AdWardenConfig.cmake
    ${CMAKE_BINARY_DIR}/generated/AdWardenConfigVersion.cmake
  DESTINATION ${ADW_PACKAGE_DIR})

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME AdWarden)
set(CPACK_PACKAGE_VENDOR "AdWarden developers")
set(CPACK_PACKAGE_FILE_NAME AdWarden-${PROJECT_VERSION}-win64) # ADW_PACKAGE_ZIP below
set(CPACK_RESOURCE_FILE_LICENSE ${CMAKE_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/package)
include(CPack)
# The ZIP that the package target writes, for the test that lists it.
set(ADW_PACKAGE_ZIP ${CPACK_PACKAGE_DIRECTORY}/AdWarden-${PROJECT_VERSION}-win64.zip)
