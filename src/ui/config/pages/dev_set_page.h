#pragma once

// "Настройка периферии" (Dev_set): the devices on the two serial ports with a sub-page per device, the CAN
// interface, the receiver mode, the external temperature thresholds and a few switches.

#include "ui/config/editor_page.h"

namespace Ui {
class DevSetPage;
}

namespace rv {

class FuelTableWindow;

class DevSetPage : public EditorPage {
    Q_OBJECT
public:
    static constexpr int kFuelSensors485 = 5; // "Датчик(и) топлива RS485" on port 1
    static constexpr int kOmnicomm = 1;       // "Датчик Omnicomm (ДУТ-Е)"
    static constexpr int kIridium = 5;        // "Иридиум" on port 2

    explicit DevSetPage(ConfigRecords& records, QWidget* parent = nullptr);
    ~DevSetPage() override;

    void readRecord(ConfigRecords& from, RecordKind kind) override;

    // The window the "Редактировать таблицу" buttons show.
    void setFuelTableWindow(FuelTableWindow* window) { m_fuelTable = window; }

    // The sub-page shown for port 1 or 2: its index, or −1 when the device has none.
    int subPage(int port) const;
    // Whether the second fuel sensor's address and full-tank controls are on port 1's sub-page.
    bool sensor2OnPort1() const;

public slots:
    // The user chose device `k` on port 1 (2): the sub-page, the baud rate and the port switch follow.
    void Device1Change(int k);
    void Device2Change(int k);
    // "Сумма значений двух датчиков" is offered only with two full-tank values and two sensors. `byUser`:
    // a box no longer offered is also unticked (a fill never changes what the record says).
    void Omni_sumRule(bool byUser);
    void Edit_table1Click();
    void Button1Click();
    // The user chose a resolution for one camera: the other camera's list takes the same item.
    void Image_rezChange(int index);
    void Image_rez2Change(int index);
    // The size the unit announced for the camera's picture.
    void setImageSize(int camera, quint32 size);

public:
    // The resolution item chosen for camera 1 (`Image_rez`) or 2 (`Image_rez2`).
    int imageResolution(int camera) const;

signals:
    // "Иридиум" chosen on port 2: the satellite modem page is wanted.
    void satelliteModemRequested();
    // The hidden command button: "CONFIGE" followed by these bytes goes to the unit.
    void commandRequested(const QByteArray& tail);
    // "Просмотр" on a camera's sub-page: a snapshot of camera 1 or 2 is wanted.
    void snapshotRequested(int camera);

protected:
    void refreshEnabling() override;

private:
    // Shows the sub-pages the device lists call for, without touching any other control.
    void showPort1(int k);
    void showPort2(int k);
    void setBaudRate(int port, int k);

    std::unique_ptr<Ui::DevSetPage> m_ui;
    FuelTableWindow* m_fuelTable = nullptr;
};

} // namespace rv
