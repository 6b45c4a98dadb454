#pragma once
// One running program per user: the first instance listens on a per-user local
// socket; a later start connects, asks it to come to the front (or to close, for
// the uninstaller) and exits.
//
// The socket is $XDG_RUNTIME_DIR/QuorinVideoConverter.sock, else
// $TMPDIR/QuorinVideoConverter-<uid>.sock (TMPDIR default /tmp).

#include <QObject>
#include <functional>
#include <string>

class QLocalServer;

namespace app {

class SingleInstance : public QObject {
    Q_OBJECT
public:
    static std::string socketPath();

    // Asks a running instance to "activate" or "close". True when one answered.
    static bool notifyRunning(const std::string& command, int timeout_ms = 2000);

    // Becomes the running instance: `on_command` gets every command of later
    // starts on this thread. False when the socket cannot be taken (another
    // instance listens, or the folder is not writable).
    bool listen(std::function<void(const std::string& command)> on_command);

private:
    QLocalServer* server_ = nullptr;
    std::function<void(const std::string&)> on_command_;
};

}  // namespace app
