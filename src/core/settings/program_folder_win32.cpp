#include "core/settings/program_folder.h"

#include <QDir>
#include <QUuid>

#include <windows.h>
#include <knownfolders.h>
#include <shlobj.h>

namespace rv {

namespace {

QString knownFolder(REFKNOWNFOLDERID id)
{
    PWSTR path = nullptr;
    QString out;
    if (SUCCEEDED(::SHGetKnownFolderPath(id, KF_FLAG_DEFAULT, nullptr, &path)) && path)
        out = QDir::cleanPath(QDir::fromNativeSeparators(QString::fromWCharArray(path)));
    ::CoTaskMemFree(path);
    return out;
}

bool isUnder(const QString& dir, const QString& root)
{
    return !root.isEmpty()
           && (dir.compare(root, Qt::CaseInsensitive) == 0
               || dir.startsWith(root + u'/', Qt::CaseInsensitive));
}

} // namespace

// An installed program (C:\Program Files\rvconf) keeps its files per user, even when run as administrator.
bool isSystemProgramFolder(const QString& dir)
{
    const QString clean = QDir::cleanPath(QDir::fromNativeSeparators(dir));
    for (REFKNOWNFOLDERID id : {FOLDERID_ProgramFiles, FOLDERID_ProgramFilesX64, FOLDERID_ProgramFilesX86}) {
        if (isUnder(clean, knownFolder(id)))
            return true;
    }
    return false;
}

// The folder's attributes and Qt's look at them say nothing of its access list: only creating a file tells.
bool folderIsWritable(const QString& dir)
{
    const QString probe = QDir(dir).filePath(QStringLiteral(".rvconf-%1.tmp").arg(QUuid::createUuid().toString(QUuid::Id128)));
    const std::wstring native = QDir::toNativeSeparators(probe).toStdWString();
    const HANDLE h = ::CreateFileW(native.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                   FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    ::CloseHandle(h);
    return true;
}

QString userProgramFolder()
{
    QString base = knownFolder(FOLDERID_LocalAppData);
    if (base.isEmpty())
        base = QDir::fromNativeSeparators(qEnvironmentVariable("LOCALAPPDATA"));
    if (base.isEmpty())
        base = QDir::homePath() + QStringLiteral("/AppData/Local");
    const QString user = QDir(base).filePath(QStringLiteral("rvconf"));
    QDir().mkpath(user);
    return user;
}

} // namespace rv
