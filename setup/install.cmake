# What `cmake --install build --prefix P` lays out, and the .deb that
# `cpack -G DEB` (scripts/package) makes of the same layout. Programs find
# the libraries through a relative RPATH, so an installed tree works from
# wherever it is put.
if(NOT DEFINED CACHE{CMAKE_INSTALL_LIBDIR})
  # One libdir on every prefix: the host looks for the conduit in ../lib.
  set(CMAKE_INSTALL_LIBDIR lib CACHE PATH "Object code libraries")
endif()
set(CMAKE_INSTALL_DOCDIR share/doc/tarvo-sync)
include(GNUInstallDirs)

set(TARVO_PACKAGE tarvo-sync)
set_target_properties(hotsync hotsync_shipped tarvoconduit PROPERTIES
  VERSION ${PROJECT_VERSION}
  SOVERSION ${PROJECT_VERSION_MAJOR}
  INSTALL_RPATH "$ORIGIN")
set(tarvo_programs tarvo-hotsync tarvo-syncserver tarvo-hotsync-manager-ui)
if(TARGET tarvo-handheld)
  list(APPEND tarvo_programs tarvo-handheld)
endif()
set_target_properties(${tarvo_programs} PROPERTIES INSTALL_RPATH "$ORIGIN/../${CMAKE_INSTALL_LIBDIR}")

# What the install copies from the build: it refuses at once, before any file
# is copied, while one of them is missing.
set(tarvo_built_files ${TARVO_UDEV_RULES} ${TARVO_DESKTOP_QM}
  ${TARVO_DESKTOP_ICONS}/hicolor/256x256/apps/tarvo-hotsync-manager.png)
foreach(target IN LISTS tarvo_programs ITEMS hotsync_shipped tarvoconduit)
  list(APPEND tarvo_built_files "$<TARGET_FILE:${target}>")
endforeach()
file(GENERATE OUTPUT ${CMAKE_BINARY_DIR}/install-needs.cmake CONTENT "
set(missing)
foreach(file IN ITEMS ${tarvo_built_files})
  if(NOT EXISTS \"\${file}\")
    list(APPEND missing \"\${file}\")
  endif()
endforeach()
if(missing)
  list(JOIN missing \"\n  \" missing)
  message(FATAL_ERROR \"Nothing was installed: not built yet:\n  \${missing}\nBuild everything first (cmake --build ${CMAKE_BINARY_DIR}), then install again.\")
endif()
")

install(TARGETS ${tarvo_programs} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# The library without the hooks tests use.
install(TARGETS hotsync_shipped tarvoconduit LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})
# The platform's headers, for other conduit authors.
install(DIRECTORY platform/include/hotsync DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} FILES_MATCHING PATTERN "*.h"
  PATTERN "test_hooks.h" EXCLUDE)

# The handheld application and preferences database are installed beside the
# conduit's data (conduit/CMakeLists.txt), where the wizard finds them.
install(DIRECTORY examples/handheld examples/catalogue DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples)

install(FILES setup/files/tarvo-hotsync.1 setup/files/tarvo-syncserver.1 setup/files/tarvo-handheld.1
  DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES setup/files/tarvo-handheld-folder.5 DESTINATION ${CMAKE_INSTALL_MANDIR}/man5)
install(FILES setup/files/tarvo-hotsync.bash-completion
  DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME tarvo-hotsync)
install(FILES setup/files/tarvo-sync-wizard.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES resources/images/tarvo.png DESTINATION ${CMAKE_INSTALL_DATADIR}/pixmaps RENAME tarvo-sync.png)
# The HotSync manager on the desktop: its application entry (which also
# opens Palm databases), their MIME type, and its icons in every size.
install(FILES desktop/files/tarvo-hotsync-manager.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES desktop/files/tarvo-hotsync-manager.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages)
install(DIRECTORY ${TARVO_DESKTOP_ICONS}/hicolor DESTINATION ${CMAKE_INSTALL_DATADIR}/icons)
install(FILES desktop/files/tarvo-hotsync-manager.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${TARVO_DESKTOP_QM} DESTINATION ${CMAKE_INSTALL_DATADIR}/tarvo-sync/translations)
install(FILES README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})
# Access to USB handhelds for the logged-in user; udev reads lib/udev/rules.d
# under /usr (the package) and /usr/local.
install(FILES ${TARVO_UDEV_RULES} DESTINATION lib/udev/rules.d)
install(DIRECTORY docs/ DESTINATION ${CMAKE_INSTALL_DOCDIR}/docs)

# The user unit: starts the manager at log-in and registers the installed
# conduit for a user who has none registered. Its paths are those of the
# prefix installed to (cpack installs with the package's prefix). systemd
# reads user units from lib/systemd/user under /usr and /usr/local, and from
# share/systemd/user under a user's own prefix (~/.local). The enable script
# beside the programs turns the unit on for the user who runs it.
install(CODE "
  set(TARVO_INSTALLED_BIN \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}\")
  set(TARVO_INSTALLED_CONDUIT \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_LIBDIR}/libtarvoconduit.so.${PROJECT_VERSION_MAJOR}\")
  set(TARVO_INSTALLED_RULE \"\${CMAKE_INSTALL_PREFIX}/lib/udev/rules.d/60-tarvo-hotsync.rules\")
  if(\"\${CMAKE_INSTALL_PREFIX}\" MATCHES \"^/usr(/local)?/?$\")
    set(TARVO_INSTALLED_UNIT \"\${CMAKE_INSTALL_PREFIX}/lib/systemd/user/tarvo-hotsync.service\")
  else()
    set(TARVO_INSTALLED_UNIT \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_DATADIR}/systemd/user/tarvo-hotsync.service\")
  endif()
  foreach(pair \"tarvo-hotsync.service.in|\${TARVO_INSTALLED_UNIT}\" \"tarvo-hotsync-enable.in|\${TARVO_INSTALLED_BIN}/tarvo-hotsync-enable\")
    string(REPLACE \"|\" \";\" pair \"\${pair}\")
    list(GET pair 0 template)
    list(GET pair 1 target)
    message(STATUS \"Installing: \$ENV{DESTDIR}\${target}\")
    configure_file(\"${PROJECT_SOURCE_DIR}/setup/files/\${template}\" \"\$ENV{DESTDIR}\${target}\" @ONLY)
  endforeach()
  file(CHMOD \"\$ENV{DESTDIR}\${TARVO_INSTALLED_BIN}/tarvo-hotsync-enable\"
    PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
")

# The content service's system unit and its user; not enabled by the
# package: a provider enables it once the catalogue is in place.
install(FILES setup/files/tarvo-syncserver.sysusers DESTINATION lib/sysusers.d RENAME tarvo-syncserver.conf)
install(CODE "
  set(TARVO_INSTALLED_BIN \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}\")
  set(TARVO_INSTALLED_DOC \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_DOCDIR}\")
  set(unit \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/lib/systemd/system/tarvo-syncserver.service\")
  message(STATUS \"Installing: \${unit}\")
  configure_file(\"${PROJECT_SOURCE_DIR}/setup/files/tarvo-syncserver.service.in\" \"\${unit}\" @ONLY)
")

# The Debian package: /usr, dependencies from the linked libraries, and a
# post-install step that enables the user unit for every user.
set(CPACK_PACKAGE_NAME ${TARVO_PACKAGE})
set(CPACK_PACKAGE_VENDOR "Tarvo")
set(CPACK_PACKAGE_CONTACT "Tarvo Sync developers <sync@tarvo.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "HotSync conduit that keeps Palm handheld content up to date from sync servers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CMAKE_BINARY_DIR}/lib)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils, systemd")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${PROJECT_SOURCE_DIR}/setup/files/postinst ${PROJECT_SOURCE_DIR}/setup/files/prerm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR DEB)
include(CPack)
