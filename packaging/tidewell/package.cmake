# The assistant's package, tidewell_<version>_amd64.deb: the program, its
# manual page, menu entry, icons, AppStream metadata, copyright and changelog.
# Everything the window loads (layouts, artwork, translations, the tutorial)
# is compiled into the program as Qt resources, so nothing else is needed.
if(NOT TIDEWELL_WITH_UI)
  # No window without Qt: nothing to package for the assistant.
  list(REMOVE_ITEM CPACK_COMPONENTS_ALL tidewell)
else()
  set(tidewell_app_id io.github.tidewell.Tidewell)
  set(tidewell_pkg_src ${CMAKE_CURRENT_LIST_DIR})
  set(tidewell_pkg_out ${CMAKE_CURRENT_BINARY_DIR}/tidewell)
  set(TIDEWELL_PROJECT_URL "https://github.com/tidewell/tidewell" CACHE STRING
      "The project's home page, named in the AppStream metadata")
  set(TIDEWELL_SCREENSHOT_URL
      "https://raw.githubusercontent.com/tidewell/tidewell/main/docs/screenshots" CACHE STRING
      "Where the AppStream metadata's screenshots (docs/screenshots) are published")

  # The manual page, from the same table as --help.
  add_executable(tidewell_man_page ${tidewell_pkg_src}/man_page.cpp)
  target_link_libraries(tidewell_man_page PRIVATE tidewell_command_line tidewell_platform
                                                  tidewell_options)
  add_custom_command(
    OUTPUT ${tidewell_pkg_out}/tidewell.1 ${tidewell_pkg_out}/tidewell.1.gz
    COMMAND ${CMAKE_COMMAND} -E make_directory ${tidewell_pkg_out}
    COMMAND tidewell_man_page ${TIDEWELL_RELEASE_DATE} ${tidewell_pkg_out}/tidewell.1
    # -n: no name or time stamp inside, the same bytes on every build.
    COMMAND gzip -9 -n -f -k ${tidewell_pkg_out}/tidewell.1
    DEPENDS tidewell_man_page
    COMMENT "Writing the manual page tidewell(1)"
    VERBATIM)

  # The icons of the hicolor theme, rendered from the window's own logo.
  set(tidewell_icon_svg ${PROJECT_SOURCE_DIR}/res/images/logo.svg)
  set(tidewell_icon_sizes 16 24 32 48 64 128 256 512)
  add_executable(tidewell_render_icon ${tidewell_pkg_src}/render_icon.cpp)
  target_link_libraries(tidewell_render_icon PRIVATE Qt6::Gui Qt6::Svg tidewell_options)
  set(tidewell_icon_pngs)
  foreach(size IN LISTS tidewell_icon_sizes)
    list(APPEND tidewell_icon_pngs ${tidewell_pkg_out}/icons/${size}x${size}/apps/${tidewell_app_id}.png)
  endforeach()
  add_custom_command(
    OUTPUT ${tidewell_icon_pngs}
    COMMAND ${CMAKE_COMMAND} -E env ASAN_OPTIONS=detect_leaks=0 $<TARGET_FILE:tidewell_render_icon> ${tidewell_icon_svg} ${tidewell_pkg_out}/icons
            ${tidewell_app_id} ${tidewell_icon_sizes}
    DEPENDS tidewell_render_icon ${tidewell_icon_svg}
    COMMENT "Rendering the menu icons"
    VERBATIM)

  # The Debian changelog; a native package keeps it as changelog.gz.
  execute_process(COMMAND date -u -R -d "${TIDEWELL_RELEASE_DATE} 00:00:00 UTC"
                  OUTPUT_VARIABLE TIDEWELL_CHANGELOG_DATE OUTPUT_STRIP_TRAILING_WHITESPACE
                  COMMAND_ERROR_IS_FATAL ANY)
  configure_file(${tidewell_pkg_src}/changelog.in ${tidewell_pkg_out}/changelog @ONLY)
  add_custom_command(
    OUTPUT ${tidewell_pkg_out}/changelog.gz
    COMMAND gzip -9 -n -f -k ${tidewell_pkg_out}/changelog
    DEPENDS ${tidewell_pkg_src}/changelog.in
    VERBATIM)
  configure_file(${tidewell_pkg_src}/${tidewell_app_id}.metainfo.xml.in
                 ${tidewell_pkg_out}/${tidewell_app_id}.metainfo.xml @ONLY)

  # The program stripped as dh_strip does it, the compiler's notes included.
  add_custom_command(
    OUTPUT ${tidewell_pkg_out}/tidewell
    COMMAND ${CMAKE_STRIP} --remove-section=.comment --remove-section=.note --strip-unneeded
            -o ${tidewell_pkg_out}/tidewell $<TARGET_FILE:tidewell>
    DEPENDS tidewell
    VERBATIM)

  add_custom_target(tidewell_package_files ALL
    DEPENDS ${tidewell_pkg_out}/tidewell ${tidewell_pkg_out}/tidewell.1.gz ${tidewell_icon_pngs}
            ${tidewell_pkg_out}/changelog.gz)

  include(GNUInstallDirs)
  install(PROGRAMS ${tidewell_pkg_out}/tidewell DESTINATION ${CMAKE_INSTALL_BINDIR}
          COMPONENT tidewell)
  install(FILES ${tidewell_pkg_out}/tidewell.1.gz
          DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT tidewell)
  install(FILES ${tidewell_pkg_src}/${tidewell_app_id}.desktop
          DESTINATION ${CMAKE_INSTALL_DATADIR}/applications COMPONENT tidewell)
  install(FILES ${tidewell_pkg_out}/${tidewell_app_id}.metainfo.xml
          DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo COMPONENT tidewell)
  foreach(size IN LISTS tidewell_icon_sizes)
    install(FILES ${tidewell_pkg_out}/icons/${size}x${size}/apps/${tidewell_app_id}.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
            COMPONENT tidewell)
  endforeach()
  install(FILES ${tidewell_icon_svg} RENAME ${tidewell_app_id}.svg
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps COMPONENT tidewell)
  install(FILES ${tidewell_pkg_src}/copyright ${tidewell_pkg_out}/changelog.gz
          DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/tidewell COMPONENT tidewell)

  set(CPACK_DEBIAN_TIDEWELL_PACKAGE_NAME tidewell)
  set(CPACK_DEBIAN_TIDEWELL_PACKAGE_SECTION utils)
  set(CPACK_COMPONENT_TIDEWELL_DESCRIPTION
      "local AI installer for DeepSeek-R1 with Ollama and Chatbox
Tidewell opens a window that installs, for the user who runs it, the Ollama
runner, the chosen size of the DeepSeek-R1 model and the Chatbox chat
client pointed at that model. Everything it installs stays in the user's
home folder; its manage page repairs or removes it again.")
  # The window's Chinese texts need a CJK font; Qt's own dialogs read their
  # Chinese texts from Qt's translations; links open through xdg-open.
  set(CPACK_DEBIAN_TIDEWELL_PACKAGE_RECOMMENDS
      "fonts-noto-cjk | fonts-wqy-microhei, qt6-translations-l10n, xdg-utils")
endif()
