# The Debian package, made by `cmake --build build --target package`: everything `cmake --install`
# puts under /usr. Its dependencies are those of the built programs, as dpkg-shlibdeps (dpkg-dev)
# finds them, so that the package asks for exactly the libraries this build links to.
set(SCENARIA_PACKAGE_MAINTAINER
    "Scenaria maintainers <maintainers@users.noreply.c-seed-f7dabc10.example>"
    CACHE STRING "The Maintainer field of the Debian package")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME scenaria)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "${SCENARIA_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${SCENARIA_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
# name_version_architecture.deb, as dpkg-deb names a package.
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The help opens in the browser through xdg-open; GNOME-like desktops take the wallpaper
# through gsettings.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils, libglib2.0-bin")
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The build's debugging information stays in the build tree.
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "wallpaper changer that lives in the notification area")
# Lines as the package shows them (dpkg wants them short); CPack indents them.
string(CONCAT CPACK_PACKAGE_DESCRIPTION
  "Scenaria changes the desktop wallpaper every so often, a fixed number of\n"
  "minutes or a random time, taking the next picture from a folder in order or\n"
  "at random and fitting it to the screen: tiled, centred, stretched or scaled\n"
  "keeping its proportions. It reads JPEG, PNG, BMP, PCX, Targa, TIFF,\n"
  "PBM/PGM/PPM, WebP, HEIC/HEIF, AVIF and JPEG XL pictures, and works on GNOME,\n"
  "KDE Plasma, XFCE, MATE, Cinnamon, LXQt, LXDE, sway and plain X11.\n"
  "\n"
  "scenarix-tool converts and describes pictures and steers the running\n"
  "program from scripts and keyboard shortcuts.")

include(CPack)
