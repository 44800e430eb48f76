# Runs at the end of the install when CPack stages the Debian package (TESSALINE_DEBIAN_PACKAGE):
# compresses the manual page and adds the copyright file and the compressed changelog, as Debian
# policy puts them, and the notes for lintian. gzip -n leaves the time and name out, so that the
# package is reproducible.
if(NOT TESSALINE_DEBIAN_PACKAGE)
  return()
endif()
set(root "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}")
execute_process(COMMAND gzip -9nf "${root}/${tessaline_man_page}" COMMAND_ERROR_IS_FATAL ANY)
file(MAKE_DIRECTORY "${root}/${tessaline_doc_folder}")
file(COPY_FILE "${tessaline_debian_copyright}" "${root}/${tessaline_doc_folder}/copyright")
execute_process(COMMAND gzip -9nc "${tessaline_debian_changelog}"
                OUTPUT_FILE "${root}/${tessaline_doc_folder}/changelog.gz" COMMAND_ERROR_IS_FATAL ANY)
file(MAKE_DIRECTORY "${root}/share/lintian/overrides")
file(COPY_FILE "${tessaline_lintian_overrides}" "${root}/share/lintian/overrides/tessaline")
file(CHMOD "${root}/${tessaline_doc_folder}/copyright" "${root}/${tessaline_doc_folder}/changelog.gz"
     "${root}/share/lintian/overrides/tessaline" PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
