#pragma once

// "Сравнить с устройством" and "Сравнить с файлом…": what a write would change. The pages are gathered into
// a copy of the three records (the program's records and pages stay as they are), the unit's records are
// read into another copy (or a .fcg file is opened into one), and a window lists every difference with the
// value there and the value a write would send. From the window the user writes to the unit (after comparing
// with the unit) or saves into the file (after comparing with a file, asked first), or closes; Enter closes.

#include "core/config/record_diff.h"
#include "core/config/records.h"

#include <QDialog>
#include <QObject>

class QFileDialog;
class QLabel;
class QMessageBox;
class QPushButton;
class QTableWidget;

namespace rv {

class ConfigPages;
class MainWindow;
class SessionController;

// A read-only table of differences, whole rows selected, the names' column stretched.
QTableWidget* newDifferenceTable(const QString& objectName, QWidget* parent);
// Fills a table of three columns: "Параметр", `otherSide` (the values there) and "Будет записано".
void showDifferenceRows(QTableWidget* table, const QString& otherSide, const QList<RecordDifference>& list);

// The result window (objectName "CompareWindow"): a table of differences, a summary line, "Записать" (after a
// comparison with the unit) or "Сохранить в файл" (after one with a file), and "Закрыть", the default button.
class CompareWindow : public QDialog {
    Q_OBJECT
public:
    enum class Target { Unit, File };

    explicit CompareWindow(QWidget* parent = nullptr);
    // `otherSide`: the heading of the column of the unit's (or the file's) values. `file`: the file compared.
    void showDifferences(const QString& title, const QString& otherSide, const QList<RecordDifference>& list,
                         Target target = Target::Unit, const QString& file = {});
    const QList<RecordDifference>& differences() const { return m_list; }
    QTableWidget* table() const { return m_table; }
    QLabel* summary() const { return m_summary; }
    QPushButton* writeButton() const { return m_write; }
    QPushButton* saveButton() const { return m_save; }
    QPushButton* closeButton() const { return m_close; }
    // "Перезаписать файл …?" while it is up; nullptr otherwise.
    QMessageBox* overwriteQuestion() const { return m_question; }

signals:
    void writeRequested();
    void saveRequested();  // the user confirmed that the compared file is overwritten

private:
    void askOverwrite();

    QList<RecordDifference> m_list;
    QTableWidget* m_table;
    QLabel* m_summary;
    QPushButton* m_write;
    QPushButton* m_save;
    QPushButton* m_close;
    QMessageBox* m_question = nullptr;
    QString m_file;
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
    QString m_file; // the file compared last; "Сохранить в файл" saves into it
};

} // namespace rv
