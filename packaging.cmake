# Debian package of the program and its manual page: `cpack -G DEB` in the build folder
# (or `make deb`). The files come from the install rules: bin/quillmor and
# share/man/man1/quillmor.1 under /usr.

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quillmor)
set(CPACK_PACKAGE_VERSION 1.02)
set(CPACK_PACKAGE_VENDOR "Quillmor developers")
set(CPACK_PACKAGE_CONTACT "Quillmor developers <support@quillmor.example.org>")
set(CPACK_PACKAGE_HOMEPAGE_URL "https://quillmor.example.org")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "change the page size of PDF files")
set(CPACK_PACKAGE_DESCRIPTION
    "Quillmor rescales the pages of PDF files by a percentage or to a paper size, editing the input as little as possible: every object is copied byte for byte and only the changed pages are rewritten.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Quillmor developers <support@quillmor.example.org>")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)

# The exact library versions come from dpkg-shlibdeps where it is installed (package dpkg-dev);
# without it the package names the runtime libraries a C++ program needs.
find_program(QUILLMOR_DPKG_SHLIBDEPS dpkg-shlibdeps)
if(QUILLMOR_DPKG_SHLIBDEPS)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
else()
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "libc6, libstdc++6, libgcc-s1")
endif()

include(CPack)
