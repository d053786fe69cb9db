#pragma once

// The signals that end the program from outside (SIGTERM and SIGHUP at a logout, a shutdown or
// a kill; SIGINT from a terminal), turned into a Qt signal in the event loop, where the program
// may still do its work: the handler only writes the signal's number into a socket pair.

#include <QObject>

class QSocketNotifier;

namespace app {

class EndSignals : public QObject {
    Q_OBJECT
public:
    // Catches them while it lives; one at a time in a process.
    explicit EndSignals(QObject *parent = nullptr);
    ~EndSignals() override;

signals:
    void received(int signal);

private:
    void Read();
    QSocketNotifier *m_notifier = nullptr;
};

} // namespace app
