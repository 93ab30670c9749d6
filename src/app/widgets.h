#pragma once

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QToolButton>
#include <QWidget>

// Small widgets that give Qt controls the behaviour the window's design expects.

// A label or picture that reports clicks and double-clicks.
class ClickLabel : public QLabel {
    Q_OBJECT
public:
    using QLabel::QLabel;

signals:
    void clicked();
    void doubleClicked();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
};

// A picture button whose keyboard focus shows as a clear ring in the highlight colour (the
// style's own focus frame is faint around a picture): the speaker, disk and folder buttons.
class PictureButton : public QToolButton {
    Q_OBJECT
public:
    using QToolButton::QToolButton;

protected:
    void paintEvent(QPaintEvent* event) override;
};

// A caption that the keyboard reaches: it takes the focus by Tab, shows it with the same ring,
// and opens its context menu on Enter or the space bar (the sound rows' titles, whose menus
// lead to the row's waveform and to the loop workshop).
class FocusLabel : public QLabel {
    Q_OBJECT
public:
    explicit FocusLabel(const QString& text, QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
};

// A push button whose caption wraps at blanks inside the button, centred, as the
// two-line captions of the design ("DSU-File erzeugen", "Soundfile     laden") need.
class WrapButton : public QPushButton {
    Q_OBJECT
public:
    using QPushButton::QPushButton;

protected:
    void paintEvent(QPaintEvent* event) override;
};

// A frame whose caption sits on its top border line, as the window's design draws frames:
// the children placed 240 twips below the frame's top lie inside the border.
class DesignFrame : public QGroupBox {
    Q_OBJECT
public:
    using QGroupBox::QGroupBox;

    // The y coordinate of the top border line.
    int borderTop() const;

protected:
    void paintEvent(QPaintEvent* event) override;
};

// A progress bar (range and value, no text) that repaints when the window next paints rather
// than at every step: long work sets it at each per-mille change, and the screen shows the
// latest value at each frame.
class DesignProgressBar : public QWidget {
    Q_OBJECT
public:
    using QWidget::QWidget;

    int minimum() const { return m_min; }
    int maximum() const { return m_max; }
    int value() const { return m_value; }
    void setRange(int minimum, int maximum);
    // Emits valueChanged when the value changes.
    void setValue(int value);

signals:
    void valueChanged(int value);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int m_min = 0;
    int m_max = 100;
    int m_value = 0;
};

// A check box with the three states of the settings file: 0 clear, 1 ticked, 2 greyed.
// A click toggles between clear and ticked; greyed is set only by the program.
class StateCheckBox : public QCheckBox {
    Q_OBJECT
public:
    using QCheckBox::QCheckBox;

    int state() const;
    // Returns false (and changes nothing) for a state outside 0 to 2.
    bool setState(long long state);

protected:
    void nextCheckState() override;
};

// An up-down spinner: two arrow buttons over a value clamped to [minimum, maximum].
class UpDown : public QWidget {
    Q_OBJECT
public:
    explicit UpDown(QWidget* parent = nullptr);

    int minimum() const { return m_min; }
    int maximum() const { return m_max; }
    int value() const { return m_value; }
    // The upper limit; the value is not moved (as with the original control, a value
    // beyond a lowered limit stays until the next step or assignment).
    void setMaximum(int maximum);
    void setMinimum(int minimum);
    // Sets the value clamped to the range; emits valueChanged when it changes.
    void setValue(int value);

signals:
    void valueChanged(int value);

private:
    void step(int delta);

    int m_min = 0;
    int m_max = 10;
    int m_value = 0;
    QToolButton* m_up;
    QToolButton* m_down;
};
