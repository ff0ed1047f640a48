# The manual pages lumesta-cli(1) and lumesta(1) and the bash completion of lumesta-cli, written
# by make_manuals from the option tables (the README gives the examples), and where they go.
# The writers are built only into the generator (and its tests), never into the programs.
add_library(lumesta_manual_writers STATIC ${PROJECT_SOURCE_DIR}/tools/manual_page.cpp
            ${PROJECT_SOURCE_DIR}/tools/bash_completion.cpp)
target_link_libraries(lumesta_manual_writers PUBLIC lumesta_engine)
add_executable(make_manuals ${PROJECT_SOURCE_DIR}/tools/make_manuals.cpp)
target_link_libraries(make_manuals PRIVATE lumesta_manual_writers)

find_program(LUMESTA_GZIP gzip REQUIRED)
set(LUMESTA_MANUALS_DIR ${PROJECT_BINARY_DIR}/manuals)
set(LUMESTA_MANUAL_FILES
  ${LUMESTA_MANUALS_DIR}/lumesta-cli.1 ${LUMESTA_MANUALS_DIR}/lumesta.1
  ${LUMESTA_MANUALS_DIR}/lumesta-cli.bash)
add_custom_command(
  OUTPUT ${LUMESTA_MANUAL_FILES} ${LUMESTA_MANUALS_DIR}/lumesta-cli.1.gz
         ${LUMESTA_MANUALS_DIR}/lumesta.1.gz
  COMMAND ${CMAKE_COMMAND} -E make_directory ${LUMESTA_MANUALS_DIR}
  COMMAND make_manuals ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_VERSION} ${LUMESTA_MANUALS_DIR}
  # Compressed without a name or time stamp, so that the same sources give the same bytes.
  COMMAND ${LUMESTA_GZIP} -9nkf ${LUMESTA_MANUALS_DIR}/lumesta-cli.1 ${LUMESTA_MANUALS_DIR}/lumesta.1
  DEPENDS make_manuals ${PROJECT_SOURCE_DIR}/README.md
  COMMENT "Writing the manual pages and the bash completion"
  VERBATIM)
add_custom_target(lumesta_manuals ALL DEPENDS ${LUMESTA_MANUAL_FILES})

install(FILES ${LUMESTA_MANUALS_DIR}/lumesta-cli.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${LUMESTA_MANUALS_DIR}/lumesta-cli.bash
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME lumesta-cli)
