#include "ui/app/message_box.h"

#include "ui/app/app_texts.h"

#include <QHash>
#include <QMessageBox>

namespace rv {

namespace {

// The open boxes by their shown text. An entry leaves when its box is closed or destroyed, so the
// table holds no more entries than there are boxes on the screen.
QHash<QString, QMessageBox*>& openBoxes()
{
    static QHash<QString, QMessageBox*> boxes;
    return boxes;
}

void forget(const QString& text, const QMessageBox* box)
{
    auto& boxes = openBoxes();
    const auto it = boxes.constFind(text);
    if (it != boxes.cend() && it.value() == box)
        boxes.erase(it);
}

} // namespace

QMessageBox* showMessage(QWidget* parent, const QString& text)
{
    QString shown = text;
    shown.replace(QLatin1String("\r\n"), QLatin1String("\n")).replace(QLatin1Char('\r'), QLatin1Char('\n'));

    if (QMessageBox* open = openBoxes().value(shown))
        return open;

    auto* box = new QMessageBox(QMessageBox::NoIcon, appTitle(), shown, QMessageBox::Ok, parent);
    box->setObjectName(QStringLiteral("MessageBox"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    openBoxes().insert(shown, box);
    // The text is free again as soon as the user closes the box, before the deferred delete.
    QObject::connect(box, &QDialog::finished, [shown, box] { forget(shown, box); });
    QObject::connect(box, &QObject::destroyed, [shown, box] { forget(shown, box); });
    box->open();
    return box;
}

int openMessageBoxes()
{
    return static_cast<int>(openBoxes().size());
}

} // namespace rv
