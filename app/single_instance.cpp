#include "app/single_instance.h"

#include <QCryptographicHash>
#include <QDir>

namespace tendrix::app {

std::string SingleInstance::LockPath(const std::string& soft_name) {
    // The session's runtime directory when there is one, else the temporary directory.
    QString dir = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (dir.isEmpty() || !QDir(dir).exists()) dir = QDir::tempPath();
    const QByteArray hash =
        QCryptographicHash::hash(QByteArray::fromStdString(soft_name), QCryptographicHash::Sha1)
            .toHex()
            .left(16);
    return (dir + "/tendrix-" + QString::fromLatin1(hash) + ".lock").toStdString();
}

SingleInstance::SingleInstance(const std::string& soft_name)
    : lock_(std::make_unique<QLockFile>(QString::fromStdString(LockPath(soft_name)))) {
    // A lock left by a crashed instance is stale once its process is gone.
    lock_->setStaleLockTime(0);
    acquired_ = lock_->tryLock(0);
}

}  // namespace tendrix::app
