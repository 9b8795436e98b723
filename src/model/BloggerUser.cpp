#include "BloggerUser.h"

#include "common/GoogleServiceConstants.h"

BloggerUser::BloggerUser()
    : userId(GoogleServiceConstants::NoId()), userName(""), userLink(GoogleServiceConstants::NoUrl()),
      userPicture(GoogleServiceConstants::NoUrl())
{
}

BloggerUser::BloggerUser(QString userId, QString userName, QString userLink, QString userPicture)
    : userId(std::move(userId)), userName(std::move(userName)), userLink(std::move(userLink)),
      userPicture(std::move(userPicture))
{
}

QString BloggerUser::toString() const
{
    return QStringLiteral("userId: ") + userId + QStringLiteral(", userName: ") + userName +
           QStringLiteral(", userLink: ") + userLink + QStringLiteral(", userPicture: ") + userPicture;
}
