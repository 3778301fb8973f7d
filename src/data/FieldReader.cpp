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
    return m_pos >= m_data.size() && !m_afterComma;
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
    m_afterComma = false;
    const qsizetype size = m_data.size();
    while (m_pos < size && isBlank(m_data.at(m_pos)))
        ++m_pos;

    QByteArray value;
    if (m_pos < size && m_data.at(m_pos) == '"') {
        const qsizetype start = ++m_pos;
        const qsizetype close = m_data.indexOf('"', start);
        m_pos = close < 0 ? size : close + 1;
        value = m_data.mid(start, (close < 0 ? size : close) - start);
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
        m_afterComma = true;
    } else {
        skipLineEnd();
    }
    return decodeCp1252(value);
}

std::optional<QString> readFirstField(const QString& path)
{
    auto reader = FieldReader::open(path);
    if (!reader)
        return std::nullopt;
    return reader->next();
}
