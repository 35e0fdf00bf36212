#pragma once

#include <QWidget>

#include <memory>

namespace Ui { class FilePage; }

class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QPushButton;

namespace rv {

// The page "Диагностика, память" (FL_page): the day's diagnostic log to fetch from the unit, and the group
// "Работа с памятью": what part of the track memory to read, and the file to export it to.
class FilePage : public QWidget {
    Q_OBJECT
public:
    explicit FilePage(QWidget* parent = nullptr);
    ~FilePage() override;

    QDateEdit* logDate() const;
    QPushButton* readLogButton() const;
    QString logDateText() const; // "yyyy-mm-dd"

    QComboBox* dumpType() const;
    QComboBox* dumpServer() const;
    QWidget* panel6() const;
    QLineEdit* dumpStart() const;
    QLineEdit* dumpCount() const;
    QPushButton* dumpButton() const;
    QLabel* readLabel() const;   // Label247
    QComboBox* exportType() const;
    QComboBox* expFiletype() const;
    QPushButton* exportButton() const;
    // Dump_typeChange: the server list for undelivered packets, the range panel for a range.
    void Dump_typeChange();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::unique_ptr<Ui::FilePage> ui;
};

} // namespace rv
