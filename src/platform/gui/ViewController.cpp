#include "ViewController.h"

#include "platform/Dispatch.h"

ViewController::ViewController(QObject* parent) : QObject(parent) {}

ViewController::~ViewController()
{
    delete m_view.data();
}

QWidget* ViewController::view()
{
    Dispatch::requireMainThread("ViewController::view");
    if (!m_view && !m_loading) {
        m_loading = true;
        loadView();
        m_loading = false;
    }
    return m_view;
}

bool ViewController::isViewLoaded() const
{
    return !m_view.isNull();
}

void ViewController::setView(std::unique_ptr<QWidget> view)
{
    m_view = view.release();
}
