#include "EditorPageBridge.h"

EditorPageBridge::EditorPageBridge(QObject* parent) : QObject(parent) {}

void EditorPageBridge::contentChanged(int generation, const QString& html)
{
    Q_EMIT pageContentChanged(generation, html);
}

void EditorPageBridge::contentLoaded(int generation)
{
    Q_EMIT pageContentLoaded(generation);
}
