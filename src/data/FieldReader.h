#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

// Sequential field input, the one rule by which every settings file of the suite
// is read: leading blanks (spaces, tabs) skipped; a field ends at a comma or a
// line end (CR LF, CR or LF); a field that begins with a double quote runs to
// the next double quote, across commas and line ends alike; an empty line is one
// empty field.
//
// Finer points:
// - trailing blanks of an unquoted field are dropped; a quoted field keeps
//   everything between its quotes, line ends as the file holds them;
// - text after a closing quote, up to the next comma or line end, is dropped;
// - a quote that is never closed runs to the end of the file;
// - a comma always opens one more field, so "a,\r\nb" gives a, an empty field, b,
//   and "a," at the end of the file gives a and an empty field;
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
    // A comma was read: one more field follows, even at a line end or the end.
    bool m_afterComma = false;
};

// The first field of a file; std::nullopt when the file is missing or holds no field.
std::optional<QString> readFirstField(const QString& path);
