#pragma once

// The editor pages and the records: installs the pages in the main window, shows the records on them when a
// record is replaced (Read_config, Read_Config2, Load_connect_page) and gathers them back just before a
// record is written (Load_config, Write_Config2). Later pages join with addPage.

#include "core/protocol/reply_blocks.h"

#include <QList>
#include <QObject>
#include <QStringList>

namespace rv {

class ConnectSetPage;
class ConnectSet2Page;
class ConnectionsPage;
class EditorPage;
class MainWindow;
class SessionController;
struct ConfigRecords;

class ConfigPages : public QObject {
    Q_OBJECT
public:
    // Installs the editor pages and binds them to the session's records, the window's configuration
    // document: the pages show the records whenever the document loads them.
    ConfigPages(MainWindow& window, SessionController& session);

    // Installs a page at its index in place of the stand-in; it takes part in every fill and gathering.
    void addPage(EditorPage* page);
    EditorPage* page(int index) const;
    ConfigRecords& records() const { return m_records; }

    ConnectSetPage* connectSetPage() const { return m_connectSet; }
    ConnectionsPage* connectionsPage() const { return m_connections; }
    ConnectSet2Page* connectSet2Page() const { return m_connectSet2; }

    // The record of `kind` was replaced: every page shows it (ConfigBlock: Read_config, then the
    // connection shown; ConfSeBlock: Read_Config2).
    void readRecord(RecordKind kind);
    // All three records were replaced (a file opened, the start-up configuration).
    void readAll();
    // Every page's controls into the record of `kind` of `to`. The main record also gets its format mark.
    // Returns the objectNames of controls whose values were refused; the record keeps its values there.
    QStringList gatherRecord(ConfigRecords& to, RecordKind kind);

    // What a write or a save would send now: a copy of the records with every page gathered into it. The
    // program's records stay as they are and no message is shown for a refused value.
    ConfigRecords gathered();

    void Read_config() { readRecord(RecordKind::Config); }
    void Read_Config2() { readRecord(RecordKind::ConfSe); }
    QStringList Load_config(ConfigRecords& to) { return gatherRecord(to, RecordKind::Config); }
    QStringList Write_Config2(ConfigRecords& to) { return gatherRecord(to, RecordKind::ConfSe); }
    // Shows connection `connection` (0..4) on the Connections page.
    void Load_connect_page(int connection);

signals:
    // A gathering refused the values of these controls (they are marked on their pages).
    void valuesRefused(const QStringList& controls);

private:
    void readPages(RecordKind kind); // every page, nothing else
    // Inputs, Outs and Ohrana, with the input node hook and the live bar.
    void addInputPages(MainWindow& window, SessionController& session);

    MainWindow& m_window;
    ConfigRecords& m_records;
    QList<EditorPage*> m_pages;
    ConnectSetPage* m_connectSet = nullptr;
    ConnectionsPage* m_connections = nullptr;
    ConnectSet2Page* m_connectSet2 = nullptr;
};

} // namespace rv
