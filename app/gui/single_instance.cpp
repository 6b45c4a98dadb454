#include "app/gui/single_instance.h"

#include <unistd.h>

#include <QLocalServer>
#include <QLocalSocket>
#include <cstdlib>
#include <filesystem>
#include <vector>

namespace app {

namespace {
constexpr qint64 kMaxCommandBytes = 16 << 20;
}  // namespace

std::string SingleInstance::socketPath() {
    // A local socket's path holds at most 107 bytes: a longer one would leave every
    // start without the running instance, so the next folder is taken instead.
    constexpr std::size_t kMaxSocketPath = 107;
    const std::string own = "QuorinVideoConverter-" + std::to_string(getuid()) + ".sock";
    std::vector<std::string> paths;
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && *runtime)
        paths.push_back((std::filesystem::path(runtime) / "QuorinVideoConverter.sock").string());
    if (const char* tmp = std::getenv("TMPDIR"); tmp && *tmp)
        paths.push_back((std::filesystem::path(tmp) / own).string());
    paths.push_back("/tmp/" + own);
    for (const std::string& path : paths) {
        if (path.size() <= kMaxSocketPath)
            return path;
    }
    return paths.back();
}

bool SingleInstance::notifyRunning(const std::string& command, int timeout_ms) {
    QLocalSocket socket;
    socket.connectToServer(QString::fromStdString(socketPath()));
    if (!socket.waitForConnected(timeout_ms))
        return false;
    socket.write(QByteArray::fromStdString(command + "\n"));
    if (!socket.waitForBytesWritten(timeout_ms))
        return false;
    // The answer tells that a live instance read it, not merely a stale socket file.
    if (!socket.waitForReadyRead(timeout_ms))
        return false;
    return socket.readLine().trimmed() == "ok";
}

bool SingleInstance::listen(std::function<void(const std::string&)> on_command) {
    on_command_ = std::move(on_command);
    if (server_ && server_->isListening())
        return true;
    if (!server_) {
        server_ = new QLocalServer(this);
        server_->setSocketOptions(QLocalServer::UserAccessOption);
    }
    const QString path = QString::fromStdString(socketPath());
    // Qt would silently replace a live instance's socket file, so ask first. A file
    // nobody answers on was left by a crash and is taken over. A live instance
    // answers well within the wait, even when busy.
    if (notifyRunning("ping", 3000))
        return false;
    QLocalServer::removeServer(path);
    if (!server_->listen(path))
        return false;
    connect(server_, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = server_->nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
                // A command may be long (the files of an "open") and arrive in pieces.
                while (socket->canReadLine()) {
                    const std::string command = socket->readLine(kMaxCommandBytes).trimmed().toStdString();
                    socket->write("ok\n");
                    socket->flush();
                    if (command != "ping" && on_command_)
                        on_command_(command);
                }
                if (socket->bytesAvailable() > kMaxCommandBytes)
                    socket->abort();
            });
        }
    });
    return true;
}

}  // namespace app
