#include "app/keyboard.h"

#include "app/form1.h"

#include <QAbstractScrollArea>
#include <QAbstractSpinBox>
#include <QApplication>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
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

// A field that shows a result: Tab reaches it after every control.
bool is_output(const QWidget* w) {
    if (const auto* line = qobject_cast<const QLineEdit*>(w)) {
        return line->isReadOnly();
    }
    if (const auto* text = qobject_cast<const QPlainTextEdit*>(w)) {
        return text->isReadOnly();
    }
    return false;
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

    // Controls first, in the screen's reading order; the outputs (the status fields, the logs,
    // the inspection panel's values) after all of them, so Tab never wades through them first.
    std::vector<QWidget*> controls;
    std::vector<QWidget*> outputs;
    const auto add = [&](QWidget* w) { (is_output(w) ? outputs : controls).push_back(w); };
    // The left column: the project frame, then "Ende" and the field beside it.
    for (QWidget* group : {static_cast<QWidget*>(c.GenFile), static_cast<QWidget*>(c.cmd_EXIT),
                           static_cast<QWidget*>(c.Text1)}) {
        std::ranges::for_each(tab_stops(&form, group), add);
    }
    // The right column row by row: the row's title (its menu leads to the row's tools) and
    // listen button, then its parts; the base file last.
    for (int r = 0; r < 4; ++r) {
        add(c.Label14[r]);
        add(c.cmd_listen[r]);
        for (int p = 0; p < 3; ++p) {
            add(c.Picture1[3 * r + p]);
            add(p == 0 ? c.txt_useranf[r] : (p == 1 ? c.txt_userloop[r] : c.txt_userend[r]));
        }
    }
    add(c.pic_diskloadDSD);
    add(c.txt_DSDfilename);
    // The debug mode's lower part.
    std::ranges::for_each(tab_stops(&form, c.SndFile), add);
    add(c.txt_debug);

    controls.insert(controls.end(), outputs.begin(), outputs.end());
    for (std::size_t i = 1; i < controls.size(); ++i) {
        QWidget::setTabOrder(controls[i - 1], controls[i]);
    }
    controls.front()->setFocus(); // the window opens at the top left
}

void install_context_menu_keys() {
    if (qApp->findChild<ContextMenuKeys*>("melo_context_menu_keys", Qt::FindDirectChildrenOnly) ==
        nullptr) {
        auto* keys = new ContextMenuKeys(qApp);
        keys->setObjectName("melo_context_menu_keys");
        qApp->installEventFilter(keys);
    }
}
