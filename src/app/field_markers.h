#pragma once

#include "app/form1_controls.h"
#include "flash/field_check.h"

#include <QObject>
#include <QStringList>
#include <QTimer>
#include <array>
#include <functional>

class QAction;

// The state of each of the project's thirteen file fields where it is, as the user edits: a
// field whose file the run will not take (missing, no WAV the module reads, out of the folder)
// gets a red mark inside it, one the run only warns about (another rate, no room left in the
// flash) a yellow one, and the reason in German as its tool tip. The checks are the core's
// (check_project, header-only); this class only shows them. The fields do not move: the mark
// is an icon at the field's right end.
class FieldMarkers : public QObject {
public:
    FieldMarkers(const Form1Controls& c, std::function<QString()> projfiledir, QObject* parent);

    // Checks again shortly, once the typing has paused; every field edit asks for this.
    void recheckSoon();
    // Checks now and shows the result.
    void recheck();
    const melo::ProjectCheck& check() const { return m_check; }
    // Every field's problem as a line ("Sound B (201) Loop: …"), in the run's order (the base
    // file, then the parts); empty when there is none.
    QStringList problems() const;

private:
    void show(int index);

    std::array<QLineEdit*, melo::kProjectKeyCount> m_fields{};
    std::array<QAction*, melo::kProjectKeyCount> m_marks{};
    std::function<QString()> m_projfiledir;
    melo::ProjectCheck m_check;
    QTimer m_soon;
};
