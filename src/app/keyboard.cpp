#include "app/keyboard.h"

#include "app/form1.h"

#include <QAbstractScrollArea>
#include <QAbstractSpinBox>
#include <QApplication>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QShortcut>
#include <algorithm>
#include <vector>

namespace {

// The widgets inside `group` (or the group itself) that Tab stops at, in reading order. The
// inner parts of composite controls (a scroll area's bars, a spin box's editor) are left to
// their control.
std::vector<QWidget*> tab_stops(QWidget* window, QWidget* group) {
    std::vector<QWidget*> stops;
    QList<QWidget*> candidates = group->findChildren<QWidget*>();
    candidates.prepend(group);
    for (QWidget* w : candidates) {
        if (!(w->focusPolicy() & Qt::TabFocus) || w->focusProxy() != nullptr) {
            continue;
        }
        bool inner = false;
        for (QWidget* p = w->parentWidget(); p != nullptr && p != group->parentWidget();
             p = p->parentWidget()) {
            inner = inner || qobject_cast<QAbstractScrollArea*>(p) != nullptr ||
                    qobject_cast<QAbstractSpinBox*>(p) != nullptr;
        }
        if (!inner) {
            stops.push_back(w);
        }
    }
    std::stable_sort(stops.begin(), stops.end(), [window](QWidget* a, QWidget* b) {
        const QPoint pa = a->mapTo(window, QPoint(0, 0));
        const QPoint pb = b->mapTo(window, QPoint(0, 0));
        return pa.y() != pb.y() ? pa.y() < pb.y() : pa.x() < pb.x();
    });
    return stops;
}

// Shift+F10 and the menu key as a keyboard context-menu request to the focused control.
class ContextMenuKeys : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::KeyPress) {
            return false;
        }
        const auto* key = static_cast<QKeyEvent*>(event);
        const bool menuKey = key->key() == Qt::Key_Menu && key->modifiers() == Qt::NoModifier;
        const bool shiftF10 = key->key() == Qt::Key_F10 && key->modifiers() == Qt::ShiftModifier;
        QWidget* target = QApplication::focusWidget();
        if ((!menuKey && !shiftF10) || target == nullptr || watched != target) {
            return false;
        }
        // Where a mouse would have asked: at the text cursor of a field, else mid-control.
        QPoint at = target->rect().center();
        const QRect cursor = target->inputMethodQuery(Qt::ImCursorRectangle).toRect();
        if (cursor.isValid() && target->rect().contains(cursor.center())) {
            at = cursor.center();
        }
        QContextMenuEvent request(QContextMenuEvent::Keyboard, at, target->mapToGlobal(at));
        QApplication::sendEvent(target, &request);
        return true;
    }
};

} // namespace

void install_keyboard(Form1& form, const Form1Controls& c) {
    const auto key = [&form](QKeySequence sequence, auto action) {
        QObject::connect(new QShortcut(sequence, &form), &QShortcut::activated, &form, action);
    };
    key(QKeySequence(Qt::CTRL | Qt::Key_O), [b = c.Picture2] { b->click(); });
    key(QKeySequence(Qt::CTRL | Qt::Key_S), [b = c.Picture3] { b->click(); });
    key(QKeySequence(Qt::Key_F5), [b = c.cmd_konvertieren] { b->click(); });
    key(QKeySequence(Qt::CTRL | Qt::Key_Q), [b = c.cmd_EXIT] { b->click(); });
    key(QKeySequence(Qt::Key_F1), [&form] { form.showInfoForm(); });

    QWidget* previous = nullptr;
    for (QWidget* group : {static_cast<QWidget*>(c.GenFile), static_cast<QWidget*>(c.cmd_EXIT),
                           static_cast<QWidget*>(c.Text1), static_cast<QWidget*>(c.Frame2),
                           static_cast<QWidget*>(c.SndFile), static_cast<QWidget*>(c.txt_debug)}) {
        for (QWidget* stop : tab_stops(&form, group)) {
            if (previous != nullptr) {
                QWidget::setTabOrder(previous, stop);
            }
            previous = stop;
        }
    }
}

void install_context_menu_keys() {
    if (qApp->findChild<ContextMenuKeys*>("melo_context_menu_keys", Qt::FindDirectChildrenOnly) ==
        nullptr) {
        auto* keys = new ContextMenuKeys(qApp);
        keys->setObjectName("melo_context_menu_keys");
        qApp->installEventFilter(keys);
    }
}
