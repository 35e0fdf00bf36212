// Bytes of any shape read as a route file and as a waypoint file. The route file loads only whole records,
// and what it loaded is saved and read back unchanged; the waypoint import never exceeds the table's limit
// and whatever it imported can be saved.
// Input: [kind] then the file's bytes (kind even: route file, odd: waypoint file).

#include "core/devicefiles/route_table.h"
#include "core/devicefiles/waypoint_import.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

using namespace rv::route;

namespace {

void require(bool holds)
{
    if (!holds)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    const QByteArrayView file(reinterpret_cast<const char*>(data + 1), static_cast<qsizetype>(size - 1));
    if (data[0] % 2 == 0) {
        const RouteFileRead read = parseRouteFile(file);
        if (read.status == RouteFileRead::Refused) {
            require(file.isEmpty());
            return 0;
        }
        require(read.table.count() == read.present && read.present <= read.promised);
        require(1 + read.present * kRecordSize <= file.size());
        RouteTable shown = read.table;
        const RouteFileBytes saved = encodeRouteFile(shown);
        require(saved.ok()); // every value a file can hold is one a cell can show and store
        const RouteFileRead back = parseRouteFile(saved.bytes);
        require(back.status == RouteFileRead::Loaded && back.table == shown);
        RouteTable again = back.table;
        require(encodeRouteFile(again).bytes == saved.bytes);
    } else {
        const WaypointImport r = parseWaypoints(file);
        require(r.imported == r.table.count() || !r.ok);
        require(r.imported <= kMaxZones);
        if (r.ok) {
            RouteTable t = r.table;
            const RouteFileBytes saved = encodeRouteFile(t);
            require(saved.ok());
            require(saved.bytes.size() == 1 + r.imported * kRecordSize);
        }
    }
    return 0;
}
