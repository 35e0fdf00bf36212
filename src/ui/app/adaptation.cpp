#include "ui/app/adaptation.h"

#include <QAbstractItemView>
#include <QAction>
#include <QComboBox>
#include <QListWidget>
#include <QStandardItemModel>
#include <QWidget>

namespace rv::adapt {

namespace {

QStringList names(const char* prefix, int from, int to)
{
    QStringList out;
    for (int i = from; i <= to; ++i)
        out.append(QString::fromLatin1(prefix) + QString::number(i));
    return out;
}

QStandardItemModel* standardModel(QObject* o)
{
    if (auto* combo = qobject_cast<QComboBox*>(o))
        return qobject_cast<QStandardItemModel*>(combo->model());
    if (auto* view = qobject_cast<QAbstractItemView*>(o))
        return qobject_cast<QStandardItemModel*>(view->model());
    return nullptr;
}

QList<QObject*> objectsNamed(QObject* root, const QString& name)
{
    QList<QObject*> out;
    if (!root)
        return out;
    if (root->objectName() == name)
        out.append(root);
    out += root->findChildren<QObject*>(name);
    return out;
}

} // namespace

const QList<Feature>& features()
{
    static const QList<Feature> list = {
        {[](const UnitProfile& u) { return u.inputs() >= 8; },
         names("LIN", 6, 8) + names("INOh", 6, 8),
         {{QStringLiteral("PacketStruct_new"), {7}}, {QStringLiteral("ConditionList"), {6, 7, 8}}}},
        {[](const UnitProfile& u) { return u.outputs() >= 4; },
         {QStringLiteral("LOUT4"), QStringLiteral("Out4inact"), QStringLiteral("Out4inpass"),
          QStringLiteral("ActivOUT4"), QStringLiteral("Out4dtmf"), QStringLiteral("OUT4ohactiv"),
          QStringLiteral("OUT4ohpass"), QStringLiteral("OUT4ohtrevoga"), QStringLiteral("Out4extlow")},
         {{QStringLiteral("ConditionList"), {12}}, {QStringLiteral("ActionList"), {6, 7}}}},
        {[](const UnitProfile& u) { return u.fuelSensors() >= 2; },
         {QStringLiteral("Omnival2"), QStringLiteral("Omnitemp2")},
         {}},
        {[](const UnitProfile& u) { return u.can(); },
         {QStringLiteral("RzGroupBox29"), QStringLiteral("SCANCAN_en")},
         {}},
        {[](const UnitProfile& u) { return u.frequencyInput(1); },
         {},
         {{QStringLiteral("ConditionList"), {21}}}},
        // The route page's group box goes with the event action that plays a message.
        {[](const UnitProfile& u) { return u.messageAction(); },
         {QStringLiteral("RzGroupBox33")},
         {{QStringLiteral("ActionList"), {8}}}},
        // Inputs 4 and 5 (RV-1 has them in another form), the thresholds of the external temperatures.
        {[](const UnitProfile&) { return true; },
         names("INOh", 4, 5) + QStringList{QStringLiteral("RzGroupBox16")},
         {{QStringLiteral("PacketStruct_new"), {6}}, {QStringLiteral("ConditionList"), {4, 5}}}},
    };
    return list;
}

const QStringList& deviceButtons()
{
    static const QStringList list = {
        QStringLiteral("Download_device"), QStringLiteral("Upload_device"), QStringLiteral("Erase_track"),
        QStringLiteral("Program_but"), QStringLiteral("Reset_but"), QStringLiteral("View_image1"),
        QStringLiteral("View_image2"), QStringLiteral("SaveToSD"), QStringLiteral("Clear_voice_table"),
        QStringLiteral("List_voice_files"), QStringLiteral("Read_log_file"), QStringLiteral("Read_autoinfo"),
        QStringLiteral("Write_autoinfo"), QStringLiteral("Compare_device"), QStringLiteral("CompareDevice"),
    };
    return list;
}

const QStringList& glonassControls()
{
    static const QStringList list = {QStringLiteral("GLONASS_rej"), QStringLiteral("Nav_2D_en")};
    return list;
}

int setEnabledByName(QObject* root, const QString& name, bool enabled)
{
    int n = 0;
    for (QObject* o : objectsNamed(root, name)) {
        if (auto* w = qobject_cast<QWidget*>(o)) {
            w->setEnabled(enabled);
            ++n;
        } else if (auto* a = qobject_cast<QAction*>(o)) {
            a->setEnabled(enabled);
            ++n;
        }
    }
    return n;
}

bool setListItemEnabled(QObject* root, const QString& list, int index, bool enabled)
{
    bool any = false;
    for (QObject* o : objectsNamed(root, list)) {
        if (auto* lw = qobject_cast<QListWidget*>(o)) {
            if (QListWidgetItem* item = lw->item(index)) {
                item->setFlags(enabled ? item->flags() | Qt::ItemIsEnabled : item->flags() & ~Qt::ItemIsEnabled);
                any = true;
            }
        } else if (QStandardItemModel* model = standardModel(o)) {
            if (QStandardItem* item = model->item(index)) {
                item->setEnabled(enabled);
                any = true;
            }
        }
    }
    return any;
}

bool isListItemEnabled(QObject* root, const QString& list, int index)
{
    for (QObject* o : objectsNamed(root, list)) {
        if (auto* lw = qobject_cast<QListWidget*>(o)) {
            if (QListWidgetItem* item = lw->item(index))
                return item->flags().testFlag(Qt::ItemIsEnabled);
        } else if (QStandardItemModel* model = standardModel(o)) {
            if (QStandardItem* item = model->item(index))
                return item->isEnabled();
        }
    }
    return false;
}

bool applyUnit(QObject* root, const UnitProfile& unit)
{
    if (!unit.adaptsControls())
        return false;
    bool lacksAny = false;
    for (const Feature& f : features())
        lacksAny = lacksAny || !f.offered(unit);
    // A unit that has everything enables every control named; one that lacks something disables what it
    // lacks and leaves the rest as it was.
    for (const Feature& f : features()) {
        const bool offered = f.offered(unit);
        if (offered && lacksAny)
            continue;
        for (const QString& name : f.controls)
            setEnabledByName(root, name, offered);
        for (const ListItems& li : f.listItems)
            for (int i : li.items)
                setListItemEnabled(root, li.list, i, offered);
    }
    return true;
}

void applyInitialState(QObject* root)
{
    // Every adaptable control enabled, as a unit with every feature leaves them.
    applyUnit(root, UnitProfile());
    for (const QString& name : glonassControls())
        setEnabledByName(root, name, true);
    for (const QString& name : deviceButtons())
        setEnabledByName(root, name, false);
}

} // namespace rv::adapt
