#pragma once

// "Записать" shows what it changes. Once the unit was read in this session, the write first lists every
// field that differs between that read and what the write would send, named as the pages name it, and
// waits for "Записать" or "Отмена". "Больше не спрашивать" turns the list off for good (Config.ini).

#include "core/config/record_diff.h"
#include "core/config/records.h"

#include <QDialog>
#include <QObject>

#include <optional>

class QCheckBox;
class QLabel;
class QPushButton;
class QTableWidget;

namespace rv {

class CompareBinding;
class MainWindow;
class SessionController;

// objectName "WriteConfirm": the changes, "Больше не спрашивать", "Записать" and "Отмена" (the default).
class WriteConfirmDialog : public QDialog {
    Q_OBJECT
public:
    explicit WriteConfirmDialog(QWidget* parent = nullptr);
    void showChanges(const QList<RecordDifference>& list);

    QTableWidget* table() const { return m_table; }
    QLabel* summary() const { return m_summary; }
    QCheckBox* dontAsk() const { return m_dontAsk; }
    QPushButton* writeButton() const { return m_write; }
    QPushButton* cancelButton() const { return m_cancel; }

signals:
    void confirmed(bool dontAskAgain);

private:
    QTableWidget* m_table;
    QLabel* m_summary;
    QCheckBox* m_dontAsk;
    QPushButton* m_write;
    QPushButton* m_cancel;
};

class WriteConfirmation : public QObject {
    Q_OBJECT
public:
    WriteConfirmation(MainWindow& window, SessionController& session, CompareBinding& compare);

    WriteConfirmDialog* dialog() const { return m_dialog; }
    // The unit's records as this session last knew them (read, or written since); none before a read.
    const std::optional<ConfigRecords>& unitRecords() const { return m_unit; }

private:
    // The window's write guard: true when the list is shown and the write waits for it.
    bool beforeWrite();

    MainWindow& m_window;
    SessionController& m_session;
    CompareBinding& m_compare;
    WriteConfirmDialog* m_dialog;
    std::optional<ConfigRecords> m_unit;
};

} // namespace rv
