#include "core/config/sim_presets.h"

namespace rv {

const std::array<SimPreset, 4>& simPresets()
{
    // The operators' published internet access settings.
    static const std::array<SimPreset, 4> presets{{
        {u"Билайн", "internet.beeline.ru", "beeline", "beeline", 102},
        {u"Мегафон", "internet", "gdata", "gdata", 100},
        {u"МТС", "internet.mts.ru", "mts", "mts", 102},
        {u"Теле2", "internet.tele2.ru", "", "", 105},
    }};
    return presets;
}

SimFields simFields(int sim)
{
    const QString n = QString::number(sim);
    return {QStringLiteral("Sim%1Apn").arg(n), QStringLiteral("Sim%1Login").arg(n), QStringLiteral("Sim%1Pass").arg(n),
            QStringLiteral("SIM%1NUM").arg(n), QStringLiteral("Sim%1Custom").arg(n)};
}

std::optional<int> simButton(const ConfigBlock& config, int sim)
{
    const SimFields f = simFields(sim);
    if (config.number(f.custom).value == kSimCustomMark)
        return kSimCustomButton;
    const QString login = config.text(f.login).value;
    if (login.isEmpty())
        return 4;
    switch (login.at(0).unicode()) {
    case u'b': return 1;
    case u'g': return 2;
    case u'm': return 3;
    default: return std::nullopt;
    }
}

void applySimPreset(ConfigBlock& config, int sim, int button)
{
    if (button < 1 || button > int(simPresets().size()))
        return;
    const SimPreset& p = simPresets()[button - 1];
    const SimFields f = simFields(sim);
    config.setText(f.apn, 0, QString::fromLatin1(p.apn));
    config.setText(f.login, 0, QString::fromLatin1(p.login));
    config.setText(f.password, 0, QString::fromLatin1(p.password));
    config.setNumber(f.serviceNumber, p.serviceNumber);
    config.setNumber(f.custom, 0);
}

} // namespace rv
