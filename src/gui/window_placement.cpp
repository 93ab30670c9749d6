#include "gui/window_placement.h"

#include <QScreen>
#include <QWidget>
#include <algorithm>

void show_over(QWidget* window, const QWidget* owner) {
    if (!window->isVisible() && owner != nullptr) {
        // The frame is not known before the first show: the title bar is left to the window
        // system, the centre is the client area's.
        QRect place(QPoint(0, 0), window->size());
        place.moveCenter(owner->frameGeometry().center());
        if (const QScreen* screen = owner->screen()) {
            const QRect room = screen->availableGeometry();
            place.moveLeft(std::clamp(place.left(), room.left(),
                                      std::max(room.left(), room.right() - place.width())));
            place.moveTop(std::clamp(place.top(), room.top(),
                                     std::max(room.top(), room.bottom() - place.height())));
        }
        window->move(place.topLeft());
    }
    window->show();
    window->raise();
    window->activateWindow();
}
