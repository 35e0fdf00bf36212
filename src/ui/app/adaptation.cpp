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

// Monitor labels of input 6..8, output 4 and the second fuel sensor.
const QStringList kMonitorExtras = {
    QStringLiteral("LIN6"), QStringLiteral("LIN7"), QStringLiteral("LIN8"), QStringLiteral("LOUT4"),
    QStringLiteral("Omnival2"), QStringLiteral("Omnitemp2"),
};

// Everything that drives output 4.
const QStringList kOutput4 = {
    QStringLiteral("Out4inact"), QStringLiteral("Out4inpass"), QStringLiteral("ActivOUT4"),
    QStringLiteral("Out4dtmf"), QStringLiteral("OUT4ohactiv"), QStringLiteral("OUT4ohpass"),
    QStringLiteral("OUT4ohtrevoga"), QStringLiteral("Out4extlow"),
};

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

const QList<TypeRule>& typeRules()
{
    static const QList<TypeRule> rules = {
        {2, true,
         kMonitorExtras + kOutput4 + names("INOh", 4, 8)
             + QStringList{QStringLiteral("RzGroupBox29"), QStringLiteral("RzGroupBox16"),
                           QStringLiteral("RzGroupBox33"), QStringLiteral("SCANCAN_en")},
         {{QStringLiteral("PacketStruct_new"), {6, 7}},
          {QStringLiteral("ConditionList"), {4, 5, 6, 7, 8, 12, 21}},
          {QStringLiteral("ActionList"), {6, 7, 8}}}},
        // Type 3 lacks inputs 6..8 and output 4; inputs 4 and 5 exist in another form, so they stay as they are.
        {3, false,
         kMonitorExtras + kOutput4 + names("INOh", 6, 8)
             + QStringList{QStringLiteral("RzGroupBox29"), QStringLiteral("SCANCAN_en"), QStringLiteral("RzGroupBox33")},
         {{QStringLiteral("PacketStruct_new"), {7}},
          {QStringLiteral("ConditionList"), {6, 7, 8, 12, 21}},
          {QStringLiteral("ActionList"), {6, 7, 8}}}},
    };
    return rules;
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

bool applyType(QObject* root, quint8 deviceType)
{
    for (const TypeRule& rule : typeRules()) {
        if (rule.deviceType != deviceType)
            continue;
        for (const QString& name : rule.controls)
            setEnabledByName(root, name, rule.enable);
        for (const ListItems& li : rule.listItems) {
            for (int i : li.items)
                setListItemEnabled(root, li.list, i, rule.enable);
        }
        return true;
    }
    return false;
}

void applyInitialState(QObject* root)
{
    // The type 2 row names every adaptable control and item.
    applyType(root, 2);
    for (const QString& name : glonassControls())
        setEnabledByName(root, name, true);
    for (const QString& name : deviceButtons())
        setEnabledByName(root, name, false);
}

} // namespace rv::adapt
