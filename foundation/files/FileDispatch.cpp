#include "foundation/files/TrainingFiles.h"

#include "foundation/core/AppUtils.h"
#include "foundation/core/DateTimeUtils.h"
#include "foundation/core/Prompt.h"
#include "foundation/files/FileIo.h"
#include "platform/CodePage.h"
#include "platform/DesktopFileTypes.h"
#include "platform/FileNames.h"
#include "platform/SystemProbe.h"

#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <algorithm>
#include <array>
#include <limits>
#include <sys/stat.h>

namespace {

using TReadTrainingProc = bool (*)(const QString&, TTraining&);
using TReadHeaderProc = bool (*)(const QString&, TStgHeader&, std::int32_t&);
using TWriteTrainingProc = bool (*)(const QString&, const TTraining&);

struct TFileReader {
    std::uint8_t Format;
    TReadTrainingProc Read;
    TReadHeaderProc ReadHeader;
};

// Header readers of the formats that carry no version.
template <bool (*Read)(const QString&, TStgHeader&)>
bool ReadHeaderWithoutVersion(const QString& fileName, TStgHeader& header, std::int32_t& version) {
    version = 0;
    return Read(fileName, header);
}

const TFileReader StgReader{kFileFormatStg, ReadStgFile, ReadStgHeader};
// The readers of the other extensions.
const std::array<TFileReader, 5> FileReaders{{
    {kFileFormatStr, ReadStrFile, ReadHeaderWithoutVersion<StrFileHeader>},
    {kFileFormatIni, ReadUserFile, ReadHeaderWithoutVersion<UserFileHeader>},
    {kFileFormatZti, ReadZtiFile, ReadHeaderWithoutVersion<ZtiFileHeader>},
    {kFileFormatZts, ReadZtsFile, ReadHeaderWithoutVersion<ZtsFileHeader>},
    {kFileFormatZtr, ReadZtrFile, ReadHeaderWithoutVersion<ZtrFileHeader>},
}};

void ShowError(bool showMessages, const QString& text) {
    if (showMessages) PromptUser(text, TMsgKind::Error, TMsgButtons::Ok);
}

// Anything of that name: a folder, pipe or device exists too (and is then refused with its reason).
bool FileExists(const QString& fileName) {
    struct stat st {};
    return !fileName.isEmpty() && ::stat(EncodeFileName(fileName).constData(), &st) == 0;
}

// The message followed by the system's reason on a line of its own, when a read had one.
QString WithReason(const QString& text) {
    const QString reason = LastReadError();
    return reason.isEmpty() ? text : text + QLatin1Char('\n') + reason;
}

// The extension of the name part with its dot, as stored in file names ("" for none).
QString FileExtension(const QString& fileName) {
    const qsizetype slash = fileName.lastIndexOf(QLatin1Char('/'));
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    return dot > slash ? fileName.mid(dot) : QString();
}

QString WithoutExtension(const QString& fileName) {
    return fileName.left(fileName.size() - FileExtension(fileName).size());
}

bool HasStgMagic(const QString& fileName) {
    QByteArray head;
    return ReadFilePrefix(fileName, 4, head) && head.size() == 4 &&
           std::equal(head.begin(), head.end(), TrainingMagic.begin());
}

// The reader for a file: by its extension, and a .stg file by its magic under any name (a
// training kept as .stg content under another extension stays readable). A proper file of its
// own extension keeps its reader: a user file's name or a stroke's first words may spell the magic.
const TFileReader* ReaderOf(const QString& fileName) {
    const std::uint8_t format = FileFormatOfName(fileName);
    if (format == kFileFormatStg) return &StgReader;
    const TFileReader* own = nullptr;
    for (const TFileReader& reader : FileReaders)
        if (reader.Format == format) own = &reader;
    if (HasStgMagic(fileName)) {
        TStgHeader probe;
        std::int32_t version = 0;
        if (!own || !own->ReadHeader(fileName, probe, version)) return &StgReader;
    }
    return own;
}

void ClearTraining(TTraining& training) {
    training = TTraining{};
    SetStrokeCount(training, 0);
    SetIntervalCount(training, 0);
}

// The file of that name in folder, found without regard to case; empty when there is none.
QString FindFileAnyCase(const QString& folder, const QString& fileName) {
    if (QFileInfo(folder + fileName).isFile()) return folder + fileName;
    const QStringList entries = QDir(folder).entryList(QDir::Files);
    for (const QString& entry : entries)
        if (entry.compare(fileName, Qt::CaseInsensitive) == 0) return folder + entry;
    return {};
}

// The content kind of an export-dialog filter entry, from its description's first letters.
int KindOfFilterEntry(const QString& filter, int index) {
    const QStringList parts = filter.split(QLatin1Char('|'));
    const qsizetype at = 2 * qsizetype(index - 1);
    if (index < 1 || at >= parts.size()) return 0;
    const QString head = parts[at].left(4).toUpper();
    if (head == QLatin1String("TRAI") || head == QLatin1String("SESS") || head == QLatin1String("FITL"))
        return kContentKindTraining;
    if (head == QLatin1String("USER")) return kContentKindUser;
    if (head == QLatin1String("INTE")) return kContentKindIntervals;
    if (head == QLatin1String("STRO")) return kContentKindStrokeData;
    if (head == QLatin1String("FORC")) return kContentKindForceCurves;
    if (head == QLatin1String("FULL")) return kContentKindFullStrokeData;
    return 0;
}

// The writer a kind and extension call for; nullptr when they do not go together.
TWriteTrainingProc WriterOf(int kind, std::uint8_t format, bool& known) {
    known = true;
    switch (kind) {
    case kContentKindStroke:
        return WriteStrFile;
    case kContentKindTraining:
    case kContentKindRow:
        if (format == kFileFormatStg) return WriteStgFile;
        break;
    case kContentKindUser:
        if (format == kFileFormatIni) return WriteUserFile;
        if (format == kFileFormatStg) return WriteStgFile;
        break;
    case kContentKindManual:
        return WriteStgFile;
    default:
        break;
    }
    known = false;
    return nullptr;
}

QString TemplateText(const std::string& text, const char* empty) {
    QString out;
    for (const char c : text)
        if (c == ' ' || c == '-' || c == '_' || (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') ||
            (c >= 'a' && c <= 'z'))
            out += QLatin1Char(c);
    return out.isEmpty() ? QString::fromLatin1(empty) : out;
}

struct TFilterKind {
    std::uint8_t Format;
    const char* Description;
    const char* Pattern;
};
constexpr std::array<TFilterKind, 6> FilterKinds{{
    {kFileFormatStg, "Training files (*.stg)", "*.stg"},
    {kFileFormatStr, "Stroke files (*.str)", "*.str"},
    {kFileFormatIni, "User files (*.ini)", "*.ini"},
    {kFileFormatZts, "ZtIV Session files (*.zts)", "*.zts"},
    {kFileFormatZtr, "ZtIV Stroke files (*.ztr)", "*.ztr"},
    {kFileFormatZti, "ZtIV User files (*.zti)", "*.zti"},
}};

// Drops the first folder level of a folder part ("/a/b/" -> "/.../b/").
void CutFirstFolder(QString& folder) {
    const bool root = folder.startsWith(QLatin1Char('/'));
    if (root) folder.remove(0, 1);
    if (folder.startsWith(QLatin1String(".../"))) folder.remove(0, 4);
    const qsizetype slash = folder.indexOf(QLatin1Char('/'));
    folder = slash >= 0 ? QStringLiteral(".../") + folder.mid(slash + 1) : QString();
    if (root) folder.prepend(QLatin1Char('/'));
}

bool RegisterOneType(const TDesktopFileTypeTarget& target, bool doRegister, const QString& extension,
                     const QString& description, int iconIndex) {
    if (!doRegister) return UnregisterDesktopFileType(target, extension);
    TDesktopFileType type;
    type.Extension = extension;
    type.Description = QStringLiteral("%1 %2 File").arg(GetProductName(), description).trimmed();
    type.IconIndex = iconIndex;
    if (extension.compare(QLatin1String("stg"), Qt::CaseInsensitive) == 0)
        type.Magic = QByteArray(TrainingMagic.data(), TrainingMagic.size());
    return RegisterDesktopFileType(target, type);
}

} // namespace

bool LoadDefaultTraining(TTraining& training) {
    ClearTraining(training);
    const QString folder = GetUserDataFolder();
    QString fileName;
    const QString program = QFileInfo(ProgramFilePath()).fileName();
    if (!program.isEmpty() && !folder.isEmpty())
        fileName = FindFileAnyCase(folder, WithoutExtension(program) + QStringLiteral(".STG"));
    if (fileName.isEmpty() && !folder.isEmpty())
        fileName = FindFileAnyCase(folder, QStringLiteral("Default.STG"));

    // Read once: a template that is not user content is dropped after the read.
    if (!fileName.isEmpty() && OpenTrainingFile(fileName, training, false) && IsUserContent(training)) {
        training.Magic = TrainingMagic;
        training.Version = static_cast<std::int32_t>(GetFileVersionInt());
        TStgHeader& h = training.Header;
        h.FileDate = 0;
        h.FileSize = 0;
        h.FileName.clear();
        h.SourceFileName.clear();
        training.FilePath.clear();
        h.Date = Now();
        h.Protocol = kvpUnknown;
        h.SourceProgram = kThisSourceProgram;
        h.InterfaceType = 0;
        h.DeviceId.clear();
        h.Guid = NewGuid();
        return true;
    }
    // Nothing of a template that failed part-way may survive into the defaults.
    ClearTraining(training);
    training.Magic = TrainingMagic;
    training.Version = static_cast<std::int32_t>(GetFileVersionInt());
    InitUserSettings(training.Ini);
    InitTrainingHeader(training.Header);
    training.Header.FileFormat = kFileFormatStg;
    training.Header.ContentKind = kContentKindManual;
    training.Header.Date = Now();
    return false;
}

bool OpenTrainingFile(const QString& fileName, TTraining& training, bool showMessages,
                      const TProgressProc& progress) {
    if (progress) progress(0.0);
    ClearTraining(training);
    bool ok = false;
    if (!FileExists(fileName)) {
        ShowError(showMessages, QStringLiteral("File \"%1\" not found").arg(DisplayFileName(fileName)));
    } else {
        SetReadError(QString());
        const TFileReader* reader = ReaderOf(fileName);
        if (reader && reader->Read)
            ok = reader->Read(fileName, training);
        if (ok)
            training.FilePath = fileName;
        else
            DebugTrace(QStringLiteral("No reader for ") + fileName);
        if (progress) progress(1.0);
        if (!ok) {
            ClearTraining(training);
            ShowError(showMessages, WithReason(QStringLiteral("Error reading file \"%1\"").arg(DisplayFileName(fileName))));
        }
        for (std::size_t i = 1; i < training.StrokeData.size(); ++i)
            if (training.StrokeData[i].IntervalCountdown > 64000)
                training.StrokeData[i].IntervalCountdown = 0;
    }
    if (progress) progress(-1.0);
    return ok;
}

bool ReadFileHeader(const QString& fileName, TStgHeader& header, std::int32_t& version, bool showMessages) {
    header = TStgHeader{};
    version = 0;
    if (!FileExists(fileName)) {
        ShowError(showMessages, QStringLiteral("File \"%1\" not found").arg(DisplayFileName(fileName)));
        return false;
    }
    SetReadError(QString());
    const TFileReader* reader = ReaderOf(fileName);
    const bool ok = reader && reader->ReadHeader && reader->ReadHeader(fileName, header, version);
    if (!ok) {
        header = TStgHeader{};
        ShowError(showMessages,
                  WithReason(QStringLiteral("Error reading header of file \"%1\"").arg(DisplayFileName(fileName))));
    }
    return ok;
}

bool ExportTraining(QString& fileName, const QString& initialDir, TTraining& training) {
    TExportResult result;
    return ExportTraining(fileName, initialDir, training, result);
}

bool ExportTraining(QString& fileName, const QString& initialDir, TTraining& training, TExportResult& result) {
    result = TExportResult{};
    TStgHeader& h = training.Header;
    bool fromDialog = false;
    int kind = 0;
    std::uint8_t format = 0;
    QString name = fileName;
    if (!name.isEmpty()) {
        if (FileFormatOfName(name) == kFileFormatStg) {
            format = kFileFormatStg;
            kind = h.ContentKind;
        } else {
            format = h.SourceFileFormat;
            kind = h.SourceContentKind;
        }
    } else {
        TSaveDialogRequest dialog;
        dialog.Title = QStringLiteral("Export training session");
        dialog.Filter = QStringLiteral("Trainings (*.stg)|*.stg|") + QStringLiteral("User (*.ini)|*.ini|");
        dialog.FilterIndex = 1;
        dialog.DefaultExt = QStringLiteral("STG");
        dialog.OverwritePrompt = true;
        dialog.HideReadOnly = true;
        dialog.PathMustExist = true;
        dialog.Resizable = true;
        dialog.InitialDir = initialDir;
        dialog.FileName = WithoutExtension(TrainingDisplayName(training));
        if (!PromptSaveFileName(dialog) || dialog.FileName.isEmpty()) {
            fileName.clear();
            return false;
        }
        name = dialog.FileName;
        fromDialog = true;
        format = FileFormatOfName(name);
        kind = KindOfFilterEntry(dialog.Filter, dialog.FilterIndex);
    }

    // A user file keeps the rower's settings only: a training holding a session stays as it was,
    // named and modified, until its strokes are in a training file.
    if (kind == kContentKindUser && FileFormatOfName(name) == kFileFormatIni && !IsEmptyTraining(training)) {
        result.Target = name;
        const bool ok = SaveTrainingAs(name, training, kind, result.Error);
        fileName = ok ? name : QString();
        return ok;
    }

    // A failed save must not leave the training named after a file that was never written.
    const TStgHeader before = h;
    const std::array<char, 4> magic = training.Magic;
    const std::int32_t version = training.Version;

    training.Magic = TrainingMagic;
    training.Version = static_cast<std::int32_t>(GetFileVersionInt());
    if (h.Guid == TGUID{} || fromDialog) h.Guid = NewGuid();

    // The target's own extension decides the branch: a reset training has FileFormat 0 but
    // still saves as its own .stg file.
    const bool ownStgFile = FileFormatOfName(name) == kFileFormatStg;
    SetStrokeCount(training, -1);
    if (!ownStgFile) {
        h.SourceFileName = QStringToCp1252(name);
        h.FileName.clear();
        h.FileDate = 0;
        h.FileSize = 0;
        h.FileFormat = 0;
        h.ContentKind = 0;
        h.SourceFileFormat = format;
        h.SourceContentKind = static_cast<std::uint8_t>(kind);
        h.SourceFileDate = Now();
    } else {
        kind = StampOwnStgFile(training, name, kind);
    }
    h.Modified = 0;
    result.Target = name;
    const bool ok = SaveTrainingAs(name, training, kind, result.Error);
    if (!ok) {
        training.Magic = magic;
        training.Version = version;
        h = before;
        h.Modified = 1;
    } else {
        training.FilePath = name;
    }
    fileName = ok ? name : QString();
    return ok;
}

int StampOwnStgFile(TTraining& training, const QString& fileName, int kind) {
    TStgHeader& h = training.Header;
    if (IsEmptyTraining(training))
        kind = kContentKindUser;
    else if (h.ContentKind == kContentKindManual)
        kind = kContentKindManual;
    else if (h.ContentKind == kContentKindRow)
        kind = kContentKindTraining;
    h.FileName = QStringToCp1252(fileName);
    h.FileFormat = kFileFormatStg;
    h.ContentKind = static_cast<std::uint8_t>(kind);
    h.FileDate = Now();
    // The size of the file as it will be written: the stored size field has a fixed length.
    h.FileSize = StgFileSize(training);
    return kind;
}

bool SaveTrainingAs(const QString& fileName, const TTraining& training, int kind) {
    QString error;
    return SaveTrainingAs(fileName, training, kind, error);
}

bool SaveTrainingAs(const QString& fileName, const TTraining& training, int kind, QString& error) {
    error.clear();
    if (fileName.isEmpty()) {
        error = QStringLiteral("No file name");
        return false;
    }
    if (IsProgramSettingsFile(fileName)) {
        error = SettingsFileOverwriteReason();
        return false;
    }
    bool known = false;
    const TWriteTrainingProc writer = WriterOf(kind, FileFormatOfName(fileName), known);
    if (!writer) {
        const QString kindName = kind >= 0 && std::size_t(kind) < ContentKindNames.size()
                                     ? QString::fromLatin1(ContentKindNames[std::size_t(kind)].data(),
                                                           qsizetype(ContentKindNames[std::size_t(kind)].size()))
                                     : QString::number(kind);
        const QString ext = FileExtension(fileName);
        error = QStringLiteral("Content \"%1\" cannot be saved as a %2 file")
                    .arg(kindName, ext.isEmpty() ? QStringLiteral("nameless") : ext);
        DebugTrace(error + QStringLiteral(": ") + fileName);
        return false;
    }
    const QString folder = QFileInfo(fileName).absolutePath();
    if (!ForceFolder(folder)) {
        error = QStringLiteral("Folder \"%1\" cannot be created").arg(folder);
        return false;
    }
    if (writer(fileName, training)) return true;
    error = LastSaveError();
    if (error.isEmpty()) error = QStringLiteral("The training does not fit into this file format");
    return false;
}

std::uint8_t FileFormatOfName(const QString& fileName) {
    const QString ext = FileExtension(fileName).mid(1, kFileFormatNameWidth).toUpper();
    for (std::size_t i = FileFormatNames.size() - 1; i >= 1; --i)
        if (ext ==
            QLatin1String(FileFormatNames[i].data(), static_cast<qsizetype>(FileFormatNames[i].size())))
            return static_cast<std::uint8_t>(i);
    return 0;
}

QString TrainingDisplayName(const TTraining& training) {
    const TStgHeader& h = training.Header;
    if (h.FileName == "?") return {};
    const std::string& stored = h.FileName.empty() ? h.SourceFileName : h.FileName;
    // The whole name while the header names that file; the header's text for anything else.
    if (!training.FilePath.isEmpty() && StoredShortString(training.FilePath) == stored)
        return training.FilePath;
    return Cp1252ToQString(stored);
}

QString ExpandFileNameTemplate(const TTraining& training, const QString& fileTemplate) {
    const TStgHeader& h = training.Header;
    const QDateTime date = DateTimeToQDateTime(h.Date);
    QString out = fileTemplate;
    out.replace(QLatin1String("{date}"), date.toString(QStringLiteral("yyyyMMdd")), Qt::CaseInsensitive);
    out.replace(QLatin1String("{time}"), date.toString(QStringLiteral("HHmmss")), Qt::CaseInsensitive);
    // The texts lose every character that could be a path separator or otherwise odd in a name.
    out.replace(QLatin1String("{title}"), TemplateText(h.Title, "(TITLE)"), Qt::CaseInsensitive);
    out.replace(QLatin1String("{name}"), TemplateText(h.Name, "(NAME)"), Qt::CaseInsensitive);
    out.replace(QLatin1String("{description}"), TemplateText(h.Description, "(DESCRIPTION)"),
                Qt::CaseInsensitive);
    out.replace(QLatin1String("{event}"), TemplateText(h.Event, "(EVENT)"), Qt::CaseInsensitive);
    out.replace(QLatin1String("{type}"), TemplateText(h.TrainingType, "(TYPE)"), Qt::CaseInsensitive);
    return out;
}

void BuildOpenFilter(std::uint32_t kinds, bool combined, bool allFiles, QString& filter, int& count,
                     bool withPatterns) {
    filter.clear();
    count = 0;
    QString list;
    QString patterns;
    for (const TFilterKind& k : FilterKinds) {
        if (!(kinds & FileFormatBit(k.Format))) continue;
        filter += QLatin1String(k.Description) + QLatin1Char('|');
        if (withPatterns) filter += QLatin1String(k.Pattern) + QLatin1Char('|');
        list += QLatin1String(k.Pattern) + QLatin1String(", ");
        patterns += QLatin1String(k.Pattern) + QLatin1Char(';');
        ++count;
    }
    if (combined) {
        list.chop(list.endsWith(QLatin1String(", ")) ? 2 : 0);
        patterns.chop(patterns.endsWith(QLatin1Char(';')) ? 1 : 0);
        filter += QStringLiteral("%1 compatible files (%2)|").arg(GetProductName(), list);
        if (withPatterns) filter += patterns + QLatin1Char('|');
        ++count;
    }
    if (allFiles) {
        filter += QStringLiteral("All files (*.*)");
        if (withPatterns) filter += QStringLiteral("|*.*");
    } else if (filter.endsWith(QLatin1Char('|'))) {
        filter.chop(1);
    }
}

QString TrainingLabelText(const TStgHeader& header, std::uint8_t fields, bool multiline) {
    const QDateTime date = DateTimeToQDateTime(header.Date);
    const QLocale locale = QLocale::system();
    QStringList parts;
    if (fields & 0x01) parts << locale.toString(date.date(), QLocale::ShortFormat);
    if (fields & 0x02) parts << locale.toString(date.time(), LocaleLongTimeFormat());
    const std::array<const std::string*, 6> texts{&header.Title,        &header.Name,  &header.Description,
                                                  &header.TrainingType, &header.Event, &header.Note};
    for (std::size_t i = 0; i < texts.size(); ++i)
        if (fields & (0x04u << i)) parts << Cp1252ToQString(*texts[i]);
    return parts.join(multiline ? QStringLiteral("\n") : QStringLiteral("; "));
}

QString ShortenPath(const QString& path, const TTextWidthProc& textWidth, int maxWidth) {
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    QString folder = path.left(slash + 1);
    const QString name = path.mid(slash + 1);
    QString result = folder + name;
    while (!folder.isEmpty() && textWidth && textWidth(result) > maxWidth) {
        if (folder == QLatin1String("/.../"))
            folder = QStringLiteral(".../");
        else
            CutFirstFolder(folder);
        result = folder + name;
    }
    return result;
}

bool RegisterFileAssociations(bool zti, bool ztr, bool zts, bool str, bool stg) {
    QString error;
    return RegisterFileAssociations(zti, ztr, zts, str, stg, error);
}

bool RegisterFileAssociations(bool zti, bool ztr, bool zts, bool str, bool stg, QString& error,
                              const QString& sysRoot) {
    error.clear();
    const TDesktopFileTypeTarget target = DefaultDesktopFileTypeTarget(GetProductName());
    // A copy on a stick would leave the desktop pointing at a program that goes with the stick.
    if (IsOnRemovableMediaIn(target.ProgramPath, sysRoot)) {
        error = QStringLiteral("The program runs from removable media: file types are registered only for a "
                               "copy on a fixed drive");
        return false;
    }
    bool ok = RegisterOneType(target, zts, QStringLiteral("zts"), QStringLiteral("ZtIV Session"), 5);
    ok = RegisterOneType(target, stg, QStringLiteral("stg"), QStringLiteral("Training"), 4) && ok;
    ok = RegisterOneType(target, str, QStringLiteral("str"), QStringLiteral("Stroke"), 6) && ok;
    ok = RegisterOneType(target, ztr, QStringLiteral("ztr"), QStringLiteral("ZtIV Stroke"), 6) && ok;
    ok = RegisterOneType(target, zti, QStringLiteral("zti"), QStringLiteral("ZtIV User"), 5) && ok;
    UpdateDesktopDatabases(target);
    if (!ok) error = QStringLiteral("The file types could not be registered");
    return ok;
}

bool RegisterFileAssociation(bool doRegister, const QString& extension, const QString& description,
                             bool shellExtension, bool propertySheet, int iconIndex) {
    (void)shellExtension;
    (void)propertySheet;
    const TDesktopFileTypeTarget target = DefaultDesktopFileTypeTarget(GetProductName());
    const bool ok = RegisterOneType(target, doRegister, extension, description, iconIndex);
    UpdateDesktopDatabases(target);
    return ok;
}
