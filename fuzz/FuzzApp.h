// What the fuzz targets share: one offscreen application for the widgets a target feeds.
#pragma once

#include <QApplication>

#include <cstdlib>

namespace FuzzApp {

// Made on first use and kept for the process: the widgets need one, libFuzzer runs in one thread.
inline void Ensure()
{
    static int argc = 1;
    static char name[] = "fuzz";
    static char* argv[] = {name, nullptr};
    if (QApplication::instance())
        return;
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    static QApplication app(argc, argv);
}

} // namespace FuzzApp
