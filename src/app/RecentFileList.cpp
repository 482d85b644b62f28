#include "app/RecentFileList.h"

#include "io/FileNames.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#include <QFile>
#endif

using namespace Qt::StringLiterals;

namespace {
const QString kSection = u"Recent File List"_s;
const QString kEntry = u"File%1"_s;
} // namespace

bool IsSameFile(const QString& a, const QString& b) {
    if (a.isEmpty() || b.isEmpty())
        return false;
#ifdef Q_OS_UNIX
    struct stat sa {}, sb {};
    if (::stat(io::EncodeName(a).constData(), &sa) == 0 &&
        ::stat(io::EncodeName(b).constData(), &sb) == 0)
        return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
#else
    const QFileInfo fa(a), fb(b);
    if (fa.exists() && fb.exists())
        return fa.canonicalFilePath().compare(fb.canonicalFilePath(), Qt::CaseInsensitive) == 0;
#endif
    return QDir::cleanPath(QFileInfo(a).absoluteFilePath()) ==
           QDir::cleanPath(QFileInfo(b).absoluteFilePath());
}

void CRecentFileList::Add(const QString& path) {
    const QString full = io::AbsolutePath(path);
    for (qsizetype i = m_files.size() - 1; i >= 0; --i)
        if (m_files[i] == full || IsSameFile(m_files[i], full))
            m_files.removeAt(i);
    m_files.prepend(full);
    while (m_files.size() > m_size)
        m_files.removeLast();
}

void CRecentFileList::Remove(int index) {
    if (index >= 0 && index < m_files.size())
        m_files.removeAt(index);
}

void CRecentFileList::ReadList(QSettings& settings) {
    m_files.clear();
    settings.beginGroup(kSection);
    for (int i = 1; i <= m_size; ++i) {
        // A name that is not UTF-8 is kept as its bytes.
        const QVariant value = settings.value(kEntry.arg(i));
        const QString file = value.typeId() == QMetaType::QByteArray
                                 ? io::DecodeName(value.toByteArray())
                                 : value.toString();
        if (!file.isEmpty())
            m_files << file;
    }
    settings.endGroup();
}

void CRecentFileList::WriteList(QSettings& settings) const {
    settings.beginGroup(kSection);
    for (int i = 1; i <= m_size; ++i) {
        if (i <= m_files.size() && io::DecodeName(m_files[i - 1].toUtf8()) == m_files[i - 1])
            settings.setValue(kEntry.arg(i), m_files[i - 1]);
        else if (i <= m_files.size())
            settings.setValue(kEntry.arg(i), io::EncodeName(m_files[i - 1]));
        else
            settings.remove(kEntry.arg(i));
    }
    settings.endGroup();
}

QString CRecentFileList::ShownPath(int index) const {
    if (index < 0 || index >= m_files.size())
        return {};
    return QDir::toNativeSeparators(io::DisplayName(m_files[index]));
}

QString CRecentFileList::MenuLabel(int index,
                                   const std::function<QString(const QString&)>& shorten) const {
    if (index < 0 || index >= m_files.size())
        return {};
    QString shown = AbbreviatePath(ShownPath(index));
    if (shorten)
        shown = shorten(shown);
    shown.replace(u'&', u"&&"_s);
    return u"&%1 "_s.arg(index + 1) + shown;
}

QString AbbreviatePath(const QString& path, int maxLength) {
    if (path.size() <= maxLength)
        return path;
    const QChar sep = path.contains(u'\\') && !path.contains(u'/') ? u'\\' : u'/';
    // The root: "/", "C:\", or "\\server\share\".
    qsizetype rootLength = 0;
    if (path.startsWith(u"\\\\"_s)) {
        const qsizetype server = path.indexOf(sep, 2);
        const qsizetype share = server < 0 ? -1 : path.indexOf(sep, server + 1);
        rootLength = share < 0 ? 0 : share + 1;
    } else if (path.size() >= 3 && path[1] == u':' && path[2] == sep) {
        rootLength = 3;
    } else if (path.startsWith(sep)) {
        rootLength = 1;
    }
    const QString root = path.left(rootLength);
    const QStringList parts = path.mid(rootLength).split(sep, Qt::SkipEmptyParts);
    if (parts.isEmpty())
        return path;
    const QString dots = u"..."_s;
    QString tail = parts.last();
    if (root.size() + dots.size() + 1 + tail.size() > maxLength)
        return tail; // not even one folder fits: the file name alone
    for (qsizetype i = parts.size() - 2; i >= 0; --i) {
        const QString longer = parts[i] + sep + tail;
        if (root.size() + dots.size() + 1 + longer.size() > maxLength)
            break;
        tail = longer;
    }
    return root + dots + sep + tail;
}
