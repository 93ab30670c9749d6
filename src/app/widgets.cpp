#include "app/widgets.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyleOptionButton>
#include <QStyleOptionProgressBar>
#include <QStylePainter>
#include <QVBoxLayout>
#include <algorithm>

void ClickLabel::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) {
        emit clicked();
    }
    QLabel::mouseReleaseEvent(event);
}

void ClickLabel::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        emit doubleClicked();
    }
    QLabel::mouseDoubleClickEvent(event);
}

namespace {

// The focus ring of the window's own controls: two pixels in the highlight colour, inside
// the control so no neighbour covers it.
void paint_focus_ring(QWidget* widget) {
    if (!widget->hasFocus()) {
        return;
    }
    QPainter painter(widget);
    painter.setPen(QPen(widget->palette().color(QPalette::Highlight), 2));
    painter.drawRect(QRectF(widget->rect()).adjusted(1, 1, -1, -1));
}

} // namespace

void PictureButton::paintEvent(QPaintEvent* event) {
    QToolButton::paintEvent(event);
    paint_focus_ring(this);
}

FocusLabel::FocusLabel(const QString& text, QWidget* parent) : QLabel(text, parent) {
    setFocusPolicy(Qt::StrongFocus);
}

void FocusLabel::paintEvent(QPaintEvent* event) {
    QLabel::paintEvent(event);
    paint_focus_ring(this);
}

void FocusLabel::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter ||
        event->key() == Qt::Key_Space) {
        QContextMenuEvent request(QContextMenuEvent::Keyboard, rect().center(),
                                  mapToGlobal(rect().center()));
        QApplication::sendEvent(this, &request);
        return;
    }
    QLabel::keyPressEvent(event);
}

int DesignFrame::borderTop() const {
    return QFontMetrics(font()).height() / 2;
}

void DesignFrame::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    // An etched line: dark, with a light line one pixel below and right of it.
    const QRect border = rect().adjusted(0, borderTop(), -2, -2);
    painter.setPen(palette().color(QPalette::Light));
    painter.drawRect(border.translated(1, 1));
    painter.setPen(palette().color(QPalette::Mid));
    painter.drawRect(border);
    // The caption interrupts the border line, on the window's background.
    const QFontMetrics metrics(font());
    const QRect caption(6, 0, metrics.horizontalAdvance(title()) + 4, metrics.height());
    painter.fillRect(caption, palette().window());
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawText(caption, Qt::AlignCenter, title());
}

void DesignProgressBar::setRange(int minimum, int maximum) {
    m_min = minimum;
    m_max = std::max(minimum, maximum);
    setValue(std::clamp(m_value, m_min, m_max));
    update();
}

void DesignProgressBar::setValue(int value) {
    if (value == m_value) {
        return;
    }
    m_value = value;
    update();
    emit valueChanged(value);
}

void DesignProgressBar::paintEvent(QPaintEvent*) {
    QStylePainter painter(this);
    QStyleOptionProgressBar option;
    option.initFrom(this);
    option.minimum = m_min;
    option.maximum = m_max;
    option.progress = std::clamp(m_value, m_min, m_max);
    option.textVisible = false;
    option.state |= QStyle::State_Horizontal;
    painter.drawControl(QStyle::CE_ProgressBar, option);
}

void WrapButton::paintEvent(QPaintEvent*) {
    QStylePainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    const QString caption = option.text;
    option.text.clear();
    painter.drawControl(QStyle::CE_PushButton, option);

    QRect area = style()->subElementRect(QStyle::SE_PushButtonContents, &option, this);
    if (isDown()) {
        area.translate(style()->pixelMetric(QStyle::PM_ButtonShiftHorizontal, &option, this),
                       style()->pixelMetric(QStyle::PM_ButtonShiftVertical, &option, this));
    }
    // Runs of blanks are where the caption may break; the words stay whole.
    const QString wrapped = caption.simplified();
    painter.setPen(
        palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::ButtonText));
    painter.drawText(area, Qt::AlignCenter | Qt::TextWordWrap, wrapped);
}

int StateCheckBox::state() const {
    switch (checkState()) {
    case Qt::Checked:
        return 1;
    case Qt::PartiallyChecked:
        return 2;
    default:
        return 0;
    }
}

bool StateCheckBox::setState(long long state) {
    switch (state) {
    case 0:
        setCheckState(Qt::Unchecked);
        return true;
    case 1:
        setCheckState(Qt::Checked);
        return true;
    case 2:
        setCheckState(Qt::PartiallyChecked);
        return true;
    default:
        return false;
    }
}

void StateCheckBox::nextCheckState() {
    setCheckState(checkState() == Qt::Checked ? Qt::Unchecked : Qt::Checked);
}

UpDown::UpDown(QWidget* parent) : QWidget(parent) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    m_up = new QToolButton(this);
    m_down = new QToolButton(this);
    m_up->setObjectName("UpDown1_up");
    m_down->setObjectName("UpDown1_down");
    for (QToolButton* button : {m_up, m_down}) {
        button->setAutoRepeat(true);
        button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
        button->setFocusPolicy(Qt::NoFocus);
        layout->addWidget(button);
    }
    m_up->setArrowType(Qt::UpArrow);
    m_down->setArrowType(Qt::DownArrow);
    connect(m_up, &QToolButton::clicked, this, [this] { step(1); });
    connect(m_down, &QToolButton::clicked, this, [this] { step(-1); });
}

void UpDown::setMaximum(int maximum) {
    m_max = maximum;
}

void UpDown::setMinimum(int minimum) {
    m_min = minimum;
}

void UpDown::setValue(int value) {
    const int low = std::min(m_min, m_max);
    const int high = std::max(m_min, m_max);
    const int clamped = std::clamp(value, low, high);
    if (clamped != m_value) {
        m_value = clamped;
        emit valueChanged(m_value);
    }
}

void UpDown::step(int delta) {
    setValue(m_value + delta);
}
