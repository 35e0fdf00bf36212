// The tariff server's answer: any bytes, in any split, give no answer or one whose parameter text yields
// values every field can hold; the answer found does not depend on how the bytes were split.

#include "core/config/records.h"
#include "core/satellite/tariff_exchange.h"
#include "core/satellite/tariff_plan.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

using namespace rv;
using namespace rv::sat;

namespace {

void require(bool holds)
{
    if (!holds)
        std::abort();
}

// The collecting the exchange does: bytes appended in pieces of `step`, parsed after each.
AnswerParse collect(QByteArrayView bytes, qsizetype step)
{
    QByteArray buffer;
    AnswerParse p;
    for (qsizetype i = 0; i < bytes.size(); i += step) {
        const QByteArrayView piece = bytes.sliced(i, std::min(step, bytes.size() - i));
        buffer += piece.first(std::min(piece.size(), kMaxAnswer - buffer.size()));
        p = parseTariffAnswer(buffer);
        if (p.status == AnswerParse::Status::Complete)
            return p;
        if (p.status == AnswerParse::Status::Ignored)
            buffer.clear();
    }
    return parseTariffAnswer(buffer, true);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArrayView bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const AnswerParse whole = parseTariffAnswer(bytes, true);
    if (whole.status == AnswerParse::Status::Complete) {
        require(whole.answer.text.size() <= kMaxAnswer - 5);
        require(!whole.answer.text.contains('\0'));
        require(collect(bytes, 1).answer == whole.answer);
        require(collect(bytes, 7).answer == whole.answer);

        ConfigRecords records;
        const ParamText t = StrToParam(whole.answer.text);
        applyResult(records, SatSetTarif(whole.answer.tariff, SatMode::Page, true));
        applyParams(records, t.params);
        require(records.config.number(u"IRbuf").value >= 10 && records.config.number(u"IRbuf").value <= 340);
        require(*t.params.bufSize == records.config.number(u"IRbuf").value);
        require(*t.params.dist == records.config.number(u"IRDIST").value);
        require(*t.params.moveInterval == records.config.number(u"IRSAVEINT_").value);
        require(*t.params.parkInterval == records.confSe.number(u"IRPARKTIME").value);
    }
    // Whatever the text, StrToParam gives values in range.
    const ParamText any = StrToParam(bytes);
    require(*any.params.bufSize >= 10 && *any.params.bufSize <= 340);
    require(*any.params.dist >= 0 && *any.params.dist <= 255);
    require(*any.params.moveInterval >= 0 && *any.params.moveInterval <= 65535);
    require(*any.params.parkInterval >= 0 && *any.params.parkInterval <= 65535);
    return 0;
}
