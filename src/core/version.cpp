#include "core/version.h"

namespace rv {

QString programVersion() { return QStringLiteral(RVCONF_VERSION); }

} // namespace rv
