#pragma once

#include <QPointer>
#include <QWidget>

#include "app/app_environment.h"
#include "app/form1_controls.h"

class InfoForm;

// The main window. It owns every control and the program's state; the behaviour of each
// command lives in the core library and in the handler files of this class.
class Form1 : public QWidget {
    Q_OBJECT
public:
    explicit Form1(AppEnvironment& env, QWidget* parent = nullptr);
    ~Form1() override;

    Form1Controls& controls() { return m_c; }
    bool debugMode() const { return m_debugMode; }

    // The about box while it is open, else nullptr.
    InfoForm* infoform() const;
    // Opens the about box, or brings the open one to the front.
    void showInfoForm();

signals:
    // A part label ("Anfang", "Loop", "Ende") of a sound row was clicked; part 0 to 2.
    void partLabelClicked(int row, int part);
    // A picture button Picture1(index) beside a part field was clicked; index = 3 * row + part.
    void partPictureClicked(int index);
    // The picture button beside the base sound file field was clicked.
    void dsdPictureClicked();
    // Mouse pressed or released on a listen button (row 0 to 3) or on Command3 (row 2).
    void listenPressed(int row);
    void listenReleased(int row);

private:
    void wireSignals();

    AppEnvironment& m_env;
    Form1Controls m_c;
    bool m_debugMode = false;
    QPointer<InfoForm> m_infoform;
};
