# Runs iconpack as a publisher would and checks exit codes, messages and a round trip.
# cmake -DICONPACK=exe [-DRUNNER=emulator] -DICONS=a.bmp|b.bmp -DSOURCE=dir -DWORK=dir -DEXAMPLE=Icons.bin -P CheckIconpack.cmake
string(REPLACE "|" ";" ICONS "${ICONS}")
file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}")

# run(<expected exit code> <output variable> args...)
function(run expected out_var)
  execute_process(COMMAND ${RUNNER} ${ICONPACK} ${ARGN}
                  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT "${rc}" STREQUAL "${expected}")
    message(FATAL_ERROR "iconpack ${ARGN}\nexit ${rc}, expected ${expected}\n${out}${err}")
  endif()
  set(${out_var} "${out}${err}" PARENT_SCOPE)
endfunction()

function(expect_in text pattern)
  string(FIND "${text}" "${pattern}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "expected \"${pattern}\" in:\n${text}")
  endif()
endfunction()

list(LENGTH ICONS count)
if(count LESS 9)
  message(FATAL_ERROR "only ${count} example icons")
endif()

# Usage errors.
run(2 out)
expect_in("${out}" "usage: iconpack pack")
expect_in("${out}" "#FF00FF")
run(2 out frobnicate)
run(2 out pack "${WORK}/out.bin")
run(2 out pack --bits 16 "${WORK}/out.bin" ${ICONS})
run(2 out list)

# Bad input.
run(1 out pack "${WORK}/out.bin" "${WORK}/missing.bmp")
expect_in("${out}" "missing.bmp")
run(1 out pack "${WORK}/out.bin" "${SOURCE}/examples/Kestrelgrove.bmp")
expect_in("${out}" "icons must be 16x16")
run(1 out list "${SOURCE}/examples/Kestrelgrove.bmp")
expect_in("${out}" "resource header")
run(1 out list "${WORK}/missing.bin")
expect_in("${out}" "Cannot open")

# An output path that cannot be written is reported; what stands there stays.
file(MAKE_DIRECTORY "${WORK}/taken")
run(1 out pack "${WORK}/taken" ${ICONS})
expect_in("${out}" "Cannot write file")
if(NOT IS_DIRECTORY "${WORK}/taken")
  message(FATAL_ERROR "iconpack removed what stood at its output path")
endif()

# A round trip, in both depths.
run(0 out pack "${WORK}/out.bin" ${ICONS})
run(0 out list "${WORK}/out.bin")
expect_in("${out}" "${count} images of 16x16, masked, image list stream version 0x0101")
expect_in("${out}" "object \"IconList\" of class TImageList")
expect_in("${out}" "colour bitmap 24 bits")
run(0 out pack --bits 32 "${WORK}/out32.bin" ${ICONS})
run(0 out list --preview "${WORK}/out32.bin")
expect_in("${out}" "colour bitmap 32 bits")
expect_in("${out}" "................")

# The example toolbar's icon file, made by the build.
run(0 out list "${EXAMPLE}")
expect_in("${out}" "${count} images of 16x16")
file(REMOVE_RECURSE "${WORK}")
