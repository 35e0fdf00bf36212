#pragma once

#include <QObject>

#include <memory>

class QEventLoop;

// Quits `loop` when the user asks the program to stop: SIGINT or SIGTERM on POSIX; Ctrl+C, Ctrl+Break or
// the console window closing on Windows. The request is turned into an event of the loop's thread, so the
// loop ends between two events. Holding the returned object keeps the watch; dropping it restores the
// default handling.
std::unique_ptr<QObject> quitOnStopRequest(QEventLoop& loop);
