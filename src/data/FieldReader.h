#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

// Sequential field input, the one rule by which every settings file of the suite
// is read: leading blanks (spaces, tabs) skipped; a field ends at a comma or a
// line end (CR LF, CR or LF); a field that begins with a double quote runs to
// the next double quote and may hold commas; an empty line is one empty field.
//
// Finer points:
// - trailing blanks of an unquoted field are dropped; a quoted field keeps
//   everything between its quotes;
// - text after a closing quote, up to the next comma or line end, is dropped;
// - a quoted field does not run past its line: a missing closing quote ends it
//   at the line end, so one stray quote cannot swallow the rest of the file;
// - a comma followed by a line end or the end of the input (blanks between
//   allowed) ends the line without an extra empty field: "a,\r\nb" gives a, b;
// - the line end of the last line does not start another field.
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
    bool atLineEnd() const;
    void skipLineEnd();

    QByteArray m_data;
    qsizetype m_pos = 0;
};

// The first field of a file; std::nullopt when the file is missing or holds no field.
std::optional<QString> readFirstField(const QString& path);
