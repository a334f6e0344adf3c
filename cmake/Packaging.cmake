# `cpack -G DEB` (scripts/package) turns the install tree into a Debian package. Library
# dependencies come from the binaries; what the app only loads at run time is named here.
set(CPACK_PACKAGE_NAME mofli)
set(CPACK_PACKAGE_VENDOR "Mofli")
set(CPACK_PACKAGE_CONTACT "Mofli developers <mofli@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Desktop pet that shows what Claude Code is doing")
# One string: a list of several would reach the control file joined with ";".
string(CONCAT CPACK_PACKAGE_DESCRIPTION
    "A small pixel-art pet lives in a transparent window and mirrors what the Claude Code\n"
    "command-line assistant does in the terminal. It links itself into Claude Code through\n"
    "its own plugin.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Japanese and emoji glyphs for the bubble, the WebP reader for pets shipped as WebP, and Qt's
# Wayland plugin: on a Wayland session without XWayland, Qt aborts at start without it.
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "fonts-noto-cjk, fonts-noto-color-emoji, qt6-image-formats-plugins, qt6-wayland")
set(CPACK_GENERATOR DEB)
include(CPack)
