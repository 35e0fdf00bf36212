#pragma once

// The search field above the navigation tree: typing part of a caption, a field name or a control name lists
// the matching settings as "page › group › caption"; Enter or a click opens the page, brings the control into
// view, focuses it and marks it briefly.

#include <QWidget>

class QLineEdit;
class QListWidget;
class QListWidgetItem;

namespace rv {

class MainWindow;

class SettingSearch : public QWidget {
    Q_OBJECT
public:
    static constexpr int kHighlightMs = 1500;

    explicit SettingSearch(MainWindow& window, QWidget* parent = nullptr);

    QLineEdit* field() const { return m_field; }
    QListWidget* results() const { return m_results; }
    // Opens the setting of row `row` of the caption table; the control shown, or nullptr when there is none.
    QWidget* jumpTo(int row);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void search(const QString& text);
    void open(QListWidgetItem* item);

    MainWindow& m_window;
    QLineEdit* m_field;
    QListWidget* m_results;
};

} // namespace rv
