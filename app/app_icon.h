// SPDX-License-Identifier: GPL-3.0-or-later
// The application icon, drawn in code: a target's cross-hairs over a bar
// chart, the program's two subjects (the game and its statistics).
#pragma once

#include <QIcon>
#include <QImage>

// The icon drawn at `size` x `size` pixels, transparent around it.
QImage DrawAppIcon(int size);

// The icon at the sizes a window and a task bar ask for.
QIcon AppIcon();
