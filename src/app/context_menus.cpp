#include "app/context_menus.h"

#include <QLineEdit>
#include <QPointer>
#include <vector>

namespace {

// The callbacks of one control; a child object, so it lives and dies with the control.
class ContextEntries : public QObject {
public:
    explicit ContextEntries(QWidget* widget) : QObject(widget), m_widget(widget) {
        setObjectName("melo_context_entries");
        widget->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(widget, &QWidget::customContextMenuRequested, this, &ContextEntries::show);
    }
    void add(std::function<void(QMenu&)> entries) { m_entries.push_back(std::move(entries)); }

private:
    void show(const QPoint& at) {
        QPointer<QMenu> menu;
        if (auto* field = qobject_cast<QLineEdit*>(m_widget)) {
            menu = field->createStandardContextMenu();
            menu->addSeparator();
        } else {
            menu = new QMenu(m_widget);
        }
        for (const auto& entries : m_entries) {
            entries(*menu);
        }
        menu->exec(m_widget->mapToGlobal(at));
        delete menu;
    }

    QWidget* m_widget;
    std::vector<std::function<void(QMenu&)>> m_entries;
};

} // namespace

void add_context_entries(QWidget* widget, std::function<void(QMenu& menu)> addEntries) {
    auto* entries = widget->findChild<ContextEntries*>("melo_context_entries", Qt::FindDirectChildrenOnly);
    if (entries == nullptr) {
        entries = new ContextEntries(widget);
    }
    entries->add(std::move(addEntries));
}
