#pragma once

#include "platform/Log.h"

#include <QGuiApplication>

namespace zandrel::fuzz {

// Text layout needs fonts, and fonts an application: the targets that lay text out start an
// offscreen one, once, on their first input. The log stays silent, since hostile files name many
// missing fonts and make many complaints.
inline void startOffscreenApplication(const char* name)
{
    static int argc = 1;
    static char* argv[] = { const_cast<char*>(name), nullptr };
    static QGuiApplication* application = [] {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        Log::setSink([](const QString&) {});
        return new QGuiApplication(argc, argv);
    }();
    (void)application;
}

} // namespace zandrel::fuzz
