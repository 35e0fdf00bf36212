#pragma once

// Adaptation of the pages to the connected unit, as data: which controls (by objectName) and which
// list items the unit type switches. Controls are looked up when the rule is applied, so a rule takes
// effect on a page as soon as that page holds the control; missing controls are skipped.

#include <QList>
#include <QString>
#include <QStringList>

class QObject;

namespace rv::adapt {

struct ListItems {
    QString list;      // objectName of a list control (check list, list view or combo box)
    QList<int> items;  // item indexes
};

struct TypeRule {
    quint8 deviceType;
    bool enable;           // the rule enables (true) or disables (false) what it names
    QStringList controls;  // objectNames
    QList<ListItems> listItems;
};

// One row per unit type that adapts; other types change nothing.
const QList<TypeRule>& typeRules();

// Controls that need a connected unit; enabled and disabled as one group.
const QStringList& deviceButtons();

// Controls that follow the satellite-system option bit.
const QStringList& glonassControls();

// Every control and list item named above, in the state before the first handshake:
// adaptable ones enabled, device buttons disabled.
void applyInitialState(QObject* root);

// Enables or disables every object of that name under root (widgets and actions). Returns how many.
int setEnabledByName(QObject* root, const QString& name, bool enabled);

// Enables or disables item `index` of a list control of that name under root; false when absent.
bool setListItemEnabled(QObject* root, const QString& list, int index, bool enabled);

// Whether item `index` of the named list is enabled; false when absent.
bool isListItemEnabled(QObject* root, const QString& list, int index);

// Applies the row of a unit type; false when the type has no row.
bool applyType(QObject* root, quint8 deviceType);

} // namespace rv::adapt
