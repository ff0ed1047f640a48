# The QGIS Processing provider: the plugin folder "lumesta" in the build folder (qgis/lumesta,
# where the tests load it from) and where QGIS finds system plugins once installed. Its
# algorithms and parameters are written by make_qgis_algorithms from the option tables at every
# build, as the manual pages are.
add_executable(make_qgis_algorithms ${PROJECT_SOURCE_DIR}/tools/make_qgis_algorithms.cpp)

set(LUMESTA_QGIS_PLUGIN_DIR ${PROJECT_BINARY_DIR}/qgis/lumesta)
set(LUMESTA_QGIS_PLUGIN_DESTINATION ${CMAKE_INSTALL_DATADIR}/qgis/python/plugins)

# The provider finds lumesta-cli from its own folder first: the path from the installed plugin
# folder to the installed program
# folder, and its Help button opens the installed user guide.
file(RELATIVE_PATH LUMESTA_QGIS_RELATIVE_BIN
     ${CMAKE_INSTALL_PREFIX}/${LUMESTA_QGIS_PLUGIN_DESTINATION}/lumesta
     ${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR})
file(RELATIVE_PATH LUMESTA_QGIS_RELATIVE_GUIDE
     ${CMAKE_INSTALL_PREFIX}/${LUMESTA_QGIS_PLUGIN_DESTINATION}/lumesta
     ${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_DATADIR}/lumesta/User_Guide.pdf)

file(GLOB LUMESTA_QGIS_SOURCES CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/qgis/lumesta/*.py)
foreach(source ${LUMESTA_QGIS_SOURCES})
  get_filename_component(name ${source} NAME)
  configure_file(${source} ${LUMESTA_QGIS_PLUGIN_DIR}/${name} COPYONLY)
endforeach()
configure_file(${PROJECT_SOURCE_DIR}/qgis/lumesta/metadata.txt.in
               ${LUMESTA_QGIS_PLUGIN_DIR}/metadata.txt @ONLY)
configure_file(${PROJECT_SOURCE_DIR}/qgis/lumesta/locations.json.in
               ${LUMESTA_QGIS_PLUGIN_DIR}/locations.json @ONLY)
configure_file(${PROJECT_SOURCE_DIR}/desktop/lumesta.svg ${LUMESTA_QGIS_PLUGIN_DIR}/icon.svg COPYONLY)

find_program(LUMESTA_SH sh REQUIRED)
add_custom_command(
  OUTPUT ${LUMESTA_QGIS_PLUGIN_DIR}/algorithms.json
  COMMAND ${LUMESTA_SH} -c "\"$1\" >\"$2\"" sh $<TARGET_FILE:dump_options>
          ${PROJECT_BINARY_DIR}/qgis/option_tables.tsv
  COMMAND make_qgis_algorithms ${PROJECT_BINARY_DIR}/qgis/option_tables.tsv
          ${LUMESTA_QGIS_PLUGIN_DIR}/algorithms.json
  DEPENDS dump_options make_qgis_algorithms
  COMMENT "Writing the algorithms of the QGIS provider"
  VERBATIM)
add_custom_target(lumesta_qgis_provider ALL DEPENDS ${LUMESTA_QGIS_PLUGIN_DIR}/algorithms.json)

install(DIRECTORY ${LUMESTA_QGIS_PLUGIN_DIR} DESTINATION ${LUMESTA_QGIS_PLUGIN_DESTINATION}
        PATTERN __pycache__ EXCLUDE)
