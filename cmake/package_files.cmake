# Files of the package made at build time (cmake -P):
#   -DINPUT=page.1 -DOUTPUT=page.1.gz      a manual page, compressed as Debian wants it;
#   -DVERSION_FILE=... -DOUTPUT=changelog.gz -DMAINTAINER=...
#                                          the changelog of the version built, dated by its commit.
function(compress input output)
  execute_process(COMMAND gzip -9nc ${input} OUTPUT_FILE ${output} RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "gzip ${input} failed")
  endif()
endfunction()

if(INPUT)
  compress(${INPUT} ${OUTPUT})
  return()
endif()

include(${VERSION_FILE})
if(SURGE_COMMIT_TIME)
  set(ENV{SOURCE_DATE_EPOCH} ${SURGE_COMMIT_TIME})
endif()
string(TIMESTAMP date "%a, %d %b %Y %H:%M:%S +0000" UTC)
set(text ${OUTPUT}.txt)
file(WRITE ${text} "surge (${SURGE_PACKAGE_VERSION}) unstable; urgency=medium

  * Built from commit ${SURGE_COMMIT}.

 -- ${MAINTAINER}  ${date}
")
compress(${text} ${OUTPUT})
file(REMOVE ${text})
