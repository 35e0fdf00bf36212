// The work of one analysis on the 10 ms receive path: every marker searched for over a full burst,
// and the largest record checked.

#include "core/base/bytes.h"
#include "core/base/checksum.h"
#include "core/protocol/reply_blocks.h"

#include <benchmark/benchmark.h>

using namespace rv;

namespace {

QByteArray inpoutBurst()
{
    QByteArray payload(513, '\0');
    for (int i = 0; i < payload.size(); ++i)
        payload[i] = static_cast<char>(1 + i % 250);
    QByteArray b("INPOUT");
    b += le::bytes16(513);
    b += payload;
    b += le::bytes16(blockChecksum(payload));
    return b;
}

void BM_ScanAllMarkers(benchmark::State& state)
{
    const QByteArray burst = inpoutBurst();
    static const char* markers[] = {"BL_OK", "BOOTLOADER", "+PASS=", "QD-SSMT", "RV-TR", "NEWCONF", "GPS",
                                    "DEVICE", "CONFIG", "INPOUT", "CONFSE", "WRITE", "LOWD", "TRACKDEL", "FAIL",
                                    "CANMES", "CANBUF", "FLRW", "+MEM", "+VMS", "+VWP", "+VFS", "+VWF"};
    for (auto _ : state)
        for (const char* m : markers)
            benchmark::DoNotOptimize(findMarker(burst, m));
}
BENCHMARK(BM_ScanAllMarkers);

void BM_ParseInpOut(benchmark::State& state)
{
    const QByteArray burst = inpoutBurst();
    for (auto _ : state)
        benchmark::DoNotOptimize(parseRecordReply(burst, 0, RecordKind::InpOut));
}
BENCHMARK(BM_ParseInpOut);

void BM_Crc16Modbus105(benchmark::State& state)
{
    const QByteArray packet(105, '\x5A');
    for (auto _ : state)
        benchmark::DoNotOptimize(crc16Modbus(packet));
}
BENCHMARK(BM_Crc16Modbus105);

} // namespace

BENCHMARK_MAIN();
