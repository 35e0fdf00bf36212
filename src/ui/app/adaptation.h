#pragma once

// Adaptation of the pages to the connected unit, as data: which controls (by objectName) and which list
// items go with each feature a unit may lack. Controls are looked up when the adaptation is applied, so it
// takes effect on a page as soon as that page holds the control; missing controls are skipped.

#include "core/config/unit_profile.h"

#include <QList>
#include <QString>
#include <QStringList>

class QObject;

namespace rv::adapt {

struct ListItems {
    QString list;      // objectName of a list control (check list, list view or combo box)
    QList<int> items;  // item indexes
};

struct Feature {
    bool (*offered)(const UnitProfile&);
    QStringList controls;  // objectNames
    QList<ListItems> listItems;
};

// Each feature a unit may lack, with the controls and list items that go with it.
const QList<Feature>& features();

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

// Adapts the controls to the unit; false (and nothing changed) for a profile that does not adapt them.
bool applyUnit(QObject* root, const UnitProfile& unit);

} // namespace rv::adapt
