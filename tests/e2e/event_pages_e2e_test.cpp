// The event logic and packet structure pages between a read and a write, against the virtual unit: the
// user edits a rule and the packet tree, walks through every page, writes, and the unit holds exactly the
// edits.

#include "core/config/fcg_file.h"
#include "core/config/packet_structure.h"
#include "core/config/records.h"
#include "core/link/serial_link.h"
#include "core/monitor/monitor_blocks.h"
#include "core/protocol/device_session.h"
#include "support/app_program.h"
#include "support/rvsim_process.h"
#include "support/unusual_records.h"
#include "support/wait.h"
#include "ui/app/main_window.h"
#include "ui/app/navigation.h"
#include "ui/app/session_binding.h"
#include "ui/config/config_pages.h"
#include "ui/config/pages/ps_page.h"

#include <QComboBox>
#include <QFile>
#include <QListWidget>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <gtest/gtest.h>

#include <memory>

using namespace rv;
using rvtest::waitUntil;

namespace {

using Program = rvtest::AppProgram;

} // namespace

TEST(EventPagesE2E, ARuleAndThePacketTreeEditedAndWritten_TheUnitHoldsExactlyTheEdits)
{
    auto program = std::make_unique<Program>();
    ConfigRecords unusual = rvtest::unusualRecords();
    QByteArray c = unusual.config.bytes();
    c[22] = 2;                               // "Версия 1"
    rvtest::putHex(c, 503, "0102030405");    // bytes 3 and 4 hold bits no node shows
    unusual.config.setBytes(c);
    rvtest::RvsimProcess unit(QStringLiteral(RVSIM_PATH), unusual, {QStringLiteral("--link"), program->port});
    ASSERT_TRUE(unit.started());
    ASSERT_TRUE(program->startAndRead());

    // Rule 6: action "Набрать номер 2" ticked (or unticked, as the unit had it).
    program->open(QStringLiteral("Обработка событий"));
    auto* rules = program->control<QComboBox>("Event_Box");
    ASSERT_NE(rules, nullptr);
    rules->setCurrentIndex(5);
    emit rules->activated(5);
    auto* actions = program->control<QListWidget>("ActionList");
    ASSERT_EQ(actions->item(10)->text(), QStringLiteral("Набрать номер 2"));
    const bool was = actions->item(10)->checkState() == Qt::Checked;
    actions->item(10)->setCheckState(was ? Qt::Unchecked : Qt::Checked);

    // The packet tree: "HDOP" ticked or unticked.
    program->open(QStringLiteral("Структура пакета"));
    auto* ps = qobject_cast<PsPage*>(program->pages.page(nav::PS_page));
    ASSERT_NE(ps, nullptr);
    packet::TreeChoice choice = ps->treeShown();
    const bool hdop = choice.test(4);
    ps->node(4)->setCheckState(0, hdop ? Qt::Unchecked : Qt::Checked);

    program->visitEveryPage();
    ASSERT_TRUE(program->write());

    ConfigRecords expected;
    expected.config.setBytes(unusual.config.bytes());
    expected.inpOut.setBytes(unusual.inpOut.bytes());
    QByteArray io = unusual.inpOut.bytes();
    io[260 + 8 * 5 + 2] = char(io[260 + 8 * 5 + 2] ^ 0x04); // action 10: bit 18 of word 0
    choice.flip(4);
    choice.set(0, choice.test(4) || choice.test(1) || choice.test(2) || choice.test(3) || choice.test(5)
                      || choice.test(6) || choice.test(7) || choice.test(8));
    packet::setTreeWords(expected.config, packet::treeWords(choice));

    ConfigRecords after;
    ASSERT_TRUE(openFcg(unit.statePath(), after).ok());
    EXPECT_EQ(after.inpOut.bytes(), io);
    EXPECT_EQ(after.config.bytes(), expected.config.bytes());
    EXPECT_EQ(after.config.bytes().mid(506, 2), QByteArray(2, '\0'));
    EXPECT_EQ(after.confSe.bytes(), unusual.confSe.bytes());
}
