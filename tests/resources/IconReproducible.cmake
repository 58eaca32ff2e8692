# Draws the icon twice more and compares both drawings with the one the build embedded:
# a time stamp, a random value or an unordered walk in make_icon.py would show up here.
# Run with -DPYTHON=... -DSCRIPT=.../make_icon.py -DBUILT=.../InstallTool.ico -DWORK=dir
foreach(run 1 2)
  execute_process(COMMAND ${PYTHON} ${SCRIPT} ${WORK}/again${run}.ico RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "make_icon.py failed on run ${run}: ${failed}")
  endif()
  file(SHA256 ${BUILT} expected)
  file(SHA256 ${WORK}/again${run}.ico actual)
  if(NOT expected STREQUAL actual)
    file(SIZE ${BUILT} expected_size)
    file(SIZE ${WORK}/again${run}.ico actual_size)
    message(FATAL_ERROR "run ${run} drew a different icon\n"
            "  expected ${expected} (${expected_size} bytes, the built one)\n"
            "  actual   ${actual} (${actual_size} bytes)")
  endif()
endforeach()
message(STATUS "icon reproduced twice: ${expected}")
