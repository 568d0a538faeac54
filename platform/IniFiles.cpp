#include "platform/IniFiles.h"

#include "platform/AtomicFile.h"

#include "platform/CodePage.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <atomic>
#include <map>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace {

// Larger files are taken for damaged: read as empty and never overwritten.
constexpr qint64 KMaxIniFileSize = 16 * 1024 * 1024;

QString Fold(const QString& name) {
    return name.toCaseFolded();
}

// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
bool IsValidUtf8(const unsigned char* p, qsizetype n) {
    qsizetype i = 0;
    while (i < n) {
        const unsigned char c = p[i];
        if (c < 0x80) {
            ++i;
            continue;
        }
        int len;
        unsigned min;
        unsigned cp;
        if ((c & 0xE0) == 0xC0) {
            len = 2, min = 0x80, cp = c & 0x1F;
        } else if ((c & 0xF0) == 0xE0) {
            len = 3, min = 0x800, cp = c & 0x0F;
        } else if ((c & 0xF8) == 0xF0) {
            len = 4, min = 0x10000, cp = c & 0x07;
        } else {
            return false;
        }
        if (n - i < len) return false;
        for (int k = 1; k < len; ++k) {
            if ((p[i + k] & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (p[i + k] & 0x3F);
        }
        if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
        i += len;
    }
    return true;
}

QString DecodeLine(const char* p, qsizetype n) {
    if (IsValidUtf8(reinterpret_cast<const unsigned char*>(p), n)) return QString::fromUtf8(p, n);
    return Cp1252ToQString(p, static_cast<std::size_t>(n));
}

// A line break inside a value or key would split it into two lines of the file.
QString OneLine(const QString& text) {
    QString result = text;
    result.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
    return result.trimmed();
}

struct TFileStamp {
    bool Exists = false;
    dev_t Dev = 0;
    ino_t Ino = 0;
    off_t Size = 0;
    long long MTimeNs = 0;
    // A rewrite in place that keeps size and modification time (cp -p, touch -r) still changes
    // the change time, which no one can set back.
    long long CTimeNs = 0;
    bool operator==(const TFileStamp&) const = default;
};

long long Nanoseconds(const struct timespec& t) {
    return static_cast<long long>(t.tv_sec) * 1000000000LL + t.tv_nsec;
}

TFileStamp StampOf(const struct stat& st) {
    return {true, st.st_dev, st.st_ino, st.st_size, Nanoseconds(st.st_mtim), Nanoseconds(st.st_ctim)};
}

TFileStamp StatFile(const QByteArray& path) {
    struct stat st {};
    if (::stat(path.constData(), &st) != 0) return {};
    return StampOf(st);
}

enum class TLoadResult { Ok, Missing, Failed, TooLarge };

// Reads the whole file; the stamp comes from the same open file as the bytes.
TLoadResult LoadFile(const QByteArray& path, QByteArray& bytes, TFileStamp& stamp) {
    bytes.clear();
    stamp = {};
    // Non-blocking, so that a FIFO or a device in the file's place cannot hold us at the open;
    // anything but a regular file is then refused by its type.
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) return (errno == ENOENT || errno == ENOTDIR) ? TLoadResult::Missing : TLoadResult::Failed;
    TLoadResult result = TLoadResult::Ok;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        result = TLoadResult::Failed;
    } else if (st.st_size > KMaxIniFileSize) {
        result = TLoadResult::TooLarge;
    } else {
        stamp = StampOf(st);
        bytes.resize(static_cast<qsizetype>(st.st_size));
        qsizetype got = 0;
        for (;;) {
            if (got == bytes.size()) {
                if (bytes.size() > KMaxIniFileSize) {
                    result = TLoadResult::TooLarge;
                    break;
                }
                bytes.resize(bytes.size() + 4096); // grew since fstat
            }
            const ssize_t r = ::read(fd, bytes.data() + got, static_cast<size_t>(bytes.size() - got));
            if (r < 0 && errno == EINTR) continue;
            if (r < 0) {
                result = TLoadResult::Failed;
                break;
            }
            if (r == 0) break;
            got += r;
        }
        bytes.truncate(got);
    }
    ::close(fd);
    if (result != TLoadResult::Ok) bytes.clear();
    return result;
}

struct TIniEntry {
    bool IsKey = false;
    bool FromFile = false; // Raw still holds the line as read
    QString Key;
    QString Value;
    QString Raw; // comments, blank lines and lines without '=' are kept as they are
};

struct TIniSection {
    bool Nameless = false; // lines before the first section
    QString Name;
    QString Raw;
    std::vector<TIniEntry> Entries;
    QHash<QString, qsizetype> Index; // folded key -> first entry with that key

    void Reindex() {
        // Backwards, so that the first of duplicate keys wins, as when the file is searched
        // line by line.
        Index.clear();
        for (qsizetype i = qsizetype(Entries.size()) - 1; i >= 0; --i)
            if (Entries[i].IsKey) Index.insert(Fold(Entries[i].Key), i);
    }
    const TIniEntry* Find(const QString& key) const {
        const auto it = Index.constFind(Fold(key));
        return it == Index.cend() ? nullptr : &Entries[*it];
    }
};

struct TIniOp {
    enum TKind { None, Write, Delete, Erase } Kind;
    QString Section;
    QString Key;
    QString Value;
};

class TIniModel {
public:
    void Parse(const QByteArray& bytes) {
        FSections.clear();
        FIndex.clear();
        const char* p = bytes.constData();
        qsizetype n = bytes.size();
        if (n >= 3 && bytes.startsWith("\xEF\xBB\xBF")) p += 3, n -= 3;
        TIniSection* current = nullptr;
        qsizetype start = 0;
        while (start < n) {
            const char* nl = static_cast<const char*>(std::memchr(p + start, '\n', size_t(n - start)));
            qsizetype end = nl ? nl - p : n;
            const qsizetype next = end + 1;
            if (end > start && p[end - 1] == '\r') --end;
            const QString raw = DecodeLine(p + start, end - start);
            start = next;
            const QString line = raw.trimmed();
            if (line.startsWith(QLatin1Char('['))) {
                qsizetype close = line.lastIndexOf(QLatin1Char(']'));
                if (close < 0) close = line.size();
                const QString name = line.mid(1, close - 1).trimmed();
                current = FindSection(name);
                if (!current) {
                    current = &AddSection(name);
                    current->Raw = raw;
                }
                continue;
            }
            if (!current) {
                FSections.push_back({});
                current = &FSections.back();
                current->Nameless = true;
            }
            TIniEntry entry;
            entry.FromFile = true;
            entry.Raw = raw;
            const qsizetype eq = line.indexOf(QLatin1Char('='));
            if (!current->Nameless && eq > 0 && !line.startsWith(QLatin1Char(';'))) {
                entry.Key = line.left(eq).trimmed();
                entry.Value = line.mid(eq + 1).trimmed();
                entry.IsKey = !entry.Key.isEmpty();
            }
            current->Entries.push_back(std::move(entry));
        }
        for (auto& s : FSections)
            s.Reindex();
    }

    // spaced: exactly one blank line before every section but the first line of the file, and
    // no other blank lines.
    QByteArray Serialize(bool spaced) const {
        QString text;
        bool firstLine = true;
        for (const auto& s : FSections) {
            if (!s.Nameless) {
                if (spaced && !firstLine) text += QLatin1Char('\n');
                text += (s.Raw.isNull() ? QLatin1Char('[') + s.Name + QLatin1Char(']') : s.Raw) +
                        QLatin1Char('\n');
                firstLine = false;
            }
            for (const auto& e : s.Entries) {
                const QString line = e.IsKey && !e.FromFile ? e.Key + QLatin1Char('=') + e.Value : e.Raw;
                if (spaced && !firstLine && line.trimmed().isEmpty()) continue;
                text += line + QLatin1Char('\n');
                firstLine = false;
            }
        }
        return text.toUtf8();
    }

    const TIniSection* FindSection(const QString& name) const {
        const auto it = FIndex.constFind(Fold(name));
        return it == FIndex.cend() ? nullptr : &FSections[*it];
    }
    TIniSection* FindSection(const QString& name) {
        return const_cast<TIniSection*>(std::as_const(*this).FindSection(name));
    }
    const std::vector<TIniSection>& Sections() const { return FSections; }

    void Apply(const TIniOp& op) {
        switch (op.Kind) {
        case TIniOp::Write:
            SetValue(op.Section, op.Key, op.Value);
            break;
        case TIniOp::Delete:
            DeleteKey(op.Section, op.Key);
            break;
        case TIniOp::Erase:
            EraseSection(op.Section);
            break;
        case TIniOp::None:
            break;
        }
    }

private:
    TIniSection& AddSection(const QString& name) {
        FIndex.insert(Fold(name), qsizetype(FSections.size()));
        FSections.push_back({});
        FSections.back().Name = name;
        return FSections.back();
    }

    void SetValue(const QString& section, const QString& key, const QString& value) {
        TIniSection* s = FindSection(section);
        if (!s) s = &AddSection(section);
        const auto it = s->Index.constFind(Fold(key));
        if (it != s->Index.cend()) {
            TIniEntry& e = s->Entries[*it];
            e.Value = value;
            e.FromFile = false;
            return;
        }
        // A new key goes after the section's last non-blank line, so separating blank lines
        // stay at the section's end.
        qsizetype pos = qsizetype(s->Entries.size());
        while (pos > 0 && !s->Entries[pos - 1].IsKey && s->Entries[pos - 1].Raw.trimmed().isEmpty())
            --pos;
        TIniEntry e;
        e.IsKey = true;
        e.Key = key;
        e.Value = value;
        s->Entries.insert(s->Entries.begin() + pos, std::move(e));
        if (pos == qsizetype(s->Entries.size()) - 1)
            s->Index.insert(Fold(key), pos);
        else
            s->Reindex();
    }

    void DeleteKey(const QString& section, const QString& key) {
        TIniSection* s = FindSection(section);
        const QString folded = Fold(key);
        if (!s || !s->Index.contains(folded)) return;
        std::erase_if(s->Entries, [&](const TIniEntry& e) { return e.IsKey && Fold(e.Key) == folded; });
        s->Reindex();
    }

    void EraseSection(const QString& section) {
        const auto it = FIndex.constFind(Fold(section));
        if (it == FIndex.cend()) return;
        FSections.erase(FSections.begin() + *it);
        FIndex.clear();
        for (qsizetype i = 0; i < qsizetype(FSections.size()); ++i)
            if (!FSections[i].Nameless) FIndex.insert(Fold(FSections[i].Name), i);
    }

    std::vector<TIniSection> FSections;
    QHash<QString, qsizetype> FIndex; // folded name -> section
};

bool ParseInt(const QString& text, int& result) {
    const std::string s = text.trimmed().toStdString();
    const char* p = s.data();
    const char* end = p + s.size();
    bool negative = false;
    if (p != end && (*p == '-' || *p == '+')) negative = *p++ == '-';
    int base = 10;
    if (end - p >= 2 && p[0] == '0' && (p[1] == 'x' || p[1] == 'X'))
        p += 2, base = 16;
    else if (p != end && *p == '$')
        ++p, base = 16;
    unsigned long long magnitude = 0;
    const auto [last, ec] = std::from_chars(p, end, magnitude, base);
    if (ec != std::errc() || last != end || p == end) return false;
    long long value;
    if (base == 16) {
        if (magnitude > 0xFFFFFFFFULL) return false;
        value = static_cast<std::int32_t>(static_cast<std::uint32_t>(magnitude)); // $FFFFFFFF = -1
    } else {
        if (magnitude > 0x80000000ULL) return false;
        value = static_cast<long long>(magnitude);
    }
    if (negative) value = -value;
    if (value < INT32_MIN || value > INT32_MAX) return false;
    result = static_cast<int>(value);
    return true;
}

bool ParseFloat(const QString& text, double& result) {
    std::string s = text.trimmed().toStdString();
    for (char& c : s)
        if (c == ',') c = '.';
    const char* p = s.data();
    const char* end = p + s.size();
    if (p != end && *p == '+' && end - p > 1 && p[1] != '-') ++p;
    double value = 0;
    const auto [last, ec] = std::from_chars(p, end, value, std::chars_format::general);
    if (ec != std::errc() || last != end || !std::isfinite(value)) return false;
    result = value;
    return true;
}

// Shortest text that reads back to the same double; plain digits in the usual range.
QString FormatFloat(double value) {
    char buf[64];
    const double a = std::fabs(value);
    const auto format =
        (a == 0 || (a >= 1e-5 && a < 1e15)) ? std::chars_format::fixed : std::chars_format::scientific;
    const auto [last, ec] = std::to_chars(buf, buf + sizeof buf, value, format);
    return ec == std::errc() ? QString::fromLatin1(buf, last - buf) : QStringLiteral("0");
}

// Key of the shared copies: the file's canonical path, or the canonical folder plus the name
// while the file does not exist yet.
QString CanonicalPath(const QString& fileName) {
    if (fileName.isEmpty()) return {};
    const QFileInfo info(fileName);
    QString path = info.canonicalFilePath();
    if (path.isEmpty()) {
        const QString dir = QFileInfo(info.absolutePath()).canonicalFilePath();
        path = dir.isEmpty() ? QDir::cleanPath(info.absoluteFilePath())
                             : dir + QLatin1Char('/') + info.fileName();
    }
    return path;
}

QByteArray ContentHash(const QByteArray& bytes) {
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256);
}

// What a file parsed to, kept after its last object went away: opened again with the same
// content, it is not parsed again.
struct TParkedModel {
    QString Path;
    QByteArray Hash;
    TIniModel Model;
};

std::atomic<int> GFilesParsed{0};

} // namespace

class TIniData {
public:
    explicit TIniData(QString path, TParkedModel* parked = nullptr)
        : FPath(std::move(path)), FNativePath(QFile::encodeName(FPath)) {
        if (!FPath.isEmpty()) Reload(parked);
    }
    ~TIniData();

    static std::shared_ptr<TIniData> Open(const QString& fileName);
    static bool SaveAll();

    const TIniModel& Model() const { return FModel; }
    void SetSectionSpacing(bool value) { FSectionSpacing = value; }

    void Change(const TIniOp& op) {
        FModel.Apply(op);
        // Keep only the last word on each key: an erased section drops our earlier changes to it.
        if (op.Kind == TIniOp::Erase) {
            for (auto& old : FLog)
                if (old.Section.compare(op.Section, Qt::CaseInsensitive) == 0) Drop(old);
        } else if (const auto it = FLogIndex.constFind(LogKey(op));
                   it != FLogIndex.cend() && FLog[*it].Kind != TIniOp::None) {
            // No erase of the section since: take the earlier change's place, so that new keys
            // keep the order in which they were first written.
            FLog[*it] = op;
            return;
        }
        FLog.push_back(op);
        if (op.Kind != TIniOp::Erase) FLogIndex.insert(LogKey(op), qsizetype(FLog.size()) - 1);
        if (FDropped > 64 && FDropped * 2 > qsizetype(FLog.size())) {
            std::erase_if(FLog, [](const TIniOp& o) { return o.Kind == TIniOp::None; });
            FDropped = 0;
            FLogIndex.clear();
            for (qsizetype i = 0; i < qsizetype(FLog.size()); ++i)
                if (FLog[i].Kind != TIniOp::Erase) FLogIndex.insert(LogKey(FLog[i]), i);
        }
    }

    // Reads the file again when it changed on disk and applies our pending changes on top.
    // False when it changed but cannot be taken as it is (see Reload).
    bool RefreshIfChanged() {
        return FPath.isEmpty() || (!FBlocked && StatFile(FNativePath) == FStamp) || Reload();
    }

    bool Save() {
        if (FPath.isEmpty()) return false;
        if (FLog.empty()) return true;
        if (!RefreshIfChanged()) return false;
        struct stat st {};
        if (::stat(FNativePath.constData(), &st) == 0 &&
            ((st.st_mode & 0222) == 0 || ::access(FNativePath.constData(), W_OK) != 0))
            return false; // read-only, even for root
        const QByteArray bytes = FModel.Serialize(FSectionSpacing);
        if (!WriteFileAtomically(FPath, bytes)) return false;
        ClearLog();
        FStamp = StatFile(FNativePath);
        // A spaced save lays out blank lines the model does not have: only a parse gives back
        // what the file now holds.
        FFileHash = FSectionSpacing ? QByteArray() : ContentHash(bytes);
        return true;
    }

    // The model, when it is what the file parses to, for the next object on the file.
    bool Park(TParkedModel& parked) {
        if (FPath.isEmpty() || FBlocked || !FLog.empty() || FFileHash.isEmpty()) return false;
        parked.Path = FPath;
        parked.Hash = FFileHash;
        parked.Model = std::move(FModel);
        return true;
    }

private:
    // False when the file cannot be taken as it is (unreadable, too large): then the copy in
    // memory stays and the file is never overwritten.
    bool Reload(TParkedModel* parked = nullptr) {
        QByteArray bytes;
        TFileStamp stamp;
        const TLoadResult r = LoadFile(FNativePath, bytes, stamp);
        if (r == TLoadResult::Failed || r == TLoadResult::TooLarge) {
            FBlocked = true;
            return false;
        }
        const QByteArray hash = r == TLoadResult::Ok ? ContentHash(bytes) : QByteArray();
        if (parked && !hash.isEmpty() && parked->Hash == hash) {
            FModel = std::move(parked->Model);
        } else {
            FModel.Parse(bytes);
            ++GFilesParsed;
        }
        for (const auto& op : FLog)
            FModel.Apply(op);
        FFileHash = FLog.empty() ? hash : QByteArray();
        FStamp = stamp;
        FBlocked = false;
        return true;
    }

    QString FPath;
    QByteArray FNativePath;
    TIniModel FModel;
    static QString LogKey(const TIniOp& op) { return Fold(op.Section) + QLatin1Char('\n') + Fold(op.Key); }
    void Drop(TIniOp& op) {
        if (op.Kind != TIniOp::None) op.Kind = TIniOp::None, ++FDropped;
    }
    void ClearLog() {
        FLog.clear();
        FLogIndex.clear();
        FDropped = 0;
    }

    std::vector<TIniOp> FLog;            // changes made through us since the last save
    QHash<QString, qsizetype> FLogIndex; // folded section and key -> its last write or delete
    qsizetype FDropped = 0;              // superseded entries in FLog
    TFileStamp FStamp;
    QByteArray FFileHash; // of the file's bytes while the model is what they parse to
    bool FBlocked = false;
    bool FSectionSpacing = false;
};

namespace {

struct TIniRegistry {
    std::mutex Mutex;
    std::map<QString, std::weak_ptr<TIniData>> Files;
    bool ExitHooked = false;
    // Models of files no object has open, the latest last; a few settings files at most.
    std::mutex ParkedMutex;
    std::deque<TParkedModel> Parked;
};

constexpr std::size_t kMaxParkedModels = 4;

TIniRegistry& Registry() {
    // Never destroyed: an object on a file may outlive the other statics.
    static TIniRegistry* registry = new TIniRegistry;
    return *registry;
}

// Takes the parked model of the file out of the registry, if there is one.
bool TakeParked(const QString& path, TParkedModel& parked) {
    TIniRegistry& reg = Registry();
    std::lock_guard lock(reg.ParkedMutex);
    for (auto it = reg.Parked.begin(); it != reg.Parked.end(); ++it) {
        if (it->Path == path) {
            parked = std::move(*it);
            reg.Parked.erase(it);
            return true;
        }
    }
    return false;
}

void SaveAllAtExit() {
    TIniData::SaveAll();
}

} // namespace

std::shared_ptr<TIniData> TIniData::Open(const QString& fileName) {
    const QString path = CanonicalPath(fileName);
    if (path.isEmpty()) return std::make_shared<TIniData>(QString());
    TIniRegistry& reg = Registry();
    std::lock_guard lock(reg.Mutex);
    if (!reg.ExitHooked) {
        // Objects that live until the end must not lose their changes.
        reg.ExitHooked = true;
        std::atexit(SaveAllAtExit);
        if (QCoreApplication::instance()) qAddPostRoutine(SaveAllAtExit);
    }
    std::erase_if(reg.Files, [](const auto& item) { return item.second.expired(); });
    if (auto data = reg.Files[path].lock()) {
        data->RefreshIfChanged();
        return data;
    }
    TParkedModel parked;
    auto data = std::make_shared<TIniData>(path, TakeParked(path, parked) ? &parked : nullptr);
    reg.Files[path] = data;
    return data;
}

TIniData::~TIniData() {
    TParkedModel parked;
    if (!Park(parked)) return;
    TIniRegistry& reg = Registry();
    std::lock_guard lock(reg.ParkedMutex);
    std::erase_if(reg.Parked, [&](const TParkedModel& p) { return p.Path == parked.Path; });
    reg.Parked.push_back(std::move(parked));
    if (reg.Parked.size() > kMaxParkedModels) reg.Parked.pop_front();
}

bool TIniData::SaveAll() {
    std::vector<std::shared_ptr<TIniData>> live;
    {
        TIniRegistry& reg = Registry();
        std::lock_guard lock(reg.Mutex);
        for (const auto& item : reg.Files)
            if (auto data = item.second.lock()) live.push_back(std::move(data));
    }
    bool ok = true;
    for (const auto& data : live)
        ok = data->Save() && ok;
    return ok;
}

TIniFile::TIniFile(const QString& fileName) : FFileName(fileName), FData(TIniData::Open(fileName)) {}

TIniFile::~TIniFile() {
    if (FData.use_count() == 1) FData->Save();
}

bool TIniFile::UpdateAllFiles() {
    return TIniData::SaveAll();
}

int TIniFile::FilesParsed() {
    return GFilesParsed.load();
}

QString TIniFile::ReadString(const QString& section, const QString& key, const QString& def) const {
    const TIniSection* s = FData->Model().FindSection(section.trimmed());
    const TIniEntry* e = s ? s->Find(key.trimmed()) : nullptr;
    return e ? e->Value : def;
}

int TIniFile::ReadInteger(const QString& section, const QString& key, int def) const {
    int value = def;
    return ParseInt(ReadString(section, key, QString()), value) ? value : def;
}

bool TIniFile::ReadBool(const QString& section, const QString& key, bool def) const {
    const QString text = ReadString(section, key, QString()).trimmed();
    if (text.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0) return true;
    if (text.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0) return false;
    int value = 0;
    return ParseInt(text, value) ? value != 0 : def;
}

double TIniFile::ReadFloat(const QString& section, const QString& key, double def) const {
    double value = def;
    return ParseFloat(ReadString(section, key, QString()), value) ? value : def;
}

void TIniFile::WriteString(const QString& section, const QString& key, const QString& value) {
    const QString s = OneLine(section);
    const QString k = OneLine(key);
    // Names the file could not give back: they would read as another section, a comment or
    // another key.
    if (s.isEmpty() || k.isEmpty() || k.contains(QLatin1Char('=')) || k.startsWith(QLatin1Char('[')) ||
        k.startsWith(QLatin1Char(';')))
        return;
    FData->Change({TIniOp::Write, s, k, OneLine(value)});
}

void TIniFile::WriteInteger(const QString& section, const QString& key, int value) {
    WriteString(section, key, QString::number(value));
}

void TIniFile::WriteBool(const QString& section, const QString& key, bool value) {
    WriteString(section, key, value ? QStringLiteral("1") : QStringLiteral("0"));
}

void TIniFile::WriteFloat(const QString& section, const QString& key, double value) {
    WriteString(section, key, FormatFloat(value));
}

bool TIniFile::SectionExists(const QString& section) const {
    return FData->Model().FindSection(section.trimmed()) != nullptr;
}

bool TIniFile::ValueExists(const QString& section, const QString& key) const {
    const TIniSection* s = FData->Model().FindSection(section.trimmed());
    return s && s->Find(key.trimmed());
}

void TIniFile::ReadSection(const QString& section, QStringList& keys) const {
    keys.clear();
    if (const TIniSection* s = FData->Model().FindSection(section.trimmed()))
        for (const auto& e : s->Entries)
            if (e.IsKey) keys.append(e.Key);
}

void TIniFile::ReadSections(QStringList& sections) const {
    sections.clear();
    for (const auto& s : FData->Model().Sections())
        if (!s.Nameless) sections.append(s.Name);
}

void TIniFile::ReadSectionValues(const QString& section, QStringList& lines) const {
    lines.clear();
    const TIniSection* s = FData->Model().FindSection(section.trimmed());
    if (!s) return;
    for (const auto& e : s->Entries) {
        if (e.IsKey) {
            lines.append(e.Key + QLatin1Char('=') + e.Value);
        } else {
            const QString line = e.Raw.trimmed();
            if (!line.isEmpty() && !line.startsWith(QLatin1Char(';'))) lines.append(line);
        }
    }
}

void TIniFile::EraseSection(const QString& section) {
    const QString s = OneLine(section);
    if (!s.isEmpty()) FData->Change({TIniOp::Erase, s, {}, {}});
}

void TIniFile::DeleteKey(const QString& section, const QString& key) {
    const QString s = OneLine(section);
    const QString k = OneLine(key);
    if (!s.isEmpty() && !k.isEmpty()) FData->Change({TIniOp::Delete, s, k, {}});
}

void TIniFile::SetSectionSpacing(bool value) {
    FData->SetSectionSpacing(value);
}

bool TIniFile::UpdateFile() {
    return FData->Save();
}
