#pragma once

// One window per user and settings folder: a second start of the program
// hands its files to the window that is running and ends, over a local
// socket that only this user can reach.

#include <QObject>

#include <functional>
#include <string>
#include <vector>

class QLocalServer;
class QLocalSocket;

// The socket of the window that keeps its settings in DataFolder: in
// $XDG_RUNTIME_DIR, else in a folder of the user's own in /tmp (made with
// mode 0700). The name holds the user id and a hash of DataFolder, so that
// copies of the program in separate folders each have their own window.
// "" when no private folder is available (the /tmp folder exists but is not
// this user's alone).
std::string InstanceSocketPath(const std::string& dataFolder);

enum class THandOver {
    Delivered, // the running window took the files
    NoServer,  // no window listens (no socket, or one left by an ended window)
    NoAnswer,  // a window listens but did not confirm in time
};

// Hands Paths to the window listening on SocketPath; a relative path is made
// absolute against the current folder first. Paths travel as bytes, so names
// that are no UTF-8 arrive unchanged. No paths just brings the window up.
THandOver HandFilesToRunningInstance(const std::string& socketPath, const std::vector<std::string>& paths,
                                     int timeoutMs = 5000);

// The running window's end of the socket.
class TInstanceServer : public QObject {
    Q_OBJECT

public:
    explicit TInstanceServer(QObject* parent = nullptr);
    ~TInstanceServer() override;

    // Listens on SocketPath. A socket that no window answers on (left by one
    // that ended without removing it) is removed first. False when it cannot
    // listen (another window took the name meanwhile, or the folder refuses).
    bool Listen(const std::string& socketPath);
    // Receives every hand-over from now on; those that came before it was
    // set are delivered at once.
    void SetReceiver(std::function<void(const std::vector<std::string>&)> receiver);

private:
    void Accept();
    void Read(QLocalSocket* socket);
    void Deliver(std::vector<std::string> paths);

    QLocalServer* server_ = nullptr;
    std::function<void(const std::vector<std::string>&)> receiver_;
    std::vector<std::vector<std::string>> held_;
};
