#include "ui/link/network_binding.h"

#include "core/protocol/remote_session.h"
#include "ui/app/adaptation.h"
#include "ui/app/main_window.h"
#include "ui/link/server_window.h"
#include "ui/monitor/label_updates.h"

namespace rv {

namespace {
// The tool-bar operations the network protocol carries; "Сравнить" reads the unit as "Считать" does.
const QStringList kRemoteButtons = {QStringLiteral("Download_device"), QStringLiteral("Upload_device"),
                                    QStringLiteral("Reset_but"), QStringLiteral("Erase_track"),
                                    QStringLiteral("Compare_device"), QStringLiteral("CompareDevice")};
} // namespace

NetworkBinding::NetworkBinding(MainWindow& w, RemoteSession& remote) : QObject(&w), m_window(w)
{
    QDialog* shell = w.window(QStringLiteral("TForm10"));
    m_server = new ServerWindow(remote, &w);
    w.addWindow(m_server); // the port dialog's "TCP/IP" shows this one now
    if (shell && shell != m_server)
        shell->deleteLater();

    connect(&remote, &RemoteSession::greeted, this, [this](const remote::GreetingInfo& g) {
        applyLabelUpdates(&m_window, greetingLabels(g));
    });
    connect(&remote, &RemoteSession::toolButtonsEnabled, this, [this](bool on) {
        for (const QString& name : kRemoteButtons)
            adapt::setEnabledByName(&m_window, name, on);
    });
}

} // namespace rv
