// The configuration document without a window: what its commands return and change, and when its
// configuration counts as modified.

#include "core/config/config_document.h"
#include "core/config/defaults.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace rv;

namespace {

// A view that shows the records with one edit of its own, when it has one.
struct View : QObject {
    ConfigRecords& records;
    qint64 shownId = -1;
    explicit View(ConfigRecords& r) : records(r) {}
    ConfigRecords shown() const
    {
        ConfigRecords copy = records;
        if (shownId >= 0)
            copy.config.setNumber(u"ID_Device", shownId);
        return copy;
    }
};

} // namespace

TEST(ConfigDocument, SaveReturnsItsOutcome_AFailureKeepsNameMarkAndRecentFiles)
{
    QTemporaryDir dir;
    ConfigRecords records;
    ConfigDocument document(records);
    View view(records);
    document.setShownRecords(&view, [&view] { return view.shown(); });
    document.loadStartup(QStringLiteral("default.fcg"));
    view.shownId = 4321; // the user types
    document.userActed();
    QCoreApplication::processEvents();
    ASSERT_TRUE(document.isModified());

    const QString lost = dir.filePath(QStringLiteral("no/such/dir/x.fcg"));
    const OutputFileResult failed = document.save(lost);
    EXPECT_EQ(failed.error, OutputFileError::NoFolder);
    EXPECT_EQ(failed.path, lost);
    EXPECT_EQ(document.fileName(), QStringLiteral("default.fcg"));
    EXPECT_TRUE(document.isModified());
    EXPECT_TRUE(document.recentFiles().isEmpty());

    const QString path = dir.filePath(QStringLiteral("x.fcg"));
    EXPECT_TRUE(document.save(path).ok());
    EXPECT_EQ(document.fileName(), path);
    EXPECT_FALSE(document.isModified());
    EXPECT_EQ(document.recentFiles(), QStringList{path});
}

// Only the user's input makes a difference an edit: a unit's record and the program's own adaptation of the
// views in the same turn are part of the reference; a view that is gone is no longer asked.
TEST(ConfigDocument, OnlyTheUsersInputMarksIt)
{
    ConfigRecords records;
    ConfigDocument document(records);
    auto* view = new View(records);
    document.setShownRecords(view, [view] { return view->shown(); });
    view->shownId = 77; // adapted by the program
    document.viewsAdapted();
    QCoreApplication::processEvents();
    EXPECT_FALSE(document.isModified());

    records.config.setNumber(u"ID_Device", 5); // a unit's record, shown as it came
    view->shownId = -1;
    document.recordReplaced(RecordKind::Config);
    view->shownId = 6; // in the same turn
    QCoreApplication::processEvents();
    EXPECT_FALSE(document.isModified());

    view->shownId = 7;
    document.userActed();
    EXPECT_TRUE(document.unsavedChanges()); // checked at once before a question
    document.viewsAdapted(); // an edit stays an edit
    QCoreApplication::processEvents();
    EXPECT_TRUE(document.isModified());

    delete view;
    document.recordsReplaced();
    EXPECT_FALSE(document.isModified());
}
