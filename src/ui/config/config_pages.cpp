#include "ui/config/config_pages.h"

#include "core/config/records.h"
#include "core/monitor/monitor_blocks.h"
#include "core/monitor/monitor_snapshot.h"
#include "core/protocol/device_session.h"
#include "ui/app/main_window.h"
#include "ui/app/navigation.h"
#include "ui/config/edit_tracker.h"
#include "ui/config/editor_page.h"
#include "ui/config/navigation_pages.h"
#include "ui/config/pages/connect_set2_page.h"
#include "ui/config/pages/connect_set_page.h"
#include "ui/config/pages/connections_page.h"
#include "ui/config/pages/events_page.h"
#include "ui/config/pages/ps_page.h"
#include "ui/config/pages/inputs_page.h"
#include "ui/config/pages/ohrana_page.h"
#include "ui/config/pages/outs_page.h"
#include "ui/satellite/satellite_pages.h"

#include <QSignalBlocker>

namespace rv {

namespace {
constexpr uint8_t kFormatMark = 0xF0;
}

ConfigPages::ConfigPages(MainWindow& w, SessionController& s)
    : QObject(&w), m_window(w), m_records(s.records())
{
    Q_ASSERT(&w.document().records() == &m_records);
    m_connectSet = new ConnectSetPage(m_records);
    m_connections = new ConnectionsPage(m_records);
    m_connectSet2 = new ConnectSet2Page(m_records);
    addPage(m_connectSet);
    addPage(m_connections);
    addPage(m_connectSet2);
    auto* events = new EventsPage(m_records);
    events->setUnitSource([&w] { return UnitProfile(w.deviceType()); });
    addPage(events);
    addPage(new PsPage(m_records));
    addInputPages(w, s);
    installNavigationPages(*this, w, s);
    installSatellitePage(*this, w, s);

    w.setLoadConnectPage([this](int connection) { Load_connect_page(connection); });
    connect(&s, &SessionController::recordReceived, this, &ConfigPages::readRecord);
    connect(&s, &SessionController::gatherRequested, this,
            [this, &s](RecordKind kind) { gatherRecord(s.records(), kind); });
    connect(&w.document(), &ConfigDocument::loaded, this, &ConfigPages::readAll);
    connect(&w.document(), &ConfigDocument::gatherRequested, this, [this] {
        for (RecordKind kind : {RecordKind::Config, RecordKind::InpOut, RecordKind::ConfSe})
            gatherRecord(m_records, kind);
    });
    connect(this, &ConfigPages::valuesRefused, &w, [this](const QStringList&) {
        m_window.showMessage(QStringLiteral("Недопустимые значения выделены цветом: вместо них записаны прежние"));
    });
    // The mark of unsaved changes, after every handler above.
    new EditTracker(w, s, *this);
}

ConfigRecords ConfigPages::gathered()
{
    ConfigRecords copy = m_records;
    // The gathering only reads the controls; a value they refuse keeps the record's, as a write would.
    const QSignalBlocker quiet(this);
    for (RecordKind kind : {RecordKind::Config, RecordKind::InpOut, RecordKind::ConfSe})
        gatherRecord(copy, kind);
    return copy;
}

void ConfigPages::addInputPages(MainWindow& w, SessionController& s)
{
    auto* inputs = new InputsPage(m_records);
    inputs->setUnitSource([&w] { return UnitProfile(w.deviceType()); });
    addPage(inputs);
    addPage(new OutsPage(m_records));
    addPage(new OhranaPage(m_records));
    // Selecting an input node has rebuilt the type list; the page shows that input.
    w.setLoadInputPage([inputs](int input) { inputs->Load_input_page(input); });
    w.setInputTypeReader([this](int input) {
        const FieldResult<qint64> type = m_records.config.number(u"Inputtype", input);
        return type ? int(type.value) : 0;
    });
    // The live bar follows every navigation block while the page is shown.
    connect(&s, &SessionController::gpsReceived, inputs, [inputs, &w, &s] {
        if (w.currentPage() != nav::Inputs)
            return;
        const GpsSnapshot gps = decodeGps(s.monitor().gps.bytes());
        inputs->showLiveCount(gps.inputCounts.at(std::size_t(inputs->input())));
    });
}

void ConfigPages::addPage(EditorPage* page)
{
    if (!page)
        return;
    m_pages.removeAll(this->page(page->pageIndex()));
    m_pages.append(page);
    m_window.setPage(page->pageIndex(), page);
}

EditorPage* ConfigPages::page(int index) const
{
    for (EditorPage* p : m_pages)
        if (p->pageIndex() == index)
            return p;
    return nullptr;
}

void ConfigPages::readPages(RecordKind kind)
{
    for (EditorPage* p : m_pages)
        p->readRecord(m_records, kind);
}

void ConfigPages::readRecord(RecordKind kind)
{
    readPages(kind);
    if (kind == RecordKind::Config)
        Load_connect_page(m_window.currentConnection());
}

void ConfigPages::readAll()
{
    // Read_config; the output, DTMF and security lists and the input shown; the connection shown;
    // "Событие 1" on the event page; Read_Config2.
    readPages(RecordKind::Config);
    readPages(RecordKind::InpOut);
    Load_connect_page(m_window.currentConnection());
    readPages(RecordKind::ConfSe);
}

QStringList ConfigPages::gatherRecord(ConfigRecords& to, RecordKind kind)
{
    if (kind == RecordKind::Config)
        to.config.setNumber(u"FormatMark", kFormatMark);
    QStringList refused;
    for (EditorPage* p : m_pages)
        refused += p->gatherRecord(to, kind);
    if (!refused.isEmpty())
        emit valuesRefused(refused);
    return refused;
}

void ConfigPages::Load_connect_page(int connection)
{
    if (m_connections)
        m_connections->loadElement(connection);
}

} // namespace rv
