# The user guide: the pages in docs/guide, compiled into Lumeno.chm beside the executable, where the
# Help command looks for it.
#
# Included from the top-level CMakeLists.txt, this file adds the target lumeno_help. At build time it
# runs again in script mode (cmake -P) to do the work: the pages are written in UTF-8, while an HTML
# help file for a Japanese reader carries its pages and its contents in code page 932 (the viewer reads
# the contents and the index in the code page of the file's language), so each text file is converted
# into a staging folder, its charset declaration with it, and chmcmd compiles the staged project.

if(CMAKE_SCRIPT_MODE_FILE)
  # Script mode. Inputs: GUIDE_DIR, STAGE_DIR, CHMCMD, OUTPUT.
  file(REMOVE_RECURSE "${STAGE_DIR}")
  file(MAKE_DIRECTORY "${STAGE_DIR}")
  file(GLOB guide_files RELATIVE "${GUIDE_DIR}" "${GUIDE_DIR}/*")
  foreach(name IN LISTS guide_files)
    if(name MATCHES "\\.(html|hhc|hhk|hhp)$")
      file(READ "${GUIDE_DIR}/${name}" text)
      string(REPLACE "charset=UTF-8" "charset=Shift_JIS" text "${text}")
      file(WRITE "${STAGE_DIR}/${name}.utf8" "${text}")
      execute_process(
        COMMAND iconv -f UTF-8 -t CP932 "${STAGE_DIR}/${name}.utf8"
        OUTPUT_FILE "${STAGE_DIR}/${name}"
        ERROR_VARIABLE iconv_error
        RESULT_VARIABLE iconv_result)
      if(NOT iconv_result EQUAL 0)
        message(FATAL_ERROR "docs/guide/${name} holds text that code page 932 cannot carry: ${iconv_error}")
      endif()
      file(REMOVE "${STAGE_DIR}/${name}.utf8")
    else()
      file(COPY "${GUIDE_DIR}/${name}" DESTINATION "${STAGE_DIR}")
    endif()
  endforeach()

  # chmcmd answers 0 whatever happens, so its own words and the file it writes tell the outcome.
  execute_process(
    COMMAND "${CHMCMD}" --verbosity 1 Lumeno.hhp
    WORKING_DIRECTORY "${STAGE_DIR}"
    OUTPUT_VARIABLE chmcmd_output
    ERROR_VARIABLE chmcmd_output)
  if(chmcmd_output MATCHES "(Warning|Error|Can't)" OR NOT EXISTS "${STAGE_DIR}/Lumeno.chm")
    message(FATAL_ERROR "chmcmd could not compile the user guide:\n${chmcmd_output}")
  endif()
  get_filename_component(output_dir "${OUTPUT}" DIRECTORY)
  file(MAKE_DIRECTORY "${output_dir}")
  file(COPY_FILE "${STAGE_DIR}/Lumeno.chm" "${OUTPUT}")
  return()
endif()

# The compiler is found, never fetched: scripts/install-deps.sh (run by `make run` and `make test`)
# puts it where LUMENO_CHMCMD_DIR says, or Debian's fp-utils package installs it system-wide.
set(LUMENO_CHMCMD_DIR "$ENV{HOME}/.cache/lumeno/tools" CACHE PATH
    "Where scripts/fetch-chmcmd.sh puts the help compiler chmcmd")
find_program(LUMENO_CHMCMD NAMES chmcmd chmcmd-3.2.2 HINTS ${LUMENO_CHMCMD_DIR})
if(NOT LUMENO_CHMCMD)
  message(FATAL_ERROR "The help compiler chmcmd is missing: scripts/install-deps.sh puts it into "
                      "${LUMENO_CHMCMD_DIR} (or set LUMENO_CHMCMD to one).")
endif()

set(LUMENO_HELP_FILE ${CMAKE_BINARY_DIR}/bin/Lumeno.chm)
set(lumeno_guide_dir ${PROJECT_SOURCE_DIR}/docs/guide)
file(GLOB lumeno_guide_files CONFIGURE_DEPENDS ${lumeno_guide_dir}/*)

add_custom_command(
  OUTPUT ${LUMENO_HELP_FILE}
  COMMAND ${CMAKE_COMMAND}
          -DGUIDE_DIR=${lumeno_guide_dir}
          -DSTAGE_DIR=${CMAKE_BINARY_DIR}/guide
          -DCHMCMD=${LUMENO_CHMCMD}
          -DOUTPUT=${LUMENO_HELP_FILE}
          -P ${CMAKE_CURRENT_LIST_FILE}
  DEPENDS ${lumeno_guide_files} ${CMAKE_CURRENT_LIST_FILE}
  COMMENT "Compiling the user guide into Lumeno.chm"
  VERBATIM)
add_custom_target(lumeno_help ALL DEPENDS ${LUMENO_HELP_FILE})
