#pragma once

#include <QDialog>

#include <functional>

class QLabel;
class QLineEdit;
class QMessageBox;
class QProgressBar;
class QPushButton;

namespace rv {

struct FirmwareHeader;

// TForm7 "Обновление ПО": the chosen image, its header fields, the progress and the button that
// starts programming. The binding does the work; the window only shows it.
class FirmwareWindow : public QDialog {
    Q_OBJECT
public:
    explicit FirmwareWindow(QWidget* parent = nullptr);

    QLineEdit* fileName() const { return m_name; }
    QPushButton* openButton() const { return m_open; }
    QPushButton* programButton() const { return m_program; }
    QProgressBar* progress() const { return m_progress; }

    void clearImage();                                        // no image: labels empty, nothing to program
    void showImage(const QString& path, const FirmwareHeader& header);
    // While this returns true, closing the window asks first.
    void setBusyCheck(std::function<bool()> busy) { m_busy = std::move(busy); }
    // The question shown when the window is closed mid-run (nullptr when none is open).
    QMessageBox* closeQuestion() const { return m_question; }

    // Escape and the title bar's close button: mid-run it asks first.
    void reject() override;

signals:
    void openRequested();     // Open_fwClick
    void programRequested();  // Program_flashClick
    void stopRequested();     // closed mid-run and the user confirmed
    void closed();            // FormClose: the image is let go

protected:
    void showEvent(QShowEvent* event) override;

private:
    void FormShow();
    bool confirmClose();

    QLineEdit* m_name;
    QPushButton* m_open;
    QLabel* m_ver;
    QLabel* m_hard;
    QLabel* m_size;
    QLabel* m_crc;
    QLabel* m_build;
    QProgressBar* m_progress;
    QPushButton* m_program;
    QMessageBox* m_question = nullptr;
    std::function<bool()> m_busy;
};

} // namespace rv
