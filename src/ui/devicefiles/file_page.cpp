#include "ui/devicefiles/file_page.h"

#include "ui_file_page.h"

#include <QDate>
#include <QKeyEvent>
#include <QLineEdit>

namespace rv {

FilePage::FilePage(QWidget* parent) : QWidget(parent), ui(std::make_unique<Ui::FilePage>())
{
    ui->setupUi(this);
    ui->Log_date->setDate(QDate::currentDate());
    // The date is chosen from the calendar only: every typed key is discarded (Log_dateKeyPress).
    ui->Log_date->installEventFilter(this);
    if (QLineEdit* edit = ui->Log_date->findChild<QLineEdit*>())
        edit->installEventFilter(this);
}

FilePage::~FilePage() = default;

QDateEdit* FilePage::logDate() const { return ui->Log_date; }
QPushButton* FilePage::readLogButton() const { return ui->Read_log_file; }

QString FilePage::logDateText() const
{
    return ui->Log_date->date().toString(QStringLiteral("yyyy-MM-dd"));
}

bool FilePage::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        // Opening the calendar with the keyboard stays possible; nothing typed reaches the date.
        if (!(key->key() == Qt::Key_Down && key->modifiers() & Qt::AltModifier) && key->key() != Qt::Key_F4 &&
            key->key() != Qt::Key_Tab && key->key() != Qt::Key_Backtab)
            return true;
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace rv
