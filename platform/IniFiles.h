// The settings file in the classic text format: [sections], key=value, names without regard to
// case, order kept. All TIniFile objects on one file share one in-memory copy.
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

    // Writes pending changes (temporary file, then rename). False when the write failed.
    bool UpdateFile();

private:
    QString FFileName;
    std::shared_ptr<TIniData> FData;
};
