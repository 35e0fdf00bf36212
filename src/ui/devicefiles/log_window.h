#pragma once

#include <QDialog>

class QMenu;
class QPlainTextEdit;

namespace rv {

// TForm9 "Диагностика": the decoded event lines, live from the unit or from a fetched log file.
class LogWindow : public QDialog {
    Q_OBJECT
public:
    // A window left open for days must not exhaust memory: the oldest lines go first.
    static constexpr int kMaxLines = 100000;

    explicit LogWindow(QWidget* parent = nullptr);

    QPlainTextEdit* memo() const { return m_memo; }
    QMenu* menu() const { return m_menu; }
    void appendLines(const QStringList& lines);
    void setLines(const QStringList& lines);
    QString text() const;
    // The name N12 proposes: "Log_file.log" for the live log, else the fetched log's date + ".log".
    QString proposedFileName() const;
    void setLogDate(const QString& date) { m_logDate = date; }

    void N10Click();
    void N11Click();

signals:
    void saveRequested();  // N12: the binding asks for a file name and saves
    void hidden();         // the live log tail is no longer wanted

protected:
    void hideEvent(QHideEvent* event) override;

private:
    QPlainTextEdit* m_memo;
    QMenu* m_menu;
    QString m_logDate;
};

} // namespace rv
