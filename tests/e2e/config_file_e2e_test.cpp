// Configuration files and the unit, against the virtual unit: what the defaults, an opened file or a read
// put into the program is what the unit or the file then holds.

#include "core/config/fcg_file.h"
#include "core/config/records.h"
#include "core/link/serial_link.h"
#include "core/monitor/monitor_blocks.h"
#include "core/protocol/device_session.h"
#include "support/app_program.h"
#include "support/rvsim_process.h"
#include "support/unusual_records.h"
#include "support/wait.h"
#include "ui/app/main_window.h"
#include "ui/app/session_binding.h"
#include "ui/config/config_pages.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <memory>

using namespace rv;
using rvtest::waitUntil;

namespace {

using Program = rvtest::AppProgram;

ConfigRecords fileRecords(const QString& path)
{
    ConfigRecords r;
    EXPECT_TRUE(openFcg(path, r).ok()) << path.toStdString();
    return r;
}

void expectSame(const ConfigRecords& a, const ConfigRecords& b)
{
    EXPECT_EQ(a.config.bytes().toHex(), b.config.bytes().toHex());
    EXPECT_EQ(a.inpOut.bytes().toHex(), b.inpOut.bytes().toHex());
    EXPECT_EQ(a.confSe.bytes().toHex(), b.confSe.bytes().toHex());
}

} // namespace

TEST(ConfigFileE2E, TheDefaultsWrittenToTheUnitAreTheDefaultsSaved)
{
    auto program = std::make_unique<Program>();
    rvtest::RvsimProcess unit(QStringLiteral(RVSIM_PATH), rvtest::unusualRecords(), {QStringLiteral("--link"), program->port});
    ASSERT_TRUE(unit.started());
    ASSERT_TRUE(program->startAndRead()) << program->closed.join(u',').toStdString();

    program->window.N4Click();
    const QString path = program->home.filePath(QStringLiteral("defaults.fcg"));
    program->window.saveConfigFile(path);
    ASSERT_TRUE(program->writeConfirmed()) << program->closed.join(u',').toStdString();

    const ConfigRecords saved = fileRecords(path);
    expectSame(fileRecords(unit.statePath()), saved);
    EXPECT_EQ(saved.config.number(u"RS232_box1").value, 9600);
    EXPECT_EQ(saved.config.number(u"ModeFlags").value & ~0x408C, 0x0800); // the kept switches aside
    EXPECT_EQ(saved.confSe.number(u"IPport2").value, 10000);
}

TEST(ConfigFileE2E, AnOpenedFileGoesToTheUnit_AndWhatWasReadGoesToAFile)
{
    auto program = std::make_unique<Program>();
    rvtest::RvsimProcess unit(QStringLiteral(RVSIM_PATH), rvtest::unusualRecords(), {QStringLiteral("--link"), program->port});
    ASSERT_TRUE(unit.started());
    ASSERT_TRUE(program->startAndRead()) << program->closed.join(u',').toStdString();

    // The unit's configuration, saved as read.
    const QString readPath = program->home.filePath(QStringLiteral("read.fcg"));
    program->window.saveConfigFile(readPath);
    expectSame(fileRecords(readPath), rvtest::unusualRecords());

    // Another configuration from a file, written to the unit.
    ConfigRecords other = rvtest::unusualRecords();
    other.config.setNumber(u"Perpackmove", 77);
    other.confSe.setNumber(u"IPport2", 4321);
    other.inpOut.setNumber(u"Out1act_dtmf", 9);
    const QString otherPath = program->home.filePath(QStringLiteral("other.fcg"));
    ASSERT_EQ(saveFcg(otherPath, other), FcgStatus::Ok);
    program->window.openConfigFile(otherPath);
    ASSERT_TRUE(program->writeConfirmed()) << program->closed.join(u',').toStdString();
    expectSame(fileRecords(unit.statePath()), other);
}
