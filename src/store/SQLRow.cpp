#include "SQLRow.h"

#include <QStringList>

const SQLColumn* SQLRow::find(const QString& name) const
{
    for (const Entry& entry : m_data) {
        if (entry.first == name) {
            return &entry.second;
        }
    }
    return nullptr;
}

std::optional<SQLColumn> SQLRow::operator[](const QString& name) const
{
    const SQLColumn* column = find(name);
    if (!column) {
        return std::nullopt;
    }
    return *column;
}

void SQLRow::set(const QString& name, const std::optional<SQLColumn>& column)
{
    for (qsizetype i = 0; i < m_data.size(); ++i) {
        if (m_data.at(i).first == name) {
            if (column) {
                m_data[i].second = *column;
            } else {
                m_data.removeAt(i);
            }
            return;
        }
    }
    if (column) {
        m_data.append({name, *column});
    }
}

QString SQLRow::description() const
{
    if (m_data.isEmpty()) {
        return QStringLiteral("[:]");
    }
    QStringList parts;
    for (const Entry& entry : m_data) {
        parts << entry.first + QStringLiteral(": ") + entry.second.description();
    }
    return QStringLiteral("[") + parts.join(QStringLiteral(", ")) + QStringLiteral("]");
}
