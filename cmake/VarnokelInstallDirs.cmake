# SPDX-License-Identifier: GPL-3.0-or-later
# Where `cmake --install` puts the program: the executables in bin/, the files
# every per-user program folder is made from in share/varnokel/ (the program
# finds them from its own folder, so the installed tree can be moved whole).
include(GNUInstallDirs)
set(VARNOKEL_INSTALL_SHARED_DIR ${CMAKE_INSTALL_DATADIR}/varnokel)
file(RELATIVE_PATH VARNOKEL_SHARED_FROM_BIN
  ${CMAKE_INSTALL_FULL_BINDIR} ${CMAKE_INSTALL_FULL_DATADIR}/varnokel)

# The identity the desktop knows the window by: desktop entry, icon and
# AppStream metainfo share this name.
set(VARNOKEL_APP_ID de.varnokel.stats)
