# `cmake --build <dir> --target package` makes a Debian package of what `cmake --install` puts
# in place. The libraries the program links come from dpkg-shlibdeps; what it only opens at run
# time is named here: the SVG plugins for its icon, the web engine's helper process, the CJK
# faces that every caption needs, and the cursor library that Qt's X11 plugin opens.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME sweepwise)
set(CPACK_PACKAGE_VENDOR "Sweepwise team")
set(CPACK_PACKAGE_CONTACT "Sweepwise team <help@sweepwise.app>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "desktop junk-file cleaner")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
    "Sweepwise finds junk files in the temporary folders, the cache and on whole drives, lists\n"
    "them with their sizes and deletes the files you tick. Files in use, write-protected files\n"
    "and anything reached through a link are never deleted.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://sweepwise.app/)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "libqt6svg6, libqt6webenginecore6-bin, fonts-noto-cjk, libxcursor1")
include(CPack)
