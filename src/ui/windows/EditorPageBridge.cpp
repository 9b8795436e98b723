#include "EditorPageBridge.h"

#include <QRandomGenerator>

namespace {

QString freshKey()
{
    quint32 words[4];
    QRandomGenerator::system()->fillRange(words);
    return QString::fromLatin1(QByteArray(reinterpret_cast<const char*>(words), sizeof(words)).toHex());
}

} // namespace

EditorPageBridge::EditorPageBridge(QObject* parent) : QObject(parent), m_requestKey(freshKey()) {}

void EditorPageBridge::contentChanged(int generation, const QString& html)
{
    Q_EMIT pageContentChanged(generation, html);
}

void EditorPageBridge::contentLoaded(int generation)
{
    Q_EMIT pageContentLoaded(generation);
}
