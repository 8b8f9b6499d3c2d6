#include "PortPermission.h"

#include "LanguageReader.h"
#include "TextKeys.h"
#include "TextTemplate.h"

#include <QFile>

#include <cerrno>
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

// For error-message files made before the hint existed.
const char DEFAULT_HINT[] =
    "You are not allowed to use the serial port %s. It belongs to the group \"%s\". "
    "Add yourself to that group with the command \"sudo usermod -aG %s $USER\", then log "
    "out and log in again.";

// The group most serial ports belong to, named when a node cannot tell.
const char USUAL_GROUP[] = "dialout";

} // namespace

bool PortPermission::IsDenied(const QString& devicePath) {
    if (devicePath.isEmpty()) {
        return false;
    }
    const QByteArray path = QFile::encodeName(devicePath);
    struct stat node {};
    if (::stat(path.constData(), &node) != 0) {
        return false;
    }
    return ::access(path.constData(), R_OK | W_OK) != 0 && errno == EACCES;
}

QString PortPermission::GroupOf(const QString& devicePath) {
    const QByteArray path = QFile::encodeName(devicePath);
    struct stat node {};
    if (devicePath.isEmpty() || ::stat(path.constData(), &node) != 0) {
        return QString();
    }
    long size = ::sysconf(_SC_GETGR_R_SIZE_MAX);
    std::vector<char> buffer(size > 0 ? static_cast<size_t>(size) : 16384);
    group entry{};
    group* found = nullptr;
    int status = 0;
    while ((status = ::getgrgid_r(node.st_gid, &entry, buffer.data(), buffer.size(), &found)) ==
               ERANGE &&
           buffer.size() < (1u << 20)) {
        buffer.resize(buffer.size() * 2);
    }
    if (status == 0 && found != nullptr && found->gr_name != nullptr) {
        return QString::fromLocal8Bit(found->gr_name);
    }
    return QString::number(node.st_gid);
}

QString PortPermission::Hint(const LanguageReader& errorTexts, const QStringList& devicePaths) {
    const QString key = QLatin1String(TextKeys::ERR_PORT_PERMISSION);
    QString format = errorTexts.GetText(key);
    if (format == key) {
        format = QLatin1String(DEFAULT_HINT);
    }
    QString group = devicePaths.isEmpty() ? QString() : GroupOf(devicePaths.first());
    if (group.isEmpty()) {
        group = QLatin1String(USUAL_GROUP);
    }
    return TextTemplate::Fill(format, {devicePaths.join(QStringLiteral(", ")), group, group});
}
