# Installation and the Debian package.
#
# `cmake --install` lays the suite out as a desktop program:
#   <prefix>/lib/hkt75/            the program folder: HKT75, HKT75MON, hkt75-vmouse,
#                                  hkt75-translate, libkwHook.so, config.ini, kw.local,
#                                  images/ (the programs find these beside their real
#                                  executable, /proc/self/exe, so symlinks are enough)
#   <prefix>/bin/hkt75, hkt75mon, hkt75-vmouse, hkt75-translate   launchers (symlinks)
#   <prefix>/lib/udev/rules.d/70-hkt75.rules                       the mouse for the seat's user
#   <prefix>/lib/udev/hkt75-hidmatch                               the rule's matcher
#   <prefix>/share/applications/hkt75.desktop                      the menu entry of HKT75
#   <sysconfdir>/xdg/autostart/hkt75mon.desktop                    HKT75MON at log-on
#   <prefix>/share/icons/hicolor/NxN/apps/hkt75.png                the logo
# Nothing is written into the program folder at run time: settings, profiles,
# macros, sockets and locks live in the user's XDG and documents folders.
#
# The prefix defaults to /usr, so that the desktop, udev and the autostart
# folder (/etc/xdg/autostart) see an installed suite; `cpack -G DEB` packages
# the same layout with dependencies worked out from the binaries.

if(CMAKE_INSTALL_PREFIX_INITIALIZED_TO_DEFAULT)
  set(CMAKE_INSTALL_PREFIX "/usr" CACHE PATH "Install prefix" FORCE)
endif()
include(GNUInstallDirs)

set(HKT75_PROGRAM_DIR "lib/hkt75")
set(HKT75_LAUNCHER_DIR "${CMAKE_BINARY_DIR}/launchers")

# Executables of the program folder, with the launcher each gets on the PATH.
set(hkt75_programs HKT75MON hkt75mon hkt75-vmouse hkt75-vmouse hkt75-translate hkt75-translate)
if(TARGET HKT75)
  list(PREPEND hkt75_programs HKT75 hkt75)
endif()

# Everything built that the package holds, for the target package_contents
# below.
set(hkt75_package_targets kwHook hkt75-hidmatch kwlocal skin_images)

file(MAKE_DIRECTORY "${HKT75_LAUNCHER_DIR}")
while(hkt75_programs)
  list(POP_FRONT hkt75_programs target launcher)
  list(APPEND hkt75_package_targets ${target})
  if(NOT TARGET ${target})
    message(FATAL_ERROR "Install: target ${target} does not exist")
  endif()
  install(TARGETS ${target} RUNTIME DESTINATION "${HKT75_PROGRAM_DIR}")
  file(CREATE_LINK "../${HKT75_PROGRAM_DIR}/${target}" "${HKT75_LAUNCHER_DIR}/${launcher}" SYMBOLIC)
  install(FILES "${HKT75_LAUNCHER_DIR}/${launcher}" DESTINATION "${CMAKE_INSTALL_BINDIR}")
endwhile()

# Loaded by name from the program folder.
install(TARGETS kwHook LIBRARY DESTINATION "${HKT75_PROGRAM_DIR}")
install(FILES "${HKT75_OUT_DIR}/config.ini" "${HKT75_OUT_DIR}/kw.local"
  DESTINATION "${HKT75_PROGRAM_DIR}" PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
install(DIRECTORY "${HKT75_OUT_DIR}/images" DESTINATION "${HKT75_PROGRAM_DIR}"
  FILE_PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)

install(FILES "${CMAKE_SOURCE_DIR}/data/70-hkt75.rules" DESTINATION "lib/udev/rules.d")
# The rule's matcher, named without a path in the rule: udev looks for such a
# program in its own folder, the one above rules.d.
install(TARGETS hkt75-hidmatch RUNTIME DESTINATION "lib/udev")
install(FILES "${CMAKE_SOURCE_DIR}/data/desktop/hkt75.desktop" DESTINATION "${CMAKE_INSTALL_DATADIR}/applications")
# The autostart folder is read only in the system configuration folder, so a
# /usr install puts the entry into /etc; another prefix keeps it inside itself.
# Decided at install time, when the prefix (or cpack's) is known.
install(CODE "
  if(CMAKE_INSTALL_PREFIX STREQUAL \"/usr\")
    set(hkt75_autostart \"/etc/xdg/autostart\")
  else()
    set(hkt75_autostart \"\${CMAKE_INSTALL_PREFIX}/etc/xdg/autostart\")
  endif()
  file(INSTALL DESTINATION \"\${hkt75_autostart}\" TYPE FILE
    FILES \"${CMAKE_SOURCE_DIR}/data/desktop/hkt75mon.desktop\")
")
install(DIRECTORY "${HKT75_ICON_THEME_DIR}" DESTINATION "${CMAKE_INSTALL_DATADIR}/icons")

# What `cpack` (scripts/package) needs built: the installed files above, no
# tests or benchmarks. A tree built for running only (scripts/run) lacks some.
add_custom_target(package_contents)
add_dependencies(package_contents ${hkt75_package_targets})

# ---- the Debian package ----
set(CPACK_GENERATOR "DEB")
set(CPACK_PACKAGE_NAME "hkt75")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_VENDOR "HKT75")
set(CPACK_PACKAGE_CONTACT "HKT75 maintainers <hkt75@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Configuration suite for the HKT75 wired USB gaming mouse")
set(CPACK_PACKAGE_DESCRIPTION
  "HKT75 edits the mouse's five on-board profiles (button functions, DPI levels, polling rate, light) and macros and writes them into the mouse; HKT75MON, the tray monitor, passes changes made on the mouse to it and toggles the microphone mute. Includes the simulated mouse hkt75-vmouse and the translators' editor hkt75-translate.")
set(CPACK_PACKAGING_INSTALL_PREFIX "/usr")
set(CPACK_INSTALL_PREFIX "/usr")
# Installs with DESTDIR into the staging folder and the prefix /usr, so the
# files outside the prefix (/etc/xdg/autostart) land in the package too.
set(CPACK_SET_DESTDIR ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION "utils")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Beside the libraries the scan finds: Qt's own translations, which the
# standard dialogs (file, colour) speak the display language with.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-translations-l10n")
# libkwHook.so is private to the program folder: the dependency scan must not
# look for it among the system's libraries.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS "/usr/${HKT75_PROGRAM_DIR}")
# Every file under /etc is a conffile: dpkg keeps a user's edit of the
# autostart entry through an upgrade (and asks), and removes it only on purge.
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
  "${CMAKE_SOURCE_DIR}/packaging/postinst" "${CMAKE_SOURCE_DIR}/packaging/postrm"
  "${CMAKE_SOURCE_DIR}/packaging/conffiles")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
