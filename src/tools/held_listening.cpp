#include "tools/held_listening.h"

#include <QWidget>

HeldListening::HeldListening(ListenPlayback& player, QObject* owner, Sources sources, Heard heard)
    : QObject(owner), m_player(&player), m_owner(owner), m_sources(std::move(sources)),
      m_heard(std::move(heard)) {
    m_follow.setInterval(16); // the play line moves at the display's pace
    connect(&m_follow, &QTimer::timeout, this, &HeldListening::follow);
    m_spaceUp.setSingleShot(true);
    m_spaceUp.setInterval(kRepeatGap);
    connect(&m_spaceUp, &QTimer::timeout, this, &HeldListening::release);
    owner->installEventFilter(this);
}

bool HeldListening::eventFilter(QObject*, QEvent* event) {
    if (event->type() == QEvent::WindowDeactivate) {
        release();
    }
    return false;
}

HeldListening::~HeldListening() {
    release();
}

void HeldListening::press() {
    ListenPlayback* player = m_player.data();
    if (player == nullptr || m_holding || !player->ready()) {
        return;
    }
    player->press(m_sources(), m_owner);
    if (!player->ready() && player->owner() == m_owner) {
        m_holding = true;
        m_follow.start();
    } else if (player->owner() == m_owner) {
        show_listen_problem(qobject_cast<QWidget*>(m_owner), player->problem());
    }
}

void HeldListening::release() {
    m_spaceUp.stop();
    ListenPlayback* player = m_player.data();
    if (m_holding && player != nullptr && player->owner() == m_owner) {
        player->release();
    }
    m_holding = false;
}

bool HeldListening::keyPress(QKeyEvent* event) {
    if (event->key() != Qt::Key_Space) {
        return false;
    }
    // A press right behind a release is the key repeating, not a new press: the sound keeps
    // looping.
    if (m_spaceUp.isActive()) {
        m_spaceUp.stop();
    } else if (!event->isAutoRepeat()) {
        press();
    }
    event->accept();
    return true;
}

bool HeldListening::keyRelease(QKeyEvent* event) {
    if (event->key() != Qt::Key_Space) {
        return false;
    }
    // Some window systems send a held key's repeats as release/press pairs that Qt does not
    // mark: the release counts once no press has followed it for a moment.
    if (!event->isAutoRepeat() && m_holding) {
        m_spaceUp.start();
    }
    event->accept();
    return true;
}

void HeldListening::follow() {
    ListenPlayback* player = m_player.data();
    if (player == nullptr || player->owner() != m_owner || player->ready()) {
        m_follow.stop();
        m_heard(nullptr);
        if (player != nullptr && player->owner() == m_owner) {
            show_listen_problem(qobject_cast<QWidget*>(m_owner), player->problem());
        }
        return;
    }
    m_heard(&player->position());
}
