// The file commands of the main window over the editor pages: defaults, open, save, and what reaches the
// file and the pages.

#include "core/config/defaults.h"
#include "core/config/fcg_file.h"
#include "support/unit_bytes.h"
#include "ui/config/config_pages.h"
#include "ui/config/pages_fixture.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>

using namespace rv;

namespace {

class ConfigFileTest : public rvtest::PagesTest {
protected:
    QByteArray fileBytes(const QString& path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    // A configuration of the user's own: the defaults with a few values changed.
    static ConfigRecords ownConfiguration()
    {
        ConfigRecords r;
        loadStartDefaults(r);
        r.config.setNumber(u"Perpackmove", 77);
        r.config.setNumber(u"RS232_en1", 1);
        r.config.setNumber(u"FuelTable1", 3, 500);
        r.inpOut.setNumber(u"EventSource", 2, 5);
        r.confSe.setNumber(u"IPport2", 12345);
        return r;
    }
};

} // namespace

TEST_F(ConfigFileTest, NewThenSave_TheFileHoldsTheDefaults)
{
    ASSERT_EQ(saveFcg(home.filePath(QStringLiteral("old.fcg")), ownConfiguration()), FcgStatus::Ok);
    w.openConfigFile(home.filePath(QStringLiteral("old.fcg")));
    w.N4Click();
    EXPECT_EQ(w.document().fileName(), "default.fcg");
    EXPECT_EQ(w.statusText(0), "default.fcg");
    EXPECT_EQ(control<QLineEdit>("Perpackmove")->text(), "30");
    EXPECT_EQ(control<QLineEdit>("IPport2")->text(), "10000");

    const QString path = home.filePath(QStringLiteral("new.fcg"));
    w.saveConfigFile(path);
    EXPECT_EQ(w.document().fileName(), path);
    EXPECT_EQ(w.statusText(0), path);

    // The defaults over the user's configuration: what it keeps, it keeps.
    ConfigRecords expected = ownConfiguration();
    loadDefaults(expected);
    const QByteArray file = fileBytes(path);
    ASSERT_EQ(file.size(), 1126);
    EXPECT_EQ(file.toHex(), fcgBytes(expected).toHex());
    EXPECT_EQ(uint8_t(file[0]), 0xF0);
    EXPECT_EQ(file.mid(512, 38), QByteArray(38, '\0'));
    EXPECT_EQ(file.mid(1063, 37), QByteArray(37, '\0'));
    EXPECT_EQ(file.mid(7, 8), QByteArray::fromHex("8025000080250000"));
    EXPECT_EQ(uint8_t(file[5]) & 1, 1); // RS232_en1 kept
}

// A switch the defaults leave alone keeps what the page shows, even when the edit was never gathered.
TEST_F(ConfigFileTest, NewKeepsAnUngatheredEditOfAControlTheDefaultsLeaveAlone)
{
    w.N4Click();
    ASSERT_FALSE(control<QCheckBox>("Logfile_en")->isChecked());
    control<QCheckBox>("Logfile_en")->setChecked(true);
    control<QLineEdit>("Perpackmove")->setText(QStringLiteral("45"));
    w.N4Click();
    EXPECT_TRUE(control<QCheckBox>("Logfile_en")->isChecked());
    EXPECT_EQ(control<QLineEdit>("Perpackmove")->text(), "30");
    EXPECT_EQ(records.config.number(u"Logfile_en").value, 1);
}

TEST_F(ConfigFileTest, SaveGathersWhatThePagesShow_AndReopensByteForByte)
{
    w.N4Click();
    control<QLineEdit>("Perpackmove")->setText(QStringLiteral("45"));
    const QString path = home.filePath(QStringLiteral("edited.fcg"));
    w.saveConfigFile(path);
    const QByteArray saved = fileBytes(path);
    ASSERT_EQ(saved.size(), 1126);
    EXPECT_EQ(saved.mid(23, 2), QByteArray::fromHex("2d00"));

    w.N4Click();
    EXPECT_EQ(control<QLineEdit>("Perpackmove")->text(), "30");
    w.openConfigFile(path);
    EXPECT_EQ(control<QLineEdit>("Perpackmove")->text(), "45");
    EXPECT_EQ(fcgBytes(records), saved);
}

TEST_F(ConfigFileTest, OpenReplacesTheRecordsAndThePagesShowThem)
{
    w.N4Click();
    const ConfigRecords own = ownConfiguration();
    const QString path = home.filePath(QStringLiteral("own.fcg"));
    ASSERT_EQ(saveFcg(path, own), FcgStatus::Ok);

    // Through the dialog: it does not block, and the chosen file is opened.
    w.N5Click();
    QFileDialog* dialog = w.openDialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(dialog->acceptMode(), QFileDialog::AcceptOpen);
    EXPECT_EQ(dialog->selectedNameFilter(), "File configuration [*.fcg] (*.fcg)");
    emit dialog->fileSelected(path);
    dialog->reject();

    EXPECT_EQ(records.config.bytes(), own.config.bytes());
    EXPECT_EQ(records.inpOut.bytes(), own.inpOut.bytes());
    EXPECT_EQ(records.confSe.bytes(), own.confSe.bytes());
    EXPECT_EQ(w.document().fileName(), path);
    EXPECT_EQ(w.statusText(0), path);
    EXPECT_EQ(control<QLineEdit>("Perpackmove")->text(), "77");
    EXPECT_EQ(control<QLineEdit>("IPport2")->text(), "12345");
}

TEST_F(ConfigFileTest, AFileOfAnotherSizeIsRefused_TheProgramKeepsWhatItHeld)
{
    // An older file without the extended record, and a 12-byte text file: neither becomes the configuration.
    w.N4Click();
    const QString current = home.filePath(QStringLiteral("current.fcg"));
    w.saveConfigFile(current);
    type("Perpackmove", QStringLiteral("45")); // an edit not yet gathered
    const QByteArray before = fcgBytes(records);
    for (const QByteArray& bytes : {fcgBytes(ownConfiguration()).first(1063), QByteArray("ID=1;SPEED=9")}) {
        const QString path = home.filePath(QStringLiteral("other.fcg"));
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(bytes);
        f.close();

        w.openConfigFile(path);
        QMessageBox* box = nullptr;
        for (QMessageBox* b : w.findChildren<QMessageBox*>(QStringLiteral("MessageBox")))
            if (b->isVisible() && b->text().startsWith(QStringLiteral("Не удалось открыть")))
                box = b;
        ASSERT_NE(box, nullptr);
        EXPECT_TRUE(box->text().contains(QStringLiteral("%1 байт").arg(bytes.size()))) << box->text().toStdString();
        box->close();
        EXPECT_EQ(fcgBytes(records), before);
        EXPECT_EQ(w.document().fileName(), current);
        EXPECT_EQ(w.statusText(0), current);
        EXPECT_EQ(control<QLineEdit>("Perpackmove")->text(), "45");
        EXPECT_EQ(control<QLineEdit>("IPport2")->text(), "10000");
    }
}

TEST_F(ConfigFileTest, FailuresChangeNothingButPanel0)
{
    w.N4Click();
    control<QLineEdit>("Perpackmove")->setText(QStringLiteral("45")); // not yet gathered
    const QByteArray before = fcgBytes(records);

    // Not a configuration: missing, empty, a folder.
    QFile empty(home.filePath(QStringLiteral("empty.fcg")));
    ASSERT_TRUE(empty.open(QIODevice::WriteOnly));
    empty.close();
    for (const QString& path : {home.filePath(QStringLiteral("missing.fcg")), empty.fileName(), home.path()}) {
        w.openConfigFile(path);
        EXPECT_EQ(w.statusText(0), "Не удалось открыть") << path.toStdString();
        EXPECT_EQ(w.document().fileName(), "default.fcg");
        EXPECT_EQ(fcgBytes(records), before);
        EXPECT_EQ(control<QLineEdit>("Perpackmove")->text(), "45");
    }

    // A save into a folder that does not exist; an existing file stays whole when its save fails.
    w.saveConfigFile(home.filePath(QStringLiteral("no/such/dir/x.fcg")));
    EXPECT_EQ(w.statusText(0), QStringLiteral("Не удалось сохранить %1: нет такой папки")
                                   .arg(home.filePath(QStringLiteral("no/such/dir/x.fcg"))));
    EXPECT_EQ(w.document().fileName(), "default.fcg");
}

TEST_F(ConfigFileTest, StartUpWithAMissingRememberedFile_TheDefaultsAndDefaultFcgRememberedAtExit)
{
    {
        QFile ini(home.filePath(QStringLiteral("Config.ini")));
        ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
        ini.write("[Config]\r\nFile conf=" + home.filePath(QStringLiteral("gone.fcg")).toLocal8Bit() + "\r\n");
    }
    w.show();
    EXPECT_EQ(w.statusText(0), "Файл не найден, загружен default.fcg");
    ConfigRecords expected;
    loadStartDefaults(expected);
    EXPECT_EQ(fcgBytes(records).toHex().toStdString(), fcgBytes(expected).toHex().toStdString());
    EXPECT_EQ(control<QLineEdit>("Perpackmove")->text(), "30");
    EXPECT_EQ(control<QLineEdit>("IPport2")->text(), "10000");
    w.close();
    QFile ini(home.filePath(QStringLiteral("Config.ini")));
    ASSERT_TRUE(ini.open(QIODevice::ReadOnly));
    EXPECT_TRUE(ini.readAll().contains("File conf=default.fcg"));
}
