// The live values that value areas show: one TValueItem per displayable value (current value,
// a 25-sample history, its average, display options), the drawing colours shared by every area
// of the data, and the value formatting and parsing of the value display.
//
// The data knows its areas only through TValueAreaLink, so it stays below the window library;
// the value area widget implements the link.
#pragma once

#include "foundation/core/Types.h"

#include <QString>
#include <array>
#include <cstdint>
#include <memory>
#include <vector>

inline constexpr int kValueHistoryLength = 25;
inline constexpr int kValueColorCount = 7;

// Cell codes of a value area; never item IDs.
inline constexpr int kEmptyCellId = -1;
inline constexpr int kLogoCellId = -2;

// Flags bits of TValueItem.
inline constexpr std::uint8_t vfBar = 1;
inline constexpr std::uint8_t vfBarGrid = 2;
inline constexpr std::uint8_t vfBarAvg = 4;
inline constexpr std::uint8_t vfHistory = 8;
inline constexpr std::uint8_t vfHistoryGrid = 16;
inline constexpr std::uint8_t vfHistoryAvg = 32;
inline constexpr std::uint8_t vfHistoryLeft = 64;
inline constexpr std::uint8_t vfMinMax = 128;

// System colours are kept as the classic "system colour" values (high byte 0xFF, low byte the
// colour index) so that settings files keep their numbers; the window library resolves them.
inline constexpr TColor clBtnFace = 0xFF00000Fu;
inline constexpr TColor clBtnHighlight = 0xFF000014u;
inline constexpr TColor clBtnShadow = 0xFF000010u;
inline constexpr TColor clWindowFrame = 0xFF000006u;
inline constexpr TColor clWindow = 0xFF000005u;
inline constexpr TColor clBlack = 0x000000u;
inline constexpr TColor clYellow = 0x00FFFFu;
inline constexpr TColor clAqua = 0xFFFF00u;
inline constexpr TColor clGray = 0x808080u;
inline constexpr TColor clRed = 0x0000FFu;
inline constexpr TColor clBlue = 0xFF0000u;

struct TValueItem {
    std::int32_t ID = -1;
    QString Caption;
    QString Hint;
    QString Format;
    double Value = 0;
    double Min = 0;
    double Max = 0;
    double Step = 0;
    std::array<double, kValueHistoryLength> History{}; // oldest first; -1.0 = empty slot
    double Average = 0;
    std::uint8_t Flags = 0;

    bool operator==(const TValueItem&) const = default;
};

enum class TLogoPosition : std::uint8_t { lpCenter, lpStretch, lpProportional };
enum class TLogoMode : std::uint8_t { lmOpaque, lmTransparant, lmFill };

// The picture of logo cells. The window library derives the real picture from it.
class TValueLogo {
public:
    virtual ~TValueLogo() = default;
    virtual int Width() const = 0;
    virtual int Height() const = 0;
    bool Transparent = true;
};

// What the data needs from an attached area.
class TValueAreaLink {
public:
    virtual void Update() = 0;             // repaint every cell
    virtual void DataOptionsChanged() = 0; // CanAdd/CanChange/CanOptions changed: rebuild the menu
    virtual void DataDestroyed() = 0;      // the data goes away: forget it
protected:
    ~TValueAreaLink() = default;
};

class TValueData {
public:
    TValueData();
    ~TValueData();
    TValueData(const TValueData&) = delete;
    TValueData& operator=(const TValueData&) = delete;

    std::array<TColor, kValueColorCount> Colors;
    QString IniSection = QStringLiteral("ValueData");
    std::vector<TValueItem> Items;
    std::vector<TValueAreaLink*> Areas; // a detached area leaves a null slot
    std::unique_ptr<TValueLogo> Logo;   // owned; null = empty logo
    TLogoPosition LogoPosition = TLogoPosition::lpCenter;
    TLogoMode LogoMode = TLogoMode::lmOpaque;

    bool CanAdd() const { return FCanAdd; }
    bool CanChange() const { return FCanChange; }
    bool CanOptions() const { return FCanOptions; }
    void SetCanAdd(bool value);
    void SetCanChange(bool value);
    void SetCanOptions(bool value);

    // Item table; IDs are the owner's numbers.
    int ItemCount() const { return static_cast<int>(Items.size()); }
    int IDByIndex(int index) const; // index counted from 1; -1 outside 1..ItemCount
    bool ItemExists(int id) const;
    // A cleared record with ID -1 when the ID is not defined.
    bool GetItem(int id, TValueItem& item) const;
    void SetItem(int id, const TValueItem& item); // an undefined ID is ignored
    const TValueItem* FindItem(int id) const;

    // A new ID is appended; an existing one keeps its place but is reset (options and history).
    void DefineValue(int id, const QString& caption, const QString& hint, const QString& format);
    // Stores the value; with addToHistory it also enters the history and renews the average.
    // No repaint: the owner calls UpdateAreas.
    void SetValue(int id, bool addToHistory, double value);
    void ClearValues(); // values and averages 0, histories empty; then UpdateAreas
    void UpdateAreas();

    void RegisterArea(TValueAreaLink* area);
    void UnregisterArea(TValueAreaLink* area);

    // Settings file (an empty name = the program's own .ini). Only while CanOptions; saving
    // skips a file that cannot be written.
    void SaveColors(const QString& fileName);
    void LoadColors(const QString& fileName);
    void SaveOptions(const QString& fileName);
    void LoadOptions(const QString& fileName);

private:
    bool FCanAdd = true;
    bool FCanChange = true;
    bool FCanOptions = true;
    void OptionsChanged();
    TValueItem* Find(int id);
};

// The settings texts of one item's options and of the colours, on their own.
QString ValueOptionsText(const TValueItem& item);          // "min max step 10010000"
void ApplyValueOptionsText(const QString& text, TValueItem& item); // bad numbers read as 0
QString ValueColorsText(const std::array<TColor, kValueColorCount>& colors);
void ApplyValueColorsText(const QString& text, std::array<TColor, kValueColorCount>& colors);

// Value texts. Format "T...": a time (value in days), "F...": a ratio, else printf-like; the
// value is taken in single precision.
QString FormatValue(const QString& format, double value);
bool IsTimeFormat(const QString& format);
bool IsRatioFormat(const QString& format);
// Reads a text made by FormatValue back. Times are read by the fields of the format (the last
// number is the format's last field, so "01:15.2" of "Thh:nn:ss.0" is 75.2 s); numbers take
// '.' or ','. False for a text that cannot be read; value is then unchanged.
bool TryParseValue(const QString& format, const QString& text, double& value);
double ParseValue(const QString& format, const QString& text); // throws std::invalid_argument
// H[:M[:S]] before the first '.', the first number always hours; 0 for a malformed text.
double StrToTimeSimple(const QString& text);
