# Install rules for the desktop and the Debian package, included by the
# top-level CMakeLists.txt on Linux. The icon's PNG sizes are rendered from the
# project's SVG and the manual pages are made from the programs' --help, both at
# build time; without rsvg-convert or help2man those files are left out, with a
# warning (scripts/setup installs both).
set(packaging ${PROJECT_SOURCE_DIR}/packaging)
set(packaging_out ${PROJECT_BINARY_DIR}/packaging)
set(doc_dir ${CMAKE_INSTALL_DATADIR}/doc/distangler)
set(packaging_files)

find_program(DISTANGLER_RSVG_CONVERT rsvg-convert)
find_program(DISTANGLER_HELP2MAN help2man)
find_program(DISTANGLER_GZIP gzip REQUIRED)

# gzip -n: no name or time stamp, so the same sources give the same files.
function(distangler_gzip input output)
  add_custom_command(OUTPUT ${output}
                     COMMAND ${DISTANGLER_GZIP} -9nc ${input} > ${output}
                     DEPENDS ${input} VERBATIM)
endfunction()

if(DISTANGLER_BUILD_QT)
  install(FILES ${packaging}/distangler.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES ${packaging}/distangler.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages)
  install(FILES ${packaging}/io.github.distangler.Distangler.metainfo.xml
          DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
  install(FILES ${packaging}/distangler.svg
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
  if(DISTANGLER_RSVG_CONVERT)
    foreach(size 16 32 48 64 128 256)
      set(png ${packaging_out}/icons/${size}x${size}/distangler.png)
      add_custom_command(OUTPUT ${png}
                         COMMAND ${CMAKE_COMMAND} -E make_directory ${packaging_out}/icons/${size}x${size}
                         COMMAND ${DISTANGLER_RSVG_CONVERT} -w ${size} -h ${size}
                                 -o ${png} ${packaging}/distangler.svg
                         DEPENDS ${packaging}/distangler.svg VERBATIM)
      list(APPEND packaging_files ${png})
      install(FILES ${png} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
    endforeach()
  else()
    message(WARNING "rsvg-convert not found: the icon is installed as SVG only")
  endif()
endif()

set(programs distangler-batch)
if(DISTANGLER_BUILD_QT)
  list(PREPEND programs distangler)
endif()
set(distangler_summary "open Distangler's window, or call one of its functions by name")
set(distangler-batch_summary "run Distangler's actions on landmark files without a window")
if(DISTANGLER_HELP2MAN)
  foreach(program IN LISTS programs)
    set(page ${packaging_out}/man/${program}.1)
    add_custom_command(OUTPUT ${page}
                       COMMAND ${CMAKE_COMMAND} -E make_directory ${packaging_out}/man
                       COMMAND ${DISTANGLER_HELP2MAN} --no-info --section=1
                               --name=${${program}_summary} --include=${packaging}/${program}.h2m
                               --output=${page} $<TARGET_FILE:${program}>
                       DEPENDS ${program} ${packaging}/${program}.h2m VERBATIM)
    distangler_gzip(${page} ${page}.gz)
    list(APPEND packaging_files ${page}.gz)
    install(FILES ${page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  endforeach()
else()
  message(WARNING "help2man not found: the manual pages are not made")
endif()

# The licence in the form Debian reads, and the change log.
file(READ ${PROJECT_SOURCE_DIR}/LICENSE licence)
string(REGEX REPLACE "\n+$" "" licence "${licence}")
string(REGEX REPLACE "\n\n" "\n.\n" licence "${licence}")
string(REGEX REPLACE "\n" "\n " licence "${licence}")
file(WRITE ${packaging_out}/copyright
     "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/\n"
     "Upstream-Name: Distangler\n\n"
     "Files: *\nCopyright: The Distangler authors\nLicense: Expat\n ${licence}\n")
install(FILES ${packaging_out}/copyright DESTINATION ${doc_dir})
distangler_gzip(${PROJECT_SOURCE_DIR}/CHANGELOG.md ${packaging_out}/changelog.gz)
list(APPEND packaging_files ${packaging_out}/changelog.gz)
install(FILES ${packaging_out}/changelog.gz DESTINATION ${doc_dir})

add_custom_target(packaging_files ALL DEPENDS ${packaging_files})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME distangler)
set(CPACK_PACKAGE_VENDOR "The Distangler authors")
set(CPACK_PACKAGE_CONTACT "The Distangler authors <distangler@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "landmark data to distance and angle datasets")
set(CPACK_PACKAGE_DESCRIPTION
    "Distangler turns 2-D and 3-D landmark data into tables of traditional\n"
    "morphometric measurements. It loads a sample (a TPS file, a TPS file with a\n"
    "scale factor per specimen, or a plain numeric matrix), superimposes it onto\n"
    "its consensus, loads a measurement protocol (landmark pairs for distances,\n"
    "triples for angles) and writes datasets with one line per specimen for\n"
    "statistics programs. It draws the sample and the protocol in a window, and\n"
    "a batch tool runs the same actions without one.")
list(JOIN CPACK_PACKAGE_DESCRIPTION "" CPACK_PACKAGE_DESCRIPTION)
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt's TIFF reader, a plugin the libraries' dependencies do not bring, for
# the specimen photos digitising programs write.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS qt6-image-formats-plugins)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
