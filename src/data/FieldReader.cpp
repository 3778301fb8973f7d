#include "data/FieldReader.h"

FieldReader::FieldReader(QByteArray content) : m_data(std::move(content)) {}
std::optional<FieldReader> FieldReader::open(const QString&) { return std::nullopt; }
bool FieldReader::atEnd() const { return true; }
std::optional<QString> FieldReader::next() { return std::nullopt; }
std::optional<QString> readFirstField(const QString&) { return std::nullopt; }
