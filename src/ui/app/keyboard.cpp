#include "ui/app/keyboard.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QSet>
#include <QToolBar>
#include <QToolButton>

namespace rv {

namespace {

// The letter after a single '&', lower case; a null char when there is none ("&&" is a literal ampersand).
QChar mnemonicOf(const QString& text)
{
    for (qsizetype i = 0; i + 1 < text.size(); ++i) {
        if (text[i] != QLatin1Char('&'))
            continue;
        if (text[i + 1] == QLatin1Char('&')) {
            ++i;
            continue;
        }
        return text[i + 1].toLower();
    }
    return {};
}

QString withMnemonic(const QString& text, QSet<QChar>& taken)
{
    if (text.isEmpty() || !mnemonicOf(text).isNull())
        return text;
    QList<qsizetype> candidates;
    for (qsizetype i = 0; i < text.size(); ++i)
        if (text[i].isLetterOrNumber() && (i == 0 || !text[i - 1].isLetterOrNumber()))
            candidates << i; // word starts first
    for (qsizetype i = 0; i < text.size(); ++i)
        if (text[i].isLetterOrNumber() || text[i] == QLatin1Char('?'))
            candidates << i;
    for (qsizetype i : candidates) {
        const QChar c = text[i].toLower();
        if (taken.contains(c))
            continue;
        taken.insert(c);
        QString marked = text;
        marked.insert(i, QLatin1Char('&'));
        return marked;
    }
    return text;
}

void markActions(const QList<QAction*>& actions)
{
    QSet<QChar> taken;
    for (QAction* a : actions)
        if (const QChar c = mnemonicOf(a->text()); !c.isNull())
            taken.insert(c);
    for (QAction* a : actions) {
        if (a->isSeparator())
            continue;
        a->setText(withMnemonic(a->text(), taken));
        if (QMenu* sub = a->menu())
            markActions(sub->actions());
    }
}

} // namespace

void assignMnemonics(QMenuBar* bar)
{
    if (bar)
        markActions(bar->actions());
}

void nameToolButtons(QToolBar* bar)
{
    if (!bar)
        return;
    for (QToolButton* b : bar->findChildren<QToolButton*>()) {
        if (b->objectName().isEmpty() || b->objectName().startsWith(QLatin1String("qt_")))
            continue; // the bar's own extension button
        b->setAccessibleName(b->text().isEmpty() ? b->toolTip() : b->text());
    }
}

} // namespace rv
