// SPDX-License-Identifier: GPL-3.0-or-later
// Writes the application icon as a PNG file: icon_tool FILE SIZE.
#include <QGuiApplication>
#include <QImage>
#include <cstdio>
#include <cstdlib>

#include "app/app_icon.h"

int main(int argc, char* argv[]) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s FILE SIZE\n", argv[0]);
    return 2;
  }
  QGuiApplication app(argc, argv);
  const int size = std::atoi(argv[2]);
  if (size < 16 || size > 1024 || !DrawAppIcon(size).save(QString::fromLocal8Bit(argv[1]), "PNG")) {
    std::fprintf(stderr, "cannot write %s\n", argv[1]);
    return 1;
  }
  return 0;
}
