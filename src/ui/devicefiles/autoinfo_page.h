#pragma once

// "Автоинформатор" (Autoinfo): the autoinformer's switch of the main record and the route table of
// geofences in a grid, with its files (.fai open and save, .wpt import, a WAV name per row). The grid is a
// view of a route::RouteTable; reading and writing the table on the unit is wired by the RouteBinding.

#include "core/devicefiles/route_table.h"
#include "ui/config/editor_page.h"

#include <functional>
#include <memory>
#include <optional>
#include <utility>

class QFileDialog;
class QMessageBox;
class QMenu;
class QTableWidget;

namespace Ui {
class AutoinfoPage;
}

namespace rv {

class AutoinfoPage : public EditorPage {
    Q_OBJECT
public:
    // The current position of the unit (latitude, longitude in millionths), or nothing when none is known.
    using CoordinateSource = std::function<std::optional<std::pair<int32_t, int32_t>>()>;

    explicit AutoinfoPage(ConfigRecords& records, QWidget* parent = nullptr);
    ~AutoinfoPage() override;

    QTableWidget* grid() const;
    QMenu* menu() const { return m_menu; }
    QFileDialog* openDialog() const { return m_openDialog; }
    QFileDialog* saveDialog() const { return m_saveDialog; }
    void setCoordinateSource(CoordinateSource source) { m_coordinates = std::move(source); }

    // The grid as a table, and a table into the grid.
    route::RouteTable table() const;
    void showTable(const route::RouteTable& table);
    int selectedRow() const { return m_selected; }

    // What the buttons and the dialogs do with a chosen path.
    void Open_marshrut(const QString& path);
    bool Save_marshrut(const QString& path); // failures are shown here; success says "Маршрут сохранён"
    // The save dialog's choice: rows without coordinates are named first, and saved only when the user agrees.
    void saveChosen(const QString& path);
    QMessageBox* coordinatesWarning() const { return m_warning; }
    // The table into a route file without a message; the grid then shows what the file holds.
    route::SaveResult storeTo(const QString& path);
    // A cell still being edited is taken into the grid.
    void commitEdit();
    void ImportPoints(const QString& path);
    void chooseWavFile(const QString& path);

public slots:
    void Open_autoinfoClick();
    void SpeedButton1Click();
    void Save_autoinfoClick();
    void Change_wav_fileClick();
    void Ins_coordClick();
    void Add_string_autoinfoClick();
    void Del_string_autoinfoClick();
    void Del_all_autoinfoClick();
    void N101Click();
    void N10Click();

signals:
    void message(const QString& text);
    void readRequested();  // Read_autoinfo
    void writeRequested(); // Write_autoinfo

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    enum class Chosen { Route, Wav, Waypoints };
    void runOpenDialog(Chosen purpose, int filter, const QString& name);
    void addRows(int n);
    void changeRows(const std::function<void(route::RouteTable&)>& change);
    void showCount();

    std::unique_ptr<Ui::AutoinfoPage> m_ui;
    QMenu* m_menu = nullptr;
    QFileDialog* m_openDialog = nullptr;
    QFileDialog* m_saveDialog = nullptr;
    QMessageBox* m_warning = nullptr;
    Chosen m_chosen = Chosen::Route;
    int m_selected = 1;
    CoordinateSource m_coordinates;
};

} // namespace rv
