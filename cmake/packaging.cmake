# cpack -G DEB makes lumesta_<version>_<architecture>.deb: everything `cmake --install` puts
# under /usr, with the shared libraries it needs found by dpkg-shlibdeps rather than listed.
set(CPACK_PACKAGE_NAME lumesta)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Lumesta developers")
set(CPACK_PACKAGE_CONTACT "Lumesta developers <lumesta@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Fuse and inspect satellite imagery")
set(CPACK_PACKAGE_DESCRIPTION
    "Lumesta pan-sharpens satellite imagery (16-bit scenes and Landsat ETM+), makes stretched
colour composites and assesses images with semivariance, multi-resolution statistics and
Haar wavelets. It comes as a desktop program, lumesta, and a command-line program,
lumesta-cli, that write the same results and reports. With QGIS installed, its Processing
toolbox offers the same tools as the Lumesta provider.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS OFF)
# Help > User Guide hands the guide to the desktop's PDF reader.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils")
# The QGIS provider is there for those who have QGIS; nothing else needs it.
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "qgis")
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
find_program(LUMESTA_DPKG dpkg)
set(LUMESTA_DEB_ARCHITECTURE amd64)
if(LUMESTA_DPKG)
  execute_process(COMMAND ${LUMESTA_DPKG} --print-architecture
                  OUTPUT_VARIABLE LUMESTA_DEB_ARCHITECTURE OUTPUT_STRIP_TRAILING_WHITESPACE)
endif()
set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE ${LUMESTA_DEB_ARCHITECTURE})
set(CPACK_DEBIAN_FILE_NAME "lumesta_${PROJECT_VERSION}_${LUMESTA_DEB_ARCHITECTURE}.deb")

set(CPACK_GENERATOR DEB)
include(CPack)
