# The vendor service's package, tidewell-vendor-service: the server, its
# systemd unit, its configuration in /etc and its log rotation. Included by
# packaging/CMakeLists.txt before CPack.
set(vs_source ${CMAKE_CURRENT_SOURCE_DIR}/vendor-service)
set(vs_build ${CMAKE_CURRENT_BINARY_DIR}/vendor-service)
file(MAKE_DIRECTORY ${vs_build})

# The program stripped as dh_strip does it; the manual page and changelog
# compressed as dh_compress does (-n: no time stamp, the same bytes each build).
configure_file(${vs_source}/changelog.in ${vs_build}/changelog @ONLY)
add_custom_command(
  OUTPUT ${vs_build}/tidewell-vendor-service
  COMMAND ${CMAKE_STRIP} --remove-section=.comment --remove-section=.note --strip-unneeded
          -o ${vs_build}/tidewell-vendor-service $<TARGET_FILE:tidewell_vendor_service>
  DEPENDS tidewell_vendor_service
  VERBATIM)
set(vs_compressed)
foreach(file tidewell-vendor-service.8:${vs_source} changelog:${vs_build})
  string(REPLACE ":" ";" parts ${file})
  list(GET parts 0 name)
  list(GET parts 1 folder)
  add_custom_command(
    OUTPUT ${vs_build}/${name}.gz
    COMMAND sh -c "gzip -9n -c \"$1\" > \"$2\"" sh ${folder}/${name} ${vs_build}/${name}.gz
    DEPENDS ${folder}/${name}
    VERBATIM)
  list(APPEND vs_compressed ${vs_build}/${name}.gz)
endforeach()
add_custom_target(tidewell_vendor_service_package_files ALL
  DEPENDS ${vs_build}/tidewell-vendor-service ${vs_compressed})

install(PROGRAMS ${vs_build}/tidewell-vendor-service DESTINATION sbin
        COMPONENT vendor-service)
install(FILES ${vs_source}/tidewell-vendor-service.service
        DESTINATION /lib/systemd/system COMPONENT vendor-service)
install(FILES ${vs_source}/vendor-service.conf ${vs_source}/config.json
        DESTINATION /etc/tidewell-vendor-service COMPONENT vendor-service)
install(FILES ${vs_source}/logrotate DESTINATION /etc/logrotate.d
        RENAME tidewell-vendor-service COMPONENT vendor-service)
install(FILES ${vs_build}/tidewell-vendor-service.8.gz DESTINATION share/man/man8
        COMPONENT vendor-service)
install(FILES ${vs_source}/copyright ${vs_build}/changelog.gz
        DESTINATION share/doc/tidewell-vendor-service COMPONENT vendor-service)

set(CPACK_DEBIAN_VENDOR-SERVICE_PACKAGE_NAME tidewell-vendor-service)
set(CPACK_DEBIAN_VENDOR-SERVICE_PACKAGE_SECTION net)
set(CPACK_DEBIAN_VENDOR-SERVICE_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_VENDOR-SERVICE_PACKAGE_RECOMMENDS logrotate)
set(CPACK_COMPONENT_VENDOR-SERVICE_DESCRIPTION
  "remote configuration, event log and package server for Tidewell clients\nThe server Tidewell clients get their remote configuration from, report\nevents to and download the install package from, run by systemd in a\nsandbox of its own. It speaks plain HTTP on a local port, meant to sit\nbehind the vendor's web server, which adds TLS.")
set(CPACK_DEBIAN_VENDOR-SERVICE_PACKAGE_CONTROL_EXTRA
  ${vs_source}/postinst ${vs_source}/prerm ${vs_source}/postrm ${vs_source}/conffiles)
set(CPACK_DEBIAN_VENDOR-SERVICE_PACKAGE_CONTROL_STRICT_PERMISSION TRUE)
