# What the install step adds for a system installation (service unit, manual pages, documents)
# and the Debian package CPack makes of it: cpack -G DEB, run by scripts/package.

set(VIGILTRON_PACKAGE_NAME vigiltron-manager)
set(VIGILTRON_DOC_DIR share/doc/${VIGILTRON_PACKAGE_NAME})
set(VIGILTRON_PACKAGING_DIR ${CMAKE_SOURCE_DIR}/packaging)
set(VIGILTRON_PACKAGE_MAINTAINER "Vigiltron Manager developers <vigiltron-manager@example.org>"
  CACHE STRING "Maintainer field of the Debian package (name <address>)")

# ---- The system service: installed, never enabled. ----
# The unit names the program by its installed path, which is known only when installing (cpack
# installs under /usr, a developer under ~/.local or /usr/local), so it is written then, straight
# to its place: two installs running at once share no file.
install(CODE "
  set(VIGILTRON_BINDIR \"\${CMAKE_INSTALL_PREFIX}/bin\")
  set(unit \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/lib/systemd/system/vigiltron-manager.service\")
  message(STATUS \"Installing: \${unit}\")
  configure_file(\"${VIGILTRON_PACKAGING_DIR}/vigiltron-manager.service.in\" \"\${unit}\" @ONLY)
  file(CHMOD \"\${unit}\" PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
  list(APPEND CMAKE_INSTALL_MANIFEST_FILES \"\${unit}\")")

# ---- Manual pages, written from each program's --help (packaging/ManualPage.cmake). ----
set(manual_pages)
function(vigiltron_manual_page program summary)
  if(NOT TARGET ${program})
    return()
  endif()
  set(page ${CMAKE_BINARY_DIR}/packaging/${program}.1.gz)
  add_custom_command(
    OUTPUT ${page}
    COMMAND ${CMAKE_COMMAND} -DPROGRAM=$<TARGET_FILE:${program}> -DNAME=${program}
            -DSUMMARY=${summary} -DVERSION=${PROJECT_VERSION}
            -DINCLUDE=${VIGILTRON_PACKAGING_DIR}/${program}.roff -DOUTPUT=${page}
            -P ${VIGILTRON_PACKAGING_DIR}/ManualPage.cmake
    DEPENDS ${program} ${VIGILTRON_PACKAGING_DIR}/ManualPage.cmake
            ${VIGILTRON_PACKAGING_DIR}/${program}.roff
    COMMENT "Writing the manual page of ${program} from its --help"
    VERBATIM)
  set(manual_pages ${manual_pages} ${page} PARENT_SCOPE)
endfunction()
vigiltron_manual_page(vigiltron-manager "monitor Vigiltron serial sensors: readings, alarms, logs")
vigiltron_manual_page(vigiltron-sim
  "serve a simulated Vigiltron sensor or modem on a pseudo-terminal")
add_custom_target(manual_pages ALL DEPENDS ${manual_pages})
install(FILES ${manual_pages} DESTINATION share/man/man1)

# ---- Documents: the README, the guides and the example scenarios. ----
install(FILES README.md docs/scenario-format.md docs/serial-ports.md docs/vigiltron-sim.md
  DESTINATION ${VIGILTRON_DOC_DIR})
install(DIRECTORY docs/examples/ DESTINATION ${VIGILTRON_DOC_DIR}/examples)
install(FILES ${VIGILTRON_PACKAGING_DIR}/copyright DESTINATION ${VIGILTRON_DOC_DIR})
install(FILES ${VIGILTRON_PACKAGING_DIR}/lintian-overrides DESTINATION share/lintian/overrides
  RENAME ${VIGILTRON_PACKAGE_NAME})

# Debian wants a changelog beside the copyright, compressed without a time stamp; this one
# records the build of this version.
string(TIMESTAMP changelog_date "%a, %d %b %Y %H:%M:%S +0000" UTC)
set(changelog ${CMAKE_BINARY_DIR}/packaging/changelog)
file(WRITE ${changelog}
  "${VIGILTRON_PACKAGE_NAME} (${PROJECT_VERSION}) unstable; urgency=medium\n\n"
  "  * Vigiltron Manager ${PROJECT_VERSION}, packaged from its source tree.\n\n"
  " -- ${VIGILTRON_PACKAGE_MAINTAINER}  ${changelog_date}\n")
execute_process(COMMAND gzip -9nf ${changelog} RESULT_VARIABLE gzip_result)
if(NOT gzip_result EQUAL 0)
  message(FATAL_ERROR "gzip ${changelog} failed")
endif()
install(FILES ${changelog}.gz DESTINATION ${VIGILTRON_DOC_DIR})

# ---- The Debian package. ----
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ${VIGILTRON_PACKAGE_NAME})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "${VIGILTRON_PACKAGE_MAINTAINER}")
# Staged through DESTDIR, so the install step sees the real prefix (the unit's ExecStart).
set(CPACK_SET_DESTDIR ON)
set(CPACK_INSTALL_PREFIX /usr)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
  OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "monitor Vigiltron serial sensors, alarms and logs")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
  "Vigiltron Manager watches the Vigiltron family of small serial-attached
sensors (temperature, humidity, combined temperature/humidity, proximity,
water, a 2-axis accelerometer and distance) and USB cameras. It judges every
reading against your thresholds, raises alarms and back-to-normal notices by
screen, sound, e-mail and pager, and keeps log files.
.
It runs as a desktop program, or headless as a journal on standard output,
also as the system service vigiltron-manager.service (installed, not
enabled). Simulated sensors (--demo, --simulate and vigiltron-sim) let you
try it without hardware.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The libraries the program and its window module link are found by dpkg-shlibdeps; these are
# what they load by name at run time: Qt's platform plugins for the windows, and the GStreamer
# elements the cameras capture, encode and record with. The keyring library is optional
# (without it passwords stay in the settings files).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
  "qt6-qpa-plugins, gstreamer1.0-plugins-base, gstreamer1.0-plugins-good")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "libsecret-1-0")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
  ${VIGILTRON_PACKAGING_DIR}/postinst ${VIGILTRON_PACKAGING_DIR}/prerm
  ${VIGILTRON_PACKAGING_DIR}/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
