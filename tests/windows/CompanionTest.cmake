# The companion as a user runs it, under Wine: every file gets the line the
# Linux companion prints for it (standard output for files done, standard
# error for files passed over), the exit status says whether any was passed
# over, and the files on disk are what the lines say. Run by ctest:
#   cmake -DWINE=<run-with-wine.sh> -DWINEPREFIX=<prefix> -DSHRINK=<exe> -DDATA=<tests/data>
#         -DWORK=<folder> -P CompanionTest.cmake
function(expect what actual expected)
  if(NOT "${actual}" STREQUAL "${expected}")
    message(SEND_ERROR "${what}:\n--- got ---\n${actual}\n--- expected ---\n${expected}")
  endif()
endfunction()

# Runs the companion in the work folder; its text streams end lines in CR LF.
function(companion out err rc)
  execute_process(COMMAND ${CMAKE_COMMAND} -E env WINEPREFIX=${WINEPREFIX} ${WINE} ${SHRINK} ${ARGN}
                  WORKING_DIRECTORY ${WORK}
                  OUTPUT_VARIABLE stdout ERROR_VARIABLE stderr RESULT_VARIABLE status)
  string(REPLACE "\r\n" "\n" stdout "${stdout}")
  string(REPLACE "\r\n" "\n" stderr "${stderr}")
  set(${out} "${stdout}" PARENT_SCOPE)
  set(${err} "${stderr}" PARENT_SCOPE)
  set(${rc} "${status}" PARENT_SCOPE)
endfunction()

function(expect_same_file what a b)
  file(SHA256 ${a} hash_a)
  file(SHA256 ${b} hash_b)
  expect("${what}" "${hash_a}" "${hash_b}")
endfunction()

file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})
file(COPY_FILE ${DATA}/bmpsuite/g/rgb24.bmp ${WORK}/a.bmp)
file(COPY_FILE ${DATA}/pngsuite/basn2c08.png ${WORK}/b.png)
file(COPY_FILE ${DATA}/bmpsuite/g/rgb24.bmp ${WORK}/taken.bmp)
file(WRITE ${WORK}/notes.bmp "notes")
file(WRITE ${WORK}/oldtaken.bmp "x")

companion(out err rc -j1 a.bmp b.png notes.bmp taken.bmp missing.bmp)
expect("shrinking: standard output" "${out}"
       "shrunk a.bmp 127x64 -> 63x32, original kept as olda.bmp\nshrunk b.png 32x32 -> 16x16, original kept as oldb.png\n")
expect("shrinking: standard error" "${err}"
       "passed over notes.bmp: not decodable (not a picture, or a format this program does not read)\npassed over taken.bmp: backup name exists\npassed over missing.bmp: no such file\n")
expect("shrinking: exit status" "${rc}" "1")
expect_same_file("the backup olda.bmp" ${WORK}/olda.bmp ${DATA}/bmpsuite/g/rgb24.bmp)
expect_same_file("the backup oldb.png" ${WORK}/oldb.png ${DATA}/pngsuite/basn2c08.png)
expect_same_file("taken.bmp, passed over" ${WORK}/taken.bmp ${DATA}/bmpsuite/g/rgb24.bmp)
file(READ ${WORK}/oldtaken.bmp taken)
expect("oldtaken.bmp, another file under the backup name" "${taken}" "x")
file(SIZE ${WORK}/a.bmp size)
expect("the size of the half-size a.bmp (63 x 32, 24 bits)" "${size}" "6198")
file(GLOB names RELATIVE ${WORK} ${WORK}/*)
list(SORT names)
expect("the files" "${names}" "a.bmp;b.png;notes.bmp;olda.bmp;oldb.png;oldtaken.bmp;taken.bmp")

companion(out err rc --dry-run --undo a.bmp b.png)
expect("a dry run of the undo" "${out}${err}${rc}"
       "would restore a.bmp from olda.bmp\nwould restore b.png from oldb.png\n0")
companion(out err rc --undo a.bmp)
expect("the undo" "${out}${err}${rc}" "restored a.bmp from olda.bmp\n0")
expect_same_file("a.bmp, restored" ${WORK}/a.bmp ${DATA}/bmpsuite/g/rgb24.bmp)
if(EXISTS ${WORK}/olda.bmp)
  message(SEND_ERROR "the undo left olda.bmp")
endif()

file(WRITE ${WORK}/list "b.png\n")
companion(out err rc -q --files-from list)
expect("a list, quiet" "${out}|${err}${rc}" "|passed over b.png: backup name exists\n1")
companion(out err rc -n a.bmp)
expect("a dry run" "${out}${err}${rc}"
       "would shrink a.bmp 127x64 -> 63x32, original kept as olda.bmp\n0")
expect_same_file("a.bmp after the dry run" ${WORK}/a.bmp ${DATA}/bmpsuite/g/rgb24.bmp)
companion(out err rc --help)
string(REGEX MATCH "^Usage: dorvalune-shrink [^\n]*\n" usage "${out}")
expect("--help" "${usage}${err}${rc}" "Usage: dorvalune-shrink [OPTION]... [--] FILE...\n0")
companion(out err rc --jobs=0 a.bmp)
expect("a usage error: exit status" "${rc}" "2")
file(REMOVE_RECURSE ${WORK})
