#pragma once

#include "model/BloggerPost.h"

#include <QString>

// The pages that show a post before it is published: the post alone, and the post inside its blog's own
// page (the template). Pure text work plus reading the post's local images; callable from any thread.
class PostPreviewComposer
{
public:
    // Local images larger than this stay as they are: a preview must not read a whole disk image.
    static constexpr qint64 MaximumInlinedImageSize = 20 * 1024 * 1024;

    static QString previewTitle(const QString& postTitle);
    static QString livePreviewTitle(const QString& postTitle);

    // The blog page fetched as the template: a page of the blog that holds no post.
    static QString templateAddress(const QString& blogUrl);

    // The post's title and content in the blog's template, where the template shows its posts or its
    // "no such page" notice; without a body the post alone.
    QString livePreviewHtml(const QString& blogTemplate, const BloggerPost& post) const;
    // The post's title and content in a plain page.
    QString plainPreviewHtml(const BloggerPost& post) const;
    // Images of the post that are local files (src="file:...") as data: addresses, so a page from the web
    // shows them. Files that are missing, unreadable, too large or no images stay as they are.
    QString inlineLocalImages(const QString& html) const;

private:
    static QString postBlock(const BloggerPost& post);
};
