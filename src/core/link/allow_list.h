#pragma once

// The IMEIs that may use the program's server. Empty means anyone who greets. Read from a comma (or
// space, or line) separated text, a file of such text with '#' comments, or the [Server] section of
// Config.ini, which also holds the networks callers may come from and the server's limits.
//
// A list that was given but holds no IMEI (an empty or comment-only file, an empty value) is never taken
// as "anyone": the server does not start. Only a list that was not given at all lets any unit in.

#include "core/link/allowed_nets.h"
#include "core/link/connected_units.h"

#include <QSet>
#include <QString>

#include <optional>

namespace rv {

class AllowList {
public:
    // The IMEIs in `text`; nullopt with `error` set when an entry is no IMEI (core/link/imei.h).
    static std::optional<AllowList> parse(QStringView text, QString* error = nullptr);
    // Through the program's input-file rules: a regular file of at most kMaxFileSize bytes.
    static std::optional<AllowList> fromFile(const QString& path, QString* error = nullptr);
    static constexpr qint64 kMaxFileSize = 4 << 20;

    bool isEmpty() const { return m_imeis.isEmpty(); }
    int size() const { return static_cast<int>(m_imeis.size()); }
    bool allows(const QString& imei) const { return m_imeis.isEmpty() || m_imeis.contains(imei); }
    void merge(const AllowList& other) { m_imeis.unite(other.m_imeis); }

private:
    QSet<QString> m_imeis;
};

inline constexpr char16_t kServerSection[] = u"Server";
inline constexpr char16_t kAllowKey[] = u"Allow";
inline constexpr char16_t kAllowFileKey[] = u"Allow file";
inline constexpr char16_t kAllowNetKey[] = u"Allow net";
inline constexpr char16_t kMaxPerAddressKey[] = u"Max per address";
inline constexpr char16_t kGreetTimeoutKey[] = u"Greeting timeout";
inline constexpr char16_t kSilenceTimeoutKey[] = u"Silence timeout";

struct ServerSettings {
    AllowList allow;
    AllowedNets nets;
    CallerTimeouts timeouts;
    int maxPerAddress = kDefaultMaxPerAddress;
};
// The [Server] section of Config.ini: "Allow" (IMEIs), "Allow file" (a file of them), "Allow net" (CIDR
// blocks), "Max per address" (callers from one address that may wait to greet) and the two time limits in
// seconds. A missing file or section gives the defaults; a bad entry, a list given empty, or a Config.ini
// that is there but cannot be read whole gives nullopt and `error`, so that the server is not started more
// open than the user asked.
std::optional<ServerSettings> readServerSettings(const QString& iniPath, QString* error = nullptr);

// The reason a list that was given holds nothing ("… нет ни одного IMEI"); `what` names where it came from.
QString emptyAllowListText(const QString& what);

} // namespace rv
