#include "DurableFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#else
#include <filesystem>
#include <system_error>
#endif

namespace DurableFile {

namespace {

QString randomSuffix()
{
    const quint64 r = QRandomGenerator::global()->generate64();
    return QStringLiteral("%1").arg(r & 0xFFFFFFFFFFFFULL, 12, 16, QLatin1Char('0'));
}

QString temporaryNameFor(const QString &target)
{
    return target + QLatin1String(TemporaryMark) + randomSuffix();
}

} // namespace

QString reasonText(int errorNumber)
{
    switch (errorNumber) {
    case ENOSPC:
        return QStringLiteral("Le disque est plein.");
#ifdef EDQUOT
    case EDQUOT:
        return QStringLiteral("Le quota du disque est atteint.");
#endif
    case EACCES:
    case EPERM:
        return QStringLiteral("Accès refusé.");
    case EROFS:
        return QStringLiteral("Le support est en lecture seule.");
    case EISDIR:
        return QStringLiteral("Un dossier porte ce nom.");
    case ENOENT:
        return QStringLiteral("Le dossier n'existe pas.");
    case ENOTDIR:
        return QStringLiteral("Le chemin ne mène pas à un dossier.");
    case EIO:
        return QStringLiteral("Erreur d'entrée-sortie du disque.");
    case ENAMETOOLONG:
        return QStringLiteral("Le nom du fichier est trop long.");
    case EMFILE:
    case ENFILE:
        return QStringLiteral("Trop de fichiers ouverts.");
    default:
        return qt_error_string(errorNumber);
    }
}

void syncFolderOf(const QString &path)
{
#ifdef Q_OS_UNIX
    const QByteArray dir = QFile::encodeName(QFileInfo(path).absolutePath());
    const int fd = ::open(dir.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
#else
    Q_UNUSED(path);
#endif
}

#ifdef Q_OS_UNIX

namespace {

// Creates the temporary file with a fresh name; -1 and errno on failure.
int createTemporary(const QString &target, QByteArray *name)
{
    for (int attempt = 0; attempt < 32; ++attempt) {
        *name = QFile::encodeName(temporaryNameFor(target));
        const int fd = ::open(name->constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    return -1;
}

bool writeAll(int fd, const QByteArray &bytes)
{
    const char *p = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, size_t(left));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (n == 0) {
            errno = ENOSPC;
            return false;
        }
        p += n;
        left -= n;
    }
    return true;
}

} // namespace

QString write(const QString &path, const QByteArray &bytes, bool syncFolder)
{
    // A link is written through, to the file it points at, as an editor would.
    QString target = path;
    const QFileInfo info(path);
    if (info.isSymLink() && !info.symLinkTarget().isEmpty())
        target = info.symLinkTarget();
    const QByteArray targetName = QFile::encodeName(target);

    struct stat st;
    const bool exists = ::stat(targetName.constData(), &st) == 0;
    if (exists && S_ISDIR(st.st_mode))
        return reasonText(EISDIR);

    QByteArray tempName;
    const int fd = createTemporary(target, &tempName);
    if (fd < 0)
        return reasonText(errno);
    const auto fail = [&](int err, bool open) {
        if (open)
            ::close(fd);
        ::unlink(tempName.constData());
        return reasonText(err);
    };
    // The replacement keeps the permissions of the file it replaces.
    if (exists)
        ::fchmod(fd, st.st_mode & 07777);
    if (!writeAll(fd, bytes))
        return fail(errno, true);
    // A full disk or a failing device may only show here, when the data reach the disk.
    if (::fsync(fd) != 0)
        return fail(errno, true);
    if (::close(fd) != 0)
        return fail(errno, false);
    if (::rename(tempName.constData(), targetName.constData()) != 0)
        return fail(errno, false);
    if (syncFolder)
        syncFolderOf(target);
    return {};
}

QString probeFolder(const QString &folder)
{
    QByteArray name;
    const int fd = createTemporary(QDir(folder).filePath(QStringLiteral(".zelvano-probe")), &name);
    if (fd < 0)
        return reasonText(errno);
    const bool ok = writeAll(fd, QByteArray(1, '\n'));
    const int err = errno;
    ::close(fd);
    ::unlink(name.constData());
    return ok ? QString() : reasonText(err);
}

#else

QString write(const QString &path, const QByteArray &bytes, bool syncFolder)
{
    Q_UNUSED(syncFolder);
    QString tempName;
    QFile file;
    for (int attempt = 0; attempt < 32; ++attempt) {
        tempName = temporaryNameFor(path);
        file.setFileName(tempName);
        if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
            break;
        if (!QFile::exists(tempName))
            return file.errorString();
    }
    if (!file.isOpen())
        return file.errorString();
    if (file.write(bytes) != bytes.size() || !file.flush()) {
        const QString reason = file.errorString();
        file.close();
        QFile::remove(tempName);
        return reason;
    }
    file.close();
    std::error_code ec;
    std::filesystem::rename(std::filesystem::path(tempName.toStdWString()),
                            std::filesystem::path(path.toStdWString()), ec);
    if (ec) {
        QFile::remove(tempName);
        return QString::fromStdString(ec.message());
    }
    return {};
}

QString probeFolder(const QString &folder)
{
    QFile file(temporaryNameFor(QDir(folder).filePath(QStringLiteral(".zelvano-probe"))));
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        return file.errorString();
    const bool ok = file.write("\n", 1) == 1 && file.flush();
    const QString reason = file.errorString();
    file.close();
    file.remove();
    return ok ? QString() : reason;
}

#endif

bool isTemporaryOf(const QString &fileName, const QString &target)
{
    const QString prefix = target + QLatin1String(TemporaryMark);
    if (fileName.size() != prefix.size() + 12 || !fileName.startsWith(prefix))
        return false;
    for (qsizetype i = prefix.size(); i < fileName.size(); ++i) {
        const QChar c = fileName.at(i);
        if (!((c >= QLatin1Char('0') && c <= QLatin1Char('9')) || (c >= QLatin1Char('a') && c <= QLatin1Char('f'))))
            return false;
    }
    return true;
}

int removeTemporaries(const QString &folder, const QStringList &targets)
{
    QDir dir(folder);
    int removed = 0;
    for (const QString &name : dir.entryList(QDir::Files | QDir::Hidden | QDir::System)) {
        for (const QString &target : targets) {
            if (isTemporaryOf(name, target)) {
                if (dir.remove(name))
                    ++removed;
                break;
            }
        }
    }
    return removed;
}

}
