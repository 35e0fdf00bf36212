#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QObject>
#include <QString>

namespace rv {

// Why a port could not be opened.
enum class OpenFailure { None, Missing, Denied, Busy, NotSerial, Other };

// The byte channel to a unit as the protocol layers see it: open by name, write, read what is waiting,
// discard input, and a notification (on the thread that owns the link) that bytes have arrived.
class Link : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    ~Link() override = default;

    // Opens the named port (closing the current one first). False when it cannot be opened;
    // lastOpenError() then says why, in words for the user.
    virtual bool open(const QString& name) = 0;
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
    // Bytes written; -1 when closed; fewer than asked (0 included) when the write failed.
    virtual int write(QByteArrayView data) = 0;
    // Up to maxCount bytes; returns early when they are all there, else after the read time-out.
    virtual QByteArray read(int maxCount) = 0;
    virtual void discardInput() = 0;
    virtual QString lastOpenError() const { return {}; }
    virtual OpenFailure lastOpenFailure() const { return OpenFailure::None; }

signals:
    // queued = the number of bytes now waiting in the input queue (not only the new ones).
    void bytesArrived(quint32 queued);
    // The line hung up (adapter pulled, far end closed): reported once, as soon as the port sees it.
    void hungUp();
};

} // namespace rv
