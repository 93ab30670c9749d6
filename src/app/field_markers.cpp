#include "app/field_markers.h"

#include "common/captions.h"
#include "gui/pictures.h"
#include "gui/qt_text.h"

#include <QAction>
#include <QLineEdit>
#include <QToolTip>

namespace {

// Typing pauses this long before the fields are checked again.
constexpr int kPauseMs = 200;

} // namespace

FieldMarkers::FieldMarkers(const Form1Controls& c, std::function<QString()> projfiledir,
                           QObject* parent)
    : QObject(parent), m_projfiledir(std::move(projfiledir)) {
    for (int row = 0; row < 4; ++row) {
        m_fields[static_cast<std::size_t>(3 * row)] = c.txt_useranf[row];
        m_fields[static_cast<std::size_t>(3 * row + 1)] = c.txt_userloop[row];
        m_fields[static_cast<std::size_t>(3 * row + 2)] = c.txt_userend[row];
    }
    m_fields[melo::kBaseField] = c.txt_DSDfilename;
    for (std::size_t i = 0; i < m_fields.size(); ++i) {
        QLineEdit* field = m_fields[i];
        m_marks[i] = field->addAction(QIcon(), QLineEdit::TrailingPosition);
        m_marks[i]->setObjectName(field->objectName() + "_mark");
        m_marks[i]->setVisible(false);
        // A click on the mark (or Enter on it) tells the reason where the mouse cannot hover.
        connect(m_marks[i], &QAction::triggered, field, [field] {
            QToolTip::showText(field->mapToGlobal(QPoint(field->width(), field->height())),
                               field->toolTip(), field);
        });
        connect(field, &QLineEdit::textChanged, this, &FieldMarkers::recheckSoon);
    }
    m_soon.setSingleShot(true);
    m_soon.setInterval(kPauseMs);
    connect(&m_soon, &QTimer::timeout, this, &FieldMarkers::recheck);
}

void FieldMarkers::recheckSoon() {
    m_soon.start();
}

void FieldMarkers::recheck() {
    m_soon.stop();
    melo::ProjectFields fields;
    for (int i = 0; i < melo::kProjectKeyCount; ++i) {
        melo::project_field(fields, i) =
            m_fields[static_cast<std::size_t>(i)]->text().toStdString();
    }
    m_check = melo::check_project(fields, file_path(m_projfiledir()), decimal_separator());
    for (int i = 0; i < melo::kProjectKeyCount; ++i) {
        show(i);
    }
}

void FieldMarkers::show(int index) {
    const melo::FieldCheck& check = m_check.fields[static_cast<std::size_t>(index)];
    QLineEdit* field = m_fields[static_cast<std::size_t>(index)];
    QAction* mark = m_marks[static_cast<std::size_t>(index)];
    const QString reason = q(check.reason);
    if (check.issue == melo::FieldIssue::None) {
        mark->setVisible(false);
    } else {
        mark->setIcon(QIcon(check.error() ? picture_resource(":/icons/field_error")
                                          : picture_resource(":/icons/field_warning")));
        mark->setToolTip(reason);
        mark->setVisible(true);
    }
    field->setToolTip(reason);
    field->setAccessibleDescription(reason);
}

QStringList FieldMarkers::problems() const {
    QStringList lines;
    // In the run's order: the base file first, then the parts.
    for (int n = 0; n < melo::kProjectKeyCount; ++n) {
        const int i = (n + melo::kBaseField) % melo::kProjectKeyCount;
        const melo::FieldCheck& check = m_check.fields[static_cast<std::size_t>(i)];
        if (check.issue != melo::FieldIssue::None) {
            lines << q(melo::field_title(i)) + ": " + q(check.reason).replace('\n', "; ");
        }
    }
    return lines;
}
