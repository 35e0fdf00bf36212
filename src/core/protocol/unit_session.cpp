#include "core/protocol/unit_session.h"

#include "core/protocol/progress.h"
#include "core/protocol/session_texts.h"

namespace rv {

void UnitSession::closeProgress(const Outcome& outcome)
{
    progress().Progress_close(sessionWording().closing(outcome));
}

} // namespace rv
