# SPDX-License-Identifier: GPL-3.0-or-later
# cmake -DSOURCE=<installed package folder> -DDEST=<program>/ruffle -P stage_ruffle.cmake
# Copies the player's run-time files (script, core chunks, WebAssembly builds,
# licences) into the program folder; source maps and the readme stay behind.
file(GLOB files "${SOURCE}/*.js" "${SOURCE}/*.wasm" "${SOURCE}/LICENSE_*")
if(NOT files)
  message(FATAL_ERROR "no player files in ${SOURCE}")
endif()
file(REMOVE_RECURSE "${DEST}")
file(MAKE_DIRECTORY "${DEST}")
file(COPY ${files} DESTINATION "${DEST}")
