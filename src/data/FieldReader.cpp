#include "data/FieldReader.h"

#include "data/Cp1252.h"
#include "data/FileRoutines.h"

#include <QFile>

namespace {
bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}
} // namespace

FieldReader::FieldReader(QByteArray content) : m_data(std::move(content)) {}

std::optional<FieldReader> FieldReader::open(const QString& path)
{
    if (!FileExists(path))
        return std::nullopt;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    QByteArray content = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return std::nullopt;
    return FieldReader(std::move(content));
}

bool FieldReader::atEnd() const
{
    return m_pos >= m_data.size();
}

bool FieldReader::atLineEnd() const
{
    return m_pos < m_data.size() && (m_data.at(m_pos) == '\r' || m_data.at(m_pos) == '\n');
}

void FieldReader::skipLineEnd()
{
    if (m_pos < m_data.size() && m_data.at(m_pos) == '\r')
        ++m_pos;
    if (m_pos < m_data.size() && m_data.at(m_pos) == '\n')
        ++m_pos;
}

std::optional<QString> FieldReader::next()
{
    if (atEnd())
        return std::nullopt;
    const qsizetype size = m_data.size();
    while (m_pos < size && isBlank(m_data.at(m_pos)))
        ++m_pos;

    QByteArray value;
    if (m_pos < size && m_data.at(m_pos) == '"') {
        const qsizetype start = ++m_pos;
        while (m_pos < size && m_data.at(m_pos) != '"' && !atLineEnd())
            ++m_pos;
        value = m_data.mid(start, m_pos - start);
        if (m_pos < size && m_data.at(m_pos) == '"')
            ++m_pos;
        while (m_pos < size && m_data.at(m_pos) != ',' && !atLineEnd())
            ++m_pos;
    } else {
        const qsizetype start = m_pos;
        while (m_pos < size && m_data.at(m_pos) != ',' && !atLineEnd())
            ++m_pos;
        qsizetype end = m_pos;
        while (end > start && isBlank(m_data.at(end - 1)))
            --end;
        value = m_data.mid(start, end - start);
    }

    if (m_pos < size && m_data.at(m_pos) == ',') {
        ++m_pos;
        // A comma that ends its line opens no further field on it.
        qsizetype ahead = m_pos;
        while (ahead < size && isBlank(m_data.at(ahead)))
            ++ahead;
        if (ahead == size || m_data.at(ahead) == '\r' || m_data.at(ahead) == '\n')
            m_pos = ahead;
    }
    skipLineEnd();
    return decodeCp1252(value);
}

std::optional<QString> readFirstField(const QString& path)
{
    auto reader = FieldReader::open(path);
    if (!reader)
        return std::nullopt;
    return reader->next();
}
