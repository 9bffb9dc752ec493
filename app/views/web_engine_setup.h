// SPDX-License-Identifier: GPL-3.0-or-later
// Settings the embedded browser engine needs before the QApplication exists:
// no sandbox when running as root, no GPU on the offscreen platform, shared
// OpenGL contexts. Call first thing in main().
#pragma once

void PrepareWebEngineEnvironment();
