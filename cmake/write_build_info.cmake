# Run at every build (cmake -P): writes OUTPUT, a header with the package VERSION and the commit
# the sources in SOURCE_DIR are at ("-modified" when the working tree differs from it, COMMIT
# when given, "unknown" outside a git checkout). The header is rewritten only when it changes.
set(commit "${COMMIT}")
if(commit STREQUAL "")
  set(commit "unknown")
  find_package(Git QUIET)
  if(GIT_FOUND)
    execute_process(COMMAND ${GIT_EXECUTABLE} -C ${SOURCE_DIR} rev-parse --short=12 HEAD
                    OUTPUT_VARIABLE head RESULT_VARIABLE status
                    OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
    if(status EQUAL 0)
      set(commit "${head}")
      execute_process(COMMAND ${GIT_EXECUTABLE} -C ${SOURCE_DIR} diff --quiet HEAD --
                      RESULT_VARIABLE modified OUTPUT_QUIET ERROR_QUIET)
      if(NOT modified EQUAL 0)
        string(APPEND commit "-modified")
      endif()
    endif()
  endif()
endif()

set(text "#pragma once
// Written at build time: the package version and the commit the program was built from.

namespace lumesta {

constexpr char kPackageVersion[] = \"${VERSION}\";
constexpr char kBuildCommit[] = \"${commit}\";

}  // namespace lumesta
")
if(EXISTS "${OUTPUT}")
  file(READ "${OUTPUT}" old)
endif()
if(NOT "${old}" STREQUAL "${text}")
  file(WRITE "${OUTPUT}" "${text}")
endif()
