#include "library/PlaylistFile.h"

#include <QFile>
#include <QFileInfo>
#include <QVariantList>

#include <algorithm>

namespace {

// Takes the entries from the reader's events as they come: the list is built once, with no tree of the whole
// document in between.
class EntryCollector final : public PropertyList::Handler
{
public:
    bool rootIsArray() const { return m_rootIsArray; }
    QList<PlaylistEntry> &entries() { return m_entries; }

    void beginArray(qsizetype count) override
    {
        if (m_depth == 0) {
            m_rootIsArray = true;
            // One allocation instead of a list that doubles as it grows. A file under the size limit holds
            // fewer entries than the cap; a count above it can only be a damaged file's.
            if (count > 0)
                m_entries.reserve(std::min<qsizetype>(count, 1 << 20));
        } else if (m_depth == 1) {
            m_inEntry = true;
            m_position = 0;
            m_valid = true;
        } else if (m_depth == 2 && m_inEntry) {
            notAText();
        }
        ++m_depth;
    }
    void beginDict() override
    {
        if (m_depth == 1)
            m_inEntry = false;
        else if (m_depth == 2 && m_inEntry)
            notAText();
        ++m_depth;
    }
    void endContainer() override
    {
        --m_depth;
        if (m_depth == 1 && m_inEntry) {
            if (m_valid && m_position >= 2)
                m_entries.append(PlaylistEntry{std::move(m_file), m_mark == QLatin1String("1")});
            m_inEntry = false;
        }
    }
    void key(QString &&) override {}
    void string(QString &&text) override
    {
        if (m_depth != 2 || !m_inEntry)
            return;
        if (m_position == 0)
            m_file = std::move(text);
        else if (m_position == 1)
            // Nearly every mark is "0": one shared text instead of one per entry.
            m_mark = text == QLatin1String("0") ? zero() : std::move(text);
        ++m_position;
    }
    void integer(qint64) override { scalar(); }
    void real(double) override { scalar(); }
    void boolean(bool) override { scalar(); }
    void other() override { scalar(); }

private:
    static const QString &zero()
    {
        static const QString text = QStringLiteral("0");
        return text;
    }
    void scalar()
    {
        if (m_depth == 2 && m_inEntry)
            notAText();
    }
    // An entry's first two elements must be texts; what follows them does not matter.
    void notAText()
    {
        if (m_position < 2)
            m_valid = false;
        ++m_position;
    }

    QList<PlaylistEntry> m_entries;
    QString m_file;
    QString m_mark;
    int m_depth = 0;
    int m_position = 0;
    bool m_rootIsArray = false;
    bool m_inEntry = false;
    bool m_valid = false;
};

} // namespace

namespace PlaylistFile {

Loaded load(const QString &path)
{
    EntryCollector collector;
    Loaded loaded;
    loaded.error = PropertyList::parseFile(path, collector);
    if (loaded.error == PropertyList::Error::None && !collector.rootIsArray())
        loaded.error = PropertyList::Error::Malformed; // a property list, but no playlist
    if (loaded.error == PropertyList::Error::None)
        loaded.entries = std::move(collector.entries());
    return loaded;
}

std::optional<QList<PlaylistEntry>> read(const QString &path)
{
    Loaded loaded = load(path);
    if (loaded.error != PropertyList::Error::None)
        return std::nullopt;
    return std::move(loaded.entries);
}

PropertyList::WriteResult write(const QString &path, const QList<PlaylistEntry> &entries)
{
    QVariantList root;
    root.reserve(entries.size());
    for (const PlaylistEntry &entry : entries)
        root.append(QVariant(QVariantList{entry.file, QStringLiteral("0")}));
    return PropertyList::write(path, root);
}

QString setAside(const QString &path)
{
    for (int attempt = 1; attempt <= 100; ++attempt) {
        const QString target = attempt == 1 ? path + QStringLiteral(".unreadable")
                                            : QStringLiteral("%1.%2.unreadable").arg(path).arg(attempt);
        // An earlier unreadable file keeps its name: QFile::rename never replaces.
        if (QFileInfo::exists(target) || QFileInfo(target).isSymLink())
            continue;
        return QFile::rename(path, target) ? target : QString();
    }
    return {};
}

} // namespace PlaylistFile
