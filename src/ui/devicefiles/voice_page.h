#pragma once

#include <QWidget>

#include <memory>

namespace Ui { class VoicePage; }

class QLabel;
class QProgressBar;
class QPushButton;
class QTableWidget;

namespace rv {

// The page "Голосовые  сообщения" (Voice_files): the table of the 45 messages with the file assigned to
// each, the memory gauge and the three buttons. It only shows; VoiceBinding gives it its behaviour.
class VoicePage : public QWidget {
    Q_OBJECT
public:
    explicit VoicePage(QWidget* parent = nullptr);
    ~VoicePage() override;

    QTableWidget* table() const;
    QPushButton* saveButton() const;  // SaveToSD
    QPushButton* clearButton() const; // Clear_voice_table
    QPushButton* listButton() const;  // List_voice_files
    QProgressBar* gauge() const;      // ProgressBar1
    QLabel* gaugeLabel() const;       // Label209

    // Columns 1 and 2 of a row, without reporting them as the user's edits.
    void showRow(int row, const QString& file, const QString& size);
    void showGauge(qint64 used, qint64 maximum, const QString& text);

signals:
    void cellEdited(int row, int column, const QString& text); // the user typed into column 1 or 2
    void assignRequested(int row);                             // right click on a row (Voice_messageContextPopup)

private:
    std::unique_ptr<Ui::VoicePage> ui;
};

} // namespace rv
