#pragma once
// The main-thread queue's wake-up through Qt's event loop (serial/MainThreadQueue.h): a small
// QObject of the application's thread receives one custom event per wake-up and runs the queued
// calls. Whoever makes the QCoreApplication installs it once, on that thread, right after; it
// goes away with the application.

namespace memvane::mainthread {

void InstallQtWake();

} // namespace memvane::mainthread
