// The page "Автоинформатор" in the window: what typing into the grid's cells does, the rows the pop-up
// menu adds and deletes with their count, the live position and a WAV name put into a row, the dialogs'
// preselected filters, the route file written from the grid and opened back, and the switch of the main record.

#include "core/base/input_file.h"
#include "core/devicefiles/file_transfer.h"
#include "core/base/bytes.h"
#include "ui/app/navigation.h"
#include "ui/config/page_binder.h"
#include "ui/devicefiles/autoinfo_page.h"
#include "ui/devicefiles/route_binding.h"
#include "ui/config/pages_fixture.h"
#include "support/files.h"

#include <QAction>
#include <QCheckBox>
#include <QFile>
#include <QFileDialog>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableWidget>

using namespace rv;
using route::RouteTable;

namespace {

class AutoinfoPageTest : public rvtest::PagesTest {
protected:
    FileTransfer transfer{s};
    RouteBinding binding{w, s, pages, transfer};
    AutoinfoPage* page = binding.page();
    QTableWidget* grid = page->grid();
    QSignalSpy messages{page, &AutoinfoPage::message};

    // Opens the editor of a cell, types `keys` into it and returns what the editor then holds.
    QString typeInto(int row, int column, const QString& keys, const QString& start = {})
    {
        grid->setCurrentCell(row, column);
        grid->item(row, column)->setText(start);
        grid->editItem(grid->item(row, column));
        QLineEdit* editor = nullptr;
        for (QLineEdit* e : grid->viewport()->findChildren<QLineEdit*>())
            if (!e->isHidden())
                editor = e;
        EXPECT_NE(editor, nullptr);
        if (!editor)
            return {};
        editor->deselect();
        editor->end(false);
        for (QChar c : keys) {
            if (c == QChar(route::kBackspace)) {
                QTest::keyClick(editor, Qt::Key_Backspace);
            } else {
                // Any character, Cyrillic too, as a keyboard delivers it.
                QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
                QCoreApplication::sendEvent(editor, &press);
            }
        }
        const QString text = editor->text();
        page->commitEdit();
        return text;
    }
    QString cell(int row, int column) const { return grid->item(row, column)->text(); }
    QString count() const { return control<QLabel>("Num_geo")->text(); }
    QString lastMessage() const { return messages.isEmpty() ? QString() : messages.last().at(0).toString(); }
};

QByteArray wavHeader(uint16_t channels, uint32_t rate, uint16_t bits)
{
    QByteArray h(44, '\0');
    h.replace(0, 4, "RIFF");
    h.replace(8, 8, "WAVEfmt ");
    le::put16(h, 20, 1); // PCM
    le::put16(h, 22, channels);
    le::put32(h, 24, rate);
    le::put16(h, 34, bits);
    return h;
}

} // namespace

TEST_F(AutoinfoPageTest, ThePageHoldsItsControlsTheGridAndThePopupMenuInOrder)
{
    EXPECT_EQ(w.page(nav::Autoinfo), page);
    EXPECT_EQ(control<QCheckBox>("Autoinfo_en")->text(), QStringLiteral("Включить Автоинформатор"));
    EXPECT_TRUE(control<QLineEdit>("PathAutoinfoBox")->isReadOnly());
    EXPECT_EQ(control<QPushButton>("Open_autoinfo")->text(), QStringLiteral("Открыть"));
    EXPECT_EQ(control<QPushButton>("SpeedButton1")->text(), QStringLiteral("Импорт"));
    EXPECT_EQ(control<QPushButton>("Read_autoinfo")->text(), QStringLiteral("Считать"));
    EXPECT_EQ(control<QPushButton>("Save_autoinfo")->text(), QStringLiteral("Сохранить в файл"));
    EXPECT_EQ(control<QPushButton>("Write_autoinfo")->text(), QStringLiteral("Записать"));
    // The unit's buttons wait for a unit.
    EXPECT_FALSE(control<QPushButton>("Read_autoinfo")->isEnabled());
    EXPECT_FALSE(control<QPushButton>("Write_autoinfo")->isEnabled());
    EXPECT_EQ(count(), QStringLiteral("Общее количество геозон: 1"));
    ASSERT_EQ(grid->columnCount(), 8);
    QStringList headers;
    for (int c = 0; c < 8; ++c)
        headers << grid->horizontalHeaderItem(c)->text();
    EXPECT_EQ(headers, (QStringList{QStringLiteral("№"), QStringLiteral("Широта"), QStringLiteral("Долгота"),
                                    QStringLiteral("Rin, м"), QStringLiteral("Rext, м"), QStringLiteral("Имя файла"),
                                    QStringLiteral("Направление"), QStringLiteral("Разброс")}));
    QStringList items;
    for (QAction* a : page->menu()->actions())
        items << a->objectName() + QLatin1Char('=') + a->text();
    EXPECT_EQ(items, (QStringList{QStringLiteral("Ins_coord=Вставить текущие координаты"),
                                  QStringLiteral("Change_wav_file=Выбрать файл"),
                                  QStringLiteral("Add_string_autoinfo=Добавить строку"),
                                  QStringLiteral("Del_string_autoinfo=Удалить строку"),
                                  QStringLiteral("Del_all_autoinfo=Удалить все"), QStringLiteral("N101=Добавить 10 строк"),
                                  QStringLiteral("N10=Добавить 50 строк")}));
}

TEST_F(AutoinfoPageTest, TheSwitchIsBitTwelveOfTheMainRecordsFlags)
{
    ConfigRecords r;
    r.config.setNumber(u"EnableFlags", 0x1000 | 0x0021);
    load(r);
    auto* box = control<QCheckBox>("Autoinfo_en");
    EXPECT_TRUE(box->isChecked());
    box->click();
    gatherAll();
    EXPECT_EQ(records.config.number(u"EnableFlags").value, 0x0021);
}

TEST_F(AutoinfoPageTest, TypingIntoCellsFollowsTheColumnsRules)
{
    // Coordinates: digits, one comma, one leading minus; no letters, no point; ten characters, eleven signed.
    EXPECT_EQ(typeInto(0, 1, QStringLiteral("-33,8a.6-8,")), QStringLiteral("-33,868"));
    EXPECT_EQ(typeInto(0, 2, QStringLiteral("179,1234567")), QStringLiteral("179,123456"));
    EXPECT_EQ(typeInto(0, 2, QStringLiteral("-179,1234567")), QStringLiteral("-179,123456"));
    const QString back = QString(QChar(route::kBackspace));
    EXPECT_EQ(typeInto(0, 2, back + QStringLiteral("5"), QStringLiteral("179,123456")), QStringLiteral("179,123455"));
    // Radii, direction, spread: digits up to the column's maximum, which replaces a larger value.
    EXPECT_EQ(typeInto(0, 3, QStringLiteral("2a5,5")), QStringLiteral("255"));
    EXPECT_EQ(typeInto(0, 4, QStringLiteral("b1x")), QStringLiteral("1"));
    EXPECT_EQ(typeInto(0, 3, QStringLiteral("7"), QStringLiteral("300")), QStringLiteral("255"));
    EXPECT_EQ(typeInto(0, 6, QStringLiteral("3615")), QStringLiteral("360"));
    EXPECT_EQ(typeInto(0, 7, QStringLiteral("251")), QStringLiteral("250"));
    EXPECT_EQ(typeInto(0, 7, back, QStringLiteral("7")), QString());
    EXPECT_EQ(typeInto(0, 7, back + back, QStringLiteral("7")), QStringLiteral("0")); // emptied: the default
    EXPECT_EQ(typeInto(0, 3, back), QStringLiteral("1"));
    // The file name takes anything, up to 29 characters.
    EXPECT_EQ(typeInto(0, 5, QString(35, QLatin1Char('n'))), QString(29, QLatin1Char('n')));
    EXPECT_EQ(typeInto(0, 5, QStringLiteral("Стоп 1.wav")), QStringLiteral("Стоп 1.wav"));
    EXPECT_EQ(cell(0, 5), QStringLiteral("Стоп 1.wav")); // the edit went into the grid
    // The row number is not typed into.
    EXPECT_FALSE(grid->item(0, 0)->flags() & Qt::ItemIsEditable);
}

TEST_F(AutoinfoPageTest, RowsAreAddedToTheLimitDeletedAndCounted)
{
    page->N10Click();
    EXPECT_EQ(grid->rowCount(), 51);
    EXPECT_EQ(count(), QStringLiteral("Общее количество геозон: 51"));
    page->N101Click();
    page->Add_string_autoinfoClick();
    EXPECT_EQ(count(), QStringLiteral("Общее количество геозон: 62"));
    for (int i = 0; i < 5; ++i)
        page->N10Click();
    EXPECT_EQ(grid->rowCount(), route::kMaxZones); // silently no further
    EXPECT_EQ(cell(253, 0), QStringLiteral("254"));

    RouteTable t;
    t.rows = {route::RouteRow{}, route::RouteRow{}, route::RouteRow{}};
    for (int i = 0; i < 3; ++i)
        t.rows[i][route::ColName] = QStringLiteral("r%1").arg(i + 1);
    page->showTable(t);
    EXPECT_EQ(count(), QStringLiteral("Общее количество геозон: 3"));
    grid->setCurrentCell(1, 5); // the user clicks row 2
    page->Del_string_autoinfoClick();
    ASSERT_EQ(grid->rowCount(), 2);
    EXPECT_EQ(cell(0, 5), QStringLiteral("r1"));
    EXPECT_EQ(cell(1, 5), QStringLiteral("r3"));
    EXPECT_EQ(cell(1, 0), QStringLiteral("2"));
    EXPECT_EQ(count(), QStringLiteral("Общее количество геозон: 2"));
    grid->setCurrentCell(0, 5);
    page->Del_string_autoinfoClick();
    page->Del_string_autoinfoClick(); // the only row left stays as it is
    ASSERT_EQ(grid->rowCount(), 1);
    EXPECT_EQ(cell(0, 5), QStringLiteral("r3"));
    page->Del_all_autoinfoClick();
    ASSERT_EQ(grid->rowCount(), 1);
    EXPECT_EQ(cell(0, 5), QString());
    EXPECT_EQ(count(), QStringLiteral("Общее количество геозон: 1"));
}

TEST_F(AutoinfoPageTest, TheLivePositionGoesIntoTheChosenRow)
{
    page->N101Click();
    grid->setCurrentCell(3, 1);
    page->Ins_coordClick(); // nothing received yet: said, and nothing changes
    EXPECT_FALSE(lastMessage().isEmpty());
    EXPECT_EQ(cell(3, 1), QString());

    QByteArray gps(105, '\0');
    le::put32(gps, 4, static_cast<uint32_t>(-33868820));
    le::put32(gps, 8, static_cast<uint32_t>(151209296));
    s.monitor().gps.fillFrom(gps);
    emit s.gpsReceived();
    page->Ins_coordClick();
    EXPECT_EQ(cell(3, 1), QStringLiteral("-33,868820"));
    EXPECT_EQ(cell(3, 2), QStringLiteral("151,209296"));
    EXPECT_EQ(cell(2, 1), QString());
}

TEST_F(AutoinfoPageTest, AWavNameIsTakenOnlyFromAFileOfTheRightFormat)
{
    page->Add_string_autoinfoClick();
    grid->setCurrentCell(1, 0);
    const QString good = home.filePath(QStringLiteral("stop_1.wav"));
    rvtest::putFile(good, wavHeader(1, 11025, 8));
    page->chooseWavFile(good);
    EXPECT_EQ(cell(1, 5), QStringLiteral("stop_1.wav"));
    EXPECT_TRUE(messages.isEmpty());

    QByteArray mulaw = wavHeader(1, 11025, 8);
    le::put16(mulaw, 20, 7); // μ-law: the unit would play it as noise
    for (const QByteArray& bad : {wavHeader(2, 11025, 8), wavHeader(1, 22050, 8), wavHeader(1, 11025, 16),
                                  wavHeader(1, 11025, 8).left(35), mulaw}) {
        const QString path = home.filePath(QStringLiteral("other.wav"));
        rvtest::putFile(path, bad);
        page->chooseWavFile(path);
        EXPECT_EQ(lastMessage(), route::wavFormatMessage());
        EXPECT_EQ(cell(1, 5), QStringLiteral("stop_1.wav"));
    }
    const qsizetype said = messages.size();
    page->chooseWavFile(home.filePath(QStringLiteral("missing.wav"))); // ignored silently
    EXPECT_EQ(messages.size(), said);
    // A name the file cannot hold whole is refused rather than cut.
    const QString longName = home.filePath(QStringLiteral("a_very_long_name_of_a_voice_file.wav"));
    rvtest::putFile(longName, wavHeader(1, 12000, 8));
    page->chooseWavFile(longName);
    EXPECT_EQ(messages.size(), said + 1);
    EXPECT_EQ(cell(1, 5), QStringLiteral("stop_1.wav"));
}

TEST_F(AutoinfoPageTest, SavedAndOpenedFilesShowExactlyWhatTheyHold)
{
    const QString path = home.filePath(QStringLiteral("route.fai"));
    page->N101Click();
    EXPECT_EQ(typeInto(0, 1, QStringLiteral("55,12345678")), QStringLiteral("55,1234567")); // ten characters
    grid->item(1, 2)->setText(QStringLiteral("-0,5"));
    ASSERT_TRUE(page->Save_marshrut(path));
    EXPECT_EQ(cell(0, 1), QStringLiteral("55,123457")); // to the nearest millionth
    EXPECT_EQ(cell(1, 2), QStringLiteral("-0,500000"));
    EXPECT_EQ(cell(5, 5), QStringLiteral("0"));
    const RouteTable saved = page->table();

    page->Del_all_autoinfoClick();
    page->Open_marshrut(path);
    EXPECT_EQ(page->table(), saved);
    EXPECT_EQ(control<QLineEdit>("PathAutoinfoBox")->text(), path);
    EXPECT_EQ(count(), QStringLiteral("Общее количество геозон: 11"));

    // A cell that cannot be stored stops the save with its place named; the file keeps what it had.
    QFile before(path);
    ASSERT_TRUE(before.open(QIODevice::ReadOnly));
    const QByteArray bytes = before.readAll();
    grid->item(2, 6)->setText(QStringLiteral("1,5"));
    EXPECT_FALSE(page->Save_marshrut(path));
    EXPECT_TRUE(lastMessage().contains(QStringLiteral("строку 3"))) << lastMessage().toStdString();
    QFile after(path);
    ASSERT_TRUE(after.open(QIODevice::ReadOnly));
    EXPECT_EQ(after.readAll(), bytes);

    // A file cut short: its whole records, and a word about it.
    rvtest::putFile(path, bytes.left(1 + 44 * 4 + 10));
    page->Open_marshrut(path);
    EXPECT_EQ(grid->rowCount(), 4);
    EXPECT_TRUE(lastMessage().contains(QStringLiteral("11"))) << lastMessage().toStdString();

    const QString wpt = home.filePath(QStringLiteral("points.wpt"));
    rvtest::putFile(wpt, "OziExplorer Waypoint File Version 1.1\r\nWGS 84\r\nReserved 2\r\ngarmin\r\n"
                   "1,A,  55.500000,  37.250000,45658.5, 0, 1, 3, 0, 65535,x, 0, 0, 40, -777, 6, 0,17\r\n");
    page->ImportPoints(wpt);
    ASSERT_EQ(grid->rowCount(), 1);
    EXPECT_EQ(cell(0, 1), QStringLiteral("55,500000"));
    EXPECT_EQ(cell(0, 4), QStringLiteral("40"));
    EXPECT_EQ(count(), QStringLiteral("Общее количество геозон: 1"));
    page->ImportPoints(home.filePath(QStringLiteral("none.wpt")));
    EXPECT_EQ(lastMessage(), QStringLiteral("Файл не открывается"));
    // A folder, or a file larger than any route file: refused with a word, and the table stays.
    page->ImportPoints(home.path());
    EXPECT_EQ(lastMessage(), inputFileMessage(home.path(), InputFileError::NotRegular, 0));
    rvtest::putFile(path, QByteArray(route::kMaxRouteFileSize + 1, '\x01'));
    page->Open_marshrut(path);
    EXPECT_EQ(lastMessage(), inputFileMessage(path, InputFileError::TooLarge, route::kMaxRouteFileSize));
    EXPECT_EQ(grid->rowCount(), 1);
}

TEST_F(AutoinfoPageTest, TheDialogsOfferTheirFiltersWithTheRightOnePreselected)
{
    page->Open_autoinfoClick();
    ASSERT_NE(page->openDialog(), nullptr);
    EXPECT_EQ(page->openDialog()->nameFilters().size(), 6);
    EXPECT_EQ(page->openDialog()->selectedNameFilter(), QStringLiteral("File autoinformer [*.fai] (*.fai)"));
    page->openDialog()->reject();
    page->Change_wav_fileClick();
    EXPECT_EQ(page->openDialog()->selectedNameFilter(), QStringLiteral("Audio file [*.wav] (*.wav)"));
    page->openDialog()->reject();
    page->SpeedButton1Click();
    EXPECT_EQ(page->openDialog()->selectedNameFilter(), QStringLiteral("OziExplorer Waypoint File [*.wpt] (*.wpt)"));
    page->openDialog()->reject();
    page->Save_autoinfoClick();
    ASSERT_NE(page->saveDialog(), nullptr);
    EXPECT_EQ(page->saveDialog()->nameFilters(),
              (QStringList{QStringLiteral("File configuration [*.fcg] (*.fcg)"),
                           QStringLiteral("File autoinformer [*.fai] (*.fai)"), QStringLiteral("Log file [*.log] (*.log)"),
                           QStringLiteral("Voice file archive [*.vfa] (*.vfa)")}));
    EXPECT_EQ(page->saveDialog()->selectedNameFilter(), QStringLiteral("File autoinformer [*.fai] (*.fai)"));
    page->saveDialog()->reject();
}

// Saving from the dialog: rows without coordinates are named first and saved only on "Сохранить"; a saved
// route says so and is the page's route file from then on.
TEST_F(AutoinfoPageTest, SavingNamesRowsWithoutCoordinatesAndSaysItSaved)
{
    const QString path = home.filePath(QStringLiteral("route.fai"));
    page->Add_string_autoinfoClick();
    page->Add_string_autoinfoClick();
    typeInto(0, 1, QStringLiteral("55,5"));
    typeInto(0, 2, QStringLiteral("37,25"));
    typeInto(2, 1, QStringLiteral("56"));
    const auto saveAs = [&] {
        page->Save_autoinfoClick();
        page->saveDialog()->selectFile(path);
        QMetaObject::invokeMethod(page->saveDialog(), "accept"); // "Сохранить"
    };
    saveAs();
    QMessageBox* warning = page->coordinatesWarning();
    ASSERT_NE(warning, nullptr);
    EXPECT_TRUE(warning->text().contains(QStringLiteral("строках: 2, 3."))) << warning->text().toStdString();
    warning->button(QMessageBox::Cancel)->click();
    EXPECT_FALSE(QFile::exists(path));
    EXPECT_TRUE(control<QLineEdit>("PathAutoinfoBox")->text().isEmpty());

    saveAs();
    page->coordinatesWarning()->button(QMessageBox::Save)->click();
    EXPECT_TRUE(QFile::exists(path));
    EXPECT_EQ(lastMessage(), QStringLiteral("Маршрут сохранён"));
    EXPECT_EQ(control<QLineEdit>("PathAutoinfoBox")->text(), path);
}
