#pragma once

// "Сравнить с устройством" and "Сравнить с файлом…": what a write would change. The pages are gathered into
// a copy of the three records (the program's records and pages stay as they are), the unit's records are
// read into another copy (or a .fcg file is opened into one), and a window lists every difference with the
// value there and the value a write would send. From the window the user writes or closes.

#include "core/config/record_diff.h"
#include "core/config/records.h"

#include <QDialog>
#include <QObject>

class QFileDialog;
class QLabel;
class QPushButton;
class QTableWidget;

namespace rv {

class ConfigPages;
class MainWindow;
class SessionController;

// The result window (objectName "CompareWindow"): a table of differences, a summary line, "Записать" and
// "Закрыть".
class CompareWindow : public QDialog {
    Q_OBJECT
public:
    explicit CompareWindow(QWidget* parent = nullptr);
    // `otherSide`: the heading of the column of the unit's (or the file's) values.
    void showDifferences(const QString& title, const QString& otherSide, const QList<RecordDifference>& list);
    const QList<RecordDifference>& differences() const { return m_list; }
    QTableWidget* table() const { return m_table; }
    QLabel* summary() const { return m_summary; }
    QPushButton* writeButton() const { return m_write; }

signals:
    void writeRequested();

private:
    QList<RecordDifference> m_list;
    QTableWidget* m_table;
    QLabel* m_summary;
    QPushButton* m_write;
};

class CompareBinding : public QObject {
    Q_OBJECT
public:
    CompareBinding(MainWindow& window, SessionController& session, ConfigPages& pages);

    CompareWindow* window() const { return m_result; }
    QFileDialog* fileDialog() const { return m_fileDialog; }
    // What a write would send now: the program's records with every page gathered into them (a copy).
    ConfigRecords gathered() const;
    // The differences from `there` to what a write would send, lists shown by their items.
    QList<RecordDifference> compareWith(const ConfigRecords& there) const;

    // The commands: the unit is read into a copy first; the file is chosen in an open dialog.
    void compareWithDevice();
    void chooseFile();
    void compareWithFile(const QString& path);

private:
    // "Сравнить с устройством" and "Сравнить с файлом…" in menu "Файл", the tool button Compare_device.
    void installCommands();
    void deviceCopyRead(bool ok);

    MainWindow& m_window;
    SessionController& m_session;
    ConfigPages& m_pages;
    CompareWindow* m_result;
    QFileDialog* m_fileDialog = nullptr;
    bool m_awaitingUnit = false;
    QString m_file; // the file compared last; "Записать" saves into it
};

} // namespace rv
