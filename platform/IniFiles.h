// The settings file in the classic text format: [sections], key=value, names without regard to
// case, order kept. All TIniFile objects on one file share one in-memory copy, which is kept
// for the next object after the last one goes away while the file's content stays the same.
//
// Writes change the shared copy only. It is saved by UpdateFile, when the last object on the
// file is destroyed, and by UpdateAllFiles (also run when the application object goes away and
// at exit). Before saving, a file changed on disk since it was read is read again and only the
// changes made through us are applied on top, so other writers' sections survive.
#pragma once

#include <QString>
#include <QStringList>
#include <memory>

class TIniData;  // shared per file

class TIniFile {
public:
    explicit TIniFile(const QString& fileName);
    ~TIniFile();
    TIniFile(const TIniFile&) = delete;
    TIniFile& operator=(const TIniFile&) = delete;

    const QString& FileName() const { return FFileName; }

    QString ReadString(const QString& section, const QString& key, const QString& def) const;
    int ReadInteger(const QString& section, const QString& key, int def) const;
    bool ReadBool(const QString& section, const QString& key, bool def) const;
    double ReadFloat(const QString& section, const QString& key, double def) const;

    void WriteString(const QString& section, const QString& key, const QString& value);
    void WriteInteger(const QString& section, const QString& key, int value);
    void WriteBool(const QString& section, const QString& key, bool value);
    void WriteFloat(const QString& section, const QString& key, double value);

    bool SectionExists(const QString& section) const;
    bool ValueExists(const QString& section, const QString& key) const;
    void ReadSection(const QString& section, QStringList& keys) const;  // keys in file order
    void ReadSections(QStringList& sections) const;
    void ReadSectionValues(const QString& section, QStringList& lines) const;  // "key=value"
    void EraseSection(const QString& section);
    void DeleteKey(const QString& section, const QString& key);

    // From now on every save of the file (through any object on it) leaves exactly one blank
    // line before each section but the first and no other blank lines. Only a save spaces: a
    // file that is not written stays as it is.
    void SetSectionSpacing(bool value);

    // Writes pending changes (temporary file, then rename). False when the write failed; the
    // old file and the changes in memory are kept. True when nothing was pending.
    bool UpdateFile();

    // Saves every file with pending changes. False when any save failed.
    static bool UpdateAllFiles();

    // How many times a file's text was parsed in this process. A file opened again after its
    // last object went away is parsed again only when its content changed.
    static int FilesParsed();

private:
    QString FFileName;
    std::shared_ptr<TIniData> FData;
};
