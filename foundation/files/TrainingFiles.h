// The file layer. This part: creating, resetting and sizing training records, and the texts of
// file-information displays.
#pragma once

#include "foundation/core/Types.h"

#include <QString>

#include <array>
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

// Training record routines

// All fields 0, then the defaults of a new rower: 80 kg, big sprocket, distance limit, Conconi
// start 150 / rest 10, intervals by time 60 s work, 30 s rest.
void InitUserSettings(TStgIni& ini);
// The next of the 15 training colours, red first after program start.
TColor NextTrainingColor();
// The next training takes the first colour again, as at program start.
void RestartTrainingColors();
void InitTrainingHeader(TStgHeader& header);
// Empties the training for a new session; its texts, colour, pen, source fields and settings stay.
void ResetTraining(TTraining& training);
bool IsEmptyTraining(const TTraining& training);
bool IsUserContent(const TTraining& training);
// Asks (through the prompt) before resetting a training that holds data. Reason 0 a changed
// value, 1 connecting again, 2 an explicit reset. True when the caller may go on.
bool ConfirmResetTraining(TTraining& training, int reason, bool& wasReset);
// Count -1 trims trailing strokes without time, 0 leaves only the average elements, otherwise
// StrokeData and ForceCurves get Count + 1 elements; new elements are numbered.
void SetStrokeCount(TTraining& training, int count);
// 0 empties, otherwise only grows to Count (new elements numbered from 1).
void SetIntervalCount(TTraining& training, int count);
void RoundStroke(const TStgStrokeData& source, TStgStrokeData& dest);
void RoundBlockToEighths(const TStgWorkout& source, TStgWorkout& dest);

// Texts of file-information displays
QString FormatHeaderText(const std::string& text); // Windows-1252 text, "-" when empty
// The first day past the header dates (11 November 2099).
inline constexpr int kHeaderDateEnd = 73000;
// A header date that is a date (1.0 <= date < kHeaderDateEnd: the years 1899 to 2099); anything
// else, NaN and infinities included, is no date.
bool IsHeaderDate(TDateTime date);
QString FormatHeaderDate(TDateTime date); // "-" for no date
QString FormatFileSize(const QString& fileName, std::int32_t storedSize);
QString FormatFileKind(std::uint8_t kind, std::uint8_t format);

// Force-curve arithmetic

// PeakForce, PeakForcePos (cm) and RelPeakForcePos (% of Length) of the stroke from its curve.
// Sprocket <> 0: samples 2.2 cm apart, otherwise 2.0 cm.
void CalcPeakForce(TStgStrokeData& stroke, const TStgForceCurve& curve, int sprocket);
// The drive length in cm read off the curve: where the force has fallen for good.
double EstimateStrokeLength(const TStgForceCurve& curve, int sprocket);
// The curve stretched (step < 1) or compressed (step > 1); both spans must have the same
// length, otherwise nothing is written.
void ResampleForceCurve(std::span<const Word> samples, double step, std::span<double> output);
// The average stroke and curve of strokes 1..n, indexed like a training's arrays (index 0 is
// not used). Only indexes held by both arrays count.
void AverageStrokes(std::span<const TStgStrokeData> strokes, std::span<const TStgForceCurve> curves,
                    int sprocket, TStgStrokeData& avgStroke, TStgForceCurve& avgCurve);
// Element 0 of the training's stroke arrays (which must not be empty) set to that average.
void SetAverageStroke(TTraining& training);

// The average of AverageStrokes kept up stroke by stroke, at the same cost whatever the number of
// strokes: running sums of energy and length (the same as AverageStrokes gives), and the curves
// summed per stretch length, so that a new mean length stretches one sum per length. Plateaus
// are smoothed in those sums rather than curve by curve: a sample may differ by about 1 N from
// AverageStrokes where several curves of one length have plateaus in different places. Stroke 1
// is left out as there; alone, it is its own average, which the caller takes from the training.
class TRunningStrokeAverage {
public:
    void Clear();
    // Stroke `number` stored with its curve (strokes come in rising order).
    void Add(int number, const TStgStrokeData& stroke, const TStgForceCurve& curve, int sprocket);
    // The curve of a stored stroke replaced (Present unchanged).
    void ReplaceCurve(int number, const TStgStrokeData& stroke, const TStgForceCurve& before,
                      const TStgForceCurve& after, int sprocket);
    // The average of strokes 2 and later.
    void Result(int sprocket, TStgStrokeData& avgStroke, TStgForceCurve& avgCurve) const;

private:
    struct TBundle {
        double Length = 0;
        int Curves = 0;
        std::array<double, kForceCurveSamples> Sum{};
    };
    void AddCurve(const TStgStrokeData& stroke, const TStgForceCurve& curve, int sprocket, int sign);

    int FCount = 0;
    float FEnergySum = 0;
    float FLengthSum = 0;
    std::vector<TBundle> FBundles;
};

// Dispatch and names
//
// Errors are shown (when asked for) through the prompt as boxes with an OK button.

// Called with 0.0 before reading, 1.0 after the reader returned and -1.0 at the end.
using TProgressProc = std::function<void(double)>;
// Width of a text in the units of ShortenPath's maximum (pixels of a font, characters ...).
using TTextWidthProc = std::function<int(const QString&)>;

// The template of every new training: "<program>.STG", else "Default.STG" (any case) in the
// user data folder when it holds user content; otherwise the built-in defaults (result false).
bool LoadDefaultTraining(TTraining& training);
// Reads any supported file by its extension (a .stg file also by its magic, whatever its name).
// On failure the record is empty (one zero stroke element) and the result false.
bool OpenTrainingFile(const QString& fileName, TTraining& training, bool showMessages,
                      const TProgressProc& progress = {});
bool ReadFileHeader(const QString& fileName, TStgHeader& header, std::int32_t& version, bool showMessages);
// Saves under fileName, or under a name the export dialog asks for when fileName is empty (it
// stays empty on cancel). The kind follows the header or the dialog's choice. On success
// fileName is the name written and Header.Modified 0; on failure fileName is empty and
// Header.Modified 1. A user file (.ini) of a training holding a session takes its settings only:
// the training stays as it was, its name and Header.Modified included.
bool ExportTraining(QString& fileName, const QString& initialDir, TTraining& training);
// What an export tried: Target is the name it wrote or tried to write (empty when the dialog
// was cancelled), Error why the write failed (empty on success).
struct TExportResult {
    QString Target;
    QString Error;
};
// The same, saying what happened. A failed save leaves the training's file identity as it was,
// with Header.Modified 1.
bool ExportTraining(QString& fileName, const QString& initialDir, TTraining& training, TExportResult& result);
// Makes the header that of the training's own .stg file `fileName`, as every writer of one sets
// it: the kind the file holds (`kind` asked for; an empty training is a User file, a session a
// Training), format, file date now and the size as written. Returns the kind.
int StampOwnStgFile(TTraining& training, const QString& fileName, int kind);
// Writes the training as `kind` (a ContentKindNames index) when the name's extension fits it;
// nothing is written otherwise, nor over the program's own settings file. An existing file is
// replaced only by a complete new one.
bool SaveTrainingAs(const QString& fileName, const TTraining& training, int kind);
// The same with the reason of a failure (kind and extension that do not go together, a folder
// that cannot be made, the system's write error).
bool SaveTrainingAs(const QString& fileName, const TTraining& training, int kind, QString& error);
// The FileFormatNames index of the name's extension (its first 6 characters), 0 for none.
std::uint8_t FileFormatOfName(const QString& fileName);
// Empty for a training not yet saved ("?"), else its own file name, else its source file name.
QString TrainingDisplayName(const TTraining& training);
// Replaces {date} {time} {title} {name} {description} {event} {type} in any case.
QString ExpandFileNameTemplate(const TTraining& training, const QString& fileTemplate);
// Kinds for BuildOpenFilter: one bit per FileFormatNames index.
constexpr std::uint32_t FileFormatBit(std::uint8_t format) {
    return format < 32 ? 1u << format : 0u;
}
// An open-dialog filter "description|pattern|..." for the chosen kinds, optionally a combined
// entry and "All files (*.*)"; count is the number of entries without the last one.
void BuildOpenFilter(std::uint32_t kinds, bool combined, bool allFiles, QString& filter, int& count,
                     bool withPatterns);
// Date (bit 0), time (1), Title (2), Name (3), Description (4), TrainingType (5), Event (6),
// Note (7), joined by LF or "; ".
QString TrainingLabelText(const TStgHeader& header, std::uint8_t fields, bool multiline);
// Drops leading folders of a '/' path, marking the cut with "...", until it fits maxWidth.
QString ShortenPath(const QString& path, const TTextWidthProc& textWidth, int maxWidth);
// File types with the desktop: shared-mime-info types, a .desktop entry and icons in the user's
// data folder. Nothing is registered or removed for a program on removable media (sysRoot is
// where that is looked up). False, with the reason, when nothing was done or some file could not
// be written or removed.
bool RegisterFileAssociations(bool zti, bool ztr, bool zts, bool str, bool stg);
bool RegisterFileAssociations(bool zti, bool ztr, bool zts, bool str, bool stg, QString& error,
                              const QString& sysRoot = QStringLiteral("/sys"));
// shellExtension and propertySheet have no desktop counterpart and are ignored.
bool RegisterFileAssociation(bool doRegister, const QString& extension, const QString& description,
                             bool shellExtension, bool propertySheet, int iconIndex);

// .stg files
//
// A file is read chunk by chunk: chunks that are skipped are never read, and a chunk's counts
// are checked before its bytes are. A damaged or hostile file makes the read fail (false) and
// never crashes, hangs or allocates more than its records can hold. Failures are reported by
// result only (the system's reason, when there is one, by LastReadError); messages are the
// caller's.

// Files larger than this are neither read nor written. A training of 24 hours is about 40 MB
// (65,535 strokes with curves, 7 million raw samples).
inline constexpr qint64 kMaxStgFileSize = qint64{128} << 20;
// The packed version this program writes into .stg files; never 0.
std::int32_t StgWriterVersion();
// The size of the .stg file the training is written as (what Header.FileSize stores).
std::int32_t StgFileSize(const TTraining& training);
// Writes the training through a temporary file in the target folder that replaces the target
// only when complete; on failure the old file is left as it was. True when written.
bool WriteStgFile(const QString& fileName, const TTraining& training);
// The file's bytes, or false (and nothing) when the reader would refuse them: WriteStgFile writes
// nothing then.
bool EncodeStgFileForReader(const TTraining& training, std::vector<std::uint8_t>& bytes);
// Reads a whole training (the record is cleared first). Files older than the chunked format
// fail here; their header can still be read by ReadStgHeader. A stroke record cut by the end of
// the file also sounds a tone (2500 Hz, 100 ms).
bool ReadStgFile(const QString& fileName, TTraining& training);
// Reads only the file information. `version` is the version read (also when the read fails
// after it; 0 when it could not be read).
bool ReadStgHeader(const QString& fileName, TStgHeader& header, std::int32_t& version);
// The same from and to memory. DecodeStgFile leaves Header.FileName as stored.
std::vector<std::uint8_t> EncodeStgFile(const TTraining& training);
bool DecodeStgFile(const std::uint8_t* data, std::size_t size, TTraining& training);
bool DecodeStgHeader(const std::uint8_t* data, std::size_t size, TStgHeader& header, std::int32_t& version);

// .str and user files
//
// The stroke file (.str, 218 bytes) holds one stroke, its force curve and the rower's settings;
// the user file (.ini, 106 bytes, binary) holds the settings alone. Values are stored as 16-bit
// words and bytes: reading rounds nothing, writing rounds and clamps every value into its field.

inline constexpr int kStrFileSize = 218;
inline constexpr int kUserFileSize = 106;
inline constexpr int kStrStrokeRecordSize = 32; // 16 words
inline constexpr int kStrForceRecordSize = 80;  // one byte per sample
inline constexpr int kUserRecordSize = kUserFileSize;
inline constexpr int kUserNameSize = 9;
inline constexpr double kStrForceStep = 3.85; // N per force byte

// File information for lists: the defaults of a new header, Title, SourceFileName, dates and
// size from the file, the source kind. True when the size is that of the kind; a user file must
// also carry its fixed bytes (a text settings file named .ini is not one).
bool StrFileHeader(const QString& fileName, TStgHeader& header);
bool UserFileHeader(const QString& fileName, TStgHeader& header);
// Reads a whole file into a training the caller has cleared: the header from the file, then the
// record(s). False for a wrong size, a short read, or a user file without its fixed bytes.
bool ReadStrFile(const QString& fileName, TTraining& training);
bool ReadUserFile(const QString& fileName, TTraining& training);
// Writes through a temporary file that replaces the target only when complete. True when written.
// A training without stroke 1 writes a zero stroke and curve.
bool WriteStrFile(const QString& fileName, const TTraining& training);
bool WriteUserFile(const QString& fileName, const TTraining& training);
// The same from and to memory. The decoders set the stroke arrays and Workout (.str: the stroke's
// totals), Ini and Header.Name and leave the rest of the record as it is.
bool DecodeStrFile(const std::uint8_t* data, std::size_t size, TTraining& training);
bool DecodeUserFile(const std::uint8_t* data, std::size_t size, TTraining& training);
std::vector<std::uint8_t> EncodeStrFile(const TTraining& training);
std::vector<std::uint8_t> EncodeUserFile(const TTraining& training);

// Device file import
//
// The ZtIV devices' user (.zti, 76 bytes), stroke (.ztr, 200 bytes) and session (.zts, at
// least 292 bytes) files; read only.

enum TZtFileKind : std::uint8_t { ztkUser = 0, ztkStroke = 1, ztkSession = 2 };

inline constexpr int kZtStartSize = 76;
inline constexpr int kZtStrokeBlockSize = 48;
inline constexpr int kZtForceBlockSize = 76;
inline constexpr int kZtIntervalBlockSize = 8;
inline constexpr int kZtSessionBlockSize = 216;
inline constexpr int kZtiFileSize = kZtStartSize;
inline constexpr int kZtrFileSize = kZtStartSize + kZtStrokeBlockSize + kZtForceBlockSize;
inline constexpr int kZtsMinFileSize = kZtStartSize + kZtSessionBlockSize;
inline constexpr double kZtForceStep = 5.75; // N per force byte

// File information as for .str files; true when the size fits the kind.
bool ZtiFileHeader(const QString& fileName, TStgHeader& header);
bool ZtrFileHeader(const QString& fileName, TStgHeader& header);
bool ZtsFileHeader(const QString& fileName, TStgHeader& header);
// Imports a file into a training the caller has cleared. False for a wrong magic or kind,
// counts the file cannot hold, a stroke count K above N, or a short read.
bool ReadZtiFile(const QString& fileName, TTraining& training);
bool ReadZtrFile(const QString& fileName, TTraining& training);
bool ReadZtsFile(const QString& fileName, TTraining& training);
// The same from memory: sets the stroke and interval arrays, Ini, Workout, Header.CurrentStroke
// and Header.Note and leaves the rest of the record as it is.
bool DecodeZtFile(const std::uint8_t* data, std::size_t size, TZtFileKind kind, TTraining& training);
