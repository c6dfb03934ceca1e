# The companion as a user runs it, under Wine: every file gets the line the
# Linux companion prints for it (standard output for files done, standard
# error for files passed over), the exit status says whether any was passed
# over, the files on disk are what the lines say, and the undo puts the
# original back over the new image. Run by ctest:
#   cmake -DWINE=<run-with-wine.sh> -DWINEPREFIX=<prefix> -DSHRINK=<exe> -DDATA=<tests/data>
#         -DWORK=<folder> -P CompanionTest.cmake
function(expect what actual expected)
  if(NOT "${actual}" STREQUAL "${expected}")
    message(SEND_ERROR "${what}:\n--- got ---\n${actual}\n--- expected ---\n${expected}")
  endif()
endfunction()

# Runs the companion in the work folder: "<stdout>|<stderr>|<status>", with
# the CR LF line ends of its text streams as LF.
function(companion result)
  execute_process(COMMAND ${CMAKE_COMMAND} -E env WINEPREFIX=${WINEPREFIX} ${WINE} ${SHRINK} ${ARGN}
                  WORKING_DIRECTORY ${WORK}
                  OUTPUT_VARIABLE out ERROR_VARIABLE err RESULT_VARIABLE status)
  string(REPLACE "\r\n" "\n" all "${out}|${err}|${status}")
  set(${result} "${all}" PARENT_SCOPE)
endfunction()

function(expect_same_file what a b)
  file(SHA256 ${a} hash_a)
  file(SHA256 ${b} hash_b)
  expect("${what}" "${hash_a}" "${hash_b}")
endfunction()

set(rgb24 ${DATA}/bmpsuite/g/rgb24.bmp)
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})
file(COPY_FILE ${rgb24} ${WORK}/a.bmp)
file(COPY_FILE ${rgb24} ${WORK}/taken.bmp)
file(WRITE ${WORK}/notes.bmp "notes")
file(WRITE ${WORK}/oldtaken.bmp "x")

companion(run -j1 a.bmp notes.bmp taken.bmp missing.bmp)
expect("shrinking" "${run}" "shrunk a.bmp 127x64 -> 63x32, original kept as olda.bmp
|passed over notes.bmp: not decodable (not a picture, or a format this program does not read)
passed over taken.bmp: backup name exists
passed over missing.bmp: no such file
|1")
expect_same_file("the backup olda.bmp" ${WORK}/olda.bmp ${rgb24})
companion(run --undo a.bmp)
expect("the undo" "${run}" "restored a.bmp from olda.bmp\n||0")
expect_same_file("a.bmp, restored" ${WORK}/a.bmp ${rgb24})
if(EXISTS ${WORK}/olda.bmp)
  message(SEND_ERROR "the undo left olda.bmp")
endif()
file(REMOVE_RECURSE ${WORK})
