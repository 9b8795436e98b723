#pragma once

#include "model/BloggerPost.h"

#include <QSize>
#include <QString>
#include <QStringList>

#include <functional>

// The pages that show a post before it is published: the post alone, and the post inside its blog's own
// page (the template). Pure text work; callable from any thread.
class PostPreviewComposer
{
public:
    static QString previewTitle(const QString& postTitle);
    static QString livePreviewTitle(const QString& postTitle);

    // The blog page fetched as the template: a page of the blog that holds no post.
    static QString templateAddress(const QString& blogUrl);

    // The post's title and content in the blog's template, where the template shows its posts or its
    // "no such page" notice; without a body the post alone.
    QString livePreviewHtml(const QString& blogTemplate, const BloggerPost& post) const;
    // The post's title and content in a plain page.
    QString plainPreviewHtml(const BloggerPost& post) const;
    // The post's content with the sources of its pictures from the images folder (src="file:...") turned
    // into addresses of the picture scheme (see LocalPictures), or, given an address base, into that base
    // followed by the file name (see LocalPictureServer); `names` gets their file names. Every other
    // source stays as it is: no page of ours can load a file: address. Only the post's content is given
    // here, never a template.
    QString withLocalPictureAddresses(const QString& content, QStringList& names,
                                      const QString& addressBase = QString()) const;
    // The natural size of a picture of the images folder, by file name; invalid when unknown.
    using PictureSize = std::function<QSize(const QString& name)>;
    // For a page whose scripts run when the pictures cannot be served to it: each picture of the images
    // folder becomes a box of the size the picture asked for, or of its natural size, saying what it
    // stands for.
    QString withLocalPicturePlaceholders(const QString& content, const PictureSize& size) const;

private:
    static QString postBlock(const BloggerPost& post);
};
