#include "tools/loop_candidate_model.h"

#include "gui/qt_text.h"

#include <array>

LoopCandidateModel::LoopCandidateModel(const melo::LoopSession& session, QObject* parent)
    : QAbstractTableModel(parent), m_session(session) {}

void LoopCandidateModel::reload() {
    beginResetModel();
    endResetModel();
}

int LoopCandidateModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_session.candidates().size());
}

int LoopCandidateModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : 3;
}

QVariant LoopCandidateModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) {
        return {};
    }
    const melo::LoopCandidate& c = m_session.candidates()[static_cast<std::size_t>(index.row())];
    switch (role) {
    case Qt::DisplayRole: {
        const std::array<std::string, 3> cells = {m_session.number_text(c.score, 3),
                                                  m_session.seconds_text(c.length()),
                                                  m_session.number_text(c.seam.step, 1)};
        return q(cells[static_cast<std::size_t>(index.column())]);
    }
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
    case Qt::ToolTipRole:
        return q(m_session.loop_text(c));
    default:
        return {};
    }
}

QVariant LoopCandidateModel::headerData(int section, Qt::Orientation orientation, int role) const {
    static const std::array<QString, 3> titles = {"Score", "Länge", "Sprung"};
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < 3) {
        return titles[static_cast<std::size_t>(section)];
    }
    return QAbstractTableModel::headerData(section, orientation, role);
}
