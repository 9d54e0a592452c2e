# cmake -DKGSIGN=exe -DKGCHECK=exe [-DRUNNER=emulator] -DSOURCE=dir -DWORK=dir -P RunKgsign.cmake
file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}/www")

# Runs the program `tool` with ARGN; sets rc and out (stdout and stderr, CR dropped).
macro(run tool)
  execute_process(COMMAND ${RUNNER} ${tool} ${ARGN} WORKING_DIRECTORY "${WORK}"
                  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  set(out "${out}${err}")
  string(REPLACE "\r" "" out "${out}")
endmacro()
macro(kgsign)
  run(${KGSIGN} ${ARGN})
endmacro()
macro(kgcheck)
  run(${KGCHECK} ${ARGN})
endmacro()
function(expect what code pattern)
  if(NOT rc EQUAL code OR NOT out MATCHES "${pattern}")
    message(FATAL_ERROR "${what}: exit ${rc} (expected ${code}), printed:\n${out}\nexpected to match: ${pattern}")
  endif()
endfunction()

kgsign(keygen key.txt)
expect("keygen" 0 "^Update Key=[A-Za-z0-9+/]+==\n$")
string(STRIP "${out}" key_line)
kgsign(keygen key.txt)
expect("keygen over an existing key file" 2 "exists already")

# The example's configuration with the key in "Options", and some icon bytes.
file(READ "${SOURCE}/examples/Kestrelgrove.ini" config)
string(REGEX REPLACE "\\[Options\\]\r?\n" "[Options]\r\n${key_line}\r\n" config "${config}")
file(WRITE "${WORK}/www/toolbar.ini" "${config}")
file(WRITE "${WORK}/www/icons.bin" "icon bytes")

kgsign(sign key.txt www)
expect("sign" 0 "toolbar.ini.sig: written\n.*icons.bin.sig: written\n")
kgsign(verify www)
expect("verify" 0 "toolbar.ini: signature valid\n.*icons.bin: signature valid\n")

# kgcheck --update-folder checks the same against the installed configuration.
file(MAKE_DIRECTORY "${WORK}/toolbar")
file(WRITE "${WORK}/toolbar/Kestrelgrove.ini" "${config}")
kgcheck(--update-folder www toolbar)
if(out MATCHES "signature:" OR out MATCHES "Update Key")
  message(FATAL_ERROR "kgcheck --update-folder on a soundly signed folder printed:\n${out}")
endif()

file(APPEND "${WORK}/www/icons.bin" "!")
kgcheck(--update-folder www toolbar)
expect("kgcheck --update-folder after a changed byte" 1 "icons.bin: error: signature: the signature does not match")
if(out MATCHES "toolbar.ini: error: signature")
  message(FATAL_ERROR "kgcheck --update-folder blamed the untouched configuration:\n${out}")
endif()
kgsign(verify www)
expect("verify after a changed byte" 1 "toolbar.ini: signature valid\n.*icons.bin: the signature does not match")

file(REMOVE "${WORK}/www/toolbar.ini.sig")
kgsign(verify www)
expect("verify without a signature" 1 "toolbar.ini: no signature file")

# The folder signed with another key than the one its configuration names.
kgsign(keygen other.txt)
kgsign(sign other.txt www)
expect("sign with another key" 0 "written")
kgsign(verify www)
expect("verify under the wrong key" 1 "toolbar.ini: the signature does not match.*icons.bin: the signature does not match")

file(WRITE "${WORK}/plain.ini" "[Options]\r\nToolbar Name=Plain\r\n")
kgsign(verify www plain.ini)
expect("verify against a configuration without a key" 2 "no \"Update Key\"")
kgsign(sign)
expect("wrong usage" 2 "usage: kgsign")
file(REMOVE_RECURSE "${WORK}")
