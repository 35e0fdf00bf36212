#pragma once

#include <QWidget>

#include <memory>

namespace Ui { class FilePage; }

class QDateEdit;
class QPushButton;

namespace rv {

// The page "Диагностика, память" (FL_page): the day's diagnostic log to fetch from the unit.
class FilePage : public QWidget {
    Q_OBJECT
public:
    explicit FilePage(QWidget* parent = nullptr);
    ~FilePage() override;

    QDateEdit* logDate() const;
    QPushButton* readLogButton() const;
    QString logDateText() const; // "yyyy-mm-dd"

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::unique_ptr<Ui::FilePage> ui;
};

} // namespace rv
