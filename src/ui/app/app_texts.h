#pragma once

#include "core/version.h"

#include <QString>

namespace rv {

// The application title; also the main window's caption and the caption of its message boxes.
inline QString appTitle() { return QStringLiteral("Конфигуратор RV-1, RV-2 v.") + programVersion(); }

} // namespace rv
