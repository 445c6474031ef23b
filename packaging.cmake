# What `make install` puts under the prefix, and the Debian package of the same files (`make deb`,
# or `cpack -G DEB` in the build folder): bin/quillmor, its manual page compressed, and under
# share/doc/quillmor the machine-readable copyright file and the compressed changelog.

include(GNUInstallDirs)
find_program(QUILLMOR_GZIP gzip)
if(NOT QUILLMOR_GZIP)
  message(FATAL_ERROR "gzip is needed to compress the manual page and the changelog")
endif()

# gzip -9n: the best compression, without the file's name and time, so that equal sources give
# equal archives.
function(quillmor_gzip source target)
  set(copy ${CMAKE_BINARY_DIR}/packaging/${target})
  add_custom_command(OUTPUT ${copy}.gz
    COMMAND ${CMAKE_COMMAND} -E copy ${source} ${copy}
    COMMAND ${QUILLMOR_GZIP} -9nf ${copy}
    DEPENDS ${source} VERBATIM)
  set(QUILLMOR_GZIPPED ${QUILLMOR_GZIPPED} ${copy}.gz PARENT_SCOPE)
endfunction()

set(QUILLMOR_GZIPPED)
quillmor_gzip(${CMAKE_SOURCE_DIR}/man/quillmor.1 quillmor.1)
quillmor_gzip(${CMAKE_SOURCE_DIR}/packaging/changelog changelog)
add_custom_target(quillmor_documents ALL DEPENDS ${QUILLMOR_GZIPPED})

set(QUILLMOR_DOC_DIR ${CMAKE_INSTALL_DATAROOTDIR}/doc/quillmor)
install(FILES ${CMAKE_BINARY_DIR}/packaging/quillmor.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${CMAKE_BINARY_DIR}/packaging/changelog.gz packaging/copyright DESTINATION ${QUILLMOR_DOC_DIR})

# The package is made of what the build made (`make deb` builds first), so cpack need not build all
# again; its test then stays cheap and never builds beside the tests running with it.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quillmor)
set(CPACK_PACKAGE_VERSION 1.02)
set(CPACK_PACKAGE_VENDOR "Quillmor developers")
set(CPACK_PACKAGE_CONTACT "Quillmor developers <support@quillmor.example.org>")
set(CPACK_PACKAGE_HOMEPAGE_URL "https://quillmor.example.org")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "change the page size of PDF files")
set(CPACK_PACKAGE_DESCRIPTION
    "Quillmor rescales the pages of PDF files by a percentage, or fits them to
a paper size such as A4 or Letter, optionally keeping the proportions and
centring the content. It can restrict the change to some pages and process
a list of files into an output folder.

The input is edited as little as possible: every object is copied byte for
byte, and only the page objects, annotation rectangles and pattern matrices
of the changed pages are written anew.")
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

if(QUILLMOR_TESTS)
  add_test(NAME PackageLintian COMMAND ${CMAKE_SOURCE_DIR}/packaging/check-deb.sh ${CMAKE_BINARY_DIR})
  set_tests_properties(PackageLintian PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 300)
endif()
