#pragma once

#include <QProgressBar>
#include <QTimer>

// A small turning arc for work of unknown length. It turns while it is shown with an empty range
// (minimum equal to maximum), as an indeterminate progress bar would.
class SpinnerView : public QProgressBar
{
    Q_OBJECT
public:
    explicit SpinnerView(QWidget* parent = nullptr);

    bool isAnimating() const;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    bool isBusy() const;
    void updateAnimation();
    void advance();

    QTimer m_timer;
    int m_angle = 0;
};
