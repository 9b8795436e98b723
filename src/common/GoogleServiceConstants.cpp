#include "GoogleServiceConstants.h"

#include <QRandomGenerator>
#include <QUuid>

QString GoogleServiceConstants::RandomId()
{
    return QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
}

std::int64_t GoogleServiceConstants::RandomIntId()
{
    return static_cast<std::int64_t>(QRandomGenerator::system()->generate());
}
