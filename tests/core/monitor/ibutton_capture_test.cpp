#include "core/monitor/ibutton_capture.h"

#include <gtest/gtest.h>

using namespace rv;
using Outcome = IButtonCapture::Outcome;

TEST(IButtonCapture, FullRowsWarnOnceForTheSameKey)
{
    IButtonCapture c;
    const QStringList full{"111111111111", "222222222222", "333333333333", "444444444444", "555555555555"};
    auto r = c.present("0000000000AB", true, full);
    EXPECT_EQ(r.outcome, Outcome::NoFreeRow);
    EXPECT_EQ(r.message, "Нет свободного места");
    r = c.present("0000000000AB", true, full);
    EXPECT_EQ(r.outcome, Outcome::None);
    EXPECT_TRUE(r.message.isEmpty());
}

TEST(IButtonCapture, StoresInFirstEmptyRowOrReportsDuplicate)
{
    IButtonCapture c;
    auto r = c.present("0000000000AB", true, {"111111111111", "", "  ", "", ""});
    EXPECT_EQ(r.outcome, Outcome::Stored);
    EXPECT_EQ(r.row, 2);
    EXPECT_EQ(r.key, "0000000000AB");

    r = c.present("00000000CAFE", true, {"111111111111", "00000000cafe"});  // short list: the rest are empty
    EXPECT_EQ(r.outcome, Outcome::AlreadyStored);
    EXPECT_EQ(r.message, "Данный ключ уже записан");

    r = c.present("0000000000EE", true, {"111111111111", "00000000CAFE"});
    EXPECT_EQ(r.outcome, Outcome::Stored);
    EXPECT_EQ(r.row, 3);
}

TEST(IButtonCapture, RemembersKeysSeenOnOtherPagesAndIgnoresNoKey)
{
    IButtonCapture c;
    EXPECT_EQ(c.present("0000000000AB", false, {}).outcome, Outcome::None);
    EXPECT_EQ(c.remembered(), "0000000000AB");
    // Switching to the Ohrana page with the same key on the reader takes nothing.
    EXPECT_EQ(c.present("0000000000AB", true, {}).outcome, Outcome::None);
    // A zeroed code means no key has been read.
    EXPECT_EQ(c.present("000000000000", true, {}).outcome, Outcome::None);
    EXPECT_EQ(c.remembered(), "000000000000");
    EXPECT_EQ(c.present("0000000000AB", true, {}).row, 1);
}
