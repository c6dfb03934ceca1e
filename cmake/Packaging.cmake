# The Debian package: `cmake --build BUILD --target package` (make package)
# puts both programs, the manual pages, the desktop entry and the icons into
# dorvalune_<version>_<arch>.deb. Configure the build with
# -DCMAKE_INSTALL_PREFIX=/usr so that what `cmake --install` writes and what
# the package holds agree.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME dorvalune)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Dorvalune")
set(CPACK_PACKAGE_CONTACT "Dorvalune maintainers <dorvalune@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "halve the width and height of image files in place")
set(CPACK_PACKAGE_DESCRIPTION "\
Dorvalune halves image files (BMP, PNG, JPEG, GIF, TIFF) in place, keeping
each original beside it with 'old' in front of its name, and treats the key
colour #FF0080 as transparent. The window lists the files; the command-line
companion dorvalune-shrink does the same for scripts, with a report per
file, a dry run and an undo.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The runtime libraries, with the versions the build was linked against, as
# dpkg-shlibdeps finds them (dpkg-dev).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The programs without their debugging information.
set(CPACK_STRIP_FILES ON)
include(CPack)
