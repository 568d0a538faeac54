#include "foundation/values/ValueData.h"

#include "foundation/catalogue/ParameterCatalogue.h"
#include "foundation/core/AppUtils.h"
#include "platform/IniFiles.h"

#include <QStringList>
#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace {

constexpr double kSecondsPerDay = 86400.0;

QString IniName(const QString& fileName) {
    return fileName.isEmpty() ? GetExeIniFileName() : fileName;
}

// The shortest general text that reads back as the value, with '.'.
QString FloatText(double value) {
    return QString::number(value, 'g', 15);
}

bool ReadDigits(const QString& text, qsizetype& pos, long long& number) {
    const qsizetype start = pos;
    number = 0;
    while (pos < text.size() && text[pos].isDigit() && text[pos].unicode() < 128 && number < 1000) {
        number = number * 10 + (text[pos].unicode() - '0');
        ++pos;
    }
    return pos > start;
}

// The time fields of a format (without its "T") in order: 'h', 'n', 's'. Quoted text is skipped.
QString TimeFields(const QString& format) {
    QString fields;
    QChar quote;
    for (const QChar c : format) {
        if (!quote.isNull()) {
            if (c == quote) quote = QChar();
            continue;
        }
        if (c == QLatin1Char('"') || c == QLatin1Char('\'')) {
            quote = c;
            continue;
        }
        const QChar lower = c.toLower();
        if ((lower == QLatin1Char('h') || lower == QLatin1Char('n') || lower == QLatin1Char('s')) &&
            !fields.contains(lower))
            fields += lower;
    }
    // The formatter writes hours in front of a format that has none.
    if (!fields.contains(QLatin1Char('h'))) fields.prepend(QLatin1Char('h'));
    return fields;
}

bool ParseTime(const QString& format, const QString& input, double& days) {
    QString text = input.trimmed();
    bool negative = false;
    if (text.startsWith(QLatin1Char('-'))) {
        negative = true;
        text.remove(0, 1);
    }
    text.replace(QLatin1Char(','), QLatin1Char('.'));
    const QStringList parts = text.split(QLatin1Char(':'));
    const QString fields = TimeFields(format.mid(1));
    if (text.isEmpty() || parts.size() > fields.size()) return false;
    const qsizetype first = fields.size() - parts.size();
    double seconds = 0;
    for (qsizetype i = 0; i < parts.size(); ++i) {
        const QChar field = fields[first + i];
        QString part = parts[i];
        double fraction = 0;
        const qsizetype point = part.indexOf(QLatin1Char('.'));
        if (point >= 0) {
            // Fractions only on the last number, and only when it is the seconds.
            if (i + 1 != parts.size() || field != QLatin1Char('s')) return false;
            const QString digits = part.mid(point + 1);
            for (const QChar c : digits)
                if (!c.isDigit() || c.unicode() >= 128) return false;
            if (!digits.isEmpty()) fraction = QStringLiteral("0.%1").arg(digits).toDouble();
            part.truncate(point);
        }
        if (part.isEmpty() || part.size() > 9) return false;
        long long number = 0;
        for (const QChar c : part) {
            if (!c.isDigit() || c.unicode() >= 128) return false;
            number = number * 10 + (c.unicode() - '0');
        }
        // Only the leading number may run over its field.
        if (i > 0 && number >= 60) return false;
        const double unit = field == QLatin1Char('h') ? 3600.0 : field == QLatin1Char('n') ? 60.0 : 1.0;
        seconds += (static_cast<double>(number) + fraction) * unit;
    }
    days = (negative ? -seconds : seconds) / kSecondsPerDay;
    return true;
}

} // namespace

// ---------------------------------------------------------------------------------------------

TValueData::TValueData()
    : Colors{clYellow, clAqua, clBtnFace, clGray, clRed, clGray, clBlue} {}

TValueData::~TValueData() {
    // An area may unregister while it is told: work on a copy.
    const std::vector<TValueAreaLink*> areas = Areas;
    for (TValueAreaLink* area : areas)
        if (area) area->DataDestroyed();
    Areas.clear();
}

void TValueData::SetCanAdd(bool value) {
    if (value == FCanAdd) return;
    FCanAdd = value;
    OptionsChanged();
}

void TValueData::SetCanChange(bool value) {
    if (value == FCanChange) return;
    FCanChange = value;
    OptionsChanged();
}

void TValueData::SetCanOptions(bool value) {
    if (value == FCanOptions) return;
    FCanOptions = value;
    OptionsChanged();
}

void TValueData::OptionsChanged() {
    for (TValueAreaLink* area : Areas)
        if (area) area->DataOptionsChanged();
}

int TValueData::IDByIndex(int index) const {
    if (index < 1 || index > ItemCount()) return -1;
    return Items[static_cast<std::size_t>(index - 1)].ID;
}

TValueItem* TValueData::Find(int id) {
    for (TValueItem& item : Items)
        if (item.ID == id) return &item;
    return nullptr;
}

const TValueItem* TValueData::FindItem(int id) const {
    for (const TValueItem& item : Items)
        if (item.ID == id) return &item;
    return nullptr;
}

bool TValueData::ItemExists(int id) const {
    return FindItem(id) != nullptr;
}

bool TValueData::GetItem(int id, TValueItem& item) const {
    item = TValueItem{};
    const TValueItem* found = FindItem(id);
    if (!found) return false;
    item = *found;
    return true;
}

void TValueData::SetItem(int id, const TValueItem& item) {
    if (TValueItem* stored = Find(id)) *stored = item;
}

void TValueData::DefineValue(int id, const QString& caption, const QString& hint, const QString& format) {
    // The cell codes are not items.
    if (id == kEmptyCellId || id == kLogoCellId) return;
    TValueItem* item = Find(id);
    if (!item) item = &Items.emplace_back();
    *item = TValueItem{};
    item->ID = id;
    item->Caption = caption;
    item->Hint = hint;
    item->Format = format;
}

void TValueData::SetValue(int id, bool addToHistory, double value) {
    TValueItem* item = Find(id);
    if (!item) return;
    item->Value = value;
    if (!addToHistory) return;
    std::copy(item->History.begin() + 1, item->History.end(), item->History.begin());
    item->History.back() = value;
    double sum = 0;
    int count = 0;
    for (double sample : item->History) {
        if (sample > 0) {
            sum += sample;
            ++count;
        }
    }
    item->Average = count > 0 ? sum / count : value;
}

void TValueData::ClearValues() {
    for (TValueItem& item : Items) {
        item.Value = 0;
        item.Average = 0;
        item.History.fill(-1.0);
    }
    UpdateAreas();
}

void TValueData::UpdateAreas() {
    // Copy: a repaint may attach or detach an area (the options preview).
    const std::vector<TValueAreaLink*> areas = Areas;
    for (TValueAreaLink* area : areas)
        if (area && std::find(Areas.begin(), Areas.end(), area) != Areas.end()) area->Update();
}

void TValueData::RegisterArea(TValueAreaLink* area) {
    if (!area || std::find(Areas.begin(), Areas.end(), area) != Areas.end()) return;
    const auto slot = std::find(Areas.begin(), Areas.end(), nullptr);
    if (slot != Areas.end())
        *slot = area;
    else
        Areas.push_back(area);
}

void TValueData::UnregisterArea(TValueAreaLink* area) {
    for (TValueAreaLink*& slot : Areas)
        if (slot == area) slot = nullptr;
}

void TValueData::SaveColors(const QString& fileName) {
    if (!FCanOptions) return;
    const QString name = IniName(fileName);
    if (!IsFileWritable(name)) return;
    TIniFile ini(name);
    ini.WriteString(IniSection, QStringLiteral("Colors"), ValueColorsText(Colors));
    ini.UpdateFile();
}

void TValueData::LoadColors(const QString& fileName) {
    if (!FCanOptions) return;
    const TIniFile ini(IniName(fileName));
    ApplyValueColorsText(ini.ReadString(IniSection, QStringLiteral("Colors"), QString()), Colors);
}

void TValueData::SaveOptions(const QString& fileName) {
    if (!FCanOptions) return;
    const QString name = IniName(fileName);
    if (!IsFileWritable(name)) return;
    TIniFile ini(name);
    for (const TValueItem& item : Items)
        ini.WriteString(IniSection, QStringLiteral("Options%1").arg(item.ID), ValueOptionsText(item));
    ini.UpdateFile();
}

void TValueData::LoadOptions(const QString& fileName) {
    if (!FCanOptions) return;
    const TIniFile ini(IniName(fileName));
    for (TValueItem& item : Items)
        ApplyValueOptionsText(ini.ReadString(IniSection, QStringLiteral("Options%1").arg(item.ID), QString()),
                              item);
}

// ---------------------------------------------------------------------------------------------

QString ValueOptionsText(const TValueItem& item) {
    QString flags;
    for (int bit = 0; bit < 8; ++bit)
        flags += (item.Flags & (1u << bit)) ? QLatin1Char('1') : QLatin1Char('0');
    return QStringList{FloatText(item.Min), FloatText(item.Max), FloatText(item.Step), flags}.join(
        QLatin1Char(' '));
}

void ApplyValueOptionsText(const QString& text, TValueItem& item) {
    // Three numbers, then the flag digits as the rest of the text.
    QString rest = text;
    double numbers[3] = {0, 0, 0};
    for (double& number : numbers) {
        rest = rest.trimmed();
        const qsizetype blank = rest.indexOf(QLatin1Char(' '));
        const QString token = blank < 0 ? rest : rest.left(blank);
        rest = blank < 0 ? QString() : rest.mid(blank + 1);
        if (token.isEmpty()) continue;
        try {
            number = StrToFloatAnySep(token);
        } catch (const std::invalid_argument&) {
            number = 0; // a bad number reads as 0; the others still count
        }
    }
    rest = rest.trimmed();
    std::uint8_t flags = 0;
    for (int k = 0; k < 8 && k < rest.size(); ++k)
        if (rest[k] == QLatin1Char('1')) flags |= static_cast<std::uint8_t>(1u << k);
    item.Min = numbers[0];
    item.Max = numbers[1];
    item.Step = numbers[2];
    item.Flags = flags;
}

QString ValueColorsText(const std::array<TColor, kValueColorCount>& colors) {
    QStringList parts;
    for (TColor color : colors) parts << QString::number(static_cast<std::int32_t>(color));
    return parts.join(QLatin1Char(' '));
}

void ApplyValueColorsText(const QString& text, std::array<TColor, kValueColorCount>& colors) {
    const QStringList tokens = (text + QLatin1Char(' ')).split(QLatin1Char(' '));
    for (int i = 0; i < kValueColorCount && i < tokens.size(); ++i) {
        const QString& token = tokens[i];
        if (token.isEmpty()) return;
        bool ok = false;
        const long long value = token.toLongLong(&ok);
        // Signed (system colours) or unsigned 32-bit texts; anything else ends the reading.
        if (!ok || value < INT32_MIN || value > static_cast<long long>(UINT32_MAX)) return;
        colors[static_cast<std::size_t>(i)] = static_cast<TColor>(static_cast<std::uint32_t>(value));
    }
}

QString FormatValue(const QString& format, double value) {
    return FormatParameterValue(format, static_cast<double>(static_cast<float>(value)));
}

bool IsTimeFormat(const QString& format) {
    return format.startsWith(QLatin1Char('T'));
}

bool IsRatioFormat(const QString& format) {
    return format.startsWith(QLatin1Char('F'));
}

bool TryParseValue(const QString& format, const QString& text, double& value) {
    if (IsTimeFormat(format)) return ParseTime(format, text, value);
    const QString t = text.trimmed();
    try {
        if (IsRatioFormat(format)) {
            if (t.compare(QLatin1String("n/a"), Qt::CaseInsensitive) == 0) {
                value = 0;
                return true;
            }
            if (t.startsWith(QLatin1String("1:"))) {
                const double divisor = StrToFloatAnySep(t.mid(2));
                if (divisor == 0) return false;
                value = 1.0 / divisor;
                return true;
            }
        }
        value = StrToFloatAnySep(t);
        return true;
    } catch (const std::invalid_argument&) {
        return false;
    }
}

double ParseValue(const QString& format, const QString& text) {
    double value = 0;
    if (!TryParseValue(format, text, value))
        throw std::invalid_argument("'" + text.toStdString() + "' is not a valid value");
    return value;
}

double StrToTimeSimple(const QString& text) {
    const qsizetype point = text.indexOf(QLatin1Char('.'));
    const QString t = point < 0 ? text : text.left(point);
    long long parts[3] = {0, 0, 0};
    qsizetype pos = 0;
    for (int i = 0; i < 3; ++i) {
        if (!ReadDigits(t, pos, parts[i])) return 0;
        if (pos == t.size()) break;
        if (t[pos] != QLatin1Char(':') || i == 2) return 0;
        ++pos;
    }
    if (parts[0] >= 24 || parts[1] >= 60 || parts[2] >= 60) return 0;
    return static_cast<double>(parts[0] * 3600 + parts[1] * 60 + parts[2]) / kSecondsPerDay;
}
