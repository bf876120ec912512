#include "ui/common/InstanceLink.h"

#include <QByteArray>
#include <QCryptographicHash>
#include <QLocalServer>
#include <QLocalSocket>
#include <QVariant>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A hand-over: this header, each path ended by a NUL byte, and an empty
// entry (one more NUL) at the end. The window answers with one byte.
const QByteArray Header("QVFILES1", 9); // with its NUL
constexpr char Confirmation = 'K';
// More than any command line can carry; a longer message is no hand-over.
constexpr qsizetype MaxMessage = 64 * 1024 * 1024;

// A folder that only this user can use: a real folder (no link), owned by
// the user, with no access for group or others.
bool PrivateFolder(const std::string& path)
{
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid() &&
           (st.st_mode & 077) == 0;
}

std::string AbsolutePath(const std::string& path)
{
    if (!path.empty() && path.front() == '/')
        return path;
    std::string cwd(PATH_MAX, '\0');
    if (!::getcwd(cwd.data(), cwd.size()))
        return path;
    cwd.resize(std::char_traits<char>::length(cwd.data()));
    return (cwd.back() == '/' ? cwd : cwd + "/") + path;
}

// Splits a complete message into its paths; false while it is incomplete or
// when it is no hand-over.
bool ParseMessage(const QByteArray& data, std::vector<std::string>& paths, bool& complete)
{
    complete = false;
    if (!data.startsWith(Header.left(std::min(data.size(), Header.size()))))
        return false;
    if (data.size() < Header.size())
        return true;
    paths.clear();
    qsizetype pos = Header.size();
    for (;;) {
        const qsizetype end = data.indexOf('\0', pos);
        if (end < 0)
            return true;
        if (end == pos) {
            complete = end + 1 == data.size();
            return complete;
        }
        paths.emplace_back(data.constData() + pos, static_cast<size_t>(end - pos));
        pos = end + 1;
    }
}

} // namespace

std::string InstanceSocketPath(const std::string& dataFolder)
{
    std::string folder;
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime && runtime[0] == '/') {
        folder = runtime;
    } else {
        folder = "/tmp/quorvex-" + std::to_string(::geteuid());
        if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
            return {};
        if (!PrivateFolder(folder))
            return {};
    }
    std::error_code ec;
    std::string key = std::filesystem::weakly_canonical(dataFolder, ec).string();
    if (ec || key.empty())
        key = dataFolder;
    while (key.size() > 1 && key.back() == '/')
        key.pop_back();
    const QByteArray hash =
        QCryptographicHash::hash(QByteArray::fromStdString(key), QCryptographicHash::Sha256).toHex().left(16);
    return (folder.back() == '/' ? folder : folder + "/") + "quorvex-" + std::to_string(::geteuid()) + "-" +
           hash.toStdString() + ".socket";
}

THandOver HandFilesToRunningInstance(const std::string& socketPath, const std::vector<std::string>& paths,
                                     int timeoutMs)
{
    QLocalSocket socket;
    socket.connectToServer(QString::fromStdString(socketPath));
    if (!socket.waitForConnected(timeoutMs))
        // No socket, or nothing listens on it (refused): no window runs.
        return socket.error() == QLocalSocket::SocketTimeoutError ? THandOver::NoAnswer : THandOver::NoServer;
    QByteArray message = Header;
    for (const std::string& p : paths) {
        const std::string absolute = AbsolutePath(p);
        if (absolute.empty() || absolute.find('\0') != std::string::npos)
            continue;
        message.append(absolute.data(), static_cast<qsizetype>(absolute.size()));
        message.append('\0');
    }
    message.append('\0');
    socket.write(message);
    while (socket.bytesToWrite() > 0)
        if (!socket.waitForBytesWritten(timeoutMs))
            return THandOver::NoAnswer;
    if (!socket.waitForReadyRead(timeoutMs))
        return THandOver::NoAnswer;
    return socket.read(1) == QByteArray(1, Confirmation) ? THandOver::Delivered : THandOver::NoAnswer;
}

TInstanceServer::TInstanceServer(QObject* parent) : QObject(parent), server_(new QLocalServer(this))
{
    // The socket itself is the user's alone too.
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    connect(server_, &QLocalServer::newConnection, this, &TInstanceServer::Accept);
}

TInstanceServer::~TInstanceServer() = default;

bool TInstanceServer::Listen(const std::string& socketPath)
{
    const QString name = QString::fromStdString(socketPath);
    if (server_->listen(name))
        return true;
    if (server_->serverError() != QAbstractSocket::AddressInUseError)
        return false;
    // The name is taken: by a window that answers (then it is not ours to
    // remove), or by a socket left behind.
    QLocalSocket probe;
    probe.connectToServer(name);
    if (probe.waitForConnected(1000)) {
        probe.abort();
        return false;
    }
    QLocalServer::removeServer(name);
    return server_->listen(name);
}

void TInstanceServer::SetReceiver(std::function<void(const std::vector<std::string>&)> receiver)
{
    receiver_ = std::move(receiver);
    std::vector<std::vector<std::string>> held;
    held.swap(held_);
    for (auto& paths : held)
        Deliver(std::move(paths));
}

void TInstanceServer::Accept()
{
    while (QLocalSocket* socket = server_->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { Read(socket); });
        if (socket->bytesAvailable() > 0)
            Read(socket);
    }
}

void TInstanceServer::Read(QLocalSocket* socket)
{
    QByteArray data = socket->property("received").toByteArray() + socket->readAll();
    std::vector<std::string> paths;
    bool complete = false;
    if (data.size() > MaxMessage || !ParseMessage(data, paths, complete)) {
        socket->abort();
        socket->deleteLater();
        return;
    }
    if (!complete) {
        socket->setProperty("received", data);
        return;
    }
    socket->setProperty("received", QByteArray());
    socket->write(QByteArray(1, Confirmation));
    socket->flush();
    socket->disconnectFromServer();
    Deliver(std::move(paths));
}

void TInstanceServer::Deliver(std::vector<std::string> paths)
{
    if (receiver_)
        receiver_(paths);
    else
        held_.push_back(std::move(paths));
}
