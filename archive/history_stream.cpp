#include "archive/history_stream.h"

#include "archive/archive_query.h"
#include "archive/archive_schema.h"
#include "archive/history_text.h"
#include "archive/sqlite_statement.h"

#include <QJsonObject>
#include <algorithm>
#include <cstring>
#include <sqlite3.h>

namespace {

// A statement straight on the SQLite handle: Qt's per-value conversions cost
// several times SQLite's own work over a year of rows. Each row's values are
// taken once; reading them is then cheap (one thread owns the connection).
struct Rows {
    sqlite3_stmt *stmt = nullptr;
    std::vector<sqlite3_value *> values;
    Rows(const QSqlDatabase &db, const QByteArray &sql, qint64 from, qint64 to)
    {
        sqlite3 *handle = sqliteHandleOf(db);
        if (!handle || sqlite3_prepare_v2(handle, sql.constData(), int(sql.size()), &stmt, nullptr) != SQLITE_OK)
            return;
        sqlite3_bind_int64(stmt, 1, from);
        sqlite3_bind_int64(stmt, 2, to);
        values.resize(size_t(sqlite3_column_count(stmt)));
    }
    ~Rows() { sqlite3_finalize(stmt); }
    bool next()
    {
        if (sqlite3_step(stmt) != SQLITE_ROW)
            return false;
        for (size_t c = 0; c < values.size(); ++c)
            values[c] = sqlite3_column_value(stmt, int(c));
        return true;
    }
    bool isNull(int c) const { return sqlite3_value_type(values[size_t(c)]) == SQLITE_NULL; }
    qint64 whole(int c) const { return sqlite3_value_int64(values[size_t(c)]); }
    int small(int c) const { return int(sqlite3_value_int64(values[size_t(c)])); }
    double real(int c) const { return sqlite3_value_double(values[size_t(c)]); }
    const char *text(int c) const { return reinterpret_cast<const char *>(sqlite3_value_text(values[size_t(c)])); }
};

// The text of an empty answer split where the rows go: CSV heading, or the
// JSON document around its empty row array.
struct Frame {
    QByteArray before, after;
};

Frame frameOf(const QByteArray &empty, bool json)
{
    if (!json)
        return {empty, {}};
    const qsizetype at = empty.indexOf("[]") + 1;
    return {empty.left(at), empty.mid(at)};
}

// JSON keys in the order a JSON object keeps them, each with its field.
std::vector<std::pair<QByteArray, int>> sortedKeys(std::vector<std::pair<QString, int>> fields)
{
    std::sort(fields.begin(), fields.end());
    std::vector<std::pair<QByteArray, int>> out;
    for (const auto &[key, id] : fields)
        out.emplace_back('"' + key.toUtf8() + "\":", id);
    return out;
}

QByteArray valueKey(int i) { return archiveValueInfo(archiveValueAt(i)).key; }
// Each value's scale and decimals, looked up once rather than per row.
struct ValueFormat {
    int scale[kArchiveValueCount], decimals[kArchiveValueCount];
    ValueFormat()
    {
        for (int i = 0; i < kArchiveValueCount; ++i) {
            scale[i] = archiveValueInfo(archiveValueAt(i)).scale;
            decimals[i] = scale[i] == 1 ? 0 : 2;
        }
    }
};
const ValueFormat kFormat;
int decimalsOf(int i) { return kFormat.decimals[i]; }

// ---- observation rows ----

// Columns after the values, in the order of observationColumns().
enum ObservationField { Sky, Raining, Cloudy, Daylight, Windy, Heater, Relay, Board, Safety, Unsafe, Time };
const char *const kObservationFieldKeys[] = {"sky",    "raining", "cloudy", "daylight", "windy", "heater",
                                              "relay",  "board",   "safety", "unsafe",   "time"};

struct ObservationWords {
    QByteArray skyCsv[3], skyJson[3], boardCsv[6], boardJson[6], safetyCsv[3], safetyJson[3];
    ObservationWords()
    {
        const SkyClass skies[] = {SkyClass::Clear, SkyClass::PartlyCloudy, SkyClass::Overcast};
        for (int i = 0; i < 3; ++i) {
            skyCsv[i] = skyClassName(skies[i]).toUtf8();
            skyJson[i] = '"' + skyCsv[i] + '"';
        }
        for (int i = 0; i < 6; ++i) {
            boardCsv[i] = boardStateName(boardStateFromCode(i)).toUtf8();
            boardJson[i] = '"' + boardCsv[i] + '"';
        }
        const std::optional<bool> verdicts[] = {std::nullopt, true, false};
        for (int i = 0; i < 3; ++i) {
            safetyCsv[i] = safetyWord(verdicts[i]).toUtf8();
            safetyJson[i] = '"' + safetyCsv[i] + '"';
        }
    }
};

// Each name in the stored list "a,b" of unsafe conditions, empty ones left out.
template <class Name>
void forEachUnsafeName(const char *text, Name name)
{
    while (text && *text) {
        const char *end = std::strchr(text, ',');
        const size_t size = end ? size_t(end - text) : std::strlen(text);
        if (size)
            name(text, size);
        text = end ? end + 1 : nullptr;
    }
}

// The names with spaces between them, quoted as a CSV field where needed.
void unsafeCsv(const char *text, TextChunks &out)
{
    QByteArray names;
    forEachUnsafeName(text, [&names](const char *name, size_t size) {
        names.append(names.isEmpty() ? "" : " ").append(name, qsizetype(size));
    });
    if (std::any_of(names.begin(), names.end(), [](char ch) { return static_cast<unsigned char>(ch) >= 0x80; }))
        names = QString::fromUtf8(names).toUtf8(); // as a QString would hold it
    if (names.contains('"') || names.contains('\n'))
        out << '"' << names.replace('"', "\"\"") << '"';
    else
        out << names;
}

int skyIndex(const Rows &rows, int c)
{
    const int sky = rows.small(c);
    return sky == 2 ? 2 : sky == 1 ? 1 : 0;
}

int boardIndex(const Rows &rows, int c)
{
    return boardStateCode(boardStateFromCode(rows.small(c)));
}

int safetyIndex(const Rows &rows, int c)
{
    return rows.isNull(c) ? 0 : rows.small(c) != 0 ? 1 : 2;
}

void observationCsv(const Rows &rows, const ObservationWords &words, TextChunks &out)
{
    out.isoUtc(rows.whole(0));
    for (int i = 0; i < kArchiveValueCount; ++i) {
        out << ',';
        if (!rows.isNull(1 + i))
            out.fixedScaled(rows.whole(1 + i), kFormat.scale[i], kFormat.decimals[i]);
    }
    const int c = 1 + kArchiveValueCount;
    out << ',';
    if (!rows.isNull(c + Sky))
        out << words.skyCsv[skyIndex(rows, c + Sky)];
    for (int f : {Raining, Cloudy, Daylight, Windy})
        out << ',' << (rows.small(c + f) != 0 ? '1' : '0');
    for (int f : {Heater, Relay}) {
        out << ',';
        out.whole(rows.small(c + f));
    }
    out << ',' << words.boardCsv[boardIndex(rows, c + Board)] << ',';
    out << words.safetyCsv[safetyIndex(rows, c + Safety)] << ',';
    unsafeCsv(rows.text(c + Unsafe), out);
    out << '\n';
}

void observationJsonField(const Rows &rows, const ObservationWords &words, int id, TextChunks &out)
{
    const int c = 1 + kArchiveValueCount;
    if (id < kArchiveValueCount) {
        if (rows.isNull(1 + id))
            out << "null";
        else
            out.jsonScaled(rows.whole(1 + id), kFormat.scale[id]);
        return;
    }
    const int f = id - kArchiveValueCount;
    const bool skyKnown = !rows.isNull(c + Sky);
    switch (f) {
    case Sky:
        out << (skyKnown ? words.skyJson[skyIndex(rows, c + Sky)] : QByteArray("null"));
        break;
    case Cloudy:
        if (!skyKnown) {
            out << "null";
            break;
        }
        [[fallthrough]];
    case Raining:
    case Daylight:
    case Windy:
        out << (rows.small(c + f) != 0 ? "true" : "false");
        break;
    case Heater:
    case Relay:
        out.whole(rows.small(c + f));
        break;
    case Board:
        out << words.boardJson[boardIndex(rows, c + Board)];
        break;
    case Safety:
        out << words.safetyJson[safetyIndex(rows, c + Safety)];
        break;
    case Unsafe: {
        out << '[';
        bool first = true;
        forEachUnsafeName(rows.text(c + Unsafe), [&out, &first](const char *name, size_t size) {
            out << (first ? "" : ",");
            out.jsonString(QByteArray::fromRawData(name, qsizetype(size)));
            first = false;
        });
        out << ']';
        break;
    }
    case Time:
        out << '"';
        out.isoUtc(rows.whole(0));
        out << '"';
        break;
    }
}

} // namespace

bool writeObservationsText(const QSqlDatabase &db, const QDateTime &fromUtc, const QDateTime &toUtc, bool json,
                           const ByteSink &sink)
{
    const QByteArray sql =
        QStringLiteral("SELECT %1 FROM observations WHERE t >= ? AND t <= ? ORDER BY t").arg(observationColumns()).toUtf8();
    Rows rows(db, sql, fromUtc.toMSecsSinceEpoch(), toUtc.toMSecsSinceEpoch());
    if (!rows.stmt)
        return false;
    const Frame frame = frameOf(json ? observationsJson({}) : observationsCsv({}), json);
    const ObservationWords words;
    std::vector<std::pair<QString, int>> fields;
    for (int i = 0; i < kArchiveValueCount; ++i)
        fields.emplace_back(QString::fromLatin1(valueKey(i)), i);
    for (int f = 0; f <= Time; ++f)
        fields.emplace_back(QString::fromLatin1(kObservationFieldKeys[f]), kArchiveValueCount + f);
    const auto keys = sortedKeys(fields);
    TextChunks out(sink);
    out << frame.before;
    for (bool first = true; rows.next(); first = false) {
        if (!json) {
            observationCsv(rows, words, out);
        } else {
            out << (first ? "{" : ",{");
            for (size_t k = 0; k < keys.size(); ++k) {
                out << (k ? "," : "") << keys[k].first;
                observationJsonField(rows, words, keys[k].second, out);
            }
            out << '}';
        }
        out.rowDone();
    }
    out << frame.after;
    return true;
}

namespace {

// ---- minute rows ----

// Columns of a minute row as selected below: t, n, then per value its mean,
// lowest and highest, then the shares.
enum MinuteShare { RainingShare, CloudyShare, DaylightShare, WindyShare, SafeShare };
const char *const kShareColumns[] = {"raining", "cloudy", "daylight", "windy", "safe"};
int meanColumn(int i) { return 2 + i; }
int minColumn(int i) { return 2 + kArchiveValueCount + i; }
int maxColumn(int i) { return 2 + 2 * kArchiveValueCount + i; }
int shareColumn(int f) { return 2 + 3 * kArchiveValueCount + f; }

QByteArray minutesSql()
{
    QByteArray columns = "t, n";
    for (const char *part : {"_mean", "_min", "_max"})
        for (int i = 0; i < kArchiveValueCount; ++i)
            columns += ", " + valueKey(i) + part;
    for (const char *share : kShareColumns)
        columns += QByteArray(", ") + share;
    return "SELECT " + columns + " FROM minutes WHERE t >= ? AND t <= ? ORDER BY t";
}

// A one-minute summary of a minute row is the row itself, weighted by its
// count as summaries over longer steps are: the same arithmetic, so the same
// digits. A share without observations reads 0, the safe share NaN.
double weighted(const Rows &rows, int c, double otherwise)
{
    const qint64 n = rows.whole(1);
    return rows.isNull(c) || n == 0 ? otherwise : rows.real(c) * double(n) / double(n);
}

double plain(const Rows &rows, int c)
{
    return rows.isNull(c) ? NAN : rows.real(c);
}

double share(const Rows &rows, int f)
{
    return weighted(rows, shareColumn(f), f == SafeShare ? NAN : 0.0);
}

void minuteCsv(const Rows &rows, TextChunks &out)
{
    out.isoUtc(rows.whole(0) * 1000);
    out << ",60,";
    out.whole(int(rows.whole(1)));
    for (int i = 0; i < kArchiveValueCount; ++i) {
        out << ',';
        out.fixed(weighted(rows, meanColumn(i), NAN), 2);
        out << ',';
        out.fixed(plain(rows, minColumn(i)), decimalsOf(i));
        out << ',';
        out.fixed(plain(rows, maxColumn(i)), decimalsOf(i));
    }
    for (int f = RainingShare; f <= SafeShare; ++f) {
        out << ',';
        out.fixed(share(rows, f), 2);
    }
    out << '\n';
}

enum MinuteField { Count = kArchiveValueCount + SafeShare + 1, Seconds, MinuteTime };

void minuteJsonField(const Rows &rows, int id, TextChunks &out)
{
    if (id < kArchiveValueCount) {
        out << "{\"max\":";
        out.jsonNumber(plain(rows, maxColumn(id)));
        out << ",\"mean\":";
        out.jsonNumber(weighted(rows, meanColumn(id), NAN));
        out << ",\"min\":";
        out.jsonNumber(plain(rows, minColumn(id)));
        out << '}';
    } else if (id <= kArchiveValueCount + SafeShare) {
        out.jsonNumber(share(rows, id - kArchiveValueCount));
    } else if (id == Count) {
        out.whole(int(rows.whole(1)));
    } else if (id == Seconds) {
        out << "60";
    } else {
        out << '"';
        out.isoUtc(rows.whole(0) * 1000);
        out << '"';
    }
}

} // namespace

bool writeMinutesText(const QSqlDatabase &db, const QDateTime &fromUtc, const QDateTime &toUtc, bool json,
                      const ByteSink &sink)
{
    // As querySummaries: a minute that began before fromUtc is left out.
    const qint64 from = (fromUtc.toMSecsSinceEpoch() + 59999) / 60000 * 60;
    Rows rows(db, minutesSql(), from, toUtc.toMSecsSinceEpoch() / 1000);
    if (!rows.stmt)
        return false;
    const Frame frame = frameOf(json ? summariesJson({}) : summariesCsv({}), json);
    std::vector<std::pair<QString, int>> fields;
    for (int i = 0; i < kArchiveValueCount; ++i)
        fields.emplace_back(QString::fromLatin1(valueKey(i)), i);
    for (int f = RainingShare; f <= SafeShare; ++f)
        fields.emplace_back(QString::fromLatin1(kShareColumns[f]), kArchiveValueCount + f);
    fields.emplace_back(QStringLiteral("count"), Count);
    fields.emplace_back(QStringLiteral("seconds"), Seconds);
    fields.emplace_back(QStringLiteral("time"), MinuteTime);
    const auto keys = sortedKeys(fields);
    TextChunks out(sink);
    out << frame.before;
    for (bool first = true; rows.next(); first = false) {
        if (!json) {
            minuteCsv(rows, out);
        } else {
            out << (first ? "{" : ",{");
            for (size_t k = 0; k < keys.size(); ++k) {
                out << (k ? "," : "") << keys[k].first;
                minuteJsonField(rows, keys[k].second, out);
            }
            out << '}';
        }
        out.rowDone();
    }
    out << frame.after;
    return true;
}
