# What a build puts beside the executable besides the theme packs (the user manual, so that F1
# works from the build tree), the generated documents and desktop files, and the install layout:
#   bin/tessaline
#   share/tessaline/          gfx/ (theme packs), tessaline.html and its pictures (the data folder)
#   share/applications/       tessaline.desktop
#   share/metainfo/           the AppStream component
#   share/icons/hicolor/      the application icon at several sizes, and scalable
#   share/man/man1/           tessaline.1
# The program finds its data folder from its own folder (app/install_layout.h), so the installed
# tree can be moved to another prefix as a whole.

set(manual_sources ${CMAKE_SOURCE_DIR}/docs/tessaline.html)
file(GLOB manual_pictures CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/docs/manual/*.png)
set(manual_copies ${program_folder}/tessaline.html)
set(copy_manual_pictures)
if(manual_pictures)
  foreach(picture ${manual_pictures})
    get_filename_component(name ${picture} NAME)
    list(APPEND manual_copies ${program_folder}/manual/${name})
  endforeach()
  set(copy_manual_pictures
    COMMAND ${CMAKE_COMMAND} -E make_directory ${program_folder}/manual
    COMMAND ${CMAKE_COMMAND} -E copy_if_different ${manual_pictures} ${program_folder}/manual/)
endif()
add_custom_command(
  OUTPUT ${manual_copies}
  COMMAND ${CMAKE_COMMAND} -E copy_if_different ${manual_sources} ${program_folder}/
  ${copy_manual_pictures}
  DEPENDS ${manual_sources} ${manual_pictures}
  COMMENT "Copying the user manual beside the executable"
  VERBATIM)
add_custom_target(user-manual ALL DEPENDS ${manual_copies})
add_dependencies(tessaline user-manual)

set(man_page ${CMAKE_BINARY_DIR}/tessaline.1)
add_custom_command(
  OUTPUT ${man_page}
  COMMAND make-manpage ${man_page}
  DEPENDS make-manpage
  COMMENT "Writing the manual page tessaline.1 from the option table"
  VERBATIM)
add_custom_target(man-page ALL DEPENDS ${man_page})

set(icon_theme_folder ${CMAKE_BINARY_DIR}/icons/hicolor)
set(app_icon_source ${CMAKE_SOURCE_DIR}/resources/artwork/app_icon.svg)
add_custom_command(
  OUTPUT ${icon_theme_folder}/scalable/apps/tessaline.svg
  COMMAND make-artwork appicon ${CMAKE_SOURCE_DIR}/resources/artwork ${icon_theme_folder}
  DEPENDS make-artwork ${app_icon_source}
  COMMENT "Rendering the application icon"
  VERBATIM)
add_custom_target(app-icons ALL DEPENDS ${icon_theme_folder}/scalable/apps/tessaline.svg)

set(metainfo ${CMAKE_BINARY_DIR}/example.morvane.tessaline.metainfo.xml)
configure_file(${CMAKE_SOURCE_DIR}/resources/desktop/example.morvane.tessaline.metainfo.xml.in ${metainfo} @ONLY)

install(TARGETS tessaline RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${default_theme_pack} DESTINATION ${TESSALINE_DATA_DIR}/gfx)
install(FILES ${manual_sources} DESTINATION ${TESSALINE_DATA_DIR})
install(FILES ${manual_pictures} DESTINATION ${TESSALINE_DATA_DIR}/manual)
install(FILES ${CMAKE_SOURCE_DIR}/resources/desktop/tessaline.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${metainfo} DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(DIRECTORY ${icon_theme_folder} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons)
install(FILES ${man_page} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
