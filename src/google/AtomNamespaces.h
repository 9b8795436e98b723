#pragma once

#include <QString>

// Namespace and scheme names of the Atom documents the service speaks.
namespace AtomNamespaces {

inline const QString Atom = QStringLiteral("http://www.w3.org/2005/Atom");
inline const QString App = QStringLiteral("http://www.w3.org/2007/app");
// Entries answered without a GData-Version header still use the draft namespace of the protocol.
inline const QString AppDraft = QStringLiteral("http://purl.org/atom/app#");
inline const QString Thread = QStringLiteral("http://purl.org/syndication/thread/1.0");
inline const QString GData = QStringLiteral("http://schemas.google.com/g/2005");
inline const QString GDataKindScheme = QStringLiteral("http://schemas.google.com/g/2005#kind");
inline const QString Photo = QStringLiteral("http://schemas.google.com/photos/2007");
inline const QString MediaRss = QStringLiteral("http://search.yahoo.com/mrss/");
inline const QString BloggerCategoryScheme = QStringLiteral("http://www.blogger.com/atom/ns#");

} // namespace AtomNamespaces
