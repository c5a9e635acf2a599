#include "InningsTable.h"
#include "AppError.h"
#include "DurableFile.h"

#include <QDataStream>
#include <QFile>
#include <QFileInfo>
#include <QtEndian>
#include <array>


// The rows and their aggregates, shared by the owner and its clone cursors.
struct InningsTable::Store {
    bool open = false;
    std::vector<InningRow> rows;
    std::optional<qint64> agg[6];
    InningsTable *owner = nullptr;

    void recompute()
    {
        for (int f = 0; f < 2; ++f) {
            qint64 sum = 0, count = 0, max = 0;
            for (const InningRow &r : rows) {
                if (!r.pts[f])
                    continue;
                const qint64 v = *r.pts[f];
                if (count == 0 || v > max)
                    max = v;
                sum += v;
                ++count;
            }
            // Over a column without any value, Count is null like Sum and Max.
            const int base = f * 3;
            agg[base] = count ? std::optional<qint64>(sum) : std::nullopt;
            agg[base + 1] = count ? std::optional<qint64>(count) : std::nullopt;
            agg[base + 2] = count ? std::optional<qint64>(max) : std::nullopt;
        }
    }
};

namespace {

// --- backup file layout ------------------------------------------------------------
// "ZVFM", format version, then a QDataStream body: field count and names, row count, one
// null mask byte per row followed by its non-null values; a CRC-32 of everything before
// closes the file so a torn or foreign file is refused instead of half loaded.
constexpr char kMagic[4] = {'Z', 'V', 'F', 'M'};
constexpr quint16 kFormatVersion = 1;
constexpr QDataStream::Version kStreamVersion = QDataStream::Qt_5_15;
const char *const kFieldNames[2] = {"Pts1", "Pts2"};

quint32 crc32(const QByteArray &data)
{
    static const std::array<quint32, 256> table = [] {
        std::array<quint32, 256> t{};
        for (quint32 i = 0; i < 256; ++i) {
            quint32 c = i;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[i] = c;
        }
        return t;
    }();
    quint32 c = 0xFFFFFFFFu;
    for (const char ch : data)
        c = table[(c ^ quint8(ch)) & 0xFF] ^ (c >> 8);
    return c ^ 0xFFFFFFFFu;
}

QByteArray encode(const std::vector<InningRow> &rows)
{
    QByteArray bytes;
    {
        QDataStream out(&bytes, QIODevice::WriteOnly);
        out.setVersion(kStreamVersion);
        out.setByteOrder(QDataStream::BigEndian);
        out.writeRawData(kMagic, 4);
        out << kFormatVersion;
        out << quint32(2);
        for (const char *name : kFieldNames)
            out << QByteArray(name);
        out << quint32(rows.size());
        for (const InningRow &r : rows) {
            const quint8 mask = (r.pts[0] ? 1 : 0) | (r.pts[1] ? 2 : 0);
            out << mask;
            for (const auto &v : r.pts)
                if (v)
                    out << qint32(*v);
        }
    }
    char sum[4];
    qToBigEndian(crc32(bytes), sum);
    bytes.append(sum, 4);
    return bytes;
}

QString badBackupMessage(const QString &path, const QString &why)
{
    return QStringLiteral("Le fichier \"%1\" n'est pas une sauvegarde de feuille de match valide. %2")
        .arg(path, why);
}

std::vector<InningRow> decode(const QByteArray &bytes, const QString &path)
{
    auto fail = [&](const char *why) { throw AppError(badBackupMessage(path, QString::fromUtf8(why))); };

    if (bytes.size() < 4 + 4 || !bytes.startsWith(QByteArray(kMagic, 4)))
        fail("Format inconnu.");
    const QByteArray body = bytes.left(bytes.size() - 4);
    const quint32 stored = qFromBigEndian<quint32>(bytes.constData() + body.size());
    if (stored != crc32(body))
        fail("Fichier endommagé.");

    QDataStream in(body);
    in.setVersion(kStreamVersion);
    in.setByteOrder(QDataStream::BigEndian);
    in.skipRawData(4);
    quint16 version = 0;
    in >> version;
    if (version != kFormatVersion)
        fail("Version de format non prise en charge.");
    quint32 fieldCount = 0;
    in >> fieldCount;
    if (in.status() != QDataStream::Ok || fieldCount != 2)
        fail("Structure de table inattendue.");
    for (const char *name : kFieldNames) {
        QByteArray read;
        in >> read;
        if (in.status() != QDataStream::Ok || read != name)
            fail("Structure de table inattendue.");
    }
    quint32 rowCount = 0;
    in >> rowCount;
    // Every row takes at least its mask byte: a count beyond what is left is a lie, and
    // must not make us reserve gigabytes.
    if (in.status() != QDataStream::Ok || rowCount > quint32(body.size()))
        fail("Fichier endommagé.");
    std::vector<InningRow> rows;
    rows.reserve(rowCount);
    for (quint32 i = 0; i < rowCount; ++i) {
        quint8 mask = 0;
        in >> mask;
        if (mask > 3)
            fail("Fichier endommagé.");
        InningRow r;
        for (int f = 0; f < 2; ++f) {
            if (mask & (1 << f)) {
                qint32 v = 0;
                in >> v;
                r.pts[f] = v;
            }
        }
        if (in.status() != QDataStream::Ok)
            fail("Fichier endommagé.");
        rows.push_back(r);
    }
    if (!in.atEnd())
        fail("Fichier endommagé.");
    return rows;
}

void requireOpen(bool open)
{
    if (!open)
        throw AppError(QStringLiteral("Impossible d'effectuer cette opération sur un ensemble de données fermé"));
}

void requireEditing(bool editing)
{
    if (!editing)
        throw AppError(QStringLiteral("L'ensemble de données n'est pas en mode édition ou insertion"));
}

void checkField(int field)
{
    if (field != InningsTable::Pts1 && field != InningsTable::Pts2)
        throw AppError(QStringLiteral("Index de champ hors limites (%1)").arg(field));
}

} // namespace

// --- the table -------------------------------------------------------------------------

InningsTable::InningsTable(QObject *parent) : QObject(parent), m_store(std::make_shared<Store>())
{
    m_store->owner = this;
}

InningsTable::~InningsTable()
{
    if (m_isOwner && m_store && m_store->owner == this)
        m_store->owner = nullptr;
}

void InningsTable::openEmpty()
{
    if (!m_isOwner) {
        // A clone asked to open detaches into a table of its own.
        m_store = std::make_shared<Store>();
        m_store->owner = this;
        m_isOwner = true;
    }
    m_editing = m_inserting = m_modified = false;
    m_store->rows.clear();
    m_store->open = true;
    m_store->recompute();
    m_cur = -1;
    m_bof = m_eof = true;
    if (m_store->owner)
        emit m_store->owner->rowsReset();
    emit currentChanged(-1);
}

void InningsTable::loadFromFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw AppError(QStringLiteral("Impossible d'ouvrir le fichier \"%1\". %2").arg(path, file.errorString()));
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw AppError(QStringLiteral("Impossible de lire le fichier \"%1\". %2").arg(path, file.errorString()));
    file.close();
    std::vector<InningRow> rows = decode(bytes, path); // throws before anything changes

    if (!m_isOwner) {
        m_store = std::make_shared<Store>();
        m_store->owner = this;
        m_isOwner = true;
    }
    m_editing = m_inserting = m_modified = false;
    m_store->rows = std::move(rows);
    m_store->open = true;
    m_store->recompute();
    if (m_store->rows.empty()) {
        m_cur = -1;
        m_bof = m_eof = true;
    } else {
        m_cur = 0;
        m_bof = true;
        m_eof = false;
    }
    if (m_store->owner)
        emit m_store->owner->rowsReset();
    emit currentChanged(m_cur);
}

void InningsTable::saveToFile(const QString &path)
{
    requireOpen(isOpen());
    endEdit();
    const QByteArray bytes = encode(m_store->rows);
    const QString reason = DurableFile::write(path, bytes);
    if (!reason.isEmpty())
        throw AppError(QStringLiteral("Impossible de créer le fichier \"%1\". %2").arg(path, reason), reason);
}

void InningsTable::cloneCursor(InningsTable &source)
{
    if (&source == this)
        return;
    if (m_isOwner && m_store->owner == this)
        m_store->owner = nullptr;
    m_store = source.m_store;
    m_isOwner = false;
    m_editing = m_inserting = m_modified = false;
    m_cur = m_store->rows.empty() ? -1 : 0;
    m_bof = true;
    m_eof = m_store->rows.empty();
    emit currentChanged(m_cur);
}

bool InningsTable::isOpen() const
{
    return m_store && m_store->open;
}

// --- cursor ------------------------------------------------------------------------

void InningsTable::clampCursor()
{
    // The owner or a clone may have removed rows under this cursor.
    const int n = int(m_store->rows.size());
    if (n == 0) {
        m_cur = -1;
        m_bof = m_eof = true;
    } else if (m_cur < 0) {
        m_cur = 0;
        m_bof = m_eof = false;
    } else if (m_cur >= n) {
        m_cur = n - 1;
    }
    if (n > 0 && m_bof && m_eof)
        m_bof = m_eof = false;
}

void InningsTable::setCurrent(int index)
{
    const bool moved = index != m_cur;
    m_cur = index;
    if (moved)
        emit currentChanged(index);
}

void InningsTable::first()
{
    endEdit();
    clampCursor();
    if (m_store->rows.empty())
        return;
    setCurrent(0);
    m_bof = true;
    m_eof = false;
}

void InningsTable::last()
{
    endEdit();
    clampCursor();
    if (m_store->rows.empty())
        return;
    setCurrent(int(m_store->rows.size()) - 1);
    m_bof = false;
    m_eof = true;
}

void InningsTable::next()
{
    endEdit();
    clampCursor();
    if (m_store->rows.empty())
        return;
    m_bof = false;
    if (m_cur >= int(m_store->rows.size()) - 1) {
        m_eof = true;
        return;
    }
    m_eof = false;
    setCurrent(m_cur + 1);
}

void InningsTable::prior()
{
    endEdit();
    clampCursor();
    if (m_store->rows.empty())
        return;
    m_eof = false;
    if (m_cur <= 0) {
        m_bof = true;
        return;
    }
    m_bof = false;
    setCurrent(m_cur - 1);
}

void InningsTable::moveTo(int recNo)
{
    endEdit();
    clampCursor();
    if (recNo < 1 || recNo > int(m_store->rows.size()))
        return;
    m_bof = m_eof = false;
    setCurrent(recNo - 1);
}

bool InningsTable::bof() const
{
    const int n = int(m_store->rows.size());
    if (n == 0)
        return true;
    // Both flags with rows present is a cursor left over from an empty table.
    return m_bof && !m_eof;
}

bool InningsTable::eof() const
{
    const int n = int(m_store->rows.size());
    if (n == 0)
        return true;
    return m_eof && !m_bof;
}

int InningsTable::recordCount() const
{
    return int(m_store->rows.size());
}

int InningsTable::recNo() const
{
    const int n = int(m_store->rows.size());
    if (n == 0)
        return 0;
    if (m_cur < 0)
        return 1;
    return (m_cur >= n ? n - 1 : m_cur) + 1;
}

// --- editing -------------------------------------------------------------------------

void InningsTable::edit()
{
    requireOpen(isOpen());
    if (m_editing)
        return;
    clampCursor();
    m_editing = true;
    m_modified = false;
    if (m_store->rows.empty()) {
        m_inserting = true;
        m_buffer = InningRow{};
    } else {
        m_inserting = false;
        m_buffer = m_store->rows[size_t(m_cur)];
    }
}

bool InningsTable::isEditing() const
{
    return m_editing;
}

void InningsTable::setField(int field, qint32 value)
{
    checkField(field);
    requireEditing(m_editing);
    m_buffer.pts[field] = value;
    m_modified = true;
}

void InningsTable::clearField(int field)
{
    checkField(field);
    requireEditing(m_editing);
    m_buffer.pts[field].reset();
    m_modified = true;
}

void InningsTable::post()
{
    if (!m_editing)
        return;
    const InningRow row = m_buffer;
    const bool inserting = m_inserting;
    m_editing = m_inserting = m_modified = false;
    clampCursor();

    int index;
    if (inserting || m_store->rows.empty()) {
        m_store->rows.push_back(row);
        index = int(m_store->rows.size()) - 1;
    } else {
        index = m_cur;
        m_store->rows[size_t(index)] = row;
    }
    m_store->recompute();
    InningsTable *owner = m_store->owner;
    if (inserting) {
        m_bof = m_eof = false;
        setCurrent(index);
        if (owner)
            emit owner->rowInserted(index);
    } else if (owner) {
        emit owner->rowChanged(index);
    }
    // The table is consistent before the hook runs: a failing save leaves the row posted.
    if (owner && owner->afterPost)
        owner->afterPost();
}

void InningsTable::cancel()
{
    m_editing = m_inserting = m_modified = false;
    m_buffer = InningRow{};
}

void InningsTable::appendEmpty()
{
    requireOpen(isOpen());
    endEdit();
    m_store->rows.push_back(InningRow{});
    const int index = int(m_store->rows.size()) - 1;
    m_store->recompute();
    m_bof = m_eof = false;
    setCurrent(index);
    InningsTable *owner = m_store->owner;
    if (owner)
        emit owner->rowInserted(index);
    if (owner && owner->afterPost)
        owner->afterPost();
}

void InningsTable::deleteCurrent()
{
    requireOpen(isOpen());
    if (m_inserting) {
        // The row being inserted is not stored yet: deleting it is dropping it.
        cancel();
        return;
    }
    cancel();
    clampCursor();
    if (m_store->rows.empty())
        throw AppError(QStringLiteral("Impossible d'effectuer cette opération sur un ensemble de données vide"));
    const int index = m_cur;
    m_store->rows.erase(m_store->rows.begin() + index);
    m_store->recompute();
    const int n = int(m_store->rows.size());
    InningsTable *owner = m_store->owner;
    if (owner)
        emit owner->rowRemoved(index);
    if (n == 0) {
        m_cur = -1;
        m_bof = m_eof = true;
        emit currentChanged(-1);
    } else {
        // The row that followed takes the place; after the last row, the new last one.
        m_bof = m_eof = false;
        m_cur = index < n ? index : n - 1;
        emit currentChanged(m_cur);
    }
    if (owner && owner->afterDelete)
        owner->afterDelete();
}

void InningsTable::emptyTable()
{
    endEdit();
    if (!isOpen())
        return;
    m_store->rows.clear();
    m_store->recompute();
    m_cur = -1;
    m_bof = m_eof = true;
    if (m_store->owner)
        emit m_store->owner->rowsReset();
    emit currentChanged(-1);
}

void InningsTable::endEdit()
{
    if (!m_editing)
        return;
    if (m_modified)
        post();
    else
        cancel();
}

// --- reading ---------------------------------------------------------------------------

bool InningsTable::isNull(int field) const
{
    checkField(field);
    if (m_editing)
        return !m_buffer.pts[field];
    const int n = int(m_store->rows.size());
    if (n == 0)
        return true;
    return !m_store->rows[size_t(recNo() - 1)].pts[field];
}

qint32 InningsTable::asInteger(int field) const
{
    if (isNull(field))
        return 0;
    if (m_editing)
        return *m_buffer.pts[field];
    return *m_store->rows[size_t(recNo() - 1)].pts[field];
}

QString InningsTable::asText(int field) const
{
    return isNull(field) ? QString() : QString::number(asInteger(field));
}

std::optional<qint64> InningsTable::aggregate(Aggregate a) const
{
    return m_store->agg[int(a)];
}

const std::vector<InningRow> &InningsTable::rows() const
{
    return m_store->rows;
}
