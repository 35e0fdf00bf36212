#pragma once

// TForm8 "Редактирование таблицы": the two fuel sensors' calibration tables, one column each. The cells are
// filled from the record at every showing, and again whenever the records are replaced while it is open
// (FormShow, called by the peripheral page); they are written into the record only by "Сохранить".

#include <QDialog>

#include <memory>

namespace Ui {
class FuelTableWindow;
}

namespace rv {

class ConfigBlock;
struct MonitorBlocks;

class FuelTableWindow : public QDialog {
    Q_OBJECT
public:
    FuelTableWindow(ConfigBlock& config, const MonitorBlocks& monitor, QWidget* parent = nullptr);
    ~FuelTableWindow() override;

    // The grid cell remembered by the last click: column, row (column 0 before any click).
    int rememberedColumn() const { return m_column; }
    int rememberedRow() const { return m_row; }

public slots:
    void FormShow();
    void Table_gridClick(int row, int column);
    // "Вставить текущее значение": the live reading of the remembered column's sensor into the remembered cell.
    void N1Click();
    // Stores both columns and closes; a cell that cannot be stored is marked and nothing is written.
    void SaveClick();
    void CancelClick();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void FormCreate();

    std::unique_ptr<Ui::FuelTableWindow> m_ui;
    ConfigBlock& m_config;
    const MonitorBlocks& m_monitor;
    int m_column = 0;
    int m_row = 0;
};

} // namespace rv
