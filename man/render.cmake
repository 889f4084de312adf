# SPDX-License-Identifier: MIT
# Renders one scdoc manual: fills in the version and, where the page asks for
# it with a line "@EXAMPLE@", the example program, then runs scdoc and gzip.
# cmake -DSOURCE=x.scd -DOUTPUT=x.1 -DVERSION=1.0.0 [-DEXAMPLE=file.c] -P render.cmake
cmake_minimum_required(VERSION 3.25)
file(READ ${SOURCE} text)
string(REPLACE "@VERSION@" "${VERSION}" text "${text}")
if(DEFINED EXAMPLE)
  file(READ ${EXAMPLE} example)
  # scdoc reads a backslash as an escape, in literal blocks too.
  string(REPLACE "\\" "\\\\" example "${example}")
  string(REPLACE "@EXAMPLE@\n" "${example}" text "${text}")
endif()
file(WRITE ${OUTPUT}.scd "${text}")
execute_process(COMMAND ${SCDOC} INPUT_FILE ${OUTPUT}.scd OUTPUT_FILE ${OUTPUT}
  RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "scdoc failed on ${SOURCE}")
endif()
execute_process(COMMAND gzip -9 -n -f -k ${OUTPUT} RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "gzip failed on ${OUTPUT}")
endif()
