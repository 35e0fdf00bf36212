#include "ui/devicefiles/file_page.h"

#include "ui_file_page.h"

#include "ui/config/edit_rules.h"

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

    Dump_typeChange();
    connect(ui->Dump_type, &QComboBox::currentIndexChanged, this, &FilePage::Dump_typeChange);
    for (QLineEdit* edit : {ui->Dump_start, ui->Dump_count}) {
        installKeyFilter(edit, KeyFilter::Digit);
        // A refused number keeps its cue until the user changes it.
        connect(edit, &QLineEdit::textEdited, this, [edit] { setInvalidCue(edit, false); });
    }
}

void FilePage::Dump_typeChange()
{
    const bool range = ui->Dump_type->currentIndex() == 1;
    ui->Dump_server->setVisible(!range);
    ui->Panel6->setVisible(range);
}

QComboBox* FilePage::dumpType() const { return ui->Dump_type; }
QComboBox* FilePage::dumpServer() const { return ui->Dump_server; }
QWidget* FilePage::panel6() const { return ui->Panel6; }
QLineEdit* FilePage::dumpStart() const { return ui->Dump_start; }
QLineEdit* FilePage::dumpCount() const { return ui->Dump_count; }
QPushButton* FilePage::dumpButton() const { return ui->Dump; }
QLabel* FilePage::readLabel() const { return ui->Label247; }
QComboBox* FilePage::exportType() const { return ui->Export_type; }
QComboBox* FilePage::expFiletype() const { return ui->Exp_filetype; }
QPushButton* FilePage::exportButton() const { return ui->Export_dump; }

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
