#pragma once

#include <QLabel>
#include <QString>

// An image view that shows one of the application's images by name, drawn to fit its own size.
// The name can be given in an interface file (the "imageName" property).
class ImageView : public QLabel
{
    Q_OBJECT
    Q_PROPERTY(QString imageName READ imageName WRITE setImageName)

public:
    explicit ImageView(QWidget* parent = nullptr);

    // The name of the image shown; empty when it shows none.
    QString imageName() const;
    // A name that names no image leaves the view empty.
    void setImageName(const QString& name);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void render();

    QString m_imageName;
};
