#include "TableContentViewController.h"
// PLACEHOLDER: replaced by the real pane.
namespace Ui { class TableContentView {}; }
struct TableContentViewController::Private {};
#include <QWidget>
#include <QMenu>
#include <QAction>
TableContentViewController::TableContentViewController(QObject* parent) : ViewController(parent) {}
void TableContentViewController::listPosts(const QList<BloggerPost>& posts, const std::optional<QString>& preselectedId) {}
const QList<BloggerPost>& TableContentViewController::postsList() const { static QList<BloggerPost> e; return e; }
std::optional<QString> TableContentViewController::preselectedPostId() const { return std::nullopt; }
qsizetype TableContentViewController::numberOfRows() const { return 0; }
PostTableCellView* TableContentViewController::cellForRow(qsizetype row) { return nullptr; }
bool TableContentViewController::isRowHighlighted(qsizetype row) const { return false; }
QListView* TableContentViewController::tableViewOutlet() const { return nullptr; }
void TableContentViewController::loadView() { setView(std::make_unique<QWidget>()); }
TableContentViewController::~TableContentViewController() = default;
