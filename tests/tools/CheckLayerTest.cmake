# cmake -DCHECK=<CheckLayer.cmake> -DWORK=<scratch folder> -P CheckLayerTest.cmake
# The include check on small made-up trees: each case is a folder, a file in
# it, that file's text, and whether the check lets it pass.
set(cases
  "kit|Ok.cpp|#include \"core/Error.h\"\n#include \"kit/Handles.h\"\n#include <windows.h>|pass"
  "kit|Up.cpp|#include \"core/Error.h\"\n  #  include \"toolbar/Builder.h\"|fail"
  "config|Up.h|#include \"host/Band.h\"|fail"
  "toolbar|Ok.h|#include \"config/Settings.h\"\n#include \"kit/Control.h\"\n#include \"toolbar/Url.h\"|pass"
  "host|Ok.cpp|#include \"toolbar/Builder.h\"\n#include \"core/Url.h\"|pass"
  "host|Up.cpp|#include \"tools/bandhost/lib/BandSite.h\"|fail"
  "core|Up.h|#include \"kit/Handles.h\"|fail"
  "core|Win.h|#include <string>\n#include <Windows.h>|fail"
  "core|Ole.cpp|#include <oleauto.h>|fail"
  "core|PlatformWin.cpp|#include \"core/Error.h\"\n#include <windows.h>|pass"
  "core|Posix.cpp|#include <unistd.h>\n#include <vector>|pass")
set(layers core kit config toolbar host)
set(failures 0)
foreach(c ${cases})
  string(REPLACE "|" ";" parts "${c}")
  list(GET parts 0 layer)
  list(GET parts 1 file)
  list(GET parts 2 text)
  list(GET parts 3 expected)
  string(REPLACE "\\n" "\n" text "${text}")
  string(REPLACE "\\\"" "\"" text "${text}")
  set(root ${WORK}/${layer}-${file})
  file(REMOVE_RECURSE ${root})
  file(WRITE ${root}/${layer}/${file} "${text}\n")
  list(FIND layers ${layer} index)
  math(EXPR count "${index} + 1")
  list(SUBLIST layers 0 ${count} allowed)
  string(REPLACE ";" "," allowed "${allowed}")
  execute_process(COMMAND ${CMAKE_COMMAND} -DROOT=${root} -DLAYER=${layer} -DALLOWED=${allowed}
                          -DSTAMP=${root}/stamp -P ${CHECK}
                  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(rc EQUAL 0)
    set(got pass)
  else()
    set(got fail)
  endif()
  if(NOT got STREQUAL expected)
    message(SEND_ERROR "${layer}/${file}: expected ${expected}, got ${got}:\n${out}")
    math(EXPR failures "${failures} + 1")
  elseif(got STREQUAL "fail" AND NOT out MATCHES "${layer}/${file}")
    message(SEND_ERROR "${layer}/${file}: the failure does not name the file:\n${out}")
  elseif(got STREQUAL "pass" AND NOT EXISTS ${root}/stamp)
    message(SEND_ERROR "${layer}/${file}: passed without its stamp")
  endif()
endforeach()
