#pragma once

class QWidget;

namespace rv {

// The page of PageControl1 at an index, as far as it is built: the first page, and stand-ins for the
// editor pages holding only the controls that navigation and adaptation touch. An editor page
// replaces its stand-in with MainWindow::setPage.
QWidget* createPage(int index, QWidget* parent = nullptr);

} // namespace rv
