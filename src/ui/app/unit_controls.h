#pragma once

// The controls that follow the connected unit: the device buttons (enabled while a unit is there), the
// adaptation to its type and to its satellite-system option, the captions that depend on the type. The state
// follows from the last adaptation alone, so a page installed later gets the same state as if it had been
// there all along.

#include <QString>

#include <optional>

class QObject;

namespace rv {

class UnitControls {
public:
    bool buttonsEnabled() const { return m_buttonsEnabled; }
    // Each applies to every control under `root` and is remembered for pages installed later.
    void enableButtons(QObject* root, bool on);
    void adaptToOptions(QObject* root, quint8 options);
    void adaptToType(QObject* root, quint8 type);
    // The state of the last adaptation, on a page installed now.
    void apply(QObject* root) const;

    // The voice page's buttons name what they do for the type; other types keep their captions.
    static void showVoiceCaptions(QObject* root, quint8 type);
    // Reset_but reads "Перезагрузить" or, on a low supply, "Выключить"; its tool tip says the same.
    static void showResetCaption(QObject* root, const QString& caption);

private:
    static void applyGlonass(QObject* root, quint8 options);

    bool m_buttonsEnabled = false;
    std::optional<quint8> m_type;
    std::optional<quint8> m_options;
};

} // namespace rv
