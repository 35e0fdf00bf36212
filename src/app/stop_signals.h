#pragma once

// SIGINT (Ctrl+C in the terminal that started it) and SIGTERM (a logout, a script): `stop` runs on the main
// thread soon after either arrives, as often as they arrive.

#include <functional>

class QObject;

namespace rv {

void onStopSignals(QObject* context, std::function<void()> stop);

} // namespace rv
