#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

// Sequential field input, the one rule by which every settings file of the suite
// is read: leading blanks skipped; a field ends at a comma or a line end
// (CR LF, CR or LF); a field that begins with a double quote runs to the next
// double quote and may hold commas; an empty line is one empty field.
// Files are Windows-1252 text.
class FieldReader
{
public:
    explicit FieldReader(QByteArray content);
    // Reads the whole file; std::nullopt when it cannot be opened.
    static std::optional<FieldReader> open(const QString& path);

    bool atEnd() const;
    // The next field; std::nullopt at the end of the input.
    std::optional<QString> next();

private:
    QByteArray m_data;
    int m_pos = 0;
};

// The first field of a file; std::nullopt when the file is missing or holds no field.
std::optional<QString> readFirstField(const QString& path);
